// Message text conversions: one table per operation.

#include "protocol/Codec.h"
#include "support/Hex.h"

#include <QtTest>

#include <array>

using namespace quorvane;
using quorvane::test::bytes;
using quorvane::test::spaced;

class TestCodec : public QObject {
    Q_OBJECT
private slots:
    void decodeHexText_data();
    void decodeHexText();
    void encodeHexText_data();
    void encodeHexText();
    void everyByteSurvivesTheRoundTrip();
    void hex2String_data();
    void hex2String();
    void hexToBytes_data();
    void hexToBytes();
    void xorChecksum_data();
    void xorChecksum();
    void fieldFormatting_data();
    void fieldFormatting();
    void composedMessage_data();
    void composedMessage();
};

void TestCodec::decodeHexText_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<uint>("n");
    QTest::addColumn<uint>("decoded");
    // The first 4 bytes of the destination afterwards; it starts as EE EE EE EE.
    QTest::addColumn<QByteArray>("buffer");

    QTest::newRow("upper case") << "0D01" << 2u << 2u << bytes("0D 01 EE EE");
    QTest::newRow("lower case") << "0d01" << 2u << 2u << bytes("0D 01 EE EE");
    QTest::newRow("mixed case") << "aBcD" << 2u << 2u << bytes("AB CD EE EE");
    QTest::newRow("bad first pair stores nothing") << "0G01" << 2u << 0u << bytes("EE EE EE EE");
    QTest::newRow("bad second pair keeps the first") << "0D0G" << 2u << 1u << bytes("0D EE EE EE");
    QTest::newRow("bad low digit") << "G0" << 1u << 0u << bytes("EE EE EE EE");
    QTest::newRow("odd length, n = 1") << "123" << 1u << 1u << bytes("12 EE EE EE");
    QTest::newRow("odd length loses the last digit") << "123" << 2u << 1u << bytes("12 EE EE EE");
    QTest::newRow("stops at n") << "0D01FF" << 2u << 2u << bytes("0D 01 EE EE");
    QTest::newRow("short text leaves the tail") << "0D" << 4u << 1u << bytes("0D EE EE EE");
    QTest::newRow("empty text") << "" << 2u << 0u << bytes("EE EE EE EE");
    QTest::newRow("n = 0") << "0D01" << 0u << 0u << bytes("EE EE EE EE");
    QTest::newRow("blank between bytes") << "0D 01" << 2u << 1u << bytes("0D EE EE EE");
    QTest::newRow("code above 255") << QString::fromUtf8("0D\u01300") << 2u << 1u
                                    << bytes("0D EE EE EE");
    // Full-width digits are digits to Unicode, not to us.
    QTest::newRow("full-width digits") << QString::fromUtf8("\uFF10\uFF11") << 1u << 0u
                                       << bytes("EE EE EE EE");
    QTest::newRow("Latin-1 letter") << QString::fromUtf8("\u00C00") << 1u << 0u
                                    << bytes("EE EE EE EE");
    QTest::newRow("whole range") << "00FF7F80" << 4u << 4u << bytes("00 FF 7F 80");
}

void TestCodec::decodeHexText()
{
    QFETCH(QString, text);
    QFETCH(uint, n);
    QFETCH(uint, decoded);
    QFETCH(QByteArray, buffer);

    std::array<std::uint8_t, 4> destination;
    destination.fill(0xEE);
    QCOMPARE(count_hex_bytes(text, n), decoded);
    QCOMPARE(decode_hex_text(text, destination.data(), n), decoded);
    QCOMPARE(spaced(QByteArray(reinterpret_cast<const char *>(destination.data()), 4)),
             spaced(buffer));
}

void TestCodec::encodeHexText_data()
{
    QTest::addColumn<QByteArray>("source");
    QTest::addColumn<QString>("text");

    QTest::newRow("two bytes") << bytes("AB 01") << "AB01";
    QTest::newRow("nothing") << QByteArray() << "";
    QTest::newRow("extremes") << bytes("00 FF 10 0F") << "00FF100F";
    QTest::newRow("letters are upper case") << bytes("AB CD EF") << "ABCDEF";
}

