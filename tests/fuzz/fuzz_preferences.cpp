// The preference files: whatever bytes a file holds decode to some text,
// and what the editor writes reads back as the same text.

#include "FuzzCheck.h"

#include "common/Preferences.h"

using namespace quorvane;
using namespace quorvane::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = write_input_file(QStringLiteral("Instrument.txt"), bytes);
    const std::optional<QString> text = read_preference_text(path);
    FUZZ_CHECK(text.has_value());
    FUZZ_CHECK(*text == decode_preference_text(bytes));

    // Bytes of UTF-8 without a byte-order mark are read as they are.
    const QString utf8 = QString::fromUtf8(bytes);
    if (utf8.toUtf8() == bytes && !bytes.startsWith("\xEF\xBB\xBF"))
        FUZZ_CHECK(*text == utf8);

    // Written back, it reads the same: any text UTF-8 can carry that does not
    // begin with the character a byte-order mark spells (the editor writes
    // only its own words).
    FUZZ_CHECK(write_preference_text(path, *text).isEmpty());
    const std::optional<QString> again = read_preference_text(path);
    FUZZ_CHECK(again.has_value());
    if (!text->startsWith(QChar(0xFEFF)) && QString::fromUtf8(text->toUtf8()) == *text)
        FUZZ_CHECK(*again == *text);
    return 0;
}
