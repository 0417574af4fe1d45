// The virtual pedal's firmware: every message of the pedal interface, the
// status reply built from the state it changes, uploads, the settings memory
// and the line it listens on.

#include "PedalRig.h"

#include <QtTest>

using namespace quorvane;
using namespace quorvane::test;

namespace {

// Status indices (firmware 9 and later).
constexpr int kFootswitch = 4, kSlotFlags = 5, kSlotAddresses = 10, kTuning = 20, kBypass = 22;
constexpr int kWords = 23; // "Dry" first, four values per word
constexpr int word(int row) { return kWords + 4 * row; }

QByteArray image(int algorithm)
{
    return PedalModel::builtInEffectImage(algorithm);
}

QByteArray tuningTable()
{
    QByteArray t;
    for (int i = 0; i < 640; ++i)
        t.append(char(i * 13));
    return t;
}

} // namespace

class TestPedalFirmware : public QObject {
    Q_OBJECT
private slots:
    void statusLayout_data()
    {
        QTest::addColumn<int>("firmware");
        QTest::addColumn<int>("algorithm");
        QTest::addColumn<int>("effect");
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<int>>("head");
        QTest::newRow("firmware 10, 0011") << 10 << 11 << 0 << 83 << QList<int>{10, 0, 0x11, 0};
        QTest::newRow("firmware 9, 0010") << 9 << 10 << 0 << 83 << QList<int>{9, 0, 0x10, 0};
        QTest::newRow("firmware 8, no bypass value") << 8 << 11 << 0 << 82 << QList<int>{8, 0, 0x11, 0};
        QTest::newRow("firmware 5, 0008") << 5 << 8 << 0 << 82 << QList<int>{5, 0, 0x08, 0};
        QTest::newRow("effect 12 in decimal nibbles") << 10 << 11 << 12 << 83 << QList<int>{10, 0, 0x11, 0x12};
        QTest::newRow("no algorithm") << 10 << 0 << 0 << 83 << QList<int>{10, 0, 0, 0};
    }

    void statusLayout()
    {
        QFETCH(int, firmware);
        QFETCH(int, algorithm);
        QFETCH(int, effect);
        QFETCH(int, count);
        QFETCH(QList<int>, head);
        PedalRig rig({.firmware = firmware, .algorithm = algorithm, .effect = effect});
        const QByteArray reply = rig.exchange("02 00");
        const QList<int> values = PedalRig::parseStatus(reply);
        QCOMPARE(values.size(), count);
        QCOMPARE(values.mid(0, 4), head);
        // Defaults: every slot empty (0xFFFF), "Dry" at half level, Low Pass at its top step.
        QCOMPARE(values.mid(kSlotAddresses, 2), (QList<int>{255, 255}));
        const int words = firmware >= 9 ? kWords : kWords - 1;
        QCOMPARE(values.mid(words, 4), (QList<int>{0, 0x40, 0, 0}));
        QCOMPARE(values.mid(words + 20, 4), (QList<int>{0, 0, 0, 24}));
    }

