// Bringing the parameter block of the pedal's status reply into the model and
// onto the effect settings window.

#include "parameters/FXsettingsGuards.h"
#include "parameters/TformFXsettings.h"

#include "ui_TformFXsettings.h"

#include "common/ConsoleLog.h"
#include "parameters/DialMapping.h"
#include "parameters/Readout.h"
#include "protocol/Codec.h"
#include "widgets/ArcDial.h"
#include "widgets/ToggleSwitch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QRadioButton>

#include <optional>

namespace quorvane {

namespace {

// Console labels of the fifteen words, in table order.
const char *const dump_labels[parameter_count] = {
    "Dry: \t",          "Sub Mix: ",        "Sub -1: \t",         "Sub -2: \t",
    "Wave: \t",         "LPF: \t",          "HPF: \t",            "1st Harmonic: \t",
    "Split: \t",        "Range: \t",        "Input Lvl: \t",      "Harmonic pitch: \t",
    "Clip: \t",         "Dominant notes cut: \t",                 "High notes cut: \t",
};

constexpr int assignment_values = 3 * assign_slot_count; // five flags, five 16-bit addresses
constexpr int tuning_values = 2;
constexpr int dump_values = 4 * parameter_count;

} // namespace

// A reply too short for a field leaves everything the field shows unchanged.
static bool reply_holds(ConsoleLog &console, const TformFXsettings::Values &values, int index,
                        int count, const char *field)
{
    if (index >= 0 && std::size_t(index) + std::size_t(count) <= values.size())
        return true;
    console.print_to_console(QStringLiteral("Status reply too short for the %1 (%2 values); left as it was")
                                 .arg(QLatin1String(field))
                                 .arg(values.size()));
    return false;
}

void TformFXsettings::load_reported_effect_addresses(const Values &values)
{
    if (values.size() < 4 || !effect_image_at)
        return;
    // The effect number is sent as two decimal digits, one per nibble.
    bool ok = false;
    const int position = hex2(values[3]).toInt(&ok, 10);
    if (!ok) {
        m_console.print_to_console(
            QStringLiteral("Effect number %1 is no list position; parameter addresses left as they were")
                .arg(hex2(values[3])));
        return;
    }
    if (const std::optional<EffectImage> image = effect_image_at(position))
        load_parameter_addresses(m_model, image->text, &m_console);
}

void TformFXsettings::decode_footswitch_mode(const Values &values, int index)
{
    if (!reply_holds(m_console, values, index, 1, "footswitch mode"))
        return;
    FillFromReport fill(*this);
    footswitch_mode = values[std::size_t(index)];
    m_console.print_to_console(QStringLiteral("Footswitch Mode: %1").arg(footswitch_mode));
    if (footswitch_mode < 0 || footswitch_mode > 3)
        return;
    const bool short_changes_preset = footswitch_mode & 2;
    const bool long_bypasses = footswitch_mode & 1;
    // Each pair is one exclusive group: checking one clears the other.
    if (!short_changes_preset)
        ui->chkBypassShortPress->setChecked(true);
    if (!long_bypasses)
        ui->chkChangePresetLongPress->setChecked(true);
    if (long_bypasses)
        ui->chkBypassLongPress->setChecked(true);
    if (short_changes_preset)
        ui->chkChangePresetShortPress->setChecked(true);
}

void TformFXsettings::decode_assignments(const Values &values, int index)
{
    if (!reply_holds(m_console, values, index, assignment_values, "control assignments"))
        return;
    FillFromReport fill(*this);
    std::optional<std::uint16_t> slot_address[assign_slot_count];
    for (int k = 0; k < assign_slot_count; ++k) {
        const std::size_t at = std::size_t(index);
        if (values[at + std::size_t(k)] != 0)
            slot_address[k] = std::uint16_t(values[at + 5 + 2 * std::size_t(k)] * 256
                                            + values[at + 6 + 2 * std::size_t(k)]);
        else
            set_list_entry(*list(slot_list_names[k]), 0);
    }
    for (int r = standard_parameter_count; r < parameter_count; ++r)
        m_model.assignable(ParameterRow(r)).is_assigned = false;

    // A parameter whose address no image has given matches nothing: the
    // constructor address 0xFFFF is no DSP address.
    auto match = [&](int slot, ParameterRow row, int entry) {
        if (slot_address[slot] && m_model.has_image_address(row)
            && *slot_address[slot] == m_model.address(row)) {
            set_list_entry(*list(slot_list_names[slot]), entry);
            m_model.assignable(row).is_assigned = true;
        }
    };
    for (int slot : {0, 1}) {
        match(slot, ParameterRow::input_level, 1);
        match(slot, ParameterRow::harmonic_pitch, 2);
        match(slot, ParameterRow::wave_clip, 3);
    }
    for (int slot : {2, 3}) {
        match(slot, ParameterRow::dominant_notes_cut, 1);
        match(slot, ParameterRow::high_notes_cut, 2);
    }
    if (slot_address[4] == remote_bypass_marker)
        set_list_entry(*ui->cmbAssignRemote, 1);
    else if (slot_address[4] == remote_preset_marker)
        set_list_entry(*ui->cmbAssignRemote, 2);
}

void TformFXsettings::decode_tuning(const Values &values, int index)
{
    if (!reply_holds(m_console, values, index, tuning_values, "tuning"))
        return;
    FillFromReport fill(*this);
    const std::uint8_t tuning = values[std::size_t(index)];
    const std::uint8_t semitone_byte = values[std::size_t(index) + 1];
    const int semitones = std::int8_t(semitone_byte);
    m_console.print_to_console(QStringLiteral("Current Tuning: %1").arg(tuning));
    m_console.print_to_console(QStringLiteral("Semitones variation: ") + hex2(semitone_byte));

    // A value the lists cannot show leaves both the list and the model as
    // they were, so that what is shown is what will be sent back.
    if (tuning < ui->cmbGuitarTuning->count()) {
        m_model.current_tuning = tuning;
        set_list_entry(*ui->cmbGuitarTuning, tuning);
    } else {
        m_console.print_to_console(
            QStringLiteral("Tuning %1 is not in the tuning list; the tuning is left as it was").arg(tuning));
    }
    if (semitones >= min_semitone_variation && semitones <= max_semitone_variation) {
        m_model.semitone_variation = std::int8_t(semitones);
        set_list_entry(*ui->cmbSemitonesVariation, semitones - min_semitone_variation);
    } else {
        m_console.print_to_console(
            QStringLiteral("Semitone variation %1 is out of range; the semitones are left as they were")
                .arg(semitones));
    }
}

void TformFXsettings::getBypassStatus(const Values &values, int buffer_index)
{
    if (!reply_holds(m_console, values, buffer_index, 1, "bypass state"))
        return;
    FillFromReport fill(*this);
    const std::uint8_t state = values[std::size_t(buffer_index)];
    if (state == 0)
        ui->swtBypass->setChecked(false);
    else if (state == 1)
        ui->swtBypass->setChecked(true);
}

void TformFXsettings::decode_parameter_dump(const Values &values, int index)
{
    if (!reply_holds(m_console, values, index, dump_values, "parameter values"))
        return;
    FillFromReport fill(*this);
    parameter_words.assign(std::size_t(parameter_count), 0);
    for (int i = 0; i < parameter_count; ++i) {
        const std::size_t at = std::size_t(index) + 4 * std::size_t(i);
        const std::uint32_t word = (std::uint32_t(values[at]) << 24) | (std::uint32_t(values[at + 1]) << 16)
                                   | (std::uint32_t(values[at + 2]) << 8) | std::uint32_t(values[at + 3]);
        parameter_words[std::size_t(i)] = word;
        m_model.set_value(ParameterRow(i), word);
    }
    for (int i = 0; i < parameter_count; ++i)
        m_console.print_to_console(QLatin1String(dump_labels[i]) + hex8(m_model.value(ParameterRow(i))));
    show_parameters();
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
