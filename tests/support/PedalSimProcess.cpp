#include "support/PedalSimProcess.h"

namespace quorvane::test {

QString PedalSimProcess::program()
{
    return qEnvironmentVariable("QUORVANE_BINARY_DIR") + QStringLiteral("/kq5-pedal-sim");
}

PedalSimProcess::PedalSimProcess(const QStringList &args)
{
    process.start(program(), args);
    started = process.waitForStarted(5000);
    if (started && process.waitForReadyRead(5000))
        path = QString::fromLatin1(process.readLine().trimmed());
}

PedalSimProcess::~PedalSimProcess()
{
    if (process.state() == QProcess::NotRunning)
        return;
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(1000);
    }
}

} // namespace quorvane::test
