// Listing, linking, unlinking and the status report against the recording
// bridge, driving a small window that carries the main window's control names.

#include "common/ConsoleLog.h"
#include "protocol/Codec.h"
#include "protocol/DeviceConnection.h"
#include "support/Hex.h"
#include "support/RecordingDriver.h"
#include "support/ScriptedDialogs.h"
#include "support/StandInMainWindow.h"
#include "support/WindowByName.h"
#include "usb/D2XXUnit.h"

#include <QAction>
#include <QElapsedTimer>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QtTest>

using namespace quorvane;
using quorvane::test::RecordingDriver;
using quorvane::test::ScriptedDialogs;
using quorvane::test::StandInMainWindow;

namespace {

const QStringList linked_enables = {"menuFirmwareUpgradeMode", "menuDisconnect", "menuLoadPreset",
                                    "menuSavePreset", "menuLoadAlgorithmFromFile", "menuEraseSettings",
                                    "menuInstrument", "btnUpload", "btnRequest"};
const QStringList editing_commands = {"btnAssign", "btnSaveParameters", "btnSetFootswitchMode",
                                      "btnSetTuning", "menuMIDI", "menuUploadTuningsData"};

// A status reply: the header values, then the parameter block filled with
// its index (mod 256), `count` values in all.
QByteArray statusReply(int firmware, int algHigh, int algLow, int effect, int count = -1)
{
    if (count < 0)
        count = status_reply_values_needed(firmware);
    QByteArray reply;
    const int header[] = {firmware, algHigh, algLow, effect};
    for (int k = 0; k < count; ++k)
        reply += QByteArray::number(k < 4 ? header[k] : k % 256) + "\r\n";
    return reply;
}

struct Fixture {
    RecordingDriver driver;
    ScriptedDialogs dialogs;
    D2XXUnit link{driver, dialogs};
    ConsoleLog console;
    StandInMainWindow window;
    DeviceConnection connection{link, console, dialogs};
    // What the pedal answers to a status request; empty = silent.
    QByteArray pedalReply = statusReply(10, 0, 0x11, 0);
    QStringList hookCalls;   // decoders and effect hooks, in order
    bool updating = false;

    QLabel *label(const char *name) { return window.findChild<QLabel *>(name); }
    bool enabled(const QString &name) { return quorvane::test::control_enabled(&window, name); }

    Fixture()
    {
        quorvane::test::bind_window(connection, window);
        connection.latest_algorithm_version = 11;
        connection.latest_firmware_version = 10;
        auto decoder = [this](const char *name) {
            return [this, name](const std::vector<std::uint8_t> &values, int start) {
                hookCalls << QStringLiteral("%1@%2=%3").arg(name).arg(start).arg(values.at(size_t(start)));
            };
        };
        connection.decoders = {decoder("footswitch"), decoder("assignments"), decoder("tuning"),
                               decoder("bypass"), decoder("dump")};
        connection.effects.GetResourceFile = [this] {
            hookCalls << QStringLiteral("load %1").arg(window.effects()->currentRow());
        };
        connection.effects.OpenEffectWindow = [this] { hookCalls << "open"; };
        connection.effects.close_effect_window = [this] { hookCalls << "close"; };
        connection.effects.enable_effect_controls = [this](bool on) {
            hookCalls << (on ? "effect controls on" : "effect controls off");
        };
        connection.set_updating_from_pedal = [this](bool on) { updating = on; };

        driver.bridges = {{"SN1", "Pedal"}};
        driver.onWrite = [this](const QByteArray &bytes) {
            if (bytes == QByteArray("\x02\x00", 2))
                driver.queueReply(pedalReply);
        };
    }

    void scanAndLink()
    {
        connection.ScanForDevices();
        connection.ConnectOnClick();
        dialogs.reset();
        hookCalls.clear();
        console.clear();
        driver.writes.clear();
    }
};

} // namespace

