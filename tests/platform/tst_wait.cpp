// The wait helper: it ends when its condition holds or its bound passes, and
// keeps events flowing meanwhile, so that timers, notifiers and the user
// interface go on while the editor waits for a device.

#include "platform/Wait.h"

#include <QSocketNotifier>
#include <QTest>
#include <QTimer>

#include <unistd.h>

using namespace quorvane;

class TestWait : public QObject {
    Q_OBJECT

private slots:
    void endsWhenTheConditionHolds_data()
    {
        QTest::addColumn<int>("timeoutMs");
        QTest::newRow("bounded") << 5000;
        QTest::newRow("unbounded") << -1;
    }
    void endsWhenTheConditionHolds()
    {
        QFETCH(int, timeoutMs);
        int calls = 0;
        QVERIFY(wait_until([&] { return ++calls == 3; }, timeoutMs));
        QCOMPARE(calls, 3);
    }

    void reportsTheBoundPassing_data()
    {
        QTest::addColumn<int>("timeoutMs");
        QTest::newRow("zero") << 0;
        QTest::newRow("short") << 20;
    }
    void reportsTheBoundPassing()
    {
        QFETCH(int, timeoutMs);
        int calls = 0;
        QVERIFY(!wait_until([&] { ++calls; return false; }, timeoutMs));
        QVERIFY(calls >= 1); // the condition is always looked at once
    }

    // A timer and a posted call both run while the wait sleeps, and the wait
    // sees what they did.
    void runsTimersAndPostedCalls()
    {
        bool timerFired = false;
        bool posted = false;
        QTimer::singleShot(30, this, [&] { timerFired = true; });
        QMetaObject::invokeMethod(this, [&] { posted = true; }, Qt::QueuedConnection);
        QVERIFY(wait_until([&] { return timerFired && posted; }, 5000));
    }

    // Bytes becoming readable on a descriptor wake the wait through its
    // notifier, as a serial port's do.
    void wakesOnAReadableDescriptor()
    {
        int fds[2];
        QCOMPARE(::pipe(fds), 0);
        QSocketNotifier notifier(fds[0], QSocketNotifier::Read);
        bool readable = false;
        connect(&notifier, &QSocketNotifier::activated, this, [&] {
            char byte = 0;
            readable = ::read(fds[0], &byte, 1) == 1 && byte == 0x79;
        });
        QTimer::singleShot(20, this, [&] {
            const char byte = 0x79;
            QCOMPARE(::write(fds[1], &byte, 1), 1);
        });
        const bool came = wait_until([&] { return readable; }, 5000);
        ::close(fds[0]);
        ::close(fds[1]);
        QVERIFY(came);
    }

    // A wait started inside another wait's event ends on its own condition.
    void nestsInsideAnotherWait()
    {
        bool inner = false;
        bool outer = false;
        QTimer::singleShot(0, this, [&] {
            inner = wait_until([&] { return outer; }, 5000);
        });
        QTimer::singleShot(20, this, [&] { outer = true; });
        QVERIFY(wait_until([&] { return inner; }, 5000));
    }
};

QTEST_MAIN(TestWait)
#include "tst_wait.moc"
