#pragma once
// How a virtual pedal is made: what its memories hold, where it starts, how
// its line is timed and which faults it shows.

#include "simulator/PedalFaults.h"

namespace quorvane {

struct PedalOptions {
    int firmware = 10;     // version 5..10, written into flash with its version record
    int algorithm = 11;    // effect algorithm in the settings memory, 0 = none
    int effect = 0;        // selected effect number
    bool bootloader = false; // start in the bootloader (held in upgrade mode)
    // Start in the bootloader as a host left it after its synchronisation byte:
    // already in the command loop, where a new 0x7F is a command byte.
    bool bootloaderSynced = false;
    bool paced = false;    // model the line's bit times and the bridge's latency
    int latencyMs = 16;    // the bridge's receive latency when paced
    // When paced, flash erase and programming take their time (as a real
    // chip's do); off, the bootloader answers as soon as the line allows.
    bool flashTime = true;
    // A pseudo-terminal carries no parity: the pedal then takes the line as
    // always matching its mode.
    bool lineFollowsMode = false;
    bool keepLog = true; // keep the log in memory as well as handing it to onLog
    // From the upgrade-mode request until the bootloader answers.
    int restartMs = 100;
    PedalFaults faults;
};

} // namespace quorvane
