// The virtual pedal's serial bootloader: synchronisation, every command it
// offers, its refusals, and the way back into the firmware.

#include "PedalRig.h"

#include <QtTest>

using namespace quorvane;
using namespace quorvane::test;

namespace {

std::unique_ptr<PedalRig> bootloader(int firmware = 10)
{
    auto rig = std::make_unique<PedalRig>(PedalOptions{.firmware = firmware, .bootloader = true});
    rig->bootloaderLine();
    return rig;
}

QByteArray withChecksum(QByteArray b)
{
    char x = 0;
    for (char c : b)
        x ^= c;
    return b + QByteArray(1, x);
}

QByteArray address(quint32 a)
{
    QByteArray b(4, 0);
    qToBigEndian(a, b.data());
    return withChecksum(b);
}

// N, the data, and the checksum of both.
QByteArray block(const QByteArray &data)
{
    return withChecksum(QByteArray(1, char(data.size() - 1)) + data);
}

// Each step: bytes sent ">" the exact answer within 50 ms.
void runSteps(PedalRig &rig, const QStringList &steps)
{
    for (const QString &step : steps) {
        const QStringList parts = step.split('>');
        const QByteArray answer = rig.exchange(bytes(qPrintable(parts[0])), 50);
        QCOMPARE(spaced(answer), spaced(bytes(qPrintable(parts[1]))));
    }
}

} // namespace

class TestPedalBootloader : public QObject {
    Q_OBJECT
private slots:
    // Each step: bytes sent ">" the exact answer.
    void exchanges_data()
    {
        QTest::addColumn<QStringList>("steps");
        const QString sync = "7F>79";
        const QString erase[] = {"43 BC>79", "FF 00>79"};
        QTest::newRow("sync") << QStringList{sync};
        QTest::newRow("nothing before sync") << QStringList{"00 FF>", sync};
        // Synchronised, it takes 0x7F as a command byte and waits for its complement.
        QTest::newRow("sync again") << QStringList{sync, "7F>", "7F>1F"};
        QTest::newRow("get") << QStringList{sync, "00 FF>79 09 22 00 01 02 11 21 31 43 73 92 79"};
        QTest::newRow("get version") << QStringList{sync, "01 FE>79 22 00 00 79"};
        QTest::newRow("get id") << QStringList{sync, "02 FD>79 01 04 10 79"};
        QTest::newRow("read vector table")
            << QStringList{sync, "11 EE>79", "08 00 00 00 08>79", "0F F0>79 00500020 45010008 49010008 4D010008"};
        QTest::newRow("read option bytes")
            << QStringList{sync, "11 EE>79", "1F FF F8 00 18>79", "03 FC>79 A5 5A FF 00"};
        QTest::newRow("read count complement") << QStringList{sync, "11 EE>79", "08 00 00 00 08>79", "0F 0F>1F"};
        QTest::newRow("read past the flash")
            << QStringList{sync, "11 EE>79", "08 01 FF F0 06>79", "1F E0>1F"};
        QTest::newRow("read nowhere") << QStringList{sync, "11 EE>79", "40 00 00 00 40>1F"};
        QTest::newRow("wrong complement") << QStringList{sync, "31 CD>1F", "31 CE>79"};
        QTest::newRow("wrong address checksum") << QStringList{sync, "31 CE>79", "08 00 00 00 09>1F"};
        QTest::newRow("unaligned write") << QStringList{sync, "31 CE>79", "08 00 00 02 0A>1F"};
        QTest::newRow("write of 2 bytes")
            << QStringList{sync, erase[0], erase[1], "31 CE>79", "08 00 00 00 08>79", "01 AA BB 10>1F"};
        QTest::newRow("wrong data checksum")
            << QStringList{sync, erase[0], erase[1], "31 CE>79", "08 00 00 00 08>79", "03 01 02 03 04 00>1F"};
        QTest::newRow("write without erase")
            << QStringList{sync, "31 CE>79", "08 00 00 00 08>79", "03 01 02 03 04 07>1F"};
        QTest::newRow("erase, write, read back")
            << QStringList{sync, erase[0], erase[1], "31 CE>79", "08 00 00 00 08>79", "03 01 02 03 04 07>79",
                           "11 EE>79", "08 00 00 00 08>79", "07 F8>79 01 02 03 04 FF FF FF FF"};
        QTest::newRow("erase one page")
            << QStringList{sync, "43 BC>79", "00 01 01>79", "11 EE>79", "08 00 04 00 0C>79",
                           "03 FC>79 FF FF FF FF", "11 EE>79", "08 00 00 00 08>79", "03 FC>79 00 50 00 20"};
        QTest::newRow("erase page list checksum") << QStringList{sync, "43 BC>79", "00 01 00>1F"};
        QTest::newRow("erase no such page") << QStringList{sync, "43 BC>79", "00 80 80>1F"};
        QTest::newRow("global erase checksum") << QStringList{sync, "43 BC>79", "FF 01>1F"};
        QTest::newRow("extended erase not offered") << QStringList{sync, "44 BB>1F"};
        QTest::newRow("readout protect not offered") << QStringList{sync, "82 7D>1F"};
        QTest::newRow("write to RAM") << QStringList{sync, "31 CE>79", "20 00 02 00 22>79", "03 01 02 03 04 07>79",
                                                     "11 EE>79", "20 00 02 00 22>79", "01 FE>79 01 02"};
        QTest::newRow("write to the bootloader's RAM") << QStringList{sync, "31 CE>79", "20 00 00 00 20>1F"};
        QTest::newRow("go nowhere") << QStringList{sync, "21 DE>79", "00 00 00 00 00>1F"};
        QTest::newRow("go without record")
            << QStringList{sync, erase[0], erase[1], "21 DE>79", "08 00 00 00 08>79", "02 FD>", sync};
        QTest::newRow("write unprotect resets") << QStringList{sync, "73 8C>79 79", "02 FD>", sync};
    }

