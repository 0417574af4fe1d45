#include "simulator/TrafficReplay.h"

#include <QTextStream>

namespace quorvane {

namespace {

QString hex_text(const QByteArray &bytes, qsizetype limit = 64)
{
    if (bytes.isEmpty())
        return QStringLiteral("(nothing)");
    QString text = QString::fromLatin1(bytes.left(limit).toHex(' ').toUpper());
    if (bytes.size() > limit)
        text += QStringLiteral(" ... (%1 B)").arg(bytes.size());
    return text;
}

bool parse_hex(const QString &text, QByteArray &out)
{
    out.clear();
    const QStringList pairs = text.split(QLatin1Char(' '), Qt::SkipEmptyParts);
    out.reserve(pairs.size());
    for (const QString &pair : pairs) {
        bool ok = false;
        const uint v = pair.toUInt(&ok, 16);
        if (!ok || pair.size() != 2)
            return false;
        out.append(char(v));
    }
    return true;
}

} // namespace

bool TrafficReplay::split_csv_line(const QString &line, QStringList &fields)
{
    fields.clear();
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line.at(i);
        if (quoted) {
            if (c == QLatin1Char('"')) {
                if (i + 1 < line.size() && line.at(i + 1) == QLatin1Char('"')) {
                    field += c;
                    ++i;
                } else {
                    quoted = false;
                }
            } else {
                field += c;
            }
        } else if (c == QLatin1Char('"') && field.isEmpty()) {
            quoted = true;
        } else if (c == QLatin1Char(',')) {
            fields << field;
            field.clear();
        } else {
            field += c;
        }
    }
    if (quoted)
        return false;
    fields << field;
    return true;
}

bool TrafficReplay::load(QIODevice &csv, QString *error)
{
    auto wrong = [&](int line, const QString &why) {
        if (error)
            *error = line > 0 ? QStringLiteral("line %1: %2").arg(line).arg(why) : why;
        m_records.clear();
        return false;
    };
    m_records.clear();
    QTextStream in(&csv);
    in.setEncoding(QStringConverter::Utf8);
    QStringList fields;
    if (in.atEnd())
        return wrong(0, QStringLiteral("the file is empty; a traffic export in CSV is expected"));
    const QString header = in.readLine();
    if (!split_csv_line(header, fields))
        return wrong(1, QStringLiteral("a quote is not closed"));
    const qsizetype number_col = fields.indexOf(QStringLiteral("number"));
    const qsizetype direction_col = fields.indexOf(QStringLiteral("direction"));
    const qsizetype hex_col = fields.indexOf(QStringLiteral("hex"));
    if (number_col < 0 || direction_col < 0 || hex_col < 0)
        return wrong(1, QStringLiteral("no traffic export: the header names no number, direction and hex columns"));
    const qsizetype needed = std::max({number_col, direction_col, hex_col}) + 1;
    int line_no = 1;
    while (!in.atEnd()) {
        const QString line = in.readLine();
        ++line_no;
        if (line.trimmed().isEmpty())
            continue;
        if (!split_csv_line(line, fields))
            return wrong(line_no, QStringLiteral("a quote is not closed"));
        if (fields.size() < needed)
            return wrong(line_no, QStringLiteral("%1 fields, the header has %2").arg(fields.size()).arg(needed));
        Record r;
        bool ok = false;
        r.number = fields.at(number_col).toULongLong(&ok);
        if (!ok)
            return wrong(line_no, QStringLiteral("\"%1\" is no record number").arg(fields.at(number_col)));
        const QString direction = fields.at(direction_col);
        if (direction == QLatin1String("out"))
            r.out = true;
        else if (direction == QLatin1String("in"))
            r.out = false;
        else
            return wrong(line_no, QStringLiteral("direction \"%1\" is neither out nor in").arg(direction));
        if (!parse_hex(fields.at(hex_col), r.bytes) || r.bytes.isEmpty())
            return wrong(line_no, QStringLiteral("the bytes are not hex pairs separated by spaces"));
        m_records.push_back(std::move(r));
    }
    m_next = 0;
    m_got.clear();
    return true;
}

void TrafficReplay::tell(const QString &line)
{
    if (report)
        report(line);
}

void TrafficReplay::answer()
{
    while (m_next < m_records.size() && !m_records[m_next].out)
        m_output += m_records[m_next++].bytes;
}

void TrafficReplay::start()
{
    answer();
}

void TrafficReplay::receive(const QByteArray &bytes)
{
    qsizetype at = 0;
    while (at < bytes.size()) {
        answer();
        if (m_next >= m_records.size()) {
            // Only told once: what follows is all beyond the recording.
            ++m_differences;
            if (!m_told_extra)
                tell(QStringLiteral("after the last record: expected nothing, got %1").arg(hex_text(bytes.mid(at))));
            m_told_extra = true;
            return;
        }
        const Record &r = m_records[m_next];
        const qsizetype take = std::min(r.bytes.size() - m_got.size(), bytes.size() - at);
        m_got += bytes.mid(at, take);
        at += take;
        if (m_got.size() < r.bytes.size())
            return;
        if (m_got != r.bytes) {
            ++m_differences;
            tell(QStringLiteral("record %1: expected %2, got %3").arg(r.number).arg(hex_text(r.bytes), hex_text(m_got)));
        }
        m_got.clear();
        ++m_next;
        answer();
    }
}

QByteArray TrafficReplay::takeOutput(qsizetype max)
{
    const QByteArray out = m_output.left(max);
    m_output.remove(0, out.size());
    return out;
}

void TrafficReplay::finish()
{
    if (m_next < m_records.size()) {
        ++m_differences;
        tell(QStringLiteral("record %1: expected %2, got %3")
                 .arg(m_records[m_next].number)
                 .arg(hex_text(m_records[m_next].bytes), hex_text(m_got)));
        const std::size_t rest = m_records.size() - m_next - 1;
        if (rest > 0)
            tell(QStringLiteral("%1 more records after it never came").arg(rest));
    }
}

} // namespace quorvane