class TestConnection : public QObject {
    Q_OBJECT
private slots:
    void startupListing_data();
    void startupListing();
    void scan_data();
    void scan();
    void scanFailureIsTold_data();
    void scanFailureIsTold();
    void linkUnlinkLink();
    void failedOpenStopsTheLink_data();
    void failedOpenStopsTheLink();
    void failedUnlinkChangesNothing();
    void linkWithoutStatusRequestInUpgradeMode();
    void bootloaderHandshakeKeepsRequestDisabled();
    void acceptedReport();
    void refusedReports_data();
    void refusedReports();
    void wrongLengthReplyRefused_data();
    void wrongLengthReplyRefused();
    void longerReplyTaken();
    void silentPedal();
    void conversionErrorRestoresEditor();
    void commandsWaitForRunningExchange();
    void unpluggedPedalUnlinks();
};

void TestConnection::startupListing_data()
{
    QTest::addColumn<QStringList>("serials");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("serialItem");
    QTest::newRow("none") << QStringList{} << "No device found" << "Device Serial: ";
    QTest::newRow("one") << QStringList{"SN1"} << "Bridge SN1" << "Device Serial: SN1";
    QTest::newRow("two") << QStringList{"SN1", "SN2"} << "Bridge SN2" << "Device Serial: SN1SN2";
}

void TestConnection::startupListing()
{
    QFETCH(QStringList, serials);
    QFETCH(QString, label);
    QFETCH(QString, serialItem);
    Fixture f;
    f.driver.bridges.clear();
    for (const QString &s : serials)
        f.driver.bridges.append({s, "Bridge " + s});
    f.connection.ListDevicesAtStartup();
    QCOMPARE(f.label("lblDeviceName")->text(), label);
    QCOMPARE(quorvane::test::control_text(&f.window, "menuSerialNumber"), serialItem);
    QCOMPARE(f.connection.device_serial_number, serials.isEmpty() ? QString() : serials.last());
    QVERIFY(f.dialogs.messages.isEmpty());
    QCOMPARE(f.console.count(), 0);
}

void TestConnection::scan_data()
{
    QTest::addColumn<QStringList>("serials");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("label");
    QTest::newRow("none") << QStringList{} << QStringList{"No device found"} << "No device found";
    QTest::newRow("one") << QStringList{"SN1"} << QStringList{"Bridge SN1 found, click Link"}
                         << "Bridge SN1";
    QTest::newRow("two") << QStringList{"SN1", "SN2"}
                         << QStringList{"Bridge SN1 found, click Link", "Bridge SN2 found, click Link"}
                         << "Bridge SN2";
}

void TestConnection::scanFailureIsTold_data()
{
    QTest::addColumn<QString>("operation");
    QTest::newRow("count") << "count";
    QTest::newRow("serial number") << "serial";
    QTest::newRow("description") << "description";
}

void TestConnection::scanFailureIsTold()
{
    QFETCH(QString, operation);
    Fixture f;
    f.link.report_usb_errors = false; // told all the same
    f.driver.failAlways(operation, FT_IO_ERROR);
    f.connection.menuScanClick();
    QCOMPARE(f.dialogs.messages, QStringList{"Scan failed: General IO error..."});
    QCOMPARE(f.label("lblDeviceName")->text(), QString("No device found"));
    QVERIFY(!f.enabled("menuConnect"));
}

