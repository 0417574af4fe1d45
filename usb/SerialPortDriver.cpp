#include "usb/SerialPortDriver.h"

#include <QFileInfo>
#include <QSerialPort>
#include <QSerialPortInfo>

#include <algorithm>
#include <cstring>
#include <limits>

namespace quorvane {

namespace {

// Copies a listing text into a vendor-style buffer: at most 63 single-byte
// characters and a NUL.
void copy_list_text(char *buffer, const QString &text)
{
    const QByteArray bytes = text.toLatin1().left(FT_LIST_TEXT_SIZE - 1);
    std::memset(buffer, 0, FT_LIST_TEXT_SIZE);
    std::memcpy(buffer, bytes.constData(), size_t(bytes.size()));
}

// Pseudo-terminals take neither parity nor a word length other than 8 bits:
// the kernel forces 8N1 on them.
bool is_pseudo_terminal(const QString &location)
{
#if defined(Q_OS_LINUX)
    const QString path = QFileInfo(location).canonicalFilePath();
    return path.startsWith(QLatin1String("/dev/pts/"));
#elif defined(Q_OS_MACOS)
    const QString path = QFileInfo(location).canonicalFilePath();
    return path.startsWith(QLatin1String("/dev/ttys"));
#else
    Q_UNUSED(location);
    return false;
#endif
}

// A failed setting: a vanished device is an I/O failure, anything else a
// value the port does not take.
FT_STATUS setting_failure(QSerialPort &port, FT_STATUS refused)
{
    const auto error = port.error();
    port.clearError();
    return error == QSerialPort::ResourceError ? FT_IO_ERROR : refused;
}

} // namespace

SerialPortDriver::SerialPortDriver(QStringList extraPorts, PortSource source)
    : m_extraPorts(std::move(extraPorts)), m_source(std::move(source))
{
    if (!m_source)
        m_source = &SerialPortDriver::systemPorts;
}

SerialPortDriver::~SerialPortDriver()
{
    for (auto &[handle, open] : m_open)
        close_port(open);
}

QString SerialPortDriver::lower_latency(const QString &location)
{
    if (!m_latency)
        return {};
    const LatencyTimer::Result result = m_latency->lower(location);
    if (result.outcome == LatencyTimer::Outcome::NotPermitted && note) {
        note(QStringLiteral("Could not set the bridge's latency timer to %1 ms (%2: %3); replies will be slower.")
                 .arg(LatencyTimer::wanted_ms)
                 .arg(result.file, result.reason));
    }
    return result.outcome == LatencyTimer::Outcome::Lowered ? result.file : QString();
}

void SerialPortDriver::close_port(OpenPort &open)
{
    open.port->close();
    if (m_latency && !open.latencyFile.isEmpty())
        m_latency->restore(open.latencyFile);
    open.latencyFile.clear();
}

QList<SerialPortDriver::SystemPort> SerialPortDriver::systemPorts()
{
    QList<SystemPort> ports;
    const auto infos = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo &info : infos) {
        SystemPort port{info.systemLocation(), info.serialNumber(), info.description(), {}};
        if (info.hasVendorIdentifier())
            port.vendorId = info.vendorIdentifier();
        ports.append(port);
    }
    return ports;
}

void SerialPortDriver::relist()
{
    QList<Entry> bridges;
    const QList<SystemPort> ports = m_source();
    for (const SystemPort &port : ports) {
        if (port.vendorId == bridge_vendor_id)
            bridges.append({port.serialNumber, port.description, port.location});
    }
    // The system's order may change between listings; ours does not.
    std::sort(bridges.begin(), bridges.end(), [](const Entry &a, const Entry &b) {
        return a.serial != b.serial ? a.serial < b.serial : a.location < b.location;
    });
    // A port named on the command line is listed while it exists (a pedal
    // on a pseudo-terminal comes and goes with its program); it keeps its
    // number either way.
    for (qsizetype i = 0; i < m_extraPorts.size(); ++i) {
        if (QFileInfo::exists(m_extraPorts[i]))
            bridges.append({QStringLiteral("PORT%1").arg(i + 1), m_extraPorts[i], m_extraPorts[i]});
    }
    m_entries = bridges;
    m_listed = true;
}

const QList<SerialPortDriver::Entry> &SerialPortDriver::entries()
{
    if (!m_listed)
        relist();
    return m_entries;
}

const SerialPortDriver::Entry *SerialPortDriver::entry(std::uint32_t index)
{
    const QList<Entry> &list = entries();
    return index < std::uint32_t(list.size()) ? &list[qsizetype(index)] : nullptr;
}

