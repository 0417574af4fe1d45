// The check of a ".dat" effect file before it is sent: a file it passes is
// one the pedal's upload can take whole, with the header it needs.

#include "FuzzCheck.h"

#include "effects/EffectUpload.h"
#include "usb/D2XXUnit.h"

using namespace quorvane;
using namespace quorvane::fuzz;

namespace {

void check(const QByteArray &file)
{
    // What the upload reads of a file: one byte more than fits.
    const QByteArray bytes = file.left(qsizetype(link_buffer_size) + 1);
    const qint64 size = file.size();
    if (!check_effect_file(bytes, size).isEmpty())
        return;
    FUZZ_CHECK(size >= 3 && size <= qint64(link_buffer_size));
    FUZZ_CHECK(bytes.size() == size);
    FUZZ_CHECK(bytes.at(0) == '\0');
    FUZZ_CHECK(((std::uint8_t(bytes.at(1)) << 8) | std::uint8_t(bytes.at(2))) == size);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    const QByteArray file(reinterpret_cast<const char *>(data), qsizetype(size));
    check(file);
    // The same header on a file padded past the transmit buffer.
    if (size >= 3) {
        QByteArray large = file;
        large.append(qsizetype(link_buffer_size) + 2 - large.size(), '\0');
        check(large);
    }
    // A file that shrank between its size and its read.
    if (size < 3)
        FUZZ_CHECK(!check_effect_file(file, 3).isEmpty());
    return 0;
}
