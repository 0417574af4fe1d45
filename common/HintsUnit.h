#pragma once
// Hint and warning texts shared by several windows.

#include <QString>

namespace quorvane::hints {

inline const QString cmbGuitarTuning = QStringLiteral(
    "Select the tuning of your instrument and the pitch variation\r\n"
    "in the box below. Example:\r\n"
    "- if you play in standard tuning 1 half-step down select standard tuning and -1 Pitch.\r\n"
    "- if you play in standard tuning and use capo on 3rd fret select standard tuning and +3 Pitch.");

inline const QString cmbSemitonesVariation =
    QStringLiteral("Select the pitch variation in semitones from -5 to +3");

inline const QString chkDominantNoteCut = QStringLiteral(
    "Improves tracking on lowest chord (E-open chord in standard tuning) when RANGE is set high.\r\n"
    "Make sure to choose the right tuning for your instrument before applying this parameter.\r\n"
    "Like any other parameter, this parameter can either be stored permanently on pedal or "
    "assigned to a CTRL button.");

inline const QString chkHighNoteCut = QStringLiteral(
    "Removes tracking and noise on higher strings (e.g. open G string and first frets in "
    "standard tuning)\r\n"
    "Make sure to choose the right tuning for your instrument before applying this parameter.\r\n"
    "Like any other parameter, this parameter can either be stored permanently on pedal or "
    "assigned to a CTRL button.");

inline const QString dialInputLevel = QStringLiteral(
    "Set level of input signal to the octave down effect. It does not affect dry.\r\n"
    "Adjust if you hear too much distortion on the sub. By deafult it is set to mid position.");

// The warning asked before the pedal's settings memory is erased.
inline const QString erase_settings_warning = QStringLiteral(
    "Are you sure you want to delete all settings?\r\n"
    "This action will delete the Quorvane KQ5 algorithm and any other settings like presets and "
    "assignments\r\n"
    "Erase settings is suggested in the following cases:\r\n"
    "- the pedal is unresponsive/freezed after updates\r\n"
    "- you want to switch to the Sorvanex\r\n"
    "If you proceed with erasing you can always restore algorithm by:\r\n"
    "- uploading the Quorvane KQ5 algorithm once again from \"Upload Selected\" button\r\n"
    "- click Request\r\n"
    "- set tuning and assignments as desired\r\n"
    "- click Save Parameters, Set Tuning, Assign");

} // namespace quorvane::hints
