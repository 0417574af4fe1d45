#pragma once
// Finding the pedal, linking to it and unlinking, the reception tick, and the
// status report that asks the pedal for everything at once.
//
// The connection drives no window: it reports what happened as signals (the
// bridge's name, each step of the link, the status report as a value), and
// the application decides what its windows show and which commands are
// enabled. The parameter decoders, the effect list and the effect window
// belong to other subsystems; they are reached through the hooks below,
// which the composition root fills in. An unset hook does nothing.

#include "protocol/Exchange.h"
#include "protocol/Reception.h"
#include "protocol/ReplyReader.h"
#include "protocol/TimeLimits.h"

#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <cstdint>
#include <functional>
#include <optional>
#include <vector>

namespace quorvane {

class D2XXUnit;
class ConsoleLog;
class Dialogs;

// The decoders of the parameter block of the status reply; each reads the
// reply's values from its start index on.
struct StatusDecoders {
    using Decoder = std::function<void(const std::vector<std::uint8_t> &values, int start)>;
    Decoder decode_footswitch_mode;
    Decoder decode_assignments;
    Decoder decode_tuning;
    Decoder getBypassStatus;
    Decoder decode_parameter_dump;
};

// The effect list, its image and the effect settings window.
struct EffectHooks {
    // How many effects the list carries, and selecting one by position.
    std::function<int()> carried_effects;
    std::function<void(int)> select_effect;
    // Loads the image of the selected list entry.
    std::function<void()> GetResourceFile;
    // Shows the effect settings window for the loaded effect.
    std::function<void()> OpenEffectWindow;
    // Closes the effect settings window if it is showing.
    std::function<void()> close_effect_window;
    // Enables or disables every control of the effect settings window.
    std::function<void(bool)> enable_effect_controls;
};

// Status reply layout.
constexpr int status_first_decoded_index = 4;

// The head of an accepted status reply, with all its values.
struct StatusReport {
    int firmware = 0;
    QString firmware_version;  // decimal
    QString algorithm_version; // four hex digits
    QString effect_number;     // two hex digits
    std::vector<std::uint8_t> values;
};

// The steps of the link whose outcome the application shows in its commands.
enum class LinkEvent {
    device_listed,       // a Scan found a bridge that can be linked
    linked,              // the link opened
    bootloader_holds,    // at Link, a bootloader answered the hand-shake
    report_accepted,     // a status report was taken in full
    unlinked,            // the link closed (by the user, or the bridge went away)
    device_gone,         // the bridge shown went away while nothing was linked
};

class DeviceConnection : public QObject {
    Q_OBJECT
public:
    DeviceConnection(D2XXUnit &link, ConsoleLog &console, Dialogs &dialogs,
                     QObject *parent = nullptr);

    // Listing and linking.
    void ListDevicesAtStartup();
    void ScanForDevices();
    bool LinkDevice() { return open_link(false); }
    void menuScanClick();
    void ConnectOnClick();
    void menuDisconnectClick();
    void Timer_USB_ReadTimer();

    // The status report.
    void RequestDeviceStatus();
    void btnRequestClick();
    // A status request that only reads the reply: nothing of it is brought
    // into the editor, no window opens, nothing is selected and no signal
    // tells of it. A reply that fails says why, as any request does.
    // Nothing is asked (nullopt) while unlinked, while an exchange waits and
    // while an upgrade has, or is about to have, the line.
    std::optional<StatusReport> request_status_quietly();

    bool exchange_busy() const { return exchange.exchange_busy(); }

    // Closes the link after the bridge went away, whatever the close says,
    // and sets every control as Unlink does.
    void bridge_lost();

    // What hot-plug tells the connection while nothing is linked: a bridge
    // to show (as Scan shows one, without its message), the bridge shown
    // has gone, and linking again to a pedal that came back. The link that
    // comes back opens without a message box when it fails; returns whether
    // it linked.
    void show_listed_bridge(const QString &serial, const QString &description);
    void listed_bridge_gone();
    bool relink();

    ExchangeGuard exchange;
    ReplyReader reader;
    Reception reception;
    QTimer Timer_USB_Read;

    // Connection state.
    QString device_serial_number;
    QString device_description;
    // What the device name shows: "No device found", the bridge's name, with
    // " linked" while linked.
    QString device_name = QStringLiteral("No device found");
    bool is_linked = false;
    bool bootloader_mode = false;
    bool upgrade_mode_pending = false;

    // What the pedal reported last.
    QString device_firmware_version = QStringLiteral("0");
    QString device_algorithm_version;
    QString device_effect_number;

    // The newest firmware and algorithm the editor carries.
    int latest_firmware_version = 10;
    int latest_algorithm_version = 0;

    // The bounds of every exchange; the composition root hands in its table.
    TimeLimits limits;

    StatusDecoders decoders;
    EffectHooks effects;
    // The bootloader hand-shake that follows the open while bootloader_mode
    // is set; returns whether the bootloader acknowledged.
    std::function<bool()> bootloader_handshake;
    // Sets the flag that keeps the effect window's live edits quiet while a
    // requested report fills it.
    std::function<void(bool)> set_updating_from_pedal;

signals:
    void linkChanged(bool linked);
    void linkEvent(quorvane::LinkEvent event);
    void deviceNameChanged(const QString &name);
    // A bridge listed at start-up, for the serial number item.
    void serialListed(const QString &serial);
    // The head of every status reply that holds one, before it is decoded.
    void statusReported(const quorvane::StatusReport &report);
    // The linked bridge went away (before the user is told).
    void bridgeLost(const QString &serial);

private:
    // The status report in three steps: ask and read (nothing when the
    // reply failed, having said why), bring it into the editor (versions,
    // the decoders), and act on it (upgrade notices, the reported effect).
    std::optional<StatusReport> read_status_report();
    void decode_status_report(const StatusReport &report);
    void act_on_status_report(const StatusReport &report);
    void set_device_name(const QString &name);
    // Link's open and its line settings; a quiet one tells a failure only
    // in the console.
    bool open_link(bool quiet);
    // Link after the open: the controls, the bootloader branch, the report.
    void complete_link();
    void unlink_controls();
    void scan_failed(FT_STATUS status);
    void select_effect(int position);

    D2XXUnit &m_link;
    ConsoleLog &m_console;
    Dialogs &m_dialogs;
};

} // namespace quorvane
