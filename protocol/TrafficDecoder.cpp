#include "protocol/TrafficDecoder.h"

#include <QStringList>

#include <array>

namespace quorvane {

namespace {

constexpr std::uint8_t boot_ack = 0x79;
constexpr std::uint8_t boot_nack = 0x1F;
constexpr std::uint8_t boot_sync = 0x7F;
constexpr std::uint8_t dump_marker = 0xAB;
constexpr qsizetype dump_size = 1 + 16384;
// A status reply longer than this is no status reply.
constexpr qsizetype status_reply_cap = 2048;
// How far back the start of an exchange is looked for.
constexpr std::uint64_t exchange_walk_limit = 4096;
constexpr std::size_t cache_rows_limit = 8192;

const QString sep = QStringLiteral(" · ");

QString hex2(std::uint8_t v)
{
    static const char digits[] = "0123456789ABCDEF";
    const char s[2] = {digits[v >> 4], digits[v & 15]};
    return QString::fromLatin1(s, 2);
}

QString hex_n(std::uint32_t v, int digits)
{
    static const char hex[] = "0123456789ABCDEF";
    char s[10] = {'0', 'x'};
    for (int i = 0; i < digits; ++i)
        s[2 + i] = hex[(v >> (4 * (digits - 1 - i))) & 15];
    return QString::fromLatin1(s, 2 + digits);
}

std::uint8_t at(const QByteArray &b, qsizetype i)
{
    return std::uint8_t(b.at(i));
}

std::uint16_t be16(const QByteArray &b, qsizetype i)
{
    return std::uint16_t(at(b, i) << 8 | at(b, i + 1));
}

std::uint32_t be32(const QByteArray &b, qsizetype i)
{
    return std::uint32_t(at(b, i)) << 24 | std::uint32_t(at(b, i + 1)) << 16 | std::uint32_t(at(b, i + 2)) << 8 |
           at(b, i + 3);
}

DecodedTraffic unknown(qsizetype size)
{
    return {TrafficKind::Unknown, QStringLiteral("Unknown") + sep + QString::number(size) + QStringLiteral(" B")};
}

DecodedTraffic malformed(TrafficKind kind, const QString &why)
{
    return {TrafficKind::Malformed, QStringLiteral("Malformed ") + traffic_kind_name(kind) + sep + why};
}

QString parameter_text(std::uint16_t address, const DspParameterLookup &parameter_at, bool *level)
{
    DspParameterName known;
    if (parameter_at)
        known = parameter_at(address);
    if (level)
        *level = known.level;
    if (known.name.isEmpty())
        return QStringLiteral("address ") + hex_n(address, 4);
    return known.name;
}

const std::array<const char *, 5> slot_names = {"I", "II", "III", "IV", "V"};
const std::array<const char *, 5> stored_names = {"Input Level", "1st Harmonic Pitch", "Wave Clip",
                                                  "Dominant Notes Cut", "High Notes Cut"};

// "I–V", "I, III", "II–IV, V"... runs of three or more as a range.
QString slot_list(const std::array<bool, 5> &on)
{
    QStringList parts;
    for (int i = 0; i < 5;) {
        if (!on[std::size_t(i)]) {
            ++i;
            continue;
        }
        int j = i;
        while (j + 1 < 5 && on[std::size_t(j + 1)])
            ++j;
        if (j - i >= 2) {
            parts << QString::fromLatin1(slot_names[std::size_t(i)]) + QChar(0x2013) +
                         QString::fromLatin1(slot_names[std::size_t(j)]);
        } else {
            for (int k = i; k <= j; ++k)
                parts << QString::fromLatin1(slot_names[std::size_t(k)]);
        }
        i = j + 1;
    }
    if (parts.isEmpty())
        return QStringLiteral("no slots");
    return (parts.size() == 1 && !parts.front().contains(QChar(0x2013)) ? QStringLiteral("slot ")
                                                                         : QStringLiteral("slots ")) +
           parts.join(QStringLiteral(", "));
}

struct MessageShape {
    std::uint8_t first;
    TrafficKind kind;
    int size; // 0: any
};

constexpr std::array<MessageShape, 14> message_shapes = {{
    {0x00, TrafficKind::EffectUpload, 0},
    {0x01, TrafficKind::DspWrite, 7},
    {0x02, TrafficKind::StatusRequest, 2},
    {0x03, TrafficKind::StoreSettings, 21},
    {0x04, TrafficKind::Assign, 16},
    {0x05, TrafficKind::UpgradeRequest, 8},
    {0x07, TrafficKind::MidiChannel, 2},
    {0x08, TrafficKind::Footswitch, 3},
    {0x09, TrafficKind::Tuning, 3},
    {0x0B, TrafficKind::EraseSettings, 5},
    {0x0C, TrafficKind::ReadSettings, 6},
    {0x0D, TrafficKind::Bypass, 2},
    {0x0E, TrafficKind::TuningData, 641},
    {0x0F, TrafficKind::Instrument, 8},
}};

QString printable(const QByteArray &bytes)
{
    QString out;
    out.reserve(bytes.size());
    for (char c : bytes) {
        const auto u = std::uint8_t(c);
        if (u == '\r')
            out += QStringLiteral("\\r");
        else if (u == '\n')
            out += QStringLiteral("\\n");
        else if (u >= 0x20 && u < 0x7F)
            out += QChar(u);
        else
            out += QStringLiteral("\\x") + hex2(u);
    }
    return out;
}

// --- the bootloader ---------------------------------------------------------

enum class Step : std::uint8_t {
    Reply,       // ACK or NACK
    Address,     // four address bytes and their XOR
    Block,       // N, N + 1 bytes, checksum (Write Memory, Write Protect)
    EraseArg,    // FF 00, or N, N + 1 page numbers, checksum
    ExtEraseArg, // two-byte N (FFFx special) and checksum, or its pages
    ReadCount,   // N and its complement
    ListData,    // N, then N + 1 bytes (Get, Get ID)
    VersionData, // three bytes (Get Version)
    ReadData,    // the N + 1 bytes read (Read Memory)
};

struct BootCommand {
    std::uint8_t code;
    TrafficKind kind;
    std::vector<Step> steps; // after the command pair; replies named below
};

const std::vector<BootCommand> &boot_commands()
{
    using S = Step;
    static const std::vector<BootCommand> commands = {
        {0x00, TrafficKind::Get, {S::Reply, S::ListData, S::Reply}},
        {0x01, TrafficKind::GetVersion, {S::Reply, S::VersionData, S::Reply}},
        {0x02, TrafficKind::GetId, {S::Reply, S::ListData, S::Reply}},
        {0x11, TrafficKind::ReadMemory, {S::Reply, S::Address, S::Reply, S::ReadCount, S::Reply, S::ReadData}},
        {0x21, TrafficKind::Go, {S::Reply, S::Address, S::Reply}},
        {0x31, TrafficKind::WriteMemory, {S::Reply, S::Address, S::Reply, S::Block, S::Reply}},
        {0x43, TrafficKind::EraseMemory, {S::Reply, S::EraseArg, S::Reply}},
        {0x44, TrafficKind::ExtendedErase, {S::Reply, S::ExtEraseArg, S::Reply}},
        {0x63, TrafficKind::WriteProtect, {S::Reply, S::Block, S::Reply}},
        {0x73, TrafficKind::WriteUnprotect, {S::Reply, S::Reply}},
        {0x82, TrafficKind::ReadoutProtect, {S::Reply, S::Reply}},
        {0x92, TrafficKind::ReadoutUnprotect, {S::Reply, S::Reply}},
    };
    return commands;
}

const BootCommand *boot_command(std::uint8_t code)
{
    for (const BootCommand &c : boot_commands())
        if (c.code == code)
            return &c;
    return nullptr;
}

QString step_name(Step s)
{
    switch (s) {
    case Step::Address: return QStringLiteral("address");
    case Step::Block: return QStringLiteral("data");
    case Step::EraseArg:
    case Step::ExtEraseArg: return QStringLiteral("erase argument");
    case Step::ReadCount: return QStringLiteral("count");
    case Step::ListData:
    case Step::VersionData:
    case Step::ReadData: return QStringLiteral("data");
    case Step::Reply: break;
    }
    return QStringLiteral("command");
}

std::uint8_t xor_of(const QByteArray &b, qsizetype from, qsizetype to)
{
    std::uint8_t x = 0;
    for (qsizetype i = from; i < to; ++i)
        x ^= at(b, i);
    return x;
}

QString count_of(qsizetype n, const char *what)
{
    return QString::number(n) + QLatin1Char(' ') + QString::fromLatin1(what) + (n == 1 ? QString() : QStringLiteral("s"));
}

QString checksum_text(std::uint8_t got, std::uint8_t want)
{
    if (got == want)
        return QStringLiteral("checksum ok");
    return QStringLiteral("checksum bad (") + hex2(got) + QStringLiteral(", should be ") + hex2(want) +
           QLatin1Char(')');
}

} // namespace

QString traffic_kind_name(TrafficKind kind)
{
    switch (kind) {
    case TrafficKind::EffectUpload: return QStringLiteral("Effect upload");
    case TrafficKind::DspWrite: return QStringLiteral("DSP write");
    case TrafficKind::StatusRequest: return QStringLiteral("Status request");
    case TrafficKind::StoreSettings: return QStringLiteral("Store settings");
    case TrafficKind::Assign: return QStringLiteral("Assign");
    case TrafficKind::UpgradeRequest: return QStringLiteral("Upgrade-mode request");
    case TrafficKind::MidiChannel: return QStringLiteral("MIDI channel");
    case TrafficKind::Footswitch: return QStringLiteral("Footswitch");
    case TrafficKind::Tuning: return QStringLiteral("Tuning");
    case TrafficKind::EraseSettings: return QStringLiteral("Erase settings memory");
    case TrafficKind::ReadSettings: return QStringLiteral("Read settings memory");
    case TrafficKind::Bypass: return QStringLiteral("Bypass");
    case TrafficKind::TuningData: return QStringLiteral("Tuning data");
    case TrafficKind::Instrument: return QStringLiteral("Instrument");
    case TrafficKind::StatusReply: return QStringLiteral("Status reply");
    case TrafficKind::UploadAnswer: return QStringLiteral("Upload answer");
    case TrafficKind::MemoryDump: return QStringLiteral("Memory dump");
    case TrafficKind::Sync: return QStringLiteral("Sync");
    case TrafficKind::Get: return QStringLiteral("Get");
    case TrafficKind::GetVersion: return QStringLiteral("Get Version");
    case TrafficKind::GetId: return QStringLiteral("Get ID");
    case TrafficKind::ReadMemory: return QStringLiteral("Read Memory");
    case TrafficKind::Go: return QStringLiteral("Go");
    case TrafficKind::WriteMemory: return QStringLiteral("Write Memory");
    case TrafficKind::EraseMemory: return QStringLiteral("Erase Memory");
    case TrafficKind::ExtendedErase: return QStringLiteral("Extended Erase");
    case TrafficKind::WriteProtect: return QStringLiteral("Write Protect");
    case TrafficKind::WriteUnprotect: return QStringLiteral("Write Unprotect");
    case TrafficKind::ReadoutProtect: return QStringLiteral("Readout Protect");
    case TrafficKind::ReadoutUnprotect: return QStringLiteral("Readout Unprotect");
    case TrafficKind::Ack: return QStringLiteral("ACK");
    case TrafficKind::Nack: return QStringLiteral("NACK");
    case TrafficKind::Malformed: return QStringLiteral("Malformed");
    case TrafficKind::Unknown: break;
    }
    return QStringLiteral("Unknown");
}

QString traffic_hex(const QByteArray &bytes, int max_bytes)
{
    const qsizetype shown = max_bytes < 0 ? bytes.size() : std::min<qsizetype>(bytes.size(), max_bytes);
    static const char digits[] = "0123456789ABCDEF";
    QByteArray text;
    text.reserve(shown * 3);
    for (qsizetype i = 0; i < shown; ++i) {
        if (i > 0)
            text += ' ';
        text += digits[at(bytes, i) >> 4];
        text += digits[at(bytes, i) & 15];
    }
    QString out = QString::fromLatin1(text);
    if (shown < bytes.size())
        out += QStringLiteral(" \u2026 (%1 B)").arg(bytes.size());
    return out;
}

DecodedTraffic decode_firmware_message(const QByteArray &b, const DspParameterLookup &parameter_at)
{
    if (b.isEmpty())
        return unknown(0);
    const MessageShape *shape = nullptr;
    for (const MessageShape &s : message_shapes)
        if (s.first == at(b, 0))
            shape = &s;
    if (!shape)
        return unknown(b.size());
    const TrafficKind kind = shape->kind;
    if (shape->size != 0 && b.size() != shape->size)
        return malformed(kind, QStringLiteral("%1 B, should be %2").arg(b.size()).arg(shape->size));
    const QString name = traffic_kind_name(kind);

    switch (kind) {
    case TrafficKind::EffectUpload:
    case TrafficKind::TuningData:
        return {kind, name + sep + QString::number(b.size()) + QStringLiteral(" B")};
    case TrafficKind::DspWrite: {
        bool level = false;
        const QString parameter = parameter_text(be16(b, 1), parameter_at, &level);
        const std::uint32_t word = be32(b, 3);
        QString text = name + sep + parameter + sep + hex_n(word, 8);
        if (level && (word & 0x1FFF) == 0 && (word >> 13) <= 1023)
            text += QStringLiteral(" (level ") + QString::number(word >> 13) + QLatin1Char(')');
        return {kind, text};
    }
    case TrafficKind::StatusRequest:
        if (at(b, 1) != 0)
            return malformed(kind, QStringLiteral("second byte ") + hex2(at(b, 1)));
        return {kind, name};
    case TrafficKind::StoreSettings: {
        QString text = name;
        for (int i = 0; i < 5; ++i)
            text += sep + QString::fromLatin1(stored_names[std::size_t(i)]) + QLatin1Char(' ') +
                    hex_n(be32(b, 1 + 4 * i), 8);
        return {kind, text};
    }
    case TrafficKind::Assign: {
        std::array<bool, 5> on{};
        for (int i = 0; i < 5; ++i) {
            const std::uint8_t flag = at(b, 1 + i);
            if (flag > 1)
                return malformed(kind, QStringLiteral("slot flag ") + hex2(flag));
            on[std::size_t(i)] = flag == 1;
        }
        QString text = name + sep + slot_list(on);
        for (int i = 0; i < 4; ++i) {
            const std::uint16_t address = be16(b, 6 + 2 * i);
            text += sep + QStringLiteral("CTRL ") + QString::fromLatin1(slot_names[std::size_t(i)]) +
                    QLatin1Char(' ') +
                    (address == 0xFFFF ? QStringLiteral("empty") : parameter_text(address, parameter_at, nullptr));
        }
        const std::uint16_t remote = be16(b, 14);
        text += sep + QStringLiteral("remote ");
        if (remote == 0xFFFF)
            text += QStringLiteral("empty");
        else if (remote == 0xFFFE)
            text += QStringLiteral("Bypass");
        else if (remote == 0xFFFD)
            text += QStringLiteral("Change Preset");
        else
            text += QStringLiteral("unknown ") + hex_n(remote, 4);
        return {kind, text};
    }
    case TrafficKind::UpgradeRequest:
        if (b != QByteArray::fromHex("0500010203040506"))
            return malformed(kind, QStringLiteral("not the upgrade key"));
        return {kind, name};
    case TrafficKind::MidiChannel: {
        const std::uint8_t c = at(b, 1);
        if (c > 16)
            return malformed(kind, QStringLiteral("channel byte ") + hex2(c));
        return {kind, name + sep + (c == 0 ? QStringLiteral("OMNI") : QString::number(c))};
    }
    case TrafficKind::Footswitch: {
        const std::uint8_t s = at(b, 1), l = at(b, 2);
        if (s > 1 || l > 1)
            return malformed(kind, QStringLiteral("press bytes ") + hex2(s) + QLatin1Char(' ') + hex2(l));
        return {kind, name + sep + QStringLiteral("short press ") +
                          (s == 0 ? QStringLiteral("Bypass") : QStringLiteral("Change Preset")) + sep +
                          QStringLiteral("long press ") +
                          (l == 1 ? QStringLiteral("Bypass") : QStringLiteral("Change Preset"))};
    }
    case TrafficKind::Tuning: {
        const int shift = std::int8_t(at(b, 2));
        return {kind, name + sep + QStringLiteral("tuning ") + QString::number(at(b, 1)) + sep +
                          QStringLiteral("shift ") + (shift > 0 ? QStringLiteral("+") : QString()) +
                          QString::number(shift)};
    }
    case TrafficKind::EraseSettings:
    case TrafficKind::ReadSettings: {
        for (qsizetype i = 2; i < b.size(); ++i)
            if (at(b, i) != 0)
                return malformed(kind, QStringLiteral("byte %1 is %2").arg(i).arg(hex2(at(b, i))));
        return {kind, name + sep + QStringLiteral("I2C ") + hex_n(at(b, 1), 2)};
    }
    case TrafficKind::Bypass:
        if (at(b, 1) > 1)
            return malformed(kind, QStringLiteral("state byte ") + hex2(at(b, 1)));
        return {kind, name + sep + (at(b, 1) ? QStringLiteral("on") : QStringLiteral("off"))};
    case TrafficKind::Instrument: {
        QString which;
        if (b.left(7) == QByteArray::fromHex("0FFF0102030405"))
            which = QStringLiteral("guitar");
        else if (b.left(7) == QByteArray::fromHex("0FBA0203040506"))
            which = QStringLiteral("bass");
        else
            return malformed(kind, QStringLiteral("instrument code ") + hex2(at(b, 1)));
        return {kind, name + sep + which + sep + checksum_text(at(b, 7), xor_of(b, 0, 7))};
    }
    default: break;
    }
    return unknown(b.size());
}

// --- decoding in the light of the exchange ---------------------------------

struct TrafficDecoder::State {
    // the pedal's firmware
    bool has_request = false;
    TrafficKind request = TrafficKind::Unknown;
    QByteArray reply; // status reply or upload answer so far
    qsizetype dump_received = 0;
    bool dump = false;

