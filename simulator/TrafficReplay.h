#pragma once
// A recorded session played back: the editor's traffic exported as CSV from
// the traffic window, read here, and each request the editor sends answered
// with the answer the recording holds. Every request that differs from the
// recording is told (its record number, the bytes expected and those that
// came) and the replay goes on.

#include <QByteArray>
#include <QIODevice>
#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <vector>

namespace quorvane {

class TrafficReplay {
public:
    struct Record {
        std::uint64_t number = 0;
        bool out = true; // sent by the editor
        QByteArray bytes;
    };

    // Reads a CSV export. On a mistake, false and what is wrong (line number
    // and why); nothing is kept then.
    bool load(QIODevice &csv, QString *error);
    const std::vector<Record> &records() const { return m_records; }

    // The answers the recording holds before its first request.
    void start();
    // Bytes from the editor.
    void receive(const QByteArray &bytes);
    // Answers waiting for the editor, at most `max` bytes.
    QByteArray takeOutput(qsizetype max);
    bool hasOutput() const { return !m_output.isEmpty(); }
    // At the end: records the session never reached count as differences.
    void finish();

    int differences() const { return m_differences; }
    // Where the differences are told, one line each.
    std::function<void(const QString &)> report;

    // Splits one CSV line into its fields; false on a broken quote.
    static bool split_csv_line(const QString &line, QStringList &fields);

private:
    void answer();
    void tell(const QString &line);

    std::vector<Record> m_records;
    std::size_t m_next = 0; // the record the session is at
    QByteArray m_got;       // bytes of the current request so far
    QByteArray m_output;
    int m_differences = 0;
    bool m_told_extra = false;
};

} // namespace quorvane
