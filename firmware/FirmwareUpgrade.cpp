#include "firmware/FirmwareUpgrade.h"

#include "console/ConsoleLog.h"
#include "protocol/Codec.h"
#include "platform/Wait.h"
#include "usb/D2XXUnit.h"

#include <QDir>
#include <QFile>

#include <cstring>

namespace quorvane {

QString describe_timeout(int timeout_ms)
{
    if (timeout_ms % 1000 == 0)
        return QStringLiteral("%1 s").arg(timeout_ms / 1000);
    return QStringLiteral("%1 ms").arg(timeout_ms);
}

static QString hex_byte(std::uint8_t value)
{
    return encode_hex_text(&value, 1);
}

// Built-in resources are found without regard to case.
static QString find_builtin_resource(const QString &name)
{
    if (name.isEmpty())
        return {};
    const QDir root(QStringLiteral(":/"));
    for (const QString &entry : root.entryList(QDir::Files)) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return root.filePath(entry);
    }
    return {};
}

bool FirmwareUpgrade::LoadFirmwareImage(const QString &name)
{
    const QString path = find_builtin_resource(name);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return fail(QStringLiteral("image"),
                    QStringLiteral("the editor carries no firmware image \"%1\"").arg(name));
    setFirmwareImage(file.readAll());
    m_console.print_to_console(QStringLiteral("Firmware num of bytes: %1").arg(firmware_num_of_bytes));
    return true;
}

void FirmwareUpgrade::setFirmwareImage(const QByteArray &image)
{
    firmware_image = image;
    firmware_num_of_bytes = std::uint32_t(image.size());
}

QString FirmwareUpgrade::image_fit_problem() const
{
    const std::uint64_t size = std::uint64_t(firmware_image.size());
    if (size == 0)
        return QStringLiteral("the image is empty");
    const std::uint64_t chunks = (size + firmware_chunk_size - 1) / firmware_chunk_size;
    if (chunks > firmware_max_chunks)
        return QStringLiteral("the image needs %1 chunks of 256 bytes, more than %2")
            .arg(chunks)
            .arg(firmware_max_chunks);
    if (flash_start_address + size > version_record_address)
        return QStringLiteral("the image of %1 bytes would reach the version record at 0x%2")
            .arg(size)
            .arg(hex8(version_record_address));
    return {};
}

QString FirmwareUpgrade::BootloaderWaitAck(int timeout_ms)
{
    last_reply.status = m_reader.ReadBootloaderReply(last_reply.text, timeout_ms);
    m_console.print_without_scroll(QStringLiteral("received: ") + last_reply.text);
    if (last_reply.text == bootloader_ack_text)
        m_console.print_without_scroll(QStringLiteral("ACK"));
    else if (last_reply.text == bootloader_nack_text)
        m_console.print_without_scroll(QStringLiteral("NOT ACK"));
    return last_reply.text;
}

bool FirmwareUpgrade::fail(const QString &step, const QString &reason)
{
    failure = step + QStringLiteral(": ") + reason;
    m_console.print_to_console(QStringLiteral("bootloader step failed: ") + failure);
    return false;
}

bool FirmwareUpgrade::expect_ack(const QString &step, int timeout_ms)
{
    const QString reply = BootloaderWaitAck(timeout_ms);
    switch (last_reply.status) {
    case ReplyStatus::TimedOut:
        return fail(step, QStringLiteral("no reply from the bootloader within ") +
                              describe_timeout(timeout_ms));
    case ReplyStatus::QueueFailed:
        return fail(step, QStringLiteral("the link to the pedal failed"));
    case ReplyStatus::Ok:
        break;
    }
    if (reply.isEmpty()) // the queue held a byte that no read delivered
        return fail(step, QStringLiteral("the link to the pedal failed"));
    if (reply == bootloader_ack_text)
        return true;
    if (reply == bootloader_nack_text)
        return fail(step, QStringLiteral("the bootloader answered NOT ACK"));
    return fail(step, QStringLiteral("the bootloader answered %1 instead of ACK").arg(reply));
}

bool FirmwareUpgrade::write_block(const QByteArray &bytes, const QString &step)
{
    const auto n = std::uint32_t(bytes.size());
    std::memcpy(m_link.tx_buffer.data(), bytes.constData(), n);
    if (m_link.WriteFTDevice(n) != n)
        return fail(step, QStringLiteral("the link to the pedal failed while sending"));
    return true;
}

bool FirmwareUpgrade::write_bytes(std::initializer_list<std::uint8_t> bytes, const QString &step)
{
    return write_block(QByteArray(reinterpret_cast<const char *>(std::data(bytes)),
                                  qsizetype(bytes.size())),
                       step);
}

