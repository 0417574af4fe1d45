// The upgrade as the user runs it, with the real upgrade window offscreen and
// the virtual pedal behind the recording driver: entering the mode, the
// hand-shake, the upgrade and its read-back, its failures and the retry,
// leaving the mode, and "Verify after writing" kept between runs.

// EditorRig leaves the editor's time limits at their defaults on purpose.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

#include "app/EditorRig.h"
#include "common/ConsoleLog.h"
#include "common/Preferences.h"
#include "firmware/SettingsErase.h"
#include "firmware/TformFirmwareUpgrade.h"
#include "firmware/UpgradeProcedure.h"
#include "protocol/Codec.h"
#include "support/Hex.h"
#include "support/RecordedPedal.h"
#include "support/RecordingDriver.h"
#include "support/ScriptedDialogs.h"
#include "usb/D2XXUnit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>


using namespace quorvane;
using namespace quorvane::test;

namespace {

QByteArray builtin_image(const QString &name)
{
    QFile f(QStringLiteral(":/") + name);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A pedal held in upgrade mode when it was switched on: its bootloader waits
// for the editor, whatever the editor knows of its firmware.
PedalOptions held_in_upgrade_mode()
{
    PedalOptions o;
    o.bootloader = true;
    return o;
}

struct Rig {
    RecordingDriver driver;
    ScriptedDialogs dialogs;
    ConsoleLog console;
    D2XXUnit link{driver, dialogs};
    // Firmware 10 runs and restarts into its bootloader on the upgrade-mode request.
    RecordedPedal pedal;

    bool is_linked = true;
    bool bootloader_mode = false;
    bool upgrade_mode_pending = false;
    QString device_firmware_version = QStringLiteral("10");
    UpgradeProcedure procedure{link, console, dialogs,
                               {is_linked, bootloader_mode, upgrade_mode_pending, device_firmware_version}};
    TformFirmwareUpgrade window;

    bool checked = false, startEnabled = false, requestUpload = true, tick = true;
    QStringList events; // hook calls in order
    int statusRequests = 0;
    bool modeDuringStatus = false;

    explicit Rig(const PedalOptions &options = {}) : pedal(driver, options)
    {
        driver.bridges = {{QStringLiteral("SN1"), QStringLiteral("KQ5")}};
        link.Open_USB_Device_By_Serial_Number(QStringLiteral("SN1"));
        link.SetLinkSettings(link_mode_normal);
        link.SetFTBaudRate();
        link.SetFTDataCharacteristics();
        window.follow(procedure);
        procedure.client().command_limits = {100, 100, 100, 1};
        UpgradeHooks &h = procedure.hooks;
        h.set_upgrade_mode_checked = [this](bool on) { checked = on; events << QStringLiteral("checked:%1").arg(on); };
        h.set_start_upgrade_enabled = [this](bool on) { startEnabled = on; events << QStringLiteral("start:%1").arg(on); };
        h.set_request_upload_enabled = [this](bool on) { requestUpload = on; events << QStringLiteral("request:%1").arg(on); };
        h.reception_tick_active = [this] { return tick; };
        h.set_reception_tick = [this](bool on) { tick = on; events << QStringLiteral("tick:%1").arg(on); };
        h.request_status = [this] {
            ++statusRequests;
            modeDuringStatus = bootloader_mode;
            events << QStringLiteral("status");
        };
        driver.writes.clear();
    }

    const PedalBootloader &boot() const { return pedal.bootloader(); }
    QByteArray flash() { return pedal.model().flash(); }

    QStringList written() const
    {
        QStringList out;
        for (const QByteArray &w : driver.writes)
            out << spaced(w);
        return out;
    }

    // Upgrade Mode with a current pedal, answered Yes: the pedal is then in
    // its bootloader, ready for the upgrade.
    void enterBootloader()
    {
        dialogs.answers.enqueue(Answer::Yes);
        procedure.menuFirmwareUpgradeModeClick();
        QVERIFY(procedure.pedal_in_bootloader());
        driver.writes.clear();
        dialogs.reset();
        events.clear();
    }

    void openWindowWith(const QString &item)
    {
        procedure.menuStartFirmwareUpgradeClick();
        QVERIFY(window.isVisible());
        window.cmbFirmwareChoose()->setCurrentText(item);
    }
};

} // namespace

class TestUpgradeProcedure : public QObject {
    Q_OBJECT
private slots:
    void upgradeModeAsksThePedal();
    void upgradeModeAnsweredNo();
    void upgradeModeWithOlderFirmware_data();
    void upgradeModeWithOlderFirmware();
    void handshakeWithoutReply();
    void uncheckingSendsNothingAndRestoresTheLine();
    void windowSelectsTheNewestImage();
    void fullUpgrade_data();
    void fullUpgrade();
    void failureThenRetry_data();
    void failureThenRetry();
    void verifyFailureThenRetry_data();
    void verifyFailureThenRetry();
    void verifyChoiceIsKept_data();
    void verifyChoiceIsKept();
    void verifyChoiceOutlivesTheEditor();
    void windowCannotCloseDuringTransfer();
    void unknownImageIsRefusedBeforeErase();
    void otherSendersAreRefusedInBootloader();
    void oneExchangeAtATime();
};

void TestUpgradeProcedure::upgradeModeAsksThePedal()
{
    Rig rig;
    rig.dialogs.answers.enqueue(Answer::Yes);
    rig.procedure.menuFirmwareUpgradeModeClick();

    QCOMPARE(rig.written(), (QStringList{"0D 01", "05 00 01 02 03 04 05 06", "7F"}));
    QCOMPARE(rig.dialogs.questions, QStringList{upgrade_mode_question});
    QCOMPARE(rig.dialogs.messages, QStringList{bootloader_connected_text});
    QCOMPARE(rig.driver.parity, FT_PARITY_EVEN);
    QCOMPARE(rig.console.lines().filter(QStringLiteral("received Byte: ")), QStringList{"received Byte: 79"});
    QVERIFY(rig.checked);
    QVERIFY(rig.bootloader_mode);
    QVERIFY(!rig.upgrade_mode_pending);
    QVERIFY(rig.startEnabled);
    QVERIFY(!rig.requestUpload);
    QVERIFY(rig.procedure.pedal_in_bootloader());
    // The reception tick was off while the answer was awaited, then back as it was.
    QVERIFY(rig.events.contains("tick:0"));
    QVERIFY(rig.tick);
}

void TestUpgradeProcedure::upgradeModeAnsweredNo()
{
    Rig rig;
    rig.dialogs.answers.enqueue(Answer::No);
    rig.procedure.menuFirmwareUpgradeModeClick();
    QCOMPARE(rig.written(), QStringList{"0D 01"});
    QVERIFY(!rig.checked);
    QVERIFY(!rig.bootloader_mode);
    QVERIFY(!rig.upgrade_mode_pending);
    QVERIFY(!rig.startEnabled);
    QCOMPARE(rig.link.link_parity, FT_PARITY_NONE);
    QCOMPARE(rig.driver.parity, FT_PARITY_NONE);
    QVERIFY(rig.dialogs.messages.isEmpty());
}

void TestUpgradeProcedure::upgradeModeWithOlderFirmware_data()
{
    QTest::addColumn<QString>("reported");
    QTest::newRow("no report yet") << "0";
    QTest::newRow("firmware 8") << "8";
    QTest::newRow("unreadable") << "x";
}

void TestUpgradeProcedure::upgradeModeWithOlderFirmware()
{
    QFETCH(QString, reported);
    Rig rig(held_in_upgrade_mode());
    rig.device_firmware_version = reported;
    rig.procedure.menuFirmwareUpgradeModeClick();
    QVERIFY(rig.driver.writes.isEmpty());
    QVERIFY(rig.dialogs.questions.isEmpty());
    QVERIFY(rig.checked);
    QVERIFY(rig.bootloader_mode);
    QVERIFY(rig.upgrade_mode_pending);

    // Link then runs the bootloader branch: 0x7F alone, even parity.
    QVERIFY(rig.procedure.BootloaderLinkHandshake());
    QCOMPARE(rig.written(), QStringList{"7F"});
    QCOMPARE(rig.driver.parity, FT_PARITY_EVEN);
    QCOMPARE(rig.dialogs.messages, QStringList{bootloader_linked_text});
    QVERIFY(rig.startEnabled);
    QVERIFY(!rig.requestUpload);
}

void TestUpgradeProcedure::handshakeWithoutReply()
{
    Rig rig;
    rig.pedal.faults().set(PedalFault::Silent);
    rig.dialogs.answers.enqueue(Answer::Yes);
    rig.procedure.menuFirmwareUpgradeModeClick();
    // It gave up on the silence, within the reply limits it was given.
    QCOMPARE(rig.procedure.client().last_reply.status, LineStatus::TimedOut);
    QVERIFY(rig.console.lines().contains(
        QStringLiteral("bootloader step failed: synchronisation: no reply from the bootloader within 100 ms")));
    QCOMPARE(rig.dialogs.messages, QStringList{bootloader_failed_text});
    QVERIFY(!rig.startEnabled);
    QVERIFY(rig.requestUpload);
    QVERIFY(!rig.procedure.pedal_in_bootloader());
    QVERIFY(rig.bootloader_mode);
    QCOMPARE(rig.console.lines().filter(QStringLiteral("received Byte: ")), QStringList{"received Byte: "});

    // Leaving the mode puts the firmware's line back at once.
    rig.driver.writes.clear();
    rig.procedure.menuFirmwareUpgradeModeClick();
    QVERIFY(rig.driver.writes.isEmpty());
    QCOMPARE(rig.driver.parity, FT_PARITY_NONE);
    QVERIFY(!rig.bootloader_mode);
}

void TestUpgradeProcedure::uncheckingSendsNothingAndRestoresTheLine()
{
    Rig rig(held_in_upgrade_mode());
    rig.device_firmware_version = QStringLiteral("0");
    rig.procedure.menuFirmwareUpgradeModeClick();
    QVERIFY(rig.procedure.BootloaderLinkHandshake());
    rig.driver.writes.clear();
    rig.dialogs.reset();

    rig.procedure.menuFirmwareUpgradeModeClick();
    QVERIFY(rig.driver.writes.isEmpty());
    QVERIFY(rig.dialogs.questions.isEmpty());
    QVERIFY(!rig.checked);
    QVERIFY(!rig.bootloader_mode);
    QVERIFY(!rig.upgrade_mode_pending);
    QVERIFY(!rig.startEnabled);
    QVERIFY(rig.requestUpload);
    QVERIFY(!rig.procedure.pedal_in_bootloader());
    QCOMPARE(rig.link.link_parity, FT_PARITY_NONE);
    QCOMPARE(rig.driver.parity, FT_PARITY_NONE);
}

void TestUpgradeProcedure::windowSelectsTheNewestImage()
{
    Rig rig;
    rig.enterBootloader();
    rig.procedure.menuStartFirmwareUpgradeClick();
    QVERIFY(!rig.tick);
    QCOMPARE(rig.window.cmbFirmwareChoose()->currentText(), QStringLiteral("Firmware_10"));
    QCOMPARE(rig.procedure.firmware_version, 10);
    QCOMPARE(rig.console.lines().mid(rig.console.count() - 2),
             (QStringList{"Firmware Version(DEC): 10", "Firmware_10"}));

    rig.window.cmbFirmwareChoose()->setCurrentText(QStringLiteral("Firmware_8"));
    QCOMPARE(rig.procedure.firmware_version, 8);
    QCOMPARE(rig.procedure.firmware_resource_name, QStringLiteral("Firmware_8"));

    // Closing the window turns the reception tick back on; opening again
    // selects the newest image again.
    QVERIFY(rig.window.close());
    QVERIFY(rig.tick);
    rig.procedure.menuStartFirmwareUpgradeClick();
    QCOMPARE(rig.window.cmbFirmwareChoose()->currentText(), QStringLiteral("Firmware_10"));
    QCOMPARE(rig.procedure.firmware_version, 10);
}

void TestUpgradeProcedure::fullUpgrade_data()
{
    QTest::addColumn<bool>("verify");
    QTest::addColumn<int>("maximum"); // of the progress bar
    QTest::newRow("verified") << true << 2 * 199;
    QTest::newRow("not verified") << false << 199;
}

void TestUpgradeProcedure::fullUpgrade()
{
    QFETCH(bool, verify);
    QFETCH(int, maximum);
    Rig rig;
    rig.enterBootloader();
    rig.openWindowWith(QStringLiteral("Firmware_8"));
    QVERIFY(rig.window.chkVerify()->isChecked());
    if (!verify)
        rig.window.chkVerify()->click();
    QCOMPARE(rig.procedure.verify_after_writing(), verify);
    rig.link.report_usb_errors = true;
    QSignalSpy progress(&rig.procedure, &UpgradeProcedure::progress);
    QSignalSpy finished(&rig.procedure, &UpgradeProcedure::finished);
    QSignalSpy failed(&rig.procedure, &UpgradeProcedure::failed);

    QVERIFY(rig.procedure.btnUpgradeFirmwareClick());
    // The procedure reports; the window follows.
    QCOMPARE(finished.size(), 1);
    QVERIFY(failed.isEmpty());
    QCOMPARE(progress.last(), (QVariantList{maximum - 1, maximum})); // the last of 199 chunks
    const QByteArray image = builtin_image(QStringLiteral("FIRMWARE_8"));
    QCOMPARE(image.size(), 50720);
    QCOMPARE(rig.flash().left(image.size()), image);
    QCOMPARE(rig.pedal.recordedVersion(), 8);
    QVERIFY(rig.boot().goAddress());
    QCOMPARE(rig.boot().nackCount(), 0);
    QCOMPARE(rig.dialogs.messages, QStringList{upgrade_complete_text});
    QVERIFY(rig.console.lines().contains("Firmware num of bytes: 50720"));

    // Verified: every chunk read back after the last one was written and
    // before the version record. Not verified: no Read Memory at all.
    const QStringList sent = rig.written();
    const qsizetype lastChunk = sent.indexOf("08 00 C6 00 CE"); // its write; its read-back comes later
    const qsizetype record = sent.indexOf("08 01 FC 00 F5");
    QVERIFY(lastChunk >= 0 && record > lastChunk);
    QCOMPARE(sent.count("11 EE"), verify ? 199 : 0);
    QCOMPARE(sent.mid(lastChunk, record - lastChunk).count("11 EE"), verify ? 199 : 0);
    QCOMPARE(rig.console.lines().contains("Verified 50720 bytes in 199 chunks"), verify);
    QCOMPARE(rig.console.lines().contains("Verify after writing is off: the image will not be read back"), !verify);

    // Back to the firmware's line, status asked while the mode was still on.
    QCOMPARE(rig.driver.parity, FT_PARITY_NONE);
    QCOMPARE(rig.statusRequests, 1);
    QVERIFY(rig.modeDuringStatus);
    QVERIFY(rig.link.report_usb_errors);
    QVERIFY(rig.tick);
    QVERIFY(!rig.window.isVisible());
    QCOMPARE(rig.window.ProgressBar1()->value(), 0);
    QCOMPARE(rig.window.ProgressBar1()->maximum(), maximum);
    QVERIFY(rig.window.btnUpgradeFirmware()->isEnabled());
    QVERIFY(rig.window.chkVerify()->isEnabled());
    QVERIFY(!rig.checked);
    QVERIFY(!rig.startEnabled);
    QVERIFY(!rig.bootloader_mode);
    QVERIFY(!rig.upgrade_mode_pending);
    QVERIFY(rig.requestUpload);
    QVERIFY(!rig.procedure.pedal_in_bootloader());
    // The status request comes after the line is back and before the menus.
    QCOMPARE(rig.events.indexOf("status") < rig.events.indexOf("checked:0"), true);
}

void TestUpgradeProcedure::failureThenRetry_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("progress");

