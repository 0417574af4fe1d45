#include "firmware/UpgradeProcedure.h"

#include "common/ConsoleLog.h"
#include "common/Preferences.h"
#include "firmware/SettingsErase.h"
#include "platform/Dialogs.h"
#include "platform/Wait.h"
#include "protocol/Sender.h"
#include "protocol/TimeLimits.h"
#include "usb/D2XXUnit.h"


namespace quorvane {

UpgradeProcedure::UpgradeProcedure(D2XXUnit &link, ConsoleLog &console, Dialogs &dialogs,
                                   UpgradeLinkState state)
    : m_link(link), m_console(console), m_dialogs(dialogs), m_state(state), m_client(link, console)
{
    m_client.progress = [this](int value, int maximum) { emit progress(value, maximum); };
}

void UpgradeProcedure::set_mode_checked(bool checked)
{
    m_mode_checked = checked;
    if (hooks.set_upgrade_mode_checked)
        hooks.set_upgrade_mode_checked(checked);
}

void UpgradeProcedure::set_start_enabled(bool enabled)
{
    if (hooks.set_start_upgrade_enabled)
        hooks.set_start_upgrade_enabled(enabled);
}

void UpgradeProcedure::set_request_upload(bool enabled)
{
    if (hooks.set_request_upload_enabled)
        hooks.set_request_upload_enabled(enabled);
}

void UpgradeProcedure::set_tick(bool on)
{
    if (hooks.set_reception_tick)
        hooks.set_reception_tick(on);
}

std::optional<ExchangeGuard::Hold> UpgradeProcedure::hold_exchange()
{
    std::optional<ExchangeGuard::Hold> hold;
    if (m_exchange)
        hold.emplace(*m_exchange);
    return hold;
}

bool UpgradeProcedure::take_line()
{
    std::optional<D2XXUnit::BootloaderSession> session = m_link.acquire_bootloader();
    if (!session)
        return false;
    m_session.emplace(std::move(*session));
    m_client.setSession(&*m_session);
    return true;
}

void UpgradeProcedure::release_line()
{
    m_client.setSession(nullptr);
    m_session.reset();
    m_in_bootloader = false;
}

void UpgradeProcedure::set_in_bootloader(bool on)
{
    // While the session is held the link refuses every message meant for
    // the firmware; the main window disables what would send.
    if (on) {
        m_in_bootloader = true;
    } else {
        release_line();
    }
    if (hooks.bootloader_listening)
        hooks.bootloader_listening(on);
}

void UpgradeProcedure::restore_normal_line()
{
    m_link.SetLinkSettings(link_mode_normal);
    if (m_state.is_linked) {
        m_link.SetFTBaudRate();
        m_link.SetFTDataCharacteristics();
    }
}

void UpgradeProcedure::leave_upgrade_mode()
{
    set_mode_checked(false);
    m_state.bootloader_mode = false;
    m_state.upgrade_mode_pending = false;
    const bool was_in_bootloader = m_in_bootloader;
    set_in_bootloader(false);
    m_needs_resync = false;
    restore_normal_line();
    set_start_enabled(false);
    if (was_in_bootloader)
        set_request_upload(m_state.is_linked);
    emit windowRequested(false);
}

void UpgradeProcedure::menuFirmwareUpgradeModeClick()
{
    if (m_transfer_running) {
        m_dialogs.message(transfer_running_text);
        return;
    }
    if (exchange_busy())
        return; // another exchange waits for its reply
    auto hold = hold_exchange();
    if (m_mode_checked) {
        // Leaving the mode sends nothing; it only puts the pedal's line back.
        leave_upgrade_mode();
        return;
    }
    set_mode_checked(true);
    m_state.bootloader_mode = true;

    bool known = false;
    const int device_version = m_state.device_firmware_version.trimmed().toInt(&known);
    if (!known || device_version < first_firmware_with_upgrade_request) {
        // Older or unknown firmware: the user links while the bootloader runs.
        m_state.upgrade_mode_pending = true;
        return;
    }

    send_bypass(m_link, m_console, true);
    if (m_dialogs.confirm(upgrade_mode_question) == Answer::No) {
        leave_upgrade_mode();
        return;
    }
    send_message(m_link, m_console, upgrade_mode_request_text, 8);
    pause_ms(pauses::after_command_ms);
    if (!m_state.bootloader_mode)
        return;
    handshake(bootloader_connected_text);
}

bool UpgradeProcedure::BootloaderLinkHandshake()
{
    auto hold = hold_exchange(); // nests in the Link exchange
    return handshake(bootloader_linked_text);
}

bool UpgradeProcedure::handshake(const QString &success_text)
{
    // The reception tick would take the bootloader's answer from the queue.
    const bool tick_was_on = hooks.reception_tick_active && hooks.reception_tick_active();
    if (tick_was_on)
        set_tick(false);

    bool ok = false;
    if (m_session || take_line()) {
        m_link.SetLinkSettings(link_mode_bootloader);
        if (m_link.SetFTDataCharacteristics() == FT_OK)
            ok = join_bootloader();
    }
    if (ok) {
        set_in_bootloader(true);
        m_needs_resync = false;
        m_dialogs.message(success_text);
        set_start_enabled(true);
        set_request_upload(false);
    } else {
        release_line();
        m_dialogs.message(bootloader_failed_text);
    }
    if (tick_was_on)
        set_tick(true);
    return ok;
}

bool UpgradeProcedure::join_bootloader()
{
    // Whatever the pedal's firmware sent last must not pass for the answer.
    m_session->purge_receive();
    QString received;
    bool fresh = false;
    if (m_session->transmit(QByteArray(1, char(bootloader_sync))) == LineStatus::Ok) {
        const BootloaderReply &reply = m_client.BootloaderWaitAck(m_client.command_limits);
        received = QString::fromLatin1(reply.bytes.toHex().toUpper());
        fresh = reply.is_ack();
    }
    m_console.print_without_scroll(QStringLiteral("received Byte: ") + received);
    if (fresh)
        return true;
    // A bootloader that a host synchronised before (a failed upgrade, an
    // editor restarted since) takes 0x7F as a command: it answers NACK or
    // nothing. The retry's resynchronisation finds it ready all the same.
    if (m_client.last_reply.status != LineStatus::TimedOut && !m_client.last_reply.is_nack())
        return false;
    if (!m_client.BootloaderResync())
        return false;
    m_console.print_to_console(already_listening_text);
    return true;
}

void UpgradeProcedure::menuStartFirmwareUpgradeClick()
{
    set_tick(false);
    emit windowRequested(true);
}

bool UpgradeProcedure::FirmwareSelect(const QString &item_text)
{
    if (m_transfer_running) {
        m_console.print_to_console(
            QStringLiteral("The firmware image cannot change while it is being written: %1 stays")
                .arg(firmware_resource_name));
        return false;
    }
    firmware_resource_name = item_text;
    const qsizetype length = item_text.size();
    if (length >= 10 && length <= 12) {
        bool ok = false;
        const int version = item_text.right(length - 9).toInt(&ok);
        if (ok)
            firmware_version = version;
    }
    m_console.print_to_console(QStringLiteral("Firmware Version(DEC): %1").arg(firmware_version));
    m_console.print_to_console(firmware_resource_name);
    return true;
}

bool UpgradeProcedure::fail_upgrade(const QString &step, bool saved_report_switch)
{
    m_needs_resync = true;
    m_link.report_usb_errors = saved_report_switch;
    // A stop the user asked for (to quit) is no failure to show.
    if (m_stop_requested)
        m_console.print_to_console(QStringLiteral("Firmware upgrade stopped: ") + m_client.failure);
    else
        m_dialogs.message(upgrade_failed_prefix + m_client.failure);
    set_transfer_running(false);
    emit failed(step, m_client.failure);
    return false;
}

bool UpgradeProcedure::btnUpgradeFirmwareClick()
{
    if (m_transfer_running || exchange_busy())
        return false;
    if (!m_state.bootloader_mode || !m_in_bootloader) {
        m_dialogs.message(upgrade_failed_prefix +
                          QStringLiteral("the pedal's bootloader is not connected; choose Upgrade Mode first"));
        return false;
    }

    // The image and its version are the ones chosen now; the list is
    // closed until the transfer ends.
    const QString image_name = firmware_resource_name;
    const int version = firmware_version;
    const bool verify = m_verify;
    auto hold = hold_exchange();
    const bool saved_report_switch = m_link.report_usb_errors;
    m_link.report_usb_errors = false;
    m_stop_requested = false;
    m_client.stop_requested = false;
    m_client.verify_after_writing = verify;
    set_transfer_running(true);
    if (!verify)
        m_console.print_to_console(QStringLiteral("Verify after writing is off: the image will not be read back"));

    // Nothing is erased before the image is known to fit.
    if (!m_client.LoadFirmwareImage(image_name))
        return fail_upgrade(QStringLiteral("image"), saved_report_switch);
    if (const QString problem = m_client.image_fit_problem(); !problem.isEmpty()) {
        m_client.failure = QStringLiteral("image: ") + problem;
        return fail_upgrade(QStringLiteral("image"), saved_report_switch);
    }
    if (version < 1 || version > 255) {
        m_client.failure = QStringLiteral("version record: %1 is no firmware version").arg(version);
        return fail_upgrade(QStringLiteral("version record"), saved_report_switch);
    }
    // After a failed attempt the bootloader may be anywhere in its command loop.
    if (m_needs_resync && !m_client.BootloaderResync())
        return fail_upgrade(QStringLiteral("resynchronise"), saved_report_switch);

    if (!m_client.SplitFirmwareInChunks())
        return fail_upgrade(QStringLiteral("image"), saved_report_switch);
    if (!m_client.BootloaderEraseAll())
        return fail_upgrade(QStringLiteral("erase"), saved_report_switch);
    if (!m_client.BootloaderWriteFirmware())
        return fail_upgrade(QStringLiteral("write"), saved_report_switch);
    // Read back before the version record: a pedal whose flash differs from
    // the image gets neither the record nor Go, and waits in its bootloader.
    if (verify && !m_client.BootloaderVerifyFirmware())
        return fail_upgrade(QStringLiteral("verify"), saved_report_switch);
    if (!m_client.BootloaderWriteVersion(version))
        return fail_upgrade(QStringLiteral("version record"), saved_report_switch);

    pause_ms(pauses::before_go_ms);
    m_dialogs.message(upgrade_complete_text);
    if (!m_client.BootloaderGo())
        return fail_upgrade(QStringLiteral("go"), saved_report_switch);

    // The pedal runs its new firmware: back to the firmware's line.
    set_transfer_running(false);
    set_in_bootloader(false);
    m_needs_resync = false;
    m_link.report_usb_errors = saved_report_switch;
    m_link.SetLinkSettings(link_mode_normal);
    m_link.SetFTDataCharacteristics();
    // The mode ends after the status report, and also when the report fails.
    struct EndMode {
        UpgradeProcedure &p;
        ~EndMode()
        {
            p.set_tick(true);
            emit p.finished();
            p.set_mode_checked(false);
            p.set_start_enabled(false);
            p.m_state.bootloader_mode = false;
            p.m_state.upgrade_mode_pending = false;
            p.set_request_upload(true);
        }
    } end_mode{*this};
    if (hooks.request_status)
        hooks.request_status();
    return true;
}

void UpgradeProcedure::set_transfer_running(bool on)
{
    m_transfer_running = on;
    emit transferRunning(on);
    if (hooks.transfer_running)
        hooks.transfer_running(on);
}

void UpgradeProcedure::stop_transfer()
{
    if (!m_transfer_running)
        return;
    m_stop_requested = true;
    m_client.stop_requested = true;
    m_console.print_to_console(QStringLiteral("Stopping the firmware upgrade at the next chunk"));
}

void UpgradeProcedure::setVerifyPreferenceFile(const QString &path)
{
    m_verify_file = path;
    const std::optional<QString> text = read_preference_text(path);
    const QString word = text ? text->trimmed() : QString();
    if (text && word != QLatin1String("YES") && word != QLatin1String("NO"))
        m_console.print_to_console(
            QStringLiteral("%1 holds \"%2\", neither YES nor NO: verifying after writing")
                .arg(path, word.left(40)));
    const bool on = word != QLatin1String("NO");
    if (on == m_verify)
        return;
    m_verify = on;
    emit verifyAfterWritingChanged(on);
}

void UpgradeProcedure::setVerifyAfterWriting(bool on)
{
    if (on != m_verify) {
        m_verify = on;
        emit verifyAfterWritingChanged(on);
    }
    if (m_verify_file.isEmpty())
        return;
    const QString error =
        write_preference_text(m_verify_file, on ? QStringLiteral("YES") : QStringLiteral("NO"));
    if (!error.isEmpty())
        m_dialogs.message(error + QStringLiteral("\nThe choice holds until the editor ends."));
}

bool UpgradeProcedure::FormClose()
{
    if (m_transfer_running) {
        m_console.print_to_console(QStringLiteral("The upgrade window stays open until the transfer ends"));
        return false;
    }
    if (m_state.is_linked)
        set_tick(true);
    return true;
}

} // namespace quorvane
