#pragma once
// The virtual pedal: a byte-in, byte-out state machine with a clock and no I/O
// of its own. It puts together the line to the host (PedalLine), the pedal's
// firmware protocol with its settings memories (PedalFirmware) and the
// microcontroller's serial bootloader with the flash (PedalBootloader), and
// switches between the last two on the upgrade-mode request and on Go.
//
// Time is read from a clock in microseconds (a monotonic timer unless a test
// hands in its own). Bytes given to receive() are processed when their
// arrival time has come; output bytes become readable when their time has
// come. Every query first brings the model up to the clock.

#include "simulator/PedalBootloader.h"
#include "simulator/PedalFirmware.h"
#include "simulator/PedalLine.h"
#include "simulator/PedalOptions.h"
#include "simulator/PedalOutlet.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>

namespace quorvane {

class PedalModel : private PedalOutlet {
public:
    using Clock = std::function<qint64()>; // microseconds, monotonic
    using LineSettings = PedalLine::Settings;
    using Settings = PedalFirmware::Settings;

    enum class Mode { Firmware, Restarting, Bootloader };

    static constexpr std::uint32_t flash_base = PedalBootloader::flash_base;
    static constexpr std::uint32_t flash_size = PedalBootloader::flash_size;
    static constexpr std::uint32_t flash_page = PedalBootloader::flash_page;
    static constexpr std::uint32_t version_record = PedalBootloader::version_record;
    static constexpr std::uint32_t ram_base = PedalBootloader::ram_base;
    static constexpr std::uint32_t ram_size = PedalBootloader::ram_size;
    static constexpr std::uint32_t ram_reserved = PedalBootloader::ram_reserved;
    static constexpr std::uint32_t system_base = PedalBootloader::system_base;
    static constexpr std::uint32_t system_size = PedalBootloader::system_size;
    static constexpr std::uint32_t option_base = PedalBootloader::option_base;
    static constexpr std::uint32_t option_size = PedalBootloader::option_size;
    static constexpr int memory_size = PedalFirmware::memory_size;
    static constexpr std::uint8_t ack = PedalBootloader::ack;
    static constexpr std::uint8_t nack = PedalBootloader::nack;
    static constexpr std::uint16_t device_id = PedalBootloader::device_id;
    static constexpr std::uint8_t bootloader_version = PedalBootloader::bootloader_version;
    static constexpr int message_gap_ms = PedalFirmware::message_gap_ms;

    explicit PedalModel(const PedalOptions &options = {}, Clock clock = {});
    PedalModel(const PedalModel &) = delete;
    PedalModel &operator=(const PedalModel &) = delete;

    // The host's side of the line, as last set through the bridge.
    void setBaudRate(std::uint32_t baud) { m_line.setBaudRate(baud); }
    void setDataCharacteristics(std::uint8_t wordLength, std::uint8_t stopBits, std::uint8_t parity)
    {
        m_line.setDataCharacteristics(wordLength, stopBits, parity);
    }
    LineSettings lineSettings() const { return m_line.settings(); }
    // The bridge's receive latency when paced, from the next byte sent on.
    void setLatencyMs(int ms) { m_options.latencyMs = ms; }
    int latencyMs() const { return m_options.latencyMs; }

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

    bool unplugged() const { return m_line.unplugged(); }
    // Bytes the host has written to the pedal so far.
    qint64 bytesReceived() const { return m_line.hostBytes(); }
    Mode mode();
    int firmwareVersion() const { return m_firmware.version(); }
    std::uint16_t algorithm() const { return m_firmware.algorithm(); } // one decimal digit per nibble
    int effect() const { return m_firmware.effect(); }
    const Settings &settings() const { return m_firmware.settings(); }
    std::array<std::uint32_t, 5> storedWords() const { return m_firmware.storedWords(); }
    QByteArray tuningData() const { return m_firmware.tuningData(); }
    const QByteArray &flash() const { return m_bootloader.flash(); }
    QByteArray settingsMemory(std::uint8_t i2cAddress) const { return m_firmware.settingsMemory(i2cAddress); }
    // The address fields of the effect in the DSP (17, in image order), empty if none.
    const QList<std::uint16_t> &effectAddresses() const { return m_firmware.effectAddresses(); }
    // Whether the flash holds exactly the built-in image of the running version.
    bool flashMatchesBuiltInImage() const { return m_bootloader.flashMatchesBuiltInImage(); }
    // The bootloader, for what it has taken since the pedal was switched on.
    const PedalBootloader &bootloader() const { return m_bootloader; }
    PedalFaults &faults() { return m_options.faults; }

    // The status reply the firmware would send now, as values.
    QList<int> statusValues() const { return m_firmware.statusValues(); }

    // The log: every message received and sent ("recv 02 00", "send 31 30 0D 0A"),
    // and what was ignored ("ignored ..."); each line also goes to onLog.
    const QStringList &log() const { return m_log; }
    std::function<void(const QString &)> onLog;
    int ignoredCount() const { return m_ignored + m_firmware.ignoredCount() + m_bootloader.ignoredCount(); }
    int lineErrorCount() const { return m_lineErrors; }

    // Built-in data, from the editor's resources.
    static QByteArray builtInEffectImage(int algorithm);
    static QByteArray builtInFirmwareImage(int version);
    static std::uint16_t toDigits(int number); // 11 -> 0x0011

private:
    qint64 now() const { return m_clock(); }
    // Brings the pedal up to the clock: it takes every byte that has arrived.
    void advance();
    void process(const PedalLine::InByte &in);
    // How the pedal's side of the line runs in its present mode.
    PedalLine::PedalSide side() const;
    void startFirmware(int version, qint64 at);
    void startBootloader();

    qint64 send(const QByteArray &bytes, qint64 at) override;
    void note(const QString &text) override;

    PedalOptions m_options;
    Clock m_clock;
    QStringList m_log;
    int m_ignored = 0; // while restarting
    int m_lineErrors = 0;
    Mode m_mode = Mode::Firmware;
    qint64 m_restartDone = 0;

    PedalLine m_line;
    PedalFirmware m_firmware;
    PedalBootloader m_bootloader;
};

} // namespace quorvane
