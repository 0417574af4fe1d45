#pragma once
// Preset files: the fifteen parameter words of the effect in a small text
// file. "Save Preset" writes the words the editor holds now; "Load Preset"
// reads a file back into the parameter model, shows it in the effect window
// and sends the pedal exactly the file's word of every row it changed.
//
// The file: UTF-8 with a byte-order mark, one line per parameter in the
// order of the parameter table, each line the word as eight upper-case hex
// digits, lines separated by a single CR and nothing after the last one
// (137 bytes for a full file). On reading, CR, LF and CR LF all end a line
// and line i is parameter i; a line that is not exactly eight hex digits
// leaves its parameter as it was, and blank lines at the end are no lines.

#include <QString>
#include <QStringList>

#include "parameters/ParameterModel.h"
#include "parameters/WordLoad.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace quorvane {

class ConsoleLog;
class Dialogs;
class Preferences;

namespace preset_text {
inline const QString save_title = QStringLiteral("Save Preset File");
inline const QString open_title = QStringLiteral("Open Preset File");
inline const QString filter = QStringLiteral("Preset files (*.txt)|*.txt");
inline const QString default_extension = QStringLiteral("txt");
inline const QString extension = QStringLiteral(".txt");
inline const QString saved = QStringLiteral("File saved successfully: ");
inline const QString save_error = QStringLiteral("Error saving file: ");
inline const QString loaded = QStringLiteral("File loaded successfully: ");
inline const QString load_error = QStringLiteral("Error loading file: ");
inline const QString not_a_preset = QStringLiteral("Not a preset file: ");
// "Preset loaded with N of 15 values: " + file name
QString loaded_partly(int applied);
// Added after the file name when assigned rows were skipped:
// " (M assigned to a control, not applied)".
QString assigned_skipped(int assigned);
} // namespace preset_text

// Folder names below the maker folder (saving) and the product folder (loading).
inline const QString save_folder_parent = QStringLiteral("quorvane_kq5_folder");
inline const QString preset_folder_name = QStringLiteral("Preset");

// Largest file taken as a preset; a full one is 137 bytes.
inline constexpr qint64 max_preset_file_size = 64 * 1024;

// The eight characters with their four two-character pairs in reverse order
// (characters 7-8, 5-6, 3-4, 1-2): the word's bytes least significant first.
QString reverse_hex_bytes(const QString &text8);

// The fifteen words as the file holds them (without the byte-order mark).
QString preset_text_of(const ParameterModel &model);

// The lines of a text; CR, LF and CR LF each end a line, and a line end at
// the very end opens no further line.
QStringList preset_lines(const QString &text);

// The words a preset text gives: line i is parameter i when it is exactly
// eight hex digits; any other line gives nothing for its parameter. Lines
// past the fifteenth are not read; blank lines at the end do not count.
struct PresetWords {
    int present = 0; // lines there for a parameter (at most fifteen)
    std::array<std::optional<std::uint32_t>, parameter_count> words{};
    int valid() const;
    int rejected() const { return present - valid(); }
};
PresetWords parse_preset_text(const QString &text);

// What applying a preset did (applied, assigned, the changed rows and
// their previous words).
using PresetApplied = WordsLoaded;

// Sets the words the preset gives, except for rows assigned to a control
// slot; every other word stays entirely as it was.
PresetApplied apply_preset_words(ParameterModel &model, const PresetWords &preset);

// Applies a preset text: nullopt (nothing changed) when no line of it is a
// word; otherwise what apply_preset_words did.
std::optional<PresetApplied> apply_preset_text(ParameterModel &model, const QString &text);

// The box that tells how a load went: loaded, or loaded with N of 15 values,
// and how many rows were skipped as assigned.
QString preset_loaded_message(const PresetApplied &applied, const QString &file_name);

// Writes the text as a preset file (UTF-8 with a byte-order mark), whole or
// not at all; returns why it could not, empty when written.
QString write_preset_to(const QString &file_name, const QString &text);

class PresetFiles {
public:
    PresetFiles(ParameterModel &model, ConsoleLog &console, Dialogs &dialogs,
                Preferences &preferences);

    // Shows the parameter words in the effect window (its show_parameters,
    // which sends nothing); unset, nothing is shown.
    std::function<void()> show_parameters;
    // Sends a row's word to the pedal (the effect window's
    // send_parameter_word); unset, nothing is sent.
    std::function<void(ParameterRow, std::uint32_t)> send_word;
    // True (having said why) when nothing may be sent to the pedal now; a
    // load then does nothing at all.
    std::function<bool()> refuse_to_send;
    // Told of a load that changed the words, after they were sent and the
    // outcome shown.
    std::function<void(const PresetApplied &)> loaded;

    // The "Save Preset" command.
    void save_preset();
    // Asks for a file name and writes text, UTF-8 with a byte-order mark;
    // reports the outcome in a message box. Returns whether a file was written.
    bool write_preset_file(const QString &text);

    // The "Load Preset" command: the file's text goes to the console as one
    // line, its valid lines into the parameter words (rows assigned to a
    // control slot keep theirs), the window shows them, and every changed
    // word is sent. One message box tells the outcome: loaded, loaded with N
    // of 15 values (and how many were assigned), not a preset file, or the
    // read error. Cancelled, nothing changes and nothing is sent.
    void load_preset();

    // The file the user picked, read as lines (byte-order mark skipped),
    // each followed by CR LF. Cancelled or unreadable: empty text (an
    // unreadable file has shown "Error loading file: " and the reason).
    struct ReadResult {
        enum Outcome { read, cancelled, failed };
        Outcome outcome = cancelled;
        QString text;
        QString file_name;
        QString error; // why it failed
    };
    ReadResult read_preset_file();
    // The same for a file already chosen; nothing is shown.
    static ReadResult read_preset_from(const QString &file_name);

    // <documents>/Velsk/quorvane_kq5_folder/Preset, where saving starts.
    QString save_folder() const;
    // <documents>/Velsk/Quorvane KQ5/Preset, where loading starts.
    QString load_folder() const;

private:
    ParameterModel &m_model;
    ConsoleLog &m_console;
    Dialogs &m_dialogs;
    Preferences &m_preferences;
};

} // namespace quorvane
