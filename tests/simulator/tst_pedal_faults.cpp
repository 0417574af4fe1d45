// The virtual pedal behind the bridge-driver interface, as the editor's link
// layer meets it: listing, opening, line settings, and every fault on request.

#include "simulator/SimulatorDriver.h"
#include "support/Hex.h"
#include "support/VirtualPedal.h"

#include <QtTest>

#include <memory>

using namespace quorvane;
using namespace quorvane::test;

namespace {

// A driver on a clock the test moves, opened and set to the pedal's line.
struct Link {
    qint64 now = 0;
    SimulatorDriver driver;
    FT_HANDLE handle = 0;

    explicit Link(const PedalOptions &options = {}, std::uint8_t parity = FT_PARITY_NONE)
        : driver(options, [this] { return now; })
    {
        driver.openBySerialNumber(SimulatorDriver::serial_number, handle);
        driver.setBaudRate(handle, 115200);
        driver.setDataCharacteristics(handle, FT_BITS_8, FT_STOP_BITS_1, parity);
    }

    FT_STATUS write(const QByteArray &b)
    {
        std::uint32_t written = 0;
        return driver.write(handle, reinterpret_cast<const std::uint8_t *>(b.constData()),
                            std::uint32_t(b.size()), written);
    }
    FT_STATUS write(const char *spacedHex) { return write(bytes(spacedHex)); }

    // What a read of everything waiting yields after `ms`.
    QByteArray readAfter(int ms)
    {
        now += qint64(ms) * 1000;
        std::uint32_t count = 0;
        if (driver.getQueueStatus(handle, count) != FT_OK)
            return "failed";
        QByteArray b(int(count), 0);
        std::uint32_t got = 0;
        driver.read(handle, reinterpret_cast<std::uint8_t *>(b.data()), count, got);
        return b.left(int(got));
    }

    std::uint32_t queued()
    {
        std::uint32_t count = 0;
        driver.getQueueStatus(handle, count);
        return count;
    }

    // What arrives, read every millisecond for `ms` (the first read at once),
    // in pieces with the quiet time in front of each: from the last read
    // that brought something to the first read that brings more.
    struct Piece {
        QByteArray bytes;
        int quietMs = 0;
    };
    QList<Piece> pieces(int ms)
    {
        QList<Piece> out;
        int lastSeen = 0;
        bool quiet = true;
        for (int i = 0; i <= ms; ++i) {
            const QByteArray b = readAfter(i == 0 ? 0 : 1);
            if (b.isEmpty()) {
                quiet = true;
                continue;
            }
            if (quiet)
                out.append({QByteArray(), out.isEmpty() ? 0 : i - lastSeen});
            out.last().bytes += b;
            lastSeen = i;
            quiet = false;
        }
        return out;
    }

    QByteArray erase()
    {
        write("43 BC");
        readAfter(1);
        write("FF 00");
        return readAfter(1);
    }

    QByteArray writeChunk(int k)
    {
        write("31 CE");
        readAfter(1);
        const quint32 a = 0x08000000 + 256 * quint32(k);
        QByteArray address(4, 0);
        qToBigEndian(a, address.data());
        write(address + char(address[0] ^ address[1] ^ address[2] ^ address[3]));
        readAfter(1);
        QByteArray data(256, char(k));
        write(char(0xFF) + data + char(0xFF));
        return readAfter(1);
    }
};

// One fault, or several separated by spaces; in the firmware or the bootloader.
PedalOptions withFault(const QString &fault, bool bootloader = false)
{
    PedalOptions o;
    o.bootloader = bootloader;
    return withFaults(o, fault);
}

QByteArray statusText(const QList<int> &values)
{
    QByteArray text;
    for (int v : values)
        text += QByteArray::number(v) + "\r\n";
    return text;
}

QList<QByteArray> lines(const QByteArray &reply)
{
    QList<QByteArray> l = reply.split('\n');
    l.removeLast();
    return l;
}

} // namespace