void TestCodec::encodeHexText()
{
    QFETCH(QByteArray, source);
    QFETCH(QString, text);
    QCOMPARE(encode_hex_text(reinterpret_cast<const std::uint8_t *>(source.constData()),
                             std::uint32_t(source.size())),
             text);
}

void TestCodec::everyByteSurvivesTheRoundTrip()
{
    std::array<std::uint8_t, 256> all;
    for (int i = 0; i < 256; ++i)
        all[size_t(i)] = std::uint8_t(i);
    const QString text = encode_hex_text(all.data(), 256);
    QCOMPARE(text.size(), 512);
    std::array<std::uint8_t, 256> back{};
    QCOMPARE(decode_hex_text(text, back.data(), 256), 256u);
    QVERIFY(back == all);
    QCOMPARE(decode_hex_text(text.toLower(), back.data(), 256), 256u);
    QVERIFY(back == all);
    QCOMPARE(HexToBytes(text), QByteArray(reinterpret_cast<const char *>(all.data()), 256));
}

void TestCodec::hex2String_data()
{
    QTest::addColumn<QString>("buffer");
    QTest::addColumn<QByteArray>("result");

    QTest::newRow("text") << "48656C6C6F" << QByteArray("Hello");
    QTest::newRow("lower case") << "6f6b" << QByteArray("ok");
    QTest::newRow("odd length") << "414" << QByteArray("A");
    QTest::newRow("empty") << "" << QByteArray();
    QTest::newRow("stops at a bad pair, length kept") << "41ZZ42" << QByteArray("A\0\0", 3);
    QTest::newRow("high bytes") << "FF80" << QByteArray("\xFF\x80", 2);
}

void TestCodec::hex2String()
{
    QFETCH(QString, buffer);
    QFETCH(QByteArray, result);
    QCOMPARE(Hex2String(buffer), result);
}

void TestCodec::hexToBytes_data()
{
    QTest::addColumn<QString>("hex");
    QTest::addColumn<QByteArray>("result");
    QTest::addColumn<bool>("fails");

    QTest::newRow("address field") << "00001234" << bytes("00 00 12 34") << false;
    QTest::newRow("lower case") << "abcd" << bytes("AB CD") << false;
    QTest::newRow("last odd character ignored") << "ABC" << bytes("AB") << false;
    QTest::newRow("last odd bad character ignored") << "ABZ" << bytes("AB") << false;
    QTest::newRow("empty") << "" << QByteArray() << false;
    QTest::newRow("bad pair") << "0G" << QByteArray() << true;
    QTest::newRow("bad pair after good ones") << "12340X" << QByteArray() << true;
    QTest::newRow("blank in a pair") << "12 3" << QByteArray() << true;
    QTest::newRow("sign in a pair") << "-1" << QByteArray() << true;
}

void TestCodec::hexToBytes()
{
    QFETCH(QString, hex);
    QFETCH(QByteArray, result);
    QFETCH(bool, fails);
    if (fails) {
        QVERIFY_THROWS_EXCEPTION(ConversionError, HexToBytes(hex));
        try {
            HexToBytes(hex);
        } catch (const ConversionError &e) {
            QVERIFY2(e.text().contains(QLatin1String("not a valid integer value")),
                     qPrintable(e.text()));
        }
        return;
    }
    QCOMPARE(spaced(HexToBytes(hex)), spaced(result));
}

void TestCodec::xorChecksum_data()
{
    QTest::addColumn<QString>("data");
    QTest::addColumn<uint>("length");
    QTest::addColumn<int>("checksum"); // -1: conversion error

    QTest::newRow("0102") << "0102" << 2u << 3;
    QTest::newRow("FF") << "FF" << 1u << 255;
    QTest::newRow("only the first length bytes") << "0102" << 1u << 1;
    QTest::newRow("three bytes") << "0102FF" << 3u << 0xFC;
    QTest::newRow("equal bytes cancel") << "5A5A" << 2u << 0;
    QTest::newRow("bad pair after the length is not read") << "01ZZ" << 1u << 1;
    QTest::newRow("lower case") << "ff0f" << 2u << 0xF0;
    QTest::newRow("missing pair") << "01" << 2u << -1;
    QTest::newRow("half a pair") << "010" << 2u << -1;
    QTest::newRow("bad pair") << "0X" << 1u << -1;
}

