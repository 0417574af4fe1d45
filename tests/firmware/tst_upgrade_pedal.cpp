// End to end against the virtual pedal: the connection, the upgrade procedure
// and the upgrade window together, from Upgrade Mode to the pedal reporting
// its new firmware, and through every failure the pedal can inject.

#include "common/ConsoleLog.h"
#include "firmware/TformFirmwareUpgrade.h"
#include "firmware/UpgradeProcedure.h"
#include "firmware/UpgradeWiring.h"
#include "protocol/DeviceConnection.h"
#include "simulator/SimulatorDriver.h"
#include "support/ScriptedDialogs.h"
#include "usb/D2XXUnit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QtTest>

#include <memory>

#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

using namespace quorvane;
using namespace quorvane::test;

namespace {

// A USB socket: the virtual pedal plugged into it can be pulled out and
// another plugged in.
class Socket : public BridgeDriver {
public:
    void plug(const PedalOptions &options) { pedal = std::make_unique<SimulatorDriver>(options); }
    std::unique_ptr<SimulatorDriver> pedal;

    FT_STATUS listDeviceCount(std::uint32_t &c) override { return pedal->listDeviceCount(c); }
    FT_STATUS listSerialNumber(std::uint32_t i, char *b) override { return pedal->listSerialNumber(i, b); }
    FT_STATUS listDescription(std::uint32_t i, char *b) override { return pedal->listDescription(i, b); }
    FT_STATUS openBySerialNumber(const char *s, FT_HANDLE &h) override { return pedal->openBySerialNumber(s, h); }
    FT_STATUS close(FT_HANDLE h) override { return pedal->close(h); }
    FT_STATUS setBaudRate(FT_HANDLE h, std::uint32_t b) override { return pedal->setBaudRate(h, b); }
    FT_STATUS setDataCharacteristics(FT_HANDLE h, std::uint8_t w, std::uint8_t s, std::uint8_t p) override
    {
        return pedal->setDataCharacteristics(h, w, s, p);
    }
    FT_STATUS purge(FT_HANDLE h, std::uint32_t m) override { return pedal->purge(h, m); }
    FT_STATUS getQueueStatus(FT_HANDLE h, std::uint32_t &c) override { return pedal->getQueueStatus(h, c); }
    FT_STATUS read(FT_HANDLE h, std::uint8_t *b, std::uint32_t n, std::uint32_t &r) override
    {
        return pedal->read(h, b, n, r);
    }
    FT_STATUS write(FT_HANDLE h, const std::uint8_t *b, std::uint32_t n, std::uint32_t &w) override
    {
        return pedal->write(h, b, n, w);
    }
};

struct Rig {
    Socket socket;
    ScriptedDialogs dialogs;
    ConsoleLog console;
    D2XXUnit link{socket, dialogs};
    DeviceConnection connection{link, console, dialogs};
    UpgradeProcedure procedure{link, console, dialogs, upgrade_link_state(connection)};
    TformFirmwareUpgrade window;

    explicit Rig(const PedalOptions &options)
    {
        socket.plug(options);
        link.SetLinkSettings(link_mode_normal);
        wire_upgrade(procedure, connection);
        window.follow(procedure);
        connection.ListDevicesAtStartup();
    }
    PedalModel &pedal() { return socket.pedal->model(); }
    bool pedalReceived(const QString &hex) const
    {
        return socket.pedal->model().log().contains(QStringLiteral("recv ") + hex);
    }

    void linkUp()
    {
        connection.ConnectOnClick();
        QVERIFY(connection.is_linked);
    }
    // Upgrade Mode on a pedal with firmware 9 or newer, answered Yes.
    void enterUpgradeMode()
    {
        dialogs.reset();
        dialogs.answers.enqueue(Answer::Yes);
        procedure.menuFirmwareUpgradeModeClick();
        QCOMPARE(dialogs.messages, QStringList{bootloader_connected_text});
        QVERIFY(procedure.pedal_in_bootloader());
        dialogs.reset();
    }
    bool upgradeTo(const QString &item)
    {
        procedure.menuStartFirmwareUpgradeClick();
        window.cmbFirmwareChoose()->setCurrentText(item);
        return procedure.btnUpgradeFirmwareClick();
    }
    void expectFirmware(int version)
    {
        QCOMPARE(pedal().mode(), PedalModel::Mode::Firmware);
        QCOMPARE(pedal().firmwareVersion(), version);
        QCOMPARE(connection.device_firmware_version, QString::number(version));
        QCOMPARE(link.link_parity, FT_PARITY_NONE);
        QCOMPARE(int(pedal().lineSettings().parity), 0);
        QVERIFY(!connection.bootloader_mode);
        QVERIFY(!connection.upgrade_mode_pending);
        QVERIFY(!procedure.pedal_in_bootloader());
        QVERIFY(connection.Timer_USB_Read.isActive());
        QVERIFY(!window.isVisible());
    }
};

} // namespace

