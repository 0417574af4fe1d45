#pragma once
// The operations the link layer needs of a USB-serial bridge, in the shape of
// the bridge vendor's library: every call returns one of its status codes.

#include <cstdint>

namespace quorvane {

using FT_STATUS = std::uint32_t;
using FT_HANDLE = std::uint32_t;

enum : FT_STATUS {
    FT_OK = 0,
    FT_INVALID_HANDLE = 1,
    FT_DEVICE_NOT_FOUND = 2,
    FT_DEVICE_NOT_OPENED = 3,
    FT_IO_ERROR = 4,
    FT_INSUFFICIENT_RESOURCES = 5,
    FT_INVALID_PARAMETER = 6,
    FT_INVALID_BAUD_RATE = 7,
    FT_DEVICE_NOT_OPENED_FOR_ERASE = 8,
    FT_DEVICE_NOT_OPENED_FOR_WRITE = 9,
    FT_FAILED_TO_WRITE_DEVICE = 10,
    FT_EEPROM_READ_FAILED = 11,
    FT_EEPROM_WRITE_FAILED = 12,
    FT_EEPROM_ERASE_FAILED = 13,
    FT_EEPROM_NOT_PRESENT = 14,
    FT_EEPROM_NOT_PROGRAMMED = 15,
    FT_INVALID_ARGS = 16,
    FT_OTHER_ERROR = 17,
};

// Purge masks.
constexpr std::uint32_t FT_PURGE_RX = 1;
constexpr std::uint32_t FT_PURGE_TX = 2;

// Data characteristics codes.
constexpr std::uint8_t FT_BITS_8 = 8;
constexpr std::uint8_t FT_STOP_BITS_1 = 0;
constexpr std::uint8_t FT_PARITY_NONE = 0;
constexpr std::uint8_t FT_PARITY_EVEN = 2;

// Texts handed back by the listing calls hold at most 64 bytes, NUL included.
constexpr int FT_LIST_TEXT_SIZE = 64;

class BridgeDriver {
public:
    virtual ~BridgeDriver() = default;

    // Listing by index (the vendor's FT_ListDevices).
    virtual FT_STATUS listDeviceCount(std::uint32_t &count) = 0;
    // Fill `buffer` (FT_LIST_TEXT_SIZE bytes) with a NUL-terminated text.
    virtual FT_STATUS listSerialNumber(std::uint32_t index, char *buffer) = 0;
    virtual FT_STATUS listDescription(std::uint32_t index, char *buffer) = 0;

    virtual FT_STATUS openBySerialNumber(const char *serial, FT_HANDLE &handle) = 0;
    virtual FT_STATUS close(FT_HANDLE handle) = 0;
    virtual FT_STATUS setBaudRate(FT_HANDLE handle, std::uint32_t baudRate) = 0;
    virtual FT_STATUS setDataCharacteristics(FT_HANDLE handle, std::uint8_t wordLength,
                                             std::uint8_t stopBits, std::uint8_t parity) = 0;
    virtual FT_STATUS purge(FT_HANDLE handle, std::uint32_t mask) = 0;
    // Bytes waiting to be read, after a non-blocking poll of the line.
    virtual FT_STATUS getQueueStatus(FT_HANDLE handle, std::uint32_t &count) = 0;
    virtual FT_STATUS read(FT_HANDLE handle, std::uint8_t *buffer, std::uint32_t toRead,
                           std::uint32_t &bytesRead) = 0;
    virtual FT_STATUS write(FT_HANDLE handle, const std::uint8_t *buffer, std::uint32_t toWrite,
                            std::uint32_t &bytesWritten) = 0;
};

} // namespace quorvane
