// kq5ctl's commands on the parameter words as a whole: preset files and the
// control slots.

#include "ctl/CtlParts.h"

#include "parameters/ControlMessages.h"
#include "parameters/EditRules.h"
#include "platform/Wait.h"
#include "presets/PresetFiles.h"
#include "protocol/Sender.h"

#include <QFileInfo>

namespace quorvane {

void Kq5Ctl::Parts::send_word(ParameterRow row, std::uint32_t word)
{
    if (!is_sent_parameter(row))
        return;
    writer.write_now(row, word, row == ParameterRow::dominant_notes_cut || row == ParameterRow::high_notes_cut);
}

int Kq5Ctl::Parts::preset(const QStringList &args)
{
    const bool save = args.size() == 2 && args[0] == QLatin1String("save");
    const bool load = args.size() == 2 && args[0] == QLatin1String("load");
    if (!save && !load)
        throw Stop{exit_usage, QStringLiteral("usage: kq5ctl preset save|load FILE")};
    const QString file = args[1];
    if (load) {
        // The file is read before the pedal is asked anything.
        const PresetFiles::ReadResult read = PresetFiles::read_preset_from(file);
        if (read.outcome != PresetFiles::ReadResult::read)
            throw Stop{exit_usage, preset_text::load_error + read.error};
        request_status();
        console.print_to_console(read.text);
        const std::optional<PresetApplied> applied = apply_preset_text(model, read.text);
        if (!applied)
            throw Stop{exit_usage, preset_text::not_a_preset + file};
        for (const auto &[row, word] : applied->changed)
            send_word(row, word);
        if (options.store)
            send_store();
        if (!options.quiet)
            out(preset_loaded_message(*applied, file));
        return exit_ok;
    }
    request_status();
    if (const QString error = write_preset_to(file, preset_text_of(model)); !error.isEmpty())
        throw Stop{exit_usage, preset_text::save_error + error};
    if (!options.quiet)
        out(preset_text::saved + file);
    return exit_ok;
}

int Kq5Ctl::Parts::assign(const QStringList &args)
{
    static const QStringList slot_words = {QStringLiteral("i"), QStringLiteral("ii"), QStringLiteral("iii"),
                                           QStringLiteral("iv"), QStringLiteral("remote")};
    if (args.size() != 2)
        throw Stop{exit_usage, QStringLiteral("usage: kq5ctl assign I|II|III|IV|remote NAME|none")};
    int slot = slot_words.indexOf(args[0].toLower());
    if (slot < 0) {
        bool number = false;
        const int n = args[0].toInt(&number);
        slot = number && n >= 1 && n <= 4 ? n - 1 : -1;
    }
    if (slot < 0)
        throw Stop{exit_usage, QStringLiteral("no control slot \"%1\": give I, II, III, IV or remote").arg(args[0])};

    // The entry the slot's list would show.
    int entry = 0;
    const QString choice = args[1];
    if (choice.compare(QLatin1String("none"), Qt::CaseInsensitive) != 0) {
        if (slot == 4) {
            if (choice == QLatin1String("bypass"))
                entry = 1;
            else if (choice == QLatin1String("preset"))
                entry = 2;
            else
                throw Stop{exit_usage, QStringLiteral("the remote footswitch holds bypass, preset or none")};
        } else {
            const ParameterRow row = row_named(choice);
            const std::vector<ParameterRow> &rows = slot_rows(slot);
            const auto at = std::find(rows.begin(), rows.end(), row);
            if (at == rows.end()) {
                QStringList names;
                for (ParameterRow r : rows)
                    names << model.parameter_name(r);
                throw Stop{exit_usage, QStringLiteral("control %1 holds %2 or none")
                                           .arg(args[0].toUpper(), names.join(QStringLiteral(", ")))};
            }
            entry = int(at - rows.begin()) + 1;
        }
    }

    request_status();
    // The cuts follow the instrument's tuning, as in the effect window.
    if ((slot == 2 || slot == 3) && entry > 0 && model.current_tuning == no_tuning_index)
        throw Stop{exit_refused, fx_text::no_tuning_for_slot};

    // Every other slot keeps what the pedal reported.
    slot_entries[std::size_t(slot)] = entry;
    std::array<std::optional<ParameterRow>, 4> buttons;
    for (int s = 0; s < 4; ++s) {
        const int e = slot_entries[std::size_t(s)];
        model.slot_assigned[std::size_t(s)] = e > 0;
        if (e > 0 && e <= int(slot_rows(s).size()))
            buttons[std::size_t(s)] = slot_rows(s)[std::size_t(e - 1)];
    }
    model.slot_assigned[4] = slot_entries[4] > 0;
    const RemoteFunction remote = slot_entries[4] == 1   ? RemoteFunction::bypass
                                  : slot_entries[4] == 2 ? RemoteFunction::change_preset
                                                         : RemoteFunction::none;
    const QString text = assign_message(model, buttons, remote);
    console.print_to_console(assign_text::assign_length_log + QString::number(text.size() / 2));
    console.print_to_console(assign_text::assign_message_log + text);
    if (text.size() != 2 * int(assign_message_size))
        throw Stop{exit_refused, assign_text::assign_incomplete};
    if (dialogs.confirm(assign_text::assign_question) == Answer::No)
        throw Stop{exit_refused, dialogs.messages.isEmpty() ? QStringLiteral("not assigned") : dialogs.messages.last()};
    send(text, assign_message_size);
    pause_ms(assign_settle_ms);
    return exit_ok;
}

} // namespace quorvane