void TestConnection::scan()
{
    QFETCH(QStringList, serials);
    QFETCH(QStringList, messages);
    QFETCH(QString, label);
    Fixture f;
    f.driver.bridges.clear();
    for (const QString &s : serials)
        f.driver.bridges.append({s, "Bridge " + s});
    f.connection.menuScanClick();
    QCOMPARE(f.dialogs.messages, messages);
    QCOMPARE(f.label("lblDeviceName")->text(), label);
    QCOMPARE(f.console.lines().first(), QStringLiteral("FT device count: %1").arg(serials.size()));
    QCOMPARE(f.enabled("menuConnect"), !serials.isEmpty());
    if (serials.isEmpty())
        return;

    // Link opens the last bridge listed.
    f.driver.bridges.last().description = "Pedal";
    f.connection.ConnectOnClick();
    QCOMPARE(f.driver.openSerial, serials.last());
    QVERIFY(f.connection.is_linked);
    QCOMPARE(f.driver.baudRate, 115200u);
    QCOMPARE(f.driver.parity, FT_PARITY_NONE);
    QVERIFY(f.console.lines().contains("serial number: " + serials.last()));
    QVERIFY(f.console.lines().contains("FT_HANDLE: 0x00001234"));
    QVERIFY(f.console.lines().contains("baud rate = 115200"));
}

void TestConnection::linkUnlinkLink()
{
    Fixture f;
    f.connection.ScanForDevices();
    for (int round = 0; round < 2; ++round) {
        f.connection.ConnectOnClick();
        QCOMPARE(f.label("lblDeviceName")->text(), "Pedal linked");
        QVERIFY(f.connection.is_linked);
        QVERIFY(f.connection.Timer_USB_Read.isActive());
        QVERIFY(!f.enabled("menuScan") && !f.enabled("menuConnect"));
        for (const QString &name : linked_enables)
            QVERIFY2(f.enabled(name), qPrintable(name));
        for (const QString &name : editing_commands)
            QVERIFY2(f.enabled(name), qPrintable(name)); // the report was accepted

        f.connection.menuDisconnectClick();
        QCOMPARE(f.label("lblDeviceName")->text(), "Pedal");
        QVERIFY(!f.connection.is_linked);
        QVERIFY(!f.connection.Timer_USB_Read.isActive());
        QVERIFY(f.enabled("menuScan") && f.enabled("menuConnect"));
        QVERIFY(f.enabled("menuFirmwareUpgradeMode"));
        for (const QString &name : linked_enables + editing_commands)
            if (name != "menuFirmwareUpgradeMode")
                QVERIFY2(!f.enabled(name), qPrintable(name));
        QVERIFY(f.hookCalls.endsWith("effect controls off"));
    }
    QCOMPARE(f.dialogs.messages, QStringList{"Pedal found, click Link"});
}

void TestConnection::failedOpenStopsTheLink_data()
{
    QTest::addColumn<bool>("reporting");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("reports on") << true
                                << QStringList{"Open_USB_Device_By_Serial_Number - Device not found...",
                                               "Could not open Pedal"};
    QTest::newRow("reports off") << false << QStringList{"Could not open Pedal"};
}

void TestConnection::failedOpenStopsTheLink()
{
    QFETCH(bool, reporting);
    QFETCH(QStringList, messages);
    Fixture f;
    f.connection.ScanForDevices();
    f.dialogs.reset();
    f.link.report_usb_errors = reporting;
    f.connection.bootloader_mode = true;
    bool handshake = false;
    f.connection.bootloader_handshake = [&] { return handshake = true; };
    f.driver.failNext("open", FT_DEVICE_NOT_FOUND);
    f.connection.ConnectOnClick();
    QCOMPARE(f.dialogs.messages, messages);
    QVERIFY(!handshake);
    QVERIFY(f.driver.writes.isEmpty());
    QVERIFY(!f.connection.is_linked);
    QVERIFY(!f.connection.Timer_USB_Read.isActive());
    QCOMPARE(f.label("lblDeviceName")->text(), "Pedal");
    QVERIFY(f.enabled("menuConnect") && f.enabled("menuScan") && !f.enabled("menuDisconnect"));

    // The user may link again.
    f.connection.bootloader_mode = false;
    f.connection.ConnectOnClick();
    QVERIFY(f.connection.is_linked);
}

