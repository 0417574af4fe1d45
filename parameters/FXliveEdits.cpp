// Live edits: every change of a control of the effect settings window is
// written to the pedal's DSP at once (through the DSP writer); dials through
// the 100 ms throttle.

#include "parameters/FXsettingsGuards.h"
#include "parameters/TformFXsettings.h"

#include "ui_TformFXsettings.h"

#include "common/ConsoleLog.h"
#include "parameters/DialMapping.h"
#include "platform/Dialogs.h"
#include "protocol/Sender.h"
#include "widgets/ArcDial.h"
#include "widgets/ToggleSwitch.h"

#include <QCheckBox>
#include <QComboBox>

namespace quorvane {

bool TformFXsettings::refused(ParameterRow row)
{
    if (!m_model.is_assigned(row) || m_model.updating_from_pedal)
        return false;
    m_dialogs.message(fx_text::assigned_refusal);
    return true;
}

bool TformFXsettings::writers_refused()
{
    return m_link.refuses_writers();
}

bool TformFXsettings::edit_refused(ParameterRow row, std::uint32_t word)
{
    if (refused(row))
        return true;
    const bool cut = row == ParameterRow::dominant_notes_cut || row == ParameterRow::high_notes_cut;
    if (cut && word != 0 && ui->cmbGuitarTuning->currentIndex() == no_tuning_index) {
        m_dialogs.message(fx_text::no_tuning_for_cut);
        return true;
    }
    return false;
}

// --- the senders ---

std::uint32_t TformFXsettings::compose_dial(ArcDial &dial)
{
    // Snapping the pointer out of the dead zone changes the dial again; that
    // change belongs to this one.
    Handling own(*this, &dial);
    const DialWord dw = dial_to_word(dial.angle());
    if (dw.angle != dial.angle())
        dial.setAngle(dw.angle);
    for (int i = 0; i < parameter_count; ++i)
        if (dial_of(ParameterRow(i)) == &dial)
            m_writer.write_throttled(&dial, ParameterRow(i), dw.word);
    return dw.word;
}

std::uint32_t TformFXsettings::send_standard_dial(ArcDial &dial, standard_parameter &)
{
    return compose_dial(dial);
}

std::uint32_t TformFXsettings::send_assignable_dial(ArcDial &dial, assignable_parameter &)
{
    return compose_dial(dial);
}

void TformFXsettings::send_switch_value(std::uint32_t word, standard_parameter &parameter)
{
    for (int i = 0; i < standard_parameter_count; ++i)
        if (&m_model.standard(ParameterRow(i)) == &parameter)
            m_writer.write_now(ParameterRow(i), word);
}

void TformFXsettings::send_dsp_write(const QString &prefix, std::uint32_t address, std::uint32_t word)
{
    m_writer.write_prefixed(prefix, address, word);
}

void TformFXsettings::send_parameter_word(ParameterRow row, std::uint32_t word)
{
    if (!is_sent_parameter(row))
        return; // its dial only shows the pedal's word
    if (ArcDial *d = dial_of(row))
        m_writer.write_throttled(d, row, word);
    else
        m_writer.write_now(row, word,
                           row == ParameterRow::dominant_notes_cut || row == ParameterRow::high_notes_cut);
}

// --- the handlers ---

void TformFXsettings::standard_dial_changed(ArcDial &dial, ParameterRow row)
{
    Handling h(*this, &dial);
    if (!h || m_filling_from_report || m_model.updating_from_pedal)
        return;
    standard_parameter &p = m_model.standard(row);
    const std::uint32_t before = p.value;
    p.value = send_standard_dial(dial, p);
    show_readout(row);
    m_history->record_dial(row, before, p.value);
}

void TformFXsettings::assignable_dial_changed(ArcDial &dial, ParameterRow row)
{
    Handling h(*this, &dial);
    if (!h || m_filling_from_report || refused(row))
        return;
    assignable_parameter &p = m_model.assignable(row);
    const std::uint32_t before = p.value;
    p.value = send_assignable_dial(dial, p);
    show_readout(row);
    m_history->record_dial(row, before, p.value);
}

void TformFXsettings::dialDryChange() { standard_dial_changed(*ui->dialDry, ParameterRow::dry); }
void TformFXsettings::dialSubMixChange() { standard_dial_changed(*ui->dialSubMix, ParameterRow::sub_mix); }
void TformFXsettings::dialMinus1OctChange() { standard_dial_changed(*ui->dialMinus1Oct, ParameterRow::minus_1_oct); }
void TformFXsettings::dialMinus2OctChange() { standard_dial_changed(*ui->dialMinus2Oct, ParameterRow::minus_2_oct); }
void TformFXsettings::dialLowPassChange() { standard_dial_changed(*ui->dialLowPass, ParameterRow::low_pass); }
void TformFXsettings::dialHighPassChange() { standard_dial_changed(*ui->dialHighPass, ParameterRow::high_pass); }
void TformFXsettings::dialRangeChange() { standard_dial_changed(*ui->dialRange, ParameterRow::range); }
void TformFXsettings::dialInputLevelChange() { assignable_dial_changed(*ui->dialInputLevel, ParameterRow::input_level); }
void TformFXsettings::dialClipWaveChange() { assignable_dial_changed(*ui->dialClipWave, ParameterRow::wave_clip); }

void TformFXsettings::swtWaveSwitch()
{
    Handling h(*this, ui->swtWave);
    if (!h || m_filling_from_report)
        return;
    standard_parameter &p = m_model.standard(ParameterRow::wave);
    const std::uint32_t word = ui->swtWave->isChecked() ? wave_on_value : wave_off_value;
    send_switch_value(word, p);
    const std::uint32_t before = p.value;
    p.value = word; // what the pedal now plays is what a preset saves
    show_readout(ParameterRow::wave);
    m_history->record(ParameterRow::wave, before, word);
}

void TformFXsettings::swtSplitSwitch()
{
    Handling h(*this, ui->swtSplit);
    if (!h || m_filling_from_report)
        return;
    standard_parameter &p = m_model.standard(ParameterRow::split);
    const std::uint32_t word = ui->swtSplit->isChecked() ? 1 : 0;
    send_switch_value(word, p);
    const std::uint32_t before = p.value;
    p.value = word;
    show_readout(ParameterRow::split);
    m_history->record(ParameterRow::split, before, word);
}

void TformFXsettings::swtBypassSwitch()
{
    Handling h(*this, ui->swtBypass);
    if (!h || m_filling_from_report || m_model.updating_from_pedal)
        return;
    send_bypass(m_link, m_console, ui->swtBypass->isChecked());
}

void TformFXsettings::cmbVariableWavePitchChange()
{
    Handling h(*this, ui->cmbVariableWavePitch);
    const int index = ui->cmbVariableWavePitch->currentIndex();
    if (!h || m_filling_from_report || index < 0 || index >= int(harmonic_pitch_table.size()))
        return;
    if (refused(ParameterRow::harmonic_pitch))
        return;
    const std::uint32_t word = harmonic_pitch_table[std::size_t(index)];
    m_writer.write_now(ParameterRow::harmonic_pitch, word);
    const std::uint32_t before = m_model.value(ParameterRow::harmonic_pitch);
    m_model.assignable(ParameterRow::harmonic_pitch).value = word;
    show_readout(ParameterRow::harmonic_pitch);
    m_history->record(ParameterRow::harmonic_pitch, before, word);
}

void TformFXsettings::cut_box_changed(QCheckBox &box, ParameterRow row)
{
    Handling h(*this, &box);
    if (!h || m_filling_from_report || refused(row) || m_link.refuses_writers())
        return;
    // The cuts follow the tuning: without one the box will not stay set.
    if (ui->cmbGuitarTuning->currentIndex() == no_tuning_index) {
        m_dialogs.message(fx_text::no_tuning_for_cut);
        box.setChecked(false);
    }
    assignable_parameter &p = m_model.assignable(row);
    const std::uint32_t before = p.value;
    p.value = box.isChecked() ? 1 : 0;
    m_writer.write_now(row, p.value, true);
    show_readout(row);
    m_history->record(row, before, p.value);
}

void TformFXsettings::chkDominantNoteCutChange()
{
    cut_box_changed(*ui->chkDominantNoteCut, ParameterRow::dominant_notes_cut);
}

void TformFXsettings::chkHighNoteCutChange()
{
    cut_box_changed(*ui->chkHighNoteCut, ParameterRow::high_notes_cut);
}

void TformFXsettings::cmbGuitarTuningChange()
{
    const int index = ui->cmbGuitarTuning->currentIndex();
    if (index >= 0)
        m_model.current_tuning = std::uint8_t(index);
}

void TformFXsettings::cmbSemitonesVariationChange()
{
    const int index = ui->cmbSemitonesVariation->currentIndex();
    if (index >= 0)
        m_model.semitone_variation = std::int8_t(ui->cmbSemitonesVariation->itemText(index).toInt());
}

} // namespace quorvane
