#pragma once
// The firmware upgrade as the user runs it: "Upgrade Mode" and the bootloader
// hand-shake, the bootloader branch of Link, "Start Firmware Upgrade", and the
// upgrade itself from the upgrade window. The main window hands in the link,
// the console, the dialogs, the connection's flags and a few hooks.
//
// From the hand-shake until the upgrade completes or the mode is left, the
// procedure holds the link's bootloader session: the link then refuses every
// other writer, and pedal_in_bootloader() is true once the bootloader answered.
//
// The procedure drives no window: it reports its progress, a failure (with
// its step and reason), its end, a running transfer and whether the upgrade
// window is wanted as signals, which the upgrade window follows.

#include "firmware/FirmwareUpgrade.h"
#include "protocol/Exchange.h"
#include "usb/D2XXUnit.h"

#include <QObject>
#include <QString>

#include <functional>
#include <optional>

namespace quorvane {

class D2XXUnit;
class ConsoleLog;
class Dialogs;

// The connection's flags, owned by the connection.
struct UpgradeLinkState {
    bool &is_linked;
    bool &bootloader_mode;
    bool &upgrade_mode_pending;
    // The firmware version the pedal last reported, "0" before any report.
    QString &device_firmware_version;
};

// What the upgrade needs of the main window; unset hooks are skipped.
struct UpgradeHooks {
    std::function<void(bool)> set_upgrade_mode_checked;   // "Upgrade Mode" check mark
    std::function<void(bool)> set_start_upgrade_enabled;  // "Start Firmware Upgrade"
    std::function<void(bool)> set_request_upload_enabled; // "Request" and "Upload Selected"
    std::function<bool()> reception_tick_active;          // Timer_USB_Read running?
    std::function<void(bool)> set_reception_tick;         // Timer_USB_Read on/off
    std::function<void()> request_status;                 // the status request
    // From a successful hand-shake until the mode ends: every command that
    // would send to the firmware is disabled.
    std::function<void(bool)> bootloader_listening;
    // While the image is written.
    std::function<void(bool)> transfer_running;
};

inline const QString upgrade_mode_question = QStringLiteral(
    "To enter Firmware Upgrade Mode keep SHIFT button on the pedal pressed while clicking YES.");
inline const QString bootloader_connected_text = QStringLiteral(
    "Connection to bootloader succeeded. Release SHIFT button and go to Upgrade Firmware menu and "
    "click Start Firmware Upgrade.");
inline const QString bootloader_linked_text =
    QStringLiteral("Connection to bootloader succeeded, ready for firmware upgrade");
inline const QString bootloader_failed_text = QStringLiteral("Connection to bootloader failed");
inline const QString already_listening_text =
    QStringLiteral("The bootloader was already listening: joined it by resynchronising.");
inline const QString upgrade_complete_text =
    QStringLiteral("Firmware Upgrade Complete, device will now restart");
inline const QString upgrade_failed_prefix = QStringLiteral("Firmware upgrade failed: ");
inline const QString quit_during_upgrade_question =
    QStringLiteral("A firmware upgrade is running. Stop it and quit?");
inline const QString transfer_running_text =
    QStringLiteral("A firmware transfer is running: wait for it to end.");
// The request that makes the pedal's firmware (9 or newer) start its bootloader.
inline const QString upgrade_mode_request_text = QStringLiteral("0500010203040506");

class UpgradeProcedure : public QObject {
    Q_OBJECT
public:
    UpgradeProcedure(D2XXUnit &link, ConsoleLog &console, Dialogs &dialogs, UpgradeLinkState state);

    UpgradeHooks hooks;

    // The connection's guard of request-and-reply exchanges: held through the
    // hand-shake and the transfer, and asked before either starts.
    void setExchangeGuard(ExchangeGuard *guard) { m_exchange = guard; }

    FirmwareUpgrade &client() { return m_client; }