    QTest::newRow("nack at chunk 3")
        << "nack" << "Firmware upgrade failed: chunk 3 at address 0x08000300, data: the bootloader answered NOT ACK" << 3;
    QTest::newRow("silence at chunk 3")
        << "silent" << "Firmware upgrade failed: chunk 3 at address 0x08000300, data: no reply from the bootloader within 100 ms" << 3;
    // Pulled out while chunk 2's answer was on its way.
    QTest::newRow("unplugged after chunk 2")
        << "unplug" << "Firmware upgrade failed: chunk 2 at address 0x08000200, data: the link to the pedal failed" << 2;
}

void TestUpgradeProcedure::failureThenRetry()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    QFETCH(int, progress);

    Rig rig;
    rig.enterBootloader();
    rig.openWindowWith(QStringLiteral("Firmware_10"));
    rig.link.report_usb_errors = true;
    if (fault == "nack")
        rig.pedal.faults().set(PedalFault::NackAtWrite, 3);
    if (fault == "silent")
        rig.pedal.faults().set(PedalFault::SilentAtWrite, 3);
    if (fault == "unplug") {
        auto feed = rig.driver.onWrite;
        rig.driver.onWrite = [&rig, feed, pulled = false](const QByteArray &bytes) mutable {
            feed(bytes);
            if (!pulled && rig.boot().writeCount() == 3) {
                pulled = true;
                rig.driver.failAlways(QStringLiteral("write"), FT_IO_ERROR);
                rig.driver.failAlways(QStringLiteral("queue"), FT_IO_ERROR);
            }
        };
    }
    QSignalSpy failed(&rig.procedure, &UpgradeProcedure::failed);
    QSignalSpy finished(&rig.procedure, &UpgradeProcedure::finished);

    QVERIFY(!rig.procedure.btnUpgradeFirmwareClick());
    QCOMPARE(rig.dialogs.messages, QStringList{message});
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.first().at(0).toString(), QStringLiteral("write"));
    QCOMPARE("Firmware upgrade failed: " + failed.first().at(1).toString(), message);
    QVERIFY(finished.isEmpty());
    QVERIFY(!rig.boot().goAddress());
    QCOMPARE(rig.boot().writeCount(), 3);
    QCOMPARE(rig.statusRequests, 0);
    QCOMPARE(rig.window.ProgressBar1()->value(), progress);
    QVERIFY(rig.window.isVisible());
    QVERIFY(rig.window.btnUpgradeFirmware()->isEnabled());
    QVERIFY(rig.link.report_usb_errors);
    QVERIFY(!rig.tick);
    QVERIFY(rig.bootloader_mode);
    QVERIFY(rig.procedure.pedal_in_bootloader());
    QCOMPARE(rig.driver.parity, FT_PARITY_EVEN);
    // No version record went out after the failed chunk.
    QVERIFY(!rig.written().contains("07"));

    // Fault gone (for an unplugged pedal: plugged in again, its bootloader
    // fresh); the same button succeeds.
    if (fault == "unplug") {
        rig.driver.failAlways(QStringLiteral("write"), FT_OK);
        rig.driver.failAlways(QStringLiteral("queue"), FT_OK);
        rig.pedal.model().powerCycle();
    } else {
        rig.pedal.faults().clear(PedalFault::NackAtWrite);
        rig.pedal.faults().clear(PedalFault::SilentAtWrite);
        if (fault == "silent") {
            // A silent bootloader came back fresh after a restart.
            rig.pedal.model().powerCycle();
        }
    }
    rig.dialogs.reset();
    rig.driver.writes.clear();
    QVERIFY(rig.procedure.btnUpgradeFirmwareClick());
    QCOMPARE(rig.driver.writes.first(), bytes("7F"));
    QCOMPARE(rig.dialogs.messages, QStringList{upgrade_complete_text});
    const QByteArray image = builtin_image(QStringLiteral("FIRMWARE_10"));
    QCOMPARE(rig.flash().left(image.size()), image);
    QCOMPARE(rig.pedal.recordedVersion(), 10);
    QVERIFY(rig.boot().goAddress());
    QCOMPARE(rig.driver.parity, FT_PARITY_NONE);
    QVERIFY(!rig.window.isVisible());
}

