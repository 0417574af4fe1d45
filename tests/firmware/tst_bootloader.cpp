// The bootloader client against the virtual pedal's bootloader behind the
// recording driver: exact bytes and write boundaries, console lines, reply
// checking.

#include "common/ConsoleLog.h"
#include "firmware/FirmwareUpgrade.h"
#include "protocol/Codec.h"
#include "support/Hex.h"
#include "support/RecordedPedal.h"
#include "support/RecordingDriver.h"
#include "support/ScriptedDialogs.h"
#include "usb/D2XXUnit.h"

#include <QtTest>

#include <optional>

using namespace quorvane;
using namespace quorvane::test;

namespace {

QByteArray pattern_image(int size)
{
    QByteArray image(size, '\0');
    for (int i = 0; i < size; ++i)
        image[i] = char((i * 7 + i / 256) & 0xFF);
    return image;
}

// A pedal held in upgrade mode, its flash erased: the bootloader waits.
PedalOptions erased_pedal_in_bootloader()
{
    PedalOptions o;
    o.firmware = 0;
    o.bootloader = true;
    return o;
}

struct Rig {
    RecordingDriver driver;
    ScriptedDialogs dialogs;
    ConsoleLog console;
    D2XXUnit link{driver, dialogs};
    RecordedPedal pedal{driver, erased_pedal_in_bootloader()};
    FirmwareUpgrade client{link, console};
    // The line held as the upgrade holds it.
    std::optional<D2XXUnit::BootloaderSession> session = link.acquire_bootloader();
    QList<QPair<int, int>> progress;

    explicit Rig(bool synced = true)
    {
        driver.bridges = {{QStringLiteral("SN1"), QStringLiteral("KQ5")}};
        link.Open_USB_Device_By_Serial_Number(QStringLiteral("SN1"));
        link.SetLinkSettings(link_mode_bootloader);
        link.SetFTBaudRate();
        link.SetFTDataCharacteristics();
        client.progress = [this](int value, int maximum) { progress.append({value, maximum}); };
        client.setSession(&*session);
        if (synced) {
            session->transmit(QByteArray(1, '\x7F'));
            driver.rx.clear();
            driver.writes.clear();
        }
    }
    const PedalBootloader &boot() const { return pedal.bootloader(); }
    QByteArray flash() { return pedal.model().flash(); }
    // Index in the console of the first line equal to `text` at or after `from`.
    qsizetype line(const QString &text, qsizetype from = 0) const
    {
        return console.lines().indexOf(text, from);
    }
};

} // namespace

class TestBootloader : public QObject {
    Q_OBJECT
private slots:
    void split_data();
    void split();
    void refusesImagesThatDoNotFit_data();
    void refusesImagesThatDoNotFit();
    void addressChecksum_data();
    void addressChecksum();
    void versionRecord_data();
    void versionRecord();
    void wireShapeOfAWholeSequence();
    void verifyReadsBackInTheWrittenBlocks();
    void verifyStopsAtTheFirstBadChunk_data();
    void verifyStopsAtTheFirstBadChunk();
    void replyWait_data();
    void replyWait();
    void stopsAtTheFirstBadReply_data();
    void stopsAtTheFirstBadReply();
    void eraseFailures_data();
    void eraseFailures();
    void unacknowledgedGoIsAFailure();
    void resync_data();
    void resync();
    void resyncCompletesABrokenOffCommand_data();
    void resyncCompletesABrokenOffCommand();
    void loadImage_data();
    void loadImage();
};

void TestBootloader::split_data()
{
    QTest::addColumn<int>("size");
    QTest::addColumn<int>("fullChunks");
    QTest::addColumn<int>("lastBytes");
    QTest::addColumn<int>("chunks");
    QTest::addColumn<quint32>("lastAddress");
    QTest::addColumn<int>("lastN");

    QTest::newRow("53840 bytes") << 53840 << 210 << 80 << 211 << 0x0800D200u << 0x4F;
    QTest::newRow("multiple of 256") << 51200 << 200 << 0 << 200 << 0x0800C700u << 0xFF;
    QTest::newRow("51472 bytes") << 51472 << 201 << 16 << 202 << 0x0800C900u << 0x0F;
    QTest::newRow("one byte") << 1 << 0 << 1 << 1 << 0x08000000u << 0x00;
    QTest::newRow("largest that fits") << 0x1FC00 << 508 << 0 << 508 << 0x0801FB00u << 0xFF;
}

