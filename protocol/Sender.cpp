#include "protocol/Sender.h"

#include "common/ConsoleLog.h"
#include "protocol/Codec.h"

#include <QByteArray>

namespace quorvane {

LineStatus send_message(D2XXUnit &link, ConsoleLog &console, const QString &text, std::uint32_t n,
                        bool purge_tx)
{
    if (n > link_buffer_size || count_hex_bytes(text, n) != n) {
        console.print_to_console(
            QStringLiteral("Message not sent: \"%1\" does not make %2 bytes").arg(text.left(64)).arg(n));
        return LineStatus::Refused;
    }
    QByteArray bytes(qsizetype(n), '\0');
    decode_hex_text(text, reinterpret_cast<std::uint8_t *>(bytes.data()), n);
    return link.transmit(bytes, purge_tx);
}

LineStatus send_bypass(D2XXUnit &link, ConsoleLog &console, bool on)
{
    return send_message(link, console, on ? QStringLiteral("0D01") : QStringLiteral("0D00"), 2);
}

} // namespace quorvane