void TestConnection::failedUnlinkChangesNothing()
{
    Fixture f;
    f.scanAndLink();
    f.driver.failNext("close", FT_IO_ERROR);
    f.connection.menuDisconnectClick();
    QCOMPARE(f.dialogs.messages, QStringList{"FT_Close - General IO error..."});
    QVERIFY(f.connection.is_linked);
    QVERIFY(f.connection.Timer_USB_Read.isActive());
    QCOMPARE(f.label("lblDeviceName")->text(), "Pedal linked");
    QVERIFY(f.enabled("menuDisconnect") && !f.enabled("menuConnect"));
}

void TestConnection::linkWithoutStatusRequestInUpgradeMode()
{
    Fixture f;
    f.connection.upgrade_mode_pending = true;
    f.connection.ScanForDevices();
    f.connection.ConnectOnClick();
    QVERIFY(f.connection.is_linked);
    QVERIFY(f.driver.writes.isEmpty());
}

void TestConnection::bootloaderHandshakeKeepsRequestDisabled()
{
    Fixture f;
    f.connection.upgrade_mode_pending = true;
    f.connection.bootloader_mode = true;
    f.connection.bootloader_handshake = [] { return true; };
    f.connection.ScanForDevices();
    f.connection.ConnectOnClick();
    QVERIFY(f.connection.is_linked);
    QVERIFY(!f.enabled("btnUpload") && !f.enabled("btnRequest"));
    QVERIFY(f.enabled("menuDisconnect"));
}

void TestConnection::acceptedReport()
{
    Fixture f;
    f.scanAndLink();
    f.connection.btnRequestClick();
    QCOMPARE(f.driver.writes, QList<QByteArray>{QByteArray("\x02\x00", 2)});
    QCOMPARE(f.label("lblFirmwareVersion")->text(), "Device Firmware: 10");
    QCOMPARE(f.label("lblAlgorithmVersion")->text(), "Device Algorithm: 0011");
    QCOMPARE(f.connection.device_effect_number, "00");
    QCOMPARE(f.hookCalls, (QStringList{"footswitch@4=4", "assignments@5=5", "tuning@20=20",
                                       "bypass@22=22", "dump@23=23", "load 0", "open"}));
    for (const QString &name : editing_commands)
        QVERIFY2(f.enabled(name), qPrintable(name));
    QVERIFY(!f.updating);
    QVERIFY(f.dialogs.messages.isEmpty());
    QVERIFY(f.connection.Timer_USB_Read.isActive());
    QVERIFY(!f.connection.exchange_busy());
    const QStringList &log = f.console.lines();
    for (const char *line : {"Firmware Version: 10", "Algorithm version: 0011", "Effect Number: 00",
                             "Current device firmware: 10", "Most recent firmware: 10",
                             "num of bytes received: 83"})
        QVERIFY2(log.contains(line), line);
}

void TestConnection::refusedReports_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QStringList>("hooks");
    QTest::addColumn<QString>("algorithmLabel");
    QTest::newRow("firmware 8")
        << statusReply(8, 0, 0x11, 0) << "A firmware upgrade is required. Upgrade to Firmware 10"
        << QStringList{"footswitch@4=4", "assignments@5=5", "tuning@20=20", "dump@22=22", "close"}
        << "Device Algorithm: 0011";
    QTest::newRow("algorithm 0010")
        << statusReply(10, 0, 0x10, 0)
        << "Upload the latest version of Quorvane KQ5 algorithm:\r\nUpload Quorvane KQ5 0011"
        << QStringList{"footswitch@4=4", "assignments@5=5", "tuning@20=20", "bypass@22=22",
                       "dump@23=23", "close", "load 0"}
        << "Device Algorithm: 0010";
    QTest::newRow("effect beyond the list")
        << statusReply(10, 0, 0x11, 0x12) << "The pedal runs effect 12, which this editor does not carry."
        << QStringList{"footswitch@4=4", "assignments@5=5", "tuning@20=20", "bypass@22=22", "dump@23=23"}
        << "Device Algorithm: 0011";
}

