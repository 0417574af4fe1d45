// The link layer against the recording driver: reports, settings, listing
// texts, buffers and the message sender on top of it.

#include "support/LinkTestAccess.h"
#include "common/ConsoleLog.h"
#include "protocol/Sender.h"
#include "support/Hex.h"
#include "support/RecordingDriver.h"
#include "support/ScriptedDialogs.h"
#include "usb/D2XXUnit.h"

#include <QtTest>

#include <memory>

using namespace quorvane;
using quorvane::test::bytes;
using quorvane::test::spaced;

namespace {

struct Link {
    test::RecordingDriver driver;
    test::ScriptedDialogs dialogs;
    ConsoleLog console;
    D2XXUnit unit{driver, dialogs};

    Link() { driver.bridges = {{"SN1", "KQ5 bridge"}, {"SN2", "Second bridge"}}; }
    void open()
    {
        QCOMPARE(unit.Open_USB_Device_By_Serial_Number("SN1"), FT_OK);
        driver.calls.clear();
    }
};

// Runs one link operation by the name the recording driver fails it under.
FT_STATUS run(D2XXUnit &unit, const QString &operation)
{
    if (operation == "count")
        return unit.GetFTDeviceCount();
    if (operation == "serial")
        return unit.GetFTDeviceSerialNo(0);
    if (operation == "description")
        return unit.GetFTDeviceDescription(0);
    if (operation == "open")
        return unit.Open_USB_Device_By_Serial_Number("SN1");
    if (operation == "close")
        return unit.CloseFTDevice();
    if (operation == "baud")
        return unit.SetFTBaudRate();
    if (operation == "data")
        return unit.SetFTDataCharacteristics();
    if (operation == "purge RX")
        return unit.PurgeFTReceive();
    if (operation == "purge TX")
        return unit.PurgeFTTransmit();
    if (operation == "queue")
        return unit.GetFTQueueStatus();
    if (operation == "read")
        return unit.ReadFTDevice();
    if (operation == "write")
        return LinkTestAccess::write(unit, 2);
    qFatal("unknown operation %s", qPrintable(operation));
}

QString driverOperation(const QString &operation)
{
    return operation.startsWith("purge") ? QStringLiteral("purge") : operation;
}

} // namespace

class TestD2XXUnit : public QObject {
    Q_OBJECT
private slots:
    void contextLabels_data();
    void contextLabels();
    void statusTexts_data();
    void statusTexts();
    void successShowsNothing();
    void closedHandleIsReported();
    void serialNumberCut_data();
    void serialNumberCut();
    void linkSettings_data();
    void linkSettings();
    void listTextKeptOnFailure_data();
    void listTextKeptOnFailure();
    void listTextLength_data();
    void listTextLength();
    void readTakesAtMostTheBuffer();
    void failedTransfersCountZero();
    void refusedPartialMessage_data();
    void refusedPartialMessage();
    void sentMessage_data();
    void sentMessage();
    void bypass_data();
    void bypass();
};

void TestD2XXUnit::contextLabels_data()
{
    QTest::addColumn<QString>("operation");
    QTest::addColumn<QString>("label");

    QTest::newRow("count") << "count" << "GetFTDeviceCount";
    QTest::newRow("serial") << "serial" << "GetFTDeviceSerialNo";
    QTest::newRow("description") << "description" << "GetFTDeviceDescription";
    QTest::newRow("open") << "open" << "Open_USB_Device_By_Serial_Number";
    QTest::newRow("close") << "close" << "FT_Close";
    QTest::newRow("baud") << "baud" << "FT_SetBaudRate";
    QTest::newRow("data") << "data" << "FT_SetDataCharacteristics";
    QTest::newRow("purge RX") << "purge RX" << "FT_Purge RX";
    QTest::newRow("purge TX") << "purge TX" << "FT_Purge TX";
    QTest::newRow("queue") << "queue" << "FT_GetQueueStatus";
    QTest::newRow("read") << "read" << "FT_Read";
    QTest::newRow("write") << "write" << "FT_Write";
}