void TestCodec::xorChecksum()
{
    QFETCH(QString, data);
    QFETCH(uint, length);
    QFETCH(int, checksum);
    if (checksum < 0) {
        QVERIFY_THROWS_EXCEPTION(ConversionError, calc_XOR_checksum(data, length));
        return;
    }
    QCOMPARE(calc_XOR_checksum(data, length), checksum);
}

void TestCodec::fieldFormatting_data()
{
    QTest::addColumn<int>("width");
    QTest::addColumn<qint64>("value");
    QTest::addColumn<QString>("text");

    QTest::newRow("byte 0") << 2 << qint64(0) << "00";
    QTest::newRow("byte 13") << 2 << qint64(13) << "0D";
    QTest::newRow("byte 255") << 2 << qint64(255) << "FF";
    QTest::newRow("byte 300 grows") << 2 << qint64(300) << "12C";
    QTest::newRow("byte -1") << 2 << qint64(-1) << "FF";
    QTest::newRow("byte -128") << 2 << qint64(-128) << "80";
    QTest::newRow("word 5") << 4 << qint64(5) << "0005";
    QTest::newRow("word 0x1234") << 4 << qint64(0x1234) << "1234";
    QTest::newRow("word 0x12345 grows") << 4 << qint64(0x12345) << "12345";
    QTest::newRow("word -1") << 4 << qint64(-1) << "FFFF";
    QTest::newRow("long 5") << 8 << qint64(5) << "00000005";
    QTest::newRow("long 1023 << 13") << 8 << qint64(1023) * 8192 << "007FE000";
    QTest::newRow("long max") << 8 << qint64(0xFFFFFFFF) << "FFFFFFFF";
    QTest::newRow("long -1") << 8 << qint64(-1) << "FFFFFFFF";
    QTest::newRow("long -2") << 8 << qint64(-2) << "FFFFFFFE";
    QTest::newRow("long most negative") << 8 << qint64(INT32_MIN) << "80000000";
    QTest::newRow("long 2^32 grows") << 8 << (qint64(1) << 32) << "100000000";
}

void TestCodec::fieldFormatting()
{
    QFETCH(int, width);
    QFETCH(qint64, value);
    QFETCH(QString, text);
    const QString got = width == 2 ? hex2(value) : width == 4 ? hex4(value) : hex8(value);
    QCOMPARE(got, text);
}

void TestCodec::composedMessage_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("message");

    QTest::newRow("code, word and long")
        << QStringLiteral("01") + hex4(0x1234) + hex8(5) << bytes("01 12 34 00 00 00 05");
    // A grown field shifts every later field by one digit.
    QTest::newRow("grown byte field shifts the rest")
        << QStringLiteral("02") + hex2(300) + hex2(1) << bytes("02 12 C0");
    QTest::newRow("negative byte and long")
        << QStringLiteral("0C") + hex2(-1) + hex8(-1) << bytes("0C FF FF FF FF FF");
    QTest::newRow("bypass on") << QStringLiteral("0D") + hex2(1) << bytes("0D 01");
}

void TestCodec::composedMessage()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, message);
    // n is the text's length div 2.
    std::array<std::uint8_t, 16> destination{};
    const std::uint32_t n = std::uint32_t(text.size() / 2);
    QCOMPARE(n, std::uint32_t(message.size()));
    QCOMPARE(decode_hex_text(text, destination.data(), n), n);
    QCOMPARE(spaced(QByteArray(reinterpret_cast<const char *>(destination.data()), qsizetype(n))),
             spaced(message));
}

QTEST_MAIN(TestCodec)
#include "tst_codec.moc"
