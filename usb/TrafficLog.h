#pragma once
// What went over the line: every write and every read that passes the gate,
// as raw bytes with a monotonic time, its direction, the line it went on
// (the pedal's firmware or its bootloader) and the exchange it belongs to.
// Capture copies bytes into preallocated rings and does nothing else; the
// meaning of the bytes is worked out later, only for what is looked at.
//
// Bounds: at most max_records records, and their bytes within byte_budget;
// the oldest records go first when either is full. Memory is reserved once
// and only the pages that get used become resident.

#include <QByteArray>
#include <QByteArrayView>
#include <QElapsedTimer>

#include <cstddef>
#include <cstdint>
#include <memory>

namespace quorvane {

enum class TrafficDirection : std::uint8_t { Out, In };
enum class TrafficLine : std::uint8_t { Firmware, Bootloader };

// One captured record, as read back from the log.
struct TrafficRecord {
    std::uint64_t number = 0; // counted from the log's creation, never reused
    std::int64_t time_us = 0; // since the capture clock started
    TrafficDirection direction = TrafficDirection::Out;
    TrafficLine line = TrafficLine::Firmware;
    std::uint32_t exchange = 0;
    std::uint32_t size = 0;
    QByteArray bytes; // a copy, made only when the record is read
};

class TrafficLog {
public:
    static constexpr std::size_t default_max_records = 1'000'000;
    static constexpr std::size_t default_byte_budget = std::size_t(64) << 20; // 64 MiB

    explicit TrafficLog(std::size_t max_records = default_max_records,
                        std::size_t byte_budget = default_byte_budget);
    ~TrafficLog();
    TrafficLog(const TrafficLog &) = delete;
    TrafficLog &operator=(const TrafficLog &) = delete;

    // Capture is on from the start; off, append() keeps nothing.
    bool capturing() const { return m_capturing; }
    void set_capturing(bool on) { m_capturing = on; }

    // Keeps one record. A record larger than the byte budget keeps its last
    // byte_budget bytes (its size still tells how many passed).
    void append(TrafficDirection direction, TrafficLine line, std::uint32_t exchange, const void *data,
                std::size_t size)
    {
        if (m_capturing)
            store(direction, line, exchange, static_cast<const std::uint8_t *>(data), size);
    }

    // The records held are numbers [first(), end()).
    std::uint64_t first() const { return m_first; }
    std::uint64_t end() const { return m_end; }
    std::size_t count() const { return std::size_t(m_end - m_first); }
    bool holds(std::uint64_t number) const { return number >= m_first && number < m_end; }
    // The record `number` without its bytes; false when it is no longer held.
    bool header(std::uint64_t number, TrafficRecord &out) const;
    // The record with a copy of its bytes (those kept).
    bool record(std::uint64_t number, TrafficRecord &out) const;
    // Copies the kept bytes of a held record into `out` (at most `max`);
    // returns how many. Cheap: no allocation.
    std::size_t copy_bytes(std::uint64_t number, std::uint8_t *out, std::size_t max) const;
    std::uint8_t first_byte(std::uint64_t number) const;

    void clear();
    std::int64_t now_us() const { return m_clock.nsecsElapsed() / 1000; }

    std::size_t max_records() const { return m_max_records; }
    std::size_t byte_budget() const { return m_byte_budget; }
    // Bytes reserved for the two rings (the most the log can take).
    std::size_t reserved_bytes() const;

private:
    struct Slot {
        std::int64_t time_us;
        std::uint64_t byte_pos; // absolute position in the byte stream
        std::uint32_t size;     // bytes that passed
        std::uint32_t kept;     // bytes kept (size, unless over the budget)
        std::uint32_t exchange;
        TrafficDirection direction;
        TrafficLine line;
    };

    void store(TrafficDirection direction, TrafficLine line, std::uint32_t exchange, const std::uint8_t *data,
               std::size_t size);
    const Slot &slot(std::uint64_t number) const { return m_slots[number % m_max_records]; }
    void drop_oldest();

    std::size_t m_max_records;
    std::size_t m_byte_budget;
    std::unique_ptr<Slot[]> m_slots;
    std::unique_ptr<std::uint8_t[]> m_bytes;
    std::uint64_t m_first = 0;
    std::uint64_t m_end = 0;
    std::uint64_t m_byte_begin = 0; // oldest byte still held
    std::uint64_t m_byte_end = 0;
    bool m_capturing = true;
    QElapsedTimer m_clock;
};

} // namespace quorvane
