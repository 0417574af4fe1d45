// The bootloader's replies, as a byte stream: a whole upgrade of a small
// image (erase, write, read back, version record, Go) where every write of
// the editor lets the next piece of the input arrive. A step that succeeds
// was answered ACK, and a read-back that succeeds had the image's bytes.

#include "FuzzLine.h"

#include "common/ConsoleLog.h"
#include "firmware/FirmwareUpgrade.h"
#include "usb/D2XXUnit.h"

using namespace quorvane;
using namespace quorvane::fuzz;

namespace {

// Two chunks: a whole one and a short one.
QByteArray small_image()
{
    QByteArray image(300, '\0');
    for (int i = 0; i < image.size(); ++i)
        image[i] = char(i * 7 + 3);
    return image;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    InputStream input(data, size);
    FuzzDriver driver;
    driver.piece = input.byte();
    // The input in pieces: a length (two bytes, low first), then that many
    // bytes, one piece for each write of the editor.
    while (!input.empty()) {
        const std::size_t low = input.byte();
        const std::size_t length = low | std::size_t(input.byte()) << 8;
        driver.answers.append(input.take(length));
    }

    FuzzDialogs dialogs;
    D2XXUnit link(driver, dialogs);
    ConsoleLog console;
    FirmwareUpgrade client(link, console);
    // Nothing is waited for: what is queued is all that comes. (The whole
    // reply's bound only cuts a reply that keeps coming, which this one cannot.)
    const ReplyLimits no_wait{0, 0, 60000, 1};
    client.command_limits = no_wait;
    client.erase_limits = no_wait;
    client.read_back_limits = {0, 0, 60000, 257};
    auto session = link.acquire_bootloader();
    FUZZ_CHECK(session.has_value());
    client.setSession(&*session);
    const QByteArray image = small_image();
    client.setFirmwareImage(image);
    FUZZ_CHECK(client.SplitFirmwareInChunks());

    auto acked = [&](bool ok) {
        if (ok)
            FUZZ_CHECK(client.last_reply.is_ack());
        else
            FUZZ_CHECK(!client.failure.isEmpty());
        return ok;
    };
    if (!acked(client.BootloaderEraseAll()) || !acked(client.BootloaderWriteFirmware()))
        return 0;
    const qsizetype before = driver.delivered.size();
    if (client.BootloaderVerifyFirmware()) {
        const QByteArray read_back = driver.delivered.mid(before);
        FUZZ_CHECK(read_back.contains(char(bootloader_ack) + image.left(256)));
        FUZZ_CHECK(read_back.contains(char(bootloader_ack) + image.mid(256)));
    } else {
        FUZZ_CHECK(!client.failure.isEmpty());
        return 0;
    }
    if (!acked(client.BootloaderWriteVersion(10)))
        return 0;
    acked(client.BootloaderGo());
    return 0;
}
