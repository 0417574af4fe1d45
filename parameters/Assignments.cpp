#include "parameters/Assignments.h"

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

namespace {

constexpr std::uint32_t assign_message_size = 16;
constexpr std::uint32_t footswitch_message_size = 3;
constexpr std::uint32_t store_message_size = 21;

const QString empty_slot = QStringLiteral("FFFF");

// The parameters each slot list can hold, in the order of its entries after
// "Not Assigned".
const std::vector<ParameterRow> &slot_rows(int slot)
{
    static const std::vector<ParameterRow> buttons_1_2 = {
        ParameterRow::input_level, ParameterRow::harmonic_pitch, ParameterRow::wave_clip};
    static const std::vector<ParameterRow> buttons_3_4 = {ParameterRow::dominant_notes_cut,
                                                          ParameterRow::high_notes_cut};
    return slot < 2 ? buttons_1_2 : buttons_3_4;
}

constexpr ParameterRow stored_rows[] = {ParameterRow::input_level, ParameterRow::harmonic_pitch,
                                        ParameterRow::wave_clip, ParameterRow::dominant_notes_cut,
                                        ParameterRow::high_notes_cut};

} // namespace

QString Assignments::build_assign_message()
{
    const ParameterModel &model = m_window.model();
    QString flags;
    for (int slot = 0; slot < assign_slot_count; ++slot)
        flags += model.slot_assigned[std::size_t(slot)] ? QStringLiteral("01") : QStringLiteral("00");

    // The four control buttons: the address of the parameter whose name the
    // list shows. A text that names none, or a parameter still on its
    // constructor address (0xFFFF would read as an empty slot), adds nothing,
    // and the message that comes short of its sixteen bytes is never sent.
    QString addresses;
    for (int slot = 0; slot < 4; ++slot) {
        const QComboBox *list = m_window.list(slot_list_names[slot]);
        if (list->currentIndex() <= 0) {
            addresses += empty_slot;
            continue;
        }
        const QString shown = list->currentText();
        for (ParameterRow row : slot_rows(slot)) {
            if (shown == model.parameter_name(row)) {
                if (model.has_image_address(row))
                    addresses += hex4(model.address(row));
                break;
            }
        }
    }
    // The remote footswitch holds a pedal function, not a parameter.
    switch (m_window.list(slot_list_names[4])->currentIndex()) {
    case 1: addresses += hex4(remote_bypass_marker); break;
    case 2: addresses += hex4(remote_preset_marker); break;
    default: addresses += empty_slot; break;
    }

    const QString text = QStringLiteral("04") + flags + addresses;
    m_console.print_to_console(assign_text::assign_length_log + QString::number(text.size() / 2));
    m_console.print_to_console(assign_text::assign_message_log + text);
    return text;
}

QString Assignments::build_footswitch_message()
{
    const bool bypass_short = m_window.radio("chkBypassShortPress")->isChecked();
    const bool preset_short = m_window.radio("chkChangePresetShortPress")->isChecked();
    const bool bypass_long = m_window.radio("chkBypassLongPress")->isChecked();
    const bool preset_long = m_window.radio("chkChangePresetLongPress")->isChecked();

    // The two bytes give 0 and 1 opposite meanings: short 01 changes the
    // preset, long 01 bypasses. A pair with neither or both on gives no text.
    QString short_text, long_text;
    if (bypass_short && !preset_short)
        short_text = QStringLiteral("00");
    else if (!bypass_short && preset_short)
        short_text = QStringLiteral("01");
    if (!bypass_long && preset_long)
        long_text = QStringLiteral("00");
    else if (bypass_long && !preset_long)
        long_text = QStringLiteral("01");

    const QString text = QStringLiteral("08") + short_text + long_text;
    m_console.print_to_console(assign_text::footswitch_log + text);
    return text;
}

QString Assignments::build_store_message() const
{
    QString text = QStringLiteral("03");
    for (ParameterRow row : stored_rows)
        text += hex8(m_window.model().value(row));
    return text;
}

bool Assignments::refused()
{
    return m_link.refuses_writers();
}

void Assignments::btnAssignClick()
{
    if (refused())
        return;
    const QString text = build_assign_message();
    if (text.size() != 2 * int(assign_message_size)) {
        m_dialogs.message(assign_text::assign_incomplete);
        return;
    }
    if (m_dialogs.confirm(assign_text::assign_question) == Answer::No)
        return;
    // What the console showed and the user confirmed, composed and written now.
    send_message(m_link, m_console, text, assign_message_size);
    if (btnAssign)
        btnAssign->setEnabled(false);
    pause_ms(assign_settle_ms);
    if (btnAssign)
        btnAssign->setEnabled(true);
}

void Assignments::btnSetFootswitchModeClick()
{
    if (refused())
        return;
    const QString text = build_footswitch_message();
    m_console.print_to_console(text);
    send_message(m_link, m_console, text, footswitch_message_size);
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