void TestD2XXUnit::contextLabels()
{
    QFETCH(QString, operation);
    QFETCH(QString, label);
    Link link;
    link.open();

    link.driver.failNext(driverOperation(operation), FT_IO_ERROR);
    run(link.unit, operation);
    QCOMPARE(link.dialogs.messages, QStringList{label + " - General IO error..."});

    link.dialogs.reset();
    link.unit.report_usb_errors = false;
    link.driver.failNext(driverOperation(operation), FT_OTHER_ERROR);
    run(link.unit, operation);
    QCOMPARE(link.dialogs.messages, QStringList());
}

void TestD2XXUnit::statusTexts_data()
{
    QTest::addColumn<uint>("status");
    QTest::addColumn<QString>("text");

    const char *const texts[] = {
        " - Invalid handle...",          " - Device not found...",
        " - Device not opened...",       " - General IO error...",
        " - Insufficient resources...",  " - Invalid parameter...",
        " - Invalid baud rate...",       " Device not opened for erase...",
        " Device not opened for write...", " - Failed to write...",
        " - EEPROM read failed...",      " - EEPROM write failed...",
        " - EEPROM erase failed...",     " - EEPROM not present...",
        " - EEPROM not programmed...",   " - Invalid arguments...",
        " - Other error ...",
    };
    for (uint status = 1; status <= 17; ++status)
        QTest::addRow("%u", status) << status << QString::fromLatin1(texts[status - 1]);
    QTest::newRow("18") << 18u << " - Unknown error (18)...";
    QTest::newRow("1000") << 1000u << " - Unknown error (1000)...";
    QTest::newRow("largest") << 4294967295u << " - Unknown error (4294967295)...";
}

void TestD2XXUnit::statusTexts()
{
    QFETCH(uint, status);
    QFETCH(QString, text);
    QCOMPARE(ft_status_text(status), text);

    Link link;
    link.open();
    link.driver.failNext("write", status);
    QCOMPARE(LinkTestAccess::write(link.unit, 2), 0u);
    QCOMPARE(link.dialogs.messages, QStringList{"FT_Write" + text});

    link.dialogs.reset();
    link.unit.report_usb_errors = false;
    link.driver.failNext("write", status);
    LinkTestAccess::write(link.unit, 2);
    QVERIFY(link.dialogs.messages.isEmpty());
}

void TestD2XXUnit::successShowsNothing()
{
    Link link;
    link.unit.ReportFTError("FT_Write", FT_OK);
    for (const char *op : {"count", "serial", "description", "open", "baud", "data", "purge RX",
                           "purge TX", "queue", "read", "write", "close"})
        run(link.unit, op);
    QCOMPARE(link.dialogs.messages, QStringList());
    QCOMPARE(link.unit.ft_device_count, 2u);

    // No bridge at all is no failure.
    link.driver.bridges.clear();
    QCOMPARE(link.unit.GetFTDeviceCount(), FT_OK);
    QCOMPARE(link.unit.ft_device_count, 0u);
    QCOMPARE(link.dialogs.messages, QStringList());
}

void TestD2XXUnit::closedHandleIsReported()
{
    Link link;
    // Nothing open yet: the driver refuses the zero handle.
    LinkTestAccess::write(link.unit, 2);
    link.open();
    const FT_HANDLE handle = link.unit.ft_handle;
    QVERIFY(handle != 0);
    QCOMPARE(link.unit.CloseFTDevice(), FT_OK);
    QCOMPARE(link.unit.ft_handle, handle); // kept after close
    QCOMPARE(link.unit.CloseFTDevice(), FT_INVALID_HANDLE);
    QCOMPARE(link.dialogs.messages,
             (QStringList{"FT_Write - Invalid handle...", "FT_Close - Invalid handle..."}));
    QVERIFY(link.driver.writes.isEmpty());
}

