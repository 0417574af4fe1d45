#pragma once
// The microcontroller's serial bootloader (8E1, the STM32 USART protocol of
// AN3155) and the memories it reaches: 128 KiB of flash with the firmware and
// its version record, RAM, system memory and the option bytes.
//
// It keeps what a test wants to see of an upgrade since the pedal was
// switched on: the Write Memory blocks taken, the erases, the NACKs and where
// Go sent it.

#include "simulator/PedalOptions.h"
#include "simulator/PedalOutlet.h"

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <optional>

namespace quorvane {

class PedalBootloader {
public:
    static constexpr std::uint32_t flash_base = 0x08000000;
    static constexpr std::uint32_t flash_size = 128 * 1024;
    static constexpr std::uint32_t flash_page = 1024;
    static constexpr std::uint32_t version_record = 0x0801FC00;
    static constexpr std::uint32_t ram_base = 0x20000000;
    static constexpr std::uint32_t ram_size = 20 * 1024;
    static constexpr std::uint32_t ram_reserved = 0x200; // the bootloader's own RAM
    static constexpr std::uint32_t system_base = 0x1FFFF000;
    static constexpr std::uint32_t system_size = 2048;
    static constexpr std::uint32_t option_base = 0x1FFFF800;
    static constexpr std::uint32_t option_size = 16;
    static constexpr std::uint8_t ack = 0x79;
    static constexpr std::uint8_t nack = 0x1F;
    static constexpr std::uint16_t device_id = 0x410;
    static constexpr std::uint8_t bootloader_version = 0x22;

    // A Write Memory block the bootloader took.
    struct Write {
        std::uint32_t address = 0;
        int length = 0;
    };

    // The flash holds the built-in image of `firmware` and its version record.
    PedalBootloader(const PedalOptions &options, PedalOutlet &outlet, int firmware);

    // Switched on: what it has seen so far is forgotten, a hang is over.
    void switchOn();
    // Waiting for the synchronisation byte, as after a reset.
    void start();
    // The same after the firmware's restart into the bootloader (no log line).
    void awaitSync();
    // In the command loop as a host left it after synchronising at `baud`.
    void startSynced(std::uint32_t baud);

    // One byte from the host, arrived at `at` at this rate. Returns the
    // firmware version to start after a Go into valid firmware, else 0.
    int receive(std::uint8_t b, qint64 at, std::uint32_t baud);

    bool waitingForSync() const { return m_state == State::WaitSync; }
    std::uint32_t baud() const { return m_baud; }
    // The firmware a start from flash would run: the version of a valid
    // record when the flash begins with a plausible vector table, else 0.
    int bootableVersion() const;
    const QByteArray &flash() const { return m_flash; }
    // Whether the flash holds exactly the built-in image of its record's version.
    bool flashMatchesBuiltInImage() const;
    int ignoredCount() const { return m_ignored; }

    // Since switched on.
    int writeCount() const { return m_writeCount; }
    Write lastWrite() const { return m_lastWrite; }
    int eraseCount() const { return m_eraseCount; }
    int nackCount() const { return m_nackCount; }
    std::optional<std::uint32_t> goAddress() const { return m_goAddress; }

private:
    enum class State {
        WaitSync, Command, Address, ReadCount, WriteCount, WriteData,
        EraseFirst, EraseGlobal, ErasePages,
        Hung, // a fault: takes and answers nothing until switched off and on
    };

    void reply(const QByteArray &bytes, qint64 at, int busyMs = 0);
    void refuse(const QString &why, qint64 at);
    void hang(const QString &why);
    void command(std::uint8_t cmd, qint64 at);
    int address(qint64 at);
    void writeData(qint64 at);
    void erased(int busyMs, qint64 at);
    bool readable(std::uint32_t address, std::uint32_t length) const;
    bool writable(std::uint32_t address, std::uint32_t length) const;
    QByteArray readMemory(std::uint32_t address, std::uint32_t length) const;
    bool writeMemory(std::uint32_t address, const QByteArray &data);
    void eraseFlash(int firstPage, int pages);
    int validRecordVersion() const;
    bool flashLooksBootable() const;
    bool takeNackFault(NackPoint::Step step, std::uint32_t address = 0);

    const PedalOptions &m_options;
    PedalOutlet &m_outlet;
    QByteArray m_flash;
    QByteArray m_ram;
    std::uint32_t m_baud = 115200;
    State m_state = State::WaitSync;
    std::uint8_t m_command = 0;
    QByteArray m_buffer;
    std::uint32_t m_address = 0;
    int m_count = 0;
    bool m_nackUsed = false;
    int m_ignored = 0;

    int m_writeIndex = 0; // Write Memory data blocks received since switched on
    int m_writeCount = 0;
    Write m_lastWrite;
    int m_eraseCount = 0;
    int m_nackCount = 0;
    std::optional<std::uint32_t> m_goAddress;
};

} // namespace quorvane
