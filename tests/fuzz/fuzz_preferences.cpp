// The preference files: whatever bytes a file holds decode to some text,
// and what the editor writes reads back as the same text.

#include "FuzzCheck.h"

#include "common/Preferences.h"

#include <QFile>
#include <QTemporaryDir>

using namespace quorvane;
using namespace quorvane::fuzz;

namespace {
QTemporaryDir *folder = nullptr;
}

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    if (!folder)
        folder = new QTemporaryDir;
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString path = folder->filePath(QStringLiteral("Instrument.txt"));
    {
        QFile file(path);
        FUZZ_CHECK(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        FUZZ_CHECK(file.write(bytes) == bytes.size());
    }
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
