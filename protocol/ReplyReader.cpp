#include "protocol/ReplyReader.h"

#include "common/ConsoleLog.h"
#include "protocol/Codec.h"
#include "usb/D2XXUnit.h"


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

LineStatus ReplyReader::take(const LineReply &reply)
{
    last_reply_count = 0;
    last_reply_size = reply.bytes.size();
    last_reply_lines = int(reply.bytes.count('\n'));
    // What came is parsed whole or cut short by a deadline; a reply past
    // its cap, or cut by a failing link, is no reply of the pedal's.
    if ((reply.status != LineStatus::Ok && reply.status != LineStatus::TimedOut) ||
        reply.bytes.isEmpty()) {
        if (reply.status == LineStatus::Overflow || reply.status == LineStatus::TimedOut)
            m_link.PurgeFTReceive();
        return reply.status;
    }
    struct PurgeOnExit {
        D2XXUnit &link;
        ~PurgeOnExit() { link.PurgeFTReceive(); }
    } purge{m_link};
    last_reply_count = ParseReplyValues(reply.bytes);
    return reply.status;
}

LineStatus ReplyReader::RequestValues(QByteArrayView request, const ReplyLimits &limits,
                                      const ReplyComplete &complete)
{
    LineReply reply = m_link.exchange(request, limits, complete, true);
    // A whole reply is followed by quiet: bytes still coming at once mean a
    // sender that does not stop, whose lines only look like a reply.
    if (reply.ok() && complete && m_link.GetFTQueueStatus() == FT_OK && m_link.rx_queue_count > 0)
        reply.status = LineStatus::Overflow;
    return take(reply);
}

LineStatus ReplyReader::ReadReplyValues(const ReplyLimits &limits, const ReplyComplete &complete)
{
    return take(m_link.read_reply(limits, complete));
}

bool status_reply_complete(const QByteArray &bytes)
{
    const qsizetype first_end = bytes.indexOf('\r');
    if (first_end < 0)
        return false;
    bool ok = false;
    const int firmware = bytes.left(first_end).toInt(&ok);
    const int needed = status_reply_values_needed(ok ? firmware : bypass_state_firmware);
    return bytes.count('\n') >= needed && bytes.endsWith('\n');
}

int status_reply_values_needed(int firmware_version)
{
    // The parameter block ends at index 81, one later when the reply carries
    // the bypass state.
    return firmware_version >= bypass_state_firmware ? 83 : 82;
}

} // namespace quorvane