void TestBootloader::split()
{
    QFETCH(int, size);
    QFETCH(int, fullChunks);
    QFETCH(int, lastBytes);
    QFETCH(int, chunks);
    QFETCH(quint32, lastAddress);
    QFETCH(int, lastN);

    Rig rig;
    // A last chunk that is no whole words (the one-byte image's) is taken too.
    if (lastBytes % 4)
        rig.pedal.faults().set(PedalFault::AnyWriteLength);
    const QByteArray image = pattern_image(size);
    rig.client.setFirmwareImage(image);
    QVERIFY(rig.client.SplitFirmwareInChunks());
    QCOMPARE(rig.client.num_of_chunks, quint32(chunks));
    QCOMPARE(rig.client.num_of_bytes_last_chunk, quint32(lastBytes));
    QVERIFY(rig.line(QStringLiteral("num of chunks: %1").arg(fullChunks)) >= 0);
    const qsizetype first = rig.line(QStringLiteral("num of bytes last chunk: %1").arg(lastBytes));
    QVERIFY(first >= 0);
    // The count is logged again just before the last chunk's lines.
    const qsizetype again = rig.line(QStringLiteral("num of bytes last chunk: %1").arg(lastBytes), first + 1);
    QCOMPARE(rig.console.lines().value(again + 1), QStringLiteral("chunk from string %1: ").arg(chunks - 1));
    QCOMPARE(rig.console.lines().value(again + 2), rig.client.firmware_chunks.back().hex);

    QVERIFY(rig.client.BootloaderEraseAll());
    QVERIFY(rig.client.BootloaderWriteFirmware());
    QCOMPARE(rig.boot().writeCount(), chunks);
    QCOMPARE(rig.boot().lastWrite().address, lastAddress);
    const int lastSize = lastBytes ? lastBytes : 256;
    QCOMPARE(rig.boot().lastWrite().length, lastSize);
    QCOMPARE(rig.flash().left(size), image);
    QCOMPARE(rig.boot().nackCount(), 0);

    // The last chunk went out as N, then the data, then the checksum.
    const QList<QByteArray> &w = rig.driver.writes;
    QCOMPARE(w.at(w.size() - 3), QByteArray(1, char(lastN)));
    QCOMPARE(w.at(w.size() - 2), image.right(lastSize));

    QCOMPARE(rig.progress.size(), chunks);
    QCOMPARE(rig.progress.last(), qMakePair(chunks - 1, chunks));
}

void TestBootloader::refusesImagesThatDoNotFit_data()
{
    QTest::addColumn<int>("size");
    QTest::newRow("empty") << 0;
    QTest::newRow("one byte into the version record") << 0x1FC00 + 1;
    QTest::newRow("more than 512 chunks") << 512 * 256 + 1;
}

void TestBootloader::refusesImagesThatDoNotFit()
{
    QFETCH(int, size);
    Rig rig;
    rig.client.setFirmwareImage(pattern_image(size));
    QVERIFY(!rig.client.image_fit_problem().isEmpty());
    QVERIFY(!rig.client.SplitFirmwareInChunks());
    QVERIFY(rig.client.failure.startsWith(QStringLiteral("image: ")));
    QVERIFY(rig.client.firmware_chunks.empty());
    QCOMPARE(rig.line(QStringLiteral("num of chunks: %1").arg(size / 256)), -1);
    QVERIFY(rig.driver.writes.isEmpty());
}

void TestBootloader::addressChecksum_data()
{
    QTest::addColumn<quint32>("address");
    QTest::addColumn<int>("checksum");
    QTest::newRow("chunk 1") << 0x08000100u << 0x09;
    QTest::newRow("version record") << 0x0801FC00u << 0xF5;
    QTest::newRow("go") << 0x08000000u << 0x08;
}