    // Each row: a message, then the status values it must show from an index.
    void messageChangesStatus_data()
    {
        QTest::addColumn<int>("firmware");
        QTest::addColumn<QByteArray>("message");
        QTest::addColumn<int>("index");
        QTest::addColumn<QList<int>>("values");
        QTest::addColumn<int>("ignored");

        QTest::newRow("bypass on") << 10 << bytes("0D 01") << kBypass << QList<int>{1} << 0;
        QTest::newRow("bypass 2 is no bypass") << 10 << bytes("0D 02") << kBypass << QList<int>{0} << 1;
        QTest::newRow("Dry") << 10 << bytes("01 000B 00123000") << word(0)
                             << QList<int>{0, 0x12, 0x30, 0} << 0;
        QTest::newRow("Sub Mix at 00E7 in 0011") << 10 << bytes("01 00E7 007FE000") << word(1)
                                                 << QList<int>{0, 0x7F, 0xE0, 0} << 0;
        QTest::newRow("Wave off") << 10 << bytes("01 0003 00600000") << word(4)
                                  << QList<int>{0, 0x60, 0, 0} << 0;
        QTest::newRow("Low Pass as a step") << 10 << bytes("01 00CD 003FC000") << word(5)
                                            << QList<int>{0, 0, 0, 12} << 0;
        QTest::newRow("High Pass top step") << 10 << bytes("01 00DF 007FE000") << word(6)
                                            << QList<int>{0, 0, 0, 16} << 0;
        QTest::newRow("High Pass bottom step") << 10 << bytes("01 00DF 00000000") << word(6)
                                               << QList<int>{0, 0, 0, 0} << 0;
        QTest::newRow("Range, nearest step") << 10 << bytes("01 00F1 00200000") << word(9)
                                             << QList<int>{0, 0, 0, 6} << 0;
        QTest::newRow("Split") << 10 << bytes("01 00EA 00000001") << word(8) << QList<int>{0, 0, 0, 1} << 0;
        QTest::newRow("Input Level") << 10 << bytes("01 000A 00654000") << word(10)
                                     << QList<int>{0, 0x65, 0x40, 0} << 0;
        QTest::newRow("1st Harmonic Pitch +12") << 10 << bytes("01 0073 00800000") << word(11)
                                                << QList<int>{0, 0x80, 0, 0} << 0;
        QTest::newRow("High Notes Cut") << 10 << bytes("01 000C 00000001") << word(14)
                                        << QList<int>{0, 0, 0, 1} << 0;
        QTest::newRow("address of no parameter") << 10 << bytes("01 0000 00123000") << word(0)
                                                  << QList<int>{0, 0x40, 0, 0} << 1;
        QTest::newRow("unused field is no parameter") << 10 << bytes("01 FFFF 00123000") << word(0)
                                                      << QList<int>{0, 0x40, 0, 0} << 1;
        QTest::newRow("Dry on firmware 8") << 8 << bytes("01 000B 00123000") << kWords - 1
                                           << QList<int>{0, 0x12, 0x30, 0} << 0;
        QTest::newRow("store settings") << 10 << bytes("03 00000001 00000002 00000003 00000004 00000005")
                                        << word(10)
                                        << QList<int>{0, 0, 0, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 4, 0, 0, 0, 5}
                                        << 0;
        QTest::newRow("assignments") << 10 << bytes("04 01 00 00 01 01 000A FFFF FFFF 000C FFFD") << kSlotFlags
                                     << QList<int>{1, 0, 0, 1, 1, 0, 10, 255, 255, 255, 255, 0, 12, 255, 253}
                                     << 0;
        QTest::newRow("assignment flag 2") << 10 << bytes("04 02 00 00 00 00 000A FFFF FFFF FFFF FFFF")
                                           << kSlotFlags << QList<int>{0, 0, 0, 0, 0} << 1;
        QTest::newRow("footswitch mode 3") << 10 << bytes("08 01 01") << kFootswitch << QList<int>{3} << 0;
        QTest::newRow("footswitch mode 1") << 10 << bytes("08 00 01") << kFootswitch << QList<int>{1} << 0;
        QTest::newRow("footswitch 02 ignored") << 10 << bytes("08 02 00") << kFootswitch << QList<int>{0} << 1;
        QTest::newRow("tuning Drop D, -1") << 10 << bytes("09 02 FF") << kTuning << QList<int>{2, 0xFF} << 0;
        QTest::newRow("tuning Bass, -5") << 10 << bytes("09 08 FB") << kTuning << QList<int>{8, 0xFB} << 0;
        QTest::newRow("semitone +4 ignored") << 10 << bytes("09 01 04") << kTuning << QList<int>{0, 0} << 1;
        QTest::newRow("erase settings memory") << 10 << bytes("0B 50 00 00 00") << 1 << QList<int>{0, 0} << 0;
        QTest::newRow("erase second memory") << 10 << bytes("0B 51 00 00 00") << 1 << QList<int>{0, 0x11} << 0;
        QTest::newRow("erase at 52 ignored") << 10 << bytes("0B 52 00 00 00") << 1 << QList<int>{0, 0x11} << 1;
        QTest::newRow("upload 0010") << 10 << image(10) << 1 << QList<int>{0, 0x10} << 0;
        QTest::newRow("upgrade request on firmware 8") << 8 << bytes("05 00 01 02 03 04 05 06") << 0
                                                       << QList<int>{8} << 1;
        QTest::newRow("unknown message") << 10 << bytes("06") << 0 << QList<int>{10} << 1;
        QTest::newRow("malformed status request") << 10 << bytes("02 01") << 0 << QList<int>{10} << 1;
    }

