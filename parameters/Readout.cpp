#include "parameters/Readout.h"

#include "parameters/DialMapping.h"
#include "protocol/Codec.h"

namespace quorvane {

std::uint32_t row_steps(ParameterRow row)
{
    switch (row) {
    case ParameterRow::low_pass:
        return low_pass_steps;
    case ParameterRow::high_pass:
        return high_pass_steps;
    case ParameterRow::range:
        return range_steps;
    default:
        return 0;
    }
}

QString parameter_readout(ParameterRow row, std::uint32_t word)
{
    if (const std::uint32_t steps = row_steps(row))
        return QStringLiteral("%1 / %2").arg(word_to_step(word, steps)).arg(steps);
    switch (row) {
    case ParameterRow::harmonic_pitch:
        for (std::size_t i = 0; i < harmonic_pitch_table.size(); ++i)
            if (harmonic_pitch_table[i] == word) {
                const int semitones = int(i) - 12;
                return QStringLiteral("%1%2 semitones")
                    .arg(semitones > 0 ? QStringLiteral("+") : QString())
                    .arg(semitones);
            }
        return QStringLiteral("not in the pitch list");
    case ParameterRow::wave:
        if (word == wave_on_value || word == wave_off_value)
            return word == wave_on_value ? QStringLiteral("on") : QStringLiteral("off");
        return QStringLiteral("0x") + hex8(word);
    case ParameterRow::split:
    case ParameterRow::dominant_notes_cut:
    case ParameterRow::high_notes_cut:
        if (word <= 1)
            return word ? QStringLiteral("on") : QStringLiteral("off");
        return QStringLiteral("0x") + hex8(word);
    default:
        return QString::number(word >> dial_word_shift);
    }
}

QString word_hint(std::uint32_t word)
{
    return QStringLiteral("Word: 0x") + hex8(word);
}

} // namespace quorvane
