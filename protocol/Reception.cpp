#include "protocol/Reception.h"

#include "common/ConsoleLog.h"
#include "protocol/Codec.h"
#include "protocol/Exchange.h"
#include "usb/D2XXUnit.h"

namespace quorvane {

namespace {

// Silences driver failure reports for a scope and restores the switch.
class QuietReports {
public:
    explicit QuietReports(D2XXUnit &link) : m_link(link), m_previous(link.report_usb_errors)
    {
        m_link.report_usb_errors = false;
    }
    ~QuietReports() { m_link.report_usb_errors = m_previous; }

private:
    D2XXUnit &m_link;
    bool m_previous;
};

constexpr qsizetype dump_bytes = memory_dump_size + 1; // marker included

} // namespace

void Reception::ReceiveTick()
{
    // The reply of a waiting exchange is the exchange's.
    if (m_exchange.exchange_busy())
        return;
    QuietReports quiet(m_link);

    if (m_dump_active && m_dump_deadline.hasExpired())
        list_dump();

    if (m_link.GetFTQueueStatus() != FT_OK) {
        ++m_failed_queries;
        if (m_failed_queries >= lost_bridge_query_failures && is_linked && is_linked()) {
            m_failed_queries = 0;
            if (m_dump_active)
                list_dump();
            if (on_bridge_lost)
                on_bridge_lost();
        }
        return;
    }
    m_failed_queries = 0;
    if (m_link.rx_queue_count == 0)
        return;

    const std::uint32_t n = m_link.ReadFTDevice();
    if (n == 0)
        return;
    m_console.print_to_console(QStringLiteral("num of bytes read: %1").arg(n));
    take_reception(QByteArray(reinterpret_cast<const char *>(m_link.rx_buffer.data()), qsizetype(n)));
}

void Reception::take_reception(QByteArray bytes)
{
    while (!bytes.isEmpty()) {
        if (!m_dump_active) {
            if (std::uint8_t(bytes.at(0)) != memory_dump_marker)
                return; // anything else is only logged
            m_dump_active = true;
            m_dump.clear();
            m_dump.reserve(dump_bytes);
            m_dump_deadline.setRemainingTime(dump_timeout_ms);
        }
        const qsizetype take = std::min(dump_bytes - m_dump.size(), bytes.size());
        m_dump.append(bytes.constData(), take);
        bytes.remove(0, take);
        if (m_dump.size() == dump_bytes)
            list_dump();
    }
}

void Reception::list_dump()
{
    m_dump_active = false;
    const qsizetype listed = std::max<qsizetype>(m_dump.size() - 1, 0);
    for (qsizetype k = 0; k < listed; ++k)
        m_console.print_to_console(
            QStringLiteral("%1: %2").arg(k).arg(hex2(std::uint8_t(m_dump.at(k + 1)))));
    if (listed < memory_dump_size)
        m_console.print_to_console(QStringLiteral("Memory dump incomplete: %1 bytes missing")
                                       .arg(memory_dump_size - listed));
    m_dump.clear();
}

void Reception::reset()
{
    if (m_dump_active)
        list_dump();
    m_failed_queries = 0;
}

} // namespace quorvane
