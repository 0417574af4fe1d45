#pragma once
// The virtual pedal behind the bridge-driver interface: one device,
// "Quorvane KQ5 (virtual)", whose bytes go to and come from a PedalModel.

#include "simulator/PedalModel.h"
#include "usb/BridgeDriver.h"

namespace quorvane {

class SimulatorDriver : public BridgeDriver {
public:
    static constexpr const char *serial_number = "KQ5SIM01";
    static constexpr const char *description = "Quorvane KQ5 (virtual)";

    explicit SimulatorDriver(const PedalOptions &options = {}, PedalModel::Clock clock = {});

    PedalModel &model() { return m_model; }
    bool isOpen() const { return m_open; }

    FT_STATUS listDeviceCount(std::uint32_t &count) override;
    FT_STATUS listSerialNumber(std::uint32_t index, char *buffer) override;
    FT_STATUS listDescription(std::uint32_t index, char *buffer) override;
    FT_STATUS openBySerialNumber(const char *serial, FT_HANDLE &handle) override;
    FT_STATUS close(FT_HANDLE handle) override;
    FT_STATUS setBaudRate(FT_HANDLE handle, std::uint32_t baudRate) override;
    FT_STATUS setDataCharacteristics(FT_HANDLE handle, std::uint8_t wordLength,
                                     std::uint8_t stopBits, std::uint8_t parity) override;
    FT_STATUS purge(FT_HANDLE handle, std::uint32_t mask) override;
    FT_STATUS getQueueStatus(FT_HANDLE handle, std::uint32_t &count) override;
    FT_STATUS read(FT_HANDLE handle, std::uint8_t *buffer, std::uint32_t toRead,
                   std::uint32_t &bytesRead) override;
    FT_STATUS write(FT_HANDLE handle, const std::uint8_t *buffer, std::uint32_t toWrite,
                    std::uint32_t &bytesWritten) override;

private:
    // FT_OK when the handle is the open device, else the status to return.
    FT_STATUS check(FT_HANDLE handle) const;

    static constexpr FT_HANDLE kHandle = 0x5A51;
    PedalModel m_model;
    bool m_open = false;
};

} // namespace quorvane