class TestPedalFaults : public QObject {
    Q_OBJECT
private slots:
    void listsOneVirtualPedal()
    {
        Link link;
        std::uint32_t count = 0;
        QCOMPARE(link.driver.listDeviceCount(count), FT_OK);
        QCOMPARE(count, 1u);
        char text[FT_LIST_TEXT_SIZE];
        QCOMPARE(link.driver.listSerialNumber(0, text), FT_OK);
        QCOMPARE(QByteArray(text), QByteArray("KQ5SIM01"));
        QCOMPARE(link.driver.listDescription(0, text), FT_OK);
        QCOMPARE(QByteArray(text), QByteArray("Quorvane KQ5 (virtual)"));
        QCOMPARE(link.driver.listSerialNumber(1, text), FT_DEVICE_NOT_FOUND);

        FT_HANDLE other = 0;
        QCOMPARE(link.driver.openBySerialNumber("KQ5SIM02", other), FT_DEVICE_NOT_FOUND);
        QCOMPARE(link.driver.close(link.handle), FT_OK);
        std::uint32_t queued = 0;
        QCOMPARE(link.driver.getQueueStatus(link.handle, queued), FT_INVALID_HANDLE);
        QCOMPARE(link.write("02 00"), FT_INVALID_HANDLE);
    }

    void statusThroughTheDriver()
    {
        Link link;
        QCOMPARE(link.write("02 00"), FT_OK);
        const QByteArray reply = link.readAfter(200);
        QCOMPARE(lines(reply).size(), 83);
        QVERIFY(reply.startsWith("10\r\n0\r\n17\r\n0\r\n"));
        // A purge of the receive queue drops a reply not yet read.
        link.write("02 00");
        link.now += 1000;
        link.driver.purge(link.handle, FT_PURGE_RX);
        QVERIFY(link.readAfter(200).isEmpty());
    }

    void parityIsPartOfTheLine()
    {
        // A pedal that runs its firmware does not understand an even-parity line.
        Link link({}, FT_PARITY_EVEN);
        link.write("02 00");
        QVERIFY(link.readAfter(200).isEmpty());
        QCOMPARE(link.driver.model().lineErrorCount(), 2);
        // After the upgrade-mode request its bootloader wants exactly that.
        link.driver.setDataCharacteristics(link.handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_NONE);
        link.write("05 00 01 02 03 04 05 06");
        link.driver.setDataCharacteristics(link.handle, FT_BITS_8, FT_STOP_BITS_1, FT_PARITY_EVEN);
        link.now += 100000;
        link.write("7F");
        QCOMPARE(link.readAfter(1), bytes("79"));
    }

    void silent()
    {
        Link link(withFault("silent"));
        link.write("02 00");
        QVERIFY(link.readAfter(1000).isEmpty());
        Link boot(withFault("silent", true), FT_PARITY_EVEN);
        boot.write("7F");
        QVERIFY(boot.readAfter(1000).isEmpty());
        // It still listens: the message changed its state.
        QCOMPARE(boot.driver.model().mode(), PedalModel::Mode::Bootloader);
    }

