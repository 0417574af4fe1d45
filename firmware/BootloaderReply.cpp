#include "firmware/BootloaderReply.h"

#include "console/ConsoleLog.h"
#include "platform/Wait.h"
#include "protocol/Codec.h"
#include "usb/D2XXUnit.h"

#include <QCoreApplication>

namespace quorvane {

BootloaderReply ReadBootloaderReply(D2XXUnit &link, ConsoleLog &console, int timeout_ms)
{
    BootloaderReply reply;
    bool query_failed = false;
    const bool arrived = wait_until(
        [&] {
            if (link.GetFTQueueStatus() != FT_OK) {
                query_failed = true;
                return true;
            }
            return link.rx_queue_count > 0;
        },
        timeout_ms);
    if (query_failed) {
        reply.outcome = BootloaderReply::Outcome::LinkFailed;
        return reply;
    }
    if (!arrived) {
        reply.outcome = BootloaderReply::Outcome::Timeout;
        return reply;
    }

    std::uint32_t total = 0;
    bool have_first = false;
    std::uint8_t first = 0;
    while (true) {
        QCoreApplication::processEvents();
        const std::uint32_t n = link.ReadFTDevice();
        if (n == 0)
            break;
        if (!have_first) {
            first = link.rx_buffer[0];
            have_first = true;
        }
        total += n;
    }
    console.print_to_console(QStringLiteral("num of bytes received: %1").arg(total));
    link.PurgeFTReceive();
    if (!have_first) {
        // The queue said a byte was waiting but no read delivered it.
        reply.outcome = BootloaderReply::Outcome::LinkFailed;
        return reply;
    }
    reply.outcome = BootloaderReply::Outcome::Received;
    reply.text = encode_hex_text(&first, 1);
    return reply;
}

} // namespace quorvane
