// Several drivers listed as one: indexes run across them, opens go to the
// driver that knows the serial number, handles to the driver that opened them.

#include "support/Hex.h"
#include "support/RecordingDriver.h"
#include "usb/CompositeDriver.h"

#include <QtTest>

using namespace quorvane;
using quorvane::test::bytes;
using quorvane::test::RecordingDriver;

namespace {

// Two recording drivers with bridges A1, A2 and B1 (the same inner handles).
struct Pair {
    CompositeDriver composite;
    RecordingDriver *a = nullptr;
    RecordingDriver *b = nullptr;

    Pair()
    {
        auto first = std::make_unique<RecordingDriver>();
        auto second = std::make_unique<RecordingDriver>();
        first->bridges = {{"A1", "first A"}, {"A2", "second A"}};
        second->bridges = {{"B1", "only B"}};
        a = first.get();
        b = second.get();
        composite.add(std::move(first));
        composite.add(std::move(second));
    }

    QString serial(std::uint32_t index)
    {
        char buffer[FT_LIST_TEXT_SIZE];
        const FT_STATUS status = composite.listSerialNumber(index, buffer);
        return status == FT_OK ? QString::fromLatin1(buffer) : QStringLiteral("status %1").arg(status);
    }
    QString description(std::uint32_t index)
    {
        char buffer[FT_LIST_TEXT_SIZE];
        const FT_STATUS status = composite.listDescription(index, buffer);
        return status == FT_OK ? QString::fromLatin1(buffer) : QStringLiteral("status %1").arg(status);
    }
};

} // namespace

class TestComposite : public QObject {
    Q_OBJECT
private slots:
    void listing_data();
    void listing();
    void listingFollowsTheLastCount();
    void countWithFailingDrivers_data();
    void countWithFailingDrivers();
    void openRoutes_data();
    void openRoutes();
    void handlesRouteToTheirDriver();
    void failuresPassThrough();
    void noDrivers();
};

void TestComposite::listing_data()
{
    QTest::addColumn<uint>("index");
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("description");

    QTest::newRow("0") << 0u << "A1" << "first A";
    QTest::newRow("1") << 1u << "A2" << "second A";
    QTest::newRow("2, first of the second driver") << 2u << "B1" << "only B";
    QTest::newRow("3, past the end") << 3u << "status 2" << "status 2";
    QTest::newRow("far past the end") << 4000000000u << "status 2" << "status 2";
}

void TestComposite::listing()
{
    QFETCH(uint, index);
    QFETCH(QString, serial);
    QFETCH(QString, description);
    Pair pair;
    std::uint32_t count = 0;
    QCOMPARE(pair.composite.listDeviceCount(count), FT_OK);
    QCOMPARE(count, 3u);
    QCOMPARE(pair.serial(index), serial);
    QCOMPARE(pair.description(index), description);
}

void TestComposite::listingFollowsTheLastCount()
{
    Pair pair;
    // Before any count, the first by-index query counts.
    QCOMPARE(pair.serial(2), "B1");
    pair.a->bridges.removeFirst();
    // No new count yet: index 1 is still A's second bridge, now gone.
    QCOMPARE(pair.serial(1), "status 2");
    QCOMPARE(pair.serial(2), "B1");
    std::uint32_t count = 0;
    QCOMPARE(pair.composite.listDeviceCount(count), FT_OK);
    QCOMPARE(count, 2u);
    QCOMPARE(pair.serial(1), "B1");
}

void TestComposite::countWithFailingDrivers_data()
{
    QTest::addColumn<bool>("failA");
    QTest::addColumn<bool>("failB");
    QTest::addColumn<uint>("status");
    QTest::addColumn<uint>("count");
    QTest::addColumn<QString>("serial0");

    QTest::newRow("both list") << false << false << uint(FT_OK) << 3u << "A1";
    QTest::newRow("first fails, second still listed") << true << false << uint(FT_OK) << 1u << "B1";
    QTest::newRow("second fails") << false << true << uint(FT_OK) << 2u << "A1";
    QTest::newRow("both fail") << true << true << uint(FT_IO_ERROR) << 99u << "status 2";
}

void TestComposite::countWithFailingDrivers()
{
    QFETCH(bool, failA);
    QFETCH(bool, failB);
    QFETCH(uint, status);
    QFETCH(uint, count);
    QFETCH(QString, serial0);
    Pair pair;
    if (failA)
        pair.a->failNext("count", FT_IO_ERROR);
    if (failB)
        pair.b->failNext("count", FT_OTHER_ERROR);
    std::uint32_t got = 99;
    QCOMPARE(pair.composite.listDeviceCount(got), FT_STATUS(status));
    QCOMPARE(got, count);
    QCOMPARE(pair.serial(0), serial0);
}

void TestComposite::openRoutes_data()
{
    QTest::addColumn<QString>("serial");
    QTest::addColumn<uint>("status");
    QTest::addColumn<QString>("opened"); // "a", "b" or ""

    QTest::newRow("first driver") << "A2" << uint(FT_OK) << "a";
    QTest::newRow("second driver") << "B1" << uint(FT_OK) << "b";
    QTest::newRow("nobody") << "C1" << uint(FT_DEVICE_NOT_FOUND) << "";
}

void TestComposite::openRoutes()
{
    QFETCH(QString, serial);
    QFETCH(uint, status);
    QFETCH(QString, opened);
    Pair pair;
    FT_HANDLE handle = 0;
    QCOMPARE(pair.composite.openBySerialNumber(serial.toLatin1().constData(), handle),
             FT_STATUS(status));
    QCOMPARE(pair.a->isOpen, opened == "a");
    QCOMPARE(pair.b->isOpen, opened == "b");
    QCOMPARE(handle != 0, !opened.isEmpty());
}

