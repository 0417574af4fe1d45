#pragma once
// Reading the microcontroller bootloader's one-byte answers. The wait is
// bounded: a silent bootloader ends it with a timeout instead of hanging the
// editor, and a failed queue query (the pedal unplugged) ends it at once.

#include <QString>

namespace quorvane {

class D2XXUnit;
class ConsoleLog;

struct BootloaderReply {
    enum class Outcome {
        Received,   // at least one byte arrived; `text` holds the first one
        Timeout,    // nothing arrived within the bound
        LinkFailed, // the receive queue could not be queried
    };
    Outcome outcome = Outcome::Timeout;
    QString text; // first byte received as two upper-case hex digits, or empty
};

// Waits up to `timeout_ms` for the receive queue to hold a byte, keeping the
// user interface alive; then reads until a read returns nothing, logs
// "num of bytes received: " with the count, purges the receive queue and
// yields the first byte. Further bytes are dropped.
BootloaderReply ReadBootloaderReply(D2XXUnit &link, ConsoleLog &console, int timeout_ms);

} // namespace quorvane
