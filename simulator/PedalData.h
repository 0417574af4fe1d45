#pragma once
// What the parts of the virtual pedal share: the built-in images it starts
// with, its numbers as decimal digits, and the byte helpers of its protocols.

#include <QByteArray>
#include <QString>

#include <cstdint>

namespace quorvane::pedal {

// Built-in data, from the editor's resources.
QByteArray builtInEffectImage(int algorithm);
QByteArray builtInFirmwareImage(int version);
std::uint16_t toDigits(int number); // 11 -> 0x0011

inline std::uint16_t be16(const QByteArray &b, int at)
{
    return std::uint16_t(std::uint8_t(b[at]) << 8 | std::uint8_t(b[at + 1]));
}

inline std::uint32_t be32(const QByteArray &b, int at)
{
    return std::uint32_t(be16(b, at)) << 16 | be16(b, at + 2);
}

inline void put16(QByteArray &b, int at, std::uint16_t v)
{
    b[at] = char(v >> 8);
    b[at + 1] = char(v);
}

inline void put32(QByteArray &b, int at, std::uint32_t v)
{
    put16(b, at, std::uint16_t(v >> 16));
    put16(b, at + 2, std::uint16_t(v));
}

inline std::uint8_t xorOf(const QByteArray &b, int from = 0, int to = -1)
{
    if (to < 0)
        to = int(b.size());
    std::uint8_t x = 0;
    for (int i = from; i < to; ++i)
        x ^= std::uint8_t(b[i]);
    return x;
}

// "31 30 0D 0A", as the log writes bytes.
inline QString hex(const QByteArray &b)
{
    return QString::fromLatin1(b.toHex(' ').toUpper());
}

} // namespace quorvane::pedal
