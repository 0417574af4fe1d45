// While the virtual pedal waits in its bootloader for a firmware upgrade,
// nothing but the upgrade may reach it: every other command of the editor is
// disabled, and started anyway it sends nothing and says why. Leaving the
// upgrade mode lets them through again.

#include "SimEditor.h"

#include "console/TformPrint.h"
#include "firmware/TformFirmwareUpgrade.h"
#include "firmware/UpgradeProcedure.h"
#include "parameters/TformFXsettings.h"
#include "protocol/Sender.h"
#include "widgets/ArcDial.h"
#include "widgets/ToggleSwitch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>

using namespace quorvane;
using quorvane::test::pedal;
using quorvane::test::SimEditor;

using Command = std::function<void(SimEditor &)>;
Q_DECLARE_METATYPE(Command)

namespace {

// A control of any of the editor's windows, by name: enabled or not.
bool control_enabled(SimEditor &e, const QString &name)
{
    for (QWidget *window : e.editor->windows()) {
        if (quorvane::test::control(window, name))
            return quorvane::test::control_enabled(window, name);
    }
    qFatal("no control %s", qPrintable(name));
}

// Linked, then Upgrade Mode with Yes to the SHIFT question: the pedal
// restarts into its bootloader and answers the hand-shake.
void enter_bootloader(SimEditor &e)
{
    e.link();
    QVERIFY(e.connection().is_linked);
    e.dialogs.answers.enqueue(Answer::Yes);
    e.trigger("menuFirmwareUpgradeMode");
    QCOMPARE(e.driver.model().mode(), PedalModel::Mode::Bootloader);
    QCOMPARE(e.dialogs.messages.size(), 1);
    e.dialogs.reset();
}

} // namespace

class TestEditorBootloader : public QObject {
    Q_OBJECT
private slots:
    void nothingButTheUpgradeReachesTheBootloader_data();
    void nothingButTheUpgradeReachesTheBootloader();
    void leavingTheModeLetsCommandsThrough();
    void quittingDuringTheTransfer_data();
    void quittingDuringTheTransfer();
};

void TestEditorBootloader::nothingButTheUpgradeReachesTheBootloader_data()
{
    QTest::addColumn<QString>("control");
    QTest::addColumn<Command>("command");

    auto main_click = [](void (TformMain::*handler)()) {
        return Command([handler](SimEditor &e) { (e.main().*handler)(); });
    };
    auto fx = [](SimEditor &e) -> TformFXsettings & { return e.editor->fxSettings(); };

    QTest::newRow("Upload Selected") << "btnUpload" << main_click(&TformMain::btnUploadClick);
    QTest::newRow("Request") << "btnRequest" << main_click(&TformMain::btnRequestClick);
    QTest::newRow("Assign") << "btnAssign" << main_click(&TformMain::btnAssignClick);
    QTest::newRow("Save Parameters") << "btnSaveParameters" << main_click(&TformMain::btnSaveParametersClick);
    QTest::newRow("Set Footswitch Mode") << "btnSetFootswitchMode"
                                         << main_click(&TformMain::btnSetFootswitchModeClick);
    QTest::newRow("Set Tuning") << "btnSetTuning" << main_click(&TformMain::btnSetTuningClick);
    QTest::newRow("Load Effect From File") << "menuLoadAlgorithmFromFile"
                                           << main_click(&TformMain::menuLoadAlgorithmFromFileClick);
    QTest::newRow("Load Preset") << "menuLoadPreset" << main_click(&TformMain::menuLoadPresetClick);
    QTest::newRow("Upload Tuning Data") << "menuUploadTuningsData"
                                        << main_click(&TformMain::menuUploadTuningsDataClick);
    QTest::newRow("Erase Settings") << "menuEraseSettings" << main_click(&TformMain::menuEraseSettingsClick);
    QTest::newRow("MIDI channel") << "menuMIDI" << Command([](SimEditor &e) {
        e.main().menuMIDIchannel->actions().value(0)->trigger();
    });
    QTest::newRow("Bass") << "menuInstrument" << Command([](SimEditor &e) { e.main().menuBass->trigger(); });
    QTest::newRow("console: Read") << "btnReadEEPROM" << Command([](SimEditor &e) {
        e.editor->consoleWindow().btnReadEEPROMClick();
    });
    QTest::newRow("console: Erase") << "btnEraseEeprom" << Command([](SimEditor &e) {
        e.editor->consoleWindow().btnEraseEepromClick();
    });
    QTest::newRow("effect dial") << "dialDry" << Command([fx](SimEditor &e) {
        fx(e).findChild<ArcDial *>("dialDry")->turnClockwise(20);
        fx(e).flush_dial_writes(); // the throttle's tick, driven
    });
    QTest::newRow("effect switch") << "swtWave" << Command([fx](SimEditor &e) {
        fx(e).findChild<ToggleSwitch *>("swtWave")->toggle();
    });
    QTest::newRow("bypass switch") << "swtBypass" << Command([fx](SimEditor &e) {
        fx(e).findChild<ToggleSwitch *>("swtBypass")->toggle();
    });
    QTest::newRow("effect list") << "cmbVariableWavePitch" << Command([fx](SimEditor &e) {
        auto *list = fx(e).findChild<QComboBox *>("cmbVariableWavePitch");
        list->setCurrentIndex(list->currentIndex() == 0 ? 1 : 0);
    });
    QTest::newRow("effect check box") << "chkHighNoteCut" << Command([fx](SimEditor &e) {
        fx(e).findChild<QCheckBox *>("chkHighNoteCut")->toggle();
    });
}