void TestD2XXUnit::serialNumberCut_data()
{
    QTest::addColumn<QString>("serial");
    QTest::addColumn<QString>("handed");

    const QString fortyNine = QString(49, 'S');
    QTest::newRow("short") << "SN1" << "SN1";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("49") << fortyNine << fortyNine;
    QTest::newRow("50") << fortyNine + "X" << fortyNine;
    QTest::newRow("200") << fortyNine + QString(151, 'X') << fortyNine;
    QTest::newRow("non-ASCII single-byte") << QString::fromUtf8("SN\u00C4") << QString::fromUtf8("SN\u00C4");
}

void TestD2XXUnit::serialNumberCut()
{
    QFETCH(QString, serial);
    QFETCH(QString, handed);
    Link link;
    link.driver.bridges.append({handed, "cut"});
    QCOMPARE(link.unit.Open_USB_Device_By_Serial_Number(serial), FT_OK);
    QCOMPARE(link.driver.openSerial, handed);
    QVERIFY(link.dialogs.messages.isEmpty());
}

void TestD2XXUnit::linkSettings_data()
{
    QTest::addColumn<QList<int>>("before");
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("parity");

    QTest::newRow("normal") << QList<int>{} << 0 << 0;
    QTest::newRow("bootloader") << QList<int>{} << 2 << 2;
    QTest::newRow("normal after bootloader") << QList<int>{2} << 0 << 0;
    QTest::newRow("bootloader after normal") << QList<int>{0} << 2 << 2;
    QTest::newRow("1 keeps even") << QList<int>{2} << 1 << 2;
    QTest::newRow("1 keeps none") << QList<int>{0} << 1 << 0;
    QTest::newRow("3 keeps even") << QList<int>{0, 2} << 3 << 2;
    QTest::newRow("-1 keeps even") << QList<int>{2} << -1 << 2;
    QTest::newRow("1 at start keeps none") << QList<int>{} << 1 << 0;
}

void TestD2XXUnit::linkSettings()
{
    QFETCH(QList<int>, before);
    QFETCH(int, mode);
    QFETCH(int, parity);
    Link link;
    link.open();
    for (int m : before)
        link.unit.SetLinkSettings(m);
    link.unit.link_baud_rate = 9600;
    link.unit.link_word_length = 7;
    link.unit.link_stop_bits = 2;

    link.unit.SetLinkSettings(mode);
    QCOMPARE(link.driver.calls, QStringList()); // stores only
    QCOMPARE(link.unit.link_baud_rate, 115200u);
    QCOMPARE(link.unit.link_word_length, 8);
    QCOMPARE(link.unit.link_stop_bits, 0);
    QCOMPARE(int(link.unit.link_parity), parity);

    QCOMPARE(link.unit.SetFTBaudRate(), FT_OK);
    QCOMPARE(link.unit.SetFTDataCharacteristics(), FT_OK);
    QCOMPARE(link.driver.calls,
             (QStringList{"baud:115200", QStringLiteral("data:8,0,%1").arg(parity)}));
}

void TestD2XXUnit::listTextKeptOnFailure_data()
{
    QTest::addColumn<bool>("description");
    QTest::addColumn<uint>("index");
    QTest::addColumn<uint>("failure"); // 0: the index is past the end

    QTest::newRow("serial fails") << false << 0u << uint(FT_IO_ERROR);
    QTest::newRow("description fails") << true << 0u << uint(FT_OTHER_ERROR);
    QTest::newRow("serial past the end") << false << 5u << 0u;
    QTest::newRow("description past the end") << true << 2u << 0u;
}

