#include "simulator/PedalLine.h"

#include "simulator/PedalData.h"

#include <algorithm>

namespace quorvane {

namespace {

// Babble: its text, how much more an unpaced query makes readable, and how
// much the bridge keeps for the host.
constexpr char kBabbleText[] = "babble\r\n";
constexpr int kBabbleTextSize = int(sizeof kBabbleText) - 1;
constexpr int kBabblePerQuery = 64;
constexpr int kBabbleBacklog = 4096;

} // namespace

PedalLine::PedalLine(const PedalOptions &options, std::function<void(const QString &)> note, qint64 now)
    : m_options(options), m_note(std::move(note)), m_inLineFree(now), m_outLineFree(now), m_babbleLine(now)
{
    if (m_options.faults.number(PedalFault::UnplugAfter) == 0)
        m_unplugged = true;
}

void PedalLine::setDataCharacteristics(std::uint8_t wordLength, std::uint8_t stopBits, std::uint8_t parity)
{
    m_settings.wordLength = wordLength;
    m_settings.stopBits = stopBits;
    m_settings.parity = parity;
}

qint64 PedalLine::charMicros(std::uint32_t baud, std::uint8_t wordLength, std::uint8_t parity,
                             std::uint8_t stopBits)
{
    const int bits = 1 + wordLength + (parity ? 1 : 0) + (stopBits == 2 ? 2 : 1);
    return (qint64(bits) * 1000000 + baud - 1) / std::max<std::uint32_t>(baud, 1);
}

qint64 PedalLine::charMicros(const PedalSide &side)
{
    return charMicros(side.baud, 8, side.parity, 0);
}

void PedalLine::receive(const QByteArray &bytes, qint64 now)
{
    if (m_unplugged)
        return;
    const qint64 unplugAfter = m_options.faults.number(PedalFault::UnplugAfter);
    for (char c : bytes) {
        qint64 at = now;
        if (m_options.paced) {
            const qint64 start = std::max(now, m_inLineFree);
            m_inLineFree = start + charMicros(m_settings.baud, m_settings.wordLength, m_settings.parity,
                                              m_settings.stopBits);
            at = m_inLineFree;
        }
        // Whether the pedal can read the byte is judged by its mode when the
        // byte arrives, against the line the host sent it with.
        m_in.push_back({at, std::uint8_t(c), m_settings.baud, m_settings.wordLength, m_settings.parity});
        ++m_hostBytes;
        if (unplugAfter > 0 && m_hostBytes >= unplugAfter) {
            m_unplugged = true;
            m_note(QStringLiteral("unplugged after %1 bytes").arg(m_hostBytes));
            break;
        }
    }
}

std::optional<PedalLine::InByte> PedalLine::takeArrived(qint64 now)
{
    if (m_in.empty() || m_in.front().at > now)
        return std::nullopt;
    const InByte in = m_in.front();
    m_in.pop_front();
    return in;
}

bool PedalLine::fits(const InByte &in, const PedalSide &side) const
{
    if (m_options.lineFollowsMode)
        return true;
    if (in.wordLength != 8 || in.parity != side.parity)
        return false;
    // A bootloader measures the rate on the synchronisation byte.
    return side.anyRate || in.baud == side.baud;
}

qint64 PedalLine::send(const QByteArray &bytes, qint64 at, const PedalSide &side)
{
    m_note(QStringLiteral("send ") + pedal::hex(bytes));
    if (m_options.faults.has(PedalFault::Silent)) {
        m_note(QStringLiteral("silent: nothing sent"));
        return -1;
    }
    if (m_unplugged)
        return -1;
    // The pedal sends one thing after another.
    at = std::max(at, m_outLineFree);
    const qint64 start = at;
    for (char c : bytes) {
        qint64 ready = at;
        if (m_options.paced) {
            m_outLineFree = std::max(at, m_outLineFree) + charMicros(side);
            at = m_outLineFree;
            ready = at + qint64(m_options.latencyMs) * 1000;
        } else {
            m_outLineFree = at;
        }
        queueOut({ready, std::uint8_t(c), side.parity, side.baud});
    }
    if (m_options.paced && m_options.faults.has(PedalFault::Babble))
        m_sentSpans.emplace_back(start, m_outLineFree);
    return std::max(start, m_outLineFree);
}

void PedalLine::queueOut(const OutByte &o)
{
    auto at = m_out.end();
    while (at != m_out.begin() && std::prev(at)->at > o.at)
        --at;
    m_out.insert(at, o);
}

void PedalLine::sendUnsolicited(const QByteArray &bytes, qint64 now, const PedalSide &side)
{
    m_note(QStringLiteral("unsolicited ") + pedal::hex(bytes));
    if (m_unplugged)
        return;
    // They are in the bridge already: no line time, no latency.
    const qint64 at = std::max(now, m_out.empty() ? qint64(0) : m_out.back().at);
    for (char c : bytes)
        m_out.push_back({at, std::uint8_t(c), side.parity, side.baud});
}

void PedalLine::settle(qint64 now, const PedalSide &side)
{
    babble(now, side);
    if (m_unplugged)
        m_out.clear();
}

void PedalLine::babble(qint64 now, const PedalSide &side)
{
    const PedalFaults &f = m_options.faults;
    if (!f.has(PedalFault::Babble) || f.has(PedalFault::Silent) || m_unplugged) {
        m_babbleSince = -1;
        m_sentSpans.clear();
        return;
    }
    if (m_babbleSince < 0) {
        m_babbleSince = now;
        m_babbleLine = now;
        m_babbleIndex = 0;
        m_note(QStringLiteral("fault: babbling without end"));
    }
    auto next = [this] {
        const char c = kBabbleText[m_babbleIndex];
        m_babbleIndex = (m_babbleIndex + 1) % kBabbleTextSize;
        return std::uint8_t(c);
    };
    if (!m_options.paced) {
        // No line time: a little more with every query, so that there is
        // always something to read, and never much.
        for (int i = 0; i < kBabblePerQuery && int(m_out.size()) < kBabbleBacklog; ++i)
            queueOut({now, next(), side.parity, side.baud});
        return;
    }
    // Every byte time up to now carries a byte, except where a reply has the line.
    const qint64 charTime = charMicros(side);
    const qint64 latency = qint64(m_options.latencyMs) * 1000;
    qint64 line = m_babbleLine;
    for (;;) {
        while (!m_sentSpans.empty() && m_sentSpans.front().second <= line)
            m_sentSpans.pop_front();
        if (!m_sentSpans.empty() && line + charTime > m_sentSpans.front().first) {
            line = std::max(line, m_sentSpans.front().second);
            continue;
        }
        if (line + charTime > now)
            break;
        // The bridge keeps the newest bytes; the host that leaves it full
        // loses the oldest. Of a long unread stretch only the end is made.
        const qint64 keepFrom = now - qint64(kBabbleBacklog) * charTime;
        if (line < keepFrom && (m_sentSpans.empty() || keepFrom <= m_sentSpans.front().first)) {
            const qint64 lost = (keepFrom - line + charTime - 1) / charTime;
            line += lost * charTime;
            m_babbleIndex = int((m_babbleIndex + lost) % kBabbleTextSize);
            continue;
        }
        line += charTime;
        queueOut({line + latency, next(), side.parity, side.baud});
        if (int(m_out.size()) > kBabbleBacklog && m_out.front().at <= now)
            m_out.pop_front();
    }
    m_babbleLine = line;
    m_outLineFree = std::max(m_outLineFree, line);
}

qint64 PedalLine::bytesAvailable(qint64 now) const
{
    qint64 n = 0;
    for (const OutByte &o : m_out) {
        if (o.at > now)
            break;
        ++n;
    }
    return n;
}

QByteArray PedalLine::takeOutput(qint64 max, qint64 now)
{
    QByteArray out;
    while (!m_out.empty() && m_out.front().at <= now && (max < 0 || out.size() < max)) {
        const OutByte o = m_out.front();
        m_out.pop_front();
        std::uint8_t v = o.value;
        // Read with other settings than it was sent with, a byte is garbage.
        if (!m_options.lineFollowsMode && (o.parity != m_settings.parity || o.baud != m_settings.baud
                                           || m_settings.wordLength != 8))
            v ^= 0x5A;
        out.append(char(v));
    }
    return out;
}

qint64 PedalLine::microsToNextOutput(qint64 now, const PedalSide &side) const
{
    qint64 next = -1;
    if (!m_in.empty())
        next = std::max<qint64>(0, m_in.front().at - now);
    if (!m_out.empty()) {
        const qint64 wait = std::max<qint64>(0, m_out.front().at - now);
        next = next < 0 ? wait : std::min(next, wait);
    }
    if (m_babbleSince >= 0 && m_options.paced) {
        // The babble's next byte, which is not queued before its line time.
        const qint64 wait = std::max<qint64>(
            0, m_babbleLine + charMicros(side) + qint64(m_options.latencyMs) * 1000 - now);
        next = next < 0 ? wait : std::min(next, wait);
    }
    return next;
}

void PedalLine::purgeReceive(qint64 now)
{
    while (!m_out.empty() && m_out.front().at <= now)
        m_out.pop_front();
}

void PedalLine::purgeTransmit(qint64 now)
{
    // Bytes still in the bridge never reach the pedal.
    m_in.clear();
    m_inLineFree = now;
}

void PedalLine::reset(qint64 now)
{
    m_in.clear();
    m_out.clear();
    m_sentSpans.clear();
    m_inLineFree = m_outLineFree = now;
    m_babbleLine = std::max(m_babbleLine, now);
}

} // namespace quorvane
