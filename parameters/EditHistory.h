#pragma once
// Undo, redo and A/B compare of the effect window's parameter words.
//
// Every change of a parameter word that the user makes in the window is one
// step: a switch, a list, a check box, a preset load, a copy onto the slot
// being played; a dial turn is one step for the whole gesture (a drag from
// press to release, or wheel and key turns until the dial rests for
// gesture_pause_ms). A step holds the rows it changed with their words
// before and after. Undoing and redoing carry those words unchanged: the
// model takes them, the window shows them, and each goes to the pedal
// through send_parameter_word, so dials through the throttle. A row a
// control slot holds now is refused with the window's own message, as the
// user's change would be, and so is a cut restored on while no tuning is
// selected; a refused step is neither undone nor redone.
//
// A status report clears the history (the words before it may be stale or
// zero), and so does unlinking.
//
// A/B compare: two slots, each a complete set of the fifteen words with a
// history of its own. The slot being played is the model itself; the other
// keeps its words here. Switching stores the played words in their slot and
// brings the other slot's words in with the preset load's rule (rows a
// control slot holds keep the pedal's word) and sends only the words that
// differ, exactly; "1st Harmonic" is never sent. Copying onto the slot not
// being played sends nothing; copying onto the played one is a load of the
// other slot's words (one step). Storing on the pedal stays "Save
// Parameters".

#include "parameters/WordLoad.h"

#include <QObject>
#include <QString>
#include <QTimer>
#include <QUndoStack>

#include <array>
#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace quorvane {

class TformFXsettings;
class WordsStep;

namespace history_text {
inline const QString undo = QStringLiteral("Undo");
inline const QString redo = QStringLiteral("Redo");
inline const QString copy_a_to_b = QStringLiteral("Copy A→B");
inline const QString copy_b_to_a = QStringLiteral("Copy B→A");
inline const QString load_preset = QStringLiteral("Load Preset");
} // namespace history_text

// A row's word before and after one step.
struct WordChange {
    ParameterRow row;
    std::uint32_t before;
    std::uint32_t after;
};

enum class CompareSlot { A = 0, B = 1 };
QString slot_name(CompareSlot slot); // "A", "B"

class EditHistory : public QObject {
    Q_OBJECT
public:
    // Wheel and key turns of one dial this close together are one gesture.
    static constexpr int gesture_pause_ms = 600;

    explicit EditHistory(TformFXsettings &window);
    // The stacks' own clearing on the way out tells no one.
    ~EditHistory() override;

    // --- recording ---
    // A change the user made to a row; nothing when the word stayed.
    void record(ParameterRow row, std::uint32_t before, std::uint32_t after);
    // A dial's change: merged into the dial's step while its gesture lasts.
    void record_dial(ParameterRow row, std::uint32_t before, std::uint32_t after);
    // Words brought in at once (a preset load): one step.
    void record_load(const QString &text, const WordsLoaded &loaded);
    // The mouse went down on, or up from, a dial: a drag is one gesture.
    void dial_pressed(ParameterRow row);
    void dial_released();

    // --- undo and redo ---
    bool canUndo() const;
    bool canRedo() const;
    // Undoes or redoes the current slot's last step unless it is refused.
    void undo();
    void redo();
    // Both slots' histories are emptied.
    void clear();
    // A status report was shown: both histories are emptied, and a slot that
    // has no words yet takes the reported ones.
    void report_shown();

    // --- A/B ---
    CompareSlot current_slot() const { return m_current; }
    // The words of a slot: the model's for the one being played.
    std::optional<ParameterWords> slot_words(CompareSlot slot) const;
    // Plays the other slot (refused while the line refuses writers).
    void switch_slot();
    void copy_slot(CompareSlot from, CompareSlot to);

    QUndoStack &stack(CompareSlot slot) { return m_stacks[std::size_t(slot)]; }
    QUndoStack &current_stack() { return stack(m_current); }

    // Words written by an A/B switch or a copy onto the played slot, for the
    // write check; `what` names the action ("Slot B", "Copy A→B").
    std::function<void(const QString &what, const std::vector<std::pair<ParameterRow, std::uint32_t>> &words)>
        words_written;

signals:
    // The current slot, or what can be undone or redone, changed.
    void changed();

private:
    friend class WordsStep;
    // Carries the words of a step into the model, the window and the pedal.
    void carry(const std::vector<WordChange> &changes, bool forward);
    // True (having told why) when the words may not go to the pedal now.
    bool refused(const std::vector<WordChange> &changes, bool forward);
    void push(const QString &text, std::vector<WordChange> changes);
    void end_gesture();
    // Brings words into the played slot and sends the changed ones.
    WordsLoaded bring_in(const ParameterWords &words);

    TformFXsettings &m_window;
    std::array<QUndoStack, 2> m_stacks;
    CompareSlot m_current = CompareSlot::A;
    std::array<std::optional<ParameterWords>, 2> m_slots; // the slot not played
    // The dial step that further turns of its dial merge into while the
    // gesture lasts; null when none is open.
    WordsStep *m_gesture_step = nullptr;
    ParameterRow m_gesture_row = ParameterRow::dry;
    bool m_dragging = false;
    QTimer m_gesture_pause;
};

} // namespace quorvane
