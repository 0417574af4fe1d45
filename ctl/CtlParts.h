#pragma once
// What the commands of kq5ctl share: the editor's core put together once
// (drivers, link, connection, parameter model, decoding, writers), the
// pedal's choice and link, and the helpers that print and stop. Each group
// of commands is a file of its own that adds members here.

#include "common/ConsoleLog.h"
#include "ctl/Kq5Ctl.h"
#include "ctl/TerminalDialogs.h"
#include "effects/Catalogue.h"
#include "parameters/DspWriter.h"
#include "parameters/ParameterModel.h"
#include "parameters/StatusDecoding.h"
#include "platform/LatencyTimer.h"
#include "protocol/DeviceConnection.h"
#include "usb/CompositeDriver.h"
#include "usb/D2XXUnit.h"

#include <QObject>
#include <QTimer>

#include <array>
#include <cstdio>
#include <optional>

namespace quorvane {

// A run that ends early: its exit code and the line that says why.
struct Stop {
    int code;
    QString text;
};

inline void out(const QString &text)
{
    std::fputs(qPrintable(text + QLatin1Char('\n')), stdout);
}

inline void err(const QString &text)
{
    std::fputs(qPrintable(QStringLiteral("kq5ctl: ") + text + QLatin1Char('\n')), stderr);
}

struct Kq5Ctl::Parts {
    CtlOptions options;
    LatencyTimer latency;
    CompositeDriver driver;
    TerminalDialogs dialogs;
    ConsoleLog console;
    D2XXUnit link{driver, dialogs};
    DeviceConnection connection{link, console, dialogs};
    ParameterModel model;
    StatusDecoding decoding{model, console};
    Catalogue catalogue{dialogs};
    QObject throttle_parent;
    QTimer throttle_timer;
    DspWriter writer{model, link, console, throttle_timer, &throttle_parent};
    std::optional<StatusReport> report;

    struct Bridge {
        QString serial;
        QString description;
    };

    explicit Parts(CtlOptions o) : options(std::move(o)), latency(options.sysfs_root) {}

    QList<Bridge> bridges();
    Bridge choose_pedal();
    void link_pedal();
    void request_status();
    ParameterRow row_named(const QString &name) const;
    std::uint32_t parse_value(ParameterRow row, const QString &text) const;
    void send_store();
    // Sends a message as the editor does (the transmit queue purged first or not).
    void send(const QString &text, std::uint32_t size, bool purge_tx = false);
    [[noreturn]] void fail_from_dialogs(int code, const QString &fallback);
    // Links to the chosen pedal without asking for its status (for a pedal
    // that waits in its bootloader).
    void link_only() { link_pedal(); }

    int list();
    int names();
    int status();
    int get(const QStringList &args);
    int set(const QStringList &args);
    int store();
    int footswitch(const QStringList &args);
    int console_command(const QStringList &args);
    int preset(const QStringList &args);
    int assign(const QStringList &args);
    int tuning(const QStringList &args);
    int instrument(const QStringList &args);
    int midi_channel(const QStringList &args);
    int effect(const QStringList &args);
    int firmware(const QStringList &args);
    int firmware_list();
    int firmware_upgrade(int version);
    // The command that writes the firmware again into a pedal left in its bootloader.
    QString resume_command(int version) const;
    int erase_settings();
    // Prints the status the pedal last reported, as 'status' does.
    int print_status();
    // After an editor command that asks: exit 4 when its question was refused.
    void check_answered(const QString &what);
    // Sends a row's word as the effect window does (1st Harmonic never).
    void send_word(ParameterRow row, std::uint32_t word);

    // What each control slot's list shows after the status: 0 "Not
    // Assigned", else the entry of slot_rows() (remote: 1 bypass, 2 preset).
    std::array<int, assign_slot_count> slot_entries{};
};

} // namespace quorvane
