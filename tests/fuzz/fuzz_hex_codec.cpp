// The message codec: hex text to bytes and back, the checksum and the field
// formatting. Encoding then decoding gives back the bytes; every decoder
// agrees on how much of a text is hex.

#include "FuzzCheck.h"

#include "protocol/Codec.h"

#include <vector>

using namespace quorvane;
using namespace quorvane::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    // The bytes through the codec and back.
    const QString encoded = encode_hex_text(data, std::uint32_t(size));
    FUZZ_CHECK(encoded.size() == qsizetype(2 * size));
    std::vector<std::uint8_t> decoded(size + 1, 0xEE);
    FUZZ_CHECK(decode_hex_text(encoded, decoded.data(), std::uint32_t(size)) == size);
    FUZZ_CHECK(std::equal(data, data + size, decoded.begin()));
    FUZZ_CHECK(decoded[size] == 0xEE); // nothing written past n
    FUZZ_CHECK(HexToBytes(encoded) == QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    FUZZ_CHECK(Hex2String(encoded) == HexToBytes(encoded));
    int xor_of_bytes = 0;
    for (std::size_t i = 0; i < size; ++i)
        xor_of_bytes ^= data[i];
    FUZZ_CHECK(calc_XOR_checksum(encoded, std::uint32_t(size)) == xor_of_bytes);

    // The input as text, as a message or a resource line would hold it.
    const QString text = QString::fromLatin1(reinterpret_cast<const char *>(data), qsizetype(size));
    const auto n = std::uint32_t(text.size() / 2 + 1); // one more than it can spell
    std::vector<std::uint8_t> out(n, 0xEE);
    const std::uint32_t done = decode_hex_text(text, out.data(), n);
    FUZZ_CHECK(done <= std::uint32_t(text.size() / 2));
    FUZZ_CHECK(count_hex_bytes(text, n) == done);
    FUZZ_CHECK(encode_hex_text(out.data(), done) == text.left(2 * done).toUpper());
    for (std::uint32_t i = done; i < n; ++i)
        FUZZ_CHECK(out[i] == 0xEE); // bytes after the last one stored keep their contents
    const bool whole = done == std::uint32_t(text.size() / 2);
    try {
        const QByteArray bytes = HexToBytes(text);
        FUZZ_CHECK(whole);
        FUZZ_CHECK(bytes == Hex2String(text));
        calc_XOR_checksum(text, std::uint32_t(bytes.size()));
    } catch (const ConversionError &) {
        FUZZ_CHECK(!whole);
    }
    try {
        calc_XOR_checksum(text, n); // one byte more than the text spells
        FUZZ_CHECK(false);
    } catch (const ConversionError &) {
    }

    // Field formatting reads back as the value in its width.
    if (size >= 8) {
        qint64 value = 0;
        std::memcpy(&value, data, sizeof value);
        bool ok = false;
        FUZZ_CHECK(hex2(value).toULongLong(&ok, 16) == (value < 0 ? quint64(value) & 0xFF : quint64(value)) && ok);
        FUZZ_CHECK(hex4(value).toULongLong(&ok, 16) == (value < 0 ? quint64(value) & 0xFFFF : quint64(value)) && ok);
        FUZZ_CHECK(hex8(value).toULongLong(&ok, 16) == (value < 0 ? quint64(value) & 0xFFFFFFFF : quint64(value)) && ok);
        FUZZ_CHECK(hex8(value).size() >= 8 && hex8(value) == hex8(value).toUpper());
    }
    return 0;
}