void TestUpgradeProcedure::verifyFailureThenRetry_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("progress"); // of 2 * 202

    // Written whole and answered ACK throughout, chunk 3 holds one wrong byte.
    const QByteArray image = builtin_image(QStringLiteral("FIRMWARE_10"));
    const auto written = std::uint8_t(image.at(0x380));
    QTest::newRow("chunk 3 stored wrong")
        << "corrupt-block=3"
        << QStringLiteral("Firmware upgrade failed: verify chunk 3 at address 0x08000300: the pedal's flash "
                          "differs from the image at 0x08000380: read back %1 where the image has %2")
               .arg(hex2(written ^ 0x01), hex2(written))
        << 202 + 3;
    QTest::newRow("read back refused")
        << "nack-read"
        << "Firmware upgrade failed: verify chunk 0 at address 0x08000000, read command: the pedal refused to read "
           "the chunk back (NOT ACK)"
        << 202;
}

void TestUpgradeProcedure::verifyFailureThenRetry()
{
    QFETCH(QString, fault);
    QFETCH(QString, message);
    QFETCH(int, progress);

    Rig rig;
    rig.enterBootloader();
    rig.openWindowWith(QStringLiteral("Firmware_10"));
    QVERIFY(rig.pedal.faults().parse(fault, nullptr));
    QSignalSpy failed(&rig.procedure, &UpgradeProcedure::failed);
    QSignalSpy finished(&rig.procedure, &UpgradeProcedure::finished);

    QVERIFY(!rig.procedure.btnUpgradeFirmwareClick());
    QCOMPARE(rig.dialogs.messages, QStringList{message});
    QCOMPARE(failed.size(), 1);
    QCOMPARE(failed.first().at(0).toString(), QStringLiteral("verify"));
    QCOMPARE(upgrade_failed_prefix + failed.first().at(1).toString(), message);
    QVERIFY(finished.isEmpty());
    // The image went out whole, but neither its version record nor Go
    // followed: the record stays erased, so no firmware starts from it.
    QCOMPARE(rig.boot().writeCount(), 202);
    QVERIFY(!rig.written().contains("08 01 FC 00 F5"));
    QCOMPARE(rig.pedal.recordedVersion(), 0xFF);
    QVERIFY(!rig.boot().goAddress());
    QVERIFY(!rig.pedal.model().log().contains(QStringLiteral("recv 21 DE")));
    QCOMPARE(rig.statusRequests, 0);
    // Left for a retry, as after a failed write.
    QCOMPARE(rig.window.ProgressBar1()->value(), progress);
    QCOMPARE(rig.window.ProgressBar1()->maximum(), 2 * 202);
    QVERIFY(rig.window.isVisible());
    QVERIFY(rig.window.btnUpgradeFirmware()->isEnabled());
    QVERIFY(rig.window.chkVerify()->isEnabled());
    QVERIFY(rig.bootloader_mode);
    QVERIFY(rig.procedure.pedal_in_bootloader());
    QCOMPARE(rig.driver.parity, FT_PARITY_EVEN);

    // The retry starts clean: erase, write and read back again. A block
    // stored wrong strikes once since power-on; the refusal is taken away.
    rig.pedal.faults().clear(PedalFault::NackRead);
    rig.dialogs.reset();
    rig.driver.writes.clear();
    const int erases = rig.boot().eraseCount();
    QVERIFY(rig.procedure.btnUpgradeFirmwareClick());
    QCOMPARE(rig.dialogs.messages, QStringList{upgrade_complete_text});
    QCOMPARE(rig.boot().eraseCount(), erases + 1);
    QCOMPARE(rig.written().count("11 EE"), 202);
    QVERIFY(rig.console.lines().contains("Verified 51472 bytes in 202 chunks"));
    QCOMPARE(rig.flash().left(0x380 + 1), builtin_image(QStringLiteral("FIRMWARE_10")).left(0x380 + 1));
    QVERIFY(rig.pedal.model().flashMatchesBuiltInImage());
    QCOMPARE(rig.pedal.recordedVersion(), 10);
    QVERIFY(rig.boot().goAddress());
}

