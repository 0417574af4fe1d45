#include "simulator/PedalFirmware.h"

#include "simulator/PedalData.h"

#include <algorithm>

namespace quorvane {

using pedal::be16;
using pedal::be32;
using pedal::hex;
using pedal::put16;
using pedal::put32;
using pedal::xorOf;

namespace {

// Settings memory (I2C 0x50) layout; an erased memory reads 0xFF everywhere.
constexpr int kAlgorithmAt = 0x0000;   // 2 bytes, one decimal digit per nibble
constexpr int kImageLengthAt = 0x0002; // 2 bytes
constexpr int kEffectAt = 0x0004;
constexpr int kSettingsMarkAt = 0x000F; // kMark when the block below is valid
constexpr int kFootswitchAt = 0x0010;
constexpr int kSlotFlagsAt = 0x0011;   // 5 bytes
constexpr int kSlotAddressesAt = 0x0016; // 5 x 2 bytes
constexpr int kTuningAt = 0x0020;
constexpr int kSemitonesAt = 0x0021;
constexpr int kInstrumentAt = 0x0022;
constexpr int kMidiAt = 0x0023;
constexpr int kWordsMarkAt = 0x002F;
constexpr int kWordsAt = 0x0030;       // 5 x 4 bytes: the stored assignable words
constexpr int kTuningMarkAt = 0x00FF;
constexpr int kTuningDataAt = 0x0100;  // 640 bytes
constexpr int kImageAt = 0x0400;       // the effect image, up to the end
constexpr std::uint8_t kMark = 0xA5;
constexpr int kTuningDataSize = 640;

// Stray bytes follow the status reply this long after its last byte.
constexpr qint64 kStrayAfterStatusUs = 20000;

// Effect image header.
constexpr int kImageHeader = 37;
constexpr int kProgramHeader = 8;

// Parameter table rows whose report is a step number, and their step counts.
constexpr int kLowPass = 5, kHighPass = 6, kRange = 9;

constexpr std::array<std::uint32_t, 15> kDefaultWords = {
    0x00400000, 0x00400000, 0x00400000, 0x00000000, // Dry, Sub Mix, -1 Oct, -2 Oct
    0x00400000, 0x007FE000, 0x00000000, 0x00000000, // Wave (on), Low Pass, High Pass, 1st Harmonic
    0x00000000, 0x00400000,                         // Split, Range
    0x00400000, 0x00400000, 0x00400000, 0x00000000, 0x00000000, // Input Level .. High Notes Cut
};

// The step that a dial word stands for: the nearest step to level * steps / 1023.
std::uint32_t wordToStep(std::uint32_t word, std::uint32_t steps)
{
    const std::uint32_t level = std::min<std::uint32_t>(word >> 13, 1023);
    return (level * steps * 2 + 1023) / 2046;
}

} // namespace

PedalFirmware::PedalFirmware(const PedalOptions &options, PedalOutlet &outlet)
    : m_options(options), m_outlet(outlet)
{
    m_memory50 = QByteArray(memory_size, char(0xFF));
    m_memory51 = QByteArray(memory_size, char(0xFF));
    if (options.algorithm != 0) {
        const QByteArray image = pedal::builtInEffectImage(options.algorithm);
        if (image.isEmpty() || !loadEffect(image, true))
            put16(m_memory50, kAlgorithmAt, pedal::toDigits(options.algorithm)); // number only, no program
    }
    m_memory50[kEffectAt] = char(pedal::toDigits(options.effect) & 0xFF);
}

void PedalFirmware::start(int version, qint64 at)
{
    m_version = version;
    m_dspWrites = 0;
    m_message.clear();
    m_lastByteAt = at;
    loadSettingsFromMemory();
    m_outlet.note(QStringLiteral("firmware %1 running, algorithm %2")
                      .arg(m_version)
                      .arg(m_algorithm, 4, 16, QChar('0')));
}

void PedalFirmware::loadSettingsFromMemory()
{
    m_settings = Settings{};
    m_settings.words = kDefaultWords;
    m_fields.clear();
    const std::uint16_t algorithm = be16(m_memory50, kAlgorithmAt);
    m_algorithm = algorithm == 0xFFFF ? 0 : algorithm;
    const std::uint8_t effect = std::uint8_t(m_memory50[kEffectAt]);
    m_effect = effect == 0xFF ? 0 : (effect >> 4) * 10 + (effect & 0x0F);
    if (m_algorithm != 0) {
        const int length = be16(m_memory50, kImageLengthAt);
        if (length != 0xFFFF && kImageAt + length <= memory_size)
            loadEffect(m_memory50.mid(kImageAt, length), false);
    }
    if (std::uint8_t(m_memory50[kSettingsMarkAt]) == kMark) {
        m_settings.footswitchMode = std::uint8_t(m_memory50[kFootswitchAt]);
        for (int k = 0; k < 5; ++k) {
            m_settings.slotFlags[k] = std::uint8_t(m_memory50[kSlotFlagsAt + k]);
            m_settings.slotAddresses[k] = be16(m_memory50, kSlotAddressesAt + 2 * k);
        }
        m_settings.tuning = std::uint8_t(m_memory50[kTuningAt]);
        m_settings.semitones = std::int8_t(m_memory50[kSemitonesAt]);
        m_settings.instrument = std::uint8_t(m_memory50[kInstrumentAt]);
        m_settings.midiChannel = std::uint8_t(m_memory50[kMidiAt]);
    }
    if (std::uint8_t(m_memory50[kWordsMarkAt]) == kMark) {
        for (int i = 0; i < 5; ++i)
            m_settings.words[10 + i] = be32(m_memory50, kWordsAt + 4 * i);
    }
}

void PedalFirmware::storeSettings()
{
    m_memory50[kSettingsMarkAt] = char(kMark);
    m_memory50[kFootswitchAt] = char(m_settings.footswitchMode);
    for (int k = 0; k < 5; ++k) {
        m_memory50[kSlotFlagsAt + k] = char(m_settings.slotFlags[k]);
        put16(m_memory50, kSlotAddressesAt + 2 * k, m_settings.slotAddresses[k]);
    }
    m_memory50[kTuningAt] = char(m_settings.tuning);
    m_memory50[kSemitonesAt] = char(m_settings.semitones);
    m_memory50[kInstrumentAt] = char(m_settings.instrument);
    m_memory50[kMidiAt] = char(m_settings.midiChannel);
}

std::array<std::uint32_t, 5> PedalFirmware::storedWords() const
{
    std::array<std::uint32_t, 5> out{};
    if (std::uint8_t(m_memory50[kWordsMarkAt]) != kMark)
        out.fill(0xFFFFFFFF);
    else
        for (int i = 0; i < 5; ++i)
            out[size_t(i)] = be32(m_memory50, kWordsAt + 4 * i);
    return out;
}

QByteArray PedalFirmware::tuningData() const
{
    if (std::uint8_t(m_memory50[kTuningMarkAt]) != kMark)
        return {};
    return m_memory50.mid(kTuningDataAt, kTuningDataSize);
}

QByteArray PedalFirmware::settingsMemory(std::uint8_t i2cAddress) const
{
    return i2cAddress == 0x51 ? m_memory51 : m_memory50;
}

bool PedalFirmware::loadEffect(const QByteArray &image, bool store)
{
    const int size = int(image.size());
    if (size < kImageHeader + kProgramHeader + 2 || kImageAt + size > memory_size)
        return false;
    if (image[0] != 0 || be16(image, 1) != size)
        return false;
    if (image.mid(kImageHeader, 4) != "KQ5A" || be16(image, kImageHeader + 6) != size - 47)
        return false;
    std::uint16_t sum = 0;
    for (int i = kImageHeader; i < size - 2; ++i)
        sum = std::uint16_t(sum + std::uint8_t(image[i]));
    if (sum != be16(image, size - 2))
        return false;
    m_algorithm = be16(image, kImageHeader + 4);
    m_fields.clear();
    for (int i = 0; i < 17; ++i)
        m_fields << be16(image, 3 + 2 * i);
    if (store) {
        put16(m_memory50, kAlgorithmAt, m_algorithm);
        put16(m_memory50, kImageLengthAt, std::uint16_t(size));
        m_memory50.replace(kImageAt, size, image);
    }
    return true;
}

int PedalFirmware::parameterForAddress(std::uint16_t address) const
{
    // Fields in image order: nine plain parameters, Range, two unused, five assignable.
    for (int i = 0; i < int(m_fields.size()); ++i) {
        if (m_fields[i] != address || i == 10 || i == 11)
            continue;
        return i < 10 ? i : i - 2;
    }
    return -1;
}

void PedalFirmware::ignore(const QByteArray &m, const QString &why)
{
    ++m_ignored;
    m_outlet.note(QStringLiteral("ignored (%1): %2").arg(why, hex(m)));
}

void PedalFirmware::lineError()
{
    if (!m_message.isEmpty())
        ignore(m_message, QStringLiteral("broken by a line error"));
    m_message.clear();
}

int PedalFirmware::messageLength() const
{
    switch (std::uint8_t(m_message[0])) {
    case 0x00:
        return m_message.size() < 3 ? 3 : std::max<int>(3, be16(m_message, 1));
    case 0x01: return 7;
    case 0x02: return 2;
    case 0x03: return 21;
    case 0x04: return 16;
    case 0x05: return 8;
    case 0x07: return 2;
    case 0x08: return 3;
    case 0x09: return 3;
    case 0x0B: return 5;
    case 0x0C: return 6;
    case 0x0D: return 2;
    case 0x0E: return 1 + kTuningDataSize;
    case 0x0F: return 8;
    default: return 0;
    }
}

PedalFirmware::Request PedalFirmware::receive(std::uint8_t b, qint64 at)
{
    if (!m_message.isEmpty() && at - m_lastByteAt > qint64(message_gap_ms) * 1000) {
        ignore(m_message, QStringLiteral("incomplete"));
        m_message.clear();
    }
    m_lastByteAt = at;
    m_message.append(char(b));
    const int length = messageLength();
    if (length == 0) {
        ignore(m_message, QStringLiteral("unknown message"));
        m_message.clear();
        return Request::None;
    }
    if (m_message.size() < length)
        return Request::None;
    if (m_message[0] == 0 && be16(m_message, 1) < 3) {
        ignore(m_message, QStringLiteral("upload length below 3"));
        m_message.clear();
        return Request::None;
    }
    const QByteArray m = m_message;
    m_message.clear();
    Request request = Request::None;
    message(m, at, request);
    return request;
}

void PedalFirmware::answerUpload(const QByteArray &m, qint64 reply)
{
    const bool ok = loadEffect(m, true);
    QByteArray answer;
    if (ok) {
        m_settings.words = kDefaultWords;
        if (std::uint8_t(m_memory50[kWordsMarkAt]) == kMark)
            for (int i = 0; i < 5; ++i)
                m_settings.words[size_t(10 + i)] = be32(m_memory50, kWordsAt + 4 * i);
        answer = QStringLiteral("Upload OK %1\r\n").arg(m_algorithm, 4, 16, QChar('0')).toLatin1();
    } else {
        ++m_ignored;
        answer = QByteArrayLiteral("Upload Error\r\n");
    }
    const PedalFaults &f = m_options.faults;
    // Writing the image into the settings memory takes its time.
    qint64 when = reply + (m_options.paced ? qint64(m.size()) / 64 * 5000 : 0);
    when += f.number(PedalFault::LateUpload, 0) * 1000;
    const qint64 gapMs = f.number(PedalFault::SplitUpload);
    if (gapMs < 0) {
        m_outlet.send(answer, when);
        return;
    }
    // Cut in the middle of the text, not at its line end.
    const qsizetype half = answer.size() / 2;
    const qint64 end = m_outlet.send(answer.left(half), when);
    m_outlet.note(QStringLiteral("fault: upload answer split, %1 ms apart").arg(gapMs));
    m_outlet.send(answer.mid(half), end < 0 ? when : end + gapMs * 1000);
}

void PedalFirmware::sendStatus(qint64 reply)
{
    const PedalFaults &f = m_options.faults;
    const Pieces split = f.pieces(PedalFault::SplitStatus);
    const QList<int> values = statusValues();
    const int count = int(values.size());
    // In pieces that end at line ends, as evenly as the lines allow.
    const int pieces = split.count >= 2 ? std::min(split.count, std::max(count, 1)) : 1;
    if (pieces > 1)
        m_outlet.note(QStringLiteral("fault: status reply in %1 pieces, %2 ms apart").arg(pieces).arg(split.gapMs));
    qint64 at = reply;
    qint64 end = -1;
    for (int p = 0, i = 0; p < pieces; ++p) {
        QByteArray text;
        for (int n = count / pieces + (p < count % pieces ? 1 : 0); n > 0; --n, ++i)
            text += QByteArray::number(values[i]) + "\r\n";
        if (end >= 0)
            at = end + qint64(split.gapMs) * 1000;
        end = m_outlet.send(text, at);
    }
    const QByteArray stray = f.bytes(PedalFault::Stray);
    if (!stray.isEmpty() && end >= 0) {
        m_outlet.note(QStringLiteral("fault: stray bytes after the status reply"));
        m_outlet.send(stray, end + kStrayAfterStatusUs);
    }
}

void PedalFirmware::message(const QByteArray &m, qint64 at, Request &request)
{
    const std::uint8_t cmd = std::uint8_t(m[0]);
    auto u8 = [&](int i) { return std::uint8_t(m[i]); };
    auto zeros = [&](int from) {
        for (int i = from; i < m.size(); ++i)
            if (m[i] != 0)
                return false;
        return true;
    };
    // The firmware answers after it has had a moment to work, on a paced line.
    const qint64 reply = at + (m_options.paced ? 2000 : 0);
    m_outlet.note(QStringLiteral("recv ") + hex(m));

    switch (cmd) {
    case 0x00: // effect image upload
        return answerUpload(m, reply);
    case 0x01: {
        const std::uint16_t address = be16(m, 1);
        const int row = parameterForAddress(address);
        if (row < 0)
            return ignore(m, QStringLiteral("no parameter at this address"));
        if (m_dspWrites++ == m_options.faults.number(PedalFault::DropDspWrite))
            return m_outlet.note(QStringLiteral("fault: DSP write lost: ") + hex(m));
        m_settings.words[size_t(row)] = be32(m, 3);
        return;
    }
    case 0x02:
        if (u8(1) != 0)
            return ignore(m, QStringLiteral("malformed status request"));
        return sendStatus(reply);
    case 0x03:
        for (int i = 0; i < 5; ++i) {
            const std::uint32_t word = be32(m, 1 + 4 * i);
            m_settings.words[size_t(10 + i)] = word;
            put32(m_memory50, kWordsAt + 4 * i, word);
        }
        m_memory50[kWordsMarkAt] = char(kMark);
        return;
    case 0x04:
        for (int k = 0; k < 5; ++k)
            if (u8(1 + k) > 1)
                return ignore(m, QStringLiteral("slot flag not 0 or 1"));
        for (int k = 0; k < 5; ++k) {
            m_settings.slotFlags[size_t(k)] = u8(1 + k);
            m_settings.slotAddresses[size_t(k)] = be16(m, 6 + 2 * k);
        }
        storeSettings();
        return;
    case 0x05:
        if (m != QByteArray::fromHex("0500010203040506"))
            return ignore(m, QStringLiteral("malformed upgrade-mode request"));
        if (m_version < 9)
            return ignore(m, QStringLiteral("upgrade-mode request needs firmware 9"));
        request = Request::UpgradeMode;
        return;
    case 0x07:
        if (u8(1) > 16)
            return ignore(m, QStringLiteral("MIDI channel above 16"));
        m_settings.midiChannel = u8(1);
        storeSettings();
        return;
    case 0x08:
        if (u8(1) > 1 || u8(2) > 1)
            return ignore(m, QStringLiteral("footswitch press not 0 or 1"));
        m_settings.footswitchMode = std::uint8_t(2 * u8(1) + u8(2));
        storeSettings();
        return;
    case 0x09: {
        const std::int8_t semitones = std::int8_t(u8(2));
        if (u8(1) > 8 || semitones < -5 || semitones > 3)
            return ignore(m, QStringLiteral("tuning or semitone shift out of range"));
        m_settings.tuning = u8(1);
        m_settings.semitones = semitones;
        storeSettings();
        return;
    }
    case 0x0B:
        if ((u8(1) != 0x50 && u8(1) != 0x51) || !zeros(2))
            return ignore(m, QStringLiteral("malformed erase"));
        if (u8(1) == 0x51) {
            m_memory51.fill(char(0xFF));
            return;
        }
        m_memory50.fill(char(0xFF));
        loadSettingsFromMemory();
        m_outlet.note(QStringLiteral("settings memory erased"));
        return;
    case 0x0C:
        if ((u8(1) != 0x50 && u8(1) != 0x51) || !zeros(2))
            return ignore(m, QStringLiteral("malformed memory read"));
        // Reading the memory over its bus takes a while before the dump starts.
        m_outlet.send(QByteArray(1, char(0xAB)) + settingsMemory(u8(1)), reply + (m_options.paced ? 400000 : 0));
        return;
    case 0x0D:
        if (u8(1) > 1)
            return ignore(m, QStringLiteral("bypass not 0 or 1"));
        m_settings.bypass = u8(1) == 1;
        return;
    case 0x0E:
        m_memory50.replace(kTuningDataAt, kTuningDataSize, m.mid(1));
        m_memory50[kTuningMarkAt] = char(kMark);
        return;
    case 0x0F: {
        const QByteArray guitar = QByteArray::fromHex("0FFF0102030405");
        const QByteArray bass = QByteArray::fromHex("0FBA0203040506");
        const QByteArray body = m.left(7);
        if ((body != guitar && body != bass) || xorOf(body) != u8(7))
            return ignore(m, QStringLiteral("malformed instrument"));
        m_settings.instrument = u8(1);
        storeSettings();
        return;
    }
    default:
        return ignore(m, QStringLiteral("unknown message"));
    }
}

QList<int> PedalFirmware::statusValues() const
{
    QList<int> v;
    v << m_version << (m_algorithm >> 8) << (m_algorithm & 0xFF)
      << (pedal::toDigits(m_effect) & 0xFF) << m_settings.footswitchMode;
    for (std::uint8_t flag : m_settings.slotFlags)
        v << flag;
    for (std::uint16_t address : m_settings.slotAddresses)
        v << (address >> 8) << (address & 0xFF);
    v << m_settings.tuning << std::uint8_t(m_settings.semitones);
    if (m_version >= 9)
        v << (m_settings.bypass ? 1 : 0);
    for (int row = 0; row < 15; ++row) {
        std::uint32_t word = m_settings.words[size_t(row)];
        if (row == kLowPass)
            word = wordToStep(word, 24);
        else if (row == kHighPass)
            word = wordToStep(word, 16);
        else if (row == kRange)
            word = wordToStep(word, 22);
        v << int(word >> 24) << int((word >> 16) & 0xFF) << int((word >> 8) & 0xFF) << int(word & 0xFF);
    }
    const PedalFaults &f = m_options.faults;
    if (f.has(PedalFault::HexLetterStatus))
        v[1] = 10;
    const qint64 shortStatus = f.number(PedalFault::ShortStatus);
    if (shortStatus >= 0 && shortStatus < v.size())
        v = v.mid(0, shortStatus);
    return v;
}

} // namespace quorvane
