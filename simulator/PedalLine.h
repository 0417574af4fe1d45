#pragma once
// The line between the host and the virtual pedal, through the bridge: the
// host's settings, the bytes each way with the time they arrive, the line's
// bit times and the bridge's latency when paced, and the faults that live on
// the line (silence, the bridge unplugged, a pedal that babbles).
//
// It knows nothing of what the bytes mean. The pedal tells it how its side
// runs (PedalSide) when it sends and when it asks what arrived; times are in
// microseconds on the pedal's clock.

#include "simulator/PedalOptions.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <deque>
#include <functional>
#include <optional>
#include <utility>

namespace quorvane {

class PedalLine {
public:
    // The host's side, as last set through the bridge.
    struct Settings {
        std::uint32_t baud = 9600; // a bridge's setting after power-on
        std::uint8_t wordLength = 8;
        std::uint8_t stopBits = 0; // 0: one, 2: two
        std::uint8_t parity = 0;   // 0: none, 2: even
    };

    // The pedal's side: the rate and parity it sends with and reads; a
    // bootloader waiting for synchronisation reads any rate.
    struct PedalSide {
        std::uint32_t baud = 115200;
        std::uint8_t parity = 0;
        bool anyRate = false;
    };

    // A byte from the host, with the line it was sent with.
    struct InByte {
        qint64 at;
        std::uint8_t value;
        std::uint32_t baud;
        std::uint8_t wordLength;
        std::uint8_t parity;
    };

    PedalLine(const PedalOptions &options, std::function<void(const QString &)> note, qint64 now);

    void setBaudRate(std::uint32_t baud) { m_settings.baud = baud; }
    void setDataCharacteristics(std::uint8_t wordLength, std::uint8_t stopBits, std::uint8_t parity);
    Settings settings() const { return m_settings; }

    // Bytes written by the host at `now`.
    void receive(const QByteArray &bytes, qint64 now);
    // The next byte from the host that has reached the pedal by `now`.
    std::optional<InByte> takeArrived(qint64 now);
    // Whether the pedal can read a byte sent with the host's line of then.
    bool fits(const InByte &in, const PedalSide &side) const;

    // Queues bytes for the host from `at` on; returns when the line is free
    // again (the end of their last byte), or -1 when nothing was sent.
    qint64 send(const QByteArray &bytes, qint64 at, const PedalSide &side);
    // Bytes already in the bridge, behind what waits there: no line time.
    void sendUnsolicited(const QByteArray &bytes, qint64 now, const PedalSide &side);
    // After the pedal has taken what arrived: the babble up to `now`; an
    // unplugged bridge holds nothing.
    void settle(qint64 now, const PedalSide &side);

    qint64 bytesAvailable(qint64 now) const;
    QByteArray takeOutput(qint64 max, qint64 now);
    qint64 microsToNextOutput(qint64 now, const PedalSide &side) const;
    void purgeReceive(qint64 now);
    void purgeTransmit(qint64 now);
    // Switched off and on: nothing on the line either way.
    void reset(qint64 now);

    bool unplugged() const { return m_unplugged; }
    qint64 hostBytes() const { return m_hostBytes; }

private:
    struct OutByte {
        qint64 at;
        std::uint8_t value;
        std::uint8_t parity;
        std::uint32_t baud;
    };

    static qint64 charMicros(std::uint32_t baud, std::uint8_t wordLength, std::uint8_t parity,
                             std::uint8_t stopBits);
    static qint64 charMicros(const PedalSide &side);
    // Puts one byte into the output queue, in time order.
    void queueOut(const OutByte &o);
    void babble(qint64 now, const PedalSide &side);

    const PedalOptions &m_options;
    std::function<void(const QString &)> m_note;
    Settings m_settings;

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
};

} // namespace quorvane