void TestConnection::refusedReports()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, message);
    QFETCH(QStringList, hooks);
    QFETCH(QString, algorithmLabel);
    Fixture f;
    f.pedalReply = reply;
    f.scanAndLink(); // the report after linking is refused as well
    f.window.effects()->setCurrentRow(-1);
    f.connection.btnRequestClick();
    QCOMPARE(f.dialogs.messages, QStringList{message});
    QCOMPARE(f.hookCalls, hooks);
    QCOMPARE(f.label("lblAlgorithmVersion")->text(), algorithmLabel);
    for (const QString &name : editing_commands)
        QVERIFY2(!f.enabled(name), qPrintable(name));
    QVERIFY(f.updating); // a refused report leaves the live edits quiet
    QVERIFY(f.connection.Timer_USB_Read.isActive());
    QVERIFY(!f.connection.exchange_busy());
}

void TestConnection::wrongLengthReplyRefused_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("logged");
    const QString incomplete = QStringLiteral("Incomplete status reply from the pedal (%1 values)");
    const QString incomplete_log = QStringLiteral("Incomplete status reply: %1 values");
    QTest::newRow("half a reply") << statusReply(10, 0, 0x11, 0, 40) << incomplete.arg(40) << incomplete_log.arg(40);
    QTest::newRow("firmware 9 without bypass state")
        << statusReply(9, 0, 0x11, 0, 82) << incomplete.arg(82) << incomplete_log.arg(82);
    QTest::newRow("no line end at all") << QByteArray("10") << incomplete.arg(0) << incomplete_log.arg(0);
    // A lost LF: every value is there, but the reply never came whole.
    QByteArray lost_line_feed = statusReply(10, 0, 0x11, 0);
    lost_line_feed.remove(lost_line_feed.indexOf("\r\n30\r\n") + 1, 1);
    QTest::newRow("a line feed lost") << lost_line_feed << incomplete.arg(83) << incomplete_log.arg(83);
    // A CR from the line shifts every value behind it.
    QByteArray stray_cr = statusReply(10, 0, 0x11, 0);
    stray_cr.insert(stray_cr.indexOf("\r\n30\r\n") + 4, '\r');
    QTest::newRow("a CR inside")
        << stray_cr << QStringLiteral("Garbled status reply from the pedal (84 values, 83 expected)")
        << QStringLiteral("Status reply with 84 values, 83 expected; not taken");
    QByteArray extra_line_end = statusReply(8, 0, 0x11, 0);
    extra_line_end.insert(extra_line_end.indexOf("\r\n30\r\n"), '\r');
    QTest::newRow("firmware 8, a CR inside")
        << extra_line_end << QStringLiteral("Garbled status reply from the pedal (83 values, 82 expected)")
        << QStringLiteral("Status reply with 83 values, 82 expected; not taken");
}

void TestConnection::wrongLengthReplyRefused()
{
    QFETCH(QByteArray, reply);
    QFETCH(QString, message);
    QFETCH(QString, logged);
    Fixture f;
    f.scanAndLink();
    f.connection.btnRequestClick(); // a full report first
    f.hookCalls.clear();
    f.dialogs.reset();
    f.pedalReply = reply;
    f.connection.btnRequestClick();
    QCOMPARE(f.dialogs.messages, QStringList{message});
    QVERIFY(f.console.lines().contains(logged));
    QVERIFY(f.hookCalls.isEmpty());
    QCOMPARE(f.label("lblFirmwareVersion")->text(), "Device Firmware: 10");
    QVERIFY(!f.updating);
    QVERIFY(f.connection.Timer_USB_Read.isActive());
    QVERIFY(!f.connection.exchange_busy());
}

void TestConnection::longerReplyTaken()
{
    // The pedal sends at least its layout's values; whole lines behind them
    // are read past.
    Fixture f;
    f.scanAndLink();
    f.dialogs.reset();
    f.pedalReply = statusReply(10, 0, 0x11, 0, 84);
    f.connection.btnRequestClick();
    QVERIFY2(f.dialogs.messages.isEmpty(), qPrintable(f.dialogs.messages.join(" | ")));
    QCOMPARE(f.label("lblFirmwareVersion")->text(), "Device Firmware: 10");
    QVERIFY(f.console.lines().contains("num of bytes received: 84"));
}