void TestEditorBootloader::nothingButTheUpgradeReachesTheBootloader()
{
    QFETCH(QString, control);
    QFETCH(Command, command);

    SimEditor e(pedal(10));
    enter_bootloader(e);
    // The upgrade's own items stay.
    QVERIFY(e.enabled("menuFirmwareUpgradeMode"));
    QVERIFY(e.enabled("menuStartFirmwareUpgrade"));

    QVERIFY2(!control_enabled(e, control), qPrintable(control + " is enabled"));

    // Started anyway: every question is answered Yes and every file dialog
    // picks a valid file, so only the refusal can stop it.
    for (int i = 0; i < 3; ++i)
        e.dialogs.answers.enqueue(Answer::Yes);
    const QString dat = e.home.filePath("effect.dat");
    {
        QFile f(dat);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(PedalModel::builtInEffectImage(11));
    }
    e.dialogs.fileAnswers.enqueue(dat);
    const qint64 received = e.driver.model().bytesReceived();
    e.run([&] { command(e); });
    QCOMPARE(e.driver.model().bytesReceived(), received);
    QCOMPARE(e.dialogs.messages, QStringList{bootloader_busy_text});
    QCOMPARE(e.driver.model().mode(), PedalModel::Mode::Bootloader);
}

void TestEditorBootloader::leavingTheModeLetsCommandsThrough()
{
    SimEditor e(pedal(10));
    enter_bootloader(e);
    const bool guitar = e.main().menuGuitar->isChecked(), bass = e.main().menuBass->isChecked();
    e.run([&] { e.main().menuBass->trigger(); });
    // The instrument menu still shows the choice in force.
    QCOMPARE(e.main().menuGuitar->isChecked(), guitar);
    QCOMPARE(e.main().menuBass->isChecked(), bass);

    // The user restarts the pedal into its firmware and leaves the mode.
    e.dialogs.reset();
    e.driver.model().powerCycle();
    const qint64 received = e.driver.model().bytesReceived();
    e.run([&] { e.main().menuFirmwareUpgradeModeClick(); });
    QVERIFY(!e.connection().bootloader_mode);
    for (const char *name : {"btnUpload", "btnRequest", "btnSetTuning", "menuLoadAlgorithmFromFile",
                             "menuLoadPreset", "menuEraseSettings", "btnReadEEPROM", "dialDry"})
        QVERIFY2(control_enabled(e, name), name);
    e.dialogs.answers.enqueue(Answer::Yes);
    e.run([&] { e.main().btnSetTuningClick(); });
    QVERIFY(!e.dialogs.messages.contains(bootloader_busy_text));
    QVERIFY(e.driver.model().bytesReceived() > received);
}

void TestEditorBootloader::quittingDuringTheTransfer_data()
{
    QTest::addColumn<int>("answer");
    QTest::newRow("No: the upgrade goes on") << int(Answer::No);
    QTest::newRow("Yes: stop and quit") << int(Answer::Yes);
}

void TestEditorBootloader::quittingDuringTheTransfer()
{
    QFETCH(int, answer);
    SimEditor e(pedal(10));
    enter_bootloader(e);
    e.trigger("menuStartFirmwareUpgrade");
    TformFirmwareUpgrade &window = e.editor->firmwareUpgradeWindow();
    QVERIFY(window.isVisible());
    window.cmbFirmwareChoose()->setCurrentText(QStringLiteral("Firmware_9"));

    // The user closes the main window while chunk 20 is on its way.
    bool asked = false;
    QObject::connect(window.ProgressBar1(), &QProgressBar::valueChanged, &window, [&](int value) {
        if (value != 20 || asked)
            return;
        asked = true;
        e.dialogs.answers.enqueue(Answer(answer));
        e.main().close();
    });
    e.run([&] { window.btnUpgradeFirmware()->click(); });
    QVERIFY(asked);
    QVERIFY(e.dialogs.questions.contains(quit_during_upgrade_question));

    const bool go_sent = e.driver.model().log().contains(QStringLiteral("recv 21 DE"));
    if (Answer(answer) == Answer::No) {
        QVERIFY(e.main().isVisible());
        QVERIFY(go_sent);
        QCOMPARE(e.driver.model().firmwareVersion(), 9);
        QCOMPARE(e.driver.model().mode(), PedalModel::Mode::Firmware);
        return;
    }
    // Stopped at the chunk boundary: no failure box, the pedal waits in its
    // bootloader for a retry, the port is closed and no window is left.
    QTRY_VERIFY(!e.main().isVisible());
    QVERIFY(!go_sent);
    QVERIFY(!e.dialogs.messages.contains(upgrade_complete_text));
    QVERIFY(e.dialogs.messages.filter(upgrade_failed_prefix).isEmpty());
    QCOMPARE(e.driver.model().mode(), PedalModel::Mode::Bootloader);
    QVERIFY(!e.connection().is_linked);
    QVERIFY(!e.editor->link().bootloader_holds_line());
    QCOMPARE(e.editor->link().link_parity, FT_PARITY_NONE);
    for (QWidget *w : e.editor->windows())
        QVERIFY2(!w->isVisible(), qPrintable(w->objectName()));
}

QTEST_MAIN(TestEditorBootloader)
#include "tst_editor_bootloader.moc"
#include "support/WindowByName.h"