    void exchanges()
    {
        QFETCH(QStringList, steps);
        auto rig = bootloader();
        runSteps(*rig, steps);
    }

    // Started as a host left it after its synchronisation byte (an upgrade
    // broken off, the editor started again): in the command loop already.
    void alreadySynchronised_data()
    {
        QTest::addColumn<QStringList>("steps");
        const QString get = "00 FF>79 09 22 00 01 02 11 21 31 43 73 92 79";
        QTest::newRow("sync byte taken as a command") << QStringList{"7F>", "7F>1F", get};
        QTest::newRow("a command at once") << QStringList{"02 FD>79 01 04 10 79"};
        QTest::newRow("0x7F and its complement") << QStringList{"7F>", "80>1F", get};
    }

    void alreadySynchronised()
    {
        QFETCH(QStringList, steps);
        PedalRig rig({.bootloaderSynced = true});
        rig.bootloaderLine();
        QCOMPARE(rig.model.mode(), PedalModel::Mode::Bootloader);
        runSteps(rig, steps);
        // Switched off and on, it waits for a synchronisation again.
        rig.model.powerCycle(true);
        QCOMPARE(rig.exchange("7F"), bytes("79"));
    }

    void overLongWrite()
    {
        auto rig = bootloader();
        rig->exchange("7F");
        rig->exchange("43 BC");
        rig->exchange("FF 00");
        // 256 bytes fit exactly before the end of the flash; 128 bytes later they do not.
        QCOMPARE(rig->exchange("31 CE"), bytes("79"));
        QCOMPARE(rig->exchange(address(0x0801FF00)), bytes("79"));
        QCOMPARE(rig->exchange(block(QByteArray(256, char(0x5A)))), bytes("79"));
        QCOMPARE(rig->exchange("31 CE"), bytes("79"));
        QCOMPARE(rig->exchange(address(0x0801FF80)), bytes("79"));
        QCOMPARE(rig->exchange(block(QByteArray(256, char(0x00)))), bytes("1F"));
        QCOMPARE(rig->model.flash().right(128), QByteArray(128, char(0x5A)));
        // A byte more than N announced is taken as the checksum: a NACK, then
        // the real checksum and nothing more come as a half command.
        QCOMPARE(rig->exchange("31 CE"), bytes("79"));
        QCOMPARE(rig->exchange(address(0x08000000)), bytes("79"));
        QCOMPARE(rig->exchange(block(QByteArray(4, 1)).insert(1, char(1))), bytes("1F"));
    }