    void messageChangesStatus()
    {
        QFETCH(int, firmware);
        QFETCH(QByteArray, message);
        QFETCH(int, index);
        QFETCH(QList<int>, values);
        QFETCH(int, ignored);
        PedalRig rig({.firmware = firmware});
        rig.exchange(message, 600);
        const QList<int> status = rig.status();
        QCOMPARE(status.size(), firmware >= 9 ? 83 : 82);
        QCOMPARE(status.mid(index, int(values.size())), values);
        QCOMPARE(rig.model.ignoredCount(), ignored);
    }

    // Messages whose effect lives in the settings memory rather than the status.
    void messagesKeptInMemory()
    {
        PedalRig rig;
        rig.exchange(QByteArray::fromHex("0E") + tuningTable());
        rig.exchange("07 0A");
        rig.exchange("0F BA 02 03 04 05 06 B3");
        QCOMPARE(rig.model.tuningData(), tuningTable());
        QCOMPARE(int(rig.model.settings().midiChannel), 10);
        QCOMPARE(int(rig.model.settings().instrument), 0xBA);

        rig.exchange("07 11");                     // channel 17
        rig.exchange("0F FF 01 02 03 04 05 00");   // wrong checksum
        QCOMPARE(int(rig.model.settings().midiChannel), 10);
        QCOMPARE(int(rig.model.settings().instrument), 0xBA);
        QCOMPARE(rig.model.ignoredCount(), 2);

        // Assignments, tuning and stored words survive a restart; live edits do not.
        rig.exchange("04 01 00 00 00 00 000A FFFF FFFF FFFF FFFF");
        rig.exchange("09 03 02");
        rig.exchange("03 00111111 00400000 00222222 00000001 00000000");
        rig.exchange("01 000B 00000000");
        rig.model.powerCycle();
        rig.firmwareLine();
        const QList<int> status = rig.status();
        QCOMPARE(status.mid(kSlotFlags, 1), QList<int>{1});
        QCOMPARE(status.mid(kTuning, 2), (QList<int>{3, 2}));
        QCOMPARE(status.mid(word(10), 4), (QList<int>{0, 0x11, 0x11, 0x11}));
        QCOMPARE(status.mid(word(0), 4), (QList<int>{0, 0x40, 0, 0}));
        QCOMPARE(int(rig.model.settings().midiChannel), 10);
    }

    void memoryDump()
    {
        PedalRig rig;
        const QByteArray dump = rig.exchange("0C 50 00 00 00 00");
        QCOMPARE(dump.size(), 16385);
        QCOMPARE(quint8(dump[0]), quint8(0xAB));
        QCOMPARE(dump.mid(1), rig.model.settingsMemory(0x50));
        QCOMPARE(dump.mid(1, 2), bytes("00 11")); // the stored algorithm

        rig.exchange("0B 50 00 00 00");
        QCOMPARE(rig.exchange("0C 50 00 00 00 00").mid(1), QByteArray(16384, char(0xFF)));
        QCOMPARE(rig.exchange("0C 51 00 00 00 00").size(), 16385);
        QVERIFY(rig.exchange("0C 50 00 00 00 01").isEmpty());
    }

    void eraseThenUploadRestoresAlgorithm()
    {
        PedalRig rig;
        rig.exchange("01 000B 00000000");
        rig.exchange("04 01 00 00 00 00 000A FFFF FFFF FFFF FFFF");
        rig.exchange("0B 50 00 00 00");
        QList<int> status = rig.status();
        QCOMPARE(status.mid(1, 2), (QList<int>{0, 0}));
        QCOMPARE(status.mid(kSlotFlags, 1), QList<int>{0});
        QCOMPARE(status.mid(word(0), 4), (QList<int>{0, 0x40, 0, 0}));
        // Without an effect no address leads to a parameter.
        rig.exchange("01 000B 00000000");
        QCOMPARE(rig.model.ignoredCount(), 1);

        QCOMPARE(rig.exchange(image(11), 10), QByteArray("Upload OK 0011\r\n"));
        status = rig.status();
        QCOMPARE(status.mid(1, 2), (QList<int>{0, 0x11}));
        rig.model.powerCycle();
        rig.firmwareLine();
        QCOMPARE(rig.status().mid(1, 2), (QList<int>{0, 0x11}));
    }