class TestUpgradePedal : public QObject {
    Q_OBJECT
private slots:
    void upgradeModeWithCurrentFirmware();
    void upgradeModeAnsweredNo();
    void upgradeModeBeforeAnyReport();
    void toFirmware8AndBack();
    void failureThenRetry_data();
    void failureThenRetry();
    void nackAtTheEnd_data();
    void nackAtTheEnd();
    void listIsClosedDuringTheTransfer();
    void joinsABootloaderSynchronisedBefore();
};

void TestUpgradePedal::upgradeModeWithCurrentFirmware()
{
    Rig rig({.firmware = 10});
    rig.linkUp();
    QCOMPARE(rig.connection.device_firmware_version, QStringLiteral("10"));
    rig.dialogs.reset();
    rig.dialogs.answers.enqueue(Answer::Yes);
    rig.procedure.menuFirmwareUpgradeModeClick();
    QCOMPARE(rig.dialogs.questions, QStringList{upgrade_mode_question});
    QCOMPARE(rig.dialogs.messages, QStringList{bootloader_connected_text});
    QVERIFY(rig.pedalReceived("0D 01"));
    QVERIFY(rig.pedalReceived("05 00 01 02 03 04 05 06"));
    QCOMPARE(rig.pedal().mode(), PedalModel::Mode::Bootloader);
    QCOMPARE(rig.link.link_parity, FT_PARITY_EVEN);
    QCOMPARE(rig.pedal().lineErrorCount(), 0);
    QVERIFY(rig.console.lines().contains(QStringLiteral("received Byte: 79")));
}

void TestUpgradePedal::upgradeModeAnsweredNo()
{
    Rig rig({.firmware = 9});
    rig.linkUp();
    rig.dialogs.reset();
    rig.dialogs.answers.enqueue(Answer::No);
    rig.procedure.menuFirmwareUpgradeModeClick();
    QVERIFY(rig.pedalReceived("0D 01"));
    QVERIFY(!rig.pedalReceived("05 00 01 02 03 04 05 06"));
    QCOMPARE(rig.pedal().mode(), PedalModel::Mode::Firmware);
    QVERIFY(!rig.procedure.upgrade_mode_checked());
    QVERIFY(!rig.connection.bootloader_mode);
    QCOMPARE(rig.link.link_parity, FT_PARITY_NONE);
    // The pedal still answers its firmware's status request.
    rig.connection.RequestDeviceStatus();
    QCOMPARE(rig.connection.device_firmware_version, QStringLiteral("9"));
}

void TestUpgradePedal::upgradeModeBeforeAnyReport()
{
    Rig rig({.firmware = 7, .bootloader = true}); // held in upgrade mode at power-on
    rig.procedure.menuFirmwareUpgradeModeClick();
    QVERIFY(rig.dialogs.questions.isEmpty());
    QVERIFY(rig.connection.bootloader_mode);
    QVERIFY(rig.connection.upgrade_mode_pending);
    QVERIFY(rig.pedal().log().filter(QStringLiteral("recv")).isEmpty());

    rig.linkUp();
    QCOMPARE(rig.dialogs.messages, QStringList{bootloader_linked_text});
    QVERIFY(!rig.pedalReceived("02 00"));
    QCOMPARE(rig.pedal().mode(), PedalModel::Mode::Bootloader);

    QVERIFY(rig.upgradeTo(QStringLiteral("Firmware_10")));
    rig.expectFirmware(10);
}

void TestUpgradePedal::toFirmware8AndBack()
{
    Rig rig({.firmware = 10});
    rig.linkUp();
    rig.enterUpgradeMode();
    QVERIFY(rig.upgradeTo(QStringLiteral("Firmware_8")));
    QCOMPARE(rig.dialogs.messages.first(), upgrade_complete_text);
    rig.expectFirmware(8);
    QVERIFY(rig.pedal().flashMatchesBuiltInImage());
    QCOMPARE(rig.window.ProgressBar1()->value(), 0);
    QVERIFY(!rig.procedure.upgrade_mode_checked());

    // Firmware 8 has no upgrade-mode request: the user holds the pedal in
    // upgrade mode while powering it, then links again.
    rig.procedure.menuFirmwareUpgradeModeClick();
    QVERIFY(rig.connection.upgrade_mode_pending);
    rig.connection.menuDisconnectClick();
    QVERIFY(!rig.connection.is_linked);
    rig.pedal().powerCycle(true);
    rig.dialogs.reset();
    rig.linkUp();
    QCOMPARE(rig.dialogs.messages, QStringList{bootloader_linked_text});
    rig.dialogs.reset();
    QVERIFY(rig.upgradeTo(QStringLiteral("Firmware_10")));
    rig.expectFirmware(10);
    QVERIFY(rig.pedal().flashMatchesBuiltInImage());
}