void TestUpgradeProcedure::verifyChoiceIsKept_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<bool>("writable");
    QTest::addColumn<bool>("checked"); // as the window opens
    QTest::addColumn<bool>("told");    // a console line says the file held neither word

    QTest::newRow("no file") << false << QByteArray() << true << true << false;
    QTest::newRow("YES") << true << QByteArray("YES") << true << true << false;
    QTest::newRow("NO") << true << QByteArray("NO") << true << false << false;
    QTest::newRow("NO with line end") << true << QByteArray("NO\r\n") << true << false << false;
    // Only "NO" turns the check off.
    QTest::newRow("anything else") << true << QByteArray("maybe") << true << true << true;
    QTest::newRow("empty") << true << QByteArray() << true << true << true;
    QTest::newRow("folder missing") << false << QByteArray() << false << true << false;
}

void TestUpgradeProcedure::verifyChoiceIsKept()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, content);
    QFETCH(bool, writable);
    QFETCH(bool, checked);
    QFETCH(bool, told);

    QTemporaryDir folder;
    const QString path = writable ? folder.filePath(verify_after_writing_file)
                                  : folder.filePath(QStringLiteral("missing/") + verify_after_writing_file);
    if (exists) {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }
    {
        Rig rig;
        rig.procedure.setVerifyPreferenceFile(path);
        QCOMPARE(rig.window.chkVerify()->isChecked(), checked);
        QCOMPARE(rig.procedure.verify_after_writing(), checked);
        QCOMPARE(QFile::exists(path), exists); // reading never writes
        QCOMPARE(rig.console.lines().filter(QStringLiteral("neither YES nor NO")).size(), int(told));

        // The user's click holds for this run, and is kept when it can be.
        rig.window.chkVerify()->click();
        QCOMPARE(rig.procedure.verify_after_writing(), !checked);
        if (writable) {
            QCOMPARE(read_preference_text(path), std::optional<QString>(checked ? "NO" : "YES"));
            QVERIFY(rig.dialogs.messages.isEmpty());
        } else {
            QCOMPARE(rig.dialogs.messages.size(), 1);
            QVERIFY2(rig.dialogs.messages.first().startsWith(QStringLiteral("Cannot write \"%1\"").arg(path)),
                     qPrintable(rig.dialogs.messages.first()));
            QVERIFY(!QFile::exists(path));
        }
    }
    // The next run shows what was kept.
    Rig again;
    again.procedure.setVerifyPreferenceFile(path);
    QCOMPARE(again.window.chkVerify()->isChecked(), writable ? !checked : checked);
}

