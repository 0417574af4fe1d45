// Hot-plug against a bridge list that changes under the editor: the port
// named with --port is a link to the pseudo-terminal of kq5-pedal-sim, which
// goes when the pedal's program ends and is pointed at a new one when it
// comes back, as a replugged bridge comes back under its serial number.

#include "common/ConsoleLog.h"
#include "protocol/DeviceConnection.h"
#include "protocol/HotPlug.h"
#include "support/PedalSimProcess.h"
#include "support/ScriptedDialogs.h"
#include "support/StandInMainWindow.h"
#include "support/WindowByName.h"
#include "usb/D2XXUnit.h"
#include "usb/SerialPortDriver.h"

#include <QFile>
#include <QLabel>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace quorvane;
using quorvane::test::PedalSimProcess;
using quorvane::test::ScriptedDialogs;
using quorvane::test::StandInMainWindow;

namespace {

const char disconnected[] = "The pedal was disconnected.";

struct Rig {
    QTemporaryDir dir;
    QString port = dir.filePath("ttyKQ5"); // what --port names
    std::unique_ptr<PedalSimProcess> sim;
    SerialPortDriver driver{{port}, [] { return QList<SerialPortDriver::SystemPort>{}; }};
    ScriptedDialogs dialogs;
    D2XXUnit link{driver, dialogs};
    ConsoleLog console;
    StandInMainWindow window;
    DeviceConnection connection{link, console, dialogs};
    HotPlug hotPlug{link, connection, console};

    Rig()
    {
        quorvane::test::bind_window(connection, window);
        connection.latest_algorithm_version = 11;
        connection.latest_firmware_version = 10;
        link.SetLinkSettings(link_mode_normal);
    }

    // The pedal plugged in: a new program, the port pointing at its terminal.
    bool plugIn()
    {
        sim = std::make_unique<PedalSimProcess>(QStringList{});
        QFile::remove(port);
        return sim->started && QFile::link(sim->path, port);
    }
    // Plugged in, found by Scan and linked, with hot-plug looking; the
    // messages of the way there are cleared.
    bool plugInAndLink()
    {
        if (!plugIn())
            return false;
        hotPlug.start();
        connection.menuScanClick();
        connection.ConnectOnClick();
        dialogs.messages.clear();
        return connection.is_linked;
    }
    // Unplugged: the program ends and its terminal goes with it.
    void unplug()
    {
        sim.reset();
        QFile::remove(port);
    }
    QString deviceName() const { return window.findChild<QLabel *>("lblDeviceName")->text(); }
    qsizetype reports() const { return console.lines().count("num of bytes received: 83"); }
};

} // namespace

class TestHotPlug : public QObject {
    Q_OBJECT
private slots:
    void goesAndComesBack();
    void appearsAndGoesWhileUnlinked();
    void nothingDuringAnUpgrade();
    void userUnlinkIsNotUndone();
};

void TestHotPlug::goesAndComesBack()
{
    Rig rig;
    QVERIFY(rig.plugInAndLink());
    QCOMPARE(rig.reports(), 1);

    rig.unplug();
    rig.hotPlug.poll();
    QVERIFY(!rig.connection.is_linked);
    QCOMPARE(rig.dialogs.messages.count(disconnected), 1);
    QCOMPARE(rig.deviceName(), "No device found");
    QVERIFY(!quorvane::test::control_enabled(&rig.window, "menuConnect"));

    rig.hotPlug.poll(); // still gone: nothing more
    QVERIFY(!rig.connection.is_linked);
    QCOMPARE(rig.dialogs.messages.count(disconnected), 1);

    QVERIFY(rig.plugIn());
    rig.hotPlug.poll();
    QVERIFY(rig.connection.is_linked);
    QVERIFY(rig.console.lines().contains("The pedal is back (PORT1): linking again."));
    QCOMPARE(rig.reports(), 2); // its status was requested
    QVERIFY(rig.deviceName().endsWith(" linked"));
    QCOMPARE(rig.dialogs.messages.count(disconnected), 1);
    rig.hotPlug.poll(); // linked and listed: nothing
    QCOMPARE(rig.reports(), 2);
}

void TestHotPlug::appearsAndGoesWhileUnlinked()
{
    Rig rig;
    rig.connection.ListDevicesAtStartup();
    rig.hotPlug.start();
    QVERIFY(rig.plugIn());
    rig.hotPlug.poll();
    // Shown as Scan shows a bridge, without its message; not linked.
    QCOMPARE(rig.deviceName(), rig.port);
    QVERIFY(quorvane::test::control_enabled(&rig.window, "menuConnect"));
    QVERIFY(rig.dialogs.messages.isEmpty());
    QVERIFY(!rig.connection.is_linked);

    rig.unplug();
    rig.hotPlug.poll();
    QCOMPARE(rig.deviceName(), "No device found");
    QVERIFY(!quorvane::test::control_enabled(&rig.window, "menuConnect"));
    QVERIFY(rig.dialogs.messages.isEmpty());
}

void TestHotPlug::nothingDuringAnUpgrade()
{
    Rig rig;
    QVERIFY(rig.plugInAndLink());

    // The upgrade has the line: the pedal restarting under it is not a loss...
    rig.connection.bootloader_mode = true;
    rig.unplug();
    rig.hotPlug.poll();
    QVERIFY(rig.connection.is_linked);
    QVERIFY(rig.dialogs.messages.isEmpty());

    // ...and a pedal lost before the upgrade is not linked behind its back.
    rig.connection.bootloader_mode = false;
    rig.hotPlug.poll();
    QVERIFY(!rig.connection.is_linked);
    rig.connection.bootloader_mode = true;
    QVERIFY(rig.plugIn());
    rig.hotPlug.poll();
    QVERIFY(!rig.connection.is_linked);
    rig.connection.bootloader_mode = false;
    rig.hotPlug.poll();
    QVERIFY(!rig.connection.is_linked);
    QVERIFY(!rig.console.lines().join('\n').contains("linking again"));
}

void TestHotPlug::userUnlinkIsNotUndone()
{
    Rig rig;
    QVERIFY(rig.plugInAndLink());
    rig.connection.menuDisconnectClick();
    rig.unplug();
    rig.hotPlug.poll();
    QVERIFY(rig.plugIn());
    rig.hotPlug.poll();
    QVERIFY(!rig.connection.is_linked);
    QVERIFY(rig.dialogs.messages.filter("disconnected").isEmpty());
}

QTEST_MAIN(TestHotPlug)
#include "tst_hot_plug.moc"