void TestUpgradePedal::failureThenRetry_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("step");
    QTest::newRow("nack at chunk 20") << "nack" << "chunk 20 at address 0x08001400, data: the bootloader answered NOT ACK";
    QTest::newRow("silent from chunk 20") << "silent" << "chunk 20 at address 0x08001400";
    QTest::newRow("unplugged mid-transfer") << "unplug" << "chunk ";
    // Written and answered ACK throughout, but not stored as sent.
    QTest::newRow("chunk 20 stored wrong") << "corrupt"
                                           << "verify chunk 20 at address 0x08001400: the pedal's flash differs "
                                              "from the image at 0x08001480: read back ";
    QTest::newRow("read back refused") << "nack-read"
                                       << "verify chunk 0 at address 0x08000000, read command: the pedal refused "
                                          "to read the chunk back (NOT ACK)";
}

void TestUpgradePedal::failureThenRetry()
{
    QFETCH(QString, fault);
    QFETCH(QString, step);

    Rig rig({.firmware = 10});
    rig.linkUp();
    rig.enterUpgradeMode();
    rig.procedure.client().command_limits = {300, 300, 300, 1};
    if (fault == "nack") {
        rig.pedal().faults().set(PedalFault::NackAt, NackPoint{NackPoint::Step::Chunk, 20});
    } else if (fault == "silent") {
        QObject::connect(rig.window.ProgressBar1(), &QProgressBar::valueChanged, &rig.window,
                         [&rig, once = true](int value) mutable {
                             if (value == 20 && once)
                                 rig.pedal().faults().set(PedalFault::Silent);
                             once = once && value != 20;
                         });
    } else if (fault == "corrupt") {
        rig.pedal().faults().set(PedalFault::CorruptBlock, 20); // the Write Memory of chunk 20
    } else if (fault == "nack-read") {
        rig.pedal().faults().set(PedalFault::NackRead);
    } else {
        rig.pedal().faults().set(PedalFault::UnplugAfter, 8000); // bytes since the pedal was plugged in
    }

    QVERIFY(!rig.upgradeTo(QStringLiteral("Firmware_10")));
    QCOMPARE(rig.dialogs.messages.size(), 1);
    QVERIFY2(rig.dialogs.messages.first().startsWith(upgrade_failed_prefix + step),
             qPrintable(rig.dialogs.messages.first()));
    QVERIFY(!rig.dialogs.messages.contains(upgrade_complete_text));
    QVERIFY(!rig.pedalReceived("21 DE"));
    QVERIFY(!rig.pedalReceived("08 01 FC 00 F5")); // the version record's address
    QCOMPARE(rig.pedal().mode(), PedalModel::Mode::Bootloader);
    const int stoppedAt = rig.window.ProgressBar1()->value();
    QVERIFY(stoppedAt > 0 && stoppedAt < rig.window.ProgressBar1()->maximum());
    QVERIFY(rig.window.isVisible());
    QVERIFY(rig.window.btnUpgradeFirmware()->isEnabled());
    QVERIFY(!rig.connection.Timer_USB_Read.isActive());
    QVERIFY(rig.connection.bootloader_mode);

    rig.dialogs.reset();
    if (fault == "silent") {
        rig.pedal().faults().clear(PedalFault::Silent);
    } else if (fault == "nack-read") {
        rig.pedal().faults().clear(PedalFault::NackRead);
    } else if (fault == "unplug") {
        // Plugged in again: with its flash half written the pedal comes up
        // in its bootloader. The window is closed and the link made again.
        QVERIFY(rig.window.close());
        rig.socket.plug({.firmware = 10, .bootloader = true});
        rig.connection.bridge_lost();
        rig.dialogs.reset();
        rig.linkUp();
        QCOMPARE(rig.dialogs.messages.join("|"), bootloader_linked_text);
        QVERIFY(!rig.pedalReceived("02 00"));
        rig.dialogs.reset();
    }
    const bool retried = rig.upgradeTo(QStringLiteral("Firmware_10"));
    QVERIFY2(retried, qPrintable(rig.dialogs.messages.join("|") + rig.pedal().log().mid(rig.pedal().log().size() - 12).join("\n")));
    QCOMPARE(rig.dialogs.messages.first(), upgrade_complete_text);
    rig.expectFirmware(10);
    QVERIFY(rig.pedal().flashMatchesBuiltInImage());
}