void TestUpgradeProcedure::verifyChoiceOutlivesTheEditor()
{
    EditorRig rig;
    {
        Editor &editor = rig.start();
        QCheckBox *box = editor.firmwareUpgradeWindow().chkVerify();
        QVERIFY(box->isChecked());
        box->click();
        QVERIFY(!editor.upgrade().verify_after_writing());
    }
    QCOMPARE(read_preference_text(rig.productFile(verify_after_writing_file)), std::optional<QString>("NO"));
    rig.editor.reset();
    Editor &again = rig.start();
    QVERIFY(!again.firmwareUpgradeWindow().chkVerify()->isChecked());
    QVERIFY(!again.upgrade().verify_after_writing());
    QVERIFY(rig.dialogs.messages.isEmpty());
}

void TestUpgradeProcedure::windowCannotCloseDuringTransfer()
{
    Rig rig;
    rig.enterBootloader();
    rig.openWindowWith(QStringLiteral("Firmware_9"));
    bool tried = false, closed = true, modeClickRefused = false, verifyBoxOpen = true;
    auto feed = rig.driver.onWrite;
    rig.driver.onWrite = [&](const QByteArray &b) {
        feed(b);
        if (!tried && rig.boot().writeCount() == 10) {
            tried = true;
            verifyBoxOpen = rig.window.chkVerify()->isEnabled();
            closed = rig.window.close();
            const int before = rig.dialogs.messages.size();
            rig.procedure.menuFirmwareUpgradeModeClick();
            modeClickRefused = rig.dialogs.messages.value(before) == transfer_running_text && rig.bootloader_mode;
        }
    };
    QVERIFY(rig.procedure.btnUpgradeFirmwareClick());
    QVERIFY(tried);
    QVERIFY(!closed);
    QVERIFY(modeClickRefused);
    QVERIFY(!verifyBoxOpen);
    QVERIFY(rig.window.chkVerify()->isEnabled());
    QVERIFY(!rig.events.contains("tick:1") || rig.events.indexOf("tick:1") > rig.events.indexOf("status"));
    QCOMPARE(rig.pedal.recordedVersion(), 9);
}

