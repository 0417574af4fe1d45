#include "firmware/FirmwareUpgrade.h"

#include "common/ConsoleLog.h"
#include "protocol/Codec.h"
#include "platform/Wait.h"
#include "usb/D2XXUnit.h"

#include <QDir>
#include <QFile>

#include <algorithm>
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

const BootloaderReply &FirmwareUpgrade::BootloaderWaitAck(const ReplyLimits &limits)
{
    if (!m_session) {
        last_reply = {LineStatus::Refused, {}};
        return last_reply;
    }
    const LineReply reply = m_session->read_reply(1, limits);
    last_reply.bytes = reply.bytes;
    last_reply.status = reply.status;
    if (reply.ok() && reply.bytes.at(0) == char(bootloader_nack))
        last_reply.status = LineStatus::Nack;
    m_console.print_to_console(QStringLiteral("num of bytes received: %1").arg(reply.bytes.size()));
    m_console.print_without_scroll(QStringLiteral("received: ") +
                                   QString::fromLatin1(reply.bytes.toHex().toUpper()));
    if (last_reply.is_ack())
        m_console.print_without_scroll(QStringLiteral("ACK"));
    else if (last_reply.is_nack())
        m_console.print_without_scroll(QStringLiteral("NOT ACK"));
    return last_reply;
}

bool FirmwareUpgrade::fail(const QString &step, const QString &reason)
{
    failure = step + QStringLiteral(": ") + reason;
    m_console.print_to_console(QStringLiteral("bootloader step failed: ") + failure);
    return false;
}

bool FirmwareUpgrade::expect_ack(const QString &step, const ReplyLimits &limits)
{
    const BootloaderReply &reply = BootloaderWaitAck(limits);
    switch (reply.status) {
    case LineStatus::Ok:
        if (reply.is_ack())
            return true;
        return fail(step, QStringLiteral("the bootloader answered %1 instead of ACK")
                              .arg(QString::fromLatin1(reply.bytes.toHex().toUpper())));
    case LineStatus::Nack:
        return fail(step, QStringLiteral("the bootloader answered NOT ACK"));
    case LineStatus::TimedOut:
        return fail(step, QStringLiteral("no reply from the bootloader within ") +
                              describe_timeout(limits.first_byte_ms));
    case LineStatus::Refused:
        return fail(step, QStringLiteral("the line to the bootloader is not held by the upgrade"));
    case LineStatus::IoFailed:
    case LineStatus::Overflow:
        break;
    }
    return fail(step, QStringLiteral("the link to the pedal failed"));
}

void FirmwareUpgrade::discard_stray()
{
    if (m_session)
        m_session->discard_stray();
}

bool FirmwareUpgrade::write_block(const QByteArray &bytes, const QString &step)
{
    if (!m_session)
        return fail(step, QStringLiteral("the line to the bootloader is not held by the upgrade"));
    if (m_session->transmit(bytes) != LineStatus::Ok)
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
    discard_stray();
    return write_bytes({bootloader_erase_memory[0], bootloader_erase_memory[1]}, step) &&
           expect_ack(step, command_limits) &&
           write_bytes({bootloader_global_erase[0], bootloader_global_erase[1]}, step) &&
           expect_ack(step, erase_limits);
}

bool FirmwareUpgrade::BootloaderWriteCommand(const QString &step)
{
    m_console.print_to_console(QStringLiteral("SEND WRITE COMMAND"));
    discard_stray();
    if (!write_one_by_one({bootloader_write_memory[0], bootloader_write_memory[1]}, step) ||
        !expect_ack(step + QStringLiteral(", write command"), command_limits))
        return false;

    const std::uint32_t a = bootloader_address;
    const std::uint8_t checksum = calc_address_checksum(a);
    m_console.print_to_console(QStringLiteral("SEND ADDRESS + CHECKSUM"));
    m_console.print_to_console(QStringLiteral("Address: ") + hex8(a));
    m_console.print_to_console(QStringLiteral("address checksum: ") + hex_byte(checksum));
    return write_bytes({std::uint8_t(a >> 24), std::uint8_t(a >> 16), std::uint8_t(a >> 8),
                        std::uint8_t(a), checksum},
                       step) &&
           expect_ack(step + QStringLiteral(", address"), command_limits);
}

