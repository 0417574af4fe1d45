#include "platform/LatencyTimer.h"

#include <QFile>
#include <QFileInfo>

namespace quorvane {

namespace {

// Writes `text` as the file's whole content; sysfs takes one write.
bool write_text(const QString &path, const QByteArray &text, QString *reason)
{
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
        if (reason)
            *reason = file.errorString();
        return false;
    }
    if (file.write(text) != text.size()) {
        if (reason)
            *reason = file.errorString();
        return false;
    }
    return true;
}

} // namespace

LatencyTimer::LatencyTimer(QString sysfs_root) : m_root(std::move(sysfs_root)) {}

LatencyTimer::~LatencyTimer()
{
    restore_all();
}

QString LatencyTimer::timer_file(const QString &location) const
{
    // A link such as /dev/serial/by-id/... names the device it points at.
    const QFileInfo info(location);
    const QString device = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    const QString tty = QFileInfo(device).fileName();
    if (tty.isEmpty())
        return {};
    return m_root + QStringLiteral("/bus/usb-serial/devices/") + tty + QStringLiteral("/latency_timer");
}

LatencyTimer::Result LatencyTimer::lower(const QString &location)
{
    Result result;
    result.file = timer_file(location);
    if (result.file.isEmpty() || !QFileInfo::exists(result.file)) {
        result.file.clear();
        return result;
    }
    QFile file(result.file);
    if (!file.open(QIODevice::ReadOnly)) {
        result.outcome = Outcome::NotPermitted;
        result.reason = file.errorString();
        return result;
    }
    const QByteArray before = file.readAll().trimmed();
    file.close();
    bool number = false;
    const int before_ms = before.toInt(&number);
    if (number && before_ms == wanted_ms) {
        result.outcome = Outcome::Lowered;
        return result;
    }
    if (!write_text(result.file, QByteArray::number(wanted_ms) + '\n', &result.reason)) {
        result.outcome = Outcome::NotPermitted;
        return result;
    }
    // Only a value that was read is given back; the first one is kept when
    // the same port is lowered twice.
    if (number)
        m_saved.emplace(result.file, before + '\n');
    result.outcome = Outcome::Lowered;
    return result;
}

void LatencyTimer::restore(const QString &file)
{
    const auto it = m_saved.find(file);
    if (it == m_saved.end())
        return;
    write_text(it->first, it->second, nullptr); // a bridge that went takes its timer with it
    m_saved.erase(it);
}

void LatencyTimer::restore_all()
{
    for (const auto &[file, text] : m_saved)
        write_text(file, text, nullptr);
    m_saved.clear();
}

} // namespace quorvane
