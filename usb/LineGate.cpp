// The gate to the wire: D2XXUnit's writes, its bounded request-and-reply
// exchanges and the bootloader session that holds the line alone.

#include "usb/D2XXUnit.h"

#include "platform/Dialogs.h"
#include "platform/Wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QTimer>

#include <algorithm>
#include <cstring>

namespace quorvane {

namespace {

// Stray bytes are logged up to this many; the rest is purged unread.
constexpr std::uint32_t stray_log_limit = 4096;

QString hex_of(QByteArrayView bytes)
{
    return QString::fromLatin1(bytes.toByteArray().toHex().toUpper());
}

} // namespace

D2XXUnit::~D2XXUnit() = default;

void D2XXUnit::print(const QString &line) const
{
    if (log)
        log(line);
}

LineStatus D2XXUnit::refuse(QByteArrayView bytes)
{
    print(QStringLiteral("Message not sent: \"%1\" would reach the bootloader")
              .arg(hex_of(bytes.first(std::min<qsizetype>(bytes.size(), 32)))));
    tell_refusal();
    return LineStatus::Refused;
}

bool D2XXUnit::refuses_writers()
{
    if (!m_bootloader_held)
        return false;
    tell_refusal();
    return true;
}

void D2XXUnit::tell_refusal()
{
    // Told once per command: the flag clears when control is back in the
    // event loop.
    if (!m_refusal_shown) {
        m_refusal_shown = true;
        m_dialogs.message(bootloader_busy_text);
        if (QCoreApplication::instance()) {
            std::weak_ptr<bool> alive = m_alive;
            QTimer::singleShot(0, QCoreApplication::instance(), [this, alive] {
                if (alive.lock())
                    m_refusal_shown = false;
            });
        } else {
            m_refusal_shown = false;
        }
    }
}

LineStatus D2XXUnit::write_bytes(QByteArrayView bytes, bool purge_tx)
{
    const auto n = std::uint32_t(bytes.size());
    if (n > link_buffer_size)
        return LineStatus::IoFailed;
    std::memcpy(tx_buffer.data(), bytes.data(), n);
    if (purge_tx)
        PurgeFTTransmit();
    const std::uint32_t written = WriteFTDevice(n);
    return written == n && m_last_write_status == FT_OK ? LineStatus::Ok : LineStatus::IoFailed;
}

LineStatus D2XXUnit::transmit(QByteArrayView bytes, bool purge_tx)
{
    if (m_bootloader_held)
        return refuse(bytes);
    m_exchange_ends = true;
    return write_bytes(bytes, purge_tx);
}

bool D2XXUnit::read_some(QByteArray &into, std::uint32_t max)
{
    std::uint32_t waiting = 0;
    m_driver.getQueueStatus(ft_handle, waiting); // its own status is not reported
    const std::uint32_t wanted = std::min({waiting, max, link_buffer_size});
    if (wanted == 0)
        return true;
    std::uint32_t got = 0;
    const FT_STATUS status = m_driver.read(ft_handle, rx_buffer.data(), wanted, got);
    ReportFTError(QStringLiteral("FT_Read"), status);
    if (status != FT_OK)
        return false;
    got = std::min(got, wanted);
    capture(TrafficDirection::In, rx_buffer.data(), got);
    into.append(reinterpret_cast<const char *>(rx_buffer.data()), qsizetype(got));
    return true;
}

void D2XXUnit::read_stray()
{
    std::uint32_t waiting = 0;
    if (m_driver.getQueueStatus(ft_handle, waiting) != FT_OK || waiting == 0)
        return;
    QByteArray stray;
    read_some(stray, stray_log_limit);
    // A sender that never stops must not hold the request back: whatever
    // came beyond what was logged goes unread.
    if (waiting > stray.size())
        m_driver.purge(ft_handle, FT_PURGE_RX);
    if (!stray.isEmpty())
        print(QStringLiteral("Stray bytes before request: ") + hex_of(stray));
}

LineStatus D2XXUnit::send_request(QByteArrayView request, bool purge_tx)
{
    if (m_bootloader_held)
        return refuse(request);
    if (before_request)
        before_request();
    read_stray();
    m_exchange_ends = true;
    return write_bytes(request, purge_tx);
}

LineReply D2XXUnit::exchange(QByteArrayView request, const ReplyLimits &limits,
                             const ReplyComplete &complete, bool purge_tx)
{
    const LineStatus written = send_request(request, purge_tx);
    if (written != LineStatus::Ok)
        return {written, {}};
    return read_reply(limits, complete);
}

bool D2XXUnit::ends_at_quiet_line_end(const QByteArray &bytes)
{
    if (!bytes.endsWith('\n'))
        return false;
    std::uint32_t waiting = 0;
    return m_driver.getQueueStatus(ft_handle, waiting) == FT_OK && waiting == 0;
}

LineReply D2XXUnit::read_reply(const ReplyLimits &limits, const ReplyComplete &complete)
{
    LineReply reply;
    const QDeadlineTimer total(limits.total_ms);
    QDeadlineTimer quiet(limits.first_byte_ms);
    const auto cap = qsizetype(std::max(limits.max_bytes, 1));
    while (true) {
        bool failed = false;
        const qint64 bound = std::min(quiet.remainingTime(), total.remainingTime());
        wait_until(
            [&] {
                if (GetFTQueueStatus() != FT_OK) {
                    failed = true;
                    return true;
                }
                return rx_queue_count > 0;
            },
            int(std::max<qint64>(bound, 0)));
        if (failed) {
            reply.status = LineStatus::IoFailed;
            return reply;
        }
        if (rx_queue_count == 0) {
            reply.status = LineStatus::TimedOut;
            return reply;
        }
        if (reply.bytes.size() >= cap) {
            // Whole replies end at or before the cap; this one goes on.
            reply.status = LineStatus::Overflow;
            return reply;
        }
        if (!read_some(reply.bytes, std::uint32_t(cap - reply.bytes.size()))) {
            reply.status = LineStatus::IoFailed;
            return reply;
        }
        if (complete ? complete(reply.bytes) : ends_at_quiet_line_end(reply.bytes)) {
            reply.status = LineStatus::Ok;
            return reply;
        }
        if (total.hasExpired()) {
            reply.status = LineStatus::TimedOut;
            return reply;
        }
        quiet.setRemainingTime(limits.gap_ms);
    }
}

std::optional<D2XXUnit::BootloaderSession> D2XXUnit::acquire_bootloader()
{
    if (m_bootloader_held)
        return std::nullopt;
    m_bootloader_held = true;
    m_exchange_ends = true;
    return BootloaderSession(*this);
}

D2XXUnit::BootloaderSession::~BootloaderSession()
{
    if (m_link) {
        m_link->m_bootloader_held = false;
        m_link->m_exchange_ends = true;
    }
}

LineStatus D2XXUnit::BootloaderSession::transmit(QByteArrayView bytes)
{
    return m_link->write_bytes(bytes, false);
}

LineReply D2XXUnit::BootloaderSession::read_reply(int expected, const ReplyLimits &limits)
{
    ReplyLimits bounded = limits;
    bounded.max_bytes = std::max(expected, 1);
    return m_link->read_reply(bounded, [expected](const QByteArray &bytes) {
        return bytes.size() >= expected;
    });
}

void D2XXUnit::BootloaderSession::discard_stray()
{
    m_link->read_stray();
    m_link->m_exchange_ends = true;
}

void D2XXUnit::BootloaderSession::purge_receive()
{
    m_link->PurgeFTReceive();
    m_link->m_exchange_ends = true;
}

std::optional<std::uint32_t> D2XXUnit::BootloaderSession::queued()
{
    if (m_link->GetFTQueueStatus() != FT_OK)
        return std::nullopt;
    return m_link->rx_queue_count;
}

} // namespace quorvane
