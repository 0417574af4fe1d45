#include "parameters/StatusDecoding.h"

#include "protocol/DeviceConnection.h"

#include "common/ConsoleLog.h"
#include "protocol/Codec.h"

namespace quorvane {

void StatusDecoding::attach(DeviceConnection &connection)
{
    StatusDecoders &d = connection.decoders;
    d.decode_footswitch_mode = [this](const Values &v, int start) {
        // The first decoder of a report: the parameters' addresses must be
        // the reported effect's before the assignments are matched.
        load_reported_effect_addresses(v);
        decode_footswitch_mode(v, start);
    };
    d.decode_assignments = [this](const Values &v, int start) { decode_assignments(v, start); };
    d.decode_tuning = [this](const Values &v, int start) { decode_tuning(v, start); };
    d.getBypassStatus = [this](const Values &v, int start) { getBypassStatus(v, start); };
    d.decode_parameter_dump = [this](const Values &v, int start) { decode_parameter_dump(v, start); };
}

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
constexpr int tuning_entries = 9; // "No Tuning Selected" .. "Bass Guitar"
constexpr int min_semitones = -5;
constexpr int max_semitones = 3;

template <class Hook, class... Args> void show(const Hook &hook, Args... args)
{
    if (hook)
        hook(args...);
}

} // namespace

bool StatusDecoding::holds(const Values &values, int index, int count, const char *field) const
{
    if (index >= 0 && std::size_t(index) + std::size_t(count) <= values.size())
        return true;
    m_console.print_to_console(QStringLiteral("Status reply too short for the %1 (%2 values); left as it was")
                                   .arg(QLatin1String(field))
                                   .arg(values.size()));
    return false;
}

void StatusDecoding::load_reported_effect_addresses(const Values &values)
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

void StatusDecoding::decode_footswitch_mode(const Values &values, int index)
{
    if (!holds(values, index, 1, "footswitch mode"))
        return;
    footswitch_mode = values[std::size_t(index)];
    m_console.print_to_console(QStringLiteral("Footswitch Mode: %1").arg(footswitch_mode));
    if (footswitch_mode >= 0 && footswitch_mode <= 3)
        show(view.footswitch_mode, footswitch_mode);
}

void StatusDecoding::decode_assignments(const Values &values, int index)
{
    if (!holds(values, index, assignment_values, "control assignments"))
        return;
    std::optional<std::uint16_t> slot_address[assign_slot_count];
    for (int k = 0; k < assign_slot_count; ++k) {
        const std::size_t at = std::size_t(index);
        if (values[at + std::size_t(k)] != 0)
            slot_address[k] = std::uint16_t(values[at + 5 + 2 * std::size_t(k)] * 256
                                            + values[at + 6 + 2 * std::size_t(k)]);
        else
            show(view.slot_entry, k, 0);
    }
    for (int r = standard_parameter_count; r < parameter_count; ++r)
        m_model.assignable(ParameterRow(r)).is_assigned = false;

    // A parameter whose address no image has given matches nothing: the
    // constructor address 0xFFFF is no DSP address.
    auto match = [&](int slot, ParameterRow row, int entry) {
        if (slot_address[slot] && m_model.has_image_address(row)
            && *slot_address[slot] == m_model.address(row)) {
            show(view.slot_entry, slot, entry);
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
        show(view.slot_entry, 4, 1);
    else if (slot_address[4] == remote_preset_marker)
        show(view.slot_entry, 4, 2);
}

void StatusDecoding::decode_tuning(const Values &values, int index)
{
    if (!holds(values, index, tuning_values, "tuning"))
        return;
    const std::uint8_t tuning = values[std::size_t(index)];
    const std::uint8_t semitone_byte = values[std::size_t(index) + 1];
    const int semitones = std::int8_t(semitone_byte);
    m_console.print_to_console(QStringLiteral("Current Tuning: %1").arg(tuning));
    m_console.print_to_console(QStringLiteral("Semitones variation: ") + hex2(semitone_byte));

    // A value the lists cannot show leaves both the list and the model as
    // they were, so that what is shown is what will be sent back.
    if (tuning < tuning_entries) {
        m_model.current_tuning = tuning;
        show(view.tuning_entry, int(tuning));
    } else {
        m_console.print_to_console(
            QStringLiteral("Tuning %1 is not in the tuning list; the tuning is left as it was").arg(tuning));
    }
    if (semitones >= min_semitones && semitones <= max_semitones) {
        m_model.semitone_variation = std::int8_t(semitones);
        show(view.semitone_entry, semitones - min_semitones);
    } else {
        m_console.print_to_console(
            QStringLiteral("Semitone variation %1 is out of range; the semitones are left as they were")
                .arg(semitones));
    }
}

void StatusDecoding::getBypassStatus(const Values &values, int buffer_index)
{
    if (!holds(values, buffer_index, 1, "bypass state"))
        return;
    const std::uint8_t state = values[std::size_t(buffer_index)];
    if (state == 0 || state == 1)
        show(view.bypass, state == 1);
}

void StatusDecoding::decode_parameter_dump(const Values &values, int index)
{
    if (!holds(values, index, dump_values, "parameter values"))
        return;
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
    show(view.parameters);
}

} // namespace quorvane
