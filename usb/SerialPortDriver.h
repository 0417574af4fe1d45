#pragma once
// The bridge driver for real serial ports: the USB-serial bridges the system
// lists (vendor id 0x0403), then every port named on the command line. Bytes
// move through QSerialPort; every failure comes back as a vendor status.

#include "usb/BridgeDriver.h"

#include "platform/LatencyTimer.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <optional>

class QSerialPort;

namespace quorvane {

class SerialPortDriver : public BridgeDriver {
public:
    // Vendor id of the bridges we list from the system.
    static constexpr quint16 bridge_vendor_id = 0x0403;
    // A write that makes no progress for this long fails; what has not gone
    // out by then is dropped so it can never reach the pedal later.
    static constexpr int write_stall_timeout_ms = 1000;

    // One serial port as the system reports it.
    struct SystemPort {
        QString location;     // path to open
        QString serialNumber;
        QString description;
        std::optional<quint16> vendorId;
    };
    using PortSource = std::function<QList<SystemPort>()>;

    // One listed bridge.
    struct Entry {
        QString serial;
        QString description;
        QString location;
    };

    // `extraPorts` are paths listed after the bridges as "PORT1", "PORT2", ...
    // (the n-th path as PORTn), each while it exists.
    // `source` replaces the system's port list (QSerialPortInfo by default).
    explicit SerialPortDriver(QStringList extraPorts = {}, PortSource source = {});
    ~SerialPortDriver() override;
    SerialPortDriver(const SerialPortDriver &) = delete;
    SerialPortDriver &operator=(const SerialPortDriver &) = delete;

    // Lowers each bridge's latency timer while its port is open (see
    // LatencyTimer); without one the timers are left as they are.
    void setLatencyTimer(LatencyTimer *timer) { m_latency = timer; }
    // Where the driver says what it could not do (a timer it was not
    // permitted to set), one line each.
    std::function<void(const QString &)> note;

    // The ports the system reports right now, through QSerialPortInfo.
    static QList<SystemPort> systemPorts();

    // The listing made by the last count (made on first use).
    const QList<Entry> &entries();

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
    struct OpenPort {
        std::unique_ptr<QSerialPort> port;
        bool pseudoTerminal = false;
        QString latencyFile; // the lowered latency timer, to give back at close
    };

    void relist();
    const Entry *entry(std::uint32_t index);
    const Entry *findSerial(const QString &serial) const;
    OpenPort *port(FT_HANDLE handle);
    FT_STATUS poll(OpenPort &open);
    QString lower_latency(const QString &location);
    void close_port(OpenPort &open);

    QStringList m_extraPorts;
    PortSource m_source;
    QList<Entry> m_entries;
    bool m_listed = false;
    std::map<FT_HANDLE, OpenPort> m_open;
    FT_HANDLE m_nextHandle = 1;
    LatencyTimer *m_latency = nullptr;
};

} // namespace quorvane
