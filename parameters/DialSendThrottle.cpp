#include "parameters/DialSendThrottle.h"

#include "protocol/Sender.h"

#include <algorithm>

namespace quorvane {

DialSendThrottle::DialSendThrottle(D2XXUnit &link, ConsoleLog &console, QTimer &timer,
                                   QObject *parent)
    : QObject(parent), m_link(link), m_console(console), m_timer(timer)
{
    m_timer.setSingleShot(true);
    m_timer.setInterval(interval_ms);
    connect(&m_timer, &QTimer::timeout, this, &DialSendThrottle::tick);
}

void DialSendThrottle::queue(const QObject *dial, const QString &text)
{
    auto it = std::find_if(m_pending.begin(), m_pending.end(),
                           [dial](const Pending &p) { return p.dial == dial; });
    if (it != m_pending.end())
        it->text = text;
    else
        m_pending.push_back({dial, text});
    if (!m_timer.isActive()) {
        m_timer.setInterval(interval_ms);
        m_timer.start();
    }
}

void DialSendThrottle::tick()
{
    m_timer.stop();
    // Taken first: a write may process events, and a dial changed meanwhile
    // arms the next tick instead of joining this one.
    std::vector<Pending> due;
    due.swap(m_pending);
    for (const Pending &p : due)
        send_message(m_link, m_console, p.text, 7);
}

void DialSendThrottle::clear()
{
    m_pending.clear();
    m_timer.stop();
}

QString DialSendThrottle::pending_text(const QObject *dial) const
{
    for (const Pending &p : m_pending)
        if (p.dial == dial)
            return p.text;
    return {};
}

} // namespace quorvane
