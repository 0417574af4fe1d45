#include "ctl/Kq5Ctl.h"

#include "ctl/CtlParts.h"

#include "common/ConsoleLog.h"
#include "ctl/TerminalDialogs.h"
#include "effects/Catalogue.h"
#include "parameters/ControlMessages.h"
#include "parameters/DialMapping.h"
#include "parameters/DspWriter.h"
#include "parameters/EditRules.h"
#include "parameters/ParameterModel.h"
#include "parameters/Readout.h"
#include "parameters/StatusDecoding.h"
#include "platform/LatencyTimer.h"
#include "platform/Wait.h"
#include "protocol/Codec.h"
#include "protocol/DeviceConnection.h"
#include "protocol/Sender.h"
#include "simulator/SimulatorDriver.h"
#include "usb/CompositeDriver.h"
#include "usb/D2XXUnit.h"
#include "usb/SerialPortDriver.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QRegularExpression>
#include <QTimer>

#include <algorithm>
#include <cstdio>
#include <optional>

namespace quorvane {

namespace {

QString json_text(const QJsonValue &value)
{
    const QJsonDocument doc = value.isArray() ? QJsonDocument(value.toArray()) : QJsonDocument(value.toObject());
    return QString::fromUtf8(doc.toJson(QJsonDocument::Indented)).trimmed();
}

// The short, case-free alias of a parameter name: "-1 Oct" -> "minus-1-oct".
QString alias_of(const QString &name)
{
    QString alias = name.toLower();
    if (alias.startsWith(QLatin1Char('-')))
        alias = QStringLiteral("minus") + alias;
    alias.replace(QLatin1Char(' '), QLatin1Char('-'));
    return alias;
}

const char *const slot_names[assign_slot_count] = {"I", "II", "III", "IV", "remote"};

bool is_dial_row(ParameterRow row)
{
    switch (row) {
    case ParameterRow::dry:
    case ParameterRow::sub_mix:
    case ParameterRow::minus_1_oct:
    case ParameterRow::minus_2_oct:
    case ParameterRow::low_pass:
    case ParameterRow::high_pass:
    case ParameterRow::first_harmonic:
    case ParameterRow::range:
    case ParameterRow::input_level:
    case ParameterRow::wave_clip:
        return true;
    default:
        return false;
    }
}

// A row's word in the terms of its control: a level, a step, on or off, or
// semitones; a word that is none of its control's is given as its hex.
QJsonValue value_of(ParameterRow row, std::uint32_t word)
{
    if (const std::uint32_t steps = row_steps(row))
        return int(word_to_step(word, steps));
    if (is_dial_row(row))
        return int(word >> dial_word_shift);
    return parameter_readout(row, word);
}

} // namespace

QList<Kq5Ctl::Parts::Bridge> Kq5Ctl::Parts::bridges()
{
    link.report_usb_errors = false;
    QList<Bridge> found;
    if (link.GetFTDeviceCount() != FT_OK)
        throw Stop{exit_no_pedal, QStringLiteral("the bridges could not be listed")};
    for (std::uint32_t i = 0; i < link.ft_device_count; ++i) {
        if (link.GetFTDeviceSerialNo(i) != FT_OK)
            continue;
        const QString serial = link.ft_list_text;
        if (link.GetFTDeviceDescription(i) != FT_OK)
            continue;
        found.append({serial, link.ft_list_text});
    }
    return found;
}

Kq5Ctl::Parts::Bridge Kq5Ctl::Parts::choose_pedal()
{
    const QList<Bridge> listed = bridges();
    QString wanted = options.serial;
    if (options.simulator)
        wanted = QString::fromLatin1(SimulatorDriver::serial_number);
    else if (!options.port.isEmpty())
        wanted = QStringLiteral("PORT1");
    if (!wanted.isEmpty()) {
        for (const Bridge &b : listed)
            if (b.serial == wanted)
                return b;
        if (!options.port.isEmpty())
            throw Stop{exit_no_pedal, QStringLiteral("no pedal at %1").arg(options.port)};
        throw Stop{exit_no_pedal, QStringLiteral("no bridge with serial number %1").arg(wanted)};
    }
    if (listed.isEmpty())
        throw Stop{exit_no_pedal, QStringLiteral("no pedal found (give --port PATH or --simulator)")};
    if (listed.size() > 1) {
        QStringList serials;
        for (const Bridge &b : listed)
            serials << QStringLiteral("%1 (%2)").arg(b.serial, b.description);
        throw Stop{exit_no_pedal,
                   QStringLiteral("%1 bridges found, choose one with --serial: %2")
                       .arg(listed.size())
                       .arg(serials.join(QStringLiteral(", ")))};
    }
    return listed.first();
}

void Kq5Ctl::Parts::fail_from_dialogs(int code, const QString &fallback)
{
    throw Stop{code, dialogs.messages.isEmpty() ? fallback : dialogs.messages.last()};
}

void Kq5Ctl::Parts::link_pedal()
{
    const Bridge pedal = choose_pedal();
    connection.device_serial_number = pedal.serial;
    connection.device_description = pedal.description;
    link.SetLinkSettings(link_mode_normal);
    if (!connection.LinkDevice())
        fail_from_dialogs(exit_no_pedal, QStringLiteral("could not open ") + pedal.description);
}

void Kq5Ctl::Parts::request_status()
{
    link_pedal();
    dialogs.messages.clear();
    QObject::connect(&connection, &DeviceConnection::statusReported, &connection,
                     [this](const StatusReport &r) { report = r; });
    connection.RequestDeviceStatus();
    if (!report) {
        const QString why = dialogs.messages.isEmpty() ? no_answer_text : dialogs.messages.last();
        throw Stop{exit_failed, why + QStringLiteral(" The pedal may be waiting in its bootloader: "
                                                     "'kq5ctl firmware upgrade --resume' writes its firmware.")};
    }
    // What the editor would have shown in a box (an upgrade it needs, say).
    if (!options.quiet) {
        for (const QString &m : std::as_const(dialogs.messages))
            err(QStringLiteral("note: ") + m);
    }
    dialogs.messages.clear();
}

ParameterRow Kq5Ctl::Parts::row_named(const QString &name) const
{
    for (int i = 0; i < parameter_count; ++i) {
        const QString n = model.parameter_name(ParameterRow(i));
        if (name.compare(n, Qt::CaseInsensitive) == 0 || name.compare(alias_of(n), Qt::CaseInsensitive) == 0)
            return ParameterRow(i);
    }
    throw Stop{exit_usage, QStringLiteral("no parameter \"%1\" (see 'kq5ctl names')").arg(name)};
}

std::uint32_t Kq5Ctl::Parts::parse_value(ParameterRow row, const QString &text) const
{
    static const QRegularExpression word_form(QStringLiteral("^0[xX]([0-9A-Fa-f]{1,8})$"));
    static const QRegularExpression number_form(QStringLiteral("^(level|step):([0-9]{1,5})$"));
    if (const auto m = word_form.match(text); m.hasMatch())
        return m.captured(1).toUInt(nullptr, 16);
    const QString name = model.parameter_name(row);
    if (const auto m = number_form.match(text); m.hasMatch()) {
        const std::uint32_t n = m.captured(2).toUInt();
        if (m.captured(1) == QLatin1String("level")) {
            if (!is_dial_row(row))
                throw Stop{exit_usage, QStringLiteral("%1 has no dial: give a word or on/off").arg(name)};
            if (n > std::uint32_t(dial_max_level))
                throw Stop{exit_usage, QStringLiteral("a level is 0 to %1").arg(dial_max_level)};
            return n << dial_word_shift;
        }
        const std::uint32_t steps = row_steps(row);
        if (!steps)
            throw Stop{exit_usage, QStringLiteral("%1 has no steps: give a level or a word").arg(name)};
        if (n > steps)
            throw Stop{exit_usage, QStringLiteral("%1 has steps 0 to %2").arg(name).arg(steps)};
        return stepped_dial_word(n, steps);
    }
    if (text == QLatin1String("on") || text == QLatin1String("off")) {
        const bool on = text == QLatin1String("on");
        switch (row) {
        case ParameterRow::wave: return on ? wave_on_value : wave_off_value;
        case ParameterRow::split:
        case ParameterRow::dominant_notes_cut:
        case ParameterRow::high_notes_cut: return on ? 1 : 0;
        default: break;
        }
        throw Stop{exit_usage, QStringLiteral("%1 is not switched on or off").arg(name)};
    }
    throw Stop{exit_usage, QStringLiteral("\"%1\" is no value: give 0xWORD, level:N, step:N, on or off").arg(text)};
}

void Kq5Ctl::Parts::send(const QString &text, std::uint32_t size, bool purge_tx)
{
    if (send_message(link, console, text, size, purge_tx) != LineStatus::Ok)
        fail_from_dialogs(exit_failed, QStringLiteral("the message %1 could not be sent").arg(text));
}

void Kq5Ctl::Parts::send_store()
{
    const QString text = store_message(model);
    console.print_to_console(assign_text::store_log + text);
    if (dialogs.confirm(assign_text::store_question) == Answer::No)
        throw Stop{exit_refused, dialogs.messages.isEmpty() ? QStringLiteral("not stored") : dialogs.messages.last()};
    send(text, store_message_size, true);
    pause_ms(store_settle_ms); // the pedal writes its memory
}

int Kq5Ctl::Parts::list()
{
    const QList<Bridge> found = bridges();
    if (options.json) {
        QJsonArray array;
        for (const Bridge &b : found)
            array.append(QJsonObject{{QStringLiteral("serial"), b.serial},
                                     {QStringLiteral("description"), b.description}});
        out(json_text(array));
    } else {
        for (const Bridge &b : found)
            out(b.serial + QLatin1Char('\t') + b.description);
    }
    return exit_ok;
}

int Kq5Ctl::Parts::names()
{
    QJsonArray array;
    for (int i = 0; i < parameter_count; ++i) {
        const auto row = ParameterRow(i);
        const QString name = model.parameter_name(row);
        QString kind = QStringLiteral("word");
        if (row_steps(row))
            kind = QStringLiteral("level, step:0..%1").arg(row_steps(row));
        else if (is_dial_row(row))
            kind = QStringLiteral("level:0..1023");
        else if (row != ParameterRow::harmonic_pitch)
            kind = QStringLiteral("on, off");
        if (options.json)
            array.append(QJsonObject{{QStringLiteral("name"), name},
                                     {QStringLiteral("alias"), alias_of(name)},
                                     {QStringLiteral("values"), kind}});
        else
            out(QStringLiteral("%1%2%3").arg(name, -20).arg(alias_of(name), -20).arg(kind));
    }
    if (options.json)
        out(json_text(array));
    return exit_ok;
}

int Kq5Ctl::Parts::status()
{
    request_status();
    return print_status();
}

int Kq5Ctl::Parts::print_status()
{
    const StatusReport &r = *report;
    const int mode = decoding.footswitch_mode;
    const QString short_press = mode & 2 ? QStringLiteral("preset") : QStringLiteral("bypass");
    const QString long_press = mode & 1 ? QStringLiteral("bypass") : QStringLiteral("preset");
    QJsonObject held_by_slot;
    for (int slot = 0; slot < assign_slot_count; ++slot) {
        // What the slot's list shows after the report.
        const int entry = slot_entries[std::size_t(slot)];
        QString held = QStringLiteral("none");
        if (slot == 4 && entry > 0)
            held = entry == 1 ? QStringLiteral("bypass") : QStringLiteral("preset");
        else if (slot < 4 && entry > 0 && entry <= int(slot_rows(slot).size()))
            held = model.parameter_name(slot_rows(slot)[std::size_t(entry - 1)]);
        held_by_slot.insert(QLatin1String(slot_names[slot]), held);
    }
    QJsonObject parameters, values;
    for (int i = 0; i < parameter_count; ++i) {
        const auto row = ParameterRow(i);
        parameters.insert(model.parameter_name(row), hex8(model.value(row)));
        values.insert(model.parameter_name(row), value_of(row, model.value(row)));
    }
    const bool has_bypass = r.values.size() > 22 && r.firmware >= 9;
    if (options.json) {
        QJsonObject o{{QStringLiteral("firmware"), r.firmware},
                      {QStringLiteral("algorithm"), r.algorithm_version},
                      {QStringLiteral("effect"), r.effect_number},
                      {QStringLiteral("footswitch"),
                       QJsonObject{{QStringLiteral("short"), short_press}, {QStringLiteral("long"), long_press}}},
                      {QStringLiteral("slots"), held_by_slot},
                      {QStringLiteral("tuning"), int(model.current_tuning)},
                      {QStringLiteral("semitone"), int(model.semitone_variation)},
                      {QStringLiteral("parameters"), parameters},
                      {QStringLiteral("values"), values}};
        if (has_bypass)
            o.insert(QStringLiteral("bypass"), r.values[22] != 0);
        out(json_text(o));
        return exit_ok;
    }
    out(QStringLiteral("firmware    %1").arg(r.firmware));
    out(QStringLiteral("algorithm   %1").arg(r.algorithm_version));
    out(QStringLiteral("effect      %1").arg(r.effect_number));
    out(QStringLiteral("footswitch  short: %1, long: %2").arg(short_press, long_press));
    QStringList slot_texts;
    for (int slot = 0; slot < assign_slot_count; ++slot)
        slot_texts << QStringLiteral("%1 %2").arg(QLatin1String(slot_names[slot]),
                                                  held_by_slot.value(QLatin1String(slot_names[slot])).toString());
    out(QStringLiteral("slots       ") + slot_texts.join(QStringLiteral(", ")));
    out(QStringLiteral("tuning      %1, semitone %2").arg(model.current_tuning).arg(model.semitone_variation));
    if (has_bypass)
        out(QStringLiteral("bypass      %1").arg(r.values[22] ? QStringLiteral("on") : QStringLiteral("off")));
    for (int i = 0; i < parameter_count; ++i) {
        const auto row = ParameterRow(i);
        out(QStringLiteral("%1 0x%2  %3")
                .arg(model.parameter_name(row), -20)
                .arg(hex8(model.value(row)), parameter_readout(row, model.value(row))));
    }
    return exit_ok;
}

int Kq5Ctl::Parts::get(const QStringList &args)
{
    if (args.size() != 1)
        throw Stop{exit_usage, QStringLiteral("usage: kq5ctl get NAME")};
    const ParameterRow row = row_named(args[0]);
    request_status();
    const std::uint32_t word = model.value(row);
    if (options.json)
        out(json_text(QJsonObject{{QStringLiteral("name"), model.parameter_name(row)},
                                  {QStringLiteral("word"), hex8(word)},
                                  {QStringLiteral("value"), value_of(row, word)}}));
    else
        out(QStringLiteral("0x%1  %2").arg(hex8(word), parameter_readout(row, word)));
    return exit_ok;
}

int Kq5Ctl::Parts::set(const QStringList &args)
{
    if (args.size() != 2)
        throw Stop{exit_usage, QStringLiteral("usage: kq5ctl set NAME VALUE [--store]")};
    const ParameterRow row = row_named(args[0]);
    const std::uint32_t word = parse_value(row, args[1]);
    request_status();
    // The effect window's refusals.
    if (row == ParameterRow::first_harmonic)
        throw Stop{exit_refused, QStringLiteral("1st Harmonic only shows the pedal's word; it is never sent")};
    if (model.is_assigned(row))
        throw Stop{exit_refused, fx_text::assigned_refusal};
    if ((row == ParameterRow::dominant_notes_cut || row == ParameterRow::high_notes_cut) && word != 0 &&
        model.current_tuning == no_tuning_index)
        throw Stop{exit_refused, fx_text::no_tuning_for_cut};
    if (!writer.addressed(row, word))
        throw Stop{exit_refused, console.last()};
    send_word(row, word);
    model.set_value(row, word);
    if (options.store)
        send_store();
    if (!options.quiet)
        out(QStringLiteral("%1 = 0x%2").arg(model.parameter_name(row), hex8(word)));
    return exit_ok;
}

int Kq5Ctl::Parts::store()
{
    request_status();
    send_store();
    return exit_ok;
}

int Kq5Ctl::Parts::footswitch(const QStringList &args)
{
    const bool valid = args.size() == 2 &&
                       (args[0] == QLatin1String("short") || args[0] == QLatin1String("long")) &&
                       (args[1] == QLatin1String("bypass") || args[1] == QLatin1String("preset"));
    if (!valid)
        throw Stop{exit_usage, QStringLiteral("usage: kq5ctl footswitch short|long bypass|preset")};
    request_status();
    // The other press keeps what the pedal reported.
    bool short_bypasses = !(decoding.footswitch_mode & 2);
    bool long_bypasses = decoding.footswitch_mode & 1;
    (args[0] == QLatin1String("short") ? short_bypasses : long_bypasses) = args[1] == QLatin1String("bypass");
    const QString text = footswitch_message(short_bypasses, long_bypasses);
    console.print_to_console(assign_text::footswitch_log + text);
    send(text, footswitch_message_size);
    return exit_ok;
}

int Kq5Ctl::Parts::console_command(const QStringList &args)
{
    if (args.isEmpty())
        throw Stop{exit_usage, QStringLiteral("usage: kq5ctl console HEX...")};
    static const QRegularExpression hex_form(QStringLiteral("^([0-9A-Fa-f]{2})+$"));
    for (const QString &a : args)
        if (!hex_form.match(a).hasMatch())
            throw Stop{exit_usage, QStringLiteral("\"%1\" is not a message in hex (pairs of digits)").arg(a)};
    request_status();
    for (const QString &a : args) {
        const QString text = a.toUpper();
        if (link.send_request(QByteArray::fromHex(text.toLatin1())) != LineStatus::Ok)
            fail_from_dialogs(exit_failed, QStringLiteral("the message %1 could not be sent").arg(text));
        // Whatever comes back within 2 s.
        const LineReply reply = link.read_reply(ReplyLimits{2000, 2000, 2000, 65536},
                                                [](const QByteArray &) { return false; });
        out(QStringLiteral("> %1").arg(text));
        if (!reply.bytes.isEmpty())
            out(QStringLiteral("< %1").arg(QString::fromLatin1(reply.bytes.toHex(' ').toUpper())));
    }
    return exit_ok;
}

Kq5Ctl::Kq5Ctl(CtlOptions options) : m(std::make_unique<Parts>(std::move(options)))
{
    const CtlOptions &o = m->options;
    m->dialogs.assume_yes = o.yes;
    // The bridges the system lists, or only the port named.
    auto serial = o.port.isEmpty()
                      ? std::make_unique<SerialPortDriver>()
                      : std::make_unique<SerialPortDriver>(QStringList{o.port}, [] {
                            return QList<SerialPortDriver::SystemPort>{};
                        });
    serial->setLatencyTimer(&m->latency);
    serial->note = [](const QString &line) { err(QStringLiteral("note: ") + line); };
    m->driver.add(std::move(serial));
    if (o.simulator)
        m->driver.add(std::make_unique<SimulatorDriver>());
    m->link.log = [this](const QString &line) { m->console.print_to_console(line); };
    m->decoding.attach(m->connection);
    m->catalogue.read_file_from_stream(QStringLiteral("octave"));
    m->decoding.view.slot_entry = [this](int slot, int entry) {
        if (slot >= 0 && slot < assign_slot_count)
            m->slot_entries[std::size_t(slot)] = entry;
    };
    m->connection.effects.carried_effects = [this] { return int(m->catalogue.resource_lines.size()); };
    m->decoding.effect_image_at = [this](int position) {
        return builtin_effect_image(m->catalogue.resource_lines.value(position));
    };
    const QString newest = m->catalogue.resource_lines.value(0).mid(12, 5).trimmed();
    m->connection.latest_algorithm_version = newest.toInt();
    if (qEnvironmentVariableIsSet("KQ5CTL_CONSOLE")) {
        QObject::connect(&m->console, &ConsoleLog::lineAppended, &m->console,
                         [](const QString &line, bool) { std::fprintf(stderr, "| %s\n", qPrintable(line)); });
    }
}

Kq5Ctl::~Kq5Ctl() = default;

int Kq5Ctl::run()
{
    const QStringList &c = m->options.command;
    try {
        if (c.isEmpty())
            throw Stop{exit_usage, QStringLiteral("no command (see 'kq5ctl --help')")};
        const QString command = c.first();
        const QStringList args = c.mid(1);
        using Parts = Kq5Ctl::Parts;
        struct Command {
            const char *name;
            bool takes_args;
            int (*run)(Parts &, const QStringList &);
        };
        static const Command commands[] = {
            {"list", false, [](Parts &p, const QStringList &) { return p.list(); }},
            {"names", false, [](Parts &p, const QStringList &) { return p.names(); }},
            {"status", false, [](Parts &p, const QStringList &) { return p.status(); }},
            {"get", true, [](Parts &p, const QStringList &a) { return p.get(a); }},
            {"set", true, [](Parts &p, const QStringList &a) { return p.set(a); }},
            {"store", false, [](Parts &p, const QStringList &) { return p.store(); }},
            {"footswitch", true, [](Parts &p, const QStringList &a) { return p.footswitch(a); }},
            {"console", true, [](Parts &p, const QStringList &a) { return p.console_command(a); }},
            {"preset", true, [](Parts &p, const QStringList &a) { return p.preset(a); }},
            {"assign", true, [](Parts &p, const QStringList &a) { return p.assign(a); }},
            {"tuning", true, [](Parts &p, const QStringList &a) { return p.tuning(a); }},
            {"instrument", true, [](Parts &p, const QStringList &a) { return p.instrument(a); }},
            {"midi-channel", true, [](Parts &p, const QStringList &a) { return p.midi_channel(a); }},
            {"effect", true, [](Parts &p, const QStringList &a) { return p.effect(a); }},
            {"firmware", true, [](Parts &p, const QStringList &a) { return p.firmware(a); }},
            {"erase-settings", false, [](Parts &p, const QStringList &) { return p.erase_settings(); }},
        };
        const auto found = std::find_if(std::begin(commands), std::end(commands),
                                        [&](const Command &k) { return command == QLatin1String(k.name); });
        if (found == std::end(commands))
            throw Stop{exit_usage, QStringLiteral("no command \"%1\" (see 'kq5ctl --help')").arg(command)};
        if (!found->takes_args && !args.isEmpty())
            throw Stop{exit_usage, QStringLiteral("%1 takes no arguments").arg(command)};
        const int code = found->run(*m, args);
        if (m->connection.is_linked || m->link.ft_handle)
            m->link.CloseFTDevice();
        return code;
    } catch (const Stop &stop) {
        err(stop.text);
        if (stop.code == exit_usage)
            std::fputs("Try 'kq5ctl --help'.\n", stderr);
        return stop.code;
    }
}

QString Kq5Ctl::help_text()
{
    return QStringLiteral(
        "Usage: kq5ctl [OPTIONS] COMMAND [ARGS]\n"
        "The Quorvane KQ5 pedal from the command line.\n"
        "\n"
        "Options:\n"
        "  --port PATH       the pedal on the serial port PATH\n"
        "  --serial SN       the bridge with serial number SN\n"
        "  --simulator       the virtual pedal, in process\n"
        "  --json            machine-readable output on stdout\n"
        "  --yes             answer the editor's questions with yes\n"
        "  --quiet           say only what was asked for\n"
        "  --store           after set or preset load: store the settings\n"
        "  --resume          firmware upgrade of a pedal waiting in its bootloader\n"
        "  --sysfs-root DIR  where the bridges' latency timers are (default /sys)\n"
        "  --help, --version\n"
        "With no --port, --serial or --simulator the one bridge found is used.\n"
        "\n"
        "Commands:\n"
        "  list                     the bridges, as the editor's Scan finds them\n"
        "  names                    the parameter names, their aliases and values\n"
        "  status                   firmware, algorithm, effect, footswitch, slots,\n"
        "                           tuning, bypass and the fifteen parameters\n"
        "  get NAME                 one parameter's word and value\n"
        "  set NAME VALUE           send a parameter's word; VALUE is 0xWORD (sent\n"
        "                           as given), level:0..1023, step:N, on or off\n"
        "  store                    store the settings on the pedal (asks)\n"
        "  footswitch short|long bypass|preset\n"
        "                           what a press of the footswitch does\n"
        "  assign SLOT NAME|none    what control slot I..IV holds; SLOT remote\n"
        "                           holds bypass, preset or none\n"
        "  tuning upload            send the tuning data (asks)\n"
        "  tuning set N [SEMITONE]  tuning 0..8 (0: none), shift -5..3 (asks)\n"
        "  instrument guitar|bass   the instrument the pedal tracks (asks)\n"
        "  midi-channel omni|1..16  the pedal's MIDI receive channel\n"
        "  effect upload [NAME|FILE.dat]\n"
        "                           upload an effect the tool carries (default the\n"
        "                           newest; 'kq5ctl effect list') or a .dat file\n"
        "  effect list              the effects the tool carries\n"
        "  preset save FILE         the fifteen words in the editor's preset file\n"
        "  preset load FILE         send a preset file's words (--store: store)\n"
        "  firmware list            the firmware images the tool carries\n"
        "  firmware upgrade [N]     write firmware N (default the newest) and start\n"
        "                           it; asks for SHIFT to be held (--resume: no\n"
        "                           status first, the pedal waits in its bootloader)\n"
        "  erase-settings           erase the pedal's settings memory (asks)\n"
        "  console HEX...           send raw messages, print what comes back\n"
        "\n"
        "NAME is a parameter's name or alias, in any case (see 'kq5ctl names').\n"
        "Every command but list, names, effect list, firmware list and firmware\n"
        "upgrade --resume first asks the pedal for its status.\n"
        "A question is refused without --yes when stdin is no terminal.\n"
        "\n"
        "Exit status:\n"
        "  0  success\n"
        "  1  the command line is wrong\n"
        "  2  no pedal, or more than one and none chosen\n"
        "  3  the pedal failed or did not answer\n"
        "  4  refused (a question without --yes, or what the editor refuses)\n");
}

} // namespace quorvane
