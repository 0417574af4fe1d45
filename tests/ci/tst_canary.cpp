// Canaries for the sanitizer run: each makes, on request only, one fault of
// the kind the run must catch, from where our own code runs (a test slot and
// a timer tick under Qt's event loop). scripts/test.sh runs them and fails
// when a sanitizer stays silent, e.g. because a suppression grew too wide.
// In an ordinary test run they do nothing.

#include <QtTest>

#include <climits>

namespace {

int *volatile held = nullptr;
volatile int sink = 0;

QByteArray wanted()
{
    return qgetenv("QUORVANE_CANARY");
}

} // namespace

class TestCanary : public QObject {
    Q_OBJECT
private slots:
    void leak()
    {
        if (wanted() != "leak")
            QSKIP("set QUORVANE_CANARY=leak");
        held = new int[16];
        held = nullptr;
        bool ticked = false;
        QTimer::singleShot(0, this, [&] {
            held = new int[32];
            held = nullptr;
            ticked = true;
        });
        QTRY_VERIFY(ticked);
    }

    void undefinedBehaviour()
    {
        if (wanted() != "ub")
            QSKIP("set QUORVANE_CANARY=ub");
        volatile int big = INT_MAX;
        sink = big + 1;
    }

    void overflow()
    {
        if (wanted() != "overflow")
            QSKIP("set QUORVANE_CANARY=overflow");
        int *block = new int[4];
        volatile int index = 4;
        sink = block[index];
        delete[] block;
    }
};

QTEST_MAIN(TestCanary)
#include "tst_canary.moc"
