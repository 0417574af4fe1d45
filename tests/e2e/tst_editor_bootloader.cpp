// While the virtual pedal waits in its bootloader for a firmware upgrade,
// nothing but the upgrade may reach it: every other command of the editor
// sends nothing and says why. Leaving the upgrade mode lets them through again.

#include "SimEditor.h"

#include "parameters/TformFXsettings.h"
#include "protocol/Sender.h"
#include "widgets/ArcDial.h"
#include "widgets/ToggleSwitch.h"

#include <QComboBox>
#include <QMenu>

using namespace quorvane;
using quorvane::test::pedal;
using quorvane::test::SimEditor;

class TestEditorBootloader : public QObject {
    Q_OBJECT
private slots:
    void onlyTheUpgradeTalksToTheBootloader();
};

void TestEditorBootloader::onlyTheUpgradeTalksToTheBootloader()
{
    SimEditor e(pedal(10));
    e.link();
    QVERIFY(e.connection().is_linked);
    QVERIFY(e.dialogs.messages.isEmpty());

    // Upgrade Mode, Yes to the SHIFT question: the pedal restarts into its
    // bootloader and answers the hand-shake.
    e.dialogs.answers.enqueue(Answer::Yes);
    e.trigger("menuFirmwareUpgradeMode");
    QCOMPARE(e.driver.model().mode(), PedalModel::Mode::Bootloader);
    QCOMPARE(e.dialogs.messages.size(), 1);
    e.dialogs.reset();

    TformFXsettings &fx = e.editor->fxSettings();
    QAction *omni = e.main().menuMIDIchannel->actions().value(0);
    QVERIFY(omni);
    // Each command as the user starts it, whether or not its control is
    // enabled at the moment: the refusal must not depend on that.
    const QList<QPair<QString, std::function<void()>>> commands = {
        {"Set Tuning", [&] { e.main().btnSetTuningClick(); }},
        {"Upload Tuning Data", [&] { e.main().menuUploadTuningsDataClick(); }},
        {"MIDI channel", [&] { omni->trigger(); }},
        {"Bass", [&] { e.main().menuBass->trigger(); }},
        {"Erase Settings", [&] { e.main().menuEraseSettingsClick(); }},
        {"effect bypass switch",
         [&] { fx.findChild<ToggleSwitch *>("swtBypass")->toggle(); }},
        {"effect dial", [&] {
             fx.findChild<ArcDial *>("dialDry")->turnClockwise(20);
         }},
        {"pitch list", [&] {
             auto *list = fx.findChild<QComboBox *>("cmbVariableWavePitch");
             list->setCurrentIndex(list->currentIndex() == 0 ? 1 : 0);
         }},
    };
    const bool guitar = e.main().menuGuitar->isChecked(), bass = e.main().menuBass->isChecked();
    const qint64 received = e.driver.model().bytesReceived();
    for (const auto &[name, command] : commands) {
        e.dialogs.reset();
        // Any question is answered Yes: only the refusal may stop the command.
        for (int i = 0; i < 3; ++i)
            e.dialogs.answers.enqueue(Answer::Yes);
        e.run(command);
        QTest::qWait(250); // a dial's write goes out at the next throttle tick
        QVERIFY2(e.dialogs.messages.contains(bootloader_busy_text), qPrintable(name));
        QCOMPARE(e.driver.model().bytesReceived(), received);
    }
    // The instrument menu still shows the choice in force.
    QCOMPARE(e.main().menuGuitar->isChecked(), guitar);
    QCOMPARE(e.main().menuBass->isChecked(), bass);
    QCOMPARE(e.driver.model().mode(), PedalModel::Mode::Bootloader);

    // Leaving the upgrade mode (the line is back to the firmware's settings)
    // lets the commands through again.
    e.dialogs.reset();
    e.driver.model().powerCycle(); // the user restarts the pedal into its firmware
    e.run([&] { e.main().menuFirmwareUpgradeModeClick(); });
    QVERIFY(!e.connection().bootloader_mode);
    e.dialogs.answers.enqueue(Answer::Yes);
    e.run([&] { e.main().btnSetTuningClick(); });
    QVERIFY(!e.dialogs.messages.contains(bootloader_busy_text));
    QVERIFY(e.driver.model().bytesReceived() > received);
}

QTEST_MAIN(TestEditorBootloader)
#include "tst_editor_bootloader.moc"
