#include "simulator/PedalBootloader.h"

#include "simulator/PedalData.h"

#include <algorithm>

namespace quorvane {

using pedal::be16;
using pedal::be32;
using pedal::hex;
using pedal::xorOf;

PedalBootloader::PedalBootloader(const PedalOptions &options, PedalOutlet &outlet, int firmware)
    : m_options(options), m_outlet(outlet)
{
    m_flash = QByteArray(int(flash_size), char(0xFF));
    const QByteArray image = pedal::builtInFirmwareImage(firmware);
    if (!image.isEmpty() && image.size() <= int(version_record - flash_base)) {
        m_flash.replace(0, int(image.size()), image);
        QByteArray record(8, 0);
        record[7] = char(firmware);
        m_flash.replace(int(version_record - flash_base), 8, record);
    }
    m_ram = QByteArray(int(ram_size), 0);
}

void PedalBootloader::switchOn()
{
    m_writeIndex = 0;
    m_writeCount = 0;
    m_lastWrite = {};
    m_eraseCount = 0;
    m_nackCount = 0;
    m_goAddress.reset();
    if (m_state == State::Hung)
        m_state = State::WaitSync;
}

void PedalBootloader::start()
{
    awaitSync();
    m_outlet.note(QStringLiteral("bootloader waiting for synchronisation"));
}

void PedalBootloader::awaitSync()
{
    m_state = State::WaitSync;
    m_buffer.clear();
}

void PedalBootloader::startSynced(std::uint32_t baud)
{
    m_baud = baud;
    m_state = State::Command;
    m_buffer.clear();
    m_outlet.note(QStringLiteral("bootloader synchronised already, in its command loop"));
}

int PedalBootloader::validRecordVersion() const
{
    const QByteArray record = m_flash.mid(int(version_record - flash_base), 8);
    if (record.left(7) != QByteArray(7, 0))
        return 0;
    const int version = std::uint8_t(record[7]);
    return version >= 5 && version <= 10 ? version : 0;
}

bool PedalBootloader::flashLooksBootable() const
{
    const std::uint32_t stack = std::uint32_t(std::uint8_t(m_flash[0])) | std::uint8_t(m_flash[1]) << 8
                                | std::uint8_t(m_flash[2]) << 16 | std::uint32_t(std::uint8_t(m_flash[3])) << 24;
    const std::uint32_t reset = std::uint32_t(std::uint8_t(m_flash[4])) | std::uint8_t(m_flash[5]) << 8
                                | std::uint8_t(m_flash[6]) << 16 | std::uint32_t(std::uint8_t(m_flash[7])) << 24;
    return stack > ram_base && stack <= ram_base + ram_size && (reset & 1)
           && (reset & ~1u) >= flash_base && (reset & ~1u) < flash_base + flash_size;
}

int PedalBootloader::bootableVersion() const
{
    const int version = validRecordVersion();
    return version != 0 && flashLooksBootable() ? version : 0;
}

bool PedalBootloader::flashMatchesBuiltInImage() const
{
    const QByteArray image = pedal::builtInFirmwareImage(validRecordVersion());
    return !image.isEmpty() && m_flash.left(int(image.size())) == image;
}

bool PedalBootloader::takeNackFault(NackPoint::Step step, std::uint32_t address)
{
    const std::optional<NackPoint> point = m_options.faults.nackPoint();
    if (m_nackUsed || !point || point->step != step)
        return false;
    if (step == NackPoint::Step::Chunk && address != flash_base + 256u * std::uint32_t(point->chunk))
        return false;
    m_nackUsed = true;
    m_outlet.note(QStringLiteral("fault: NACK this once"));
    return true;
}

void PedalBootloader::reply(const QByteArray &bytes, qint64 at, int busyMs)
{
    QByteArray out = bytes;
    if (bytes.size() == 1 && std::uint8_t(bytes[0]) == nack)
        ++m_nackCount;
    if (bytes.size() == 1 && std::uint8_t(bytes[0]) == ack && m_options.faults.has(PedalFault::ExtraAfterAck))
        out.append(char(nack));
    m_outlet.send(out, at + (m_options.paced && m_options.flashTime ? qint64(busyMs) * 1000 : 0));
}

void PedalBootloader::refuse(const QString &why, qint64 at)
{
    m_outlet.note(QStringLiteral("NACK: ") + why);
    m_state = State::Command;
    m_buffer.clear();
    reply(QByteArray(1, char(nack)), at);
}

void PedalBootloader::hang(const QString &why)
{
    m_outlet.note(QStringLiteral("fault: ") + why + QStringLiteral(", no answer until switched off and on"));
    m_state = State::Hung;
    m_buffer.clear();
}

bool PedalBootloader::readable(std::uint32_t address, std::uint32_t length) const
{
    const std::uint64_t end = std::uint64_t(address) + length;
    auto in = [&](std::uint32_t base, std::uint32_t size) {
        return address >= base && end <= std::uint64_t(base) + size;
    };
    return in(flash_base, flash_size) || in(ram_base, ram_size) || in(system_base, system_size)
           || in(option_base, option_size);
}

bool PedalBootloader::writable(std::uint32_t address, std::uint32_t length) const
{
    const std::uint64_t end = std::uint64_t(address) + length;
    auto in = [&](std::uint32_t base, std::uint32_t size) {
        return address >= base && end <= std::uint64_t(base) + size;
    };
    return in(flash_base, flash_size) || in(ram_base + ram_reserved, ram_size - ram_reserved);
}

QByteArray PedalBootloader::readMemory(std::uint32_t address, std::uint32_t length) const
{
    if (address >= flash_base && address < flash_base + flash_size)
        return m_flash.mid(int(address - flash_base), int(length));
    if (address >= ram_base && address < ram_base + ram_size)
        return m_ram.mid(int(address - ram_base), int(length));
    if (address >= option_base) {
        // Read protection off, no write protection.
        const QByteArray options = QByteArray::fromHex("A55AFF00FF00FF00FF00FF00FF00FF00");
        return options.mid(int(address - option_base), int(length));
    }
    // System memory: the bootloader's own code, our own filler here.
    QByteArray system;
    for (std::uint32_t i = 0; i < length; ++i)
        system.append(char((address + i) * 7 >> 3));
    return system;
}

bool PedalBootloader::writeMemory(std::uint32_t address, const QByteArray &data)
{
    if (address >= ram_base) {
        m_ram.replace(int(address - ram_base), int(data.size()), data);
        return true;
    }
    // Flash half-words can be programmed only when erased (or to zero).
    const int at = int(address - flash_base);
    for (int i = 0; i + 1 < data.size(); i += 2) {
        const std::uint16_t old = be16(m_flash, at + i);
        const std::uint16_t now = be16(data, i);
        if (old != 0xFFFF && now != 0x0000) {
            m_outlet.note(QStringLiteral("flash not erased at %1").arg(address + std::uint32_t(i), 8, 16, QChar('0')));
            return false;
        }
    }
    m_flash.replace(at, int(data.size()), data);
    return true;
}

void PedalBootloader::eraseFlash(int firstPage, int pages)
{
    m_flash.replace(firstPage * int(flash_page), pages * int(flash_page),
                    QByteArray(pages * int(flash_page), char(0xFF)));
}

void PedalBootloader::command(std::uint8_t cmd, qint64 at)
{
    const QByteArray ackByte(1, char(ack));
    m_command = cmd;
    switch (cmd) {
    case 0x00: // Get
        reply(QByteArray::fromHex("79 09 22 00 01 02 11 21 31 43 73 92 79"), at);
        return;
    case 0x01: // Get Version and Read Protection Status
        reply(QByteArray::fromHex("79 22 00 00 79"), at);
        return;
    case 0x02: // Get ID
        reply(QByteArray::fromHex("79 01 04 10 79"), at);
        return;
    case 0x11: // Read Memory
        if (m_options.faults.has(PedalFault::NackRead)) {
            refuse(QStringLiteral("fault: Read Memory refused"), at);
            return;
        }
        m_state = State::Address;
        reply(ackByte, at);
        return;
    case 0x21: // Go
    case 0x31: // Write Memory
        m_state = State::Address;
        reply(ackByte, at);
        return;
    case 0x43: // Erase
        m_state = State::EraseFirst;
        reply(ackByte, at);
        return;
    case 0x73: // Write Unprotect: nothing is protected; the chip then resets
        reply(ackByte + ackByte, at);
        start();
        return;
    case 0x92: // Readout Unprotect: mass erase, then reset
        eraseFlash(0, int(flash_size / flash_page));
        reply(ackByte + ackByte, at, 40);
        start();
        return;
    default: // Extended Erase and the protection commands this chip does not offer
        m_outlet.note(QStringLiteral("command %1 not supported").arg(cmd, 2, 16, QChar('0')));
        reply(QByteArray(1, char(nack)), at);
        return;
    }
}

int PedalBootloader::address(qint64 at)
{
    const QByteArray ackByte(1, char(ack));
    m_outlet.note(QStringLiteral("recv ") + hex(m_buffer));
    const std::uint32_t address = be32(m_buffer, 0);
    if (xorOf(m_buffer, 0, 4) != std::uint8_t(m_buffer[4])) {
        refuse(QStringLiteral("address checksum"), at);
        return 0;
    }
    m_buffer.clear();
    m_address = address;
    if (m_command == 0x11) {
        if (!readable(address, 1)) {
            refuse(QStringLiteral("address not readable"), at);
            return 0;
        }
        m_state = State::ReadCount;
        reply(ackByte, at);
        return 0;
    }
    if (m_command == 0x31) {
        if (!writable(address, 1) || address % 4 != 0) {
            refuse(QStringLiteral("address not writable or not word-aligned"), at);
            return 0;
        }
        m_state = State::WriteCount;
        reply(ackByte, at);
        return 0;
    }
    // Go
    if (!writable(address, 1) && !(address >= ram_base && address < ram_base + ram_size)) {
        refuse(QStringLiteral("no code at the Go address"), at);
        return 0;
    }
    if (takeNackFault(NackPoint::Step::Go)) {
        refuse(QStringLiteral("Go refused"), at);
        return 0;
    }
    m_state = State::Command;
    m_goAddress = address;
    reply(ackByte, at);
    const int version = bootableVersion();
    if (address >= flash_base && address < flash_base + flash_size && version != 0)
        return version;
    m_outlet.note(QStringLiteral("no valid firmware record: the pedal stays in its bootloader"));
    start();
    return 0;
}

void PedalBootloader::writeData(qint64 at)
{
    m_outlet.note(QStringLiteral("recv ") + hex(m_buffer));
    const int index = m_writeIndex++;
    const PedalFaults &f = m_options.faults;
    if (index == f.number(PedalFault::SilentAtWrite))
        return hang(QStringLiteral("Write Memory %1 hangs").arg(index));
    QByteArray data = m_buffer.mid(1, m_count);
    if (xorOf(m_buffer, 0, m_count + 1) != std::uint8_t(m_buffer[m_count + 1]))
        return refuse(QStringLiteral("data checksum"), at);
    if (m_count % 4 != 0 && !f.has(PedalFault::AnyWriteLength))
        return refuse(QStringLiteral("byte count not a multiple of 4"), at);
    if (!writable(m_address, std::uint32_t(m_count)))
        return refuse(QStringLiteral("write beyond the memory"), at);
    const bool nackOnce = m_address == version_record ? takeNackFault(NackPoint::Step::Version)
                                                      : takeNackFault(NackPoint::Step::Chunk, m_address);
    if (nackOnce || index == f.number(PedalFault::NackAtWrite))
        return refuse(QStringLiteral("write refused"), at);
    if (index == f.number(PedalFault::CorruptBlock)) {
        // Taken and answered as any other block: the byte in its middle that
        // is stored wrong shows only when the block is read back.
        const int middle = m_count / 2;
        data[middle] = char(data[middle] ^ 0x01);
        m_outlet.note(QStringLiteral("fault: Write Memory %1 stored with the byte at %2 changed")
                          .arg(index)
                          .arg(m_address + std::uint32_t(middle), 8, 16, QChar('0')));
    }
    if (!writeMemory(m_address, data))
        return refuse(QStringLiteral("programming error"), at);
    ++m_writeCount;
    m_lastWrite = {m_address, m_count};
    m_state = State::Command;
    m_buffer.clear();
    // Programming takes about 50 us per half-word.
    reply(QByteArray(1, char(ack)), at, std::max(1, m_count / 40));
}

void PedalBootloader::erased(int busyMs, qint64 at)
{
    ++m_eraseCount;
    if (m_options.faults.has(PedalFault::SilentErase))
        return hang(QStringLiteral("erased"));
    m_state = State::Command;
    m_buffer.clear();
    reply(QByteArray(1, char(ack)), at, busyMs);
}

int PedalBootloader::receive(std::uint8_t b, qint64 at, std::uint32_t baud)
{
    if (m_state == State::Hung)
        return 0;
    m_buffer.append(char(b));

    switch (m_state) {
    case State::Hung:
        return 0;

    case State::WaitSync:
        m_buffer.clear();
        if (b != 0x7F) {
            ++m_ignored;
            m_outlet.note(QStringLiteral("ignored before synchronisation: %1").arg(hex(QByteArray(1, char(b)))));
            return 0;
        }
        m_outlet.note(QStringLiteral("recv ") + hex(QByteArray(1, char(b))));
        m_baud = baud;
        m_state = State::Command;
        reply(QByteArray(1, char(ack)), at);
        return 0;

    case State::Command:
        // Once synchronised, every byte is a command or its complement; a new
        // 0x7F is a command byte like any other and waits for its complement.
        if (m_buffer.size() == 1)
            return 0;
        m_outlet.note(QStringLiteral("recv ") + hex(m_buffer));
        if ((std::uint8_t(m_buffer[0]) ^ b) != 0xFF) {
            refuse(QStringLiteral("command complement"), at);
            return 0;
        }
        m_buffer.clear();
        command(std::uint8_t(b ^ 0xFF), at);
        return 0;

    case State::Address:
        if (m_buffer.size() < 5)
            return 0;
        return address(at);

    case State::ReadCount: {
        if (m_buffer.size() < 2)
            return 0;
        m_outlet.note(QStringLiteral("recv ") + hex(m_buffer));
        const std::uint8_t n = std::uint8_t(m_buffer[0]);
        if ((n ^ std::uint8_t(m_buffer[1])) != 0xFF)
            refuse(QStringLiteral("read count complement"), at);
        else if (!readable(m_address, n + 1u))
            refuse(QStringLiteral("read beyond the memory"), at);
        else {
            m_state = State::Command;
            m_buffer.clear();
            reply(QByteArray(1, char(ack)) + readMemory(m_address, n + 1u), at);
        }
        return 0;
    }

    case State::WriteCount:
        m_count = b + 1;
        m_state = State::WriteData;
        return 0;

    case State::WriteData:
        // N, the data, the checksum.
        if (m_buffer.size() >= m_count + 2)
            writeData(at);
        return 0;

    case State::EraseFirst:
        if (b == 0xFF) {
            m_state = State::EraseGlobal;
            return 0;
        }
        m_count = b + 1;
        m_state = State::ErasePages;
        return 0;

    case State::EraseGlobal:
        m_outlet.note(QStringLiteral("recv ") + hex(m_buffer));
        if (b != 0x00)
            refuse(QStringLiteral("global erase checksum"), at);
        else if (takeNackFault(NackPoint::Step::Erase))
            refuse(QStringLiteral("erase refused"), at);
        else {
            eraseFlash(0, int(flash_size / flash_page));
            erased(40, at);
        }
        return 0;

    case State::ErasePages: {
        if (m_buffer.size() < m_count + 2)
            return 0;
        m_outlet.note(QStringLiteral("recv ") + hex(m_buffer));
        if (xorOf(m_buffer, 0, m_count + 1) != std::uint8_t(m_buffer[m_count + 1])) {
            refuse(QStringLiteral("page list checksum"), at);
            return 0;
        }
        for (int i = 1; i <= m_count; ++i) {
            if (std::uint8_t(m_buffer[i]) >= flash_size / flash_page) {
                refuse(QStringLiteral("no such page"), at);
                return 0;
            }
        }
        if (takeNackFault(NackPoint::Step::Erase)) {
            refuse(QStringLiteral("erase refused"), at);
            return 0;
        }
        for (int i = 1; i <= m_count; ++i)
            eraseFlash(std::uint8_t(m_buffer[i]), 1);
        erased(20 * m_count, at);
        return 0;
    }
    }
    return 0;
}

} // namespace quorvane
