#pragma once
// What the effect window refuses, in its own words; every front end that
// edits the pedal's parameters refuses the same.

#include "parameters/ParameterModel.h"

#include <QString>

namespace quorvane {

namespace fx_text {
inline const QString assigned_refusal =
    QStringLiteral("This parameter is currently assigned and cannot be controlled from here");
inline const QString no_tuning_for_cut =
    QStringLiteral("Make sure you have uploaded a tuning before setting this parameter");
inline const QString no_tuning_for_slot =
    QStringLiteral("No tuning selected, Select a tuning before assigning this parameter");
} // namespace fx_text

// The tuning list: "No Tuning Selected" (0) and eight tunings; the semitone
// shift from -5 to +3.
inline constexpr int tuning_entry_count = 9;
inline constexpr int min_semitone_variation = -5;
inline constexpr int max_semitone_variation = 3;

// "1st Harmonic" only shows the pedal's word: nothing ever sends it.
inline constexpr bool is_sent_parameter(ParameterRow row)
{
    return row != ParameterRow::first_harmonic;
}

} // namespace quorvane