    void shortStatus_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("count");
        QTest::addColumn<QByteArray>("second");
        QTest::newRow("cut after 10") << "short-status=10" << 10 << QByteArray("0");
        QTest::newRow("cut after 0") << "short-status=0" << 0 << QByteArray();
        QTest::newRow("hex letter at index 1") << "hex-letter-status" << 83 << QByteArray("10");
    }

    void shortStatus()
    {
        QFETCH(QString, fault);
        QFETCH(int, count);
        QFETCH(QByteArray, second);
        Link link(withFault(fault));
        link.write("02 00");
        const QList<QByteArray> values = lines(link.readAfter(200));
        QCOMPARE(values.size(), count);
        if (count > 1)
            QCOMPARE(values[1], second + '\r');
    }

    void lateUpload()
    {
        Link link(withFault("late-upload=7000"));
        link.write("0D 01");
        QCOMPARE(link.write(PedalModel::builtInEffectImage(11)), FT_OK);
        QVERIFY(link.readAfter(5000).isEmpty());
        QVERIFY(link.readAfter(1990).isEmpty());
        QCOMPARE(link.readAfter(10), QByteArray("Upload OK 0011\r\n"));
    }

    void unplugMidTransfer()
    {
        Link link(withFault("unplug-after=100", true), FT_PARITY_EVEN);
        link.write("7F");
        QCOMPARE(link.readAfter(1), bytes("79"));
        QCOMPARE(link.erase(), bytes("79"));
        QCOMPARE(link.writeChunk(0), QByteArray("failed"));
        std::uint32_t count = 99;
        QCOMPARE(link.driver.getQueueStatus(link.handle, count), FT_IO_ERROR);
        QCOMPARE(link.write("7F"), FT_IO_ERROR);
        QCOMPARE(link.driver.listDeviceCount(count), FT_OK);
        QCOMPARE(count, 0u);
        FT_HANDLE again = 0;
        link.driver.close(link.handle);
        QCOMPARE(link.driver.openBySerialNumber(SimulatorDriver::serial_number, again), FT_DEVICE_NOT_FOUND);
        // The first 100 bytes reached the pedal: the chunk began but never ended.
        QCOMPARE(link.driver.model().flash().left(4), QByteArray(4, char(0xFF)));
    }

    // A NACK the first time a step comes, an ACK when it is tried again.
    void nackOnce_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("step");
        QTest::newRow("erase") << "nack-at=erase" << "erase";
        QTest::newRow("chunk 1") << "nack-at=chunk:1" << "chunk";
        QTest::newRow("version record") << "nack-at=version" << "version";
        QTest::newRow("go") << "nack-at=go" << "go";
    }

    void nackOnce()
    {
        QFETCH(QString, fault);
        QFETCH(QString, step);
        Link link(withFault(fault, true), FT_PARITY_EVEN);
        link.write("7F");
        link.readAfter(1);
        if (step == "erase") {
            QCOMPARE(link.erase(), bytes("1F"));
            QCOMPARE(link.erase(), bytes("79"));
            return;
        }
        QCOMPARE(link.erase(), bytes("79"));
        if (step == "chunk") {
            QCOMPARE(link.writeChunk(0), bytes("79"));
            QCOMPARE(link.writeChunk(1), bytes("1F"));
            QCOMPARE(link.writeChunk(1), bytes("79"));
            QCOMPARE(link.writeChunk(2), bytes("79"));
            QCOMPARE(link.driver.model().flash().mid(256, 4), QByteArray(4, char(1)));
            return;
        }
        if (step == "version") {
            for (int pass = 0; pass < 2; ++pass) {
                link.write("31 CE");
                link.readAfter(1);
                link.write("08 01 FC 00 F5");
                QCOMPARE(link.readAfter(1), bytes("79"));
                link.write("07 00 00 00 00 00 00 00 0A 0D");
                QCOMPARE(link.readAfter(1), bytes(pass == 0 ? "1F" : "79"));
            }
            return;
        }
        // Go: refused once, then taken; with no record the pedal stays in its bootloader.
        for (int pass = 0; pass < 2; ++pass) {
            link.write("21 DE");
            QCOMPARE(link.readAfter(1), bytes("79"));
            link.write("08 00 00 00 08");
            QCOMPARE(link.readAfter(1), bytes(pass == 0 ? "1F" : "79"));
        }
    }

    // The bootloader's faults along one upgrade: what each step answers
    // ("" for nothing), and the answer to a new synchronisation after the
    // pedal was switched off and on in upgrade mode.
    void bootloaderSteps_data()
    {
        QTest::addColumn<QString>("fault");
        // sync, erase, chunks 0 to 2, a 3-byte write, the middle of chunk 1
        // read back (the answers to its three steps, as far as they go),
        // sync after switching on
        QTest::addColumn<QStringList>("answers");
        const QString chunk1 = "79 79 79 01 01 01 01";
        QTest::newRow("none") << "" << QStringList{"79", "79", "79", "79", "79", "1F", chunk1, "79"};
        // Counted from 0: chunk 1 is refused, chunk 2 taken.
        QTest::newRow("nack-at-write=1")
            << "nack-at-write=1" << QStringList{"79", "79", "79", "1F", "79", "1F", "79 79 79 FF FF FF FF", "79"};
        QTest::newRow("silent-at-write=1") << "silent-at-write=1" << QStringList{"79", "79", "79", "", "", "", "", "79"};
        QTest::newRow("silent-erase") << "silent-erase" << QStringList{"79", "", "", "", "", "", "", "79"};
        QTest::newRow("extra-after-ack")
            << "extra-after-ack"
            << QStringList{"79 1F", "79 1F", "79 1F", "79 1F", "79 1F", "1F", "79 1F 79 1F 79 01 01 01 01", "79 1F"};
        QTest::newRow("any-write-length")
            << "any-write-length" << QStringList{"79", "79", "79", "79", "79", "79", chunk1, "79"};
        // Every block answered as taken; chunk 1's middle byte is not what was sent.
        QTest::newRow("corrupt-block=1")
            << "corrupt-block=1" << QStringList{"79", "79", "79", "79", "79", "1F", "79 79 79 00 01 01 01", "79"};
        QTest::newRow("corrupt-block=9 (no such write)")
            << "corrupt-block=9" << QStringList{"79", "79", "79", "79", "79", "1F", chunk1, "79"};
        // Refused at the command byte; writing is not touched.
        QTest::newRow("nack-read") << "nack-read" << QStringList{"79", "79", "79", "79", "79", "1F", "1F", "79"};
    }

    void bootloaderSteps()
    {
        QFETCH(QString, fault);
        QFETCH(QStringList, answers);
        Link link(withFault(fault, true), FT_PARITY_EVEN);
        QStringList got;
        link.write("7F");
        got << spaced(link.readAfter(1));
        got << spaced(link.erase());
        for (int k = 0; k < 3; ++k)
            got << spaced(link.writeChunk(k));
        link.write("31 CE");
        link.readAfter(1);
        link.write("08 00 03 00 0B");
        link.readAfter(1);
        link.write("02 01 02 03 02");
        got << spaced(link.readAfter(1));
        // 4 bytes from 0x08000180, each step only after an ACK.
        QByteArray read;
        for (const char *step : {"11 EE", "08 00 01 80 89", "03 FC"}) {
            link.write(step);
            const QByteArray answer = link.readAfter(1);
            read += answer;
            if (!answer.startsWith(char(PedalModel::ack)))
                break;
        }
        got << spaced(read);
        link.driver.model().powerCycle(true);
        link.write("7F");
        got << spaced(link.readAfter(1));
        QCOMPARE(got, answers);
        if (fault == "silent-erase")
            QCOMPARE(link.driver.model().flash().left(4), QByteArray(4, char(0xFF)));
    }

    // A sender without end: always something to read, never much, whatever
    // the pedal receives and however the host purges.
    void babble_data()
    {
        QTest::addColumn<bool>("paced");
        QTest::addColumn<bool>("bootloader");
        QTest::addColumn<bool>("setLater");
        QTest::newRow("from the start") << false << false << false;
        QTest::newRow("set while running") << false << false << true;
        QTest::newRow("paced") << true << false << false;
        QTest::newRow("paced, set while running") << true << false << true;
        QTest::newRow("paced, in the bootloader") << true << true << false;
    }

    void babble()
    {
        QFETCH(bool, paced);
        QFETCH(bool, bootloader);
        QFETCH(bool, setLater);
        PedalOptions options = withFault(setLater ? QString() : "babble", bootloader);
        options.paced = paced;
        Link link(options, bootloader ? FT_PARITY_EVEN : FT_PARITY_NONE);
        if (setLater) {
            link.write("02 00");
            QCOMPARE(lines(link.readAfter(200)).size(), 83);
            QVERIFY(link.readAfter(200).isEmpty());
            link.driver.model().faults().set(PedalFault::Babble);
            QCOMPARE(link.queued(), paced ? 0u : 64u); // paced, the first byte takes its line time
        }
        const QByteArray text = "babble\r\n";
        const int bits = bootloader ? 11 : 10;
        const int bytesPerMs = 115200 / bits / 1000 + 1;

        // Read every millisecond of 200 (paced) or 200 times at one instant.
        if (paced)
            link.now += 16000; // the bridge's latency
        QByteArray got;
        for (int i = 0; i < 200; ++i) {
            const QByteArray b = link.readAfter(paced ? 1 : 0);
            QVERIFY2(!b.isEmpty(), qPrintable(QString::number(i)));
            QVERIFY(b.size() <= (paced ? bytesPerMs : 2 * 64)); // two queries: the size and the read
            got += b;
        }
        QCOMPARE(got, text.repeated(got.size() / text.size() + 1).left(got.size()));
        if (paced) { // the line's rate over 200 ms
            const double lineMs = got.size() * bits * 1000.0 / 115200;
            QVERIFY2(lineMs >= 198 && lineMs <= 202, qPrintable(QString::number(lineMs)));
        }

        // Whatever it receives: the answer comes, the babble goes on.
        const QByteArray status = statusText(link.driver.model().statusValues());
        link.write(bootloader ? "7F" : "02 00");
        got.clear();
        for (int i = 0; i < 300; ++i) {
            const QByteArray b = link.readAfter(paced ? 1 : 0);
            QVERIFY(!b.isEmpty());
            got += b;
        }
        if (bootloader)
            QVERIFY(got.contains(char(PedalModel::ack)));
        else
            QVERIFY(got.contains(status));

        // Left unread, it fills the bridge and no more; 64 more per query at most.
        std::uint32_t last = link.queued();
        const std::uint32_t most = 4096;
        for (int i = 0; i < 100; ++i) {
            if (paced)
                link.now += 1000 + qint64(i) * 60000000; // up to an hour and a half between queries
            const std::uint32_t count = link.queued();
            QVERIFY(count > 0 && count <= most);
            if (!paced)
                QVERIFY((count > last && count <= last + 64) || count == most);
            last = count;
        }

        // A purge drops what waits; more comes at once.
        QCOMPARE(link.driver.purge(link.handle, FT_PURGE_RX | FT_PURGE_TX), FT_OK);
        const QByteArray after = link.readAfter(paced ? 1 : 0);
        QVERIFY(!after.isEmpty() && after.size() <= 64);
        QVERIFY(text.repeated(2).contains(after.left(text.size())));
    }

    // The status reply in pieces that end at line ends, and stray bytes after it,
    // with a quiet time in between; for every reply.
    void statusInPieces_data()
    {
        QTest::addColumn<QString>("faults");
        QTest::addColumn<bool>("paced");
        QTest::addColumn<QList<int>>("linesPerPiece");
        QTest::addColumn<QByteArray>("stray");
        QTest::addColumn<QList<int>>("quietMs");
        QTest::newRow("4 pieces") << "split-status=4:60" << false << QList<int>{21, 21, 21, 20} << QByteArray()
                                  << QList<int>{60, 60, 60};
        QTest::newRow("4 pieces, paced") << "split-status=4:60" << true << QList<int>{21, 21, 21, 20}
                                         << QByteArray() << QList<int>{60, 60, 60};
        QTest::newRow("2 pieces, paced") << "split-status=2:150" << true << QList<int>{42, 41} << QByteArray()
                                         << QList<int>{150};
        QTest::newRow("more pieces than values") << "short-status=5 split-status=9:30" << false
                                                 << QList<int>{1, 1, 1, 1, 1} << QByteArray()
                                                 << QList<int>{30, 30, 30, 30};
        QTest::newRow("stray bytes") << "stray=31320D0A" << false << QList<int>{83} << QByteArray("12\r\n")
                                     << QList<int>{20};
        QTest::newRow("stray bytes, paced") << "stray=31320D0A" << true << QList<int>{83} << QByteArray("12\r\n")
                                            << QList<int>{20};
        QTest::newRow("stray after the last piece") << "split-status=2:40 stray=0D0A" << true
                                                    << QList<int>{42, 41} << QByteArray("\r\n")
                                                    << QList<int>{40, 20};
    }

    void statusInPieces()
    {
        QFETCH(QString, faults);
        QFETCH(bool, paced);
        QFETCH(QList<int>, linesPerPiece);
        QFETCH(QByteArray, stray);
        QFETCH(QList<int>, quietMs);
        PedalOptions options = withFault(faults);
        options.paced = paced;
        Link link(options);
        const QList<int> values = link.driver.model().statusValues();
        for (int round = 0; round < 2; ++round) {
            link.write("02 00");
            const QList<Link::Piece> pieces = link.pieces(500);
            QCOMPARE(pieces.size(), linesPerPiece.size() + (stray.isEmpty() ? 0 : 1));
            int from = 0;
            for (int i = 0; i < pieces.size(); ++i) {
                if (i < linesPerPiece.size()) {
                    QCOMPARE(pieces[i].bytes, statusText(values.mid(from, linesPerPiece[i])));
                    from += linesPerPiece[i];
                } else {
                    QCOMPARE(pieces[i].bytes, stray);
                }
                if (i > 0) {
                    // Line time rounds the gap up to the next read when paced.
                    QVERIFY2(pieces[i].quietMs >= quietMs[i - 1] && pieces[i].quietMs <= quietMs[i - 1] + (paced ? 1 : 0),
                             qPrintable(QString::number(pieces[i].quietMs)));
                }
            }
        }
    }

    // The upload answer in two pieces, cut in the middle of its text.
    void uploadAnswerInPieces_data()
    {
        QTest::addColumn<QString>("faults");
        QTest::addColumn<bool>("paced");
        QTest::addColumn<bool>("broken");
        QTest::addColumn<QByteArrayList>("answer");
        QTest::addColumn<int>("quietMs");
        QTest::newRow("OK") << "split-upload=50" << false << false << QByteArrayList{"Upload O", "K 0011\r\n"} << 50;
        QTest::newRow("Error") << "split-upload=50" << false << true << QByteArrayList{"Upload ", "Error\r\n"} << 50;
        QTest::newRow("OK, paced") << "split-upload=120" << true << false
                                   << QByteArrayList{"Upload O", "K 0011\r\n"} << 120;
        QTest::newRow("late as well") << "late-upload=300 split-upload=30" << false << false
                                      << QByteArrayList{"Upload O", "K 0011\r\n"} << 30;
    }

    void uploadAnswerInPieces()
    {
        QFETCH(QString, faults);
        QFETCH(bool, paced);
        QFETCH(bool, broken);
        QFETCH(QByteArrayList, answer);
        QFETCH(int, quietMs);
        PedalOptions options = withFault(faults);
        options.paced = paced;
        Link link(options);
        QByteArray image = PedalModel::builtInEffectImage(11);
        if (broken)
            image[image.size() - 1] = char(image[image.size() - 1] ^ 1);
        link.write(image);
        const QList<Link::Piece> pieces = link.pieces(1000);
        QCOMPARE(pieces.size(), 2);
        QCOMPARE(pieces[0].bytes, answer[0]);
        QCOMPARE(pieces[1].bytes, answer[1]);
        QVERIFY(pieces[1].quietMs >= quietMs && pieces[1].quietMs <= quietMs + (paced ? 1 : 0));
    }

    // Bytes put in the pedal's output by the test: readable at once, behind
    // what is queued already.
    void unsolicited_data()
    {
        QTest::addColumn<bool>("paced");
        QTest::addColumn<bool>("replyQueued");
        QTest::newRow("alone") << false << false;
        QTest::newRow("alone, paced") << true << false;
        QTest::newRow("behind a reply") << false << true;
        QTest::newRow("behind a reply on its way, paced") << true << true;
    }

    void unsolicited()
    {
        QFETCH(bool, paced);
        QFETCH(bool, replyQueued);
        PedalOptions options;
        options.paced = paced;
        Link link(options);
        const QByteArray reply = statusText(link.driver.model().statusValues());
        if (replyQueued) {
            link.write("02 00");
            link.now += paced ? 5000 : 0; // the pedal has answered; the bridge holds the answer back
        }
        link.driver.model().sendUnsolicited("12\r\n");
        const QByteArray atOnce = link.readAfter(0);
        const QByteArray later = link.readAfter(200);
        QCOMPARE(atOnce, replyQueued ? (paced ? QByteArray() : reply + "12\r\n") : QByteArray("12\r\n"));
        QCOMPARE(atOnce + later, (replyQueued ? reply : QByteArray()) + "12\r\n");
        QVERIFY(link.readAfter(200).isEmpty());
    }

    void faultTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<bool>("valid");
        QTest::newRow("silent") << "silent" << true;
        QTest::newRow("silent=1") << "silent=1" << false;
        QTest::newRow("nack-at=chunk:3") << "nack-at=chunk:3" << true;
        QTest::newRow("nack-at=chunk:") << "nack-at=chunk:" << false;
        QTest::newRow("nack-at=chunk:512") << "nack-at=chunk:512" << false;
        QTest::newRow("nack-at=sync") << "nack-at=sync" << false;
        QTest::newRow("short-status") << "short-status" << false;
        QTest::newRow("short-status=-1") << "short-status=-1" << false;
        QTest::newRow("late-upload=x") << "late-upload=x" << false;
        QTest::newRow("unplug-after=0") << "unplug-after=0" << true;
        QTest::newRow("melt") << "melt" << false;
        QTest::newRow("babble") << "babble" << true;
        QTest::newRow("babble=1") << "babble=1" << false;
        QTest::newRow("split-status=4:60") << "split-status=4:60" << true;
        QTest::newRow("split-status=60") << "split-status=60" << false;
        QTest::newRow("split-status=1:60") << "split-status=1:60" << false;
        QTest::newRow("split-status=4:") << "split-status=4:" << false;
        QTest::newRow("split-status=4:-1") << "split-status=4:-1" << false;
        QTest::newRow("split-upload=0") << "split-upload=0" << true;
        QTest::newRow("split-upload=x") << "split-upload=x" << false;
        QTest::newRow("stray=31320D0A") << "stray=31320D0A" << true;
        QTest::newRow("stray=3132 0D0A") << "stray=3132 0D0A" << false;
        QTest::newRow("stray=313") << "stray=313" << false;
        QTest::newRow("stray=zz") << "stray=zz" << false;
        QTest::newRow("stray") << "stray" << false;
        QTest::newRow("nack-at-write=0") << "nack-at-write=0" << true;
        QTest::newRow("nack-at-write") << "nack-at-write" << false;
        QTest::newRow("silent-at-write=-1") << "silent-at-write=-1" << false;
        QTest::newRow("silent-erase") << "silent-erase" << true;
        QTest::newRow("extra-after-ack=1F") << "extra-after-ack=1F" << false;
        QTest::newRow("any-write-length") << "any-write-length" << true;
        QTest::newRow("corrupt-block=0") << "corrupt-block=0" << true;
        QTest::newRow("corrupt-block=201") << "corrupt-block=201" << true;
        QTest::newRow("corrupt-block") << "corrupt-block" << false;
        QTest::newRow("corrupt-block=-1") << "corrupt-block=-1" << false;
        QTest::newRow("corrupt-block=x") << "corrupt-block=x" << false;
        QTest::newRow("nack-read") << "nack-read" << true;
        QTest::newRow("nack-read=1") << "nack-read=1" << false;
        QTest::newRow("drop-dsp-write=1") << "drop-dsp-write=1" << true;
        QTest::newRow("drop-dsp-write") << "drop-dsp-write" << false;
    }

    // The chosen DSP write is lost; the ones before and after it are taken,
    // and nothing else counts as a DSP write.
    void dropDspWriteLosesThatWriteOnly()
    {
        Link link(withFault(QStringLiteral("drop-dsp-write=1")));
        const std::uint16_t dry = link.driver.model().effectAddresses().value(0);
        auto dsp_write = [&](std::uint32_t word) {
            QByteArray m(7, 0);
            m[0] = 0x01;
            qToBigEndian(dry, m.data() + 1);
            qToBigEndian(word, m.data() + 3);
            QCOMPARE(link.write(m), FT_OK);
            link.readAfter(5);
        };
        const auto &words = link.driver.model().settings().words;
        dsp_write(0x00100000);
        QCOMPARE(words[0], 0x00100000u);
        link.write("0D 01"); // the bypass is no DSP write
        link.readAfter(5);
        dsp_write(0x00200000);
        QCOMPARE(words[0], 0x00100000u);
        dsp_write(0x00300000);
        QCOMPARE(words[0], 0x00300000u);
    }

    void faultTexts()
    {
        QFETCH(QString, text);
        QFETCH(bool, valid);
        PedalFaults faults;
        QString error;
        QCOMPARE(faults.parse(text, &error), valid);
        QCOMPARE(error.isEmpty(), valid);
        if (!valid)
            QVERIFY(faults == PedalFaults{});
    }
};

QTEST_MAIN(TestPedalFaults)
#include "tst_pedal_faults.moc"
