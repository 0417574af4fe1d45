// Live edits: every change of a control of the effect settings window is
// written to the pedal's DSP at once; dials through the 100 ms throttle.

#include "parameters/FXsettingsGuards.h"
#include "parameters/TformFXsettings.h"

#include "ui_TformFXsettings.h"

#include "common/ConsoleLog.h"
#include "parameters/DialMapping.h"
#include "platform/Dialogs.h"
#include "protocol/Codec.h"
#include "protocol/Sender.h"
#include "widgets/ArcDial.h"
#include "widgets/ToggleSwitch.h"

#include <QCheckBox>
#include <QComboBox>

namespace quorvane {

namespace {

// The constructor addresses are no DSP addresses: until an effect image has
// given a parameter its address, nothing is written for it.
bool image_gave(std::uint16_t address)
{
    return address != standard_initial_address && address != assignable_initial_address;
}

QString dsp_write_text(std::uint16_t address, std::uint32_t word)
{
    return QStringLiteral("01") + hex4(address) + hex8(word);
}

void log_unaddressed(ConsoleLog &console, const QString &name, std::uint32_t word)
{
    console.print_to_console(
        QStringLiteral("%1 set to %2, not sent: no effect image has given it a DSP address yet")
            .arg(name, hex8(word)));
}

} // namespace

void TformFXsettings::log_not_sent(ParameterRow row, std::uint32_t word)
{
    log_unaddressed(m_console, m_model.parameter_name(row), word);
}

bool TformFXsettings::refused(ParameterRow row)
{
    if (!m_model.is_assigned(row) || m_model.updating_from_pedal)
        return false;
    m_dialogs.message(fx_text::assigned_refusal);
    return true;
}

// --- the senders ---

namespace {
template <class Parameter>
std::uint32_t compose_dial(TformFXsettings &w, ArcDial &dial, Parameter &parameter,
                           DialSendThrottle &throttle, ConsoleLog &console)
{
    // Snapping the pointer out of the dead zone changes the dial again; that
    // change belongs to this one.
    Handling own(w, &dial);
    const DialWord dw = dial_to_word(dial.angle());
    if (dw.angle != dial.angle())
        dial.setAngle(dw.angle);
    if (!image_gave(parameter.address)) {
        log_unaddressed(console, parameter.parameter_name, dw.word);
        return dw.word;
    }
    throttle.queue(&dial, dsp_write_text(parameter.address, dw.word));
    return dw.word;
}
} // namespace

std::uint32_t TformFXsettings::send_standard_dial(ArcDial &dial, standard_parameter &parameter)
{
    return compose_dial(*this, dial, parameter, *m_throttle, m_console);
}

std::uint32_t TformFXsettings::send_assignable_dial(ArcDial &dial, assignable_parameter &parameter)
{
    return compose_dial(*this, dial, parameter, *m_throttle, m_console);
}

void TformFXsettings::send_switch_value(std::uint32_t word, standard_parameter &parameter)
{
    if (!image_gave(parameter.address)) {
        log_unaddressed(m_console, parameter.parameter_name, word);
        return;
    }
    send_message(m_link, m_console, dsp_write_text(parameter.address, word), 7);
}

void TformFXsettings::send_dsp_write(const QString &prefix, std::uint32_t address, std::uint32_t word)
{
    const QString text = prefix + hex4(address & 0xFFFF) + hex8(word);
    m_console.print_to_console(fx_text::dsp_write_log + text);
    const std::uint8_t n = std::uint8_t(text.size() / 2);
    send_message(m_link, m_console, text, n);
}

void TformFXsettings::send_parameter_word(ParameterRow row, std::uint32_t word)
{
    if (row == ParameterRow::first_harmonic)
        return; // its dial only shows the pedal's word
    if (!m_model.has_image_address(row)) {
        log_not_sent(row, word);
        return;
    }
    const std::uint16_t address = m_model.address(row);
    if (ArcDial *d = dial_of(row))
        m_throttle->queue(d, dsp_write_text(address, word));
    else if (row == ParameterRow::dominant_notes_cut || row == ParameterRow::high_notes_cut)
        send_dsp_write(QStringLiteral("01"), address, word);
    else
        send_message(m_link, m_console, dsp_write_text(address, word), 7);
}

// --- the handlers ---

void TformFXsettings::standard_dial_changed(ArcDial &dial, ParameterRow row)
{
    Handling h(*this, &dial);
    if (!h || m_filling_from_report || m_model.updating_from_pedal)
        return;
    standard_parameter &p = m_model.standard(row);
    p.value = send_standard_dial(dial, p);
    show_readout(row);
}

void TformFXsettings::assignable_dial_changed(ArcDial &dial, ParameterRow row)
{
    Handling h(*this, &dial);
    if (!h || m_filling_from_report || refused(row))
        return;
    assignable_parameter &p = m_model.assignable(row);
    p.value = send_assignable_dial(dial, p);
    show_readout(row);
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
    p.value = word; // what the pedal now plays is what a preset saves
    show_readout(ParameterRow::wave);
}

void TformFXsettings::swtSplitSwitch()
{
    Handling h(*this, ui->swtSplit);
    if (!h || m_filling_from_report)
        return;
    standard_parameter &p = m_model.standard(ParameterRow::split);
    const std::uint32_t word = ui->swtSplit->isChecked() ? 1 : 0;
    send_switch_value(word, p);
    p.value = word;
    show_readout(ParameterRow::split);
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
    assignable_parameter &p = m_model.assignable(ParameterRow::harmonic_pitch);
    const std::uint32_t word = harmonic_pitch_table[std::size_t(index)];
    if (image_gave(p.address))
        send_message(m_link, m_console, dsp_write_text(p.address, word), 7);
    else
        log_not_sent(ParameterRow::harmonic_pitch, word);
    p.value = word;
    show_readout(ParameterRow::harmonic_pitch);
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
    p.value = box.isChecked() ? 1 : 0;
    if (image_gave(p.address))
        send_dsp_write(QStringLiteral("01"), p.address, p.value);
    else
        log_not_sent(row, p.value);
    show_readout(row);
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
