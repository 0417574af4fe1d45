#pragma once
// What the captured traffic means: each firmware message named by its first
// byte with its fields, the pedal's answers, and each bootloader command and
// reply with its fields. Bytes that fit nothing known are shown as unknown;
// nothing is guessed.
//
// A record is read in the light of its exchange: a reply is a status reply
// because the exchange began with a status request, and a bootloader byte is
// an address because the command before it was acknowledged. Decoding runs
// from the exchange's first record still held, and remembers where it got
// to, so reading rows in order costs one step a row.

#include "usb/TrafficLog.h"

#include <QString>

#include <cstdint>
#include <functional>
#include <memory>
#include <vector>

namespace quorvane {

enum class TrafficKind : std::uint8_t {
    // to the pedal's firmware
    EffectUpload,
    DspWrite,
    StatusRequest,
    StoreSettings,
    Assign,
    UpgradeRequest,
    MidiChannel,
    Footswitch,
    Tuning,
    EraseSettings,
    ReadSettings,
    Bypass,
    TuningData,
    Instrument,
    // from the pedal's firmware
    StatusReply,
    UploadAnswer,
    MemoryDump,
    // to the bootloader
    Sync,
    Get,
    GetVersion,
    GetId,
    ReadMemory,
    Go,
    WriteMemory,
    EraseMemory,
    ExtendedErase,
    WriteProtect,
    WriteUnprotect,
    ReadoutProtect,
    ReadoutUnprotect,
    // from the bootloader
    Ack,
    Nack,
    // either way
    Malformed,
    Unknown,
};
inline constexpr int traffic_kind_count = int(TrafficKind::Unknown) + 1;

// The kind's name as the traffic window shows it.
QString traffic_kind_name(TrafficKind kind);

// What the current effect knows of a DSP address.
struct DspParameterName {
    QString name;       // empty: the address is no known parameter
    bool level = false; // its words are levels (level << 13)
};
using DspParameterLookup = std::function<DspParameterName(std::uint16_t address)>;

struct DecodedTraffic {
    TrafficKind kind = TrafficKind::Unknown;
    QString text;
};

class TrafficDecoder {
public:
    explicit TrafficDecoder(const TrafficLog &log) : m_log(log) {}

    // Names the parameters of DSP writes; without it their addresses are shown.
    DspParameterLookup parameter_at;

    // The record's meaning; Unknown with empty text when it is no longer held.
    DecodedTraffic decode(std::uint64_t number);
    TrafficKind kind(std::uint64_t number) { return decode(number).kind; }
    // Forgets what it remembers (after the parameter names changed).
    void reset() { m_cache = {}; }

    struct State; // how far an exchange has been read

private:
    struct Cache {
        bool valid = false;
        std::uint32_t exchange = 0;
        TrafficLine line = TrafficLine::Firmware;
        std::uint64_t first = 0; // the exchange's first record decoded
        std::vector<DecodedTraffic> rows;
        std::shared_ptr<State> state;
    };

    void feed(const TrafficRecord &record);

    const TrafficLog &m_log;
    Cache m_cache;
    TrafficRecord m_scratch; // its bytes' room is used again from record to record
};

// The decoded meaning of one message to the pedal's firmware, alone (for
// the tests and the console).
DecodedTraffic decode_firmware_message(const QByteArray &bytes, const DspParameterLookup &parameter_at = {});

// The bytes as upper-case hex pairs separated by spaces.
QString traffic_hex(const QByteArray &bytes, int max_bytes = -1);

} // namespace quorvane
