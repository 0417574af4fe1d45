#pragma once
// Every time limit of the editor's exchanges with the pedal, in one table.
// The composition root builds it and hands it to those who wait; tests hand
// in short limits instead of waiting the real ones out.
//
// Beside them, the fixed pauses the pedal needs: these are waited out every
// time, they bound nothing.

#include "usb/D2XXUnit.h"

namespace quorvane {

struct TimeLimits {
    // First byte, quiet between pieces, whole reply, byte cap.
    // The status reply: 83 values of at most three digits, each with CR LF,
    // take at most 415 bytes.
    ReplyLimits status{2000, 2000, 6000, 512};
    // The upload answer ("Upload OK 0011\r\n"): a pedal may store the image
    // for a long while before it answers; the answer ends at its line feed.
    ReplyLimits upload_answer{30000, 2000, 35000, 256};
    // A bootloader command, address or data block: one ACK or NACK.
    ReplyLimits bootloader_command{1000, 1000, 1000, 1};
    // The bootloader's global erase.
    ReplyLimits bootloader_erase{40000, 40000, 40000, 1};
    // Read Memory's last answer: ACK and a block of up to 256 bytes, 257 in
    // all, which take 25 ms at 115200 bit/s and 11 bits a byte (8E1); the
    // bridge holds them up to 16 ms more. The first byte is awaited as a
    // command's, the rest given ten times what it needs.
    ReplyLimits bootloader_read_back{1000, 200, 1400, 257};
    // The settings-memory dump (0xAB and 16384 bytes), from its first byte.
    int memory_dump_ms = 3000;
};

// The fixed pauses.
namespace pauses {
constexpr int reception_tick_ms = 50;      // Timer_USB_Read
constexpr int dial_throttle_ms = 100;      // a turning dial writes at most this often
constexpr int upload_bypass_ms = 40;       // after the bypass, before a catalogue upload
constexpr int file_upload_bypass_ms = 400; // after the bypass, before a file upload
constexpr int tuning_bypass_ms = 400;      // after the bypass, before the tuning data
constexpr int after_command_ms = 100;      // after tuning, erase and the upgrade-mode request
constexpr int before_go_ms = 10;           // after the version record, before Go
constexpr int memory_read_ms = 4000;       // the console's memory read: the pedal gathers its dump
constexpr int upload_check_ms = 5000;      // UploadCheckTimer: "Upload Failed" while no answer came
} // namespace pauses

} // namespace quorvane
