#pragma once
// Sending a message: decode its text into tx_buffer and write it, in one step
// with no event processing between, so no other sender can overwrite it.

#include <QString>

#include <cstdint>

namespace quorvane {

class D2XXUnit;
class ConsoleLog;

// The refusal shown by every command that would send to the pedal's firmware
// while the pedal runs its bootloader.
inline const QString bootloader_busy_text =
    QStringLiteral("The pedal is in its bootloader: finish or leave the firmware upgrade first.");

// Writes the n bytes that `text` spells. A text that does not decode into all
// n bytes is refused: nothing is written (the stale tail of tx_buffer must
// never reach the pedal) and the refusal is logged. While the pedal's
// bootloader holds the line (link.bootloader_listening) every message is
// refused, with bootloader_busy_text shown. With purge_tx the
// transmit queue is purged before the write. Returns false only for a refused
// message; a write the bridge fails is reported by the link layer and the
// caller goes on as if it had gone out.
bool send_message(D2XXUnit &link, ConsoleLog &console, const QString &text, std::uint32_t n,
                  bool purge_tx = false);

// Bypass on (0D 01) or off (0D 00); no console line.
bool send_bypass(D2XXUnit &link, ConsoleLog &console, bool on);

} // namespace quorvane
