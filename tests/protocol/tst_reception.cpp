// The reception tick against the recording bridge: logging, the memory dump
// over one or many reads, the report switch, a lost bridge.

#include "common/ConsoleLog.h"
#include "protocol/Exchange.h"
#include "protocol/Reception.h"
#include "support/RecordingDriver.h"
#include "support/ScriptedDialogs.h"
#include "usb/D2XXUnit.h"

#include <QtTest>

using namespace quorvane;
using quorvane::test::RecordingDriver;
using quorvane::test::ScriptedDialogs;

namespace {

struct Fixture {
    RecordingDriver driver;
    ScriptedDialogs dialogs;
    D2XXUnit link{driver, dialogs};
    ConsoleLog console;
    ExchangeGuard exchange;
    Reception reception{link, console, exchange};
    bool linked = true;
    int lost = 0;

    Fixture()
    {
        driver.bridges = {{QStringLiteral("SN1"), QStringLiteral("Pedal")}};
        link.Open_USB_Device_By_Serial_Number(QStringLiteral("SN1"));
        reception.is_linked = [this] { return linked; };
        reception.on_bridge_lost = [this] { ++lost; };
    }

    QStringList dumpLines() const
    {
        QStringList out;
        static const QRegularExpression line(QStringLiteral("^\\d+: [0-9A-F]{2}$"));
        for (const QString &l : console.lines())
            if (line.match(l).hasMatch())
                out << l;
        return out;
    }
};

QByteArray dump(int bytes_of_memory)
{
    QByteArray d(1, char(0xAB));
    for (int k = 0; k < bytes_of_memory; ++k)
        d += char((k * 7 + 3) & 0xFF);
    return d;
}

QString expectedLine(int k)
{
    return QStringLiteral("%1: %2").arg(k).arg(QString::asprintf("%02X", (k * 7 + 3) & 0xFF));
}

} // namespace

class TestReception : public QObject {
    Q_OBJECT
private slots:
    void logsWhatArrives_data();
    void logsWhatArrives();
    void dumpListedWhole_data();
    void dumpListedWhole();
    void shortDumpListedAsFarAsItCame();
    void unlinkListsPendingDump();
    void restoresReportSwitch_data();
    void restoresReportSwitch();
    void lostBridgeUnlinks_data();
    void lostBridgeUnlinks();
    void leavesReplyOfWaitingExchange();
};

void TestReception::logsWhatArrives_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("upload answer") << QByteArray("OK 4544 bytes");
    QTest::newRow("begins with 1, rest no hex number") << QByteArray("1XYZ");
    QTest::newRow("begins with 1, rest hex") << QByteArray("1AF");
    QTest::newRow("binary") << QByteArray("\x00\xFF\x79", 3);
}

void TestReception::logsWhatArrives()
{
    QFETCH(QByteArray, bytes);
    Fixture f;
    f.driver.queueReply(bytes);
    f.reception.ReceiveTick();
    QCOMPARE(f.console.lines(), QStringList{QStringLiteral("num of bytes read: %1").arg(bytes.size())});
    QVERIFY(f.driver.rx.isEmpty());
    QVERIFY(!f.reception.dump_pending());
    QVERIFY(f.dialogs.messages.isEmpty());

    // An empty queue logs nothing.
    f.reception.ReceiveTick();
    QCOMPARE(f.console.count(), 1);
}

void TestReception::dumpListedWhole_data()
{
    QTest::addColumn<QList<int>>("pieces"); // sizes of the receptions, in ticks
    QTest::newRow("one read") << QList<int>{16385};
    QTest::newRow("marker alone first") << QList<int>{1, 16384};
    QTest::newRow("many reads") << QList<int>{62, 4000, 4000, 8000, 323};
    QTest::newRow("with trailing reception") << QList<int>{16385 + 5};
}

void TestReception::dumpListedWhole()
{
    QFETCH(QList<int>, pieces);
    Fixture f;
    QByteArray all = dump(16384) + "tail!";
    int at = 0;
    for (int size : pieces) {
        f.driver.queueReply(all.mid(at, size));
        at += size;
        f.reception.ReceiveTick();
    }
    QVERIFY(!f.reception.dump_pending());
    const QStringList lines = f.dumpLines();
    QCOMPARE(lines.size(), 16384);
    for (int k : {0, 1, 255, 8191, 16383})
        QCOMPARE(lines.at(k), expectedLine(k));
    for (const QString &l : f.console.lines())
        QVERIFY2(!l.startsWith("Memory dump incomplete"), qPrintable(l));
}

