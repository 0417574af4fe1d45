// The connection on the serial-port driver against kq5-pedal-sim on a
// pseudo-terminal: the port listed as with --port, then Link and Request.

#include "common/ConsoleLog.h"
#include "protocol/DeviceConnection.h"
#include "support/PedalSimProcess.h"
#include "support/ScriptedDialogs.h"
#include "support/StandInMainWindow.h"
#include "support/WindowByName.h"
#include "usb/D2XXUnit.h"
#include "usb/SerialPortDriver.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace quorvane;
using quorvane::test::PedalSimProcess;
using quorvane::test::ScriptedDialogs;
using quorvane::test::StandInMainWindow;

namespace {

// The editor's connection over the serial-port driver, listing only the
// virtual pedal's pseudo-terminal, not whatever bridges this machine has.
struct PtyRig {
    SerialPortDriver driver;
    ScriptedDialogs dialogs;
    D2XXUnit link{driver, dialogs};
    ConsoleLog console;
    StandInMainWindow window;
    DeviceConnection connection{link, console, dialogs};

    explicit PtyRig(const QString &path, LatencyTimer *latency = nullptr)
        : driver({path}, [] { return QList<SerialPortDriver::SystemPort>{}; })
    {
        driver.setLatencyTimer(latency);
        quorvane::test::bind_window(connection, window);
    }
    void list()
    {
        connection.ListDevicesAtStartup();
        link.SetLinkSettings(link_mode_normal);
    }
};

} // namespace

class TestConnectionPedalPty : public QObject {
    Q_OBJECT
private slots:
    void linkAndRequest();
    void latencyTimerLowWhileLinked();
};

void TestConnectionPedalPty::linkAndRequest()
{
    QVERIFY2(QFileInfo::exists(PedalSimProcess::program()), qPrintable(PedalSimProcess::program()));
    PedalSimProcess sim({"--firmware", "10", "--algorithm", "0011"});
    QVERIFY(sim.started);
    const QString path = sim.path;
    QVERIFY2(path.startsWith("/dev/"), qPrintable(path));

    PtyRig rig(path);
    auto &[driver, dialogs, link, console, window, connection] = rig;
    connection.latest_algorithm_version = 11;
    connection.latest_firmware_version = 10;
    QStringList effectWindow;
    connection.effects.OpenEffectWindow = [&] { effectWindow << "open"; };
    rig.list();
    QVERIFY(!connection.device_serial_number.isEmpty());

    connection.ConnectOnClick();
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.messages.join(" | ")));
    QVERIFY(connection.is_linked);
    QVERIFY(window.label("lblDeviceName")->text().endsWith(" linked"));
    QCOMPARE(window.label("lblFirmwareVersion")->text(), "Device Firmware: 10");
    QCOMPARE(window.label("lblAlgorithmVersion")->text(), "Device Algorithm: 0011");
    QCOMPARE(effectWindow, QStringList{"open"});

    window.label("lblFirmwareVersion")->setText("Device Firmware:");
    connection.btnRequestClick();
    QVERIFY2(dialogs.messages.isEmpty(), qPrintable(dialogs.messages.join(" | ")));
    QCOMPARE(window.label("lblFirmwareVersion")->text(), "Device Firmware: 10");
    QVERIFY(console.lines().contains("num of bytes received: 83"));

    connection.menuDisconnectClick();
    QVERIFY(!connection.is_linked);
}

void TestConnectionPedalPty::latencyTimerLowWhileLinked()
{
    // The virtual pedal keeps its bridge's latency timer in a stand-in sysfs
    // tree and follows it; the link lowers it to 1 ms and Unlink gives back 16.
    QTemporaryDir sys;
    PedalSimProcess sim({"--paced", "--latency-ms", "16", "--sysfs-root", sys.path()});
    QVERIFY(sim.started);
    const QString timerFile =
        sys.filePath("bus/usb-serial/devices/" + QFileInfo(sim.path).fileName() + "/latency_timer");
    const auto timer = [&] {
        QFile file(timerFile);
        return file.open(QIODevice::ReadOnly) ? file.readAll().trimmed() : QByteArray("<none>");
    };
    QCOMPARE(timer(), QByteArray("16"));

    LatencyTimer latency(sys.path());
    PtyRig rig(sim.path, &latency);
    auto &[driver, dialogs, link, console, window, connection] = rig;
    rig.list();

    connection.ConnectOnClick();
    QVERIFY(connection.is_linked);
    QCOMPARE(timer(), QByteArray("1"));
    QVERIFY(console.lines().contains("num of bytes received: 83"));

    connection.menuDisconnectClick();
    QVERIFY(!connection.is_linked);
    QCOMPARE(timer(), QByteArray("16"));
}

QTEST_MAIN(TestConnectionPedalPty)
#include "tst_connection_pedal_pty.moc"
