// The pedal's status reply, from the wire to the parameter model: the reply
// is read through the link's gate (in pieces), parsed into values, and the
// report decoded. A reply the editor refuses changes no parameter word; an
// accepted one leaves exactly the reported words in the model.

#include "FuzzLine.h"

#include "common/ConsoleLog.h"
#include "parameters/ParameterModel.h"
#include "parameters/StatusDecoding.h"
#include "protocol/Codec.h"
#include "protocol/DeviceConnection.h"
#include "usb/D2XXUnit.h"

#include <optional>

using namespace quorvane;
using namespace quorvane::fuzz;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
    InputStream input(data, size);
    FuzzDriver driver;
    driver.piece = input.byte(); // 0: the whole reply at once
    driver.answers.append(input.rest());

    FuzzDialogs dialogs;
    D2XXUnit link(driver, dialogs);
    ConsoleLog console;
    DeviceConnection connection(link, console, dialogs);
    // Nothing is waited for: what is queued is all that comes.
    connection.limits.status = {0, 0, 60000, TimeLimits{}.status.max_bytes};
    ParameterModel model;
    constexpr std::uint32_t untouched = 0xA5A5A5A5;
    for (int i = 0; i < parameter_count; ++i)
        model.set_value(ParameterRow(i), untouched);
    StatusDecoding decoding(model, console);
    decoding.attach(connection);

    std::optional<StatusReport> reported;
    QObject::connect(&connection, &DeviceConnection::statusReported,
                     [&](const StatusReport &report) { reported = report; });
    try {
        connection.RequestDeviceStatus();
    } catch (const ConversionError &) {
        // A text that is no number ends the command: the editor's error
        // report shows it.
    }

    FUZZ_CHECK(!connection.exchange_busy());
    if (!reported) {
        for (int i = 0; i < parameter_count; ++i)
            FUZZ_CHECK(model.value(ParameterRow(i)) == untouched);
        return 0;
    }
    // Only a whole reply of at least its layout's values, each ended by
    // CR LF, is taken.
    const std::vector<std::uint8_t> &values = reported->values;
    FUZZ_CHECK(int(values.size()) >= status_reply_values_needed(values[0]));
    FUZZ_CHECK(qsizetype(values.size()) == driver.delivered.count('\n'));
    FUZZ_CHECK(status_reply_complete(driver.delivered));
    FUZZ_CHECK(reported->firmware == values[0]);
    const std::size_t first = reported->firmware >= bypass_state_firmware ? 23 : 22;
    for (int i = 0; i < parameter_count; ++i) {
        const std::size_t at = first + 4 * std::size_t(i);
        const std::uint32_t word = (std::uint32_t(values[at]) << 24) | (std::uint32_t(values[at + 1]) << 16)
                                   | (std::uint32_t(values[at + 2]) << 8) | values[at + 3];
        FUZZ_CHECK(model.value(ParameterRow(i)) == word);
    }
    FUZZ_CHECK(model.current_tuning < 9);
    FUZZ_CHECK(model.semitone_variation >= -5 && model.semitone_variation <= 3);
    return 0;
}
