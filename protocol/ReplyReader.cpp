#include "protocol/ReplyReader.h"

#include "console/ConsoleLog.h"
#include "platform/Wait.h"
#include "protocol/Codec.h"
#include "usb/D2XXUnit.h"

#include <QCoreApplication>
#include <QDeadlineTimer>

namespace quorvane {

namespace {

constexpr char CR = '\x0D';
constexpr char LF = '\x0A';

bool is_digit(char c)
{
    return c >= '0' && c <= '9';
}

} // namespace

int ReplyReader::ParseReplyValues(const QByteArray &reply)
{
    std::vector<std::uint8_t> values;
    int v = 0;
    qsizetype start = 0;
    for (qsizetype j = 0; j < reply.size(); ++j) {
        const char c = reply.at(j);
        if (c == LF) {
            start = j + 1;
        } else if (c == CR) {
            const QByteArray token = reply.mid(start, j - start);
            if (!token.isEmpty() && token.size() <= 3) {
                for (char d : token) {
                    if (!is_digit(d))
                        throw ConversionError(QStringLiteral("'%1' is not a valid integer value")
                                                  .arg(QString::fromLatin1(token)));
                }
                v = token.toInt();
            }
            values.push_back(std::uint8_t(v % 256));
            start = j + 1;
        }
    }

    const int count = int(values.size());
    if (count > 0)
        received_bytes_array = std::move(values);
    m_console.print_to_console(QStringLiteral("num of bytes received: %1").arg(count));
    m_console.print_to_console(
        QStringLiteral("received_bytes_array size: %1").arg(received_bytes_array.size()));
    if (count > 0) {
        for (int k = 0; k < count; ++k)
            m_console.print_to_console(QStringLiteral("%1:    %2").arg(k).arg(hex2(received_bytes_array[size_t(k)])));
    }
    return count;
}

ReplyStatus ReplyReader::wait_for_first_byte(int timeout_ms)
{
    bool query_failed = false;
    const bool arrived = wait_until(
        [&] {
            if (m_link.GetFTQueueStatus() != FT_OK) {
                query_failed = true;
                return true;
            }
            return m_link.rx_queue_count > 0;
        },
        timeout_ms);
    if (query_failed)
        return ReplyStatus::QueueFailed;
    return arrived ? ReplyStatus::Ok : ReplyStatus::TimedOut;
}

ReplyStatus ReplyReader::ReadReplyValues(bool bootloader_mode, int timeout_ms)
{
    last_reply_count = 0;
    const ReplyStatus waited = wait_for_first_byte(timeout_ms);
    if (waited != ReplyStatus::Ok)
        return waited;

    m_link.PurgeFTTransmit();

    // Gather every read of this reply; each read lands at the start of
    // rx_buffer, so only its own n bytes belong to the reply. A reply whose
    // last line has not ended yet is waited for (within the bound).
    QByteArray reply;
    const QDeadlineTimer line_deadline(timeout_ms);
    while (true) {
        QCoreApplication::processEvents();
        const std::uint32_t n = m_link.ReadFTDevice();
        reply.append(reinterpret_cast<const char *>(m_link.rx_buffer.data()), qsizetype(n));
        if (n == 0 && (reply.isEmpty() || reply.endsWith(LF) || line_deadline.hasExpired()))
            break;
        if (bootloader_mode)
            pause_ms(n == 0 ? 1 : 0);
        else
            wait_ms(10);
    }

    struct PurgeOnExit {
        D2XXUnit &link;
        ~PurgeOnExit() { link.PurgeFTReceive(); }
    } purge{m_link};
    last_reply_count = ParseReplyValues(reply);
    return ReplyStatus::Ok;
}

ReplyStatus ReplyReader::ReadBootloaderReply(QString &reply, int timeout_ms)
{
    reply.clear();
    const ReplyStatus waited = wait_for_first_byte(timeout_ms);
    if (waited != ReplyStatus::Ok)
        return waited;

    QString received;
    std::uint32_t total = 0;
    while (true) {
        QCoreApplication::processEvents();
        const std::uint32_t n = m_link.ReadFTDevice();
        if (n == 0)
            break;
        if (received.isEmpty())
            received = encode_hex_text(m_link.rx_buffer.data(), 1);
        total += n;
    }
    m_console.print_to_console(QStringLiteral("num of bytes received: %1").arg(total));
    m_link.PurgeFTReceive();
    reply = received;
    return ReplyStatus::Ok;
}

} // namespace quorvane