const SerialPortDriver::Entry *SerialPortDriver::findSerial(const QString &serial) const
{
    for (const Entry &e : m_entries) {
        if (e.serial == serial)
            return &e;
    }
    return nullptr;
}

SerialPortDriver::OpenPort *SerialPortDriver::port(FT_HANDLE handle)
{
    auto it = m_open.find(handle);
    return it == m_open.end() ? nullptr : &it->second;
}

FT_STATUS SerialPortDriver::listDeviceCount(std::uint32_t &count)
{
    relist();
    count = std::uint32_t(m_entries.size());
    return FT_OK;
}

FT_STATUS SerialPortDriver::listSerialNumber(std::uint32_t index, char *buffer)
{
    const Entry *e = entry(index);
    if (!e)
        return FT_DEVICE_NOT_FOUND;
    copy_list_text(buffer, e->serial);
    return FT_OK;
}

FT_STATUS SerialPortDriver::listDescription(std::uint32_t index, char *buffer)
{
    const Entry *e = entry(index);
    if (!e)
        return FT_DEVICE_NOT_FOUND;
    copy_list_text(buffer, e->description);
    return FT_OK;
}

FT_STATUS SerialPortDriver::openBySerialNumber(const char *serial, FT_HANDLE &handle)
{
    const QString wanted = serial ? QString::fromLatin1(serial) : QString();
    if (wanted.isEmpty())
        return FT_DEVICE_NOT_FOUND;
    entries();
    const Entry *e = findSerial(wanted);
    if (!e) {
        // Plugged in since the last listing?
        relist();
        e = findSerial(wanted);
    }
    if (!e)
        return FT_DEVICE_NOT_FOUND;

    auto port = std::make_unique<QSerialPort>();
    port->setPortName(e->location);
    if (!port->open(QIODevice::ReadWrite)) {
        return port->error() == QSerialPort::DeviceNotFoundError ? FT_DEVICE_NOT_FOUND
                                                                 : FT_DEVICE_NOT_OPENED;
    }
    port->setFlowControl(QSerialPort::NoFlowControl);
    port->clearError();

    if (m_nextHandle == 0)
        m_nextHandle = 1;
    // Handles are never reused, so a stale one cannot reach a newer port.
    handle = m_nextHandle++;
    m_open[handle] = OpenPort{std::move(port), is_pseudo_terminal(e->location), lower_latency(e->location)};
    return FT_OK;
}

FT_STATUS SerialPortDriver::close(FT_HANDLE handle)
{
    auto it = m_open.find(handle);
    if (it == m_open.end())
        return FT_INVALID_HANDLE;
    close_port(it->second);
    m_open.erase(it);
    return FT_OK;
}

FT_STATUS SerialPortDriver::setBaudRate(FT_HANDLE handle, std::uint32_t baudRate)
{
    OpenPort *open = port(handle);
    if (!open)
        return FT_INVALID_HANDLE;
    if (baudRate == 0 || baudRate > std::uint32_t(std::numeric_limits<qint32>::max()))
        return FT_INVALID_BAUD_RATE;
    QSerialPort &p = *open->port;
    p.clearError();
    if (!p.setBaudRate(qint32(baudRate)))
        return setting_failure(p, FT_INVALID_BAUD_RATE);
    return FT_OK;
}

FT_STATUS SerialPortDriver::setDataCharacteristics(FT_HANDLE handle, std::uint8_t wordLength,
                                                   std::uint8_t stopBits, std::uint8_t parity)
{
    OpenPort *open = port(handle);
    if (!open)
        return FT_INVALID_HANDLE;

    QSerialPort::DataBits dataBits;
    switch (wordLength) {
    case 7: dataBits = QSerialPort::Data7; break;
    case 8: dataBits = QSerialPort::Data8; break;
    default: return FT_INVALID_PARAMETER;
    }
    QSerialPort::StopBits stop;
    switch (stopBits) {
    case 0: stop = QSerialPort::OneStop; break;
    case 2: stop = QSerialPort::TwoStop; break;
    default: return FT_INVALID_PARAMETER;
    }
    QSerialPort::Parity par;
    switch (parity) {
    case 0: par = QSerialPort::NoParity; break;
    case 1: par = QSerialPort::OddParity; break;
    case 2: par = QSerialPort::EvenParity; break;
    case 3: par = QSerialPort::MarkParity; break;
    case 4: par = QSerialPort::SpaceParity; break;
    default: return FT_INVALID_PARAMETER;
    }

    QSerialPort &p = *open->port;
    p.clearError();
    // A pseudo-terminal refuses what the kernel forces anyway; accept it there.
    const auto refusedHere = [&] {
        if (open->pseudoTerminal && p.error() == QSerialPort::UnsupportedOperationError) {
            p.clearError();
            return false;
        }
        return true;
    };
    if (!p.setDataBits(dataBits) && refusedHere())
        return setting_failure(p, FT_INVALID_PARAMETER);
    if (!p.setStopBits(stop))
        return setting_failure(p, FT_INVALID_PARAMETER);
    if (!p.setParity(par) && refusedHere())
        return setting_failure(p, FT_INVALID_PARAMETER);
    return FT_OK;
}

