#pragma once
// A bridge driver for tests: a scripted list of bridges, every write kept as
// bytes, replies queued by the test, and failures on demand.

#include "usb/BridgeDriver.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QString>

#include <functional>

namespace quorvane::test {

class RecordingDriver : public BridgeDriver {
public:
    struct Bridge {
        QString serial;
        QString description;
    };

    // Operation names used to inject failures: "count", "serial", "description",
    // "open", "close", "baud", "data", "purge", "queue", "read", "write".
    void failNext(const QString &operation, FT_STATUS status, int times = 1);
    void failAlways(const QString &operation, FT_STATUS status);

    // Queues bytes that the bridge will deliver to the next reads.
    void queueReply(const QByteArray &bytes) { rx += bytes; }
    // Called after every write with the written bytes; may queue a reply.
    std::function<void(const QByteArray &)> onWrite;

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

    // Everything written since the last clear, in order, one entry per write.
    QList<QByteArray> writes;
    QByteArray allWritten() const;
    // Every call made, e.g. "open:SN1", "baud:115200", "data:8,0,2", "purge:2".
    QStringList calls;
    QList<Bridge> bridges;
    QByteArray rx;           // bytes waiting to be read
    bool isOpen = false;
    QString openSerial;      // serial number given to the last open
    std::uint32_t baudRate = 0;
    std::uint8_t wordLength = 0, stopBits = 0, parity = 0;
    // Listing texts fill all 64 bytes with no NUL, as a careless driver might.
    bool unterminatedListTexts = false;

private:
    FT_STATUS injected(const QString &operation);
    struct Failure {
        FT_STATUS status;
        int times; // -1: always
    };
    QMap<QString, Failure> m_failures;
    static constexpr FT_HANDLE kHandle = 0x1234;
};

} // namespace quorvane::test