void TestUpgradeProcedure::unknownImageIsRefusedBeforeErase()
{
    Rig rig;
    rig.enterBootloader();
    rig.procedure.menuStartFirmwareUpgradeClick();
    rig.procedure.FirmwareSelect(QStringLiteral("Firmware_99"));
    QCOMPARE(rig.procedure.firmware_version, 99);
    QVERIFY(!rig.procedure.btnUpgradeFirmwareClick());
    QVERIFY(rig.driver.writes.isEmpty());
    QCOMPARE(rig.boot().eraseCount(), 0);
    QCOMPARE(rig.dialogs.messages,
             QStringList{"Firmware upgrade failed: image: the editor carries no firmware image \"Firmware_99\""});
}

void TestUpgradeProcedure::otherSendersAreRefusedInBootloader()
{
    Rig rig;
    QVERIFY(!rig.link.refuses_writers());
    rig.enterBootloader();
    rig.dialogs.reset();
    QVERIFY(rig.link.refuses_writers());
    QCOMPARE(rig.dialogs.messages, QStringList{bootloader_busy_text});

    SettingsErase erase(rig.link, rig.console, rig.dialogs);
    erase.EraseEEPROM(QStringLiteral("50"));
    QVERIFY(rig.driver.writes.isEmpty());

    rig.procedure.menuFirmwareUpgradeModeClick(); // leave
    QVERIFY(!rig.link.refuses_writers());
}

