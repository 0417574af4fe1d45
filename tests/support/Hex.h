#pragma once
// "0C 51 00" style byte strings for readable test expectations.

#include <QByteArray>
#include <QString>

namespace quorvane::test {

inline QByteArray bytes(const char *spaced)
{
    return QByteArray::fromHex(QByteArray(spaced).replace(' ', ""));
}

inline QString spaced(const QByteArray &b)
{
    return QString::fromLatin1(b.toHex(' ').toUpper());
}

} // namespace quorvane::test
