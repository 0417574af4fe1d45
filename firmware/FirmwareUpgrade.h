#pragma once
// The editor's side of the microcontroller's serial bootloader: global erase,
// Write Memory in 256-byte chunks, Read Memory of the same chunks to verify
// them, the version record and Go. Every reply is
// checked against its bound; the first one that is not an ACK stops the
// sequence and leaves the reason in `failure`.

#include "protocol/TimeLimits.h"
#include "usb/D2XXUnit.h"

#include <QByteArray>
#include <QString>

#include <array>
#include <cstdint>
#include <functional>
#include <initializer_list>
#include <vector>

namespace quorvane {

class D2XXUnit;
class ConsoleLog;

constexpr std::uint32_t flash_start_address = 0x08000000;
constexpr std::uint32_t version_record_address = 0x0801FC00;
constexpr std::uint32_t firmware_chunk_size = 256;
constexpr std::uint32_t firmware_max_chunks = 512;

constexpr std::uint8_t bootloader_sync = 0x7F;
constexpr std::uint8_t bootloader_ack = 0x79;
constexpr std::uint8_t bootloader_nack = 0x1F;

// Command bytes, each followed by its complement.
constexpr std::array<std::uint8_t, 2> bootloader_write_memory = {0x31, 0xCE};
constexpr std::array<std::uint8_t, 2> bootloader_read_memory = {0x11, 0xEE};
constexpr std::array<std::uint8_t, 2> bootloader_erase_memory = {0x43, 0xBC};
constexpr std::array<std::uint8_t, 2> bootloader_global_erase = {0xFF, 0x00};
constexpr std::array<std::uint8_t, 2> bootloader_go = {0x21, 0xDE};

// The last answer awaited: how the wait ended (Ok for ACK, Nack for NACK,
// Ok with another byte for anything else) and the byte that came.
struct BootloaderReply {
    LineStatus status = LineStatus::TimedOut;
    QByteArray bytes;
    bool is_ack() const { return status == LineStatus::Ok && bytes == QByteArray(1, char(bootloader_ack)); }
    bool is_nack() const { return status == LineStatus::Nack; }
};

struct FirmwareChunk {
    QByteArray data; // 1 to 256 bytes of the image
    QString hex;     // the same bytes as upper-case hex text, for the console
};

class FirmwareUpgrade {
public:
    FirmwareUpgrade(D2XXUnit &link, ConsoleLog &console) : m_link(link), m_console(console) {}

    // The line to the bootloader: every byte of the client goes through this
    // session, which only the upgrade holds. Without one nothing is sent.
    void setSession(D2XXUnit::BootloaderSession *session) { m_session = session; }

    // Loads the built-in image of that name (any case) into firmware_image.
    // A name that matches no image leaves everything as it was and fails.
    bool LoadFirmwareImage(const QString &name);
    // Takes an image given directly (tests, benchmarks).
    void setFirmwareImage(const QByteArray &image);

    // Empty when the loaded image can be written; otherwise why it cannot:
    // empty, more chunks than the table holds, or reaching the version record.
    QString image_fit_problem() const;

    // Waits for one reply byte within `limits` and logs it (its hex text is
    // for the console only). The outcome is kept in last_reply.
    const BootloaderReply &BootloaderWaitAck(const ReplyLimits &limits);

    // Cuts firmware_image into firmware_chunks; refuses an image that does not fit.
    bool SplitFirmwareInChunks();
    bool BootloaderEraseAll();
    // Write Memory command and the address bootloader_address; `step` names
    // the exchange in a failure.
    bool BootloaderWriteCommand(const QString &step);
    bool BootloaderWriteFirmware();
    // Reads every chunk BootloaderWriteFirmware wrote back with Read Memory,
    // in the same blocks, and compares it with the image. The first chunk
    // that differs, is refused or does not come whole stops it: `failure`
    // then names the chunk and its address (and, for a difference, the
    // address of the first byte that differs).
    bool BootloaderVerifyFirmware();
    bool BootloaderWriteVersion(int version);
    bool BootloaderGo();
    // Sends the synchronisation byte until the bootloader answers ACK (fresh)
    // or NACK (already synchronised), at most three times; after a first
    // silence it completes whatever command the bootloader was left inside.
    bool BootloaderResync();

    static std::uint8_t calc_address_checksum(std::uint32_t address);
    std::uint8_t calc_chunk_checksum(std::uint32_t k, std::uint8_t N) const;

    // The stored version record for a version: 07, seven zeros, version, checksum.
    static QByteArray version_record(std::uint8_t version);

    // Called with (k, num_of_chunks) before chunk k is sent. When the image
    // will be read back (verify_after_writing), the bar covers both: chunk k
    // is (k, 2 * num_of_chunks) when written and (num_of_chunks + k, 2 *
    // num_of_chunks) when read back.
    std::function<void(int value, int maximum)> progress;
    // Whether BootloaderVerifyFirmware follows the writing; only the progress
    // depends on it, the caller runs the read-back.
    bool verify_after_writing = false;

    ReplyLimits command_limits = TimeLimits{}.bootloader_command;
    ReplyLimits erase_limits = TimeLimits{}.bootloader_erase;
    ReplyLimits read_back_limits = TimeLimits{}.bootloader_read_back;

    std::uint32_t bootloader_address = 0;
    QByteArray firmware_image;
    std::uint32_t firmware_num_of_bytes = 0;
    std::uint32_t num_of_chunks = 0;
    std::uint32_t num_of_bytes_last_chunk = 0;
    std::vector<FirmwareChunk> firmware_chunks;

    // Set to end BootloaderWriteFirmware before its next chunk.
    bool stop_requested = false;

    // "step: reason" of the last operation that failed.
    QString failure;
    BootloaderReply last_reply;

private:
    bool write_bytes(std::initializer_list<std::uint8_t> bytes, const QString &step);
    bool write_one_by_one(std::initializer_list<std::uint8_t> bytes, const QString &step);
    bool write_block(const QByteArray &bytes, const QString &step);
    bool expect_ack(const QString &step, const ReplyLimits &limits);
    // The same for the steps of Read Memory, quietly: a NACK is the pedal
    // refusing to read back.
    bool expect_read_ack(const QString &step);
    bool reply_failure(const QString &step, const LineReply &reply, const ReplyLimits &limits);
    bool verify_chunk(std::uint32_t k, std::uint32_t address);
    int progress_maximum() const;
    bool fail(const QString &step, const QString &reason);
    void drain_replies();
    // Before a command goes out: what an earlier answer left is read off and logged.
    void discard_stray();

    // Longest command remainder: N, 256 data bytes and the checksum, plus one.
    static constexpr int resync_filler_bytes = 259;
    static constexpr int drain_quiet_ms = 100;

    D2XXUnit &m_link;
    ConsoleLog &m_console;
    D2XXUnit::BootloaderSession *m_session = nullptr;
};

// A wait bound as the user reads it: "1 s", "40 s", "250 ms".
QString describe_timeout(int timeout_ms);

} // namespace quorvane
