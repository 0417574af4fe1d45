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

#include <QRegularExpression>

using namespace quorvane;
using namespace quorvane::fuzz;

namespace {

void upload_answer(FuzzDriver &driver, D2XXUnit &link, const QByteArray &answer)
{
    driver.answers.append(answer);
    FUZZ_CHECK(link.send_request(QByteArray(8, '\0')) == LineStatus::Ok);
    ReplyLimits limits = TimeLimits{}.upload_answer;
    limits.first_byte_ms = limits.gap_ms = limits.total_ms = 0;
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
    static const QRegularExpression listed(QStringLiteral("^(\\d+): ([0-9A-F]{2})$"));
    static const QRegularExpression missing(QStringLiteral("^Memory dump incomplete: (\\d+) bytes missing$"));
    qsizetype expected_index = 0;
    for (const QString &line : console.lines()) {
        if (const auto m = listed.match(line); m.hasMatch()) {
            FUZZ_CHECK(m.captured(1).toLongLong() == expected_index);
            ++expected_index;
            FUZZ_CHECK(expected_index <= memory_dump_size);
        } else if (const auto m = missing.match(line); m.hasMatch()) {
            FUZZ_CHECK(m.captured(1).toLongLong() == memory_dump_size - expected_index);
            expected_index = 0;
        } else if (line.startsWith(QLatin1String("num of bytes read"))) {
            continue;
        } else {
            FUZZ_CHECK(false);
        }
        if (expected_index == memory_dump_size)
            expected_index = 0;
    }
    FUZZ_CHECK(expected_index == 0);
    if (!bytes.isEmpty() && std::uint8_t(bytes.at(0)) == memory_dump_marker) {
        const qsizetype shown = std::min<qsizetype>(bytes.size() - 1, memory_dump_size);
        for (qsizetype k = 0; k < std::min<qsizetype>(shown, 64); ++k)
            FUZZ_CHECK(console.lines().contains(QStringLiteral("%1: %2").arg(k).arg(hex2(std::uint8_t(bytes.at(k + 1))))));
    }
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
