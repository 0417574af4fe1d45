// A long soak of the editor's core against a faulty virtual pedal: status
// requests, live edits, assignments, presets, effect uploads and whole
// firmware upgrades, each exchange with a random fault on the line (silence,
// a reply cut short, extra bytes, a corrupted byte, a NACK, the bridge
// unplugged and plugged in again, a sender that never stops) or, in the
// bootloader, one of the pedal's own (a NACK or a hang at a Write Memory, a
// block stored wrong, a 0x1F behind every ACK). Seeded, so a run repeats.
//
// It checks that every exchange ends within its bound, that the editor never
// says an exchange succeeded when the pedal did not get or give what it
// claims, that the next clean exchange after every failure works, and that
// after every completed upgrade the pedal's flash holds the image exactly.
// A crash ends the run: a run that prints its figures did not crash.
//
//   soak_faulty_pedal [--exchanges N] [--seed S] [--upgrade-share PERCENT]
//
// The pedal is the virtual pedal that kq5-pedal-sim serves, here in
// process and unpaced, so that its faults can change with every exchange and
// fifty whole upgrades take minutes; the editor's exchanges get short
// limits, as the pedal answers at once.

#include "common/ConsoleLog.h"
#include "effects/Catalogue.h"
#include "effects/EffectUpload.h"
#include "firmware/UpgradeProcedure.h"
#include "firmware/UpgradeWiring.h"
#include "parameters/ControlMessages.h"
#include "parameters/DspWriter.h"
#include "parameters/ParameterModel.h"
#include "parameters/StatusDecoding.h"
#include "platform/Wait.h"
#include "presets/PresetFiles.h"
#include "protocol/Codec.h"
#include "protocol/DeviceConnection.h"
#include "simulator/PedalData.h"
#include "simulator/SimulatorDriver.h"
#include "usb/D2XXUnit.h"
#include "support/ScriptedDialogs.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <atomic>
#include <cstdio>
#include <map>
#include <memory>
#include <optional>
#include <random>
#include <thread>

using namespace quorvane;

namespace {

enum class Fault { none, silence, short_reply, extra_bytes, corrupt, nack, unplug, endless,
                   // the bootloader's own
                   nack_at_write, silent_at_write, corrupt_block, extra_after_ack };

const char *fault_name(Fault f)
{
    switch (f) {
    case Fault::none: return "none";
    case Fault::silence: return "silence";
    case Fault::short_reply: return "short reply";
    case Fault::extra_bytes: return "extra bytes";
    case Fault::corrupt: return "corrupted byte";
    case Fault::nack: return "NACK";
    case Fault::unplug: return "unplug";
    case Fault::endless: return "never-ending sender";
    case Fault::nack_at_write: return "NACK at a write";
    case Fault::silent_at_write: return "hang at a write";
    case Fault::corrupt_block: return "block stored wrong";
    case Fault::extra_after_ack: return "0x1F behind ACKs";
    }
    return "?";
}

// The bridge between the editor and the virtual pedal, with the faults of
// the line: each strikes once the exchange has moved `at` bytes.
class FaultyLine : public BridgeDriver {
public:
    explicit FaultyLine(const PedalOptions &options) : pedal(options) {}

    SimulatorDriver pedal;
    std::mt19937 *rng = nullptr;

    void arm(Fault f, qint64 at, int length)
    {
        m_fault = f;
        m_at = at;
        m_length = length;
        m_bytes = 0;
        m_struck = false;
    }
    bool struck() const { return m_struck; }
    bool unplugged() const { return m_unplugged; }
    // The user pulls the cable (a hung pedal is switched off so).
    void pull() { unplug(); }
    // The bridge plugged in again: the pedal, powered by it, starts afresh.
    void replug()
    {
        m_unplugged = false;
        m_to_host.clear();
        pedal.model().powerCycle();
    }