bool FirmwareUpgrade::BootloaderWriteFirmware()
{
    m_console.print_without_scroll(QStringLiteral("Start Write Command"));
    m_console.print_without_scroll(QString());
    bootloader_address = flash_start_address;
    for (std::uint32_t k = 0; k < num_of_chunks && k < firmware_chunks.size(); ++k) {
        if (stop_requested)
            return fail(QStringLiteral("chunk %1").arg(k), QStringLiteral("stopped by the user"));
        if (progress)
            progress(int(k), progress_maximum());
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
        if (!write_bytes({checksum}, step) || !expect_ack(step + QStringLiteral(", data"), command_limits))
            return false;
        bootloader_address += n;
        m_console.print_to_console(QString());
    }
    return true;
}

int FirmwareUpgrade::progress_maximum() const
{
    return int(num_of_chunks) * (verify_after_writing ? 2 : 1);
}

bool FirmwareUpgrade::reply_failure(const QString &step, const LineReply &reply, const ReplyLimits &limits)
{
    switch (reply.status) {
    case LineStatus::Ok:
    case LineStatus::TimedOut:
        break;
    case LineStatus::Refused:
        return fail(step, QStringLiteral("the line to the bootloader is not held by the upgrade"));
    case LineStatus::Nack:
    case LineStatus::IoFailed:
    case LineStatus::Overflow:
        return fail(step, QStringLiteral("the link to the pedal failed"));
    }
    if (reply.bytes.isEmpty())
        return fail(step, QStringLiteral("no reply from the bootloader within ") +
                              describe_timeout(limits.first_byte_ms));
    const auto first = std::uint8_t(reply.bytes.at(0));
    if (first == bootloader_nack)
        return fail(step, QStringLiteral("the pedal refused to read the chunk back (NOT ACK)"));
    if (first != bootloader_ack)
        return fail(step, QStringLiteral("the bootloader answered %1 instead of ACK").arg(hex_byte(first)));
    return fail(step, QStringLiteral("the answer broke off after %1 of its %2 bytes")
                          .arg(reply.bytes.size())
                          .arg(std::max(limits.max_bytes, 1)));
}

bool FirmwareUpgrade::expect_read_ack(const QString &step)
{
    if (!m_session)
        return fail(step, QStringLiteral("the line to the bootloader is not held by the upgrade"));
    const LineReply reply = m_session->read_reply(1, command_limits);
    if (reply.ok() && std::uint8_t(reply.bytes.at(0)) == bootloader_ack)
        return true;
    ReplyLimits limits = command_limits;
    limits.max_bytes = 1;
    return reply_failure(step, reply, limits);
}

bool FirmwareUpgrade::verify_chunk(std::uint32_t k, std::uint32_t address)
{
    const QString step = QStringLiteral("verify chunk %1 at address 0x%2").arg(k).arg(hex8(address));
    const QByteArray &written = firmware_chunks[k].data;
    const auto N = std::uint8_t(written.size() - 1);
    // One line a chunk: the console holds the whole image already.
    m_console.print_without_scroll(
        QStringLiteral("READ MEMORY Address: %1 N_byte: %2").arg(hex8(address), hex_byte(N)));
    discard_stray();
    if (!write_bytes({bootloader_read_memory[0], bootloader_read_memory[1]}, step) ||
        !expect_read_ack(step + QStringLiteral(", read command")))
        return false;
    if (!write_bytes({std::uint8_t(address >> 24), std::uint8_t(address >> 16), std::uint8_t(address >> 8),
                      std::uint8_t(address), calc_address_checksum(address)},
                     step) ||
        !expect_read_ack(step + QStringLiteral(", address")))
        return false;
    if (!write_bytes({N, std::uint8_t(N ^ 0xFF)}, step))
        return false;

    // The ACK and the N + 1 bytes behind it, taken as one reply.
    ReplyLimits limits = read_back_limits;
    limits.max_bytes = int(written.size()) + 1;
    const LineReply reply = m_session->read_reply(limits.max_bytes, limits);
    if (!reply.ok() || std::uint8_t(reply.bytes.at(0)) != bootloader_ack)
        return reply_failure(step + QStringLiteral(", data"), reply, limits);
    const QByteArray read = reply.bytes.mid(1);
    for (qsizetype i = 0; i < written.size(); ++i) {
        if (read.at(i) == written.at(i))
            continue;
        m_console.print_without_scroll(QStringLiteral("read back: ") + QString::fromLatin1(read.toHex().toUpper()));
        return fail(step, QStringLiteral("the pedal's flash differs from the image at 0x%1: read back %2 "
                                         "where the image has %3")
                              .arg(hex8(address + std::uint32_t(i)))
                              .arg(hex_byte(std::uint8_t(read.at(i))))
                              .arg(hex_byte(std::uint8_t(written.at(i)))));
    }
    return true;
}

