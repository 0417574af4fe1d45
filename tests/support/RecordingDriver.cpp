#include "support/RecordingDriver.h"

#include <cstring>

namespace quorvane::test {

void RecordingDriver::failNext(const QString &operation, FT_STATUS status, int times)
{
    m_failures[operation] = {status, times};
}

void RecordingDriver::failAlways(const QString &operation, FT_STATUS status)
{
    m_failures[operation] = {status, -1};
}

FT_STATUS RecordingDriver::injected(const QString &operation)
{
    auto it = m_failures.find(operation);
    if (it == m_failures.end())
        return FT_OK;
    const FT_STATUS status = it->status;
    if (it->times > 0 && --it->times == 0)
        m_failures.erase(it);
    return status;
}

static void copy_text(char *buffer, const QString &text, bool unterminated)
{
    const QByteArray bytes = text.toLatin1().left(FT_LIST_TEXT_SIZE - (unterminated ? 0 : 1));
    std::memset(buffer, unterminated ? '#' : 0, FT_LIST_TEXT_SIZE);
    std::memcpy(buffer, bytes.constData(), size_t(bytes.size()));
}

FT_STATUS RecordingDriver::listDeviceCount(std::uint32_t &count)
{
    calls << QStringLiteral("count");
    if (FT_STATUS s = injected(QStringLiteral("count")))
        return s;
    count = std::uint32_t(bridges.size());
    return FT_OK;
}

FT_STATUS RecordingDriver::listSerialNumber(std::uint32_t index, char *buffer)
{
    calls << QStringLiteral("serial:%1").arg(index);
    if (FT_STATUS s = injected(QStringLiteral("serial")))
        return s;
    if (index >= std::uint32_t(bridges.size()))
        return FT_DEVICE_NOT_FOUND;
    copy_text(buffer, bridges[int(index)].serial, unterminatedListTexts);
    return FT_OK;
}

FT_STATUS RecordingDriver::listDescription(std::uint32_t index, char *buffer)
{
    calls << QStringLiteral("description:%1").arg(index);
    if (FT_STATUS s = injected(QStringLiteral("description")))
        return s;
    if (index >= std::uint32_t(bridges.size()))
        return FT_DEVICE_NOT_FOUND;
    copy_text(buffer, bridges[int(index)].description, unterminatedListTexts);
    return FT_OK;
}

FT_STATUS RecordingDriver::openBySerialNumber(const char *serial, FT_HANDLE &handle)
{
    openSerial = QString::fromLatin1(serial);
    calls << QStringLiteral("open:") + openSerial;
    if (FT_STATUS s = injected(QStringLiteral("open")))
        return s;
    for (const Bridge &b : bridges) {
        if (b.serial == openSerial) {
            isOpen = true;
            handle = kHandle;
            return FT_OK;
        }
    }
    return FT_DEVICE_NOT_FOUND;
}

FT_STATUS RecordingDriver::close(FT_HANDLE handle)
{
    calls << QStringLiteral("close");
    if (FT_STATUS s = injected(QStringLiteral("close")))
        return s;
    if (!isOpen || handle != kHandle)
        return FT_INVALID_HANDLE;
    isOpen = false;
    return FT_OK;
}

FT_STATUS RecordingDriver::setBaudRate(FT_HANDLE handle, std::uint32_t rate)
{
    calls << QStringLiteral("baud:%1").arg(rate);
    if (FT_STATUS s = injected(QStringLiteral("baud")))
        return s;
    if (!isOpen || handle != kHandle)
        return FT_INVALID_HANDLE;
    baudRate = rate;
    return FT_OK;
}

FT_STATUS RecordingDriver::setDataCharacteristics(FT_HANDLE handle, std::uint8_t w,
                                                  std::uint8_t s, std::uint8_t p)
{
    calls << QStringLiteral("data:%1,%2,%3").arg(w).arg(s).arg(p);
    if (FT_STATUS st = injected(QStringLiteral("data")))
        return st;
    if (!isOpen || handle != kHandle)
        return FT_INVALID_HANDLE;
    wordLength = w;
    stopBits = s;
    parity = p;
    return FT_OK;
}

FT_STATUS RecordingDriver::purge(FT_HANDLE handle, std::uint32_t mask)
{
    calls << QStringLiteral("purge:%1").arg(mask);
    if (FT_STATUS s = injected(QStringLiteral("purge")))
        return s;
    if (!isOpen || handle != kHandle)
        return FT_INVALID_HANDLE;
    if (mask & FT_PURGE_RX)
        rx.clear();
    return FT_OK;
}

FT_STATUS RecordingDriver::getQueueStatus(FT_HANDLE handle, std::uint32_t &count)
{
    if (FT_STATUS s = injected(QStringLiteral("queue")))
        return s;
    if (!isOpen || handle != kHandle)
        return FT_INVALID_HANDLE;
    count = std::uint32_t(rx.size());
    return FT_OK;
}

FT_STATUS RecordingDriver::read(FT_HANDLE handle, std::uint8_t *buffer, std::uint32_t toRead,
                                std::uint32_t &bytesRead)
{
    calls << QStringLiteral("read:%1").arg(toRead);
    bytesRead = 0;
    if (FT_STATUS s = injected(QStringLiteral("read")))
        return s;
    if (!isOpen || handle != kHandle)
        return FT_INVALID_HANDLE;
    const std::uint32_t n = std::min<std::uint32_t>(toRead, std::uint32_t(rx.size()));
    std::memcpy(buffer, rx.constData(), n);
    rx.remove(0, qsizetype(n));
    bytesRead = n;
    return FT_OK;
}

FT_STATUS RecordingDriver::write(FT_HANDLE handle, const std::uint8_t *buffer,
                                 std::uint32_t toWrite, std::uint32_t &bytesWritten)
{
    bytesWritten = 0;
    if (FT_STATUS s = injected(QStringLiteral("write")))
        return s;
    if (!isOpen || handle != kHandle)
        return FT_INVALID_HANDLE;
    const QByteArray bytes(reinterpret_cast<const char *>(buffer), qsizetype(toWrite));
    writes.append(bytes);
    bytesWritten = toWrite;
    if (onWrite)
        onWrite(bytes);
    return FT_OK;
}

QByteArray RecordingDriver::allWritten() const
{
    QByteArray all;
    for (const QByteArray &w : writes)
        all += w;
    return all;
}

} // namespace quorvane::test
