// Reply readers against the recording bridge: parsing, replies spread over
// several reads, stale receive-buffer bytes, bounded exchanges, stray bytes.

#include "common/ConsoleLog.h"
#include "protocol/Codec.h"
#include "protocol/ReplyReader.h"
#include "support/Hex.h"
#include "support/RecordingDriver.h"
#include "support/ScriptedDialogs.h"
#include "usb/D2XXUnit.h"

#include <QElapsedTimer>
#include <QTimer>
#include <QtTest>

using namespace quorvane;
using quorvane::test::RecordingDriver;
using quorvane::test::ScriptedDialogs;

using Values = std::vector<std::uint8_t>;
Q_DECLARE_METATYPE(Values)

namespace {

// Delivers its chunks one at a time: the queue shows the next chunk only
// after the previous one has been read, as a reply trickling in would.
class ChunkedDriver : public RecordingDriver {
public:
    QList<QByteArray> chunks;
    std::function<void()> beforeQueueStatus;
    FT_STATUS getQueueStatus(FT_HANDLE handle, std::uint32_t &count) override
    {
        if (beforeQueueStatus)
            beforeQueueStatus();
        if (rx.isEmpty() && !chunks.isEmpty())
            rx += chunks.takeFirst();
        return RecordingDriver::getQueueStatus(handle, count);
    }
};

struct Fixture {
    ChunkedDriver driver;
    ScriptedDialogs dialogs;
    D2XXUnit link{driver, dialogs};
    ConsoleLog console;
    ReplyReader reader{link, console};

    Fixture()
    {
        driver.bridges = {{QStringLiteral("SN1"), QStringLiteral("Pedal")}};
        link.Open_USB_Device_By_Serial_Number(QStringLiteral("SN1"));
        link.log = [this](const QString &line) { console.print_to_console(line); };
    }
};

} // namespace

class TestReplyReader : public QObject {
    Q_OBJECT
private slots:
    void parsesCleanReplies_data();
    void parsesCleanReplies();
    void logsEveryValue();
    void refusesNonDigits_data();
    void refusesNonDigits();
    void replyWithoutValuesKeepsPrevious();
    void joinsReadsOfOneReply_data();
    void joinsReadsOfOneReply();
    void staleBufferBytesAreNeverParsed();
    void waitsForLineStillOnItsWay();
    void silentPedalTimesOutWithUiAlive();
    void failedQueueQueryEndsWait();
    void purgesAroundTheRead();
    void conversionErrorStillPurges();
    void boundedExchanges_data();
    void boundedExchanges();
    void strayBytesAreLoggedNotTaken();
};

void TestReplyReader::parsesCleanReplies_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::addColumn<Values>("values");
    QTest::newRow("7, 42, 255") << QByteArray("7\r\n42\r\n255\r\n") << Values{7, 42, 255};
    QTest::newRow("leading zeros") << QByteArray("007\r\n010\r\n") << Values{7, 10};
    QTest::newRow("three digits modulo 256") << QByteArray("300\r\n999\r\n") << Values{44, 231};
    QTest::newRow("four digits keep previous") << QByteArray("9\r\n1234\r\n5\r\n") << Values{9, 9, 5};
    QTest::newRow("four digits first is 0") << QByteArray("12345\r\n6\r\n") << Values{0, 6};
    QTest::newRow("empty line repeats previous") << QByteArray("8\r\n\r\n") << Values{8, 8};
    QTest::newRow("unended last line is no value") << QByteArray("1\r\n2\r\n3") << Values{1, 2};
    QTest::newRow("line end split CR") << QByteArray("4\r") << Values{4};
}

void TestReplyReader::parsesCleanReplies()
{
    QFETCH(QByteArray, reply);
    QFETCH(Values, values);
    Fixture f;
    QCOMPARE(f.reader.ParseReplyValues(reply), int(values.size()));
    QCOMPARE(f.reader.received_bytes_array, values);
}

void TestReplyReader::logsEveryValue()
{
    Fixture f;
    f.reader.ParseReplyValues("7\r\n42\r\n255\r\n");
    QCOMPARE(f.console.lines(),
             QStringList({"num of bytes received: 3", "received_bytes_array size: 3", "0:    07",
                          "1:    2A", "2:    FF"}));
}

