#include "platform/Wait.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QThread>

namespace quorvane {

bool wait_until(const std::function<bool()> &done, int timeout_ms)
{
    QDeadlineTimer deadline(timeout_ms);
    while (true) {
        if (done())
            return true;
        if (deadline.hasExpired())
            return false;
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        QThread::msleep(1);
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
