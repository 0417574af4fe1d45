#include "protocol/Sender.h"

#include "console/ConsoleLog.h"
#include "platform/Dialogs.h"
#include "protocol/Codec.h"
#include "usb/D2XXUnit.h"

namespace quorvane {

bool send_message(D2XXUnit &link, ConsoleLog &console, const QString &text, std::uint32_t n,
                  bool purge_tx)
{
    // Checked before anything is decoded, so a refused message leaves
    // tx_buffer as it was.
    if (link.bootloader_listening) {
        console.print_to_console(QStringLiteral("Message not sent: \"%1\" would reach the bootloader")
                                     .arg(text.left(64)));
        link.dialogs().message(bootloader_busy_text);
        return false;
    }
    if (n > link.tx_buffer.size() || count_hex_bytes(text, n) != n) {
        console.print_to_console(
            QStringLiteral("Message not sent: \"%1\" does not make %2 bytes").arg(text.left(64)).arg(n));
        return false;
    }
    decode_hex_text(text, link.tx_buffer.data(), n);
    if (purge_tx)
        link.PurgeFTTransmit();
    link.WriteFTDevice(n);
    return true;
}

bool send_bypass(D2XXUnit &link, ConsoleLog &console, bool on)
{
    return send_message(link, console, on ? QStringLiteral("0D01") : QStringLiteral("0D00"), 2);
}

} // namespace quorvane