    void readLargestBlock()
    {
        auto rig = bootloader();
        rig->exchange("7F");
        rig->exchange("11 EE");
        rig->exchange(address(0x08000100));
        const QByteArray answer = rig->exchange("FF 00");
        QCOMPARE(answer.size(), 257);
        QCOMPARE(answer.mid(1), PedalModel::builtInFirmwareImage(10).mid(256, 256));
    }

    // Erase everything, write an image and a version record, then Go.
    void goStartsTheFirmwareOfTheRecord_data()
    {
        QTest::addColumn<int>("record");     // 0: none
        QTest::addColumn<int>("image");
        QTest::addColumn<int>("statusCount"); // 0: still in the bootloader
        QTest::newRow("firmware 8") << 8 << 8 << 82;
        QTest::newRow("firmware 9") << 9 << 9 << 83;
        QTest::newRow("record 10 over image 9") << 10 << 9 << 83;
        QTest::newRow("record 11 is no record") << 11 << 10 << 0;
        QTest::newRow("no record") << 0 << 10 << 0;
    }

    void goStartsTheFirmwareOfTheRecord()
    {
        QFETCH(int, record);
        QFETCH(int, image);
        QFETCH(int, statusCount);
        auto rig = bootloader(5);
        rig->exchange("7F");
        rig->exchange("43 BC");
        QCOMPARE(rig->exchange("FF 00"), bytes("79"));
        const QByteArray firmware = PedalModel::builtInFirmwareImage(image);
        for (int at = 0; at < firmware.size(); at += 256) {
            rig->exchange("31 CE");
            rig->exchange(address(0x08000000 + quint32(at)));
            QCOMPARE(rig->exchange(block(firmware.mid(at, 256))), bytes("79"));
        }
        if (record) {
            rig->exchange("31 CE");
            QCOMPARE(rig->exchange(address(0x0801FC00)), bytes("79"));
            QCOMPARE(rig->exchange(block(QByteArray(7, 0) + char(record))), bytes("79"));
        }
        QCOMPARE(rig->exchange("21 DE"), bytes("79"));
        QCOMPARE(rig->exchange("08 00 00 00 08"), bytes("79"));

        rig->firmwareLine();
        const QList<int> status = rig->status();
        QCOMPARE(status.size(), statusCount);
        if (statusCount) {
            QCOMPARE(status[0], record);
            QCOMPARE(rig->model.mode(), PedalModel::Mode::Firmware);
            QCOMPARE(rig->model.flashMatchesBuiltInImage(), record == image);
        } else {
            QCOMPARE(rig->model.mode(), PedalModel::Mode::Bootloader);
            rig->bootloaderLine();
            QCOMPARE(rig->exchange("7F"), bytes("79"));
        }
    }

    void bootloaderWantsEvenParity()
    {
        auto rig = bootloader();
        rig->firmwareLine();
        QVERIFY(rig->exchange("7F").isEmpty());
        QCOMPARE(rig->model.lineErrorCount(), 1);
        // It takes the rate of the synchronisation byte and keeps it.
        rig->model.setDataCharacteristics(8, 0, 2);
        rig->model.setBaudRate(57600);
        QCOMPARE(rig->exchange("7F"), bytes("79"));
        rig->model.setBaudRate(115200);
        QVERIFY(rig->exchange("02 FD").isEmpty());
        rig->model.setBaudRate(57600);
        QCOMPARE(rig->exchange("02 FD"), bytes("79 01 04 10 79"));
    }

    void pacedEraseTakesTime()
    {
        PedalRig rig({.bootloader = true, .paced = true, .latencyMs = 16});
        rig.bootloaderLine();
        QCOMPARE(rig.exchange("7F", 20), bytes("79"));
        QCOMPARE(rig.exchange("43 BC", 20), bytes("79"));
        QVERIFY(rig.exchange("FF 00", 20).isEmpty());
        rig.ms(40);
        QCOMPARE(rig.model.takeOutput(), bytes("79"));
    }
};

QTEST_MAIN(TestPedalBootloader)
#include "tst_pedal_bootloader.moc"
