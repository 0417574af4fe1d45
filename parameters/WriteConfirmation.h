#pragma once
// Writes confirmed by the pedal. The pedal answers none of the messages that
// change its state, so after "Assign", "Set Footswitch Mode", "Set Tuning", a
// preset load and an A/B switch the editor asks for the status quietly (no
// window opens, nothing is selected, nothing of it reaches the parameter
// model) and compares what the pedal reports with what was written, in the
// report's own terms: Low Pass, High Pass and Range are written as dial words
// and reported as steps, so they are compared as steps.
//
// A match is told in the status line; a difference in one box that names
// every parameter that differs with both values and offers to write them
// again. "Save Parameters" is not checked: the status reports the live words,
// not the stored ones. Nothing is asked while the pedal's bootloader has, or
// is about to have, the line.

#include "parameters/ParameterModel.h"

#include <QString>
#include <QStringList>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <utility>
#include <vector>

namespace quorvane {

class ConsoleLog;
class D2XXUnit;
class DeviceConnection;
class Dialogs;

namespace confirm_text {
// The status line after a check: "Confirmed: <what>", and "Not confirmed:
// <what>" when the pedal's status could not be read.
QString confirmed(const QString &what);
inline const QString differs = QStringLiteral("The pedal reports other values than the editor wrote:");
inline const QString send_again = QStringLiteral("Send them again?");
QString unread(const QString &what);
inline const QString console_prefix = QStringLiteral("Write check: ");
// What each checked command wrote, as the status line names it.
inline const QString assign = QStringLiteral("Assign");
inline const QString footswitch = QStringLiteral("Footswitch");
inline const QString tuning = QStringLiteral("Tuning");
inline const QString preset = QStringLiteral("Preset");
} // namespace confirm_text

// What a command wrote, in the terms the status report gives back.
struct WrittenState {
    QString what; // "Assign", "Footswitch", "Tuning", "Preset", "Slot B", "Copy A→B"
    std::optional<int> footswitch_mode;                   // 0..3, as reported
    std::optional<std::array<std::uint8_t, 15>> assignments; // five flags, four addresses, remote value
    std::optional<std::pair<int, int>> tuning;            // tuning number, semitone shift
    std::vector<std::pair<ParameterRow, std::uint32_t>> words;
    // The messages (hex text) to write again when the pedal differs; words
    // are written again through the effect window's senders.
    QStringList messages;

    // Nothing to check: no message, and no word that is ever sent.
    bool empty() const;
    // The state an assignment (04), footswitch (08) or tuning (09) message
    // writes; an empty state for any other text or one of the wrong length.
    static WrittenState of_message(const QString &hex_text, const QString &what);
};

// One value the pedal reports otherwise than it was written.
struct WriteDifference {
    QString name;     // "Dry", "Control II", "Footswitch mode", "Tuning", ...
    QString written;  // as the user knows it
    QString reported;
    std::optional<ParameterRow> row; // the parameter word's row, if one
};

// Compares a written state with a status reply's values (reply of firmware
// `values[0]`). A field the reply is too short to hold counts as differing.
std::vector<WriteDifference> compare_with_status(const ParameterModel &model, const WrittenState &written,
                                                 const std::vector<std::uint8_t> &values);

// The box's text: the heading, one line per difference, the question.
QString differences_text(const std::vector<WriteDifference> &differences);

class WriteConfirmation {
public:
    WriteConfirmation(const ParameterModel &model, DeviceConnection &connection, D2XXUnit &link,
                      ConsoleLog &console, Dialogs &dialogs)
        : m_model(model), m_connection(connection), m_link(link), m_console(console), m_dialogs(dialogs) {}

    // The "Confirm Writes" setting.
    bool enabled = true;
    // Shows a short text in the status line.
    std::function<void(const QString &)> show_status;
    // Writes a parameter word again (the effect window's send_parameter_word).
    std::function<void(ParameterRow, std::uint32_t)> send_word;

    enum class Outcome { off, not_asked, confirmed, differs, unread };
    // Writing again and checking is offered this many times; a difference
    // after that is only told.
    static constexpr int max_write_again = 3;
    // Asks the pedal and compares. A difference asks whether to write the
    // differing values again; on anything but No they are written and checked
    // once more.
    Outcome confirm(const WrittenState &written);

private:
    void write_again(const WrittenState &written, const std::vector<WriteDifference> &differences);

    const ParameterModel &m_model;
    DeviceConnection &m_connection;
    D2XXUnit &m_link;
    ConsoleLog &m_console;
    Dialogs &m_dialogs;
};

} // namespace quorvane
