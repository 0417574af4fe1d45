// The pedal's other answers: the upload answer ("Upload OK 0011\r\n") and
// the memory dump that the reception tick gathers (0xAB and 16384 bytes),
// each arriving in pieces. The first input byte picks the reader and the
// size of the pieces.

#include "FuzzLine.h"

#include "common/ConsoleLog.h"
#include "effects/EffectUpload.h"
#include "protocol/Codec.h"
#include "protocol/Exchange.h"
#include "protocol/Reception.h"
#include "protocol/ReplyReader.h"
#include "protocol/TimeLimits.h"
#include "usb/D2XXUnit.h"


using namespace quorvane;
using namespace quorvane::fuzz;

namespace {

void upload_answer(FuzzDriver &driver, D2XXUnit &link, const QByteArray &answer)
{
    driver.answers.append(answer);
    FUZZ_CHECK(link.send_request(QByteArray(8, '\0')) == LineStatus::Ok);
    ReplyLimits limits = TimeLimits{}.upload_answer;
    limits.first_byte_ms = limits.gap_ms = 0; // what is queued is all that comes
    const LineReply reply = link.read_reply(limits, upload_answer_complete);
    FUZZ_CHECK(reply.bytes.size() <= limits.max_bytes);
    FUZZ_CHECK(answer.startsWith(reply.bytes));
    if (reply.ok())
        FUZZ_CHECK(reply.bytes.contains('\n'));
    const QString shown = upload_answer_text(reply.bytes);
    FUZZ_CHECK(shown == QString::fromLatin1(reply.bytes.left(17)));
}

void memory_dump(FuzzDriver &driver, D2XXUnit &link, ConsoleLog &console, const QByteArray &bytes)
{
    ExchangeGuard exchange;
    Reception reception(link, console, exchange);
    reception.is_linked = [] { return true; };
    reception.dump_timeout_ms = 1000 * 1000; // only reset() lists a dump cut short
    driver.queued = bytes;
    for (int tick = 0; tick < 10000 && !driver.queued.isEmpty(); ++tick)
        reception.ReceiveTick();
    reception.reset();
    FUZZ_CHECK(driver.queued.isEmpty());

    // Every dump listed names each byte that came after its marker, at its
    // place, and says how many are missing.
    const QStringList &lines = console.lines();
    const QString incomplete = QStringLiteral("Memory dump incomplete: ");
    qsizetype expected_index = 0;
    const bool starts_with_dump = !bytes.isEmpty() && std::uint8_t(bytes.at(0)) == memory_dump_marker;
    for (qsizetype l = 0; l < lines.size(); ++l) {
        const QString &line = lines[l];
        if (line.startsWith(QLatin1String("num of bytes read: ")))
            continue;
        if (line.startsWith(incomplete)) {
            FUZZ_CHECK(line == incomplete + QStringLiteral("%1 bytes missing").arg(memory_dump_size - expected_index));
            expected_index = 0;
            continue;
        }
        const qsizetype colon = line.indexOf(QLatin1String(": "));
        FUZZ_CHECK(colon > 0 && line.size() == colon + 4);
        bool ok = false;
        FUZZ_CHECK(QStringView(line).left(colon).toLongLong(&ok) == expected_index && ok);
        // The first dump's bytes are the input's, one after its marker.
        if (starts_with_dump && l < memory_dump_size + 2 && expected_index + 1 < bytes.size())
            FUZZ_CHECK(QStringView(line).mid(colon + 2) == hex2(std::uint8_t(bytes.at(expected_index + 1))));
        if (++expected_index == memory_dump_size)
            expected_index = 0;
    }
    FUZZ_CHECK(expected_index == 0);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    InputStream input(data, size);
    const std::uint8_t how = input.byte();
    FuzzDriver driver;
    driver.piece = how >> 1;
    FuzzDialogs dialogs;
    D2XXUnit link(driver, dialogs);
    ConsoleLog console;
    if (how & 1)
        memory_dump(driver, link, console, input.rest());
    else
        upload_answer(driver, link, input.rest());
    return 0;
}