    FT_STATUS listDeviceCount(std::uint32_t &count) override
    {
        if (m_unplugged) {
            count = 0;
            return FT_OK;
        }
        return pedal.listDeviceCount(count);
    }
    FT_STATUS listSerialNumber(std::uint32_t i, char *b) override
    {
        return m_unplugged ? FT_DEVICE_NOT_FOUND : pedal.listSerialNumber(i, b);
    }
    FT_STATUS listDescription(std::uint32_t i, char *b) override
    {
        return m_unplugged ? FT_DEVICE_NOT_FOUND : pedal.listDescription(i, b);
    }
    FT_STATUS openBySerialNumber(const char *s, FT_HANDLE &h) override
    {
        if (m_unplugged)
            return FT_DEVICE_NOT_FOUND;
        if (pedal.isOpen())
            pedal.close(m_handle);
        const FT_STATUS status = pedal.openBySerialNumber(s, h);
        m_handle = h;
        return status;
    }
    FT_STATUS close(FT_HANDLE h) override { return m_unplugged ? FT_IO_ERROR : pedal.close(h); }
    FT_STATUS setBaudRate(FT_HANDLE h, std::uint32_t b) override
    {
        return m_unplugged ? FT_IO_ERROR : pedal.setBaudRate(h, b);
    }
    FT_STATUS setDataCharacteristics(FT_HANDLE h, std::uint8_t w, std::uint8_t s, std::uint8_t p) override
    {
        return m_unplugged ? FT_IO_ERROR : pedal.setDataCharacteristics(h, w, s, p);
    }
    FT_STATUS purge(FT_HANDLE h, std::uint32_t mask) override
    {
        if (m_unplugged)
            return FT_IO_ERROR;
        if (mask & FT_PURGE_RX)
            m_to_host.clear();
        return pedal.purge(h, mask);
    }
    FT_STATUS getQueueStatus(FT_HANDLE h, std::uint32_t &count) override
    {
        pump(h);
        if (m_unplugged)
            return FT_IO_ERROR;
        count = std::uint32_t(m_to_host.size());
        return FT_OK;
    }
    FT_STATUS read(FT_HANDLE h, std::uint8_t *buffer, std::uint32_t toRead, std::uint32_t &bytesRead) override
    {
        pump(h);
        if (m_unplugged)
            return FT_IO_ERROR;
        bytesRead = std::min<std::uint32_t>(toRead, std::uint32_t(m_to_host.size()));
        std::memcpy(buffer, m_to_host.constData(), bytesRead);
        m_to_host.remove(0, bytesRead);
        return FT_OK;
    }
    FT_STATUS write(FT_HANDLE h, const std::uint8_t *buffer, std::uint32_t toWrite, std::uint32_t &written) override
    {
        if (m_unplugged)
            return FT_IO_ERROR;
        // Unplugged part-way through this write: what went before it arrived.
        if (m_fault == Fault::unplug && m_bytes + toWrite > m_at) {
            const auto before = std::uint32_t(std::max<qint64>(m_at - m_bytes, 0));
            std::uint32_t ignored = 0;
            if (before > 0)
                pedal.write(h, buffer, before, ignored);
            unplug();
            return FT_IO_ERROR;
        }
        m_bytes += toWrite;
        return pedal.write(h, buffer, toWrite, written);
    }

private:
    void unplug()
    {
        m_unplugged = true;
        m_struck = true;
        m_to_host.clear();
        pedal.close(m_handle);
    }

    // Moves what the pedal sent through the fault to the host's side.
    void pump(FT_HANDLE h)
    {
        if (m_unplugged)
            return;
        std::uint32_t waiting = 0;
        if (pedal.getQueueStatus(h, waiting) == FT_OK && waiting > 0) {
            std::vector<std::uint8_t> bytes(waiting);
            std::uint32_t got = 0;
            ++m_batch;
            pedal.read(h, bytes.data(), waiting, got);
            for (std::uint32_t i = 0; i < got && !m_unplugged; ++i)
                pass(bytes[i]);
        }
        if (m_fault == Fault::endless && m_struck && m_to_host.size() < bridge_keeps) {
            // As fast as the host asks, up to what the bridge keeps.
            for (int i = 0; i < 8; ++i)
                m_to_host.append("babble\r\n");
        }
    }

