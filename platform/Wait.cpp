#include "platform/Wait.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>
#include <QTimer>

#include <optional>

namespace quorvane {

namespace {

// How often a wait looks at its condition when no event wakes it earlier:
// conditions that are not driven by events (a clock, a polled device) are
// seen this late at most.
constexpr int wait_tick_ms = 1;

} // namespace

bool wait_until(const std::function<bool()> &done, int timeout_ms)
{
    const QDeadlineTimer deadline(timeout_ms);
    // Sleeping in the event loop wakes the wait as soon as anything happens
    // (bytes readable on a port, a process ending, a reply finishing, user
    // input) instead of after a fixed nap; the tick bounds the sleep for the
    // rest. Without an event loop in this thread it naps instead.
    const bool has_loop = QCoreApplication::instance() && QAbstractEventDispatcher::instance();
    std::optional<QTimer> tick;
    if (has_loop) {
        tick.emplace();
        tick->setTimerType(Qt::PreciseTimer);
        tick->start(wait_tick_ms);
    }
    while (true) {
        if (done())
            return true;
        if (deadline.hasExpired())
            return false;
        if (has_loop)
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        else
            QThread::msleep(wait_tick_ms);
    }
}

void wait_ms(int ms)
{
    wait_until([] { return false; }, ms);
}

void pause_ms(int ms)
{
    if (ms > 0)
        QThread::msleep(static_cast<unsigned long>(ms));
}

} // namespace quorvane
