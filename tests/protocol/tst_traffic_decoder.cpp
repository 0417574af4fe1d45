// The traffic decoder: one row per firmware message and per bootloader
// command, each read in the light of its exchange, plus malformed and
// unknown bytes, which are shown as such and never guessed at.

#include "protocol/TrafficDecoder.h"

#include <QtTest>

using namespace quorvane;

namespace {

// "> 0200" is a write, "< 79" a read; "|" starts a new exchange.
struct Script {
    TrafficLine line;
    QStringList steps;
};

void play(TrafficLog &log, const Script &script)
{
    std::uint32_t exchange = 1;
    for (const QString &step : script.steps) {
        if (step == QLatin1String("|")) {
            ++exchange;
            continue;
        }
        const QByteArray bytes = QByteArray::fromHex(step.mid(2).toLatin1());
        log.append(step.startsWith('>') ? TrafficDirection::Out : TrafficDirection::In, script.line, exchange,
                   bytes.constData(), std::size_t(bytes.size()));
    }
}

QString ascii_hex(const char *text)
{
    return QString::fromLatin1(QByteArray(text).toHex());
}

DspParameterName names(std::uint16_t address)
{
    if (address == 0x0012)
        return {QStringLiteral("Dry"), true};
    if (address == 0x0050)
        return {QStringLiteral("Input Level"), true};
    if (address == 0x0030)
        return {QStringLiteral("Low Pass"), false};
    return {};
}

} // namespace

Q_DECLARE_METATYPE(TrafficLine)
Q_DECLARE_METATYPE(TrafficKind)

class TestTrafficDecoder : public QObject {
    Q_OBJECT
private slots:
    void decodes_data();
    void decodes();
    void rowsReadOutOfOrderReadTheSame();
    void recordsNoLongerHeldDecodeToNothing();
};

