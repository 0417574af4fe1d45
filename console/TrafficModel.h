#pragma once
// The captured traffic as a table: one row a record, straight over the ring
// (nothing is copied), decoded only for the rows the view asks for. It
// follows the log when refresh() is called, unless paused; a filter (kind,
// direction, text) keeps the numbers of the records it lets through.

#include "protocol/TrafficDecoder.h"

#include <QAbstractTableModel>

#include <optional>
#include <vector>

namespace quorvane {

class TrafficModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { ColNumber, ColTime, ColDirection, ColKind, ColDecoded, ColHex, ColumnCount };

    explicit TrafficModel(const TrafficLog &log, QObject *parent = nullptr);

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

    // Takes in what the log gained and drops what it let go, unless paused.
    void refresh();
    void set_paused(bool paused);
    bool paused() const { return m_paused; }

    // The filter: a kind (none: every kind), a direction (none: both) and a
    // text that the decoded text or the hex must contain (case ignored).
    void set_filter(std::optional<TrafficKind> kind, std::optional<TrafficDirection> direction,
                    const QString &text);
    bool filtered() const { return m_kind || m_direction || !m_text.isEmpty(); }

    // The record shown in a row.
    std::uint64_t number_at(int row) const;
    // Every record shown, in order.
    std::vector<std::uint64_t> shown_numbers() const;
    // Every record the log holds (as far as this model has seen it).
    std::vector<std::uint64_t> all_numbers() const;

    TrafficDecoder &decoder() { return m_decoder; }
    const TrafficLog &log() const { return m_log; }
    // One row as text: time, direction, decoded fields and hex, tab-separated.
    QString row_text(int row) const;

private:
    bool passes(std::uint64_t number);
    void rebuild();
    const DecodedTraffic &decoded(std::uint64_t number) const;

    const TrafficLog &m_log;
    mutable TrafficDecoder m_decoder;
    bool m_paused = false;
    // The records seen: [m_first, m_end).
    std::uint64_t m_first = 0;
    std::uint64_t m_end = 0;
    std::optional<TrafficKind> m_kind;
    std::optional<TrafficDirection> m_direction;
    QString m_text;
    std::vector<std::uint64_t> m_rows; // filtered only
    std::size_t m_rows_front = 0;      // rows before this one have been let go
    // The last row decoded: the view asks for several columns of a row in turn.
    mutable std::uint64_t m_last_number = UINT64_MAX;
    mutable DecodedTraffic m_last;
};

} // namespace quorvane
