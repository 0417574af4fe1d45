#pragma once
// Preset files: the fifteen parameter words of the effect in a small text
// file. "Save Preset" writes the words the editor holds now; "Load Preset"
// reads a file back into the parameter model and refreshes the effect
// window, whose change handlers are what reach the pedal.
//
// The file: UTF-8 with a byte-order mark, one line per parameter in the
// order of the parameter table, each line the word as eight upper-case hex
// digits, lines separated by a single CR and nothing after the last one
// (137 bytes for a full file). On reading, CR, LF and CR LF all end a line
// and line i is parameter i; a line that is not exactly eight hex digits
// leaves its parameter as it was.

#include <QString>
#include <QStringList>

#include "parameters/ParameterModel.h"

#include <array>
#include <cstdint>
#include <functional>
#include <optional>

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
// past the fifteenth are not read.
struct PresetWords {
    int present = 0; // lines there for a parameter (at most fifteen)
    std::array<std::optional<std::uint32_t>, parameter_count> words{};
    int valid() const;
    int rejected() const { return present - valid(); }
};
PresetWords parse_preset_text(const QString &text);

// Sets the words the preset gives; every other word stays entirely as it was.
void apply_preset_words(ParameterModel &model, const PresetWords &preset);

class PresetFiles {
public:
    PresetFiles(ParameterModel &model, ConsoleLog &console, Dialogs &dialogs,
                Preferences &preferences);

    // Refreshes the effect window from the parameter words (its
    // show_parameters); unset, nothing is refreshed.
    std::function<void()> show_parameters;
    // True (having said why) when nothing may be sent to the pedal now; a
    // load, whose refresh sends, then does nothing at all.
    std::function<bool()> refuse_to_send;

    // The "Save Preset" command.
    void save_preset();
    // Asks for a file name and writes text, UTF-8 with a byte-order mark;
    // reports the outcome in a message box. Returns whether a file was written.
    bool write_preset_file(const QString &text);

    // The "Load Preset" command: the file's text goes to the console as one
    // line, its valid lines into the parameter words, then the window is
    // refreshed. One message box tells the outcome: loaded, loaded with
    // some values left out, not a preset file, or the read error.
    void load_preset();

    // The file the user picked, read as lines (byte-order mark skipped),
    // each followed by CR LF. Cancelled or unreadable: empty text (an
    // unreadable file has shown "Error loading file: " and the reason).
    struct ReadResult {
        enum Outcome { read, cancelled, failed };
        Outcome outcome = cancelled;
        QString text;
        QString file_name;
    };
    ReadResult read_preset_file();

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
