#pragma once
// The options of a virtual pedal for the whole-editor tests.

#include "simulator/PedalModel.h"

#include <QString>
#include <QtGlobal>

namespace quorvane::test {

// A pedal with this firmware, effect algorithm and selected effect, and at
// most one fault ("silent", "nack-at=erase", ...).
inline PedalOptions pedal(int firmware = 10, int algorithm = 11, int effect = 0, const QString &fault = {})
{
    PedalOptions o;
    o.firmware = firmware;
    o.algorithm = algorithm;
    o.effect = effect;
    if (!fault.isEmpty()) {
        QString error;
        if (!o.faults.parse(fault, &error))
            qFatal("bad fault %s: %s", qPrintable(fault), qPrintable(error));
    }
    return o;
}

} // namespace quorvane::test
