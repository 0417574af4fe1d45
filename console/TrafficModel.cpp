#include "console/TrafficModel.h"

#include "protocol/TrafficExport.h"

#include <QColor>
#include <QFontDatabase>

#include <algorithm>

namespace quorvane {

namespace {

// The hex column shows this many bytes of a record; exports show them all.
constexpr int hex_shown = 48;

} // namespace

TrafficModel::TrafficModel(const TrafficLog &log, QObject *parent)
    : QAbstractTableModel(parent), m_log(log), m_decoder(log)
{
    m_first = m_log.first();
    m_end = m_log.end();
}

int TrafficModel::rowCount(const QModelIndex &parent) const
{
    if (parent.isValid())
        return 0;
    if (filtered())
        return int(m_rows.size() - m_rows_front);
    return int(m_end - m_first);
}

int TrafficModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

std::uint64_t TrafficModel::number_at(int row) const
{
    if (filtered())
        return m_rows[m_rows_front + std::size_t(row)];
    return m_first + std::uint64_t(row);
}

const DecodedTraffic &TrafficModel::decoded(std::uint64_t number) const
{
    if (number != m_last_number) {
        m_last = m_decoder.decode(number);
        m_last_number = number;
    }
    return m_last;
}

QVariant TrafficModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= rowCount())
        return {};
    const std::uint64_t number = number_at(index.row());
    TrafficRecord head;
    const bool held = m_log.header(number, head);
    if (role == Qt::DisplayRole || role == Qt::ToolTipRole) {
        if (!held)
            return index.column() == ColDecoded ? QStringLiteral("(no longer held)") : QVariant();
        switch (index.column()) {
        case ColNumber: return QString::number(number);
        case ColTime: return traffic_time_text(head.time_us);
        case ColDirection:
            return head.direction == TrafficDirection::Out ? QStringLiteral("\u2192 out") : QStringLiteral("\u2190 in");
        case ColKind: return traffic_kind_name(decoded(number).kind);
        case ColDecoded: return decoded(number).text;
        case ColHex: {
            TrafficRecord r;
            m_log.record(number, r);
            return traffic_hex(r.bytes, role == Qt::ToolTipRole ? 1024 : hex_shown);
        }
        default: break;
        }
        return {};
    }
    if (role == Qt::TextAlignmentRole && (index.column() == ColNumber || index.column() == ColTime))
        return int(Qt::AlignRight | Qt::AlignVCenter);
    if (role == Qt::FontRole && index.column() == ColHex)
        return QFontDatabase::systemFont(QFontDatabase::FixedFont);
    if (role == Qt::ForegroundRole && held && index.column() == ColDirection)
        return head.direction == TrafficDirection::Out ? QColor(0x1f, 0x6f, 0xd0) : QColor(0x1a, 0x8a, 0x3a);
    if (role == Qt::ForegroundRole && held && index.column() == ColKind) {
        const TrafficKind kind = decoded(number).kind;
        if (kind == TrafficKind::Unknown || kind == TrafficKind::Malformed || kind == TrafficKind::Nack)
            return QColor(0xc0, 0x30, 0x30);
    }
    return {};
}

QVariant TrafficModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case ColNumber: return QStringLiteral("#");
    case ColTime: return QStringLiteral("Time (ms)");
    case ColDirection: return QStringLiteral("Direction");
    case ColKind: return QStringLiteral("Kind");
    case ColDecoded: return QStringLiteral("Decoded");
    case ColHex: return QStringLiteral("Hex");
    default: break;
    }
    return {};
}

bool TrafficModel::passes(std::uint64_t number)
{
    TrafficRecord head;
    if (!m_log.header(number, head))
        return false;
    if (m_direction && head.direction != *m_direction)
        return false;
    if (!m_kind && m_text.isEmpty())
        return true;
    const DecodedTraffic &d = decoded(number);
    if (m_kind && d.kind != *m_kind)
        return false;
    if (m_text.isEmpty())
        return true;
    if (d.text.contains(m_text, Qt::CaseInsensitive) ||
        traffic_kind_name(d.kind).contains(m_text, Qt::CaseInsensitive))
        return true;
    TrafficRecord r;
    m_log.record(number, r);
    return traffic_hex(r.bytes).contains(m_text, Qt::CaseInsensitive);
}