void TestReplyReader::refusesNonDigits_data()
{
    QTest::addColumn<QByteArray>("reply");
    QTest::newRow("letter") << QByteArray("10\r\n4x\r\n");
    QTest::newRow("blank") << QByteArray("1 \r\n");
    QTest::newRow("colon") << QByteArray("1:\r\n");
    QTest::newRow("sign") << QByteArray("-5\r\n");
}

void TestReplyReader::refusesNonDigits()
{
    QFETCH(QByteArray, reply);
    Fixture f;
    f.reader.received_bytes_array = {1, 2, 3};
    QVERIFY_THROWS_EXCEPTION(ConversionError, f.reader.ParseReplyValues(reply));
    QCOMPARE(f.reader.received_bytes_array, (Values{1, 2, 3}));
}

void TestReplyReader::replyWithoutValuesKeepsPrevious()
{
    Fixture f;
    f.reader.received_bytes_array = {1, 2, 3};
    QCOMPARE(f.reader.ParseReplyValues("garbage without line end"), 0);
    QCOMPARE(f.reader.received_bytes_array, (Values{1, 2, 3}));
    QVERIFY(f.console.lines().contains("num of bytes received: 0"));
}

void TestReplyReader::joinsReadsOfOneReply_data()
{
    QTest::addColumn<QList<QByteArray>>("chunks");
    QTest::newRow("whole") << QList<QByteArray>{"7\r\n42\r\n255\r\n"};
    QTest::newRow("CR LF split") << QList<QByteArray>{"7\r", "\n42\r", "\n255\r", "\n"};
    QTest::newRow("digits split") << QList<QByteArray>{"7\r\n4", "2\r\n2", "55\r\n"};
    QList<QByteArray> bytewise;
    for (char c : QByteArray("7\r\n42\r\n255\r\n"))
        bytewise << QByteArray(1, c);
    QTest::newRow("byte by byte") << bytewise;
}

void TestReplyReader::joinsReadsOfOneReply()
{
    QFETCH(QList<QByteArray>, chunks);
    Fixture f;
    f.driver.chunks = chunks;
    QCOMPARE(f.reader.ReadReplyValues(ReplyLimits{}), LineStatus::Ok);
    QCOMPARE(f.reader.last_reply_count, 3);
    QCOMPARE(f.reader.received_bytes_array, (Values{7, 42, 255}));
}

void TestReplyReader::staleBufferBytesAreNeverParsed()
{
    Fixture f;
    QByteArray longer;
    for (int k = 0; k < 90; ++k)
        longer += QByteArray::number(k) + "\r\n";
    f.driver.queueReply(longer);
    QCOMPARE(f.reader.ReadReplyValues(ReplyLimits{}), LineStatus::Ok);
    QCOMPARE(f.reader.last_reply_count, 90);

    // A shorter reply lands over the start of rx_buffer; the rest of the
    // longer one is still behind it there.
    f.driver.queueReply("200\r\n201\r\n");
    QCOMPARE(f.reader.ReadReplyValues(ReplyLimits{}), LineStatus::Ok);
    QCOMPARE(f.reader.last_reply_count, 2);
    QCOMPARE(f.reader.received_bytes_array, (Values{200, 201}));
}

void TestReplyReader::waitsForLineStillOnItsWay()
{
    Fixture f;
    f.driver.queueReply("7\r\n4");
    QTimer::singleShot(60, [&] { f.driver.queueReply("2\r\n"); });
    QCOMPARE(f.reader.ReadReplyValues(ReplyLimits{}), LineStatus::Ok);
    QCOMPARE(f.reader.received_bytes_array, (Values{7, 42}));
}

void TestReplyReader::silentPedalTimesOutWithUiAlive()
{
    Fixture f;
    f.reader.received_bytes_array = {1, 2, 3};
    bool ticked = false;
    QTimer::singleShot(20, [&] { ticked = true; });
    QElapsedTimer clock;
    clock.start();
    QCOMPARE(f.reader.ReadReplyValues({200, 200, 200, 1024}), LineStatus::TimedOut);
    QVERIFY(clock.elapsed() >= 200);
    QVERIFY(ticked);
    QCOMPARE(f.reader.last_reply_count, 0);
    QCOMPARE(f.reader.received_bytes_array, (Values{1, 2, 3}));
}

void TestReplyReader::failedQueueQueryEndsWait()
{
    Fixture f;
    f.reader.received_bytes_array = {1, 2, 3};
    f.driver.failNext("queue", FT_IO_ERROR);
    f.driver.queueReply("5\r\n");
    QCOMPARE(f.reader.ReadReplyValues(ReplyLimits{}), LineStatus::IoFailed);
    QCOMPARE(f.reader.received_bytes_array, (Values{1, 2, 3}));
    QCOMPARE(f.dialogs.messages, QStringList{"FT_GetQueueStatus - General IO error..."});
}

