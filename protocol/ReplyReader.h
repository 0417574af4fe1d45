#pragma once
// Reading the pedal's answers of decimal values, each line ended by CR LF.
//
// The requests and their replies pass the link's gate (D2XXUnit::exchange):
// every wait is bounded by the reply's limits and keeps the user interface
// alive, and a reply is read whole, over as many reads as it takes, until it
// is known to be complete. The caller holds the exchange guard and keeps the
// reception tick off while it waits, so that nobody else takes the reply.

#include "usb/D2XXUnit.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <vector>

namespace quorvane {

class ConsoleLog;

// Status reply layout.
constexpr int bypass_state_firmware = 9; // firmware that reports the bypass state
int status_reply_values_needed(int firmware_version);

// The status reply is whole after 82 values, or 83 from firmware 9 on; the
// first value (the firmware) tells which.
bool status_reply_complete(const QByteArray &bytes);

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

    // Sends `request` and reads its reply of values (see D2XXUnit::exchange),
    // then parses what came, whole or not, and purges the receive queue.
    // Nothing is parsed when nothing came. A ConversionError of the parse
    // passes to the caller (the receive queue is purged all the same).
    LineStatus RequestValues(QByteArrayView request, const ReplyLimits &limits,
                             const ReplyComplete &complete = {});
    // The same for a reply whose request has already gone out.
    LineStatus ReadReplyValues(const ReplyLimits &limits, const ReplyComplete &complete = {});

    // The values of the last parsed reply, read by index.
    std::vector<std::uint8_t> received_bytes_array;
    // How many values the last read parsed (0 when nothing came).
    int last_reply_count = 0;
    // How many bytes it came in (0 when nothing came).
    qsizetype last_reply_size = 0;
    // How many line ends (LF) it held: a value without one is a CR that the
    // line made or an LF that it lost.
    int last_reply_lines = 0;

private:
    LineStatus take(const LineReply &reply);

    D2XXUnit &m_link;
    ConsoleLog &m_console;
};

} // namespace quorvane
