#pragma once
// What the effect window shows of a parameter word, as text: the dials'
// readouts (also their accessible descriptions) and the word itself in hex
// for their tooltips.

#include "parameters/ParameterModel.h"

#include <QString>

#include <cstdint>

namespace quorvane {

// The step count of the stepped dials (Low Pass 24, High Pass 16, Range 22);
// 0 for every other row.
std::uint32_t row_steps(ParameterRow row);

// A dial's readout of `word`: the level (word >> 13) of a full-scale
// parameter, "n / max" of a stepped one, where n is the step the word stands
// for. The rows that have no dial read as the pitch in semitones ("+5
// semitones", or "not in the pitch list"), or "on" / "off" for the switches
// and boxes (any other word as hex).
QString parameter_readout(ParameterRow row, std::uint32_t word);

// "Word: 0x003FC000".
QString word_hint(std::uint32_t word);

} // namespace quorvane
