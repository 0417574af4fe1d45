// The data that ships inside the editor: catalogue, effect images and
// firmware images, as the compiled-in resources hold them.

#include <QFile>
#include <QProcess>
#include <QStandardPaths>
#include <QSet>
#include <QtEndian>
#include <QtTest>

namespace {

QByteArray resource(const QString &name)
{
    QFile f(":/" + name);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

// Address fields of an effect image, in image order.
QList<quint16> addressFields(const QByteArray &image)
{
    QList<quint16> fields;
    for (int i = 0; i < 17; ++i)
        fields << qFromBigEndian<quint16>(image.constData() + 3 + 2 * i);
    return fields;
}

} // namespace

class TestPedalData : public QObject {
    Q_OBJECT
private slots:
    void catalogue()
    {
        QCOMPARE(resource("OCTAVE"), QByteArray("Quorvane KQ5 0011\r\n"));
    }

    void effectImage_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("length");
        QTest::addColumn<QString>("fields"); // all seventeen, as in the text
        QTest::addColumn<QByteArray>("algorithm");
        QTest::newRow("0008") << "QUORVANE_KQ5_0008" << 4640
            << "000B00E80077007300030" "0CC00DE00A000E900F0FFFFFFFF000A006E00E7001B000C"
            << QByteArray::fromHex("0008");
        QTest::newRow("0009") << "QUORVANE_KQ5_0009" << 4672
            << "000B00E80077007300030" "0CC00DE00A000E900F0FFFFFFFF000A006F00E6001B000C"
            << QByteArray::fromHex("0009");
        QTest::newRow("0010") << "QUORVANE_KQ5_0010" << 4544
            << "000B00E70078007400030" "0CD00DF00A100EA00F1FFFFFFFF000A007300E8001B000C"
            << QByteArray::fromHex("0010");
        QTest::newRow("0011") << "QUORVANE_KQ5_0011" << 4544
            << "000B00E70078007400030" "0CD00DF00A100EA00F1FFFFFFFF000A007300E8001B000C"
            << QByteArray::fromHex("0011");
    }

    void effectImage()
    {
        QFETCH(QString, name);
        QFETCH(int, length);
        QFETCH(QString, fields);
        QFETCH(QByteArray, algorithm);

        const QByteArray text = resource(name);
        QCOMPARE(text.size(), 2 * length);
        QVERIFY2(!text.contains('\n') && !text.contains('\r'), "one line, no line end");
        QCOMPARE(text, text.toUpper());
        const QByteArray image = QByteArray::fromHex(text);
        QCOMPARE(image.size(), length);
        QCOMPARE(image.toHex().toUpper(), text); // every character was a hex digit

        QCOMPARE(quint8(image[0]), quint8(0));
        QCOMPARE(int(qFromBigEndian<quint16>(image.constData() + 1)), length);
        QCOMPARE(QString::fromLatin1(text.mid(6, 68)), fields);

        // No two parameters share an address (fields 11 and 12 are unused).
        const QList<quint16> all = addressFields(image);
        QSet<quint16> seen;
        for (int i = 0; i < all.size(); ++i) {
            if (i == 10 || i == 11)
                continue;
            QVERIFY2(!seen.contains(all[i]), qPrintable(QString("field %1 repeats").arg(i)));
            seen.insert(all[i]);
        }

        // The DSP program names its algorithm, and its sum closes it.
        QCOMPARE(image.mid(37, 4), QByteArray("KQ5A"));
        QCOMPARE(image.mid(41, 2), algorithm);
        QCOMPARE(int(qFromBigEndian<quint16>(image.constData() + 43)), length - 47);
        quint16 sum = 0;
        for (int i = 37; i < length - 2; ++i)
            sum += quint8(image[i]);
        QCOMPARE(qFromBigEndian<quint16>(image.constData() + length - 2), sum);
    }

    void firmwareImage_data()
    {
        QTest::addColumn<int>("version");
        QTest::addColumn<int>("length");
        QTest::newRow("5") << 5 << 53840;
        QTest::newRow("6") << 6 << 53640;
        QTest::newRow("7") << 7 << 53700;
        QTest::newRow("8") << 8 << 50720;
        QTest::newRow("9") << 9 << 51152;
        QTest::newRow("10") << 10 << 51472;
    }

    void firmwareImage()
    {
        QFETCH(int, version);
        QFETCH(int, length);
        const QByteArray image = resource(QString("FIRMWARE_%1").arg(version));
        QCOMPARE(image.size(), length);

        const quint32 stack = qFromLittleEndian<quint32>(image.constData());
        const quint32 reset = qFromLittleEndian<quint32>(image.constData() + 4);
        QVERIFY2(stack > 0x20000000 && stack <= 0x20005000 && stack % 8 == 0,
                 "initial stack pointer at the top of RAM");
        QVERIFY2(reset & 1, "Thumb bit");
        QVERIFY2((reset & ~1u) >= 0x08000000 && (reset & ~1u) < 0x08000000u + quint32(length),
                 "reset handler inside the image");
        QCOMPARE(image.mid(0x130, 6), QByteArray("KQ5FW") + char(version));
    }

    // The committed files are what the generator makes.
    void generatorIsCurrent()
    {
        const QString python = QStandardPaths::findExecutable("python3");
        if (python.isEmpty())
            QSKIP("python3 is not installed");
        QProcess p;
        p.start(python, {qEnvironmentVariable("QUORVANE_SOURCE_DIR") + "/tools/make_pedal_data.py", "--check"});
        QVERIFY(p.waitForFinished(60000));
        QVERIFY2(p.exitCode() == 0, (p.readAllStandardOutput() + p.readAllStandardError()).constData());
    }

    void imagesDiffer()
    {
        QVERIFY(resource("QUORVANE_KQ5_0010") != resource("QUORVANE_KQ5_0011"));
        QVERIFY(resource("FIRMWARE_9").mid(0x140, 256) != resource("FIRMWARE_10").mid(0x140, 256));
    }
};

QTEST_MAIN(TestPedalData)
#include "tst_pedal_data.moc"
