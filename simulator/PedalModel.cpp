#include "simulator/PedalModel.h"

#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <memory>

namespace quorvane {

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

// Babble: its text, how much more an unpaced query makes readable, and how
// much the bridge keeps for the host.
constexpr char kBabbleText[] = "babble\r\n";
constexpr int kBabbleTextSize = int(sizeof kBabbleText) - 1;
constexpr int kBabblePerQuery = 64;
constexpr int kBabbleBacklog = 4096;
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

std::uint16_t be16(const QByteArray &b, int at)
{
    return std::uint16_t(std::uint8_t(b[at]) << 8 | std::uint8_t(b[at + 1]));
}

std::uint32_t be32(const QByteArray &b, int at)
{
    return std::uint32_t(be16(b, at)) << 16 | be16(b, at + 2);
}

void put16(QByteArray &b, int at, std::uint16_t v)
{
    b[at] = char(v >> 8);
    b[at + 1] = char(v);
}

void put32(QByteArray &b, int at, std::uint32_t v)
{
    put16(b, at, std::uint16_t(v >> 16));
    put16(b, at + 2, std::uint16_t(v));
}

std::uint8_t xorOf(const QByteArray &b, int from = 0, int to = -1)
{
    if (to < 0)
        to = int(b.size());
    std::uint8_t x = 0;
    for (int i = from; i < to; ++i)
        x ^= std::uint8_t(b[i]);
    return x;
}

QString hex(const QByteArray &b)
{
    return QString::fromLatin1(b.toHex(' ').toUpper());
}

QByteArray readResource(const QString &name)
{
    QFile f(QStringLiteral(":/") + name);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

// The step that a dial word stands for: the nearest step to level * steps / 1023.
std::uint32_t wordToStep(std::uint32_t word, std::uint32_t steps)
{
    const std::uint32_t level = std::min<std::uint32_t>(word >> 13, 1023);
    return (level * steps * 2 + 1023) / 2046;
}

} // namespace

bool PedalFaults::parse(const QString &text, QString *error)
{
    const int eq = int(text.indexOf('='));
    const QString name = eq < 0 ? text : text.left(eq);
    const QString arg = eq < 0 ? QString() : text.mid(eq + 1);
    auto fail = [&](const QString &why) {
        if (error)
            *error = why;
        return false;
    };
    auto number = [&](qint64 &out) {
        bool ok = false;
        out = arg.toLongLong(&ok);
        return ok && out >= 0;
    };
    static const QStringList known = {"silent", "nack-at", "short-status", "hex-letter-status",
                                      "late-upload", "unplug-after", "babble", "split-status",
                                      "split-upload", "stray"};
    if (!known.contains(name))
        return fail(QStringLiteral("unknown fault: %1").arg(name));
    const bool wantsArg = name != QLatin1String("silent") && name != QLatin1String("hex-letter-status")
                          && name != QLatin1String("babble");
    if (wantsArg && arg.isEmpty())
        return fail(QStringLiteral("fault %1 needs a value (%1=...)").arg(name));
    if (!wantsArg && eq >= 0)
        return fail(QStringLiteral("fault %1 takes no value").arg(name));

    qint64 n = 0;
    if (name == QLatin1String("silent")) {
        silent = true;
    } else if (name == QLatin1String("hex-letter-status")) {
        hexLetterStatus = true;
    } else if (name == QLatin1String("babble")) {
        babble = true;
    } else if (name == QLatin1String("split-status")) {
        const QStringList parts = arg.split(':');
        bool piecesOk = false, gapOk = false;
        const int pieces = parts.size() == 2 ? parts[0].toInt(&piecesOk) : 0;
        const int gap = parts.size() == 2 ? parts[1].toInt(&gapOk) : 0;
        if (!piecesOk || !gapOk || pieces < 2 || pieces > 1000 || gap < 0 || gap > 3600000)
            return fail(QStringLiteral("split-status=PIECES:GAP_MS needs 2 or more pieces and milliseconds, e.g. 4:60"));
        splitStatusPieces = pieces;
        splitStatusGapMs = gap;
    } else if (name == QLatin1String("split-upload")) {
        if (!number(n) || n > 3600000)
            return fail(QStringLiteral("split-upload=GAP_MS needs milliseconds"));
        splitUploadGapMs = int(n);
    } else if (name == QLatin1String("stray")) {
        static const QRegularExpression hexBytes(QStringLiteral("^([0-9A-Fa-f]{2}){1,256}$"));
        if (!hexBytes.match(arg).hasMatch())
            return fail(QStringLiteral("stray=HEX needs 1 to 256 bytes as hex digits, e.g. 31320D0A"));
        stray = QByteArray::fromHex(arg.toLatin1());
    } else if (name == QLatin1String("nack-at")) {
        if (arg == QLatin1String("erase")) {
            nackAt = NackStep::Erase;
        } else if (arg == QLatin1String("version")) {
            nackAt = NackStep::Version;
        } else if (arg == QLatin1String("go")) {
            nackAt = NackStep::Go;
        } else if (arg.startsWith(QLatin1String("chunk:"))) {
            bool ok = false;
            const int k = arg.mid(6).toInt(&ok);
            if (!ok || k < 0 || k >= int(PedalModel::flash_size / 256))
                return fail(QStringLiteral("nack-at=chunk:K needs a chunk number 0..511"));
            nackAt = NackStep::Chunk;
            nackChunk = k;
        } else {
            return fail(QStringLiteral("nack-at takes erase, chunk:K, version or go"));
        }
    } else if (name == QLatin1String("short-status")) {
        if (!number(n) || n > 1000)
            return fail(QStringLiteral("short-status=N needs a count of values"));
        shortStatus = int(n);
    } else if (name == QLatin1String("late-upload")) {
        if (!number(n) || n > 3600000)
            return fail(QStringLiteral("late-upload=MS needs milliseconds"));
        lateUploadMs = int(n);
    } else if (name == QLatin1String("unplug-after")) {
        if (!number(n))
            return fail(QStringLiteral("unplug-after=BYTES needs a byte count"));
        unplugAfter = n;
    } else {
        return fail(QStringLiteral("unknown fault: %1").arg(name));
    }
    return true;
}

PedalModel::PedalModel(const PedalOptions &options, Clock clock)
    : m_options(options), m_clock(std::move(clock))
{
    if (!m_clock) {
        auto timer = std::make_shared<QElapsedTimer>();
        timer->start();
        m_clock = [timer] { return timer->nsecsElapsed() / 1000; };
    }

    m_flash = QByteArray(int(flash_size), char(0xFF));
    const QByteArray firmware = builtInFirmwareImage(options.firmware);
    if (!firmware.isEmpty() && firmware.size() <= int(version_record - flash_base)) {
        m_flash.replace(0, int(firmware.size()), firmware);
        QByteArray record(8, 0);
        record[7] = char(options.firmware);
        m_flash.replace(int(version_record - flash_base), 8, record);
    }
    m_ram = QByteArray(int(ram_size), 0);
    m_memory50 = QByteArray(memory_size, char(0xFF));
    m_memory51 = QByteArray(memory_size, char(0xFF));

    if (options.algorithm != 0) {
        const QByteArray image = builtInEffectImage(options.algorithm);
        if (image.isEmpty() || !loadEffect(image, true))
            put16(m_memory50, kAlgorithmAt, toDigits(options.algorithm)); // number only, no program
    }
    m_memory50[kEffectAt] = char(toDigits(options.effect) & 0xFF);

    if (m_options.faults.unplugAfter == 0)
        m_unplugged = true;
    powerCycle(options.bootloader || options.bootloaderSynced);
    if (options.bootloaderSynced) {
        // A host synchronised at the editor's rate and went away.
        m_bootBaud = 115200;
        m_boot = Boot::Command;
        note(QStringLiteral("bootloader synchronised already, in its command loop"));
    }
    babble(now());
}

std::uint16_t PedalModel::toDigits(int number)
{
    std::uint16_t out = 0;
    for (int shift = 0; shift < 16; shift += 4) {
        out |= std::uint16_t((number % 10) << shift);
        number /= 10;
    }
    return out;
}

QByteArray PedalModel::builtInEffectImage(int algorithm)
{
    const QByteArray text = readResource(QStringLiteral("QUORVANE_KQ5_%1").arg(algorithm, 4, 10, QChar('0')));
    return QByteArray::fromHex(text);
}

QByteArray PedalModel::builtInFirmwareImage(int version)
{
    return readResource(QStringLiteral("FIRMWARE_%1").arg(version));
}

qint64 PedalModel::now() const
{
    return m_clock();
}

void PedalModel::note(const QString &text)
{
    if (m_options.keepLog) {
        // A pedal left running keeps its recent history, not all of it.
        if (m_log.size() >= 20000)
            m_log.remove(0, 10000);
        m_log << text;
    }
    if (onLog)
        onLog(text);
}

void PedalModel::logBytes(const char *direction, const QByteArray &bytes)
{
    note(QLatin1String(direction) + QLatin1Char(' ') + hex(bytes));
}

// ---------------------------------------------------------------- the line

void PedalModel::setBaudRate(std::uint32_t baud)
{
    m_line.baud = baud;
}

void PedalModel::setDataCharacteristics(std::uint8_t wordLength, std::uint8_t stopBits,
                                        std::uint8_t parity)
{
    m_line.wordLength = wordLength;
    m_line.stopBits = stopBits;
    m_line.parity = parity;
}

qint64 PedalModel::charMicros(std::uint32_t baud, std::uint8_t wordLength, std::uint8_t parity,
                              std::uint8_t stopBits) const
{
    const int bits = 1 + wordLength + (parity ? 1 : 0) + (stopBits == 2 ? 2 : 1);
    return (qint64(bits) * 1000000 + baud - 1) / std::max<std::uint32_t>(baud, 1);
}

void PedalModel::receive(const QByteArray &bytes)
{
    if (m_unplugged)
        return;
    const qint64 t = now();
    for (char c : bytes) {
        qint64 at = t;
        if (m_options.paced) {
            const qint64 start = std::max(t, m_inLineFree);
            m_inLineFree = start + charMicros(m_line.baud, m_line.wordLength, m_line.parity,
                                              m_line.stopBits);
            at = m_inLineFree;
        }
        // Whether the pedal can read the byte is judged by its mode when the
        // byte arrives, against the line the host sent it with.
        m_in.push_back({at, std::uint8_t(c), m_line.baud, m_line.wordLength, m_line.parity});
        ++m_hostBytes;
        if (m_options.faults.unplugAfter > 0 && m_hostBytes >= m_options.faults.unplugAfter) {
            m_unplugged = true;
            note(QStringLiteral("unplugged after %1 bytes").arg(m_hostBytes));
            break;
        }
    }
    advance();
}

void PedalModel::advance()
{
    const qint64 t = now();
    while (!m_in.empty() && m_in.front().at <= t) {
        const InByte in = m_in.front();
        m_in.pop_front();
        process(in);
    }
    babble(t);
    if (m_unplugged)
        m_out.clear();
}

bool PedalModel::hostLineFits(const InByte &line) const
{
    if (m_options.lineFollowsMode)
        return true;
    if (line.wordLength != 8)
        return false;
    if (m_mode == Mode::Firmware)
        return line.parity == 0 && line.baud == 115200;
    // The bootloader measures the rate on the synchronisation byte.
    if (line.parity != 2)
        return false;
    return m_boot == Boot::WaitSync || line.baud == m_bootBaud;
}

void PedalModel::process(const InByte &in)
{
    if (m_mode == Mode::Restarting) {
        if (in.at < m_restartDone) {
            ++m_ignored;
            note(QStringLiteral("ignored while restarting: %1").arg(hex(QByteArray(1, char(in.value)))));
            return;
        }
        m_mode = Mode::Bootloader;
    }
    if (!hostLineFits(in)) {
        ++m_lineErrors;
        note(QStringLiteral("line error (host line %1 baud, parity %2): %3")
                 .arg(in.baud)
                 .arg(in.parity)
                 .arg(hex(QByteArray(1, char(in.value)))));
        if (m_mode == Mode::Firmware && !m_message.isEmpty())
            ignore(m_message, QStringLiteral("broken by a line error"));
        m_message.clear();
        return;
    }
    m_arrivingBaud = in.baud;
    if (m_mode == Mode::Firmware)
        firmwareByte(in.value, in.at);
    else
        bootloaderByte(in.value, in.at);
}

qint64 PedalModel::send(const QByteArray &bytes, qint64 at)
{
    logBytes("send", bytes);
    if (m_options.faults.silent) {
        note(QStringLiteral("silent: nothing sent"));
        return -1;
    }
    if (m_unplugged)
        return -1;
    const bool boot = m_mode != Mode::Firmware;
    const std::uint8_t parity = boot ? 2 : 0;
    const std::uint32_t baud = boot ? m_bootBaud : 115200;
    // The pedal sends one thing after another.
    at = std::max(at, m_outLineFree);
    const qint64 start = at;
    for (char c : bytes) {
        qint64 ready = at;
        if (m_options.paced) {
            m_outLineFree = std::max(at, m_outLineFree) + charMicros(baud, 8, parity, 0);
            at = m_outLineFree;
            ready = at + qint64(m_options.latencyMs) * 1000;
        } else {
            m_outLineFree = at;
        }
        queueOut({ready, std::uint8_t(c), parity, baud});
    }
    if (m_options.paced && m_options.faults.babble)
        m_sentSpans.emplace_back(start, m_outLineFree);
    return std::max(start, m_outLineFree);
}

void PedalModel::queueOut(const OutByte &o)
{
    auto at = m_out.end();
    while (at != m_out.begin() && std::prev(at)->at > o.at)
        --at;
    m_out.insert(at, o);
}

void PedalModel::sendUnsolicited(const QByteArray &bytes)
{
    advance();
    note(QStringLiteral("unsolicited ") + hex(bytes));
    if (m_unplugged)
        return;
    const bool boot = m_mode != Mode::Firmware;
    const std::uint8_t parity = boot ? 2 : 0;
    const std::uint32_t baud = boot ? m_bootBaud : 115200;
    // They are in the bridge already: no line time, no latency.
    const qint64 at = std::max(now(), m_out.empty() ? qint64(0) : m_out.back().at);
    for (char c : bytes)
        m_out.push_back({at, std::uint8_t(c), parity, baud});
}

qint64 PedalModel::babbleCharMicros() const
{
    return m_mode == Mode::Firmware ? charMicros(115200, 8, 0, 0) : charMicros(m_bootBaud, 8, 2, 0);
}

void PedalModel::babble(qint64 t)
{
    const PedalFaults &f = m_options.faults;
    if (!f.babble || f.silent || m_unplugged) {
        m_babbleSince = -1;
        m_sentSpans.clear();
        return;
    }
    if (m_babbleSince < 0) {
        m_babbleSince = t;
        m_babbleLine = t;
        m_babbleIndex = 0;
        note(QStringLiteral("fault: babbling without end"));
    }
    const bool boot = m_mode != Mode::Firmware;
    const std::uint8_t parity = boot ? 2 : 0;
    const std::uint32_t baud = boot ? m_bootBaud : 115200;
    auto next = [this] {
        const char c = kBabbleText[m_babbleIndex];
        m_babbleIndex = (m_babbleIndex + 1) % kBabbleTextSize;
        return std::uint8_t(c);
    };
    if (!m_options.paced) {
        // No line time: a little more with every query, so that there is
        // always something to read, and never much.
        for (int i = 0; i < kBabblePerQuery && int(m_out.size()) < kBabbleBacklog; ++i)
            queueOut({t, next(), parity, baud});
        return;
    }
    // Every byte time up to now carries a byte, except where a reply has the line.
    const qint64 charTime = babbleCharMicros();
    const qint64 latency = qint64(m_options.latencyMs) * 1000;
    qint64 line = m_babbleLine;
    for (;;) {
        while (!m_sentSpans.empty() && m_sentSpans.front().second <= line)
            m_sentSpans.pop_front();
        if (!m_sentSpans.empty() && line + charTime > m_sentSpans.front().first) {
            line = std::max(line, m_sentSpans.front().second);
            continue;
        }
        if (line + charTime > t)
            break;
        // The bridge keeps the newest bytes; the host that leaves it full
        // loses the oldest. Of a long unread stretch only the end is made.
        const qint64 keepFrom = t - qint64(kBabbleBacklog) * charTime;
        if (line < keepFrom && (m_sentSpans.empty() || keepFrom <= m_sentSpans.front().first)) {
            const qint64 lost = (keepFrom - line + charTime - 1) / charTime;
            line += lost * charTime;
            m_babbleIndex = int((m_babbleIndex + lost) % kBabbleTextSize);
            continue;
        }
        line += charTime;
        queueOut({line + latency, next(), parity, baud});
        if (int(m_out.size()) > kBabbleBacklog && m_out.front().at <= t)
            m_out.pop_front();
    }
    m_babbleLine = line;
    m_outLineFree = std::max(m_outLineFree, line);
}

qint64 PedalModel::bytesAvailable()
{
    advance();
    const qint64 t = now();
    qint64 n = 0;
    for (const OutByte &o : m_out) {
        if (o.at > t)
            break;
        ++n;
    }
    return n;
}

QByteArray PedalModel::takeOutput(qint64 max)
{
    advance();
    const qint64 t = now();
    QByteArray out;
    while (!m_out.empty() && m_out.front().at <= t && (max < 0 || out.size() < max)) {
        const OutByte o = m_out.front();
        m_out.pop_front();
        std::uint8_t v = o.value;
        // Read with other settings than it was sent with, a byte is garbage.
        if (!m_options.lineFollowsMode && (o.parity != m_line.parity || o.baud != m_line.baud
                                           || m_line.wordLength != 8))
            v ^= 0x5A;
        out.append(char(v));
    }
    return out;
}

qint64 PedalModel::microsToNextOutput()
{
    advance();
    const qint64 t = now();
    qint64 next = -1;
    if (!m_in.empty())
        next = std::max<qint64>(0, m_in.front().at - t);
    for (const OutByte &o : m_out) {
        if (o.at > t) {
            const qint64 wait = o.at - t;
            next = next < 0 ? wait : std::min(next, wait);
            break;
        }
        next = 0;
        break;
    }
    if (m_babbleSince >= 0 && m_options.paced) {
        // The babble's next byte, which is not queued before its line time.
        const qint64 wait = std::max<qint64>(
            0, m_babbleLine + babbleCharMicros() + qint64(m_options.latencyMs) * 1000 - t);
        next = next < 0 ? wait : std::min(next, wait);
    }
    return next;
}

void PedalModel::purgeReceive()
{
    advance();
    const qint64 t = now();
    while (!m_out.empty() && m_out.front().at <= t)
        m_out.pop_front();
}

void PedalModel::purgeTransmit()
{
    // Bytes still in the bridge never reach the pedal.
    m_in.clear();
    m_inLineFree = now();
}

PedalModel::Mode PedalModel::mode()
{
    advance();
    if (m_mode == Mode::Restarting && now() >= m_restartDone)
        m_mode = Mode::Bootloader;
    return m_mode;
}

void PedalModel::powerCycle(bool holdUpgradeMode)
{
    m_in.clear();
    m_out.clear();
    m_sentSpans.clear();
    m_message.clear();
    const qint64 t = now();
    m_inLineFree = m_outLineFree = t;
    m_babbleLine = std::max(m_babbleLine, t);
    const int version = validRecordVersion();
    if (holdUpgradeMode || version == 0 || !flashLooksBootable()) {
        startBootloader(t);
    } else {
        m_firmware = version;
        startFirmware(t);
    }
}

// ---------------------------------------------------------------- firmware

void PedalModel::startFirmware(qint64 at)
{
    m_mode = Mode::Firmware;
    m_message.clear();
    m_lastByteAt = at;
    loadSettingsFromMemory();
    note(QStringLiteral("firmware %1 running, algorithm %2")
             .arg(m_firmware)
             .arg(m_algorithm, 4, 16, QChar('0')));
}

void PedalModel::defaultSettings()
{
    m_settings = Settings{};
    m_settings.words = kDefaultWords;
}

void PedalModel::loadSettingsFromMemory()
{
    defaultSettings();
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

void PedalModel::storeSettings()
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

std::array<std::uint32_t, 5> PedalModel::storedWords() const
{
    std::array<std::uint32_t, 5> out{};
    if (std::uint8_t(m_memory50[kWordsMarkAt]) != kMark)
        out.fill(0xFFFFFFFF);
    else
        for (int i = 0; i < 5; ++i)
            out[size_t(i)] = be32(m_memory50, kWordsAt + 4 * i);
    return out;
}

QByteArray PedalModel::tuningData() const
{
    if (std::uint8_t(m_memory50[kTuningMarkAt]) != kMark)
        return {};
    return m_memory50.mid(kTuningDataAt, kTuningDataSize);
}

QByteArray PedalModel::settingsMemory(std::uint8_t i2cAddress) const
{
    return i2cAddress == 0x51 ? m_memory51 : m_memory50;
}

bool PedalModel::loadEffect(const QByteArray &image, bool store)
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

int PedalModel::parameterForAddress(std::uint16_t address) const
{
    // Fields in image order: nine plain parameters, Range, two unused, five assignable.
    for (int i = 0; i < int(m_fields.size()); ++i) {
        if (m_fields[i] != address || i == 10 || i == 11)
            continue;
        return i < 10 ? i : i - 2;
    }
    return -1;
}

void PedalModel::ignore(const QByteArray &m, const QString &why)
{
    ++m_ignored;
    note(QStringLiteral("ignored (%1): %2").arg(why, hex(m)));
}

int PedalModel::firmwareMessageLength() const
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

void PedalModel::firmwareByte(std::uint8_t b, qint64 at)
{
    if (!m_message.isEmpty() && at - m_lastByteAt > qint64(message_gap_ms) * 1000) {
        ignore(m_message, QStringLiteral("incomplete"));
        m_message.clear();
    }
    m_lastByteAt = at;
    m_message.append(char(b));
    const int length = firmwareMessageLength();
    if (length == 0) {
        ignore(m_message, QStringLiteral("unknown message"));
        m_message.clear();
        return;
    }
    if (m_message.size() < length)
        return;
    if (m_message[0] == 0 && be16(m_message, 1) < 3) {
        ignore(m_message, QStringLiteral("upload length below 3"));
        m_message.clear();
        return;
    }
    const QByteArray m = m_message;
    m_message.clear();
    firmwareMessage(m, at);
}

void PedalModel::firmwareMessage(const QByteArray &m, qint64 at)
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

    switch (cmd) {
    case 0x00: { // effect image upload
        logBytes("recv", m);
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
        // Writing the image into the settings memory takes its time.
        qint64 when = reply + (m_options.paced ? qint64(m.size()) / 64 * 5000 : 0);
        when += qint64(m_options.faults.lateUploadMs) * 1000;
        const int gapMs = m_options.faults.splitUploadGapMs;
        if (gapMs < 0) {
            send(answer, when);
            return;
        }
        // Cut in the middle of the text, not at its line end.
        const qsizetype half = answer.size() / 2;
        const qint64 end = send(answer.left(half), when);
        note(QStringLiteral("fault: upload answer split, %1 ms apart").arg(gapMs));
        send(answer.mid(half), end < 0 ? when : end + qint64(gapMs) * 1000);
        return;
    }
    case 0x01: {
        logBytes("recv", m);
        const std::uint16_t address = be16(m, 1);
        const int row = parameterForAddress(address);
        if (row < 0)
            return ignore(m, QStringLiteral("no parameter at this address"));
        m_settings.words[size_t(row)] = be32(m, 3);
        return;
    }
    case 0x02: {
        logBytes("recv", m);
        if (u8(1) != 0)
            return ignore(m, QStringLiteral("malformed status request"));
        const PedalFaults &f = m_options.faults;
        const QList<int> values = statusValues();
        const int count = int(values.size());
        // In pieces that end at line ends, as evenly as the lines allow.
        const int pieces = f.splitStatusPieces >= 2 ? std::min(f.splitStatusPieces, std::max(count, 1)) : 1;
        if (pieces > 1)
            note(QStringLiteral("fault: status reply in %1 pieces, %2 ms apart").arg(pieces).arg(f.splitStatusGapMs));
        qint64 at = reply;
        qint64 end = -1;
        for (int p = 0, i = 0; p < pieces; ++p) {
            QByteArray text;
            for (int n = count / pieces + (p < count % pieces ? 1 : 0); n > 0; --n, ++i)
                text += QByteArray::number(values[i]) + "\r\n";
            if (end >= 0)
                at = end + qint64(f.splitStatusGapMs) * 1000;
            end = send(text, at);
        }
        if (!f.stray.isEmpty() && end >= 0) {
            note(QStringLiteral("fault: stray bytes after the status reply"));
            send(f.stray, end + kStrayAfterStatusUs);
        }
        return;
    }
    case 0x03:
        logBytes("recv", m);
        for (int i = 0; i < 5; ++i) {
            const std::uint32_t word = be32(m, 1 + 4 * i);
            m_settings.words[size_t(10 + i)] = word;
            put32(m_memory50, kWordsAt + 4 * i, word);
        }
        m_memory50[kWordsMarkAt] = char(kMark);
        return;
    case 0x04:
        logBytes("recv", m);
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
        logBytes("recv", m);
        if (m != QByteArray::fromHex("0500010203040506"))
            return ignore(m, QStringLiteral("malformed upgrade-mode request"));
        if (m_firmware < 9)
            return ignore(m, QStringLiteral("upgrade-mode request needs firmware 9"));
        m_mode = Mode::Restarting;
        m_restartDone = at + qint64(m_options.restartMs) * 1000;
        m_boot = Boot::WaitSync;
        m_bootBuf.clear();
        note(QStringLiteral("restarting into the bootloader"));
        return;
    case 0x07:
        logBytes("recv", m);
        if (u8(1) > 16)
            return ignore(m, QStringLiteral("MIDI channel above 16"));
        m_settings.midiChannel = u8(1);
        storeSettings();
        return;
    case 0x08:
        logBytes("recv", m);
        if (u8(1) > 1 || u8(2) > 1)
            return ignore(m, QStringLiteral("footswitch press not 0 or 1"));
        m_settings.footswitchMode = std::uint8_t(2 * u8(1) + u8(2));
        storeSettings();
        return;
    case 0x09: {
        logBytes("recv", m);
        const std::int8_t semitones = std::int8_t(u8(2));
        if (u8(1) > 8 || semitones < -5 || semitones > 3)
            return ignore(m, QStringLiteral("tuning or semitone shift out of range"));
        m_settings.tuning = u8(1);
        m_settings.semitones = semitones;
        storeSettings();
        return;
    }
    case 0x0B: {
        logBytes("recv", m);
        if ((u8(1) != 0x50 && u8(1) != 0x51) || !zeros(2))
            return ignore(m, QStringLiteral("malformed erase"));
        if (u8(1) == 0x51) {
            m_memory51.fill(char(0xFF));
            return;
        }
        m_memory50.fill(char(0xFF));
        loadSettingsFromMemory();
        note(QStringLiteral("settings memory erased"));
        return;
    }
    case 0x0C: {
        logBytes("recv", m);
        if ((u8(1) != 0x50 && u8(1) != 0x51) || !zeros(2))
            return ignore(m, QStringLiteral("malformed memory read"));
        // Reading the memory over its bus takes a while before the dump starts.
        send(QByteArray(1, char(0xAB)) + settingsMemory(u8(1)), reply + (m_options.paced ? 400000 : 0));
        return;
    }
    case 0x0D:
        logBytes("recv", m);
        if (u8(1) > 1)
            return ignore(m, QStringLiteral("bypass not 0 or 1"));
        m_settings.bypass = u8(1) == 1;
        return;
    case 0x0E:
        logBytes("recv", m);
        m_memory50.replace(kTuningDataAt, kTuningDataSize, m.mid(1));
        m_memory50[kTuningMarkAt] = char(kMark);
        return;
    case 0x0F: {
        logBytes("recv", m);
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

QList<int> PedalModel::statusValues() const
{
    QList<int> v;
    v << m_firmware << (m_algorithm >> 8) << (m_algorithm & 0xFF)
      << (toDigits(m_effect) & 0xFF) << m_settings.footswitchMode;
    for (std::uint8_t flag : m_settings.slotFlags)
        v << flag;
    for (std::uint16_t address : m_settings.slotAddresses)
        v << (address >> 8) << (address & 0xFF);
    v << m_settings.tuning << std::uint8_t(m_settings.semitones);
    if (m_firmware >= 9)
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
    if (m_options.faults.hexLetterStatus)
        v[1] = 10;
    if (m_options.faults.shortStatus >= 0 && m_options.faults.shortStatus < v.size())
        v = v.mid(0, m_options.faults.shortStatus);
    return v;
}

// ---------------------------------------------------------------- bootloader

void PedalModel::startBootloader(qint64 at)
{
    Q_UNUSED(at);
    m_mode = Mode::Bootloader;
    m_boot = Boot::WaitSync;
    m_bootBuf.clear();
    m_message.clear();
    note(QStringLiteral("bootloader waiting for synchronisation"));
}

int PedalModel::validRecordVersion() const
{
    const QByteArray record = m_flash.mid(int(version_record - flash_base), 8);
    if (record.left(7) != QByteArray(7, 0))
        return 0;
    const int version = std::uint8_t(record[7]);
    return version >= 5 && version <= 10 ? version : 0;
}

bool PedalModel::flashLooksBootable() const
{
    const std::uint32_t stack = std::uint32_t(std::uint8_t(m_flash[0])) | std::uint8_t(m_flash[1]) << 8
                                | std::uint8_t(m_flash[2]) << 16 | std::uint32_t(std::uint8_t(m_flash[3])) << 24;
    const std::uint32_t reset = std::uint32_t(std::uint8_t(m_flash[4])) | std::uint8_t(m_flash[5]) << 8
                                | std::uint8_t(m_flash[6]) << 16 | std::uint32_t(std::uint8_t(m_flash[7])) << 24;
    return stack > ram_base && stack <= ram_base + ram_size && (reset & 1)
           && (reset & ~1u) >= flash_base && (reset & ~1u) < flash_base + flash_size;
}

bool PedalModel::flashMatchesBuiltInImage() const
{
    const QByteArray image = builtInFirmwareImage(validRecordVersion());
    return !image.isEmpty() && m_flash.left(int(image.size())) == image;
}

bool PedalModel::takeNackFault(PedalFaults::NackStep step, std::uint32_t address)
{
    const PedalFaults &f = m_options.faults;
    if (m_nackUsed || f.nackAt != step)
        return false;
    if (step == PedalFaults::NackStep::Chunk && address != flash_base + 256u * std::uint32_t(f.nackChunk))
        return false;
    m_nackUsed = true;
    note(QStringLiteral("fault: NACK this once"));
    return true;
}

void PedalModel::bootReply(const QByteArray &bytes, qint64 at, int busyMs)
{
    send(bytes, at + (m_options.paced && m_options.flashTime ? qint64(busyMs) * 1000 : 0));
}

bool PedalModel::readable(std::uint32_t address, std::uint32_t length) const
{
    const std::uint64_t end = std::uint64_t(address) + length;
    auto in = [&](std::uint32_t base, std::uint32_t size) {
        return address >= base && end <= std::uint64_t(base) + size;
    };
    return in(flash_base, flash_size) || in(ram_base, ram_size) || in(system_base, system_size)
           || in(option_base, option_size);
}

bool PedalModel::writable(std::uint32_t address, std::uint32_t length) const
{
    const std::uint64_t end = std::uint64_t(address) + length;
    auto in = [&](std::uint32_t base, std::uint32_t size) {
        return address >= base && end <= std::uint64_t(base) + size;
    };
    return in(flash_base, flash_size) || in(ram_base + ram_reserved, ram_size - ram_reserved);
}

QByteArray PedalModel::readMemory(std::uint32_t address, std::uint32_t length) const
{
    if (address >= flash_base && address < flash_base + flash_size)
        return m_flash.mid(int(address - flash_base), int(length));
    if (address >= ram_base && address < ram_base + ram_size)
        return m_ram.mid(int(address - ram_base), int(length));
    if (address >= option_base) {
        // Read protection off, no write protection.
        const QByteArray options = QByteArray::fromHex("A55AFF00FF00FF00FF00FF00FF00FF00");
        return options.mid(int(address - option_base), int(length));
    }
    // System memory: the bootloader's own code, our own filler here.
    QByteArray system;
    for (std::uint32_t i = 0; i < length; ++i)
        system.append(char((address + i) * 7 >> 3));
    return system;
}

bool PedalModel::writeMemory(std::uint32_t address, const QByteArray &data)
{
    if (address >= ram_base) {
        m_ram.replace(int(address - ram_base), int(data.size()), data);
        return true;
    }
    // Flash half-words can be programmed only when erased (or to zero).
    const int at = int(address - flash_base);
    for (int i = 0; i + 1 < data.size(); i += 2) {
        const std::uint16_t old = be16(m_flash, at + i);
        const std::uint16_t now = be16(data, i);
        if (old != 0xFFFF && now != 0x0000) {
            note(QStringLiteral("flash not erased at %1").arg(address + std::uint32_t(i), 8, 16, QChar('0')));
            return false;
        }
    }
    m_flash.replace(at, int(data.size()), data);
    return true;
}

void PedalModel::eraseFlash(int firstPage, int pages)
{
    m_flash.replace(firstPage * int(flash_page), pages * int(flash_page),
                    QByteArray(pages * int(flash_page), char(0xFF)));
}

void PedalModel::bootCommand(std::uint8_t cmd, qint64 at)
{
    const QByteArray ackByte(1, char(ack));
    m_bootCmd = cmd;
    switch (cmd) {
    case 0x00: // Get
        bootReply(QByteArray::fromHex("79 09 22 00 01 02 11 21 31 43 73 92 79"), at);
        return;
    case 0x01: // Get Version and Read Protection Status
        bootReply(QByteArray::fromHex("79 22 00 00 79"), at);
        return;
    case 0x02: // Get ID
        bootReply(QByteArray::fromHex("79 01 04 10 79"), at);
        return;
    case 0x11: // Read Memory
    case 0x21: // Go
    case 0x31: // Write Memory
        m_boot = Boot::Address;
        bootReply(ackByte, at);
        return;
    case 0x43: // Erase
        m_boot = Boot::EraseFirst;
        bootReply(ackByte, at);
        return;
    case 0x73: // Write Unprotect: nothing is protected; the chip then resets
        bootReply(ackByte + ackByte, at);
        startBootloader(at);
        return;
    case 0x92: // Readout Unprotect: mass erase, then reset
        eraseFlash(0, int(flash_size / flash_page));
        bootReply(ackByte + ackByte, at, 40);
        startBootloader(at);
        return;
    default: // Extended Erase and the protection commands this chip does not offer
        note(QStringLiteral("command %1 not supported").arg(cmd, 2, 16, QChar('0')));
        bootReply(QByteArray(1, char(nack)), at);
        return;
    }
}

void PedalModel::bootloaderByte(std::uint8_t b, qint64 at)
{
    const QByteArray ackByte(1, char(ack));
    const QByteArray nackByte(1, char(nack));
    auto refuse = [&](const QString &why) {
        note(QStringLiteral("NACK: ") + why);
        m_boot = Boot::Command;
        m_bootBuf.clear();
        bootReply(nackByte, at);
    };
    m_bootBuf.append(char(b));

    switch (m_boot) {
    case Boot::WaitSync:
        m_bootBuf.clear();
        if (b != 0x7F) {
            ++m_ignored;
            note(QStringLiteral("ignored before synchronisation: %1").arg(hex(QByteArray(1, char(b)))));
            return;
        }
        logBytes("recv", QByteArray(1, char(b)));
        m_bootBaud = m_arrivingBaud;
        m_boot = Boot::Command;
        bootReply(ackByte, at);
        return;

    case Boot::Command:
        // Once synchronised, every byte is a command or its complement; a new
        // 0x7F is a command byte like any other and waits for its complement.
        if (m_bootBuf.size() == 1)
            return;
        logBytes("recv", m_bootBuf);
        if ((std::uint8_t(m_bootBuf[0]) ^ b) != 0xFF)
            return refuse(QStringLiteral("command complement"));
        m_bootBuf.clear();
        bootCommand(std::uint8_t(b ^ 0xFF), at);
        return;

    case Boot::Address: {
        if (m_bootBuf.size() < 5)
            return;
        logBytes("recv", m_bootBuf);
        const std::uint32_t address = be32(m_bootBuf, 0);
        if (xorOf(m_bootBuf, 0, 4) != std::uint8_t(m_bootBuf[4]))
            return refuse(QStringLiteral("address checksum"));
        m_bootBuf.clear();
        m_bootAddress = address;
        if (m_bootCmd == 0x11) {
            if (!readable(address, 1))
                return refuse(QStringLiteral("address not readable"));
            m_boot = Boot::ReadCount;
            return bootReply(ackByte, at);
        }
        if (m_bootCmd == 0x31) {
            if (!writable(address, 1) || address % 4 != 0)
                return refuse(QStringLiteral("address not writable or not word-aligned"));
            m_boot = Boot::WriteCount;
            return bootReply(ackByte, at);
        }
        // Go
        if (!writable(address, 1) && !(address >= ram_base && address < ram_base + ram_size))
            return refuse(QStringLiteral("no code at the Go address"));
        if (takeNackFault(PedalFaults::NackStep::Go))
            return refuse(QStringLiteral("Go refused"));
        m_boot = Boot::Command;
        bootReply(ackByte, at);
        const int version = validRecordVersion();
        if (address >= flash_base && address < flash_base + flash_size && version != 0
            && flashLooksBootable()) {
            m_firmware = version;
            startFirmware(at);
        } else {
            note(QStringLiteral("no valid firmware record: the pedal stays in its bootloader"));
            startBootloader(at);
        }
        return;
    }

    case Boot::ReadCount: {
        if (m_bootBuf.size() < 2)
            return;
        logBytes("recv", m_bootBuf);
        const std::uint8_t n = std::uint8_t(m_bootBuf[0]);
        if ((n ^ std::uint8_t(m_bootBuf[1])) != 0xFF)
            return refuse(QStringLiteral("read count complement"));
        if (!readable(m_bootAddress, n + 1u))
            return refuse(QStringLiteral("read beyond the memory"));
        m_boot = Boot::Command;
        m_bootBuf.clear();
        return bootReply(ackByte + readMemory(m_bootAddress, n + 1u), at);
    }

    case Boot::WriteCount:
        m_bootCount = b + 1;
        m_boot = Boot::WriteData;
        return;

    case Boot::WriteData: {
        // N, the data, the checksum.
        if (m_bootBuf.size() < m_bootCount + 2)
            return;
        logBytes("recv", m_bootBuf);
        const QByteArray data = m_bootBuf.mid(1, m_bootCount);
        if (xorOf(m_bootBuf, 0, m_bootCount + 1) != std::uint8_t(m_bootBuf[m_bootCount + 1]))
            return refuse(QStringLiteral("data checksum"));
        if (m_bootCount % 4 != 0)
            return refuse(QStringLiteral("byte count not a multiple of 4"));
        if (!writable(m_bootAddress, std::uint32_t(m_bootCount)))
            return refuse(QStringLiteral("write beyond the memory"));
        if (m_bootAddress == version_record ? takeNackFault(PedalFaults::NackStep::Version)
                                            : takeNackFault(PedalFaults::NackStep::Chunk, m_bootAddress))
            return refuse(QStringLiteral("write refused"));
        if (!writeMemory(m_bootAddress, data))
            return refuse(QStringLiteral("programming error"));
        m_boot = Boot::Command;
        m_bootBuf.clear();
        // Programming takes about 50 us per half-word.
        return bootReply(ackByte, at, std::max(1, m_bootCount / 40));
    }

    case Boot::EraseFirst:
        if (b == 0xFF) {
            m_boot = Boot::EraseGlobal;
            return;
        }
        m_bootCount = b + 1;
        m_boot = Boot::ErasePages;
        return;

    case Boot::EraseGlobal:
        logBytes("recv", m_bootBuf);
        if (b != 0x00)
            return refuse(QStringLiteral("global erase checksum"));
        if (takeNackFault(PedalFaults::NackStep::Erase))
            return refuse(QStringLiteral("erase refused"));
        eraseFlash(0, int(flash_size / flash_page));
        m_boot = Boot::Command;
        m_bootBuf.clear();
        return bootReply(ackByte, at, 40);

    case Boot::ErasePages: {
        if (m_bootBuf.size() < m_bootCount + 2)
            return;
        logBytes("recv", m_bootBuf);
        if (xorOf(m_bootBuf, 0, m_bootCount + 1) != std::uint8_t(m_bootBuf[m_bootCount + 1]))
            return refuse(QStringLiteral("page list checksum"));
        for (int i = 1; i <= m_bootCount; ++i)
            if (std::uint8_t(m_bootBuf[i]) >= flash_size / flash_page)
                return refuse(QStringLiteral("no such page"));
        if (takeNackFault(PedalFaults::NackStep::Erase))
            return refuse(QStringLiteral("erase refused"));
        for (int i = 1; i <= m_bootCount; ++i)
            eraseFlash(std::uint8_t(m_bootBuf[i]), 1);
        const int pages = m_bootCount;
        m_boot = Boot::Command;
        m_bootBuf.clear();
        return bootReply(ackByte, at, 20 * pages);
    }
    }
}

} // namespace quorvane
