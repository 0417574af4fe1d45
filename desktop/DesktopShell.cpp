#include "desktop/DesktopShell.h"

#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QProcess>
#include <QStandardPaths>
#include <QUrl>

namespace quorvane {

QString DesktopShell::documentsFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
}

QString DesktopShell::tempFolder()
{
    return QDir::tempPath();
}

QString DesktopShell::programPath()
{
    return QCoreApplication::applicationFilePath();
}

QString DesktopShell::programFolder()
{
    return QCoreApplication::applicationDirPath();
}

QString DesktopShell::programVersion()
{
    // The version is built into the program from the one place it is set.
    return QStringLiteral(QUORVANE_VERSION);
}

bool DesktopShell::openUrl(const QString &address)
{
    return QDesktopServices::openUrl(QUrl(address));
}

bool DesktopShell::startProgram(const QString &program, const QStringList &arguments,
                                bool elevated)
{
    if (elevated) {
        const QString pkexec = QStandardPaths::findExecutable(QStringLiteral("pkexec"));
        if (!pkexec.isEmpty())
            return QProcess::startDetached(pkexec, QStringList{program} + arguments);
    }
    return QProcess::startDetached(program, arguments);
}

} // namespace quorvane
