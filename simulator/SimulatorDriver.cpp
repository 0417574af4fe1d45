#include "simulator/SimulatorDriver.h"

#include <algorithm>
#include <cstring>

namespace quorvane {

namespace {

void copyText(char *buffer, const char *text)
{
    std::memset(buffer, 0, FT_LIST_TEXT_SIZE);
    std::strncpy(buffer, text, FT_LIST_TEXT_SIZE - 1);
}

} // namespace

SimulatorDriver::SimulatorDriver(const PedalOptions &options, PedalModel::Clock clock)
    : m_model(options, std::move(clock))
{
}

FT_STATUS SimulatorDriver::check(FT_HANDLE handle) const
{
    if (!m_open || handle != kHandle)
        return FT_INVALID_HANDLE;
    // A bridge pulled out of its socket fails every call on its handle.
    if (m_model.unplugged())
        return FT_IO_ERROR;
    return FT_OK;
}

FT_STATUS SimulatorDriver::listDeviceCount(std::uint32_t &count)
{
    count = m_model.unplugged() ? 0 : 1;
    return FT_OK;
}

FT_STATUS SimulatorDriver::listSerialNumber(std::uint32_t index, char *buffer)
{
    if (index != 0 || m_model.unplugged())
        return FT_DEVICE_NOT_FOUND;
    copyText(buffer, serial_number);
    return FT_OK;
}

FT_STATUS SimulatorDriver::listDescription(std::uint32_t index, char *buffer)
{
    if (index != 0 || m_model.unplugged())
        return FT_DEVICE_NOT_FOUND;
    copyText(buffer, description);
    return FT_OK;
}

FT_STATUS SimulatorDriver::openBySerialNumber(const char *serial, FT_HANDLE &handle)
{
    if (serial == nullptr || std::strcmp(serial, serial_number) != 0 || m_model.unplugged())
        return FT_DEVICE_NOT_FOUND;
    if (m_open)
        return FT_DEVICE_NOT_OPENED; // one handle at a time, as the vendor's driver
    m_open = true;
    handle = kHandle;
    return FT_OK;
}

FT_STATUS SimulatorDriver::close(FT_HANDLE handle)
{
    if (!m_open || handle != kHandle)
        return FT_INVALID_HANDLE;
    m_open = false;
    return FT_OK;
}

FT_STATUS SimulatorDriver::setBaudRate(FT_HANDLE handle, std::uint32_t baudRate)
{
    if (FT_STATUS s = check(handle))
        return s;
    if (baudRate < 183 || baudRate > 3000000)
        return FT_INVALID_BAUD_RATE;
    m_model.setBaudRate(baudRate);
    return FT_OK;
}

FT_STATUS SimulatorDriver::setDataCharacteristics(FT_HANDLE handle, std::uint8_t wordLength,
                                                  std::uint8_t stopBits, std::uint8_t parity)
{
    if (FT_STATUS s = check(handle))
        return s;
    if ((wordLength != 7 && wordLength != 8) || (stopBits != 0 && stopBits != 2) || parity > 4)
        return FT_INVALID_PARAMETER;
    m_model.setDataCharacteristics(wordLength, stopBits, parity);
    return FT_OK;
}

FT_STATUS SimulatorDriver::purge(FT_HANDLE handle, std::uint32_t mask)
{
    if (FT_STATUS s = check(handle))
        return s;
    if (mask & FT_PURGE_RX)
        m_model.purgeReceive();
    if (mask & FT_PURGE_TX)
        m_model.purgeTransmit();
    return FT_OK;
}

FT_STATUS SimulatorDriver::getQueueStatus(FT_HANDLE handle, std::uint32_t &count)
{
    if (FT_STATUS s = check(handle))
        return s;
    count = std::uint32_t(m_model.bytesAvailable());
    return check(handle); // the bridge may have gone meanwhile
}

FT_STATUS SimulatorDriver::read(FT_HANDLE handle, std::uint8_t *buffer, std::uint32_t toRead,
                                std::uint32_t &bytesRead)
{
    bytesRead = 0;
    if (FT_STATUS s = check(handle))
        return s;
    const QByteArray bytes = m_model.takeOutput(toRead);
    std::memcpy(buffer, bytes.constData(), size_t(bytes.size()));
    bytesRead = std::uint32_t(bytes.size());
    return FT_OK;
}

FT_STATUS SimulatorDriver::write(FT_HANDLE handle, const std::uint8_t *buffer, std::uint32_t toWrite,
                                 std::uint32_t &bytesWritten)
{
    bytesWritten = 0;
    if (FT_STATUS s = check(handle))
        return s;
    m_model.receive(QByteArray(reinterpret_cast<const char *>(buffer), int(toWrite)));
    if (m_model.unplugged())
        return FT_IO_ERROR;
    bytesWritten = toWrite;
    return FT_OK;
}

} // namespace quorvane