void TestBootloader::addressChecksum()
{
    QFETCH(quint32, address);
    QFETCH(int, checksum);
    QCOMPARE(int(FirmwareUpgrade::calc_address_checksum(address)), checksum);

    // And on the wire, after the command pair written one byte at a time.
    Rig rig;
    rig.client.bootloader_address = address;
    QVERIFY(rig.client.BootloaderWriteCommand(QStringLiteral("test")));
    QCOMPARE(rig.driver.writes.size(), 3);
    QCOMPARE(spaced(rig.driver.writes[0]), QStringLiteral("31"));
    QCOMPARE(spaced(rig.driver.writes[1]), QStringLiteral("CE"));
    QCOMPARE(rig.driver.writes[2].size(), 5);
    QCOMPARE(std::uint8_t(rig.driver.writes[2][4]), std::uint8_t(checksum));
    QVERIFY(rig.line(QStringLiteral("Address: ") + hex8(address)) >= 0);
    QVERIFY(rig.line(QStringLiteral("address checksum: ") + hex2(checksum)) >= 0);
}

void TestBootloader::versionRecord_data()
{
    QTest::addColumn<int>("version");
    QTest::addColumn<QString>("record");
    QTest::newRow("5") << 5 << "07 00 00 00 00 00 00 00 05 02";
    QTest::newRow("6") << 6 << "07 00 00 00 00 00 00 00 06 01";
    QTest::newRow("7") << 7 << "07 00 00 00 00 00 00 00 07 00";
    QTest::newRow("8") << 8 << "07 00 00 00 00 00 00 00 08 0F";
    QTest::newRow("9") << 9 << "07 00 00 00 00 00 00 00 09 0E";
    QTest::newRow("10") << 10 << "07 00 00 00 00 00 00 00 0A 0D";
}

void TestBootloader::versionRecord()
{
    QFETCH(int, version);
    QFETCH(QString, record);
    Rig rig;
    QVERIFY(rig.client.BootloaderWriteVersion(version));
    const QList<QByteArray> &w = rig.driver.writes;
    // 31, CE, address + checksum, then ten one-byte writes.
    QCOMPARE(w.size(), 13);
    QCOMPARE(spaced(w[2]), QStringLiteral("08 01 FC 00 F5"));
    QByteArray sent;
    for (int i = 3; i < 13; ++i) {
        QCOMPARE(w[i].size(), 1);
        sent += w[i];
    }
    QCOMPARE(spaced(sent), record);
    QCOMPARE(rig.pedal.recordedVersion(), version);
    QCOMPARE(rig.flash().mid(0x1FC00, 7), QByteArray(7, '\0'));
}

void TestBootloader::wireShapeOfAWholeSequence()
{
    Rig rig;
    const QByteArray image = pattern_image(300);
    rig.client.setFirmwareImage(image);
    QVERIFY(rig.client.SplitFirmwareInChunks());
    QVERIFY(rig.client.BootloaderEraseAll());
    QVERIFY(rig.client.BootloaderWriteFirmware());
    QVERIFY(rig.client.BootloaderWriteVersion(9));
    QVERIFY(rig.client.BootloaderGo());

    auto checksum = [](std::uint8_t n, const QByteArray &data) {
        std::uint8_t c = n;
        for (char b : data)
            c ^= std::uint8_t(b);
        return QByteArray(1, char(c));
    };
    QList<QByteArray> expected = {
        bytes("43 BC"), bytes("FF 00"),
        bytes("31"), bytes("CE"), bytes("08 00 00 00 08"),
        bytes("FF"), image.left(256), checksum(0xFF, image.left(256)),
        bytes("31"), bytes("CE"), bytes("08 00 01 00 09"),
        bytes("2B"), image.mid(256), checksum(0x2B, image.mid(256)),
        bytes("31"), bytes("CE"), bytes("08 01 FC 00 F5"),
    };
    for (char b : bytes("07 00 00 00 00 00 00 00 09 0E"))
        expected.append(QByteArray(1, b));
    for (char b : bytes("21 DE 08 00 00 00 08"))
        expected.append(QByteArray(1, b));
    QCOMPARE(rig.driver.writes, expected);
    QVERIFY(rig.boot().goAddress());
    QCOMPARE(*rig.boot().goAddress(), 0x08000000u);

    // Console lines of the steps, in order; the marked ones do not scroll.
    const QStringList &lines = rig.console.lines();
    qsizetype at = 0;
    for (const char *text : {"Start Erase Command", "received: 79", "ACK", "Start Write Command",
                             "SEND WRITE COMMAND", "SEND ADDRESS + CHECKSUM", "Address: 08000000",
                             "address checksum: 08", "SEND N BYTE + DATA + CHECKSUM", "N_byte: FF",
                             "chunk size: 256", "N_byte: 2B", "chunk size: 44", "Address: 0801FC00",
                             "address checksum: F5", "SEND GO COMMAND", "Address: 08000000",
                             "address checksum: 08"}) {
        at = lines.indexOf(QString::fromLatin1(text), at);
        QVERIFY2(at >= 0, text);
    }
}

