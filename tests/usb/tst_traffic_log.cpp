// The traffic ring: bounded by records and by bytes, the oldest going first,
// every byte of what it holds read back intact across the wrap.

#include "usb/TrafficLog.h"

#include <QtTest>

using namespace quorvane;

namespace {

QByteArray bytes_of(int n, char seed)
{
    QByteArray b(n, '\0');
    for (int i = 0; i < n; ++i)
        b[i] = char(seed + i);
    return b;
}

void add(TrafficLog &log, const QByteArray &b, std::uint32_t exchange = 1)
{
    log.append(TrafficDirection::Out, TrafficLine::Firmware, exchange, b.constData(), std::size_t(b.size()));
}

} // namespace

class TestTrafficLog : public QObject {
    Q_OBJECT
private slots:
    void bounds_data();
    void bounds();
    void recordLargerThanTheBudgetKeepsItsTail();
    void clearAndCaptureOff();
};

void TestTrafficLog::bounds_data()
{
    QTest::addColumn<int>("max_records");
    QTest::addColumn<int>("budget");
    QTest::addColumn<QList<int>>("sizes");
    QTest::addColumn<int>("first_held");

    QTest::newRow("within both") << 10 << 100 << QList<int>{10, 20, 30} << 0;
    QTest::newRow("records full: the oldest goes") << 3 << 1000 << QList<int>{5, 5, 5, 5, 5} << 2;
    QTest::newRow("bytes full: as many old ones go as needed") << 100 << 64 << QList<int>{30, 30, 10, 40} << 2;
    QTest::newRow("bytes wrap round the end") << 100 << 50 << QList<int>{20, 20, 20, 20, 20, 20} << 4;
}

void TestTrafficLog::bounds()
{
    QFETCH(int, max_records);
    QFETCH(int, budget);
    QFETCH(QList<int>, sizes);
    QFETCH(int, first_held);

    TrafficLog log{std::size_t(max_records), std::size_t(budget)};
    for (int i = 0; i < sizes.size(); ++i)
        add(log, bytes_of(sizes[i], char(i * 40)), std::uint32_t(i));
    QCOMPARE(log.first(), std::uint64_t(first_held));
    QCOMPARE(log.end(), std::uint64_t(sizes.size()));
    std::int64_t last_time = -1;
    for (int i = first_held; i < sizes.size(); ++i) {
        TrafficRecord r;
        QVERIFY(log.record(std::uint64_t(i), r));
        QCOMPARE(r.bytes, bytes_of(sizes[i], char(i * 40)));
        QCOMPARE(r.exchange, std::uint32_t(i));
        QVERIFY(r.time_us >= last_time);
        last_time = r.time_us;
    }
    TrafficRecord gone;
    QVERIFY(first_held == 0 || !log.record(std::uint64_t(first_held - 1), gone));
}

void TestTrafficLog::recordLargerThanTheBudgetKeepsItsTail()
{
    TrafficLog log(10, 16);
    add(log, bytes_of(4, 'a'));
    add(log, bytes_of(40, 0));
    QCOMPARE(log.first(), std::uint64_t(1));
    TrafficRecord r;
    QVERIFY(log.record(1, r));
    QCOMPARE(r.size, 40u);
    QCOMPARE(r.bytes, bytes_of(40, 0).right(16));
}

void TestTrafficLog::clearAndCaptureOff()
{
    TrafficLog log(10, 100);
    add(log, "ab");
    add(log, "cd");
    log.clear();
    QCOMPARE(log.count(), std::size_t(0));
    add(log, "ef");
    // Numbers go on: a view that held record 0 never mistakes "ef" for it.
    QCOMPARE(log.first(), std::uint64_t(2));
    TrafficRecord r;
    QVERIFY(log.record(2, r));
    QCOMPARE(r.bytes, QByteArray("ef"));

    log.set_capturing(false);
    add(log, "gh");
    QCOMPARE(log.end(), std::uint64_t(3));
}

QTEST_GUILESS_MAIN(TestTrafficLog)
#include "tst_traffic_log.moc"