void TestD2XXUnit::listTextKeptOnFailure()
{
    QFETCH(bool, description);
    QFETCH(uint, index);
    QFETCH(uint, failure);
    Link link;
    const auto query = [&](std::uint32_t i) {
        return description ? link.unit.GetFTDeviceDescription(i) : link.unit.GetFTDeviceSerialNo(i);
    };
    QCOMPARE(query(1), FT_OK);
    const QString previous = description ? "Second bridge" : "SN2";
    QCOMPARE(link.unit.ft_list_text, previous);

    if (failure)
        link.driver.failNext(description ? "description" : "serial", failure);
    QVERIFY(query(index) != FT_OK);
    QCOMPARE(link.unit.ft_list_text, previous);
    QCOMPARE(link.dialogs.messages.size(), 1);
}

void TestD2XXUnit::listTextLength_data()
{
    QTest::addColumn<bool>("unterminated");
    QTest::addColumn<int>("length");

    QTest::newRow("NUL-terminated") << false << 63;
    QTest::newRow("no NUL in 64 bytes") << true << 64;
}

void TestD2XXUnit::listTextLength()
{
    QFETCH(bool, unterminated);
    QFETCH(int, length);
    Link link;
    const QString longText = QString(40, 'a') + QString(40, 'b');
    link.driver.bridges = {{longText, longText}};
    link.driver.unterminatedListTexts = unterminated;
    QCOMPARE(link.unit.GetFTDeviceSerialNo(0), FT_OK);
    QCOMPARE(link.unit.ft_list_text, longText.left(length));
    QCOMPARE(link.unit.GetFTDeviceDescription(0), FT_OK);
    QCOMPARE(link.unit.ft_list_text, longText.left(length));
}

void TestD2XXUnit::readTakesAtMostTheBuffer()
{
    Link link;
    link.open();
    QByteArray queued(70000, '\0');
    for (int i = 0; i < queued.size(); ++i)
        queued[i] = char(i * 7 + i / 256);
    link.driver.queueReply(queued);

    const auto received = [&](std::uint32_t n) {
        return QByteArray(reinterpret_cast<const char *>(link.unit.rx_buffer.data()), qsizetype(n));
    };
    QCOMPARE(link.unit.ReadFTDevice(), 65536u);
    QVERIFY(received(65536) == queued.left(65536));
    QCOMPARE(link.unit.GetFTQueueStatus(), FT_OK);
    QCOMPARE(link.unit.rx_queue_count, 4464u);

    QCOMPARE(link.unit.ReadFTDevice(), 4464u);
    QVERIFY(received(4464) == queued.mid(65536));
    // The rest of the buffer keeps what the first read left.
    QVERIFY(received(65536).mid(4464) == queued.mid(4464, 65536 - 4464));

    QCOMPARE(link.unit.ReadFTDevice(), 0u);
    QCOMPARE(link.driver.calls, (QStringList{"read:65536", "read:4464", "read:0"}));
    QVERIFY(link.dialogs.messages.isEmpty());
}

void TestD2XXUnit::failedTransfersCountZero()
{
    Link link;
    link.open();
    link.driver.queueReply(bytes("01 02 03"));

    // The queue query inside a read is not reported; nothing is asked for.
    link.driver.failNext("queue", FT_IO_ERROR);
    QCOMPARE(link.unit.ReadFTDevice(), 0u);
    QVERIFY(link.dialogs.messages.isEmpty());

    link.driver.failNext("read", FT_IO_ERROR);
    QCOMPARE(link.unit.ReadFTDevice(), 0u);
    QCOMPARE(link.dialogs.messages, QStringList{"FT_Read - General IO error..."});

    QCOMPARE(link.unit.ReadFTDevice(), 3u);
    QCOMPARE(spaced(QByteArray(reinterpret_cast<const char *>(link.unit.rx_buffer.data()), 3)),
             "01 02 03");
}