void TestBootloader::verifyReadsBackInTheWrittenBlocks()
{
    Rig rig;
    const QByteArray image = pattern_image(300);
    rig.client.verify_after_writing = true;
    rig.client.setFirmwareImage(image);
    QVERIFY(rig.client.SplitFirmwareInChunks());
    QVERIFY(rig.client.BootloaderEraseAll());
    QVERIFY(rig.client.BootloaderWriteFirmware());
    rig.driver.writes.clear();
    rig.driver.calls.clear();
    const qsizetype before = rig.console.count();

    QVERIFY(rig.client.BootloaderVerifyFirmware());
    // Read Memory of each chunk as it was written: the command, the address,
    // N and its complement.
    QCOMPARE(rig.driver.writes, (QList<QByteArray>{bytes("11 EE"), bytes("08 00 00 00 08"), bytes("FF 00"),
                                                    bytes("11 EE"), bytes("08 00 01 00 09"), bytes("2B D4")}));
    // The last answer, ACK and data, taken in one read of N + 2 bytes.
    QCOMPARE(rig.driver.calls.filter(QStringLiteral("read:")),
             (QStringList{"read:1", "read:1", "read:257", "read:1", "read:1", "read:45"}));
    QVERIFY(rig.driver.rx.isEmpty());
    // One console line a chunk.
    QCOMPARE(rig.console.lines().mid(before),
             (QStringList{"Start Verify Command", "READ MEMORY Address: 08000000 N_byte: FF",
                          "READ MEMORY Address: 08000100 N_byte: 2B", "Verified 300 bytes in 2 chunks"}));
    // One bar for both: the chunks written, then read back.
    QCOMPARE(rig.progress, (QList<QPair<int, int>>{{0, 4}, {1, 4}, {2, 4}, {3, 4}}));
    QCOMPARE(rig.client.failure, QString());
}

void TestBootloader::verifyStopsAtTheFirstBadChunk_data()
{
    QTest::addColumn<QString>("fault");     // of the pedal
    QTest::addColumn<QString>("step");      // chunk 1's step whose answer is replaced, if any
    QTest::addColumn<QByteArray>("answer"); // what comes instead
    QTest::addColumn<QString>("last");      // the last bytes sent
    QTest::addColumn<QString>("failure");

    const QString chunk1 = "verify chunk 1 at address 0x08000100";
    const QString refused = ": the pedal refused to read the chunk back (NOT ACK)";
    // pattern_image has 81 at 0x180; the pedal stores it as 80.
    QTest::newRow("flash differs") << "corrupt-block=1" << "" << QByteArray() << "FF 00"
                                   << chunk1 + ": the pedal's flash differs from the image at 0x08000180: read back 80 "
                                      "where the image has 81";
    QTest::newRow("read command refused") << "nack-read" << "" << QByteArray() << "11 EE"
                                          << "verify chunk 0 at address 0x08000000, read command" + refused;
    QTest::newRow("address refused") << "" << "address" << bytes("1F") << "08 00 01 00 09"
                                     << chunk1 + ", address" + refused;
    QTest::newRow("count refused") << "" << "count" << bytes("1F") << "FF 00" << chunk1 + ", data" + refused;
    QTest::newRow("silence after the address") << "" << "address" << QByteArray() << "08 00 01 00 09"
                                               << chunk1 + ", address: no reply from the bootloader within 50 ms";
    QTest::newRow("silence after the count") << "" << "count" << QByteArray() << "FF 00"
                                             << chunk1 + ", data: no reply from the bootloader within 50 ms";
    QTest::newRow("broken off") << "" << "count" << bytes("79") + QByteArray(100, 'x') << "FF 00"
                                << chunk1 + ", data: the answer broke off after 101 of its 257 bytes";
    QTest::newRow("no ACK before the data") << "" << "count" << bytes("00") + QByteArray(256, 'x') << "FF 00"
                                            << chunk1 + ", data: the bootloader answered 00 instead of ACK";
}

