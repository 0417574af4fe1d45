// The connection against the virtual pedal in process: listing, Link,
// Request and Unlink through the link layer and the simulator's bridge, with
// the pedal's faults.

#include "StatusReportTable.h"

#include "common/ConsoleLog.h"
#include "protocol/Codec.h"
#include "protocol/DeviceConnection.h"
#include "simulator/SimulatorDriver.h"
#include "support/ScriptedDialogs.h"
#include "support/StandInMainWindow.h"
#include "support/VirtualPedal.h"
#include "support/WindowByName.h"
#include "usb/D2XXUnit.h"

#include <QtTest>

using namespace quorvane;
using quorvane::test::add_status_report_rows;
using quorvane::test::editing_commands;
using quorvane::test::pedal;
using quorvane::test::pedal_name;
using quorvane::test::ScriptedDialogs;
using quorvane::test::StatusReportCase;
using quorvane::test::StandInMainWindow;

namespace {

// The virtual pedal on its in-process bridge, listed at start-up as the
// editor does; the effect window is a log of what was asked of it.
struct Rig {
    SimulatorDriver driver;
    ScriptedDialogs dialogs;
    D2XXUnit link{driver, dialogs};
    ConsoleLog console;
    StandInMainWindow window;
    DeviceConnection connection{link, console, dialogs};
    QStringList effectWindow;
    QList<int> decoderStarts;

    explicit Rig(const PedalOptions &options) : driver(options)
    {
        quorvane::test::bind_window(connection, window);
        connection.latest_algorithm_version = 11;
        connection.latest_firmware_version = 10;
        connection.effects.GetResourceFile = [this] { effectWindow << "load"; };
        connection.effects.OpenEffectWindow = [this] { effectWindow << "open"; };
        connection.effects.close_effect_window = [this] { effectWindow << "close"; };
        connection.decoders.decode_parameter_dump = [this](const std::vector<std::uint8_t> &v, int start) {
            QVERIFY(v.size() >= size_t(start + 60));
            decoderStarts << start;
        };
        connection.ListDevicesAtStartup();
        link.SetLinkSettings(link_mode_normal);
    }

    QString text(const char *label) const { return window.label(label)->text(); }
    bool enabled(const QString &name) { return quorvane::test::control_enabled(&window, name); }

    // Runs a command as the editor's event entry does: an error escaping it
    // is shown in one message box and the editor goes on.
    void run(void (DeviceConnection::*command)())
    {
        try {
            (connection.*command)();
        } catch (const ConversionError &error) {
            dialogs.message(error.text());
        }
    }
};

} // namespace

class TestConnectionVirtualPedal : public QObject {
    Q_OBJECT
private slots:
    void scanLinkRequestUnlink();
    void statusReports_data();
    void statusReports();
    void conversionErrorLeavesEditorWorking();
    void unpluggedPedalUnlinks();
};