void TestConnection::silentPedal()
{
    Fixture f;
    f.pedalReply.clear();
    f.connection.ScanForDevices();
    f.dialogs.reset();
    bool uiAlive = false;
    QTimer::singleShot(500, [&] { uiAlive = true; });
    QElapsedTimer clock;
    clock.start();
    f.connection.ConnectOnClick();
    QVERIFY(clock.elapsed() >= 2000);
    QVERIFY(uiAlive);
    QCOMPARE(f.dialogs.messages, QStringList{"The pedal did not answer."});
    QCOMPARE(f.label("lblFirmwareVersion")->text(), "Device Firmware:");
    QVERIFY(f.hookCalls == QStringList{"effect controls on"});
    QVERIFY(f.connection.is_linked);
    QVERIFY(f.connection.Timer_USB_Read.isActive());
    QVERIFY(!f.connection.exchange_busy());
}

void TestConnection::conversionErrorRestoresEditor()
{
    Fixture f;
    f.scanAndLink();
    f.pedalReply = statusReply(10, 10, 0x11, 0); // algorithm "0A11"
    QVERIFY_THROWS_EXCEPTION(ConversionError, f.connection.btnRequestClick());
    QVERIFY(f.connection.Timer_USB_Read.isActive());
    QVERIFY(!f.connection.exchange_busy());
    QVERIFY(!f.updating);
    QCOMPARE(f.label("lblAlgorithmVersion")->text(), "Device Algorithm: 0A11");

    f.pedalReply = statusReply(10, 0, 0x11, 0);
    f.hookCalls.clear();
    f.connection.btnRequestClick();
    QVERIFY(f.hookCalls.endsWith("open"));
    QCOMPARE(f.label("lblAlgorithmVersion")->text(), "Device Algorithm: 0011");
}

void TestConnection::commandsWaitForRunningExchange()
{
    Fixture f;
    f.scanAndLink();
    f.pedalReply.clear(); // the pedal answers late, below
    bool tried = false;
    QTimer::singleShot(250, [&] {
        QVERIFY(f.connection.exchange_busy());
        f.connection.btnRequestClick();
        f.connection.menuScanClick();
        f.connection.ConnectOnClick();
        f.connection.menuDisconnectClick();
        f.connection.Timer_USB_ReadTimer();
        tried = true;
        f.driver.queueReply(statusReply(10, 0, 0x11, 0));
    });
    f.connection.btnRequestClick();
    QVERIFY(tried);
    QCOMPARE(f.driver.writes.size(), 1);
    QVERIFY(f.dialogs.messages.isEmpty());
    QVERIFY(f.connection.is_linked);
    QVERIFY(f.hookCalls.endsWith("open"));
    QVERIFY(!f.connection.exchange_busy());
}

void TestConnection::unpluggedPedalUnlinks()
{
    Fixture f;
    f.scanAndLink();
    f.driver.failAlways("queue", FT_IO_ERROR);
    f.driver.failAlways("close", FT_DEVICE_NOT_FOUND);
    QTRY_VERIFY_WITH_TIMEOUT(!f.connection.is_linked, 2000);
    QCOMPARE(f.dialogs.messages, QStringList{"The pedal was disconnected."});
    QVERIFY(f.console.lines().contains("The pedal was disconnected."));
    QCOMPARE(f.label("lblDeviceName")->text(), "Pedal");
    QVERIFY(!f.connection.Timer_USB_Read.isActive());
    QVERIFY(f.enabled("menuScan") && f.enabled("menuConnect") && !f.enabled("menuDisconnect"));
    QVERIFY(f.link.report_usb_errors);
}

QTEST_MAIN(TestConnection)
#include "tst_connection.moc"