void TestTrafficDecoder::decodes_data()
{
    QTest::addColumn<TrafficLine>("line");
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<TrafficKind>("kind");      // of the first record
    QTest::addColumn<QStringList>("expected"); // the text of every record

    const auto fw = TrafficLine::Firmware;
    const auto boot = TrafficLine::Bootloader;
    const QString image = "> 00" + QString(200, '5');
    const QString chunk = "> " + QString(512, 'A');

    // --- to the pedal's firmware
    QTest::newRow("effect upload and its answer")
        << fw << QStringList{image, "< " + ascii_hex("OK\r\n")} << TrafficKind::EffectUpload
        << QStringList{"Effect upload · 101 B", "Upload answer · \"OK\\r\\n\""};
    QTest::newRow("DSP write, a level") << fw << QStringList{"> 010012003FC000"} << TrafficKind::DspWrite
                                        << QStringList{"DSP write · Dry · 0x003FC000 (level 510)"};
    QTest::newRow("DSP write, a step") << fw << QStringList{"> 01003000000018"} << TrafficKind::DspWrite
                                       << QStringList{"DSP write · Low Pass · 0x00000018"};
    QTest::newRow("DSP write, address no effect knows")
        << fw << QStringList{"> 010099003FC000"} << TrafficKind::DspWrite
        << QStringList{"DSP write · address 0x0099 · 0x003FC000"};
    QTest::newRow("status request and reply in two reads")
        << fw << QStringList{"> 0200", "< " + ascii_hex("10\r\n0\r"), "< " + ascii_hex("\n17\r\n11\r\n")}
        << TrafficKind::StatusRequest
        << QStringList{"Status request", "Status reply (part) · 1 values so far",
                       "Status reply · 4 values · firmware 10 · algorithm 0011 · effect 0B"};
    QTest::newRow("store settings")
        << fw << QStringList{"> 03" "00200000" "00400000" "00000001" "007FE000" "00000000"}
        << TrafficKind::StoreSettings
        << QStringList{"Store settings · Input Level 0x00200000 · 1st Harmonic Pitch 0x00400000 · "
                       "Wave Clip 0x00000001 · Dominant Notes Cut 0x007FE000 · High Notes Cut 0x00000000"};
    QTest::newRow("assign, every slot")
        << fw << QStringList{"> 04" "0101010101" "0050" "FFFF" "0077" "FFFF" "FFFE"} << TrafficKind::Assign
        << QStringList{"Assign · slots I–V · CTRL I Input Level · CTRL II empty · CTRL III address 0x0077 · "
                       "CTRL IV empty · remote Bypass"};
    QTest::newRow("assign, two slots")
        << fw << QStringList{"> 04" "0100010000" "FFFFFFFFFFFFFFFF" "FFFD"} << TrafficKind::Assign
        << QStringList{"Assign · slots I, III · CTRL I empty · CTRL II empty · CTRL III empty · CTRL IV empty · "
                       "remote Change Preset"};
    QTest::newRow("upgrade-mode request") << fw << QStringList{"> 0500010203040506"} << TrafficKind::UpgradeRequest
                                          << QStringList{"Upgrade-mode request"};
    QTest::newRow("MIDI channel") << fw << QStringList{"> 0710"} << TrafficKind::MidiChannel
                                  << QStringList{"MIDI channel · 16"};
    QTest::newRow("MIDI omni") << fw << QStringList{"> 0700"} << TrafficKind::MidiChannel
                               << QStringList{"MIDI channel · OMNI"};
    QTest::newRow("footswitch") << fw << QStringList{"> 080100"} << TrafficKind::Footswitch
                                << QStringList{"Footswitch · short press Change Preset · long press Change Preset"};
    QTest::newRow("tuning and shift") << fw << QStringList{"> 0903FE"} << TrafficKind::Tuning
                                      << QStringList{"Tuning · tuning 3 · shift -2"};
    QTest::newRow("erase settings memory") << fw << QStringList{"> 0B50000000"} << TrafficKind::EraseSettings
                                           << QStringList{"Erase settings memory · I2C 0x50"};
    QTest::newRow("read settings memory and the dump in two reads")
        << fw << QStringList{"> 0C5100000000", "< AB" + QString(198, '0'), "< " + QString(200, 'F')}
        << TrafficKind::ReadSettings
        << QStringList{"Read settings memory · I2C 0x51", "Memory dump · 100 of 16385 B",
                       "Memory dump · 200 of 16385 B (continued)"};
    QTest::newRow("bypass") << fw << QStringList{"> 0D01"} << TrafficKind::Bypass << QStringList{"Bypass · on"};
    QTest::newRow("tuning data") << fw << QStringList{"> 0E" + QString(1280, '1')} << TrafficKind::TuningData
                                 << QStringList{"Tuning data · 641 B"};
    QTest::newRow("instrument") << fw << QStringList{"> 0FBA0203040506" "B3"} << TrafficKind::Instrument
                                << QStringList{"Instrument · bass · checksum ok"};

    // --- malformed and unknown, to and from the firmware
    QTest::newRow("DSP write cut short") << fw << QStringList{"> 010012"} << TrafficKind::Malformed
                                         << QStringList{"Malformed DSP write · 3 B, should be 7"};
    QTest::newRow("footswitch with a press byte out of range")
        << fw << QStringList{"> 080201"} << TrafficKind::Malformed
        << QStringList{"Malformed Footswitch · press bytes 02 01"};
    QTest::newRow("instrument with a wrong checksum")
        << fw << QStringList{"> 0FFF0102030405" "00"} << TrafficKind::Instrument
        << QStringList{"Instrument · guitar · checksum bad (00, should be F1)"};
    QTest::newRow("status reply with a letter")
        << fw << QStringList{"> 0200", "< " + ascii_hex("1x\r\n")} << TrafficKind::StatusRequest
        << QStringList{"Status request", "Malformed Status reply · byte 78 at 1"};
    QTest::newRow("status reply number above a byte")
        << fw << QStringList{"> 0200", "< " + ascii_hex("256\r\n")} << TrafficKind::StatusRequest
        << QStringList{"Status request", "Malformed Status reply · a number above 255"};
    QTest::newRow("unknown first byte") << fw << QStringList{"> 0601"} << TrafficKind::Unknown
                                        << QStringList{"Unknown · 2 B"};
    QTest::newRow("bytes no request asked for")
        << fw << QStringList{"> 0D00", "< 4142"} << TrafficKind::Bypass
        << QStringList{"Bypass · off", "Unknown · 2 B"};

    // --- the bootloader, one row per command
    QTest::newRow("sync") << boot << QStringList{"> 7F", "< 79"} << TrafficKind::Sync << QStringList{"Sync", "ACK"};
    QTest::newRow("sync refused") << boot << QStringList{"> 7F", "< 1F"} << TrafficKind::Sync
                                  << QStringList{"Sync", "NACK after sync"};
    QTest::newRow("Get") << boot << QStringList{"> 00FF", "< 790C3100010211213143446373829279"}
                         << TrafficKind::Get
                         << QStringList{"Get", "ACK · Get · version 3.1 · commands 00 01 02 11 21 31 43 44 63 73 82 92 · ACK"};
    QTest::newRow("Get Version") << boot << QStringList{"> 01FE", "< 7931000079"} << TrafficKind::GetVersion
                                 << QStringList{"Get Version", "ACK · Get Version · version 3.1 · option bytes 00 00 · ACK"};
    QTest::newRow("Get ID") << boot << QStringList{"> 02FD", "< 7901041079"} << TrafficKind::GetId
                            << QStringList{"Get ID", "ACK · Get ID · product ID 0410 · ACK"};
    QTest::newRow("Read Memory")
        << boot << QStringList{"> 11EE", "< 79", "> 0800010009", "< 79", "> 03FC", "< 7901020304"}
        << TrafficKind::ReadMemory
        << QStringList{"Read Memory", "ACK", "Read Memory · address 0x08000100 · checksum ok", "ACK",
                       "Read Memory · 0x08000100 · 4 B · checksum ok", "ACK · Read Memory · data 4 B"};
    QTest::newRow("Go, address a byte at a time")
        << boot << QStringList{"> 21", "> DE", "< 79", "> 08", "> 00", "> 00", "> 00", "> 08", "< 79"}
        << TrafficKind::Go
        << QStringList{"Go · command byte", "Go", "ACK", "Go · address (1 of 5 B)", "Go · address (2 of 5 B)",
                       "Go · address (3 of 5 B)", "Go · address (4 of 5 B)", "Go · address 0x08000000 · checksum ok",
                       "ACK"};
    QTest::newRow("Write Memory of a chunk")
        << boot
        << QStringList{"> 31", "> CE", "< 79", "> 0800010009", "< 79", "> FF", chunk, "> FF", "< 79"}
        << TrafficKind::WriteMemory
        << QStringList{"Write Memory · command byte", "Write Memory", "ACK",
                       "Write Memory · address 0x08000100 · checksum ok", "ACK", "Write Memory · count 256 B",
                       "Write Memory · data 256 B", "Write Memory · 0x08000100 · 256 B · checksum ok", "ACK"};
    QTest::newRow("Write Memory refused after its address")
        << boot << QStringList{"> 31CE", "< 79", "> 0800010000", "< 1F"} << TrafficKind::WriteMemory
        << QStringList{"Write Memory", "ACK", "Write Memory · address 0x08000100 · checksum bad (00, should be 09)",
                       "NACK after address"};
    QTest::newRow("Erase Memory, global") << boot << QStringList{"> 43BC", "< 79", "> FF00", "< 79"}
                                          << TrafficKind::EraseMemory
                                          << QStringList{"Erase Memory", "ACK", "Erase Memory · global erase", "ACK"};
    QTest::newRow("Erase Memory, pages") << boot << QStringList{"> 43BC", "< 79", "> 01000100", "< 79"}
                                         << TrafficKind::EraseMemory
                                         << QStringList{"Erase Memory", "ACK", "Erase Memory · 2 pages · checksum ok",
                                                        "ACK"};
    QTest::newRow("Extended Erase, mass") << boot << QStringList{"> 44BB", "< 79", "> FFFF00", "< 79"}
                                          << TrafficKind::ExtendedErase
                                          << QStringList{"Extended Erase", "ACK",
                                                         "Extended Erase · mass erase · checksum ok", "ACK"};
    QTest::newRow("Write Protect") << boot << QStringList{"> 639C", "< 79", "> 000202", "< 79"}
                                   << TrafficKind::WriteProtect
                                   << QStringList{"Write Protect", "ACK", "Write Protect · 1 sector · checksum ok", "ACK"};
    QTest::newRow("Write Unprotect") << boot << QStringList{"> 738C", "< 7979"} << TrafficKind::WriteUnprotect
                                     << QStringList{"Write Unprotect", "ACK · ACK"};
    QTest::newRow("Readout Protect") << boot << QStringList{"> 827D", "< 79", "< 79"} << TrafficKind::ReadoutProtect
                                     << QStringList{"Readout Protect", "ACK", "ACK"};
    QTest::newRow("Readout Unprotect") << boot << QStringList{"> 926D", "< 7979"} << TrafficKind::ReadoutUnprotect
                                       << QStringList{"Readout Unprotect", "ACK · ACK"};

    // --- malformed and unknown, to and from the bootloader
    QTest::newRow("command without its complement")
        << boot << QStringList{"> 3100"} << TrafficKind::Malformed
        << QStringList{"Malformed Write Memory · complement 00, should be CE"};
    QTest::newRow("no bootloader command") << boot << QStringList{"> 55AA"} << TrafficKind::Unknown
                                           << QStringList{"Unknown · 2 B"};
    QTest::newRow("reply nobody asked for") << boot << QStringList{"< 79"} << TrafficKind::Unknown
                                            << QStringList{"Unknown · 1 B"};
    QTest::newRow("neither ACK nor NACK") << boot << QStringList{"> 7F", "< 42"} << TrafficKind::Sync
                                          << QStringList{"Sync", "Unknown · 1 B"};
    QTest::newRow("a new exchange starts afresh")
        << boot << QStringList{"> 31", "|", "> 7F", "< 79"} << TrafficKind::WriteMemory
        << QStringList{"Write Memory · command byte", "Sync", "ACK"};
}