    void pass(std::uint8_t b)
    {
        const qint64 index = m_bytes++;
        const bool here = index == m_at;
        switch (m_fault) {
        case Fault::silence:
            if (index >= m_at) {
                m_struck = true;
                return;
            }
            break;
        case Fault::short_reply:
            // The reply breaks off: the rest of what the pedal sent with it
            // is lost; what it sends later comes.
            if (index >= m_at && (!m_struck || m_batch == m_struck_batch)) {
                m_struck = true;
                m_struck_batch = m_batch;
                return;
            }
            break;
        case Fault::extra_bytes:
            if (here) {
                m_struck = true;
                for (int i = 0; i < m_length; ++i)
                    m_to_host.append(char((*rng)() & 0xFF));
            }
            break;
        case Fault::corrupt:
            if (here) {
                m_struck = true;
                b ^= std::uint8_t(1 + (*rng)() % 255);
            }
            break;
        case Fault::nack:
            if (here) {
                m_struck = true;
                b = bootloader_nack;
            }
            break;
        case Fault::unplug:
            if (index >= m_at) {
                unplug();
                return;
            }
            break;
        case Fault::endless:
            if (index >= m_at)
                m_struck = true;
            break;
        default:
            break;
        }
        m_to_host.append(char(b));
    }

    static constexpr qsizetype bridge_keeps = 4096;
    Fault m_fault = Fault::none;
    qint64 m_at = 0;
    int m_length = 0;
    qint64 m_bytes = 0;
    bool m_struck = false;
    qint64 m_batch = 0; // what the pedal had sent at one look
    qint64 m_struck_batch = -1;
    bool m_unplugged = false;
    FT_HANDLE m_handle = 0;
    QByteArray m_to_host;
};

// Short limits: the unpaced pedal answers at once.
TimeLimits soak_limits()
{
    TimeLimits t;
    t.status = {150, 50, 400, t.status.max_bytes};
    t.upload_answer = {300, 50, 500, t.upload_answer.max_bytes};
    t.bootloader_command = {60, 60, 60, 1};
    t.bootloader_erase = {300, 300, 300, 1};
    t.bootloader_read_back = {60, 30, 120, 257};
    return t;
}

qint64 rss_kib()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray &line : status.readAll().split('\n')) {
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

enum class Kind { status, edit, assignment, preset, upload, upgrade };
const char *kind_name(Kind k)
{
    switch (k) {
    case Kind::status: return "status";
    case Kind::edit: return "edit";
    case Kind::assignment: return "assignment";
    case Kind::preset: return "preset";
    case Kind::upload: return "upload";
    case Kind::upgrade: return "upgrade";
    }
    return "?";
}

// What an exchange came to: what the editor said, and whether the pedal's
// side bears it out.
struct Outcome {
    bool reported_success = false;
    bool pedal_agrees = true; // the pedal holds or sent what the editor says
};

class Soak {
public:
    Soak(std::uint32_t seed, int upgrade_share) : m_rng(seed), m_upgrade_share(upgrade_share)
    {
        line.rng = &m_rng;
        link.SetLinkSettings(link_mode_normal);
        connection.limits = soak_limits();
        upload.limits = soak_limits();
        wire_upgrade(procedure, connection);
        procedure.client().command_limits = connection.limits.bootloader_command;
        procedure.client().erase_limits = connection.limits.bootloader_erase;
        procedure.client().read_back_limits = connection.limits.bootloader_read_back;

        decoding.attach(connection);
        catalogue.read_file_from_stream(QStringLiteral("octave"));
        connection.effects.carried_effects = [this] { return int(catalogue.resource_lines.size()); };
        decoding.effect_image_at = [this](int position) {
            return builtin_effect_image(catalogue.resource_lines.value(position));
        };
        connection.latest_algorithm_version = 0; // no upload is asked for
        connection.latest_firmware_version = 9;
        QObject::connect(&connection, &DeviceConnection::statusReported, &connection,
                         [this](const StatusReport &r) { m_report = r; });
        QObject::connect(&upload, &EffectUpload::statusChanged, &upload,
                         [this](const QString &t) { m_upload_status = t; });
        upload.selected_effect_name = [] { return QStringLiteral("Quorvane KQ5 0011"); };
        upload.format_resource_name = [](const QString &name) { return name; };
        upload.load_image = [this](const QString &) { return m_upload_image; };
        line.pedal.model().onLog = [this](const QString &text) {
            if (text.startsWith(QLatin1String("send 55 70 6C 6F 61 64 20 4F 4B")))
                m_pedal_said_upload_ok = true;
        };

        connection.ListDevicesAtStartup();
        connection.ConnectOnClick();
    }

    bool linked() const { return connection.is_linked; }

    FaultyLine line{pedal_options()};
    test::ScriptedDialogs dialogs; // every question answered yes, no file chosen
    ConsoleLog console;
    D2XXUnit link{line, dialogs};
    DeviceConnection connection{link, console, dialogs};
    ParameterModel model;
    StatusDecoding decoding{model, console};
    Catalogue catalogue{dialogs};
    QObject throttle_parent;
    QTimer throttle_timer;
    DspWriter writer{model, link, console, throttle_timer, &throttle_parent};
    QTimer upload_check;
    EffectUpload upload{link, console, dialogs, connection, upload_check};
    UpgradeProcedure procedure{link, console, dialogs, upgrade_link_state(connection)};

    // Figures.
    std::map<Kind, int> exchanges;
    std::map<Fault, int> faults;
    int upgrades_completed = 0;
    int upgrades_attempted = 0;
    int failures = 0;
    int recoveries = 0;
    int recovery_failures = 0;
    int false_successes = 0;
    // A status reply altered on the line (a byte changed, or digits added to
    // a value) that still reads as a valid reply: the reply carries no
    // checksum, so nobody can tell.
    int altered_accepted = 0;
    int over_bound = 0;
    qint64 longest_ms = 0;

    // One clean exchange of each kind, before memory is measured: the
    // parameters' addresses come with the first report, and the first of
    // each kind makes what it keeps for the rest of the run.
    void warm_up()
    {
        for (Kind kind : {Kind::status, Kind::edit, Kind::assignment, Kind::preset, Kind::upload, Kind::upgrade}) {
            if (!clean(kind)) {
                std::fprintf(stderr, "the clean pedal failed a clean %s\n", kind_name(kind));
                std::exit(1);
            }
        }
        upgrades_attempted = upgrades_completed = 0;
    }

    void run(int total)
    {
        int done = 0;
        while (done < total) {
            const Kind kind = pick_kind();
            const Fault fault = pick_fault(kind);
            const Outcome outcome = exchange(kind, fault);
            ++done;
            const bool failed = !outcome.reported_success;
            if (outcome.reported_success && !outcome.pedal_agrees) {
                if ((fault == Fault::corrupt || fault == Fault::extra_bytes) && kind == Kind::status) {
                    ++altered_accepted;
                } else {
                    ++false_successes;
                    std::fprintf(stderr, "FALSE SUCCESS: %s with %s\n", kind_name(kind), fault_name(fault));
                }
            }
            if (failed || line.unplugged() || fault != Fault::none) {
                failures += failed ? 1 : 0;
                // A bootloader that hangs takes nothing until it is switched
                // off and on: the user pulls the cable and plugs it in again.
                if (fault == Fault::silent_at_write && line.pedal.model().mode() == PedalModel::Mode::Bootloader)
                    line.pull();
                recover();
                ++done;
            }
            console.clear();
            dialogs.messages.clear();
            if (done % 500 < 2)
                std::fprintf(stderr, "%d exchanges, %d upgrades completed\n", done, upgrades_completed);
        }
    }

private:
    static PedalOptions pedal_options()
    {
        PedalOptions o;
        o.firmware = 10;
        o.keepLog = false;
        o.restartMs = 20;
        return o;
    }

    Kind pick_kind()
    {
        if (int(m_rng() % 100) < m_upgrade_share)
            return Kind::upgrade;
        static constexpr Kind others[] = {Kind::status, Kind::edit, Kind::assignment, Kind::preset, Kind::upload};
        return others[m_rng() % 5];
    }

    Fault pick_fault(Kind kind)
    {
        // One exchange in four is clean.
        if (m_rng() % 4 == 0)
            return Fault::none;
        static constexpr Fault line_faults[] = {Fault::silence, Fault::short_reply, Fault::extra_bytes,
                                                Fault::corrupt, Fault::nack, Fault::unplug, Fault::endless};
        static constexpr Fault bootloader_faults[] = {Fault::nack_at_write, Fault::silent_at_write,
                                                      Fault::corrupt_block, Fault::extra_after_ack};
        if (kind == Kind::upgrade && m_rng() % 3 == 0)
            return bootloader_faults[m_rng() % 4];
        return line_faults[m_rng() % 7];
    }

    // How far into the exchange a line fault strikes, in bytes.
    qint64 strike_point(Kind kind)
    {
        switch (kind) {
        case Kind::status: return m_rng() % 300;
        case Kind::edit: return m_rng() % 8;
        case Kind::assignment: return m_rng() % 17;
        case Kind::preset: return m_rng() % 40;
        case Kind::upload: return m_rng() % 4600;
        case Kind::upgrade: return m_rng() % 120000;
        }
        return 0;
    }

    // The bound of an exchange: what its waits may take, with room for the
    // machine's own delays.
    qint64 bound_ms(Kind kind) const
    {
        const TimeLimits &t = connection.limits;
        const qint64 slack = 1000;
        switch (kind) {
        case Kind::status: return t.status.total_ms + slack;
        case Kind::edit:
        case Kind::assignment:
        case Kind::preset: return pauses::dial_throttle_ms + assign_settle_ms + slack;
        case Kind::upload:
            return pauses::upload_bypass_ms + t.upload_answer.total_ms + t.status.total_ms + slack;
        case Kind::upgrade: {
            // Status, the mode request and the restart, the hand-shake, then
            // for each chunk its write (three answers) and its read-back
            // (three), the erase, the version record and Go.
            const qint64 chunks = firmware_max_chunks;
            return t.status.total_ms * 2 + pauses::after_command_ms + 2000 + t.bootloader_erase.total_ms +
                   chunks * (3 * t.bootloader_command.total_ms + 2 * t.bootloader_command.total_ms +
                             t.bootloader_read_back.total_ms) +
                   10 * t.bootloader_command.total_ms + slack;
        }
        }
        return slack;
    }

    Outcome exchange(Kind kind, Fault fault)
    {
        ++exchanges[kind];
        ++faults[fault];
        PedalFaults &pedal_faults = line.pedal.model().faults();
        const int write_from = line.pedal.model().bootloader().writeCount();
        switch (fault) {
        case Fault::nack_at_write:
            pedal_faults.set(PedalFault::NackAtWrite, qint64(write_from + int(m_rng() % 200)));
            break;
        case Fault::silent_at_write:
            pedal_faults.set(PedalFault::SilentAtWrite, qint64(write_from + int(m_rng() % 200)));
            break;
        case Fault::corrupt_block:
            pedal_faults.set(PedalFault::CorruptBlock, qint64(write_from + int(m_rng() % 200)));
            break;
        case Fault::extra_after_ack:
            pedal_faults.set(PedalFault::ExtraAfterAck);
            break;
        default:
            line.arm(fault, strike_point(kind), 1 + int(m_rng() % 64));
            break;
        }

        QElapsedTimer clock;
        clock.start();
        Outcome outcome = run_exchange(kind);
        const qint64 ms = clock.elapsed();
        longest_ms = std::max(longest_ms, ms);
        if (ms > bound_ms(kind)) {
            ++over_bound;
            std::fprintf(stderr, "OVER BOUND: %s with %s took %lld ms\n", kind_name(kind), fault_name(fault),
                         static_cast<long long>(ms));
        }

        line.arm(Fault::none, 0, 0);
        for (PedalFault f : {PedalFault::NackAtWrite, PedalFault::SilentAtWrite, PedalFault::CorruptBlock,
                             PedalFault::ExtraAfterAck})
            pedal_faults.clear(f);
        return outcome;
    }

    // A text that is no number ends the command it came in and is shown by
    // the editor's error report (the event loop goes on): here it ends the
    // exchange, which reports what it had come to.
    template <class Step> static void shown_by_error_report(Step step)
    {
        try {
            step();
        } catch (const ConversionError &) {
        }
    }

    Outcome run_exchange(Kind kind)
    {
        dialogs.messages.clear();
        switch (kind) {
        case Kind::status: return status();
        case Kind::edit: return edit();
        case Kind::assignment: return assignment();
        case Kind::preset: return preset();
        case Kind::upload: return upload_effect();
        case Kind::upgrade: return upgrade();
        }
        return {};
    }

    // A clean exchange of this kind; whether it worked.
    bool clean(Kind kind)
    {
        line.arm(Fault::none, 0, 0);
        m_clean = true;
        const Outcome o = run_exchange(kind);
        m_clean = false;
        return o.reported_success && o.pedal_agrees;
    }

    // After a failure or a fault: the bridge back in, the editor linked
    // again as hot-plug links it, and one clean exchange that must work.
    void recover()
    {
        ++recoveries;
        if (line.unplugged()) {
            if (connection.is_linked)
                connection.bridge_lost(); // what the reception tick finds
            line.replug();
        }
        bool ok = false;
        if (line.pedal.model().mode() == PedalModel::Mode::Bootloader || procedure.pedal_in_bootloader()) {
            ++exchanges[Kind::upgrade];
            ok = resume_upgrade();
        } else {
            if (connection.bootloader_mode)
                procedure.leave_upgrade_mode();
            if (!connection.is_linked)
                shown_by_error_report([this] { connection.relink(); });
            ++exchanges[Kind::status];
            ok = clean(Kind::status);
        }
        if (!ok) {
            ++recovery_failures;
            std::fprintf(stderr, "RECOVERY FAILED (pedal mode %d, linked %d, bootloader mode %d): %s\n",
                         int(line.pedal.model().mode()), int(connection.is_linked), int(connection.bootloader_mode),
                         qPrintable(dialogs.messages.join(QStringLiteral(" | "))));
            // Start the editor's side afresh so that the run goes on.
            std::exit(2);
        }
    }

    std::vector<std::uint8_t> pedal_status()
    {
        std::vector<std::uint8_t> values;
        for (int v : line.pedal.model().statusValues())
            values.push_back(std::uint8_t(v % 256));
        return values;
    }

    std::uint32_t pedal_word(ParameterRow row)
    {
        const std::vector<std::uint8_t> v = pedal_status();
        const std::size_t first = v[0] >= bypass_state_firmware ? 23 : 22;
        const std::size_t at = first + 4 * std::size_t(int(row));
        return std::uint32_t(v[at]) << 24 | std::uint32_t(v[at + 1]) << 16 | std::uint32_t(v[at + 2]) << 8 | v[at + 3];
    }

    Outcome status()
    {
        m_report.reset();
        shown_by_error_report([this] { connection.RequestDeviceStatus(); });
        Outcome o;
        o.reported_success = m_report.has_value();
        if (m_report) {
            const std::vector<std::uint8_t> truth = pedal_status();
            const std::vector<std::uint8_t> &got = m_report->values;
            o.pedal_agrees = got.size() >= truth.size() && std::equal(truth.begin(), truth.end(), got.begin());
            if (!o.pedal_agrees && qEnvironmentVariableIsSet("SOAK_DEBUG")) {
                std::size_t i = 0;
                while (i < truth.size() && i < got.size() && truth[i] == got[i])
                    ++i;
                std::fprintf(stderr, "status differs: %zu values for %zu, first at %zu\n", got.size(), truth.size(), i);
            }
        }
        return o;
    }

    static constexpr ParameterRow level_rows[] = {ParameterRow::dry, ParameterRow::sub_mix,
                                                  ParameterRow::minus_1_oct, ParameterRow::minus_2_oct};

    Outcome edit()
    {
        const ParameterRow row = level_rows[m_rng() % 4];
        const std::uint32_t word = std::uint32_t(m_rng() % 1024) << 13;
        writer.write_now(row, word);
        // A write the bridge fails is shown in a message box.
        Outcome o;
        o.reported_success = dialogs.messages.isEmpty();
        o.pedal_agrees = pedal_word(row) == word;
        return o;
    }

    Outcome assignment()
    {
        std::array<std::optional<ParameterRow>, 4> buttons;
        for (int s = 0; s < 2; ++s) {
            const std::vector<ParameterRow> &rows = slot_rows(s);
            const std::size_t pick = m_rng() % (rows.size() + 1);
            model.slot_assigned[std::size_t(s)] = pick > 0;
            if (pick > 0)
                buttons[std::size_t(s)] = rows[pick - 1];
        }
        model.slot_assigned[2] = model.slot_assigned[3] = false;
        const int remote = int(m_rng() % 3);
        model.slot_assigned[4] = remote > 0;
        const QString text = assign_message(model, buttons,
                                            remote == 1   ? RemoteFunction::bypass
                                            : remote == 2 ? RemoteFunction::change_preset
                                                          : RemoteFunction::none);
        const QByteArray bytes = QByteArray::fromHex(text.toLatin1());
        Outcome o;
        o.reported_success = bytes.size() == int(assign_message_size) && link.transmit(bytes, true) == LineStatus::Ok;
        if (o.reported_success) {
            pause_ms(assign_settle_ms);
            const std::vector<std::uint8_t> v = pedal_status();
            o.pedal_agrees = std::equal(bytes.begin() + 1, bytes.begin() + 6, v.begin() + 5,
                                        [](char a, std::uint8_t b) { return std::uint8_t(a) == b; });
        }
        return o;
    }

    Outcome preset()
    {
        QStringList lines;
        for (int i = 0; i < parameter_count; ++i) {
            const auto row = ParameterRow(i);
            const bool level = std::find(std::begin(level_rows), std::end(level_rows), row) != std::end(level_rows);
            lines << (level ? hex8(qint64(m_rng() % 1024) << 13) : QStringLiteral("-"));
        }
        const std::optional<PresetApplied> applied = apply_preset_text(model, lines.join(QLatin1Char('\r')));
        Outcome o;
        if (!applied)
            return o;
        for (const auto &[row, word] : applied->changed)
            writer.write_now(row, word);
        o.reported_success = dialogs.messages.isEmpty();
        if (o.reported_success) {
            for (const auto &[row, word] : applied->changed)
                o.pedal_agrees = o.pedal_agrees && pedal_word(row) == word;
        }
        return o;
    }

    Outcome upload_effect()
    {
        QByteArray image = PedalModel::builtInEffectImage(11);
        // One upload in four (never a clean one) sends an image the pedal refuses.
        const bool broken = !m_clean && m_rng() % 4 == 0;
        if (broken)
            image[image.size() / 2] = char(image[image.size() / 2] ^ 0x40);
        m_upload_image = QString::fromLatin1(image.toHex().toUpper());
        m_upload_status.clear();
        m_pedal_said_upload_ok = false;
        shown_by_error_report([this] { upload.btnUploadClick(); });
        Outcome o;
        o.reported_success = m_upload_status.startsWith(QLatin1String("Upload OK"));
        o.pedal_agrees = m_pedal_said_upload_ok && !broken;
        return o;
    }

    // A whole upgrade from the running firmware, to the other of 9 and 10.
    Outcome upgrade()
    {
        ++upgrades_attempted;
        const int version = line.pedal.model().firmwareVersion() == 10 ? 9 : 10;
        shown_by_error_report([this] { procedure.menuFirmwareUpgradeModeClick(); });
        if (!procedure.pedal_in_bootloader())
            return {};
        return write_firmware(version);
    }

    Outcome write_firmware(int version)
    {
        procedure.FirmwareSelect(QStringLiteral("Firmware_%1").arg(version));
        Outcome o;
        shown_by_error_report([&] { o.reported_success = procedure.btnUpgradeFirmwareClick(); });
        if (o.reported_success) {
            ++upgrades_completed;
            const QByteArray image = PedalModel::builtInFirmwareImage(version);
            const QByteArray &flash = line.pedal.model().flash();
            o.pedal_agrees = flash.left(image.size()) == image &&
                             line.pedal.model().mode() == PedalModel::Mode::Firmware &&
                             line.pedal.model().firmwareVersion() == version;
        }
        return o;
    }

    // A pedal left in its bootloader: linked again in upgrade mode and the
    // firmware written anew, as "kq5ctl firmware upgrade --resume" does.
    bool resume_upgrade()
    {
        line.arm(Fault::none, 0, 0);
        ++upgrades_attempted;
        if (!procedure.pedal_in_bootloader() || !connection.is_linked) {
            shown_by_error_report([this] {
                if (!connection.bootloader_mode)
                    procedure.menuFirmwareUpgradeModeClick();
                if (!connection.is_linked)
                    connection.LinkDevice();
                if (!procedure.pedal_in_bootloader())
                    procedure.BootloaderLinkHandshake();
            });
        }
        if (!procedure.pedal_in_bootloader())
            return false;
        const Outcome o = write_firmware(10);
        return o.reported_success && o.pedal_agrees;
    }

    std::mt19937 m_rng;
    int m_upgrade_share;
    std::optional<StatusReport> m_report;
    QString m_upload_status;
    QString m_upload_image;
    bool m_pedal_said_upload_ok = false;
    bool m_clean = false;
};

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Soak of the editor's core against a faulty virtual pedal."));
    parser.addHelpOption();
    const QCommandLineOption exchanges_option(QStringLiteral("exchanges"), QStringLiteral("Exchanges to run."),
                                              QStringLiteral("N"), QStringLiteral("10000"));
    const QCommandLineOption seed_option(QStringLiteral("seed"), QStringLiteral("Random seed."), QStringLiteral("S"),
                                         QStringLiteral("1"));
    const QCommandLineOption share_option(QStringLiteral("upgrade-share"),
                                          QStringLiteral("Percent of the exchanges that are whole upgrades."),
                                          QStringLiteral("PERCENT"), QStringLiteral("2"));
    parser.addOptions({exchanges_option, seed_option, share_option});
    parser.process(app);
    const int total = parser.value(exchanges_option).toInt();
    const auto seed = std::uint32_t(parser.value(seed_option).toUInt());

    // A watchdog: an exchange that never ends is a hang, reported as such.
    std::atomic<qint64> heartbeat{0};
    std::atomic<bool> finished{false};
    QElapsedTimer since_start;
    since_start.start();
    std::thread watchdog([&] {
        while (!finished) {
            std::this_thread::sleep_for(std::chrono::seconds(1));
            if (since_start.elapsed() - heartbeat > 120000) {
                std::fprintf(stderr, "HANG: no exchange ended for 120 s\n");
                std::_Exit(3);
            }
        }
    });

    Soak soak(seed, parser.value(share_option).toInt());
    if (!soak.linked()) {
        std::fprintf(stderr, "the virtual pedal could not be linked\n");
        return 1;
    }
    QObject::connect(&soak.console, &ConsoleLog::lineAppended, &soak.console,
                     [&] { heartbeat = since_start.elapsed(); });
    soak.warm_up();
    const qint64 rss_start = rss_kib();
    QElapsedTimer clock;
    clock.start();
    soak.run(total);
    const qint64 rss_end = rss_kib();
    finished = true;
    watchdog.join();

    int all = 0;
    for (const auto &[kind, n] : soak.exchanges)
        all += n;
    std::printf("soak: seed %u, %d exchanges in %.1f s\n", seed, all, clock.elapsed() / 1000.0);
    for (const auto &[kind, n] : soak.exchanges)
        std::printf("  %-11s %d\n", kind_name(kind), n);
    std::printf("faults:\n");
    for (const auto &[fault, n] : soak.faults)
        std::printf("  %-20s %d\n", fault_name(fault), n);
    std::printf("upgrades completed: %d of %d begun (each checked against the pedal's flash)\n",
                soak.upgrades_completed, soak.upgrades_attempted);
    std::printf("exchanges reported failed: %d; clean exchanges after a failure or fault: %d, failed: %d\n",
                soak.failures, soak.recoveries, soak.recovery_failures);
    std::printf("hangs (over bound): %d, longest exchange %lld ms\n", soak.over_bound,
                static_cast<long long>(soak.longest_ms));
    std::printf("crashes: 0 (the run ended)\n");
    std::printf("false successes: %d\n", soak.false_successes);
    std::printf("status replies altered on the line that still read as valid (the reply has no checksum): %d\n",
                soak.altered_accepted);
    std::printf("RSS after the warm-up %lld KiB, at the end %lld KiB, growth %lld KiB\n", static_cast<long long>(rss_start),
                static_cast<long long>(rss_end), static_cast<long long>(rss_end - rss_start));
    const bool ok = soak.over_bound == 0 && soak.false_successes == 0 && soak.recovery_failures == 0 &&
                    rss_end - rss_start < 5 * 1024;
    return ok ? 0 : 1;
}
