#include "app/AppVersion.h"

#include "platform/Shell.h"

#include <QStringList>

namespace quorvane {

QString get_app_version(Shell &shell)
{
    const QString version = shell.programVersion().trimmed();
    if (version.isEmpty())
        return {};
    const QStringList parts = version.split(QLatin1Char('.'));
    bool majorOk = false, minorOk = parts.size() < 2;
    const uint major = parts.value(0).toUInt(&majorOk);
    const uint minor = parts.size() < 2 ? 0 : parts.at(1).toUInt(&minorOk);
    if (!majorOk || !minorOk || major > 0xFFFF || minor > 0xFFFF)
        return QStringLiteral("Version info not available");
    return QStringLiteral("%1.%2").arg(major).arg(minor);
}

} // namespace quorvane