void TestTrafficDecoder::decodes()
{
    QFETCH(TrafficLine, line);
    QFETCH(QStringList, steps);
    QFETCH(TrafficKind, kind);
    QFETCH(QStringList, expected);

    TrafficLog log(1000, 1 << 16);
    play(log, {line, steps});
    TrafficDecoder decoder(log);
    decoder.parameter_at = names;
    QStringList texts;
    for (std::uint64_t n = log.first(); n < log.end(); ++n)
        texts << decoder.decode(n).text;
    QCOMPARE(texts, expected);
    QCOMPARE(decoder.kind(log.first()), kind);
}

void TestTrafficDecoder::rowsReadOutOfOrderReadTheSame()
{
    // A view asks for rows in any order; the meaning of a row must not
    // depend on which row was read before it.
    TrafficLog log(1000, 1 << 16);
    play(log, {TrafficLine::Bootloader,
               {"> 31", "> CE", "< 79", "> 0800010009", "< 79", "> 03", "> 01020304", "> 07", "< 79", "|", "> 7F",
                "< 79", "|", "> 43BC", "< 79", "> FF00", "< 79"}});
    TrafficDecoder in_order(log);
    QStringList expected;
    for (std::uint64_t n = log.first(); n < log.end(); ++n)
        expected << in_order.decode(n).text;
    QCOMPARE(expected.at(7), "Write Memory · 0x08000100 · 4 B · checksum ok");

    TrafficDecoder backwards(log);
    for (std::uint64_t n = log.end(); n-- > log.first();) {
        const QString text = backwards.decode(n).text;
        QCOMPARE(text, expected.at(qsizetype(n - log.first())));
    }
    TrafficDecoder jumping(log);
    for (std::uint64_t n : {7u, 2u, 14u, 0u, 8u, 12u}) {
        const QString text = jumping.decode(n).text;
        QCOMPARE(text, expected.at(qsizetype(n)));
    }
}

void TestTrafficDecoder::recordsNoLongerHeldDecodeToNothing()
{
    // The ring keeps three records: the Write Memory's head is gone, and
    // what is left of its exchange is read without guessing.
    TrafficLog log(3, 1 << 16);
    play(log, {TrafficLine::Bootloader, {"> 31", "> CE", "< 79", "> 0800010009", "< 79"}});
    TrafficDecoder decoder(log);
    QCOMPARE(decoder.decode(0).text, QString());
    QCOMPARE(decoder.decode(0).kind, TrafficKind::Unknown);
    QCOMPARE(decoder.decode(2).text, "Unknown · 1 B");
    QCOMPARE(decoder.decode(3).kind, TrafficKind::Unknown);
}

QTEST_GUILESS_MAIN(TestTrafficDecoder)
#include "tst_traffic_decoder.moc"