bool FirmwareUpgrade::write_one_by_one(std::initializer_list<std::uint8_t> bytes, const QString &step)
{
    for (std::uint8_t b : bytes) {
        if (!write_bytes({b}, step))
            return false;
    }
    return true;
}

bool FirmwareUpgrade::SplitFirmwareInChunks()
{
    firmware_num_of_bytes = std::uint32_t(firmware_image.size());
    if (const QString problem = image_fit_problem(); !problem.isEmpty())
        return fail(QStringLiteral("image"), problem);

    num_of_chunks = firmware_num_of_bytes / firmware_chunk_size;
    num_of_bytes_last_chunk = firmware_num_of_bytes % firmware_chunk_size;
    m_console.print_to_console(QStringLiteral("num of chunks: %1").arg(num_of_chunks));
    m_console.print_to_console(QStringLiteral("num of bytes last chunk: %1").arg(num_of_bytes_last_chunk));
    if (num_of_bytes_last_chunk > 0)
        ++num_of_chunks;

    firmware_chunks.clear();
    firmware_chunks.reserve(num_of_chunks);
    for (std::uint32_t k = 0; k < num_of_chunks; ++k) {
        FirmwareChunk chunk;
        chunk.data = firmware_image.mid(qsizetype(k * firmware_chunk_size), firmware_chunk_size);
        chunk.hex = encode_hex_text(reinterpret_cast<const std::uint8_t *>(chunk.data.constData()),
                                    std::uint32_t(chunk.data.size()));
        if (k == num_of_chunks - 1)
            m_console.print_to_console(
                QStringLiteral("num of bytes last chunk: %1").arg(num_of_bytes_last_chunk));
        m_console.print_without_scroll(QStringLiteral("chunk from string %1: ").arg(k));
        m_console.print_without_scroll(chunk.hex);
        m_console.print_to_console(QStringLiteral("chunk %1 size: %2").arg(k).arg(chunk.data.size()));
        m_console.print_without_scroll(QString());
        m_console.print_without_scroll(QString());
        firmware_chunks.push_back(std::move(chunk));
    }
    return true;
}

bool FirmwareUpgrade::BootloaderEraseAll()
{
    const QString step = QStringLiteral("erase");
    m_console.print_without_scroll(QStringLiteral("Start Erase Command"));
    return write_bytes({bootloader_erase_memory[0], bootloader_erase_memory[1]}, step) &&
           expect_ack(step, command_timeout_ms) &&
           write_bytes({bootloader_global_erase[0], bootloader_global_erase[1]}, step) &&
           expect_ack(step, erase_timeout_ms);
}

bool FirmwareUpgrade::BootloaderWriteCommand(const QString &step)
{
    m_console.print_to_console(QStringLiteral("SEND WRITE COMMAND"));
    if (!write_one_by_one({bootloader_write_memory[0], bootloader_write_memory[1]}, step) ||
        !expect_ack(step + QStringLiteral(", write command"), command_timeout_ms))
        return false;

    const std::uint32_t a = bootloader_address;
    const std::uint8_t checksum = calc_address_checksum(a);
    m_console.print_to_console(QStringLiteral("SEND ADDRESS + CHECKSUM"));
    m_console.print_to_console(QStringLiteral("Address: ") + hex8(a));
    m_console.print_to_console(QStringLiteral("address checksum: ") + hex_byte(checksum));
    return write_bytes({std::uint8_t(a >> 24), std::uint8_t(a >> 16), std::uint8_t(a >> 8),
                        std::uint8_t(a), checksum},
                       step) &&
           expect_ack(step + QStringLiteral(", address"), command_timeout_ms);
}

bool FirmwareUpgrade::BootloaderWriteFirmware()
{
    m_console.print_without_scroll(QStringLiteral("Start Write Command"));
    m_console.print_without_scroll(QString());
    bootloader_address = flash_start_address;
    for (std::uint32_t k = 0; k < num_of_chunks && k < firmware_chunks.size(); ++k) {
        if (progress)
            progress(int(k), int(num_of_chunks));
        const QString step =
            QStringLiteral("chunk %1 at address 0x%2").arg(k).arg(hex8(bootloader_address));
        if (!BootloaderWriteCommand(step))
            return false;

        const QByteArray &data = firmware_chunks[k].data;
        const auto n = std::uint32_t(data.size());
        const auto N = std::uint8_t(n - 1);
        m_console.print_to_console(QStringLiteral("SEND N BYTE + DATA + CHECKSUM"));
        m_console.print_to_console(QStringLiteral("N_byte: ") + hex_byte(N));
        if (!write_bytes({N}, step))
            return false;
        m_console.print_to_console(QStringLiteral("chunk size: %1").arg(n));
        if (!write_block(data, step))
            return false;
        const std::uint8_t checksum = calc_chunk_checksum(k, N);
        m_console.print_to_console(QStringLiteral("data checksum: ") + hex_byte(checksum));
        if (!write_bytes({checksum}, step) || !expect_ack(step + QStringLiteral(", data"), command_timeout_ms))
            return false;
        bootloader_address += n;
        m_console.print_to_console(QString());
    }
    return true;
}