void TestBootloader::verifyStopsAtTheFirstBadChunk()
{
    QFETCH(QString, fault);
    QFETCH(QString, step);
    QFETCH(QByteArray, answer);
    QFETCH(QString, last);
    QFETCH(QString, failure);

    Rig rig;
    rig.client.command_limits = {50, 50, 50, 1};
    rig.client.read_back_limits = {50, 50, 100, 257};
    if (!fault.isEmpty())
        QVERIFY(rig.pedal.faults().parse(fault, nullptr));
    rig.client.verify_after_writing = true;
    rig.client.setFirmwareImage(pattern_image(3 * 256));
    QVERIFY(rig.client.SplitFirmwareInChunks());
    QVERIFY(rig.client.BootloaderEraseAll());
    QVERIFY(rig.client.BootloaderWriteFirmware());
    rig.driver.writes.clear();

    // Chunk 1's answer to `step` replaced by `answer`.
    auto feed = rig.driver.onWrite;
    rig.driver.onWrite = [&, feed, address = QByteArray()](const QByteArray &b) mutable {
        const qsizetype queued = rig.driver.rx.size();
        feed(b);
        const QByteArray chunk1 = bytes("08 00 01 00 09");
        const bool hit = (step == "address" && b == chunk1) || (step == "count" && address == chunk1 && b == bytes("FF 00"));
        if (b.size() == 5)
            address = b;
        if (hit) {
            rig.driver.rx.truncate(queued);
            rig.driver.rx += answer;
        }
    };

    QVERIFY(!rig.client.BootloaderVerifyFirmware());
    QCOMPARE(rig.client.failure, failure);
    // Nothing after the step that failed; chunk 2 is never read.
    QCOMPARE(spaced(rig.driver.writes.last()), last);
    QVERIFY(!rig.driver.writes.contains(bytes("08 00 02 00 0A")));
    QVERIFY(!rig.console.lines().contains(QStringLiteral("Verified 768 bytes in 3 chunks")));
}

void TestBootloader::replyWait_data()
{
    QTest::addColumn<QByteArray>("arrives");
    QTest::addColumn<bool>("queueFails");
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("ack") << bytes("79") << false << "79"
                         << QStringList{"num of bytes received: 1", "received: 79", "ACK"};
    QTest::newRow("two bytes together") << bytes("79 1F") << false << "79"
                                        << QStringList{"num of bytes received: 1", "received: 79", "ACK"};
    QTest::newRow("nack") << bytes("1F") << false << "1F"
                          << QStringList{"num of bytes received: 1", "received: 1F", "NOT ACK"};
    QTest::newRow("other byte") << bytes("00") << false << "00"
                                << QStringList{"num of bytes received: 1", "received: 00"};
    QTest::newRow("silence") << QByteArray() << false << "" << QStringList{"num of bytes received: 0", "received: "};
    QTest::newRow("queue query fails") << bytes("79") << true << ""
                                       << QStringList{"num of bytes received: 0", "received: "};
}

