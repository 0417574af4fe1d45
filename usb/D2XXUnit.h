#pragma once
// The USB link layer: the only code that talks to the bridge driver. It moves
// raw bytes between the bridge and the two fixed buffers and reports every
// driver failure through ReportFTError, gated by report_usb_errors.

#include "usb/BridgeDriver.h"

#include <QString>

#include <array>
#include <cstdint>
#include <vector>

namespace quorvane {

class Dialogs;

// One entry of the vendor's device list (kept for its layout; listing goes
// through the by-index queries).
struct FT_Device_Info_Node {
    std::uint32_t Flags;
    std::uint32_t DeviceType;
    std::uint32_t ID;
    std::uint32_t LocID;
    char SerialNumber[16];
    char Description[64];
    std::uint32_t DeviceHandle;
};
static_assert(sizeof(FT_Device_Info_Node) == 100);

constexpr int link_mode_normal = 0;
constexpr int link_mode_bootloader = 2;
constexpr std::uint32_t link_buffer_size = 65536;

// The status text appended to a context label for a driver status.
QString ft_status_text(FT_STATUS status);

class D2XXUnit {
public:
    D2XXUnit(BridgeDriver &driver, Dialogs &dialogs) : m_driver(driver), m_dialogs(dialogs) {}

    BridgeDriver &driver() { return m_driver; }
    Dialogs &dialogs() { return m_dialogs; }

    FT_STATUS GetFTDeviceCount();
    FT_STATUS GetFTDeviceSerialNo(std::uint32_t index);
    FT_STATUS GetFTDeviceDescription(std::uint32_t index);
    FT_STATUS Open_USB_Device_By_Serial_Number(const QString &serial);
    FT_STATUS CloseFTDevice();
    FT_STATUS SetFTBaudRate();
    FT_STATUS SetFTDataCharacteristics();
    FT_STATUS PurgeFTReceive();
    FT_STATUS PurgeFTTransmit();
    FT_STATUS GetFTQueueStatus();
    // Reads what the receive queue holds, at most the receive buffer's size,
    // into rx_buffer from its first byte; returns the number of bytes read.
    std::uint32_t ReadFTDevice();
    // Writes the first n bytes of tx_buffer; returns the number written.
    std::uint32_t WriteFTDevice(std::uint32_t n);

    // Stores the line settings for a link mode; nothing reaches the bridge.
    void SetLinkSettings(int mode);

    // Shows a driver failure when reporting is on.
    void ReportFTError(const QString &context, FT_STATUS status);

    // Set while the pedal's bootloader holds the line: a message meant for its
    // firmware would be taken as a bootloader command, so none may go out.
    bool bootloader_listening = false;

    FT_HANDLE ft_handle = 0;
    bool report_usb_errors = true;
    std::uint32_t rx_queue_count = 0;
    std::uint32_t ft_device_count = 0;
    QString ft_list_text;

    std::uint32_t link_baud_rate = 115200;
    std::uint8_t link_word_length = FT_BITS_8;
    std::uint8_t link_stop_bits = FT_STOP_BITS_1;
    std::uint8_t link_parity = FT_PARITY_NONE;

    std::array<std::uint8_t, link_buffer_size> rx_buffer{};
    std::array<std::uint8_t, link_buffer_size> tx_buffer{};

    std::vector<FT_Device_Info_Node> device_info_list; // never filled

private:
    BridgeDriver &m_driver;
    Dialogs &m_dialogs;
    char m_serial_buffer[FT_LIST_TEXT_SIZE] = {};
    char m_description_buffer[FT_LIST_TEXT_SIZE] = {};
    char m_open_serial_buffer[50] = {};
};

} // namespace quorvane
