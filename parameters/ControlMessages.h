#pragma once
// The three messages of the control slots and the stored words, composed from
// plain choices so that every front end sends the same bytes:
// - assignments: 04, one flag per slot, the four buttons' parameter
//   addresses and the remote footswitch's function (16 bytes);
// - footswitch behaviour: 08, short press (00 Bypass, 01 Change Preset),
//   long press (00 Change Preset, 01 Bypass) (3 bytes);
// - store settings: 03 and the words of the five assignable parameters in
//   table order (21 bytes).

#include "parameters/ParameterModel.h"

#include <QString>

#include <array>
#include <cstdint>
#include <optional>
#include <vector>

namespace quorvane {

namespace assign_text {
inline const QString assign_length_log = QStringLiteral("lenght of assign message in bytes: ");
inline const QString assign_message_log = QStringLiteral("assign message: ");
inline const QString assign_question = QStringLiteral("Upload Assignments?");
inline const QString footswitch_log = QStringLiteral("footswitch behaviour message: ");
inline const QString store_log = QStringLiteral("Store settings message (HEX): ");
inline const QString store_question = QStringLiteral("Save Parameters to pedal?");
inline const QString assign_incomplete = QStringLiteral(
    "Assignments not sent: a control slot holds a parameter whose DSP address is not known yet. "
    "Request the pedal's status first.");
} // namespace assign_text

// How long "Assign" stays disabled after writing, and the pause after
// "Save Parameters" writes.
inline constexpr int assign_settle_ms = 100;
inline constexpr int store_settle_ms = 100;

inline constexpr std::uint32_t assign_message_size = 16;
inline constexpr std::uint32_t footswitch_message_size = 3;
inline constexpr std::uint32_t store_message_size = 21;

// What the remote footswitch slot holds: a pedal function, not a parameter.
enum class RemoteFunction { none, bypass, change_preset };

// The parameters control slot 0..3 can hold, in the order of its list's
// entries after "Not Assigned".
const std::vector<ParameterRow> &slot_rows(int slot);

// The rows "store settings" sends, in its order.
inline constexpr std::array<ParameterRow, 5> stored_rows = {
    ParameterRow::input_level, ParameterRow::harmonic_pitch, ParameterRow::wave_clip,
    ParameterRow::dominant_notes_cut, ParameterRow::high_notes_cut};

// The flags are the model's slot_assigned. A button holding a parameter that
// no effect image has given an address adds nothing, so the text comes short
// of its sixteen bytes and is not to be sent.
QString assign_message(const ParameterModel &model, const std::array<std::optional<ParameterRow>, 4> &buttons,
                       RemoteFunction remote);

// Whether each press bypasses (true) or changes the preset (false); a press
// with no choice adds nothing, and the short text is not to be sent.
QString footswitch_message(std::optional<bool> short_bypasses, std::optional<bool> long_bypasses);

QString store_message(const ParameterModel &model);

} // namespace quorvane
