#pragma once
// Captured traffic written out for a person (text) or a program (CSV). The
// CSV carries every byte of each record, so that kq5-pedal-sim --expect can
// play a recorded session back.

#include "protocol/TrafficDecoder.h"

#include <QIODevice>
#include <QString>

#include <cstdint>
#include <vector>

namespace quorvane {

enum class TrafficFormat { Text, Csv };

// The CSV's first line.
inline const QString traffic_csv_header =
    QStringLiteral("number,time_ms,direction,line,exchange,kind,decoded,hex");

// Milliseconds with microseconds, as the window and the exports show them.
QString traffic_time_text(std::int64_t time_us);
QString traffic_direction_text(TrafficDirection direction);

// Writes the records `numbers` (those still held) in the format; false when
// the device failed to take them.
bool export_traffic(QIODevice &out, TrafficFormat format, const TrafficLog &log, TrafficDecoder &decoder,
                    const std::vector<std::uint64_t> &numbers);

// One field of a CSV line, quoted when it needs to be.
QString csv_field(const QString &text);

} // namespace quorvane