void TestD2XXUnit::refusedPartialMessage_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<uint>("n");

    QTest::newRow("odd text") << "0D0" << 2u;
    QTest::newRow("bad digit") << "0G01" << 2u;
    QTest::newRow("bad last digit") << "01123456789ABCDEFX" << 9u;
    QTest::newRow("empty") << "" << 1u;
    QTest::newRow("too short") << "0D01" << 3u;
    QTest::newRow("blank") << "0D 1" << 2u;
    QTest::newRow("beyond the buffer") << QString(2 * 65537, '0') << 65537u;
}

void TestD2XXUnit::refusedPartialMessage()
{
    QFETCH(QString, text);
    QFETCH(uint, n);
    Link link;
    link.open();
    LinkTestAccess::tx_buffer(link.unit).fill(0x5A);

    QCOMPARE(send_message(link.unit, link.console, text, n, true), LineStatus::Refused);
    QVERIFY(link.driver.writes.isEmpty());
    QCOMPARE(link.driver.calls, QStringList()); // not even the purge
    QCOMPARE(link.console.count(), 1);
    QVERIFY2(link.console.last().startsWith("Message not sent"), qPrintable(link.console.last()));
    // Nothing of the refused text lands in the buffer.
    QVERIFY(std::all_of(LinkTestAccess::tx_buffer(link.unit).begin(), LinkTestAccess::tx_buffer(link.unit).end(),
                        [](std::uint8_t b) { return b == 0x5A; }));
    QVERIFY(link.dialogs.messages.isEmpty());
}

void TestD2XXUnit::sentMessage_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<uint>("n");
    QTest::addColumn<bool>("purge");
    QTest::addColumn<QByteArray>("written");

    QTest::newRow("status request") << "0200" << 2u << false << bytes("02 00");
    QTest::newRow("lower case") << "0d01" << 2u << false << bytes("0D 01");
    QTest::newRow("longer text, n bytes") << "0D01FF" << 2u << false << bytes("0D 01");
    QTest::newRow("purged first") << "01123400000005" << 7u << true << bytes("01 12 34 00 00 00 05");
    QTest::newRow("nothing") << "" << 0u << false << QByteArray();
}

void TestD2XXUnit::sentMessage()
{
    QFETCH(QString, text);
    QFETCH(uint, n);
    QFETCH(bool, purge);
    QFETCH(QByteArray, written);
    Link link;
    link.open();
    LinkTestAccess::tx_buffer(link.unit).fill(0x5A);

    QCOMPARE(send_message(link.unit, link.console, text, n, purge), LineStatus::Ok);
    QCOMPARE(link.driver.writes.size(), 1);
    QCOMPARE(spaced(link.driver.writes.first()), spaced(written));
    QCOMPARE(link.driver.calls.contains("purge:2"), purge);
    QCOMPARE(LinkTestAccess::tx_buffer(link.unit)[n], 0x5A); // decoded from the first byte, no further
    QCOMPARE(link.console.count(), 0);

    // A write the bridge refuses is reported, and the sender told so.
    link.driver.failNext("write", FT_IO_ERROR);
    QCOMPARE(send_message(link.unit, link.console, text, n, purge), LineStatus::IoFailed);
    QCOMPARE(link.dialogs.messages, QStringList{"FT_Write - General IO error..."});
}

void TestD2XXUnit::bypass_data()
{
    QTest::addColumn<bool>("on");
    QTest::addColumn<QByteArray>("written");
    QTest::newRow("on") << true << bytes("0D 01");
    QTest::newRow("off") << false << bytes("0D 00");
}

void TestD2XXUnit::bypass()
{
    QFETCH(bool, on);
    QFETCH(QByteArray, written);
    Link link;
    link.open();
    QCOMPARE(send_bypass(link.unit, link.console, on), LineStatus::Ok);
    QCOMPARE(link.driver.writes, QList<QByteArray>{written});
    QCOMPARE(link.console.count(), 0);
}

QTEST_MAIN(TestD2XXUnit)
#include "tst_d2xxunit.moc"