void TestConnectionVirtualPedal::scanLinkRequestUnlink()
{
    Rig r(pedal());
    QCOMPARE(r.text("lblDeviceName"), pedal_name);
    QCOMPARE(quorvane::test::control_text(&r.window, "menuSerialNumber"), "Device Serial: KQ5SIM01");

    r.run(&DeviceConnection::menuScanClick);
    QCOMPARE(r.dialogs.messages, QStringList{pedal_name + " found, click Link"});
    r.dialogs.reset();

    r.run(&DeviceConnection::ConnectOnClick);
    QVERIFY2(r.dialogs.messages.isEmpty(), qPrintable(r.dialogs.messages.join(" | ")));
    QCOMPARE(r.text("lblDeviceName"), pedal_name + " linked");
    QCOMPARE(r.text("lblFirmwareVersion"), "Device Firmware: 10");
    QCOMPARE(r.text("lblAlgorithmVersion"), "Device Algorithm: 0011");
    QCOMPARE(r.window.effects()->currentRow(), 0);
    QCOMPARE(r.effectWindow, (QStringList{"load", "open"}));
    QCOMPARE(r.decoderStarts, QList<int>{23});
    for (const QString &name : editing_commands + QStringList{"btnRequest", "btnUpload", "menuDisconnect"})
        QVERIFY2(r.enabled(name), qPrintable(name));
    QVERIFY(r.connection.Timer_USB_Read.isActive());
    QCOMPARE(r.driver.model().lineSettings().baud, 115200u);

    // The tick runs quietly beside the link.
    QSignalSpy ticks(&r.connection.Timer_USB_Read, &QTimer::timeout);
    QTRY_VERIFY(ticks.count() >= 3);
    QVERIFY(r.dialogs.messages.isEmpty());

    r.window.label("lblFirmwareVersion")->setText("Device Firmware:");
    r.run(&DeviceConnection::btnRequestClick);
    QVERIFY(r.dialogs.messages.isEmpty());
    QCOMPARE(r.text("lblFirmwareVersion"), "Device Firmware: 10");

    r.run(&DeviceConnection::menuDisconnectClick);
    QCOMPARE(r.text("lblDeviceName"), pedal_name);
    QVERIFY(!r.connection.is_linked);
    QVERIFY(!r.driver.isOpen());
    for (const QString &name : editing_commands + QStringList{"btnRequest", "btnUpload", "menuDisconnect"})
        QVERIFY2(!r.enabled(name), qPrintable(name));

    r.run(&DeviceConnection::ConnectOnClick);
    QCOMPARE(r.text("lblDeviceName"), pedal_name + " linked");
    QVERIFY(r.dialogs.messages.isEmpty());
}

void TestConnectionVirtualPedal::statusReports_data()
{
    add_status_report_rows();
}

void TestConnectionVirtualPedal::statusReports()
{
    QFETCH(StatusReportCase, report);

    Rig r(report.options());
    r.window.effects()->setCurrentRow(-1);
    r.run(&DeviceConnection::ConnectOnClick);
    expect_status_report_outcome(r, r.connection, *r.window.effects(), report);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(r.effectWindow, report.effectWindow);
}

void TestConnectionVirtualPedal::conversionErrorLeavesEditorWorking()
{
    Rig r(pedal(10, 11, 0, "hex-letter-status"));
    r.run(&DeviceConnection::ConnectOnClick);
    QCOMPARE(r.dialogs.messages, QStringList{"'0A11' is not a valid integer value"});
    QVERIFY(r.connection.is_linked);
    QVERIFY(r.connection.Timer_USB_Read.isActive());
    QVERIFY(!r.connection.exchange_busy());

    r.dialogs.reset();
    r.driver.model().faults().clear(PedalFault::HexLetterStatus);
    r.run(&DeviceConnection::btnRequestClick);
    QVERIFY(r.dialogs.messages.isEmpty());
    QCOMPARE(r.text("lblAlgorithmVersion"), "Device Algorithm: 0011");
    QCOMPARE(r.window.effects()->currentRow(), 0);
}

void TestConnectionVirtualPedal::unpluggedPedalUnlinks()
{
    Rig r(pedal());
    r.run(&DeviceConnection::ConnectOnClick);
    QVERIFY(r.connection.is_linked);
    r.driver.model().faults().set(PedalFault::UnplugAfter, 1); // the next byte from the editor pulls the plug
    r.run(&DeviceConnection::btnRequestClick);
    QTRY_VERIFY_WITH_TIMEOUT(!r.connection.is_linked, 3000);
    // The failed write of the request is reported first; nothing waits for
    // a reply to a request that did not go out.
    QCOMPARE(r.dialogs.messages, (QStringList{"FT_Write - General IO error...",
                                              "The pedal was disconnected."}));
    QCOMPARE(r.text("lblDeviceName"), pedal_name);
    QVERIFY(r.enabled("menuScan") && r.enabled("menuConnect") && !r.enabled("menuDisconnect"));
    QVERIFY(!r.connection.Timer_USB_Read.isActive());
    QVERIFY(r.link.report_usb_errors);
}

QTEST_MAIN(TestConnectionVirtualPedal)
#include "tst_connection_virtual_pedal.moc"
