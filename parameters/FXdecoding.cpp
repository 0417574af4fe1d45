// The effect window as the view of a status report: the decoding (in
// StatusDecoding) decides what each control shows, and these show it without
// running a change handler's sending.

#include "parameters/FXsettingsGuards.h"
#include "parameters/TformFXsettings.h"

#include "ui_TformFXsettings.h"

#include "parameters/DialMapping.h"
#include "parameters/Readout.h"
#include "widgets/ArcDial.h"
#include "widgets/ToggleSwitch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>

namespace quorvane {

void TformFXsettings::show_report_in(StatusView &view)
{
    view.footswitch_mode = [this](int mode) {
        FillFromReport fill(*this);
        const bool short_changes_preset = mode & 2;
        const bool long_bypasses = mode & 1;
        // Each pair is one exclusive group: checking one clears the other.
        if (!short_changes_preset)
            ui->chkBypassShortPress->setChecked(true);
        if (!long_bypasses)
            ui->chkChangePresetLongPress->setChecked(true);
        if (long_bypasses)
            ui->chkBypassLongPress->setChecked(true);
        if (short_changes_preset)
            ui->chkChangePresetShortPress->setChecked(true);
    };
    view.slot_entry = [this](int slot, int entry) {
        FillFromReport fill(*this);
        set_list_entry(*list(slot_list_names[slot]), entry);
    };
    view.tuning_entry = [this](int entry) {
        FillFromReport fill(*this);
        set_list_entry(*ui->cmbGuitarTuning, entry);
    };
    view.semitone_entry = [this](int entry) {
        FillFromReport fill(*this);
        set_list_entry(*ui->cmbSemitonesVariation, entry);
    };
    view.bypass = [this](bool on) {
        FillFromReport fill(*this);
        ui->swtBypass->setChecked(on);
    };
    view.parameters = [this] {
        show_parameters();
        // The words before a report may be stale or zero: nothing to go back to.
        m_history->report_shown();
    };
}

void TformFXsettings::show_parameters()
{
    FillFromReport display_only(*this);
    const ParameterModel &m = m_model;
    auto full = [&m](ParameterRow row) { return level_to_dial_angle(m.value(row), full_scale); };
    auto stepped = [&m](ParameterRow row) { return stepped_word_to_angle(m.value(row), row_steps(row)); };

    ui->dialDry->setAngle(full(ParameterRow::dry));
    ui->dialSubMix->setAngle(full(ParameterRow::sub_mix));
    ui->dialMinus1Oct->setAngle(full(ParameterRow::minus_1_oct));
    ui->dialMinus2Oct->setAngle(full(ParameterRow::minus_2_oct));

    const std::uint32_t wave = m.value(ParameterRow::wave);
    if (wave == wave_on_value)
        ui->swtWave->setChecked(true);
    else if (wave == wave_off_value)
        ui->swtWave->setChecked(false);

    ui->dialLowPass->setAngle(stepped(ParameterRow::low_pass));
    ui->dialHighPass->setAngle(stepped(ParameterRow::high_pass));
    ui->dial1stHarmonic->setAngle(full(ParameterRow::first_harmonic));

    const std::uint32_t split = m.value(ParameterRow::split);
    if (split == 1)
        ui->swtSplit->setChecked(true);
    else if (split == 0)
        ui->swtSplit->setChecked(false);

    ui->dialRange->setAngle(stepped(ParameterRow::range));
    ui->dialInputLevel->setAngle(full(ParameterRow::input_level));
    ui->dialClipWave->setAngle(full(ParameterRow::wave_clip));

    const std::uint32_t pitch = m.value(ParameterRow::harmonic_pitch);
    for (int i = 0; i < int(harmonic_pitch_table.size()); ++i) {
        if (harmonic_pitch_table[std::size_t(i)] == pitch) {
            ui->cmbVariableWavePitch->setCurrentIndex(i);
            break;
        }
    }

    ui->chkDominantNoteCut->setChecked(m.value(ParameterRow::dominant_notes_cut) == 1);
    ui->chkHighNoteCut->setChecked(m.value(ParameterRow::high_notes_cut) == 1);

    for (int i = 0; i < parameter_count; ++i)
        show_readout(ParameterRow(i));
}

void TformFXsettings::set_list_entry(QComboBox &list, int index)
{
    list.setCurrentIndex(index);
}

} // namespace quorvane
