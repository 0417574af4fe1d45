// The whole editor against the virtual pedal: "Assign", "Set Footswitch Mode"
// and "Save Parameters" from the main window reach the pedal, and "Request"
// reads back what they set. None of the three reaches the pedal's bootloader.

#include "SimEditor.h"

#include "firmware/SettingsErase.h"
#include "firmware/UpgradeProcedure.h"
#include "parameters/ParameterModel.h"
#include "parameters/TformFXsettings.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>

using namespace quorvane;
using namespace quorvane::test;

namespace {

// The editor linked to a current virtual pedal (firmware 10, effect 0011).
struct LinkedEditor : SimEditor {
    LinkedEditor() : SimEditor(pedal()) { link(); }

    TformFXsettings &fx() { return editor->fxSettings(); }
    ParameterModel &model() { return editor->parameters(); }
    PedalModel &pedalModel() { return driver.model(); }
    QComboBox *slot(int k) { return fx().list(slot_list_names[k]); }
};

} // namespace

class TestAssignmentsVirtualPedal : public QObject {
    Q_OBJECT
private slots:
    void sentSettingsReadBack();
    void nothingReachesTheBootloader();
};

void TestAssignmentsVirtualPedal::sentSettingsReadBack()
{
    LinkedEditor e;
    QVERIFY(e.fx().isVisible());
    QVERIFY(e.dialogs.messages.isEmpty());
    const std::uint16_t input_level = e.model().address(ParameterRow::input_level);
    const std::uint16_t high_notes_cut = e.model().address(ParameterRow::high_notes_cut);
    QVERIFY(e.model().has_image_address(ParameterRow::input_level));
    QVERIFY(e.model().has_image_address(ParameterRow::high_notes_cut));

    // "Input Level" on CTRL I, "High Notes Cut" on CTRL IV (a tuning chosen
    // first), "Preset" on the remote footswitch.
    e.fx().list("cmbGuitarTuning")->setCurrentIndex(1);
    e.slot(0)->setCurrentIndex(1);
    e.slot(3)->setCurrentIndex(2);
    e.slot(4)->setCurrentIndex(2);
    QVERIFY(e.dialogs.messages.isEmpty());
    e.click("btnAssign");
    QCOMPARE(e.dialogs.questions, QStringList{"Upload Assignments?"});
    const PedalModel::Settings &s = e.pedalModel().settings();
    QTRY_COMPARE(s.slotFlags, (std::array<std::uint8_t, 5>{1, 0, 0, 1, 1}));
    QCOMPARE(s.slotAddresses,
             (std::array<std::uint16_t, 5>{input_level, 0xFFFF, 0xFFFF, high_notes_cut, 0xFFFD}));

    // Short press changes the preset, long press bypasses: mode 3.
    e.fx().radio("chkChangePresetShortPress")->setChecked(true);
    e.fx().radio("chkBypassLongPress")->setChecked(true);
    e.click("btnSetFootswitchMode");
    QTRY_COMPARE(int(s.footswitchMode), 3);

    // Words of the assignable parameters, set through the window.
    e.fx().list("cmbVariableWavePitch")->setCurrentIndex(24); // "+12"
    e.fx().checkBox("chkDominantNoteCut")->setChecked(true);
    e.model().set_value(ParameterRow::input_level, 0x00400000);
    e.model().set_value(ParameterRow::wave_clip, 0x007FE000);
    e.dialogs.reset();
    e.click("btnSaveParameters");
    QCOMPARE(e.dialogs.questions, QStringList{"Save Parameters to pedal?"});
    const std::array<std::uint32_t, 5> stored{0x00400000, 0x00800000, 0x007FE000, 1, 0};
    QTRY_COMPARE(e.pedalModel().storedWords(), stored);

    // Forget it all in the window, then ask the pedal.
    for (int k = 0; k < assign_slot_count; ++k)
        e.slot(k)->setCurrentIndex(0);
    e.fx().radio("chkBypassShortPress")->setChecked(true);
    e.fx().radio("chkChangePresetLongPress")->setChecked(true);
    for (int i = 0; i < assignable_parameter_count; ++i)
        e.model().set_value(ParameterRow(standard_parameter_count + i), 0xDEAD);
    e.dialogs.reset();
    e.click("btnRequest");
    QVERIFY(e.dialogs.messages.isEmpty());

    QCOMPARE(e.slot(0)->currentText(), QStringLiteral("Input Level"));
    QCOMPARE(e.slot(1)->currentIndex(), 0);
    QCOMPARE(e.slot(2)->currentIndex(), 0);
    QCOMPARE(e.slot(3)->currentText(), QStringLiteral("High Notes Cut"));
    QCOMPARE(e.slot(4)->currentText(), QStringLiteral("Preset"));
    QCOMPARE(e.model().slot_assigned, (std::array<bool, 5>{true, false, false, true, true}));
    QVERIFY(e.model().is_assigned(ParameterRow::input_level));
    QVERIFY(e.model().is_assigned(ParameterRow::high_notes_cut));
    QCOMPARE(e.fx().decoding().footswitch_mode, 3);
    QVERIFY(e.fx().radio("chkChangePresetShortPress")->isChecked());
    QVERIFY(e.fx().radio("chkBypassLongPress")->isChecked());
    for (int i = 0; i < assignable_parameter_count; ++i)
        QCOMPARE(e.model().value(ParameterRow(standard_parameter_count + i)), stored[std::size_t(i)]);

    // Sending the read-back choices again gives the pedal the same message.
    e.dialogs.reset();
    e.click("btnAssign");
    QTRY_COMPARE(e.pedalModel().settings().slotFlags, (std::array<std::uint8_t, 5>{1, 0, 0, 1, 1}));
}

void TestAssignmentsVirtualPedal::nothingReachesTheBootloader()
{
    LinkedEditor e;
    e.run([&] { e.main().menuFirmwareUpgradeModeClick(); });
    QCOMPARE(e.dialogs.messages, QStringList{bootloader_connected_text});
    QVERIFY(e.editor->upgrade().pedal_in_bootloader());
    e.dialogs.reset();
    const qint64 received = e.pedalModel().bytesReceived();
    const qsizetype logged = e.pedalModel().log().size();

    e.run([&] { e.main().btnAssignClick(); });
    e.run([&] { e.main().btnSetFootswitchModeClick(); });
    e.run([&] { e.main().btnSaveParametersClick(); });
    QCOMPARE(e.dialogs.messages, QStringList(3, bootloader_busy_text));
    QVERIFY(e.dialogs.questions.isEmpty());
    // Not a byte was written, so the pedal has nothing still to take in.
    QCOMPARE(e.pedalModel().bytesReceived(), received);
    QCOMPARE(e.pedalModel().log().size(), logged);
}

QTEST_MAIN(TestAssignmentsVirtualPedal)
#include "tst_assignments_virtual_pedal.moc"
