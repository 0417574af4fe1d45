#include "usb/CompositeDriver.h"

namespace quorvane {

CompositeDriver::~CompositeDriver()
{
    // Leave nothing open behind us.
    for (const auto &[handle, r] : m_routes)
        r.driver->close(r.inner);
}

void CompositeDriver::add(std::unique_ptr<BridgeDriver> driver)
{
    if (!driver)
        return;
    m_drivers.push_back(std::move(driver));
    m_counted = false;
}

FT_STATUS CompositeDriver::listDeviceCount(std::uint32_t &count)
{
    m_counts.assign(m_drivers.size(), 0);
    m_counted = true;
    std::uint32_t total = 0;
    FT_STATUS firstFailure = FT_OK;
    bool anyListed = m_drivers.empty();
    for (std::size_t i = 0; i < m_drivers.size(); ++i) {
        std::uint32_t n = 0;
        const FT_STATUS status = m_drivers[i]->listDeviceCount(n);
        if (status != FT_OK) {
            if (firstFailure == FT_OK)
                firstFailure = status;
            continue;
        }
        anyListed = true;
        m_counts[i] = n;
        total += n;
    }
    if (!anyListed)
        return firstFailure;
    count = total;
    return FT_OK;
}

BridgeDriver *CompositeDriver::locate(std::uint32_t index, std::uint32_t &local)
{
    if (!m_counted) {
        std::uint32_t ignored = 0;
        listDeviceCount(ignored);
    }
    for (std::size_t i = 0; i < m_drivers.size(); ++i) {
        if (index < m_counts[i]) {
            local = index;
            return m_drivers[i].get();
        }
        index -= m_counts[i];
    }
    return nullptr;
}

FT_STATUS CompositeDriver::listSerialNumber(std::uint32_t index, char *buffer)
{
    std::uint32_t local = 0;
    BridgeDriver *driver = locate(index, local);
    return driver ? driver->listSerialNumber(local, buffer) : FT_DEVICE_NOT_FOUND;
}

FT_STATUS CompositeDriver::listDescription(std::uint32_t index, char *buffer)
{
    std::uint32_t local = 0;
    BridgeDriver *driver = locate(index, local);
    return driver ? driver->listDescription(local, buffer) : FT_DEVICE_NOT_FOUND;
}

FT_STATUS CompositeDriver::openBySerialNumber(const char *serial, FT_HANDLE &handle)
{
    for (const auto &driver : m_drivers) {
        FT_HANDLE inner = 0;
        const FT_STATUS status = driver->openBySerialNumber(serial, inner);
        if (status == FT_DEVICE_NOT_FOUND)
            continue;
        if (status != FT_OK)
            return status;
        if (m_nextHandle == 0)
            m_nextHandle = 1;
        // Our own handles: two drivers may well hand out the same inner one.
        handle = m_nextHandle++;
        m_routes[handle] = Route{driver.get(), inner};
        return FT_OK;
    }
    return FT_DEVICE_NOT_FOUND;
}

const CompositeDriver::Route *CompositeDriver::route(FT_HANDLE handle) const
{
    auto it = m_routes.find(handle);
    return it == m_routes.end() ? nullptr : &it->second;
}

FT_STATUS CompositeDriver::close(FT_HANDLE handle)
{
    auto it = m_routes.find(handle);
    if (it == m_routes.end())
        return FT_INVALID_HANDLE;
    const Route r = it->second;
    m_routes.erase(it);
    return r.driver->close(r.inner);
}

FT_STATUS CompositeDriver::setBaudRate(FT_HANDLE handle, std::uint32_t baudRate)
{
    const Route *r = route(handle);
    return r ? r->driver->setBaudRate(r->inner, baudRate) : FT_INVALID_HANDLE;
}

FT_STATUS CompositeDriver::setDataCharacteristics(FT_HANDLE handle, std::uint8_t wordLength,
                                                  std::uint8_t stopBits, std::uint8_t parity)
{
    const Route *r = route(handle);
    return r ? r->driver->setDataCharacteristics(r->inner, wordLength, stopBits, parity)
             : FT_INVALID_HANDLE;
}

FT_STATUS CompositeDriver::purge(FT_HANDLE handle, std::uint32_t mask)
{
    const Route *r = route(handle);
    return r ? r->driver->purge(r->inner, mask) : FT_INVALID_HANDLE;
}

FT_STATUS CompositeDriver::getQueueStatus(FT_HANDLE handle, std::uint32_t &count)
{
    const Route *r = route(handle);
    return r ? r->driver->getQueueStatus(r->inner, count) : FT_INVALID_HANDLE;
}

FT_STATUS CompositeDriver::read(FT_HANDLE handle, std::uint8_t *buffer, std::uint32_t toRead,
                                std::uint32_t &bytesRead)
{
    bytesRead = 0;
    const Route *r = route(handle);
    return r ? r->driver->read(r->inner, buffer, toRead, bytesRead) : FT_INVALID_HANDLE;
}

FT_STATUS CompositeDriver::write(FT_HANDLE handle, const std::uint8_t *buffer,
                                 std::uint32_t toWrite, std::uint32_t &bytesWritten)
{
    bytesWritten = 0;
    const Route *r = route(handle);
    return r ? r->driver->write(r->inner, buffer, toWrite, bytesWritten) : FT_INVALID_HANDLE;
}

} // namespace quorvane
