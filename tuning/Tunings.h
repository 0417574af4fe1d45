#pragma once
// The tuning table the pedal's note tracker needs, and the two commands that
// send tuning information: the whole table ("Upload Tuning Data") and the
// selected tuning with its semitone shift ("Set Tuning").

#include "parameters/ParameterModel.h" // no_tuning_index

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>

namespace quorvane {

class ConsoleLog;
class D2XXUnit;
class Dialogs;

constexpr int tuning_table_rows = 32;
constexpr int tuning_table_values_per_row = 5;
constexpr int tuning_table_size = tuning_table_rows * tuning_table_values_per_row * 4; // 640 bytes
constexpr std::uint32_t tuning_data_message_size = tuning_table_size + 1;              // 641 bytes

// One peaking filter per row: b0, b1, b2, a1, a2 as signed 9.23 fixed point,
// the feedback coefficients with their signs inverted; eight hex digits each.
extern const char *const tuning_table[tuning_table_rows][tuning_table_values_per_row];

// The table as 640 two-digit hex texts, row 0 first, most significant byte first.
QStringList tuning_table_bytes();

// "09", the tuning index and the semitone shift as a two's-complement byte.
QString tuning_message_text(int current_tuning, int semitone_variation);

class Tunings {
public:
    Tunings(D2XXUnit &link, ConsoleLog &console, Dialogs &dialogs)
        : m_link(link), m_console(console), m_dialogs(dialogs) {}

    // Where "Set Tuning" reads the selected tuning and semitone shift.
    void setTuningSource(std::function<int()> current_tuning,
                         std::function<int()> semitone_variation)
    {
        m_current_tuning = std::move(current_tuning);
        m_semitone_variation = std::move(semitone_variation);
    }

    // Rebuilds tuning_data from the table and logs it.
    void BuildTuningData();
    // "Upload Tuning Data": bypass on, then the whole table in one write.
    void menuUploadTuningsDataClick();
    // "Set Tuning": the selected tuning and semitone shift. Returns the
    // message written, empty when nothing was written.
    QString btnSetTuningClick();

    // The table as 1280 hex digits.
    QString tuning_data;

private:
    D2XXUnit &m_link;
    ConsoleLog &m_console;
    Dialogs &m_dialogs;
    std::function<int()> m_current_tuning;
    std::function<int()> m_semitone_variation;
};

} // namespace quorvane
