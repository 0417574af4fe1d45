#pragma once
// The virtual pedal: a byte-in, byte-out state machine with a clock and no I/O
// of its own. It runs the pedal's firmware protocol (8N1) or the
// microcontroller's serial bootloader (8E1), keeps the settings memory and the
// flash, and switches between them on the upgrade-mode request and on Go.
//
// Time is read from a clock in microseconds (a monotonic timer unless a test
// hands in its own). Bytes given to receive() are processed when their
// arrival time has come; output bytes become readable when their time has
// come. Every query first brings the model up to the clock.

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <deque>
#include <functional>
#include <utility>

namespace quorvane {

// Faults the pedal shows on request.
struct PedalFaults {
    enum class NackStep { None, Erase, Chunk, Version, Go };

    bool silent = false;             // never sends anything
    NackStep nackAt = NackStep::None; // the first time this bootloader step comes
    int nackChunk = 0;               // for NackStep::Chunk: the chunk written at 0x08000000 + 256*K
    int shortStatus = -1;            // status reply cut after this many values
    bool hexLetterStatus = false;    // value 10 at index 1 of the status reply
    int lateUploadMs = 0;            // upload answer this much later
    qint64 unplugAfter = -1;         // the bridge vanishes after this many bytes from the host
    // Sends "babble\r\n" over and over, whatever it receives, from the first
    // query after the fault is set (or from the start): at the line's rate,
    // leaving the line to the replies, when paced; else 64 more bytes with
    // every query. The bridge keeps 4096 bytes for the host: unpaced the
    // babble then waits, paced the oldest are lost.
    bool babble = false;
    int splitStatusPieces = 0;       // status reply in this many pieces (0: whole), each ending at a line end
    int splitStatusGapMs = 0;        // quiet time between the end of one piece and the next
    int splitUploadGapMs = -1;       // upload answer in two pieces, cut mid-text, this far apart (-1: whole)
    QByteArray stray;                // sent once, 20 ms after each status reply is complete

    // Parses one fault as written on the command line: "silent",
    // "nack-at=erase|chunk:K|version|go", "short-status=N", "hex-letter-status",
    // "late-upload=MS", "unplug-after=BYTES", "babble", "split-status=PIECES:GAP_MS",
    // "split-upload=GAP_MS", "stray=HEX". On failure leaves the faults as they
    // were and fills error.
    bool parse(const QString &text, QString *error);

    bool operator==(const PedalFaults &) const = default;
};

struct PedalOptions {
    int firmware = 10;     // version 5..10, written into flash with its version record
    int algorithm = 11;    // effect algorithm in the settings memory, 0 = none
    int effect = 0;        // selected effect number
    bool bootloader = false; // start in the bootloader (held in upgrade mode)
    // Start in the bootloader as a host left it after its synchronisation byte:
    // already in the command loop, where a new 0x7F is a command byte.
    bool bootloaderSynced = false;
    bool paced = false;    // model the line's bit times and the bridge's latency
    int latencyMs = 16;    // the bridge's receive latency when paced
    // When paced, flash erase and programming take their time (as a real
    // chip's do); off, the bootloader answers as soon as the line allows.
    bool flashTime = true;
    // A pseudo-terminal carries no parity: the pedal then takes the line as
    // always matching its mode.
    bool lineFollowsMode = false;
    bool keepLog = true; // keep the log in memory as well as handing it to onLog
    // From the upgrade-mode request until the bootloader answers.
    int restartMs = 100;
    PedalFaults faults;
};

class PedalModel {
public:
    using Clock = std::function<qint64()>; // microseconds, monotonic

    enum class Mode { Firmware, Restarting, Bootloader };

    struct LineSettings {
        std::uint32_t baud = 9600; // a bridge's setting after power-on
        std::uint8_t wordLength = 8;
        std::uint8_t stopBits = 0; // 0: one, 2: two
        std::uint8_t parity = 0;   // 0: none, 2: even
    };

