#pragma once
// Sending a message: its text is checked and decoded, and the bytes pass the
// link's gate in one step, so no other sender can overwrite them.

#include "usb/D2XXUnit.h"

#include <QString>

#include <cstdint>

namespace quorvane {

class ConsoleLog;

// Writes the n bytes that `text` spells. A text that does not decode into all
// n bytes is refused: nothing is written and the refusal is logged. While the
// pedal's bootloader holds the line the gate refuses the message and says
// why (bootloader_busy_text). With purge_tx the transmit queue is purged
// before the write.
LineStatus send_message(D2XXUnit &link, ConsoleLog &console, const QString &text, std::uint32_t n,
                        bool purge_tx = false);

// Bypass on (0D 01) or off (0D 00); no console line.
LineStatus send_bypass(D2XXUnit &link, ConsoleLog &console, bool on);

} // namespace quorvane
