#pragma once
// The pedal's MIDI receive channel: "07" and the channel byte, 00 for OMNI.

#include <QString>

#include <optional>

namespace quorvane {

class ConsoleLog;
class D2XXUnit;

// "00" for "OMNI", "01".."10" for the channels 1 to 16; nothing for any
// other caption.
std::optional<QString> midi_channel_byte_text(const QString &caption);

// Logs and sends the channel a caption names; false (with a console line)
// for a caption that names none, or when the message did not go out.
bool send_midi_channel(D2XXUnit &link, ConsoleLog &console, const QString &caption);

} // namespace quorvane
