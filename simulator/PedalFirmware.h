#pragma once
// The pedal's firmware: its message protocol (8N1), the live settings and
// parameters, the status reply, effect upload and the settings memories on
// the I2C bus (0x50 and 0x51).

#include "simulator/PedalOptions.h"
#include "simulator/PedalOutlet.h"

#include <QByteArray>
#include <QList>
#include <QString>

#include <array>
#include <cstdint>

namespace quorvane {

class PedalFirmware {
public:
    // The live settings, reported by the status reply.
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

    // What a message asks of the pedal beyond the firmware.
    enum class Request { None, UpgradeMode };

    static constexpr int memory_size = 16384; // each settings memory
    static constexpr int message_gap_ms = 100; // a message broken off this long is dropped

    // Fills the settings memory with the options' effect and selection.
    PedalFirmware(const PedalOptions &options, PedalOutlet &outlet);

    // Starts this version of the firmware at `at`: the settings come from memory.
    void start(int version, qint64 at);
    // One byte from the host, arrived at `at`.
    Request receive(std::uint8_t b, qint64 at);
    // A byte the firmware could not read breaks off the message it was in.
    void lineError();
    // The message being received is lost (a restart).
    void dropMessage() { m_message.clear(); }

    int version() const { return m_version; }
    std::uint16_t algorithm() const { return m_algorithm; } // one decimal digit per nibble
    int effect() const { return m_effect; }
    const Settings &settings() const { return m_settings; }
    std::array<std::uint32_t, 5> storedWords() const;
    QByteArray tuningData() const;
    QByteArray settingsMemory(std::uint8_t i2cAddress) const;
    const QList<std::uint16_t> &effectAddresses() const { return m_fields; }
    // The status reply the firmware would send now, as values.
    QList<int> statusValues() const;
    int ignoredCount() const { return m_ignored; }

private:
    int messageLength() const;
    void message(const QByteArray &m, qint64 at, Request &request);
    void sendStatus(qint64 reply);
    void answerUpload(const QByteArray &m, qint64 reply);
    void loadSettingsFromMemory();
    void storeSettings();
    bool loadEffect(const QByteArray &image, bool store);
    int parameterForAddress(std::uint16_t address) const;
    void ignore(const QByteArray &m, const QString &why);

    const PedalOptions &m_options;
    PedalOutlet &m_outlet;
    int m_version = 0;
    std::uint16_t m_algorithm = 0;
    int m_effect = 0;
    Settings m_settings;
    QList<std::uint16_t> m_fields;
    QByteArray m_memory50;
    QByteArray m_memory51;
    QByteArray m_message;
    qint64 m_lastByteAt = 0;
    int m_ignored = 0;
    qint64 m_dspWrites = 0; // DSP writes taken since the firmware started
};

} // namespace quorvane