QByteArray FirmwareUpgrade::version_record(std::uint8_t version)
{
    QByteArray record(10, '\0');
    record[0] = char(0x07);
    record[8] = char(version);
    record[9] = char(0x07 ^ version);
    return record;
}

bool FirmwareUpgrade::BootloaderWriteVersion(int version)
{
    const QString step = QStringLiteral("version record");
    if (version < 0 || version > 255)
        return fail(step, QStringLiteral("%1 is no firmware version").arg(version));
    bootloader_address = version_record_address;
    if (!BootloaderWriteCommand(step))
        return false;
    const QByteArray record = version_record(std::uint8_t(version));
    for (char b : record) {
        if (!write_bytes({std::uint8_t(b)}, step))
            return false;
    }
    return expect_ack(step, command_timeout_ms);
}

bool FirmwareUpgrade::BootloaderGo()
{
    const QString step = QStringLiteral("start");
    m_console.print_to_console(QString());
    m_console.print_to_console(QStringLiteral("SEND GO COMMAND"));
    bootloader_address = flash_start_address;
    if (!write_one_by_one({bootloader_go[0], bootloader_go[1]}, step) ||
        !expect_ack(step, command_timeout_ms))
        return false;
    const std::uint32_t a = bootloader_address;
    const std::uint8_t checksum = calc_address_checksum(a);
    m_console.print_to_console(QStringLiteral("SEND ADDRESS + CHECKSUM"));
    m_console.print_to_console(QStringLiteral("Address: ") + hex8(a));
    m_console.print_to_console(QStringLiteral("address checksum: ") + hex_byte(checksum));
    return write_one_by_one({std::uint8_t(a >> 24), std::uint8_t(a >> 16), std::uint8_t(a >> 8),
                             std::uint8_t(a), checksum},
                            step) &&
           expect_ack(step, command_timeout_ms);
}

bool FirmwareUpgrade::BootloaderResync()
{
    const QString step = QStringLiteral("synchronisation");
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_link.PurgeFTReceive();
        if (!write_bytes({bootloader_sync}, step))
            return false;
        const QString reply = BootloaderWaitAck(command_timeout_ms);
        if (reply == bootloader_ack_text || reply == bootloader_nack_text)
            return true;
        if (last_reply.status == ReplyStatus::QueueFailed)
            return fail(step, QStringLiteral("the link to the pedal failed"));
        if (attempt == 0 && last_reply.status == ReplyStatus::TimedOut) {
            // Silence: the bootloader may be inside a command, waiting for the
            // rest of an address or a data block. Enough filler completes
            // any of them; what it answers is dropped, and the next
            // synchronisation bytes find it waiting for a command.
            m_console.print_to_console(QStringLiteral("bootloader silent: completing a broken-off command"));
            if (!write_block(QByteArray(resync_filler_bytes, char(bootloader_sync)), step))
                return false;
            drain_replies();
        }
    }
    if (last_reply.status == ReplyStatus::TimedOut)
        return fail(step, QStringLiteral("no reply from the bootloader within ") +
                              describe_timeout(command_timeout_ms));
    return fail(step, QStringLiteral("the bootloader answered %1 instead of ACK").arg(last_reply.text));
}

void FirmwareUpgrade::drain_replies()
{
    // Until the line has been quiet for a while (bounded).
    for (int round = 0; round < 20; ++round) {
        wait_ms(drain_quiet_ms);
        if (m_link.GetFTQueueStatus() != FT_OK || m_link.rx_queue_count == 0)
            return;
        m_link.PurgeFTReceive();
    }
}

std::uint8_t FirmwareUpgrade::calc_address_checksum(std::uint32_t address)
{
    return std::uint8_t((address >> 24) ^ (address >> 16) ^ (address >> 8) ^ address);
}

std::uint8_t FirmwareUpgrade::calc_chunk_checksum(std::uint32_t k, std::uint8_t N) const
{
    std::uint8_t checksum = N;
    if (k >= firmware_chunks.size())
        return checksum;
    const QByteArray &data = firmware_chunks[k].data;
    for (qsizetype i = 0; i <= N && i < data.size(); ++i)
        checksum ^= std::uint8_t(data[i]);
    return checksum;
}

} // namespace quorvane
