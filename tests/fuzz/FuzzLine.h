#pragma once
// What the fuzz targets that feed the editor's reply handling need: a
// bridge whose bytes come from the fuzzer's input, and dialogs that answer
// Yes and keep the texts they were shown.

#include "FuzzCheck.h"
#include "platform/Dialogs.h"
#include "usb/BridgeDriver.h"

#include <QByteArray>
#include <QStringList>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <cstdio>

namespace quorvane::fuzz {

// A linked bridge whose receive queue is filled from the input. `pending`
// waits for the host's next write, which queues it; `piece` is how many
// bytes the queue shows at a time (0: all), so a reply arrives over as many
// reads as it takes.
class FuzzDriver : public BridgeDriver {
public:
    QByteArray queued;
    // Replies handed out one per write of the host, in order.
    QList<QByteArray> answers;
    std::uint32_t piece = 0;
    // Every byte handed to the host, in order.
    QByteArray delivered;
    int writes = 0;

    FT_STATUS listDeviceCount(std::uint32_t &count) override { count = 1; return FT_OK; }
    FT_STATUS listSerialNumber(std::uint32_t, char *buffer) override { return text(buffer, "FUZZ0001"); }
    FT_STATUS listDescription(std::uint32_t, char *buffer) override { return text(buffer, "Quorvane KQ5"); }
    FT_STATUS openBySerialNumber(const char *, FT_HANDLE &handle) override { handle = 1; return FT_OK; }
    FT_STATUS close(FT_HANDLE) override { return FT_OK; }
    FT_STATUS setBaudRate(FT_HANDLE, std::uint32_t) override { return FT_OK; }
    FT_STATUS setDataCharacteristics(FT_HANDLE, std::uint8_t, std::uint8_t, std::uint8_t) override { return FT_OK; }
    FT_STATUS purge(FT_HANDLE, std::uint32_t mask) override
    {
        if (mask & FT_PURGE_RX)
            queued.clear();
        return FT_OK;
    }
    FT_STATUS getQueueStatus(FT_HANDLE, std::uint32_t &count) override
    {
        count = std::uint32_t(queued.size());
        if (piece > 0)
            count = std::min(count, piece);
        return FT_OK;
    }
    FT_STATUS read(FT_HANDLE, std::uint8_t *buffer, std::uint32_t toRead, std::uint32_t &bytesRead) override
    {
        std::uint32_t available = std::uint32_t(queued.size());
        if (piece > 0)
            available = std::min(available, piece);
        bytesRead = std::min(toRead, available);
        std::memcpy(buffer, queued.constData(), bytesRead);
        delivered.append(queued.constData(), bytesRead);
        queued.remove(0, bytesRead);
        return FT_OK;
    }
    FT_STATUS write(FT_HANDLE, const std::uint8_t *, std::uint32_t toWrite, std::uint32_t &bytesWritten) override
    {
        ++writes;
        bytesWritten = toWrite;
        if (!answers.isEmpty())
            queued += answers.takeFirst();
        return FT_OK;
    }

private:
    static FT_STATUS text(char *buffer, const char *value)
    {
        std::strncpy(buffer, value, FT_LIST_TEXT_SIZE - 1);
        buffer[FT_LIST_TEXT_SIZE - 1] = '\0';
        return FT_OK;
    }
};

class FuzzDialogs : public Dialogs {
public:
    QStringList messages;
    void message(const QString &text) override { messages.append(text); }
    Answer confirm(const QString &) override { return Answer::Yes; }
    QString openFile(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFile(const QString &, const QString &, const QString &) override { return {}; }
};


} // namespace quorvane::fuzz