void TestUpgradePedal::nackAtTheEnd_data()
{
    QTest::addColumn<int>("step");
    QTest::addColumn<QStringList>("messages");
    QTest::newRow("version record") << int(NackPoint::Step::Version)
                                    << QStringList{upgrade_failed_prefix +
                                                   "version record: the bootloader answered NOT ACK"};
    // The image and its record are written before Go: the user has been told
    // so, and then that the start failed.
    QTest::newRow("go") << int(NackPoint::Step::Go)
                        << QStringList{upgrade_complete_text,
                                       upgrade_failed_prefix + "start: the bootloader answered NOT ACK"};
}

void TestUpgradePedal::nackAtTheEnd()
{
    QFETCH(int, step);
    QFETCH(QStringList, messages);
    Rig rig({.firmware = 10});
    rig.linkUp();
    rig.enterUpgradeMode();
    rig.pedal().faults().set(PedalFault::NackAt, NackPoint{NackPoint::Step(step)});

    QVERIFY(!rig.upgradeTo(QStringLiteral("Firmware_9")));
    QCOMPARE(rig.dialogs.messages, messages);
    // Left for a retry: the pedal in its bootloader, the mode on, the window
    // open with its button and list, the line still the bootloader's.
    QCOMPARE(rig.pedal().mode(), PedalModel::Mode::Bootloader);
    QVERIFY(rig.connection.bootloader_mode);
    QVERIFY(rig.procedure.pedal_in_bootloader());
    QVERIFY(rig.link.bootloader_holds_line());
    QCOMPARE(rig.link.link_parity, FT_PARITY_EVEN);
    QVERIFY(rig.window.isVisible());
    QVERIFY(rig.window.btnUpgradeFirmware()->isEnabled());
    QVERIFY(rig.window.cmbFirmwareChoose()->isEnabled());
    QVERIFY(!rig.connection.Timer_USB_Read.isActive());

    rig.dialogs.reset();
    QVERIFY(rig.upgradeTo(QStringLiteral("Firmware_9")));
    rig.expectFirmware(9);
    QVERIFY(rig.pedal().flashMatchesBuiltInImage());
}

void TestUpgradePedal::listIsClosedDuringTheTransfer()
{
    Rig rig({.firmware = 10});
    rig.linkUp();
    rig.enterUpgradeMode();
    bool closed = false;
    QObject::connect(rig.window.ProgressBar1(), &QProgressBar::valueChanged, &rig.window, [&](int value) {
        if (value != 20)
            return;
        closed = !rig.window.cmbFirmwareChoose()->isEnabled() && !rig.window.btnUpgradeFirmware()->isEnabled()
                 && !rig.window.chkVerify()->isEnabled();
        // Picked anyway, while Firmware_10 is being written.
        rig.window.cmbFirmwareChoose()->setCurrentText(QStringLiteral("Firmware_8"));
    });
    QVERIFY(rig.upgradeTo(QStringLiteral("Firmware_10")));
    QVERIFY(closed);
    // The record matches the image that was written.
    rig.expectFirmware(10);
    QVERIFY(rig.pedal().flashMatchesBuiltInImage());
    QCOMPARE(rig.window.cmbFirmwareChoose()->currentText(), QStringLiteral("Firmware_10"));
    QVERIFY(rig.window.cmbFirmwareChoose()->isEnabled());
    QVERIFY(rig.window.chkVerify()->isEnabled());
}

void TestUpgradePedal::joinsABootloaderSynchronisedBefore()
{
    // A host synchronised the bootloader and went away (a failed upgrade, an
    // editor restarted since): it now takes 0x7F as a command.
    Rig rig({.firmware = 7, .bootloader = true});
    rig.pedal().setBaudRate(115200);
    rig.pedal().setDataCharacteristics(8, 0, 2);
    rig.pedal().receive(QByteArray(1, '\x7F'));
    QTRY_VERIFY(rig.pedal().bytesAvailable() > 0);
    QCOMPARE(rig.pedal().takeOutput(), QByteArray(1, '\x79'));

    rig.procedure.menuFirmwareUpgradeModeClick();
    QVERIFY(rig.connection.upgrade_mode_pending);
    rig.procedure.client().command_limits = {300, 300, 300, 1};
    rig.linkUp();
    QCOMPARE(rig.dialogs.messages, QStringList{bootloader_linked_text});
    QVERIFY(rig.console.lines().contains(already_listening_text));
    QVERIFY(rig.procedure.pedal_in_bootloader());

    rig.dialogs.reset();
    QVERIFY(rig.upgradeTo(QStringLiteral("Firmware_10")));
    rig.expectFirmware(10);
}

QTEST_MAIN(TestUpgradePedal)
#include "tst_upgrade_pedal.moc"
