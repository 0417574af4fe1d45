#include "protocol/TrafficExport.h"

#include <QTextStream>

namespace quorvane {

QString traffic_time_text(std::int64_t time_us)
{
    const std::int64_t ms = time_us / 1000;
    const std::int64_t us = time_us % 1000;
    return QString::number(ms) + QLatin1Char('.') + QString::number(us).rightJustified(3, QLatin1Char('0'));
}

QString traffic_direction_text(TrafficDirection direction)
{
    return direction == TrafficDirection::Out ? QStringLiteral("out") : QStringLiteral("in");
}

QString csv_field(const QString &text)
{
    if (!text.contains(QLatin1Char(',')) && !text.contains(QLatin1Char('"')) && !text.contains(QLatin1Char('\n')) &&
        !text.contains(QLatin1Char('\r')))
        return text;
    QString quoted = text;
    quoted.replace(QLatin1Char('"'), QStringLiteral("\"\""));
    return QLatin1Char('"') + quoted + QLatin1Char('"');
}

bool export_traffic(QIODevice &out, TrafficFormat format, const TrafficLog &log, TrafficDecoder &decoder,
                    const std::vector<std::uint64_t> &numbers)
{
    QTextStream stream(&out);
    stream.setEncoding(QStringConverter::Utf8);
    if (format == TrafficFormat::Csv)
        stream << traffic_csv_header << '\n';
    TrafficRecord r;
    for (std::uint64_t n : numbers) {
        if (!log.record(n, r))
            continue;
        const DecodedTraffic d = decoder.decode(n);
        const QString line = r.line == TrafficLine::Bootloader ? QStringLiteral("bootloader") : QStringLiteral("firmware");
        if (format == TrafficFormat::Csv) {
            stream << n << ',' << traffic_time_text(r.time_us) << ',' << traffic_direction_text(r.direction) << ','
                   << line << ',' << r.exchange << ',' << csv_field(traffic_kind_name(d.kind)) << ','
                   << csv_field(d.text) << ',' << traffic_hex(r.bytes) << '\n';
        } else {
            stream << n << '\t' << traffic_time_text(r.time_us) << " ms\t"
                   << (r.direction == TrafficDirection::Out ? "->" : "<-") << '\t' << line << '\t' << r.exchange
                   << '\t' << d.text << '\t' << traffic_hex(r.bytes) << '\n';
        }
        if (stream.status() != QTextStream::Ok)
            return false;
    }
    stream.flush();
    return stream.status() == QTextStream::Ok;
}

} // namespace quorvane