void TestUpgradeProcedure::oneExchangeAtATime()
{
    Rig rig;
    ExchangeGuard guard;
    rig.procedure.setExchangeGuard(&guard);
    {
        // Another exchange waits for its reply: neither the mode nor the
        // upgrade starts one of their own.
        auto other = guard.hold();
        rig.procedure.menuFirmwareUpgradeModeClick();
        QVERIFY(!rig.checked);
        QVERIFY(rig.driver.writes.isEmpty());
    }
    rig.enterBootloader();
    rig.openWindowWith(QStringLiteral("Firmware_7"));
    {
        auto other = guard.hold();
        QVERIFY(!rig.procedure.btnUpgradeFirmwareClick());
        QVERIFY(rig.driver.writes.isEmpty());
    }
    // The transfer holds the guard while it runs.
    bool busyDuringTransfer = false;
    auto feed = rig.driver.onWrite;
    rig.driver.onWrite = [&](const QByteArray &b) {
        feed(b);
        busyDuringTransfer = busyDuringTransfer || guard.exchange_busy();
    };
    QVERIFY(rig.procedure.btnUpgradeFirmwareClick());
    QVERIFY(busyDuringTransfer);
    QVERIFY(!guard.exchange_busy());
}

QTEST_MAIN(TestUpgradeProcedure)
#include "tst_upgrade_procedure.moc"
