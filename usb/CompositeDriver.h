#pragma once
// Several bridge drivers listed as one: the bridges of the first driver, then
// those of the next, and so on. An open goes to the driver that knows the
// serial number; every call on a handle goes to the driver that opened it.

#include "usb/BridgeDriver.h"

#include <map>
#include <memory>
#include <vector>

namespace quorvane {

class CompositeDriver : public BridgeDriver {
public:
    CompositeDriver() = default;
    ~CompositeDriver() override;
    CompositeDriver(const CompositeDriver &) = delete;
    CompositeDriver &operator=(const CompositeDriver &) = delete;

    // Lists `driver`'s bridges after those already added.
    void add(std::unique_ptr<BridgeDriver> driver);
    std::size_t driverCount() const { return m_drivers.size(); }

    // Counts every driver's bridges. A driver that cannot list contributes
    // none; the call fails only when no driver can list.
    FT_STATUS listDeviceCount(std::uint32_t &count) override;
    // Indexes follow the last count (made on first use).
    FT_STATUS listSerialNumber(std::uint32_t index, char *buffer) override;
    FT_STATUS listDescription(std::uint32_t index, char *buffer) override;
    // Asks each driver in turn; the first that does not answer "not found" has it.
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
    struct Route {
        BridgeDriver *driver;
        FT_HANDLE inner;
    };

    // The driver listing `index`, and the index within it.
    BridgeDriver *locate(std::uint32_t index, std::uint32_t &local);
    const Route *route(FT_HANDLE handle) const;

    std::vector<std::unique_ptr<BridgeDriver>> m_drivers;
    std::vector<std::uint32_t> m_counts; // per driver, from the last count
    bool m_counted = false;
    std::map<FT_HANDLE, Route> m_routes;
    FT_HANDLE m_nextHandle = 1;
};

} // namespace quorvane