void TestBootloader::replyWait()
{
    QFETCH(QByteArray, arrives);
    QFETCH(bool, queueFails);
    QFETCH(QString, reply);
    QFETCH(QStringList, lines);

    Rig rig(false);
    rig.driver.onWrite = nullptr;
    rig.driver.queueReply(arrives);
    if (queueFails)
        rig.driver.failNext(QStringLiteral("queue"), FT_IO_ERROR);
    const BootloaderReply &got = rig.client.BootloaderWaitAck({50, 50, 50, 1});
    QCOMPARE(QString::fromLatin1(got.bytes.toHex().toUpper()), reply);
    QCOMPARE(rig.console.lines(), lines);
    // Only the reply's own byte is taken: the rest is left for the next
    // command, which reads it off as stray bytes.
    if (!queueFails)
        QCOMPARE(rig.driver.rx.size(), qMax(arrives.size() - 1, 0));
}

void TestBootloader::stopsAtTheFirstBadReply_data()
{
    QTest::addColumn<int>("chunk");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<QString>("failure");

    QTest::newRow("nack at chunk 0") << 0 << false
                                     << "chunk 0 at address 0x08000000, data: the bootloader answered NOT ACK";
    QTest::newRow("nack at chunk 5") << 5 << false
                                     << "chunk 5 at address 0x08000500, data: the bootloader answered NOT ACK";
    QTest::newRow("silent at chunk 7") << 7 << true
                                       << "chunk 7 at address 0x08000700, data: no reply from the bootloader within 50 ms";
}

void TestBootloader::stopsAtTheFirstBadReply()
{
    QFETCH(int, chunk);
    QFETCH(bool, silent);
    QFETCH(QString, failure);

    Rig rig;
    rig.client.command_limits = {50, 50, 50, 1};
    rig.pedal.faults().set(silent ? PedalFault::SilentAtWrite : PedalFault::NackAtWrite, chunk);
    rig.client.setFirmwareImage(pattern_image(10 * 256 + 3));
    QVERIFY(rig.client.SplitFirmwareInChunks());
    QVERIFY(!rig.client.BootloaderWriteFirmware());
    QCOMPARE(rig.client.failure, failure);
    QCOMPARE(rig.boot().writeCount(), chunk);
    // Nothing after the failed chunk's checksum byte.
    QCOMPARE(rig.driver.writes.last().size(), 1);
    QCOMPARE(rig.driver.writes.at(rig.driver.writes.size() - 2).size(), 256);
    QCOMPARE(rig.progress.last(), qMakePair(chunk, 11));
}

void TestBootloader::eraseFailures_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<int>("writes");
    QTest::addColumn<QString>("failure");
    QTest::newRow("silent erase") << "silentErase" << 2 << "erase: no reply from the bootloader within 80 ms";
    QTest::newRow("unplugged") << "unplug" << 1 << "erase: the link to the pedal failed";
    QTest::newRow("write refused") << "write" << 0 << "erase: the link to the pedal failed while sending";
}

void TestBootloader::eraseFailures()
{
    QFETCH(QString, fault);
    QFETCH(int, writes);
    QFETCH(QString, failure);

    Rig rig;
    rig.client.command_limits = {50, 50, 50, 1};
    rig.client.erase_limits = {80, 80, 80, 1};
    if (fault == "silentErase")
        rig.pedal.faults().set(PedalFault::SilentErase);
    if (fault == "unplug") {
        rig.pedal.faults().set(PedalFault::Silent);
        rig.driver.failAlways(QStringLiteral("queue"), FT_IO_ERROR);
    }
    if (fault == "write")
        rig.driver.failAlways(QStringLiteral("write"), FT_IO_ERROR);
    QVERIFY(!rig.client.BootloaderEraseAll());
    QCOMPARE(rig.client.failure, failure);
    QCOMPARE(rig.driver.writes.size(), writes);
    QVERIFY(rig.dialogs.messages.size() <= 1); // the link layer's own report at most
}

void TestBootloader::unacknowledgedGoIsAFailure()
{
    Rig rig;
    rig.client.command_limits = {50, 50, 50, 1};
    rig.pedal.faults().set(PedalFault::Silent);
    QVERIFY(!rig.client.BootloaderGo());
    QCOMPARE(rig.client.failure, QStringLiteral("start: no reply from the bootloader within 50 ms"));
    // Stopped after the command pair: no address went out.
    QCOMPARE(rig.driver.writes.size(), 2);
}

