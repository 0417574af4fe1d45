#pragma once
// Writes parameter words to the pedal's DSP: the 7-byte DSP write, "01", the
// parameter's 16-bit address and its 32-bit word, big-endian. Dials go out
// through the 100 ms throttle (one pending write per dial), everything else
// at once. A row that no effect image has given an address is never written:
// a console line says so.

#include "parameters/DialSendThrottle.h"
#include "parameters/ParameterModel.h"

#include <QString>

#include <cstdint>

class QTimer;

namespace quorvane {

class ConsoleLog;
class D2XXUnit;

inline const QString dsp_write_log = QStringLiteral("write to DSP msg: ");

class DspWriter {
public:
    // `timer` is the effect window's Timer1, which the throttle owns.
    DspWriter(const ParameterModel &model, D2XXUnit &link, ConsoleLog &console, QTimer &timer,
              QObject *throttle_parent);

    // "01" + 4 hex digits of the address + 8 of the word.
    static QString write_text(std::uint16_t address, std::uint32_t word);

    // False (with the console line) when the row has no DSP address yet.
    bool addressed(ParameterRow row, std::uint32_t word) const;

    // A row's word at once; `logged` adds the console line "write to DSP
    // msg: " and the text, as the check boxes' writes have.
    void write_now(ParameterRow row, std::uint32_t word, bool logged = false);
    // A dial's word as its pending write at the throttle's next tick.
    void write_throttled(const QObject *dial, ParameterRow row, std::uint32_t word);
    // The generic write: prefix + the address's low 16 bits + the word, logged
    // and written at once.
    void write_prefixed(const QString &prefix, std::uint32_t address, std::uint32_t word);

    DialSendThrottle &throttle() { return *m_throttle; }

private:
    const ParameterModel &m_model;
    D2XXUnit &m_link;
    ConsoleLog &m_console;
    DialSendThrottle *m_throttle;
};

} // namespace quorvane
