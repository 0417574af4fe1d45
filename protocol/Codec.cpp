#include "protocol/Codec.h"

namespace quorvane {

static int hex_digit_value(QChar c)
{
    const char16_t u = c.unicode();
    if (u >= '0' && u <= '9')
        return u - '0';
    if (u >= 'A' && u <= 'F')
        return u - 'A' + 10;
    if (u >= 'a' && u <= 'f')
        return u - 'a' + 10;
    return -1;
}

std::uint32_t decode_hex_text(const QString &text, std::uint8_t *destination, std::uint32_t n)
{
    std::uint32_t done = 0;
    qsizetype pos = 0;
    while (done < n && pos + 1 < text.size()) {
        const int hi = hex_digit_value(text[pos]);
        const int lo = hex_digit_value(text[pos + 1]);
        if (hi < 0 || lo < 0)
            break;
        destination[done++] = static_cast<std::uint8_t>(hi * 16 + lo);
        pos += 2;
    }
    return done;
}

std::uint32_t count_hex_bytes(const QString &text, std::uint32_t n)
{
    std::uint32_t done = 0;
    for (qsizetype pos = 0; done < n && pos + 1 < text.size(); pos += 2, ++done) {
        if (hex_digit_value(text[pos]) < 0 || hex_digit_value(text[pos + 1]) < 0)
            break;
    }
    return done;
}

QString encode_hex_text(const std::uint8_t *source, std::uint32_t n)
{
    static const char digits[] = "0123456789ABCDEF";
    QString text(qsizetype(n) * 2, Qt::Uninitialized);
    QChar *out = text.data();
    for (std::uint32_t i = 0; i < n; ++i) {
        *out++ = QLatin1Char(digits[source[i] >> 4]);
        *out++ = QLatin1Char(digits[source[i] & 0x0F]);
    }
    return text;
}

QByteArray Hex2String(const QString &buffer)
{
    QByteArray result(buffer.size() / 2, '\0');
    decode_hex_text(buffer, reinterpret_cast<std::uint8_t *>(result.data()),
                    std::uint32_t(result.size()));
    return result;
}

static std::uint8_t hex_pair(const QString &text, qsizetype pos)
{
    const QString pair = text.mid(pos, 2);
    const int hi = pair.size() == 2 ? hex_digit_value(pair[0]) : -1;
    const int lo = pair.size() == 2 ? hex_digit_value(pair[1]) : -1;
    if (hi < 0 || lo < 0)
        throw ConversionError(QStringLiteral("'$%1' is not a valid integer value").arg(pair));
    return static_cast<std::uint8_t>(hi * 16 + lo);
}

QByteArray HexToBytes(const QString &hex)
{
    QByteArray result(hex.size() / 2, '\0');
    for (qsizetype i = 0; i < result.size(); ++i)
        result[i] = char(hex_pair(hex, 2 * i));
    return result;
}

int calc_XOR_checksum(const QString &data, std::uint32_t length)
{
    int checksum = 0;
    for (std::uint32_t i = 0; i < length; ++i)
        checksum ^= hex_pair(data, qsizetype(i) * 2);
    return checksum;
}

static QString hex_field(qint64 value, int width, int bits)
{
    quint64 v = quint64(value);
    if (value < 0)
        v &= (bits == 64) ? ~quint64(0) : ((quint64(1) << bits) - 1);
    return QString::number(v, 16).toUpper().rightJustified(width, QLatin1Char('0'));
}

QString hex2(qint64 value) { return hex_field(value, 2, 8); }
QString hex4(qint64 value) { return hex_field(value, 4, 16); }
QString hex8(qint64 value) { return hex_field(value, 8, 32); }

} // namespace quorvane
