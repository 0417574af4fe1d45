#include "simulator/PedalData.h"

#include <QFile>

namespace quorvane::pedal {

namespace {

QByteArray readResource(const QString &name)
{
    QFile f(QStringLiteral(":/") + name);
    if (!f.open(QIODevice::ReadOnly))
        return {};
    return f.readAll();
}

} // namespace

QByteArray builtInEffectImage(int algorithm)
{
    const QByteArray text = readResource(QStringLiteral("QUORVANE_KQ5_%1").arg(algorithm, 4, 10, QChar('0')));
    return QByteArray::fromHex(text);
}

QByteArray builtInFirmwareImage(int version)
{
    return readResource(QStringLiteral("FIRMWARE_%1").arg(version));
}

std::uint16_t toDigits(int number)
{
    std::uint16_t out = 0;
    for (int shift = 0; shift < 16; shift += 4) {
        out |= std::uint16_t((number % 10) << shift);
        number /= 10;
    }
    return out;
}

} // namespace quorvane::pedal
