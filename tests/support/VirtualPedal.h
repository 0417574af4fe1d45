#pragma once
// The options of a virtual pedal for tests, its faults written as on the
// command line.

#include "simulator/PedalModel.h"

#include <QString>
#include <QtGlobal>

namespace quorvane::test {

// `options` with these faults added: one, or several separated by spaces
// ("silent", "short-status=5 split-status=9:30"). A fault the pedal does not
// take ends the test program with its message.
inline PedalOptions withFaults(PedalOptions options, const QString &faults)
{
    for (const QString &fault : faults.split(' ', Qt::SkipEmptyParts)) {
        QString error;
        if (!options.faults.parse(fault, &error))
            qFatal("bad fault %s: %s", qPrintable(fault), qPrintable(error));
    }
    return options;
}

// A pedal with this firmware, effect algorithm and selected effect, and these faults.
inline PedalOptions pedal(int firmware = 10, int algorithm = 11, int effect = 0, const QString &faults = {})
{
    PedalOptions o;
    o.firmware = firmware;
    o.algorithm = algorithm;
    o.effect = effect;
    return withFaults(o, faults);
}

} // namespace quorvane::test
