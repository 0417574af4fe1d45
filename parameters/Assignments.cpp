#include "parameters/Assignments.h"

#include "parameters/ControlMessages.h"

#include "common/ConsoleLog.h"
#include "parameters/ParameterModel.h"
#include "parameters/TformFXsettings.h"
#include "platform/Dialogs.h"
#include "platform/Wait.h"
#include "protocol/Codec.h"
#include "protocol/Sender.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QRadioButton>

#include <vector>

namespace quorvane {

QString Assignments::build_assign_message()
{
    // The four control buttons: the parameter whose name the list shows.
    std::array<std::optional<ParameterRow>, 4> buttons;
    for (int slot = 0; slot < 4; ++slot) {
        const QComboBox *list = m_window.list(slot_list_names[slot]);
        if (list->currentIndex() <= 0)
            continue;
        const QString shown = list->currentText();
        for (ParameterRow row : slot_rows(slot)) {
            if (shown == m_window.model().parameter_name(row)) {
                buttons[std::size_t(slot)] = row;
                break;
            }
        }
    }
    RemoteFunction remote = RemoteFunction::none;
    switch (m_window.list(slot_list_names[4])->currentIndex()) {
    case 1: remote = RemoteFunction::bypass; break;
    case 2: remote = RemoteFunction::change_preset; break;
    default: break;
    }
    const QString text = assign_message(m_window.model(), buttons, remote);
    m_console.print_to_console(assign_text::assign_length_log + QString::number(text.size() / 2));
    m_console.print_to_console(assign_text::assign_message_log + text);
    return text;
}

QString Assignments::build_footswitch_message()
{
    // A pair with neither or both on gives no choice.
    const auto choice = [this](const char *bypass, const char *preset) -> std::optional<bool> {
        const bool b = m_window.radio(bypass)->isChecked();
        const bool p = m_window.radio(preset)->isChecked();
        if (b == p)
            return std::nullopt;
        return b;
    };
    const QString text = footswitch_message(choice("chkBypassShortPress", "chkChangePresetShortPress"),
                                            choice("chkBypassLongPress", "chkChangePresetLongPress"));
    m_console.print_to_console(assign_text::footswitch_log + text);
    return text;
}

QString Assignments::build_store_message() const
{
    return store_message(m_window.model());
}

bool Assignments::refused()
{
    return m_link.refuses_writers();
}

QString Assignments::btnAssignClick()
{
    if (refused())
        return {};
    const QString text = build_assign_message();
    if (text.size() != 2 * int(assign_message_size)) {
        m_dialogs.message(assign_text::assign_incomplete);
        return {};
    }
    if (m_dialogs.confirm(assign_text::assign_question) == Answer::No)
        return {};
    // What the console showed and the user confirmed, composed and written now.
    const LineStatus written = send_message(m_link, m_console, text, assign_message_size);
    if (btnAssign)
        btnAssign->setEnabled(false);
    pause_ms(assign_settle_ms);
    if (btnAssign)
        btnAssign->setEnabled(true);
    return written == LineStatus::Ok ? text : QString();
}

QString Assignments::btnSetFootswitchModeClick()
{
    if (refused())
        return {};
    const QString text = build_footswitch_message();
    m_console.print_to_console(text);
    const LineStatus written = send_message(m_link, m_console, text, footswitch_message_size);
    return written == LineStatus::Ok ? text : QString();
}

void Assignments::btnSaveParametersClick()
{
    if (refused())
        return;
    const QString text = build_store_message();
    m_console.print_to_console(assign_text::store_log + text);
    m_console.print_to_console(QString::number(text.size() / 2));
    if (m_dialogs.confirm(assign_text::store_question) == Answer::No)
        return;
    send_message(m_link, m_console, text, store_message_size, true);
    pause_ms(store_settle_ms);
}

} // namespace quorvane