void TestComposite::handlesRouteToTheirDriver()
{
    Pair pair;
    FT_HANDLE ha = 0, hb = 0;
    QCOMPARE(pair.composite.openBySerialNumber("A1", ha), FT_OK);
    QCOMPARE(pair.composite.openBySerialNumber("B1", hb), FT_OK);
    QVERIFY(ha != hb); // both drivers hand out the same inner handle

    std::uint32_t n = 0;
    const QByteArray toA = bytes("02 00"), toB = bytes("0D 01");
    QCOMPARE(pair.composite.write(ha, reinterpret_cast<const std::uint8_t *>(toA.constData()), 2, n), FT_OK);
    QCOMPARE(pair.composite.write(hb, reinterpret_cast<const std::uint8_t *>(toB.constData()), 2, n), FT_OK);
    QCOMPARE(pair.a->writes, QList<QByteArray>{toA});
    QCOMPARE(pair.b->writes, QList<QByteArray>{toB});

    QCOMPARE(pair.composite.setBaudRate(hb, 115200), FT_OK);
    QCOMPARE(pair.composite.setDataCharacteristics(hb, 8, 0, 2), FT_OK);
    QCOMPARE(pair.composite.purge(hb, FT_PURGE_RX), FT_OK);
    QCOMPARE(pair.b->baudRate, 115200u);
    QCOMPARE(pair.b->parity, 2);
    QCOMPARE(pair.a->baudRate, 0u);

    pair.b->queueReply("5\r\n");
    QCOMPARE(pair.composite.getQueueStatus(ha, n), FT_OK);
    QCOMPARE(n, 0u);
    QCOMPARE(pair.composite.getQueueStatus(hb, n), FT_OK);
    QCOMPARE(n, 3u);
    std::uint8_t buffer[8];
    QCOMPARE(pair.composite.read(hb, buffer, 3, n), FT_OK);
    QCOMPARE(QByteArray(reinterpret_cast<char *>(buffer), qsizetype(n)), QByteArray("5\r\n"));

    // Closing one leaves the other; the closed handle is dead for every call.
    QCOMPARE(pair.composite.close(hb), FT_OK);
    QVERIFY(!pair.b->isOpen);
    QVERIFY(pair.a->isOpen);
    QCOMPARE(pair.composite.write(hb, buffer, 1, n), FT_INVALID_HANDLE);
    QCOMPARE(n, 0u);
    QCOMPARE(pair.composite.read(hb, buffer, 1, n), FT_INVALID_HANDLE);
    QCOMPARE(pair.composite.getQueueStatus(hb, n), FT_INVALID_HANDLE);
    QCOMPARE(pair.composite.purge(hb, FT_PURGE_TX), FT_INVALID_HANDLE);
    QCOMPARE(pair.composite.setBaudRate(hb, 9600), FT_INVALID_HANDLE);
    QCOMPARE(pair.composite.setDataCharacteristics(hb, 8, 0, 0), FT_INVALID_HANDLE);
    QCOMPARE(pair.composite.close(hb), FT_INVALID_HANDLE);
    QCOMPARE(pair.composite.close(0), FT_INVALID_HANDLE);
    QCOMPARE(pair.b->writes.size(), 1);

    // Reopened, it gets a fresh handle.
    FT_HANDLE again = 0;
    QCOMPARE(pair.composite.openBySerialNumber("B1", again), FT_OK);
    QVERIFY(again != hb && again != ha);
}

void TestComposite::failuresPassThrough()
{
    Pair pair;
    FT_HANDLE h = 0;
    // A driver that has the device but cannot open it answers for it.
    pair.a->failNext("open", FT_DEVICE_NOT_OPENED);
    QCOMPARE(pair.composite.openBySerialNumber("A1", h), FT_DEVICE_NOT_OPENED);
    QCOMPARE(pair.b->calls, QStringList());
    QCOMPARE(pair.composite.openBySerialNumber("A1", h), FT_OK);
    std::uint32_t n = 99;
    pair.a->failNext("write", FT_IO_ERROR);
    const std::uint8_t byte = 1;
    QCOMPARE(pair.composite.write(h, &byte, 1, n), FT_IO_ERROR);
    QCOMPARE(n, 0u);
    pair.a->failNext("baud", FT_INVALID_BAUD_RATE);
    QCOMPARE(pair.composite.setBaudRate(h, 1), FT_INVALID_BAUD_RATE);
    // A close the driver fails still ends our handle.
    pair.a->failNext("close", FT_IO_ERROR);
    QCOMPARE(pair.composite.close(h), FT_IO_ERROR);
    QCOMPARE(pair.composite.close(h), FT_INVALID_HANDLE);
}

void TestComposite::noDrivers()
{
    CompositeDriver composite;
    std::uint32_t count = 99;
    QCOMPARE(composite.listDeviceCount(count), FT_OK);
    QCOMPARE(count, 0u);
    char buffer[FT_LIST_TEXT_SIZE];
    QCOMPARE(composite.listSerialNumber(0, buffer), FT_DEVICE_NOT_FOUND);
    FT_HANDLE h = 0;
    QCOMPARE(composite.openBySerialNumber("A1", h), FT_DEVICE_NOT_FOUND);
    composite.add(nullptr);
    QCOMPARE(composite.driverCount(), 0u);
}

QTEST_MAIN(TestComposite)
#include "tst_composite.moc"
