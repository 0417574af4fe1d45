#include "usb/TrafficLog.h"

#include <algorithm>
#include <cstring>

namespace quorvane {

TrafficLog::TrafficLog(std::size_t max_records, std::size_t byte_budget)
    : m_max_records(std::max<std::size_t>(max_records, 1)),
      m_byte_budget(std::max<std::size_t>(byte_budget, 1)),
      // Left uninitialised on purpose: untouched pages cost no memory.
      m_slots(new Slot[m_max_records]),
      m_bytes(new std::uint8_t[m_byte_budget])
{
    m_clock.start();
}

TrafficLog::~TrafficLog() = default;

std::size_t TrafficLog::reserved_bytes() const
{
    return m_max_records * sizeof(Slot) + m_byte_budget;
}

void TrafficLog::drop_oldest()
{
    const Slot &s = slot(m_first);
    m_byte_begin = s.byte_pos + s.kept;
    ++m_first;
    if (m_first == m_end)
        m_byte_begin = m_byte_end;
}

void TrafficLog::store(TrafficDirection direction, TrafficLine line, std::uint32_t exchange,
                       const std::uint8_t *data, std::size_t size)
{
    std::size_t kept = std::min(size, m_byte_budget);
    const std::uint8_t *from = data + (size - kept);
    if (m_end - m_first == m_max_records)
        drop_oldest();
    while (m_first < m_end && m_byte_end + kept - m_byte_begin > m_byte_budget)
        drop_oldest();

    Slot &s = m_slots[m_end % m_max_records];
    s.time_us = now_us();
    s.byte_pos = m_byte_end;
    s.size = std::uint32_t(std::min<std::size_t>(size, UINT32_MAX));
    s.kept = std::uint32_t(kept);
    s.exchange = exchange;
    s.direction = direction;
    s.line = line;

    const std::size_t at = std::size_t(m_byte_end % m_byte_budget);
    const std::size_t head = std::min(kept, m_byte_budget - at);
    if (kept > 0) {
        std::memcpy(m_bytes.get() + at, from, head);
        std::memcpy(m_bytes.get(), from + head, kept - head);
    }
    m_byte_end += kept;
    ++m_end;
}

bool TrafficLog::header(std::uint64_t number, TrafficRecord &out) const
{
    if (!holds(number))
        return false;
    const Slot &s = slot(number);
    out.number = number;
    out.time_us = s.time_us;
    out.direction = s.direction;
    out.line = s.line;
    out.exchange = s.exchange;
    out.size = s.size;
    return true;
}

std::size_t TrafficLog::copy_bytes(std::uint64_t number, std::uint8_t *out, std::size_t max) const
{
    if (!holds(number))
        return 0;
    const Slot &s = slot(number);
    const std::size_t n = std::min<std::size_t>(s.kept, max);
    const std::size_t at = std::size_t(s.byte_pos % m_byte_budget);
    const std::size_t head = std::min(n, m_byte_budget - at);
    if (n > 0) {
        std::memcpy(out, m_bytes.get() + at, head);
        std::memcpy(out + head, m_bytes.get(), n - head);
    }
    return n;
}

std::uint8_t TrafficLog::first_byte(std::uint64_t number) const
{
    std::uint8_t b = 0;
    copy_bytes(number, &b, 1);
    return b;
}

bool TrafficLog::record(std::uint64_t number, TrafficRecord &out) const
{
    if (!header(number, out))
        return false;
    out.bytes.resize(qsizetype(slot(number).kept));
    copy_bytes(number, reinterpret_cast<std::uint8_t *>(out.bytes.data()), std::size_t(out.bytes.size()));
    return true;
}

void TrafficLog::clear()
{
    // Numbers go on from where they were, so a view never mistakes a new
    // record for an old one.
    m_first = m_end;
    m_byte_begin = m_byte_end;
}

} // namespace quorvane