    // Main window: "Firmware Upgrade" → "Upgrade Mode".
    void menuFirmwareUpgradeModeClick();
    // The bootloader branch of Link, run after the open step while
    // bootloader_mode is set. Returns whether the bootloader answered ACK.
    bool BootloaderLinkHandshake();
    // Main window: "Firmware Upgrade" → "Start Firmware Upgrade".
    void menuStartFirmwareUpgradeClick();

    // Upgrade window.
    // Takes the list's choice; refused (false) while a transfer runs: the
    // image being written and its version record stay as chosen.
    bool FirmwareSelect(const QString &item_text);
    // The upgrade; returns whether it completed.
    bool btnUpgradeFirmwareClick();
    // Closing the window: refused (false) while a transfer runs.
    bool FormClose();
    // Ends a running transfer at the next chunk boundary, as a failure that
    // leaves the pedal in its bootloader for a later retry; nothing is shown.
    void stop_transfer();
    // Leaves the upgrade mode: the line back to the firmware's settings,
    // nothing sent (the pedal stays where it is).
    void leave_upgrade_mode();

    // "Verify after writing": whether the upgrade reads the image back and
    // compares it before the version record and Go. On unless the user
    // turned it off; a transfer keeps the choice it started with.
    bool verify_after_writing() const { return m_verify; }
    // The user's choice, kept in the preference file when one is set. When
    // the file cannot be written the user is told, and the choice holds
    // until the editor ends.
    void setVerifyAfterWriting(bool on);
    // The file that keeps the choice between runs ("YES" or "NO"), read at
    // once: "NO" turns verification off; no file, or anything else in it,
    // leaves it on.
    void setVerifyPreferenceFile(const QString &path);

    bool upgrade_mode_checked() const { return m_mode_checked; }
    bool transfer_running() const { return m_transfer_running; }
    bool pedal_in_bootloader() const { return m_in_bootloader; }

    QString firmware_resource_name;
    int firmware_version = 0;

    // The pedal firmware from which "Upgrade Mode" asks the pedal itself to
    // start its bootloader; older pedals are linked while already in it.
    static constexpr int first_firmware_with_upgrade_request = 9;

signals:
    // Chunks of the image written so far, and read back when verifying, of
    // `maximum` (twice the chunks when verifying, each counted once written
    // and once read back).
    void progress(int value, int maximum);
    // The upgrade stopped at `step` ("image", "version record",
    // "resynchronise", "erase", "write", "verify", "go") for `reason`; the
    // pedal stays in its bootloader for a retry.
    void failed(const QString &step, const QString &reason);
    // "Verify after writing" changed (the user, or the preference file).
    void verifyAfterWritingChanged(bool on);
    // The new firmware runs and the mode has ended.
    void finished();
    // A transfer started (true) or ended (false).
    void transferRunning(bool on);
    // "Start Firmware Upgrade" wants the upgrade window shown; leaving the
    // mode wants it closed.
    void windowRequested(bool shown);

private:
    bool handshake(const QString &success_text);
    // Sends the synchronisation byte; a bootloader synchronised before is
    // joined by resynchronising. Returns whether it is ready.
    bool join_bootloader();
    bool take_line();
    void release_line();
    bool exchange_busy() const { return m_exchange && m_exchange->exchange_busy(); }
    std::optional<ExchangeGuard::Hold> hold_exchange();
    void restore_normal_line();
    void set_in_bootloader(bool on);
    bool fail_upgrade(const QString &step, bool saved_report_switch);
    void set_mode_checked(bool checked);
    void set_transfer_running(bool on);
    void set_start_enabled(bool enabled);
    void set_request_upload(bool enabled);
    void set_tick(bool on);

    D2XXUnit &m_link;
    ConsoleLog &m_console;
    Dialogs &m_dialogs;
    UpgradeLinkState m_state;
    FirmwareUpgrade m_client;
    std::optional<D2XXUnit::BootloaderSession> m_session;
    ExchangeGuard *m_exchange = nullptr;

    bool m_mode_checked = false;
    bool m_in_bootloader = false;
    bool m_transfer_running = false;
    bool m_needs_resync = false;
    bool m_stop_requested = false;
    bool m_verify = true;
    QString m_verify_file;
};

} // namespace quorvane