bool FirmwareUpgrade::BootloaderVerifyFirmware()
{
    m_console.print_without_scroll(QStringLiteral("Start Verify Command"));
    std::uint32_t address = flash_start_address;
    std::uint32_t verified = 0;
    for (std::uint32_t k = 0; k < num_of_chunks && k < firmware_chunks.size(); ++k) {
        if (stop_requested)
            return fail(QStringLiteral("verify chunk %1").arg(k), QStringLiteral("stopped by the user"));
        if (progress)
            progress(int(num_of_chunks + k), int(2 * num_of_chunks));
        if (!verify_chunk(k, address))
            return false;
        const auto n = std::uint32_t(firmware_chunks[k].data.size());
        address += n;
        verified += n;
    }
    m_console.print_to_console(QStringLiteral("Verified %1 bytes in %2 chunks").arg(verified).arg(num_of_chunks));
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
    return expect_ack(step, command_limits);
}

bool FirmwareUpgrade::BootloaderGo()
{
    const QString step = QStringLiteral("start");
    m_console.print_to_console(QString());
    m_console.print_to_console(QStringLiteral("SEND GO COMMAND"));
    bootloader_address = flash_start_address;
    discard_stray();
    if (!write_one_by_one({bootloader_go[0], bootloader_go[1]}, step) ||
        !expect_ack(step, command_limits))
        return false;
    const std::uint32_t a = bootloader_address;
    const std::uint8_t checksum = calc_address_checksum(a);
    m_console.print_to_console(QStringLiteral("SEND ADDRESS + CHECKSUM"));
    m_console.print_to_console(QStringLiteral("Address: ") + hex8(a));
    m_console.print_to_console(QStringLiteral("address checksum: ") + hex_byte(checksum));
    return write_one_by_one({std::uint8_t(a >> 24), std::uint8_t(a >> 16), std::uint8_t(a >> 8),
                             std::uint8_t(a), checksum},
                            step) &&
           expect_ack(step, command_limits);
}

bool FirmwareUpgrade::BootloaderResync()
{
    const QString step = QStringLiteral("synchronisation");
    if (!m_session)
        return fail(step, QStringLiteral("the line to the bootloader is not held by the upgrade"));
    for (int attempt = 0; attempt < 3; ++attempt) {
        m_session->purge_receive();
        if (!write_bytes({bootloader_sync}, step))
            return false;
        const BootloaderReply &reply = BootloaderWaitAck(command_limits);
        if (reply.is_ack() || reply.is_nack())
            return true;
        if (reply.status == LineStatus::IoFailed)
            return fail(step, QStringLiteral("the link to the pedal failed"));
        if (attempt == 0 && reply.status == LineStatus::TimedOut) {
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
    if (last_reply.status == LineStatus::TimedOut)
        return fail(step, QStringLiteral("no reply from the bootloader within ") +
                              describe_timeout(command_limits.first_byte_ms));
    return fail(step, QStringLiteral("the bootloader answered %1 instead of ACK")
                          .arg(QString::fromLatin1(last_reply.bytes.toHex().toUpper())));
}

void FirmwareUpgrade::drain_replies()
{
    // Until the line has been quiet for a while (bounded).
    for (int round = 0; round < 20; ++round) {
        wait_ms(drain_quiet_ms);
        const std::optional<std::uint32_t> waiting = m_session->queued();
        if (!waiting || *waiting == 0)
            return;
        m_session->purge_receive();
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