void TestReplyReader::purgesAroundTheRead()
{
    Fixture f;
    f.driver.onWrite = [&](const QByteArray &) { f.driver.queueReply("5\r\n"); };
    f.driver.calls.clear();
    QCOMPARE(f.reader.RequestValues(QByteArray::fromHex("0200"), ReplyLimits{}), LineStatus::Ok);
    const qsizetype tx = f.driver.calls.indexOf("purge:2");
    const qsizetype rx = f.driver.calls.indexOf("purge:1");
    const qsizetype read = f.driver.calls.indexOf("read:3");
    QVERIFY(tx >= 0 && read > tx && rx > read);
}

void TestReplyReader::conversionErrorStillPurges()
{
    Fixture f;
    f.driver.queueReply("5x\r\n");
    QVERIFY_THROWS_EXCEPTION(ConversionError, f.reader.ReadReplyValues(ReplyLimits{}));
    QVERIFY(f.driver.calls.contains("purge:1"));
}

void TestReplyReader::boundedExchanges_data()
{
    // What the pedal sends after the request, piece by piece: each piece
    // becomes readable `gap` ms after the previous one was read.
    QTest::addColumn<QList<QByteArray>>("pieces");
    QTest::addColumn<int>("gap");
    QTest::addColumn<int>("status");
    QTest::addColumn<int>("values");

    QByteArray status;
    for (int k = 0; k < 83; ++k)
        status += QByteArray::number(k == 0 ? 10 : k) + "\r\n";
    const qsizetype quarter = status.size() / 4;
    QList<QByteArray> at_line_ends;
    qsizetype from = 0;
    for (int piece = 1; piece <= 4; ++piece) {
        const qsizetype end = piece == 4 ? status.size() : status.indexOf('\n', piece * quarter) + 1;
        at_line_ends << status.mid(from, end - from);
        from = end;
    }
    QTest::newRow("four pieces 60 ms apart") << at_line_ends << 60 << int(LineStatus::Ok) << 83;
    QTest::newRow("whole at once") << QList<QByteArray>{status} << 0 << int(LineStatus::Ok) << 83;
    QTest::newRow("cut short") << at_line_ends.mid(0, 2) << 10 << int(LineStatus::TimedOut)
                               << int(at_line_ends[0].count('\n') + at_line_ends[1].count('\n'));
    QTest::newRow("never ends") << QList<QByteArray>(40, QByteArray(64, 'x')) << 0
                                << int(LineStatus::Overflow) << 0;
    QTest::newRow("silent") << QList<QByteArray>{} << 0 << int(LineStatus::TimedOut) << 0;
}

void TestReplyReader::boundedExchanges()
{
    QFETCH(QList<QByteArray>, pieces);
    QFETCH(int, gap);
    QFETCH(int, status);
    QFETCH(int, values);
    Fixture f;
    QList<QByteArray> pending;
    QElapsedTimer since;
    f.driver.onWrite = [&](const QByteArray &) {
        pending = pieces;
        since.start();
    };
    // The next piece shows once the previous one has been read and the gap
    // has passed.
    f.driver.beforeQueueStatus = [&] {
        if (f.driver.rx.isEmpty() && !pending.isEmpty() && since.isValid() && since.elapsed() >= gap) {
            f.driver.queueReply(pending.takeFirst());
            since.start();
        }
    };
    const ReplyLimits limits{300, 150, 1000, 1024};
    QCOMPARE(int(f.reader.RequestValues(QByteArray::fromHex("0200"), limits, status_reply_complete)), status);
    QCOMPARE(f.reader.last_reply_count, values);
}

void TestReplyReader::strayBytesAreLoggedNotTaken()
{
    Fixture f;
    f.driver.queueReply("99\r\n");
    f.driver.onWrite = [&](const QByteArray &) { f.driver.queueReply("5\r\n"); };
    QCOMPARE(f.reader.RequestValues(QByteArray::fromHex("0200"), ReplyLimits{}), LineStatus::Ok);
    QCOMPARE(f.reader.received_bytes_array, (Values{5}));
    QVERIFY(f.console.lines().contains("Stray bytes before request: 39390D0A"));
}

QTEST_MAIN(TestReplyReader)
#include "tst_replyreader.moc"
