#pragma once
// The service console's log: every line the editor writes about its traffic.
// It lives in memory only and has no limit; the console window views it.

#include <QObject>
#include <QString>
#include <QStringList>

namespace quorvane {

class ConsoleLog : public QObject {
    Q_OBJECT
public:
    explicit ConsoleLog(QObject *parent = nullptr) : QObject(parent) {}

    // Appends one line; the view follows it to the end when autoscroll is on.
    void print_to_console(const QString &text);
    // Appends one line without moving the view.
    void print_without_scroll(const QString &text);
    void clear();

    const QStringList &lines() const { return m_lines; }
    qsizetype count() const { return m_lines.size(); }
    QString last() const { return m_lines.isEmpty() ? QString() : m_lines.last(); }

    // The console's "scroll" box.
    bool console_autoscroll = true;

signals:
    // `scroll` says whether the view should follow the new line.
    void lineAppended(const QString &text, bool scroll);
    void cleared();

private:
    QStringList m_lines;
};

} // namespace quorvane
