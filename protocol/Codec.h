#pragma once
// Message text: every message to the pedal is written as upper-case hex text,
// two digits per byte, and decoded into bytes just before it is written.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <stdexcept>

namespace quorvane {

// The conversion error raised by a text that is no number; the handler it
// occurs in ends and the default error report shows its text.
class ConversionError : public std::runtime_error {
public:
    explicit ConversionError(const QString &message)
        : std::runtime_error(message.toStdString()) {}
    QString text() const { return QString::fromStdString(what()); }
};

// Decodes pairs of hex digits into `destination` until n bytes are done or a
// pair does not decode; returns the number of bytes stored. Bytes after the
// last one stored keep their contents.
std::uint32_t decode_hex_text(const QString &text, std::uint8_t *destination, std::uint32_t n);

// How many of the first n bytes `text` spells, without storing them: what
// decode_hex_text would return.
std::uint32_t count_hex_bytes(const QString &text, std::uint32_t n);

// n bytes as 2n upper-case hex digits.
QString encode_hex_text(const std::uint8_t *source, std::uint32_t n);

// Hex text back to single-byte text of length/2 bytes.
QByteArray Hex2String(const QString &buffer);

// Hex text to bytes; a pair that is no hex number raises ConversionError.
QByteArray HexToBytes(const QString &hex);

// XOR of the first `length` bytes spelled by `data`; raises ConversionError
// on a bad or missing pair.
int calc_XOR_checksum(const QString &data, std::uint32_t length);

// Field formatting: upper-case hex padded to 2, 4 or 8 digits, growing when
// the value needs more. A negative value is written as its two's complement
// in the field's width (a byte, 16 bits, 32 bits).
QString hex2(qint64 value);
QString hex4(qint64 value);
QString hex8(qint64 value);

} // namespace quorvane
