#include "parameters/EditHistory.h"

#include "parameters/TformFXsettings.h"

#include <QUndoCommand>

namespace quorvane {

QString slot_name(CompareSlot slot)
{
    return slot == CompareSlot::A ? QStringLiteral("A") : QStringLiteral("B");
}

// One step of the history. Pushing it does nothing (its words are in place
// already); undoing and redoing carry its words.
class WordsStep : public QUndoCommand {
public:
    WordsStep(EditHistory &history, const QString &text, std::vector<WordChange> changes)
        : QUndoCommand(text), m_history(history), m_changes(std::move(changes)) {}

    void undo() override { m_history.carry(m_changes, false); }
    void redo() override
    {
        if (m_pushed) {
            m_pushed = false;
            return;
        }
        m_history.carry(m_changes, true);
    }
    const std::vector<WordChange> &changes() const { return m_changes; }
    // A further turn of the dial in the same gesture.
    void turn_to(std::uint32_t after) { m_changes.front().after = after; }

private:
    EditHistory &m_history;
    std::vector<WordChange> m_changes;
    bool m_pushed = true;
};

EditHistory::EditHistory(TformFXsettings &window) : QObject(&window), m_window(window)
{
    m_gesture_pause.setSingleShot(true);
    m_gesture_pause.setInterval(gesture_pause_ms);
    connect(&m_gesture_pause, &QTimer::timeout, this, [this] { end_gesture(); });
    for (QUndoStack &s : m_stacks) {
        connect(&s, &QUndoStack::indexChanged, this, &EditHistory::changed);
        connect(&s, &QUndoStack::cleanChanged, this, &EditHistory::changed);
    }
}

EditHistory::~EditHistory()
{
    for (QUndoStack &s : m_stacks)
        s.blockSignals(true);
}

void EditHistory::push(const QString &text, std::vector<WordChange> changes)
{
    end_gesture();
    current_stack().push(new WordsStep(*this, text, std::move(changes)));
}

void EditHistory::record(ParameterRow row, std::uint32_t before, std::uint32_t after)
{
    if (before == after)
        return;
    push(m_window.model().parameter_name(row), {{row, before, after}});
}

void EditHistory::record_dial(ParameterRow row, std::uint32_t before, std::uint32_t after)
{
    QUndoStack &s = current_stack();
    const bool on_top = m_gesture_step && s.index() == s.count() && s.count() > 0
                        && s.command(s.count() - 1) == m_gesture_step;
    if (on_top && m_gesture_row == row) {
        m_gesture_step->turn_to(after);
    } else if (before != after) {
        push(m_window.model().parameter_name(row), {{row, before, after}});
        m_gesture_step = const_cast<WordsStep *>(static_cast<const WordsStep *>(s.command(s.count() - 1)));
        m_gesture_row = row;
    } else {
        return;
    }
    // A drag lasts until the button is released; wheel and key turns until
    // the dial rests.
    if (m_dragging)
        m_gesture_pause.stop();
    else
        m_gesture_pause.start();
}

void EditHistory::record_load(const QString &text, const WordsLoaded &loaded)
{
    std::vector<WordChange> changes;
    for (std::size_t i = 0; i < loaded.changed.size() && i < loaded.previous.size(); ++i)
        changes.push_back({loaded.changed[i].first, loaded.previous[i], loaded.changed[i].second});
    if (!changes.empty())
        push(text, std::move(changes));
}

void EditHistory::dial_pressed(ParameterRow)
{
    // A press starts a gesture of its own.
    end_gesture();
    m_dragging = true;
}

void EditHistory::dial_released()
{
    m_dragging = false;
    end_gesture();
}

void EditHistory::end_gesture()
{
    m_gesture_step = nullptr;
    m_gesture_pause.stop();
}

bool EditHistory::canUndo() const
{
    return m_stacks[std::size_t(m_current)].canUndo();
}

bool EditHistory::canRedo() const
{
    return m_stacks[std::size_t(m_current)].canRedo();
}

bool EditHistory::refused(const std::vector<WordChange> &changes, bool forward)
{
    if (m_window.writers_refused())
        return true;
    for (const WordChange &c : changes)
        if (m_window.edit_refused(c.row, forward ? c.after : c.before))
            return true;
    return false;
}

void EditHistory::undo()
{
    end_gesture();
    QUndoStack &s = current_stack();
    if (!s.canUndo())
        return;
    const auto *step = static_cast<const WordsStep *>(s.command(s.index() - 1));
    if (refused(step->changes(), false))
        return;
    s.undo();
}

void EditHistory::redo()
{
    end_gesture();
    QUndoStack &s = current_stack();
    if (!s.canRedo())
        return;
    const auto *step = static_cast<const WordsStep *>(s.command(s.index()));
    if (refused(step->changes(), true))
        return;
    s.redo();
}

void EditHistory::carry(const std::vector<WordChange> &changes, bool forward)
{
    ParameterModel &model = m_window.model();
    for (const WordChange &c : changes)
        model.set_value(c.row, forward ? c.after : c.before);
    m_window.show_parameters();
    for (const WordChange &c : changes)
        m_window.send_parameter_word(c.row, forward ? c.after : c.before);
}

void EditHistory::clear()
{
    end_gesture();
    for (QUndoStack &s : m_stacks)
        s.clear();
    emit changed();
}

void EditHistory::report_shown()
{
    clear();
    const std::size_t other = m_current == CompareSlot::A ? 1 : 0;
    if (!m_slots[other])
        m_slots[other] = words_of(m_window.model());
    emit changed();
}

std::optional<ParameterWords> EditHistory::slot_words(CompareSlot slot) const
{
    if (slot == m_current)
        return words_of(m_window.model());
    return m_slots[std::size_t(slot)];
}

WordsLoaded EditHistory::bring_in(const ParameterWords &words)
{
    const WordsLoaded loaded = load_words(m_window.model(), words);
    m_window.show_parameters();
    for (const auto &[row, word] : loaded.changed)
        m_window.send_parameter_word(row, word);
    return loaded;
}

void EditHistory::switch_slot()
{
    if (m_window.writers_refused())
        return;
    end_gesture();
    const CompareSlot other = m_current == CompareSlot::A ? CompareSlot::B : CompareSlot::A;
    const ParameterWords played = words_of(m_window.model());
    const ParameterWords target = m_slots[std::size_t(other)].value_or(played);
    m_slots[std::size_t(m_current)] = played;
    m_slots[std::size_t(other)].reset();
    m_current = other;
    const WordsLoaded loaded = bring_in(target);
    emit changed();
    if (words_written)
        words_written(QStringLiteral("Slot ") + slot_name(other), loaded.changed);
}

void EditHistory::copy_slot(CompareSlot from, CompareSlot to)
{
    if (from == to)
        return;
    end_gesture();
    const QString text = from == CompareSlot::A ? history_text::copy_a_to_b : history_text::copy_b_to_a;
    if (to != m_current) {
        // The slot not played takes the played words; its history no longer
        // belongs to its words.
        m_slots[std::size_t(to)] = words_of(m_window.model());
        stack(to).clear();
        emit changed();
        return;
    }
    if (m_window.writers_refused())
        return;
    const ParameterWords words = m_slots[std::size_t(from)].value_or(words_of(m_window.model()));
    const WordsLoaded loaded = bring_in(words);
    record_load(text, loaded);
    emit changed();
    if (words_written)
        words_written(text, loaded.changed);
}

} // namespace quorvane
