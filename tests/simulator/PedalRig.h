#pragma once
// A virtual pedal on a clock the test drives, with the host's line set to the
// pedal's firmware settings.

#include "simulator/PedalModel.h"
#include "simulator/SimulatorDriver.h"
#include "support/Hex.h"

#include <QList>

#include <memory>

// Options are written with designated initialisers; the members left out keep
// their defaults, which is what the tests mean.
#pragma GCC diagnostic ignored "-Wmissing-field-initializers"

namespace quorvane::test {

struct PedalRig {
    qint64 now = 0; // microseconds
    PedalModel model;

    explicit PedalRig(const PedalOptions &options = {})
        : model(options, [this] { return now; })
    {
        firmwareLine();
    }

    void firmwareLine() { model.setBaudRate(115200); model.setDataCharacteristics(8, 0, 0); }
    void bootloaderLine() { model.setBaudRate(115200); model.setDataCharacteristics(8, 0, 2); }
    void ms(qint64 n) { now += n * 1000; }

    // Sends spaced hex and returns what the pedal sent within the next `wait` ms.
    QByteArray exchange(const QByteArray &message, int wait = 1)
    {
        model.receive(message);
        ms(wait);
        return model.takeOutput();
    }
    QByteArray exchange(const char *spacedHex, int wait = 1) { return exchange(bytes(spacedHex), wait); }

    QList<int> status()
    {
        return parseStatus(exchange("02 00", 200));
    }

    // Decimal lines, each ended by CR LF; anything else gives an empty list.
    static QList<int> parseStatus(const QByteArray &reply)
    {
        QList<int> values;
        if (!reply.endsWith("\r\n"))
            return {};
        QList<QByteArray> lines = reply.split('\n');
        lines.removeLast();
        for (QByteArray line : lines) {
            if (!line.endsWith('\r'))
                return {};
            line.chop(1);
            bool ok = false;
            const int v = line.toInt(&ok);
            if (!ok || v < 0 || v > 255 || line.size() > 3)
                return {};
            values << v;
        }
        return values;
    }
};

} // namespace quorvane::test