    // the bootloader
    const BootCommand *command = nullptr;
    bool sync = false;           // the step list is the sync's single reply
    int pending_command = -1;    // a command byte waiting for its complement
    std::size_t step = 0;
    QByteArray part;             // bytes of the step in progress
    std::uint32_t address = 0;   // from the address step
    int read_count = 0;          // N + 1 of a Read Memory

    bool idle() const { return !command && !sync; }
    std::size_t step_count() const { return sync ? 1 : command ? command->steps.size() : 0; }
    Step current() const { return sync ? Step::Reply : command->steps[step]; }
    TrafficKind kind() const { return sync ? TrafficKind::Sync : command ? command->kind : TrafficKind::Unknown; }
    QString name() const { return traffic_kind_name(kind()); }
    void finish()
    {
        command = nullptr;
        sync = false;
        step = 0;
        part.clear();
    }
    void advance()
    {
        part.clear();
        if (++step >= step_count())
            finish();
    }
};

namespace {

using State = TrafficDecoder::State;

// How many bytes the step in progress needs, given those it has; 0 while
// that cannot be told yet.
qsizetype needed(const State &s, Step step)
{
    const QByteArray &p = s.part;
    switch (step) {
    case Step::Address: return 5;
    case Step::ReadCount: return 2;
    case Step::VersionData: return 3;
    case Step::ReadData: return s.read_count;
    case Step::Block:
    case Step::ListData:
        if (p.isEmpty())
            return 0;
        return qsizetype(at(p, 0)) + (step == Step::Block ? 3 : 2);
    case Step::EraseArg:
        if (p.isEmpty())
            return 0;
        return at(p, 0) == 0xFF ? 2 : qsizetype(at(p, 0)) + 3;
    case Step::ExtEraseArg: {
        if (p.size() < 2)
            return 0;
        const std::uint16_t n = be16(p, 0);
        return n >= 0xFFF0 ? 3 : 2 + 2 * (qsizetype(n) + 1) + 1;
    }
    case Step::Reply: break;
    }
    return 1;
}

DecodedTraffic complete_step(State &s, Step step)
{
    const QByteArray &p = s.part;
    const TrafficKind kind = s.kind();
    const QString name = s.name();
    switch (step) {
    case Step::Address: {
        s.address = be32(p, 0);
        return {kind, name + sep + QStringLiteral("address ") + hex_n(s.address, 8) + sep +
                          checksum_text(at(p, 4), xor_of(p, 0, 4))};
    }
    case Step::Block: {
        const qsizetype n = qsizetype(at(p, 0)) + 1;
        const QString sum = checksum_text(at(p, p.size() - 1), xor_of(p, 0, p.size() - 1));
        if (kind == TrafficKind::WriteMemory)
            return {kind, name + sep + hex_n(s.address, 8) + sep + QString::number(n) + QStringLiteral(" B") + sep +
                              sum};
        return {kind, name + sep + count_of(n, "sector") + sep + sum};
    }
    case Step::EraseArg:
        if (at(p, 0) == 0xFF)
            return {kind, name + sep + (at(p, 1) == 0x00 ? QStringLiteral("global erase")
                                                         : QStringLiteral("global erase, ") +
                                                               checksum_text(at(p, 1), 0x00))};
        return {kind, name + sep + count_of(qsizetype(at(p, 0)) + 1, "page") + sep +
                          checksum_text(at(p, p.size() - 1), xor_of(p, 0, p.size() - 1))};
    case Step::ExtEraseArg: {
        const std::uint16_t n = be16(p, 0);
        const QString sum = checksum_text(at(p, p.size() - 1), xor_of(p, 0, p.size() - 1));
        if (n == 0xFFFF)
            return {kind, name + sep + QStringLiteral("mass erase") + sep + sum};
        if (n == 0xFFFE)
            return {kind, name + sep + QStringLiteral("bank 1 erase") + sep + sum};
        if (n == 0xFFFD)
            return {kind, name + sep + QStringLiteral("bank 2 erase") + sep + sum};
        if (n >= 0xFFF0)
            return {kind, name + sep + QStringLiteral("reserved code ") + hex_n(n, 4) + sep + sum};
        return {kind, name + sep + count_of(qsizetype(n) + 1, "page") + sep + sum};
    }
    case Step::ReadCount: {
        s.read_count = int(at(p, 0)) + 1;
        return {kind, name + sep + hex_n(s.address, 8) + sep + QString::number(s.read_count) + QStringLiteral(" B") +
                          sep + checksum_text(at(p, 1), std::uint8_t(at(p, 0) ^ 0xFF))};
    }
    case Step::ListData:
        if (kind == TrafficKind::Get) {
            QString text = name + sep + QStringLiteral("version ") + QString::number(at(p, 1) >> 4) +
                           QLatin1Char('.') + QString::number(at(p, 1) & 15) + sep + QStringLiteral("commands");
            for (qsizetype i = 2; i < p.size(); ++i)
                text += QLatin1Char(' ') + hex2(at(p, i));
            return {kind, text};
        } else {
            QString text = name + sep + QStringLiteral("product ID ");
            for (qsizetype i = 1; i < p.size(); ++i)
                text += hex2(at(p, i));
            return {kind, text};
        }
    case Step::VersionData:
        return {kind, name + sep + QStringLiteral("version ") + QString::number(at(p, 0) >> 4) + QLatin1Char('.') +
                          QString::number(at(p, 0) & 15) + sep + QStringLiteral("option bytes ") + hex2(at(p, 1)) +
                          QLatin1Char(' ') + hex2(at(p, 2))};
    case Step::ReadData:
        return {kind, name + sep + QStringLiteral("data ") + QString::number(p.size()) + QStringLiteral(" B")};
    case Step::Reply: break;
    }
    return unknown(p.size());
}

DecodedTraffic partial_step(const State &s, Step step)
{
    const qsizetype need = needed(s, step);
    if (step == Step::Block) {
        // Counted in data bytes, without the count and the checksum.
        const qsizetype n = qsizetype(at(s.part, 0)) + 1;
        if (s.part.size() == 1)
            return {s.kind(), s.name() + sep + QStringLiteral("count ") + QString::number(n) + QStringLiteral(" B")};
        const qsizetype have = std::min(s.part.size() - 1, n);
        if (have == n)
            return {s.kind(), s.name() + sep + QStringLiteral("data ") + QString::number(n) + QStringLiteral(" B")};
        return {s.kind(), s.name() + sep + QStringLiteral("data (") + QString::number(have) + QStringLiteral(" of ") +
                              QString::number(n) + QStringLiteral(" B)")};
    }
    QString text = s.name() + sep + step_name(step) + QStringLiteral(" (") + QString::number(s.part.size());
    if (need > 0)
        text += QStringLiteral(" of ") + QString::number(need);
    return {s.kind(), text + QStringLiteral(" B)")};
}

// Feeds one bootloader record; the events it completed, or the step it
// left in progress.
DecodedTraffic feed_bootloader(State &s, const TrafficRecord &r)
{
    std::vector<DecodedTraffic> events;
    qsizetype unknown_bytes = 0;
    auto flush_unknown = [&] {
        if (unknown_bytes > 0)
            events.push_back(unknown(unknown_bytes));
        unknown_bytes = 0;
    };
    const bool out = r.direction == TrafficDirection::Out;
    const qsizetype size = r.bytes.size();
    for (qsizetype i = 0; i < size; ++i) {
        const auto b = std::uint8_t(r.bytes.at(i));
        if (out && s.pending_command >= 0) {
            const auto code = std::uint8_t(s.pending_command);
            s.pending_command = -1;
            if (b == std::uint8_t(~code)) {
                flush_unknown();
                s.command = boot_command(code);
                s.step = 0;
                s.part.clear();
                events.push_back({s.command->kind, traffic_kind_name(s.command->kind)});
                continue;
            }
            flush_unknown();
            events.push_back(malformed(boot_command(code)->kind,
                                       QStringLiteral("complement ") + hex2(b) + QStringLiteral(", should be ") +
                                           hex2(std::uint8_t(~code))));
            continue;
        }
        if (s.idle()) {
            if (out && b == boot_sync) {
                flush_unknown();
                s.sync = true;
                s.step = 0;
                events.push_back({TrafficKind::Sync, traffic_kind_name(TrafficKind::Sync)});
            } else if (out && boot_command(b)) {
                s.pending_command = b;
            } else {
                ++unknown_bytes;
            }
            continue;
        }
        const Step step = s.current();
        const bool step_is_out = step == Step::Address || step == Step::Block || step == Step::EraseArg ||
                                 step == Step::ExtEraseArg || step == Step::ReadCount;
        if (step == Step::Reply) {
            if (out) {
                ++unknown_bytes;
                continue;
            }
            flush_unknown();
            if (b == boot_ack) {
                events.push_back({TrafficKind::Ack, QStringLiteral("ACK")});
                s.advance();
            } else if (b == boot_nack) {
                // Which part of the command was refused.
                QString after = QStringLiteral("sync");
                if (!s.sync)
                    after = s.step == 0 ? QStringLiteral("command") : step_name(s.command->steps[s.step - 1]);
                events.push_back({TrafficKind::Nack, QStringLiteral("NACK after ") + after});
                s.finish();
            } else {
                ++unknown_bytes;
                s.finish();
            }
            continue;
        }
        if (out != step_is_out) {
            ++unknown_bytes;
            continue;
        }
        // A step whose length is known takes its bytes in one go.
        qsizetype need = needed(s, step);
        const qsizetype take = need > s.part.size() ? std::min(need - s.part.size(), size - i) : 1;
        s.part.append(r.bytes.constData() + i, take);
        i += take - 1;
        need = needed(s, step);
        if (need > 0 && s.part.size() >= need) {
            flush_unknown();
            events.push_back(complete_step(s, step));
            s.advance();
        }
    }
    flush_unknown();

    if (events.empty()) {
        if (s.pending_command >= 0) {
            const TrafficKind kind = boot_command(std::uint8_t(s.pending_command))->kind;
            return {kind, traffic_kind_name(kind) + sep + QStringLiteral("command byte")};
        }
        if (!s.idle() && !s.part.isEmpty())
            return partial_step(s, s.current());
        return unknown(r.bytes.size());
    }
    DecodedTraffic row = events.front();
    for (std::size_t i = 1; i < events.size(); ++i)
        row.text += sep + events[i].text;
    return row;
}

DecodedTraffic status_reply(const QByteArray &reply)
{
    const QString name = traffic_kind_name(TrafficKind::StatusReply);
    std::vector<int> values;
    int value = -1;
    for (qsizetype i = 0; i < reply.size(); ++i) {
        const char c = reply.at(i);
        if (c >= '0' && c <= '9') {
            value = (value < 0 ? 0 : value * 10) + (c - '0');
            if (value > 255)
                return malformed(TrafficKind::StatusReply, QStringLiteral("a number above 255"));
        } else if (c == '\r' && i + 1 < reply.size() && reply.at(i + 1) == '\n' && value >= 0) {
            values.push_back(value);
            value = -1;
            ++i;
        } else if (c == '\r' && i + 1 == reply.size() && value >= 0) {
            break; // its line feed is still on the way
        } else {
            return malformed(TrafficKind::StatusReply,
                             QStringLiteral("byte ") + hex2(std::uint8_t(c)) + QStringLiteral(" at %1").arg(i));
        }
    }
    if (!reply.endsWith("\r\n"))
        return {TrafficKind::StatusReply, name + QStringLiteral(" (part)") + sep + QString::number(values.size()) +
                                              QStringLiteral(" values so far")};
    QString text = name + sep + QString::number(values.size()) + QStringLiteral(" values");
    if (values.size() >= 4)
        text += sep + QStringLiteral("firmware ") + QString::number(values[0]) + sep + QStringLiteral("algorithm ") +
                hex2(std::uint8_t(values[1])) + hex2(std::uint8_t(values[2])) + sep + QStringLiteral("effect ") +
                hex2(std::uint8_t(values[3]));
    return {TrafficKind::StatusReply, text};
}

DecodedTraffic feed_firmware(State &s, const TrafficRecord &r, const DspParameterLookup &parameter_at)
{
    if (r.direction == TrafficDirection::Out) {
        DecodedTraffic row = decode_firmware_message(r.bytes, parameter_at);
        if (!s.has_request) {
            s.has_request = true;
            s.request = row.kind;
        }
        return row;
    }
    if (s.dump || (s.dump_received == 0 && s.reply.isEmpty() && !r.bytes.isEmpty() && at(r.bytes, 0) == dump_marker)) {
        const bool first = !s.dump;
        s.dump = true;
        s.dump_received += r.bytes.size();
        if (s.dump_received > dump_size) {
            s.dump = false;
            return unknown(r.bytes.size());
        }
        if (s.dump_received == dump_size)
            s.dump = false;
        return {TrafficKind::MemoryDump, traffic_kind_name(TrafficKind::MemoryDump) + sep +
                                             QString::number(s.dump_received) + QStringLiteral(" of ") +
                                             QString::number(dump_size) + QStringLiteral(" B") +
                                             (first ? QString() : QStringLiteral(" (continued)"))};
    }
    if (s.request == TrafficKind::StatusRequest && s.reply.size() + r.bytes.size() <= status_reply_cap) {
        s.reply += r.bytes;
        return status_reply(s.reply);
    }
    if (s.request == TrafficKind::EffectUpload && s.reply.size() + r.bytes.size() <= status_reply_cap) {
        s.reply += r.bytes;
        return {TrafficKind::UploadAnswer,
                traffic_kind_name(TrafficKind::UploadAnswer) + sep + QLatin1Char('"') + printable(r.bytes) +
                    QLatin1Char('"')};
    }
    return unknown(r.bytes.size());
}

} // namespace

void TrafficDecoder::feed(const TrafficRecord &record)
{
    State &s = *m_cache.state;
    m_cache.rows.push_back(record.line == TrafficLine::Bootloader ? feed_bootloader(s, record)
                                                                  : feed_firmware(s, record, parameter_at));
}

DecodedTraffic TrafficDecoder::decode(std::uint64_t number)
{
    TrafficRecord head;
    if (!m_log.header(number, head))
        return {TrafficKind::Unknown, {}};
    Cache &c = m_cache;
    const bool same = c.valid && c.exchange == head.exchange && c.line == head.line && number >= c.first &&
                      m_log.holds(c.first);
    if (same && number < c.first + c.rows.size())
        return c.rows[std::size_t(number - c.first)];
    if (!same) {
        std::uint64_t first = number;
        TrafficRecord before;
        while (first > m_log.first() && number - first < exchange_walk_limit && m_log.header(first - 1, before) &&
               before.exchange == head.exchange && before.line == head.line)
            --first;
        c = Cache{};
        c.valid = true;
        c.exchange = head.exchange;
        c.line = head.line;
        c.first = first;
        c.state = std::make_shared<State>();
    }
    for (std::uint64_t n = c.first + c.rows.size(); n <= number; ++n) {
        m_log.record(n, m_scratch);
        feed(m_scratch);
    }
    DecodedTraffic row = c.rows.back();
    if (c.rows.size() > cache_rows_limit) {
        const std::size_t drop = c.rows.size() / 2;
        c.rows.erase(c.rows.begin(), c.rows.begin() + std::ptrdiff_t(drop));
        c.first += drop;
    }
    return row;
}

} // namespace quorvane
