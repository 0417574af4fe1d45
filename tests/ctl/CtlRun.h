#pragma once
// kq5ctl run as a program against kq5-pedal-sim: the run's exit code and
// output, and the virtual pedal with the log of what it received.

#include "support/PedalSimProcess.h"

#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

#include <algorithm>

namespace quorvane::test {

inline QString ctl_program()
{
    return qEnvironmentVariable("QUORVANE_BINARY_DIR") + QStringLiteral("/kq5ctl");
}

struct CtlRun {
    int code = -1; // -1: crashed or did not end in time
    QString out;
    QString err;
};

// kq5ctl with stdin a pipe that holds nothing: no terminal to ask on.
inline CtlRun run_ctl(const QStringList &args, int timeout_ms = 60000)
{
    QProcess p;
    p.start(ctl_program(), args);
    p.closeWriteChannel();
    CtlRun r;
    if (!p.waitForFinished(timeout_ms)) {
        p.kill();
        p.waitForFinished();
        r.err = QStringLiteral("kq5ctl did not end within %1 ms").arg(timeout_ms);
        return r;
    }
    r.code = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

// The virtual pedal with its log.
struct LoggedPedal {
    QTemporaryDir dir;
    QString log = dir.filePath(QStringLiteral("pedal.log"));
    PedalSimProcess sim;
    explicit LoggedPedal(const QStringList &args) : sim(QStringList{QStringLiteral("--log"), log} + args) {}
    QStringList lines() const
    {
        QFile f(log);
        if (!f.open(QIODevice::ReadOnly))
            return {};
        return QString::fromLatin1(f.readAll()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    }
    // Whether a line from the from-th on starts with start. A message that
    // gets no answer may still be on its way into the pedal when kq5ctl
    // ends: wait on this with QTRY_VERIFY.
    bool holds(const QString &start, qsizetype from = 0) const
    {
        const QStringList all = lines();
        return std::any_of(all.begin() + std::min(from, all.size()), all.end(),
                           [&](const QString &l) { return l.startsWith(start); });
    }
};

// A message as the pedal logs what it received: "recv 01 00 0B ...".
inline QString received(const QString &hex)
{
    QString spaced;
    for (int i = 0; i < hex.size(); i += 2)
        spaced += (i ? QStringLiteral(" ") : QString()) + hex.mid(i, 2);
    return QStringLiteral("recv ") + spaced;
}

} // namespace quorvane::test