    // The live settings of the firmware, reported by the status reply.
    struct Settings {
        bool bypass = false;
        std::uint8_t footswitchMode = 0;
        std::array<std::uint8_t, 5> slotFlags{};
        std::array<std::uint16_t, 5> slotAddresses{0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF};
        std::uint8_t tuning = 0;
        std::int8_t semitones = 0;
        // The fifteen parameter words in table order ("Dry" first). Low Pass,
        // High Pass and Range keep the received dial word and report a step.
        std::array<std::uint32_t, 15> words{};
        std::uint8_t instrument = 0xFF;
        std::uint8_t midiChannel = 0;
    };

    static constexpr std::uint32_t flash_base = 0x08000000;
    static constexpr std::uint32_t flash_size = 128 * 1024;
    static constexpr std::uint32_t flash_page = 1024;
    static constexpr std::uint32_t version_record = 0x0801FC00;
    static constexpr std::uint32_t ram_base = 0x20000000;
    static constexpr std::uint32_t ram_size = 20 * 1024;
    static constexpr std::uint32_t ram_reserved = 0x200; // the bootloader's own RAM
    static constexpr std::uint32_t system_base = 0x1FFFF000;
    static constexpr std::uint32_t system_size = 2048;
    static constexpr std::uint32_t option_base = 0x1FFFF800;
    static constexpr std::uint32_t option_size = 16;
    static constexpr int memory_size = 16384; // each settings memory
    static constexpr std::uint8_t ack = 0x79;
    static constexpr std::uint8_t nack = 0x1F;
    static constexpr std::uint16_t device_id = 0x410;
    static constexpr std::uint8_t bootloader_version = 0x22;
    static constexpr int message_gap_ms = 100; // a message broken off this long is dropped

    explicit PedalModel(const PedalOptions &options = {}, Clock clock = {});

    // The host's side of the line, as last set through the bridge.
    void setBaudRate(std::uint32_t baud);
    void setDataCharacteristics(std::uint8_t wordLength, std::uint8_t stopBits, std::uint8_t parity);
    LineSettings lineSettings() const { return m_line; }

    // Bytes written by the host.
    void receive(const QByteArray &bytes);
    // Bytes the host can read now, and taking them (at most max, -1 = all).
    qint64 bytesAvailable();
    QByteArray takeOutput(qint64 max = -1);
    // Microseconds until the next output byte becomes readable, -1 if none waits.
    qint64 microsToNextOutput();
    // Drops what the bridge holds for the host / what the host wrote that has
    // not reached the pedal yet.
    void purgeReceive();
    void purgeTransmit();
    // Puts bytes the pedal did not send in answer to anything behind what is
    // queued for the host: readable at once, or right after the bytes in front
    // of them. Stray bytes left over from before a request, for instance.
    void sendUnsolicited(const QByteArray &bytes);

    // Switches the pedal off and on again: it starts its firmware, or its
    // bootloader when held in upgrade mode or when no valid firmware is in flash.
    void powerCycle(bool holdUpgradeMode = false);

    bool unplugged() const { return m_unplugged; }
    // Bytes the host has written to the pedal so far.
    qint64 bytesReceived() const { return m_hostBytes; }
    Mode mode();
    int firmwareVersion() const { return m_firmware; }
    std::uint16_t algorithm() const { return m_algorithm; } // one decimal digit per nibble
    int effect() const { return m_effect; }
    const Settings &settings() const { return m_settings; }
    std::array<std::uint32_t, 5> storedWords() const;
    QByteArray tuningData() const;
    const QByteArray &flash() const { return m_flash; }
    QByteArray settingsMemory(std::uint8_t i2cAddress) const;
    // The address fields of the effect in the DSP (17, in image order), empty if none.
    const QList<std::uint16_t> &effectAddresses() const { return m_fields; }
    // Whether the flash holds exactly the built-in image of the running version.
    bool flashMatchesBuiltInImage() const;
    PedalFaults &faults() { return m_options.faults; }

    // The status reply the firmware would send now, as values.
    QList<int> statusValues() const;

    // The log: every message received and sent ("recv 02 00", "send 31 30 0D 0A"),
    // and what was ignored ("ignored ..."); each line also goes to onLog.
    const QStringList &log() const { return m_log; }
    std::function<void(const QString &)> onLog;
    int ignoredCount() const { return m_ignored; }
    int lineErrorCount() const { return m_lineErrors; }

