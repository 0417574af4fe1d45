#include "update/Versions.h"

#include <QRegularExpression>
#include <QStringList>

namespace quorvane {

QString major_minor(const QString &file_version)
{
    const QStringList parts = file_version.split(QLatin1Char('.'));
    if (parts.size() < 2)
        return {};
    bool okMajor = false, okMinor = false;
    const uint major = parts[0].toUInt(&okMajor);
    const uint minor = parts[1].toUInt(&okMinor);
    if (!okMajor || !okMinor || major > 0xFFFF || minor > 0xFFFF)
        return {};
    return QStringLiteral("%1.%2").arg(major).arg(minor);
}

bool is_version_text(const QString &text)
{
    static const QRegularExpression pattern(QStringLiteral("\\A[0-9]+(\\.[0-9]+)*\\z"));
    return pattern.match(text).hasMatch();
}

QString version_digits(const QString &text)
{
    QString digits = text;
    digits.remove(QLatin1Char('.'));
    return digits;
}

std::optional<quint64> version_number(const QString &text)
{
    if (!is_version_text(text))
        return std::nullopt;
    bool ok = false;
    const quint64 n = version_digits(text).toULongLong(&ok, 10);
    if (!ok)
        return std::nullopt;
    return n;
}

} // namespace quorvane
