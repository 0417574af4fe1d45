#include "parameters/WriteConfirmation.h"

#include "common/ConsoleLog.h"
#include "parameters/DialMapping.h"
#include "parameters/EditRules.h"
#include "parameters/Readout.h"
#include "platform/Dialogs.h"
#include "protocol/Codec.h"
#include "protocol/DeviceConnection.h"
#include "protocol/ReplyReader.h"
#include "protocol/Sender.h"

#include <QRegularExpression>

namespace quorvane {

QString confirm_text::confirmed(const QString &what)
{
    return QStringLiteral("Confirmed: ") + what;
}

QString confirm_text::unread(const QString &what)
{
    return QStringLiteral("Not confirmed: ") + what;
}

namespace {

// Where the status reply holds each field.
constexpr int footswitch_at = 4;
constexpr int assignments_at = 5; // five flags, then five 16-bit slot values
constexpr int tuning_at = 20;

const char *const slot_names[assign_slot_count] = {"Control I", "Control II", "Control III", "Control IV",
                                                   "Remote Footswitch"};

QString footswitch_text(int mode)
{
    if (mode < 0 || mode > 3)
        return QStringLiteral("mode %1").arg(mode);
    const QString short_press = (mode >> 1) ? QStringLiteral("Change Preset") : QStringLiteral("Bypass");
    const QString long_press = (mode & 1) ? QStringLiteral("Bypass") : QStringLiteral("Change Preset");
    return QStringLiteral("short press %1, long press %2").arg(short_press, long_press);
}

QString semitone_text(int semitones)
{
    return semitones > 0 ? QStringLiteral("+%1").arg(semitones) : QString::number(semitones);
}

// What a slot holds, from its flag and its 16-bit value.
QString slot_text(const ParameterModel &model, int slot, std::uint8_t flag, std::uint16_t value)
{
    if (flag == 0)
        return QStringLiteral("Not Assigned");
    if (slot == assign_slot_count - 1) {
        if (value == remote_bypass_marker)
            return QStringLiteral("Bypass");
        if (value == remote_preset_marker)
            return QStringLiteral("Preset");
        return QStringLiteral("value ") + hex4(value);
    }
    for (int r = standard_parameter_count; r < parameter_count; ++r) {
        const ParameterRow row(static_cast<ParameterRow>(r));
        if (model.has_image_address(row) && model.address(row) == value)
            return model.parameter_name(row);
    }
    return QStringLiteral("address ") + hex4(value);
}

QString word_text(ParameterRow row, std::uint32_t word)
{
    if (row_steps(row) > 0)
        return QStringLiteral("step ") + parameter_readout(row, word);
    return QStringLiteral("0x") + hex8(word) + QStringLiteral(" (") + parameter_readout(row, word)
           + QLatin1Char(')');
}

bool same_in_report(ParameterRow row, std::uint32_t written, std::uint32_t reported)
{
    const std::uint32_t steps = row_steps(row);
    if (steps > 0)
        return word_to_step(written, steps) == word_to_step(reported, steps);
    return written == reported;
}

} // namespace

bool WrittenState::empty() const
{
    if (footswitch_mode || assignments || tuning)
        return false;
    for (const auto &[row, word] : words)
        if (is_sent_parameter(row))
            return false;
    return true;
}

WrittenState WrittenState::of_message(const QString &hex_text, const QString &what)
{
    WrittenState state;
    state.what = what;
    static const QRegularExpression hex_digits(QStringLiteral("^([0-9A-Fa-f]{2})+$"));
    if (!hex_digits.match(hex_text).hasMatch())
        return state;
    const QByteArray bytes = QByteArray::fromHex(hex_text.toLatin1());
    auto at = [&bytes](int i) { return std::uint8_t(bytes[i]); };
    switch (at(0)) {
    case 0x04:
        if (bytes.size() != 16)
            return state;
        state.assignments.emplace();
        for (int i = 0; i < 15; ++i)
            (*state.assignments)[std::size_t(i)] = at(1 + i);
        break;
    case 0x08:
        if (bytes.size() != 3 || at(1) > 1 || at(2) > 1)
            return state;
        state.footswitch_mode = 2 * at(1) + at(2);
        break;
    case 0x09:
        if (bytes.size() != 3)
            return state;
        state.tuning = {at(1), int(std::int8_t(at(2)))};
        break;
    default:
        return state;
    }
    state.messages.append(hex_text);
    return state;
}

std::vector<WriteDifference> compare_with_status(const ParameterModel &model, const WrittenState &written,
                                                 const std::vector<std::uint8_t> &values)
{
    std::vector<WriteDifference> out;
    const QString missing = QStringLiteral("nothing (the reply is too short)");
    auto has = [&values](int index, int count) { return index + count <= int(values.size()); };

    if (written.footswitch_mode) {
        const QString sent = footswitch_text(*written.footswitch_mode);
        if (!has(footswitch_at, 1))
            out.push_back({QStringLiteral("Footswitch mode"), sent, missing, {}});
        else if (values[footswitch_at] != *written.footswitch_mode)
            out.push_back({QStringLiteral("Footswitch mode"), sent, footswitch_text(values[footswitch_at]), {}});
    }
    if (written.assignments) {
        const auto &a = *written.assignments;
        for (int k = 0; k < assign_slot_count; ++k) {
            const std::uint8_t flag = a[std::size_t(k)];
            const std::uint16_t value = std::uint16_t(a[std::size_t(5 + 2 * k)] << 8 | a[std::size_t(6 + 2 * k)]);
            const QString name = QLatin1String(slot_names[k]);
            const QString sent = slot_text(model, k, flag, value);
            if (!has(assignments_at, 15)) {
                out.push_back({name, sent, missing, {}});
                continue;
            }
            const std::uint8_t got_flag = values[std::size_t(assignments_at + k)];
            const std::uint16_t got_value = std::uint16_t(values[std::size_t(assignments_at + 5 + 2 * k)] << 8
                                                          | values[std::size_t(assignments_at + 6 + 2 * k)]);
            // An empty slot's value means nothing.
            if (got_flag != flag || (flag != 0 && got_value != value))
                out.push_back({name, sent, slot_text(model, k, got_flag, got_value), {}});
        }
    }
    if (written.tuning) {
        const auto [tuning, semitones] = *written.tuning;
        if (!has(tuning_at, 2)) {
            out.push_back({QStringLiteral("Tuning"), QString::number(tuning), missing, {}});
        } else {
            if (values[tuning_at] != tuning)
                out.push_back({QStringLiteral("Tuning"), QString::number(tuning),
                               QString::number(values[tuning_at]), {}});
            const int got = std::int8_t(values[tuning_at + 1]);
            if (got != semitones)
                out.push_back({QStringLiteral("Semitones"), semitone_text(semitones), semitone_text(got), {}});
        }
    }
    if (!written.words.empty()) {
        const int firmware = values.empty() ? 0 : values[0];
        const int words_at = firmware >= bypass_state_firmware ? 23 : 22;
        for (const auto &[row, word] : written.words) {
            if (!is_sent_parameter(row))
                continue; // never written
            const int at = words_at + 4 * int(row);
            const QString sent = word_text(row, word);
            if (!has(at, 4)) {
                out.push_back({model.parameter_name(row), sent, missing, row});
                continue;
            }
            const std::uint32_t got = std::uint32_t(values[std::size_t(at)]) << 24
                                      | std::uint32_t(values[std::size_t(at + 1)]) << 16
                                      | std::uint32_t(values[std::size_t(at + 2)]) << 8
                                      | std::uint32_t(values[std::size_t(at + 3)]);
            if (!same_in_report(row, word, got))
                out.push_back({model.parameter_name(row), sent, word_text(row, got), row});
        }
    }
    return out;
}

QString differences_text(const std::vector<WriteDifference> &differences)
{
    QStringList lines{confirm_text::differs, QString()};
    for (const WriteDifference &d : differences)
        lines.append(QStringLiteral("%1: written %2, the pedal reports %3").arg(d.name, d.written, d.reported));
    lines << QString() << confirm_text::send_again;
    return lines.join(QLatin1Char('\n'));
}

WriteConfirmation::Outcome WriteConfirmation::confirm(const WrittenState &written)
{
    if (!enabled)
        return Outcome::off;
    if (written.empty())
        return Outcome::not_asked;
    for (int round = 0;; ++round) {
        if (!m_connection.is_linked || m_connection.bootloader_mode || m_connection.upgrade_mode_pending
            || m_connection.exchange_busy() || m_link.bootloader_holds_line())
            return Outcome::not_asked;
        const std::optional<StatusReport> report = m_connection.request_status_quietly();
        if (!report) {
            m_console.print_to_console(confirm_text::console_prefix + confirm_text::unread(written.what));
            if (show_status)
                show_status(confirm_text::unread(written.what));
            return Outcome::unread;
        }
        const std::vector<WriteDifference> differences = compare_with_status(m_model, written, report->values);
        if (differences.empty()) {
            m_console.print_to_console(confirm_text::console_prefix + confirm_text::confirmed(written.what));
            if (show_status)
                show_status(confirm_text::confirmed(written.what));
            return Outcome::confirmed;
        }
        const QString text = differences_text(differences);
        m_console.print_to_console(confirm_text::console_prefix + text);
        if (show_status)
            show_status(QString());
        if (round == max_write_again) {
            // A pedal that keeps refusing is not asked again and again.
            QString told = text;
            told.chop(confirm_text::send_again.size());
            m_dialogs.message(told.trimmed());
            return Outcome::differs;
        }
        if (m_dialogs.confirm(text) == Answer::No)
            return Outcome::differs;
        write_again(written, differences);
    }
}

void WriteConfirmation::write_again(const WrittenState &written, const std::vector<WriteDifference> &differences)
{
    bool message_differs = false;
    for (const WriteDifference &d : differences) {
        if (!d.row) {
            message_differs = true;
            continue;
        }
        for (const auto &[row, word] : written.words)
            if (row == *d.row && send_word)
                send_word(row, word);
    }
    if (message_differs)
        for (const QString &text : written.messages)
            send_message(m_link, m_console, text, std::uint32_t(text.size() / 2));
}

} // namespace quorvane
