#include "usb/D2XXUnit.h"

#include "platform/Dialogs.h"

#include <algorithm>
#include <cstring>

namespace quorvane {

QString ft_status_text(FT_STATUS status)
{
    static const char *const texts[] = {
        "",
        " - Invalid handle...",
        " - Device not found...",
        " - Device not opened...",
        " - General IO error...",
        " - Insufficient resources...",
        " - Invalid parameter...",
        " - Invalid baud rate...",
        " Device not opened for erase...",
        " Device not opened for write...",
        " - Failed to write...",
        " - EEPROM read failed...",
        " - EEPROM write failed...",
        " - EEPROM erase failed...",
        " - EEPROM not present...",
        " - EEPROM not programmed...",
        " - Invalid arguments...",
        " - Other error ...",
    };
    if (status < std::size(texts))
        return QString::fromLatin1(texts[status]);
    return QStringLiteral(" - Unknown error (%1)...").arg(status);
}

void D2XXUnit::ReportFTError(const QString &context, FT_STATUS status)
{
    if (!report_usb_errors || status == FT_OK)
        return;
    m_dialogs.message(context + ft_status_text(status));
}

static QString list_text(const char *buffer)
{
    return QString::fromLatin1(buffer, static_cast<qsizetype>(strnlen(buffer, FT_LIST_TEXT_SIZE)));
}

FT_STATUS D2XXUnit::GetFTDeviceCount()
{
    const FT_STATUS status = m_driver.listDeviceCount(ft_device_count);
    ReportFTError(QStringLiteral("GetFTDeviceCount"), status);
    return status;
}

FT_STATUS D2XXUnit::GetFTDeviceSerialNo(std::uint32_t index)
{
    const FT_STATUS status = m_driver.listSerialNumber(index, m_serial_buffer);
    if (status == FT_OK)
        ft_list_text = list_text(m_serial_buffer);
    ReportFTError(QStringLiteral("GetFTDeviceSerialNo"), status);
    return status;
}

FT_STATUS D2XXUnit::GetFTDeviceDescription(std::uint32_t index)
{
    const FT_STATUS status = m_driver.listDescription(index, m_description_buffer);
    if (status == FT_OK)
        ft_list_text = list_text(m_description_buffer);
    ReportFTError(QStringLiteral("GetFTDeviceDescription"), status);
    return status;
}

FT_STATUS D2XXUnit::Open_USB_Device_By_Serial_Number(const QString &serial)
{
    const QByteArray bytes = serial.toLatin1().left(int(sizeof(m_open_serial_buffer)) - 1);
    std::memset(m_open_serial_buffer, 0, sizeof(m_open_serial_buffer));
    std::memcpy(m_open_serial_buffer, bytes.constData(), size_t(bytes.size()));
    FT_HANDLE handle = 0;
    const FT_STATUS status = m_driver.openBySerialNumber(m_open_serial_buffer, handle);
    if (status == FT_OK)
        ft_handle = handle;
    ReportFTError(QStringLiteral("Open_USB_Device_By_Serial_Number"), status);
    return status;
}

FT_STATUS D2XXUnit::CloseFTDevice()
{
    const FT_STATUS status = m_driver.close(ft_handle);
    ReportFTError(QStringLiteral("FT_Close"), status);
    return status;
}

FT_STATUS D2XXUnit::SetFTBaudRate()
{
    const FT_STATUS status = m_driver.setBaudRate(ft_handle, link_baud_rate);
    ReportFTError(QStringLiteral("FT_SetBaudRate"), status);
    return status;
}

FT_STATUS D2XXUnit::SetFTDataCharacteristics()
{
    const FT_STATUS status = m_driver.setDataCharacteristics(ft_handle, link_word_length,
                                                             link_stop_bits, link_parity);
    ReportFTError(QStringLiteral("FT_SetDataCharacteristics"), status);
    return status;
}

FT_STATUS D2XXUnit::PurgeFTReceive()
{
    const FT_STATUS status = m_driver.purge(ft_handle, FT_PURGE_RX);
    ReportFTError(QStringLiteral("FT_Purge RX"), status);
    return status;
}

FT_STATUS D2XXUnit::PurgeFTTransmit()
{
    const FT_STATUS status = m_driver.purge(ft_handle, FT_PURGE_TX);
    ReportFTError(QStringLiteral("FT_Purge TX"), status);
    return status;
}

FT_STATUS D2XXUnit::GetFTQueueStatus()
{
    const FT_STATUS status = m_driver.getQueueStatus(ft_handle, rx_queue_count);
    ReportFTError(QStringLiteral("FT_GetQueueStatus"), status);
    return status;
}

std::uint32_t D2XXUnit::ReadFTDevice()
{
    std::uint32_t waiting = 0;
    m_driver.getQueueStatus(ft_handle, waiting); // its own status is not reported
    // The receive buffer holds 65536 bytes; anything beyond waits for the next read.
    const std::uint32_t wanted = std::min<std::uint32_t>(waiting, link_buffer_size);
    std::uint32_t got = 0;
    const FT_STATUS status = m_driver.read(ft_handle, rx_buffer.data(), wanted, got);
    ReportFTError(QStringLiteral("FT_Read"), status);
    if (status != FT_OK)
        return 0;
    got = std::min(got, wanted);
    capture(TrafficDirection::In, rx_buffer.data(), got);
    return got;
}

std::uint32_t D2XXUnit::WriteFTDevice(std::uint32_t n)
{
    n = std::min<std::uint32_t>(n, link_buffer_size);
    std::uint32_t written = 0;
    const FT_STATUS status = m_driver.write(ft_handle, tx_buffer.data(), n, written);
    m_last_write_status = status;
    if (m_exchange_ends) {
        ++m_exchange;
        m_exchange_ends = false;
    }
    capture(TrafficDirection::Out, tx_buffer.data(), std::min(written, n));
    ReportFTError(QStringLiteral("FT_Write"), status);
    return written;
}

void D2XXUnit::SetLinkSettings(int mode)
{
    link_baud_rate = 115200;
    link_word_length = FT_BITS_8;
    link_stop_bits = FT_STOP_BITS_1;
    if (mode == link_mode_bootloader)
        link_parity = FT_PARITY_EVEN;
    else if (mode == link_mode_normal)
        link_parity = FT_PARITY_NONE;
}

} // namespace quorvane