FT_STATUS SerialPortDriver::purge(FT_HANDLE handle, std::uint32_t mask)
{
    OpenPort *open = port(handle);
    if (!open)
        return FT_INVALID_HANDLE;
    if (mask & ~(FT_PURGE_RX | FT_PURGE_TX))
        return FT_INVALID_PARAMETER;
    QSerialPort &p = *open->port;
    p.clearError();
    bool ok = true;
    // Clears the system's queue and whatever the port object holds.
    if (mask & FT_PURGE_RX)
        ok = p.clear(QSerialPort::Input) && ok;
    if (mask & FT_PURGE_TX)
        ok = p.clear(QSerialPort::Output) && ok;
    p.clearError();
    return ok ? FT_OK : FT_IO_ERROR;
}

FT_STATUS SerialPortDriver::poll(OpenPort &open)
{
    QSerialPort &p = *open.port;
    p.clearError();
    // Each round takes what the system holds right now; the bound keeps a
    // peer that never stops sending from holding us here.
    for (int round = 0; round < 64 && p.waitForReadyRead(0); ++round) {
    }
    const auto error = p.error();
    p.clearError();
    if (error == QSerialPort::NoError || error == QSerialPort::TimeoutError)
        return FT_OK;
    return FT_IO_ERROR;
}

FT_STATUS SerialPortDriver::getQueueStatus(FT_HANDLE handle, std::uint32_t &count)
{
    OpenPort *open = port(handle);
    if (!open)
        return FT_INVALID_HANDLE;
    const FT_STATUS status = poll(*open);
    const qint64 held = open->port->bytesAvailable();
    // Bytes already received are delivered first; a failure shows once they are gone.
    if (status != FT_OK && held == 0)
        return status;
    count = std::uint32_t(std::min<qint64>(held, std::numeric_limits<std::uint32_t>::max()));
    return FT_OK;
}

FT_STATUS SerialPortDriver::read(FT_HANDLE handle, std::uint8_t *buffer, std::uint32_t toRead,
                                 std::uint32_t &bytesRead)
{
    bytesRead = 0;
    OpenPort *open = port(handle);
    if (!open)
        return FT_INVALID_HANDLE;
    const FT_STATUS status = poll(*open);
    QSerialPort &p = *open->port;
    if (status != FT_OK && p.bytesAvailable() == 0)
        return status;
    // Never waits: what has not arrived yet is left for the next read.
    const qint64 got = p.read(reinterpret_cast<char *>(buffer), qint64(toRead));
    p.clearError();
    if (got < 0)
        return FT_IO_ERROR;
    bytesRead = std::uint32_t(got);
    return FT_OK;
}

FT_STATUS SerialPortDriver::write(FT_HANDLE handle, const std::uint8_t *buffer,
                                  std::uint32_t toWrite, std::uint32_t &bytesWritten)
{
    bytesWritten = 0;
    OpenPort *open = port(handle);
    if (!open)
        return FT_INVALID_HANDLE;
    if (toWrite == 0)
        return FT_OK;
    QSerialPort &p = *open->port;
    p.clearError();
    const qint64 accepted = p.write(reinterpret_cast<const char *>(buffer), qint64(toWrite));
    if (accepted != qint64(toWrite)) {
        p.clear(QSerialPort::Output);
        p.clearError();
        return FT_IO_ERROR;
    }
    // Hand everything to the system before returning, as the vendor's write does.
    while (p.bytesToWrite() > 0 && p.waitForBytesWritten(write_stall_timeout_ms)) {
    }
    const qint64 left = p.bytesToWrite();
    bytesWritten = std::uint32_t(qint64(toWrite) - left);
    if (left > 0) {
        p.clear(QSerialPort::Output);
        p.clearError();
        return FT_IO_ERROR;
    }
    p.clearError();
    return FT_OK;
}

} // namespace quorvane
