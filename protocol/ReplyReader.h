#pragma once
// Reading the pedal's answers in request-and-reply exchanges.
//
// The firmware answers with lines of decimal numbers, each ended by CR LF;
// ReadReplyValues gathers every read of one reply and ParseReplyValues turns
// exactly those bytes into received_bytes_array. The bootloader answers single
// bytes; ReadBootloaderReply returns the first one as two hex digits.
//
// Every wait is bounded and keeps the user interface alive (platform/Wait.h).
// The caller holds the exchange guard and keeps the reception tick off while
// it waits, so that nobody else takes the reply.

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace quorvane {

class D2XXUnit;
class ConsoleLog;

// How long a reader waits for the first byte of an answer (and, once it has
// come, for the rest of a line that is still on its way). Callers with slower
// steps pass their own bound (a negative value waits without limit).
constexpr int reply_timeout_ms = 2000;

enum class ReplyStatus {
    Ok,          // a reply was read (it may still hold no values)
    QueueFailed, // the queue query failed (already reported by the link layer)
    TimedOut,    // nothing came within the bound
};

class ReplyReader {
public:
    ReplyReader(D2XXUnit &link, ConsoleLog &console) : m_link(link), m_console(console) {}

    // Turns one reply into values: every line ended by CR gives one value, its
    // one to three decimal digits taken modulo 256. A line of four or more
    // characters, or an empty one, repeats the previous value (0 before the
    // first). Characters after the last CR are no value. A short line holding
    // anything but digits raises ConversionError and changes nothing. When no
    // value is found received_bytes_array keeps its contents. Logs the values
    // and returns how many this reply held.
    int ParseReplyValues(const QByteArray &reply);

    // Waits for a reply (at most timeout_ms for its first byte), reads it
    // whole over as many reads as it takes, parses it and purges the receive
    // queue. On QueueFailed or TimedOut nothing is parsed and
    // received_bytes_array keeps its contents. With bootloader_mode the reads
    // follow one another without a pause. A ConversionError of the parse
    // passes to the caller (the receive queue is purged all the same).
    ReplyStatus ReadReplyValues(bool bootloader_mode = false, int timeout_ms = reply_timeout_ms);

    // Waits for the bootloader's answer and sets `reply` to its first byte as
    // two upper-case hex digits ("79" for the acknowledge byte), empty when
    // nothing came or the queue query failed. Further bytes are dropped.
    ReplyStatus ReadBootloaderReply(QString &reply, int timeout_ms = reply_timeout_ms);

    // The values of the last parsed reply, read by index.
    std::vector<std::uint8_t> received_bytes_array;
    // How many values the last ReadReplyValues parsed (0 unless it returned Ok).
    int last_reply_count = 0;

private:
    ReplyStatus wait_for_first_byte(int timeout_ms);

    D2XXUnit &m_link;
    ConsoleLog &m_console;
};

} // namespace quorvane