    void upload_data()
    {
        QTest::addColumn<QByteArray>("upload");
        QTest::addColumn<QByteArray>("answer");
        QTest::addColumn<int>("algorithm");
        QByteArray corrupt = image(9);
        corrupt[2000] = char(corrupt[2000] ^ 1);
        QByteArray foreign = image(9);
        foreign.replace(37, 4, "XXXX");
        QTest::newRow("0008") << image(8) << QByteArray("Upload OK 0008\r\n") << 0x08;
        QTest::newRow("0009") << image(9) << QByteArray("Upload OK 0009\r\n") << 0x09;
        QTest::newRow("0011") << image(11) << QByteArray("Upload OK 0011\r\n") << 0x11;
        QTest::newRow("damaged program") << corrupt << QByteArray("Upload Error\r\n") << 0x10;
        QTest::newRow("not our program") << foreign << QByteArray("Upload Error\r\n") << 0x10;
    }

    void upload()
    {
        QFETCH(QByteArray, upload);
        QFETCH(QByteArray, answer);
        QFETCH(int, algorithm);
        PedalRig rig({.algorithm = 10});
        // In pieces, as a bridge may hand them over.
        rig.exchange(upload.left(1000));
        QCOMPARE(rig.exchange(upload.mid(1000), 10), answer);
        QCOMPARE(rig.status().mid(1, 2), (QList<int>{algorithm >> 8, algorithm & 0xFF}));
        // The new image's addresses now lead to the parameters.
        rig.exchange("01 000B 00000000");
        QCOMPARE(rig.status().mid(word(0), 4), (QList<int>{0, 0, 0, 0}));
    }

    void framing()
    {
        PedalRig rig;
        // Two messages in one write, then one split over two writes.
        QVERIFY(rig.exchange("0D 01 09 02 FF").isEmpty());
        rig.exchange("08 01");
        rig.exchange("01");
        const QList<int> status = rig.status();
        QCOMPARE(status.mid(kFootswitch, 1), QList<int>{3});
        QCOMPARE(status.mid(kTuning, 3), (QList<int>{2, 0xFF, 1}));
        QCOMPARE(rig.model.ignoredCount(), 0);

        // ... but a message broken off for longer than the gap is dropped.
        PedalRig gap;
        gap.exchange("08 01", 150);
        QCOMPARE(gap.status().size(), 83);
        QCOMPARE(gap.model.ignoredCount(), 1);
        QCOMPARE(gap.status().mid(kFootswitch, 1), QList<int>{0});
    }

    void statusCompleteWithin200msOnAPacedLine()
    {
        PedalRig rig({.paced = true, .latencyMs = 16});
        rig.model.receive(bytes("02 00"));
        QCOMPARE(rig.model.bytesAvailable(), 0);
        rig.ms(20);
        const qint64 early = rig.model.bytesAvailable();
        rig.ms(180);
        const QByteArray reply = rig.model.takeOutput();
        QCOMPARE(PedalRig::parseStatus(reply).size(), 83);
        QVERIFY(early < reply.size());
        QVERIFY(rig.model.log().size() > 0);
    }

    void lineSettingsMatter()
    {
        // A request sent with even parity is garbage to the firmware.
        PedalRig rig;
        rig.bootloaderLine();
        QVERIFY(rig.exchange("02 00", 200).isEmpty());
        QCOMPARE(rig.model.lineErrorCount(), 2);
        // So is one at the wrong rate.
        rig.model.setDataCharacteristics(8, 0, 0);
        rig.model.setBaudRate(9600);
        QVERIFY(rig.exchange("02 00", 200).isEmpty());
        // A reply read with the wrong parity is no status.
        rig.firmwareLine();
        rig.model.receive(bytes("02 00"));
        rig.bootloaderLine();
        rig.ms(200);
        QVERIFY(PedalRig::parseStatus(rig.model.takeOutput()).isEmpty());

        // On a line that carries no parity the pedal takes its own mode.
        PedalRig pty({.lineFollowsMode = true});
        pty.bootloaderLine();
        QCOMPARE(pty.status().size(), 83);
    }

    void upgradeModeRequest()
    {
        PedalRig rig;
        QVERIFY(rig.exchange("05 00 01 02 03 04 05 06").isEmpty());
        QCOMPARE(rig.model.mode(), PedalModel::Mode::Restarting);
        rig.bootloaderLine();
        rig.ms(97);
        QVERIFY(rig.exchange("7F", 0).isEmpty()); // still restarting at 98 ms
        rig.ms(2);
        QCOMPARE(rig.exchange("7F"), bytes("79"));
        QCOMPARE(rig.model.mode(), PedalModel::Mode::Bootloader);
    }
};

QTEST_MAIN(TestPedalFirmware)
#include "tst_pedal_firmware.moc"