void TestReception::shortDumpListedAsFarAsItCame()
{
    Fixture f;
    f.reception.dump_timeout_ms = 0; // the bound has passed by the next tick
    f.driver.queueReply(dump(1000));
    f.reception.ReceiveTick();
    QVERIFY(f.reception.dump_pending());
    QVERIFY(f.dumpLines().isEmpty());
    // Bytes arriving after the bound are a reception of their own.
    f.driver.queueReply(QByteArray(5, 'x'));
    f.reception.ReceiveTick();
    QVERIFY(!f.reception.dump_pending());
    const QStringList lines = f.dumpLines();
    QCOMPARE(lines.size(), 1000);
    QCOMPARE(lines.last(), expectedLine(999));
    QVERIFY(f.console.lines().contains("Memory dump incomplete: 15384 bytes missing"));
    QCOMPARE(f.console.last(), "num of bytes read: 5");
}

void TestReception::unlinkListsPendingDump()
{
    Fixture f;
    f.driver.queueReply(dump(10));
    f.reception.ReceiveTick();
    f.reception.reset();
    QCOMPARE(f.dumpLines().size(), 10);
    QCOMPARE(f.console.last(), "Memory dump incomplete: 16374 bytes missing");
}

void TestReception::restoresReportSwitch_data()
{
    QTest::addColumn<bool>("before");
    QTest::addColumn<QString>("failing");
    QTest::addColumn<QByteArray>("bytes");
    for (bool before : {true, false}) {
        const char *b = before ? "on" : "off";
        QTest::addRow("%s, quiet", b) << before << "" << QByteArray();
        QTest::addRow("%s, reception", b) << before << "" << QByteArray("1XYZ");
        QTest::addRow("%s, dump", b) << before << "" << dump(16384);
        QTest::addRow("%s, queue fails", b) << before << "queue" << QByteArray();
        QTest::addRow("%s, read fails", b) << before << "read" << QByteArray("123");
    }
}

void TestReception::restoresReportSwitch()
{
    QFETCH(bool, before);
    QFETCH(QString, failing);
    QFETCH(QByteArray, bytes);
    Fixture f;
    f.link.report_usb_errors = before;
    if (!failing.isEmpty())
        f.driver.failNext(failing, FT_IO_ERROR);
    f.driver.queueReply(bytes);
    f.reception.ReceiveTick();
    QCOMPARE(f.link.report_usb_errors, before);
    QVERIFY(f.dialogs.messages.isEmpty()); // failures while polling show nothing
}

void TestReception::lostBridgeUnlinks_data()
{
    QTest::addColumn<QString>("ticks"); // F = failed queue query, . = fine
    QTest::addColumn<bool>("linked");
    QTest::addColumn<int>("lost");
    QTest::newRow("three in a row") << "FFF" << true << 1;
    QTest::newRow("two only") << "FF" << true << 0;
    QTest::newRow("interrupted") << "FF.FF" << true << 0;
    QTest::newRow("six in a row") << "FFFFFF" << true << 2;
    QTest::newRow("not linked") << "FFFF" << false << 0;
}

void TestReception::lostBridgeUnlinks()
{
    QFETCH(QString, ticks);
    QFETCH(bool, linked);
    QFETCH(int, lost);
    Fixture f;
    f.linked = linked;
    for (QChar t : ticks) {
        if (t == 'F')
            f.driver.failNext("queue", FT_IO_ERROR);
        f.reception.ReceiveTick();
    }
    QCOMPARE(f.lost, lost);
    QVERIFY(f.dialogs.messages.isEmpty());
}

void TestReception::leavesReplyOfWaitingExchange()
{
    Fixture f;
    f.driver.queueReply("10\r\n");
    {
        auto hold = f.exchange.hold();
        f.reception.ReceiveTick();
        QCOMPARE(f.driver.rx, QByteArray("10\r\n"));
        QCOMPARE(f.console.count(), 0);
    }
    f.reception.ReceiveTick();
    QVERIFY(f.driver.rx.isEmpty());
}

QTEST_MAIN(TestReception)
#include "tst_reception.moc"