void TestBootloader::resync_data()
{
    QTest::addColumn<bool>("fresh");
    QTest::addColumn<bool>("silent");
    QTest::addColumn<bool>("ok");
    QTest::addColumn<QString>("writes"); // S: one sync byte, F: the filler
    QTest::newRow("fresh bootloader answers ACK") << true << false << true << "S";
    QTest::newRow("synchronised bootloader answers NACK") << false << false << true << "SFSS";
    QTest::newRow("silent bootloader") << false << true << false << "SFSS";
}

void TestBootloader::resync()
{
    QFETCH(bool, fresh);
    QFETCH(bool, silent);
    QFETCH(bool, ok);
    QFETCH(QString, writes);

    Rig rig(!fresh);
    rig.client.command_limits = {50, 50, 50, 1};
    if (silent)
        rig.pedal.faults().set(PedalFault::Silent);
    QCOMPARE(rig.client.BootloaderResync(), ok);
    QList<QByteArray> expected;
    for (QChar c : writes)
        expected << (c == 'S' ? bytes("7F") : QByteArray(259, char(0x7F)));
    QCOMPARE(rig.driver.writes, expected);
    if (!ok)
        QCOMPARE(rig.client.failure,
                 QStringLiteral("synchronisation: no reply from the bootloader within 50 ms"));
    else {
        // Ready for a command: a write goes through.
        rig.client.bootloader_address = 0x08000000;
        QVERIFY(rig.client.BootloaderWriteCommand(QStringLiteral("after resync")));
    }
}

void TestBootloader::resyncCompletesABrokenOffCommand_data()
{
    QTest::addColumn<QString>("sentBefore");
    QTest::newRow("inside an address") << "31 CE 08 00";
    QTest::newRow("inside a data block") << "31 CE 08 00 00 00 08 FF 01 02 03";
    QTest::newRow("inside an erase") << "43 BC";
}

void TestBootloader::resyncCompletesABrokenOffCommand()
{
    QFETCH(QString, sentBefore);
    Rig rig;
    rig.client.command_limits = {50, 50, 50, 1};
    const QByteArray before = bytes(qPrintable(sentBefore));
    rig.session->transmit(before);
    QVERIFY(rig.client.BootloaderResync());
    // The bootloader takes commands again.
    rig.driver.rx.clear();
    rig.client.setFirmwareImage(pattern_image(512));
    QVERIFY(rig.client.SplitFirmwareInChunks());
    QVERIFY(rig.client.BootloaderEraseAll());
    QVERIFY(rig.client.BootloaderWriteFirmware());
    QCOMPARE(rig.flash().left(512), pattern_image(512));
}

void TestBootloader::loadImage_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("size");
    QTest::newRow("list text") << "Firmware_10" << 51472;
    QTest::newRow("resource name") << "FIRMWARE_8" << 50720;
    QTest::newRow("lower case") << "firmware_5" << 53840;
    QTest::newRow("unknown") << "Firmware_11" << -1;
    QTest::newRow("empty") << "" << -1;
}

void TestBootloader::loadImage()
{
    QFETCH(QString, name);
    QFETCH(int, size);
    Rig rig;
    rig.client.setFirmwareImage(pattern_image(3));
    QCOMPARE(rig.client.LoadFirmwareImage(name), size >= 0);
    if (size < 0) {
        QCOMPARE(rig.client.firmware_num_of_bytes, 3u);
        QVERIFY(rig.client.failure.startsWith(QStringLiteral("image: ")));
        return;
    }
    QCOMPARE(rig.client.firmware_num_of_bytes, quint32(size));
    QCOMPARE(rig.client.firmware_image.size(), size);
    QCOMPARE(rig.console.last(), QStringLiteral("Firmware num of bytes: %1").arg(size));
    QVERIFY(rig.client.image_fit_problem().isEmpty());
}

QTEST_MAIN(TestBootloader)
#include "tst_bootloader.moc"
