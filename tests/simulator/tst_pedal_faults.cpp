// The virtual pedal behind the bridge-driver interface, as the editor's link
// layer meets it: listing, opening, line settings, and every fault on request.

#include "simulator/SimulatorDriver.h"
#include "support/Hex.h"

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

PedalOptions withFault(const QString &fault, bool bootloader = false)
{
    PedalOptions o;
    o.bootloader = bootloader;
    QString error;
    if (!fault.isEmpty() && !o.faults.parse(fault, &error))
        qFatal("%s", qPrintable(error));
    return o;
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
            QVERIFY(faults.nackAt == PedalFaults::NackStep::None && faults.shortStatus == -1);
    }
};

QTEST_MAIN(TestPedalFaults)
#include "tst_pedal_faults.moc"