void TrafficModel::rebuild()
{
    m_rows.clear();
    m_rows_front = 0;
    if (!filtered())
        return;
    for (std::uint64_t n = std::max(m_first, m_log.first()); n < m_end; ++n)
        if (passes(n))
            m_rows.push_back(n);
}

void TrafficModel::set_filter(std::optional<TrafficKind> kind, std::optional<TrafficDirection> direction,
                              const QString &text)
{
    beginResetModel();
    m_kind = kind;
    m_direction = direction;
    m_text = text.trimmed();
    rebuild();
    endResetModel();
}

void TrafficModel::set_paused(bool paused)
{
    m_paused = paused;
    if (!paused)
        refresh();
}

void TrafficModel::refresh()
{
    if (m_paused)
        return;
    const std::uint64_t first = m_log.first();
    const std::uint64_t end = m_log.end();
    if (first == m_first && end == m_end)
        return;
    if (!filtered()) {
        // Let go what the ring dropped, then take in what came.
        if (first > m_first) {
            const std::uint64_t gone = std::min(first, m_end) - m_first;
            if (gone > 0) {
                beginRemoveRows({}, 0, int(gone) - 1);
                m_first += gone;
                endRemoveRows();
            }
            m_first = std::max(m_first, first);
            if (m_end < m_first)
                m_end = m_first;
        }
        if (end > m_end) {
            beginInsertRows({}, int(m_end - m_first), int(end - m_first) - 1);
            m_end = end;
            endInsertRows();
        }
        m_last_number = UINT64_MAX;
        return;
    }
    std::size_t gone = 0;
    while (m_rows_front + gone < m_rows.size() && m_rows[m_rows_front + gone] < first)
        ++gone;
    if (gone > 0) {
        beginRemoveRows({}, 0, int(gone) - 1);
        m_rows_front += gone;
        endRemoveRows();
    }
    // Compact now and then, not on every refresh.
    if (m_rows_front > 4096 && m_rows_front > m_rows.size() / 2) {
        m_rows.erase(m_rows.begin(), m_rows.begin() + std::ptrdiff_t(m_rows_front));
        m_rows_front = 0;
    }
    m_first = first;
    std::vector<std::uint64_t> fresh;
    for (std::uint64_t n = std::max(m_end, first); n < end; ++n)
        if (passes(n))
            fresh.push_back(n);
    m_end = end;
    if (!fresh.empty()) {
        const int row = rowCount();
        beginInsertRows({}, row, row + int(fresh.size()) - 1);
        m_rows.insert(m_rows.end(), fresh.begin(), fresh.end());
        endInsertRows();
    }
}

std::vector<std::uint64_t> TrafficModel::shown_numbers() const
{
    std::vector<std::uint64_t> out;
    const int rows = rowCount();
    out.reserve(std::size_t(rows));
    for (int row = 0; row < rows; ++row)
        out.push_back(number_at(row));
    return out;
}

std::vector<std::uint64_t> TrafficModel::all_numbers() const
{
    std::vector<std::uint64_t> out;
    for (std::uint64_t n = std::max(m_first, m_log.first()); n < m_end; ++n)
        out.push_back(n);
    return out;
}

QString TrafficModel::row_text(int row) const
{
    const std::uint64_t number = number_at(row);
    TrafficRecord r;
    if (!m_log.record(number, r))
        return {};
    return QString::number(number) + QLatin1Char('\t') + traffic_time_text(r.time_us) + QLatin1Char('\t') +
           traffic_direction_text(r.direction) + QLatin1Char('\t') + traffic_kind_name(decoded(number).kind) +
           QLatin1Char('\t') + decoded(number).text + QLatin1Char('\t') + traffic_hex(r.bytes);
}

} // namespace quorvane