    // Built-in data, from the editor's resources.
    static QByteArray builtInEffectImage(int algorithm);
    static QByteArray builtInFirmwareImage(int version);
    static std::uint16_t toDigits(int number); // 11 -> 0x0011

private:
    struct InByte {
        qint64 at;
        std::uint8_t value;
        // The host's line when it sent the byte.
        std::uint32_t baud;
        std::uint8_t wordLength;
        std::uint8_t parity;
    };
    struct OutByte {
        qint64 at;
        std::uint8_t value;
        std::uint8_t parity;
        std::uint32_t baud;
    };
    enum class Boot {
        WaitSync, Command, Address, ReadCount, WriteCount, WriteData,
        EraseFirst, EraseGlobal, ErasePages
    };

    qint64 now() const;
    void advance();
    void process(const InByte &in);
    bool hostLineFits(const InByte &in) const;
    void note(const QString &text);
    void logBytes(const char *direction, const QByteArray &bytes);
    qint64 charMicros(std::uint32_t baud, std::uint8_t wordLength, std::uint8_t parity,
                      std::uint8_t stopBits) const;
    bool lineMatchesPedal() const;
    // Queues bytes for the line from `at` on; returns when the line is free again
    // (the end of their last byte), or -1 when nothing was sent.
    qint64 send(const QByteArray &bytes, qint64 at);
    // Puts one byte into the output queue, in time order.
    void queueOut(const OutByte &o);
    void babble(qint64 t);
    qint64 babbleCharMicros() const;

    // Firmware.
    void firmwareByte(std::uint8_t b, qint64 at);
    int firmwareMessageLength() const;
    void firmwareMessage(const QByteArray &m, qint64 at);
    void startFirmware(qint64 at);
    void loadSettingsFromMemory();
    void defaultSettings();
    void storeSettings();
    bool loadEffect(const QByteArray &image, bool store);
    int parameterForAddress(std::uint16_t address) const;
    void ignore(const QByteArray &m, const QString &why);

    // Bootloader.
    void startBootloader(qint64 at);
    void bootloaderByte(std::uint8_t b, qint64 at);
    void bootReply(const QByteArray &bytes, qint64 at, int busyMs = 0);
    void bootCommand(std::uint8_t cmd, qint64 at);
    bool readable(std::uint32_t address, std::uint32_t length) const;
    bool writable(std::uint32_t address, std::uint32_t length) const;
    QByteArray readMemory(std::uint32_t address, std::uint32_t length) const;
    bool writeMemory(std::uint32_t address, const QByteArray &data);
    void eraseFlash(int firstPage, int pages);
    int validRecordVersion() const;
    bool flashLooksBootable() const;
    bool takeNackFault(PedalFaults::NackStep step, std::uint32_t address = 0);

    PedalOptions m_options;
    Clock m_clock;
    LineSettings m_line;

    std::deque<InByte> m_in;
    std::deque<OutByte> m_out;
    qint64 m_inLineFree = 0;
    qint64 m_outLineFree = 0;
    qint64 m_hostBytes = 0;
    bool m_unplugged = false;
    // Babble: since when (-1: off), the line time of its next byte, and where
    // in its text it is. The spans of line time other sends have taken, which
    // the babble leaves to them.
    qint64 m_babbleSince = -1;
    qint64 m_babbleLine = 0;
    int m_babbleIndex = 0;
    std::deque<std::pair<qint64, qint64>> m_sentSpans;

    Mode m_mode = Mode::Firmware;
    qint64 m_restartDone = 0;
    int m_firmware = 0;
    std::uint16_t m_algorithm = 0;
    int m_effect = 0;
    Settings m_settings;
    QList<std::uint16_t> m_fields;
    QByteArray m_memory50;
    QByteArray m_memory51;
    QByteArray m_message;
    qint64 m_lastByteAt = 0;

    QByteArray m_flash;
    QByteArray m_ram;
    std::uint32_t m_bootBaud = 115200;
    std::uint32_t m_arrivingBaud = 115200; // the rate of the byte being processed
    Boot m_boot = Boot::WaitSync;
    std::uint8_t m_bootCmd = 0;
    QByteArray m_bootBuf;
    std::uint32_t m_bootAddress = 0;
    int m_bootCount = 0;
    bool m_nackUsed = false;

    QStringList m_log;
    int m_ignored = 0;
    int m_lineErrors = 0;
};

} // namespace quorvane
