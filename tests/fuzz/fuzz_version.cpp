// The update server's version texts. A text the editor takes as a version
// is digit groups joined by single points, and its number is its digits.

#include "FuzzCheck.h"

#include "update/Versions.h"

#include <QRegularExpression>

using namespace quorvane;
using namespace quorvane::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString text = QString::fromUtf8(bytes);

    const bool is_version = is_version_text(text);
    if (is_version) {
        FUZZ_CHECK(!text.isEmpty() && !text.startsWith(u'.') && !text.endsWith(u'.'));
        FUZZ_CHECK(!text.contains(QLatin1String("..")));
        for (QChar c : text)
            FUZZ_CHECK(c == u'.' || (c >= u'0' && c <= u'9'));
    }
    const std::optional<quint64> number = version_number(text);
    if (number) {
        FUZZ_CHECK(is_version);
        FUZZ_CHECK(QString::number(*number) == version_digits(text).remove(QRegularExpression(QStringLiteral("^0+(?=.)"))));
    }
    const QString mm = major_minor(text);
    if (!mm.isEmpty()) {
        FUZZ_CHECK(is_version_text(mm));
        FUZZ_CHECK(major_minor(mm) == mm);
        FUZZ_CHECK(mm.count(u'.') == 1);
    }
    return 0;
}
