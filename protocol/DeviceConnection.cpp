#include "protocol/DeviceConnection.h"

#include "common/ConsoleLog.h"
#include "platform/Dialogs.h"
#include "platform/Wait.h"
#include "protocol/Codec.h"
#include "protocol/Sender.h"
#include "usb/D2XXUnit.h"


namespace quorvane {

namespace {

const QString linked_suffix = QStringLiteral(" linked");
const QString no_device = QStringLiteral("No device found");
const QString link_failed_text = QStringLiteral("No status reply: the link to the pedal failed.");

// A text of decimal digits as a number; anything else raises the conversion
// error (a nibble of 10 or more in a version field, for instance).
int decimal_of(const QString &text)
{
    bool ok = false;
    const int value = text.toInt(&ok, 10);
    if (!ok || text.isEmpty() || text.front() == u'+' || text.front() == u'-')
        throw ConversionError(QStringLiteral("'%1' is not a valid integer value").arg(text));
    return value;
}

} // namespace

DeviceConnection::DeviceConnection(D2XXUnit &link, ConsoleLog &console, Dialogs &dialogs,
                                   QObject *parent)
    : QObject(parent),
      reader(link, console),
      reception(link, console, exchange),
      m_link(link),
      m_console(console),
      m_dialogs(dialogs)
{
    Timer_USB_Read.setObjectName(QStringLiteral("Timer_USB_Read"));
    Timer_USB_Read.setInterval(receive_tick_interval_ms);
    connect(&Timer_USB_Read, &QTimer::timeout, this, &DeviceConnection::Timer_USB_ReadTimer);
    reception.is_linked = [this] { return is_linked; };
    reception.on_bridge_lost = [this] { bridge_lost(); };
}

void DeviceConnection::ListDevicesAtStartup()
{
    if (m_link.GetFTDeviceCount() != FT_OK || m_link.ft_device_count == 0)
        return;
    for (std::uint32_t index = 0; index < m_link.ft_device_count; ++index) {
        if (m_link.GetFTDeviceSerialNo(index) != FT_OK)
            continue;
        const QString serial = m_link.ft_list_text;
        if (m_link.GetFTDeviceDescription(index) != FT_OK)
            continue;
        emit serialListed(serial);
        device_serial_number = serial;
        device_description = m_link.ft_list_text;
        set_device_name(device_description);
    }
}

void DeviceConnection::ScanForDevices()
{
    set_device_name(QStringLiteral("Device Name"));
    std::uint32_t count = 0;
    if (const FT_STATUS status = m_link.GetFTDeviceCount(); status != FT_OK) {
        scan_failed(status);
        return;
    }
    count = m_link.ft_device_count;
    m_console.print_to_console(QStringLiteral("FT device count: %1").arg(count));
    if (count == 0) {
        m_dialogs.message(no_device);
        set_device_name(no_device);
        return;
    }
    bool listed = false;
    FT_STATUS last_failure = FT_OK;
    for (std::uint32_t index = 0; index < count; ++index) {
        // A bridge whose serial number or description cannot be read is
        // passed over: the previous bridge's text must not stand for it.
        if (const FT_STATUS status = m_link.GetFTDeviceSerialNo(index); status != FT_OK) {
            last_failure = status;
            continue;
        }
        const QString serial = m_link.ft_list_text;
        m_console.print_to_console(QStringLiteral("FT_Device_String: ") + serial);
        if (const FT_STATUS status = m_link.GetFTDeviceDescription(index); status != FT_OK) {
            last_failure = status;
            continue;
        }
        device_serial_number = serial;
        device_description = m_link.ft_list_text;
        set_device_name(device_description);
        m_dialogs.message(device_description + QStringLiteral(" found, click Link"));
        emit linkEvent(LinkEvent::device_listed);
        listed = true;
    }
    if (!listed) {
        set_device_name(no_device);
        if (last_failure != FT_OK)
            scan_failed(last_failure);
    }
}

void DeviceConnection::scan_failed(FT_STATUS status)
{
    // Told whatever the report switch says: the user asked for the scan.
    QString reason = ft_status_text(status).trimmed();
    if (reason.startsWith(QLatin1String("- ")))
        reason.remove(0, 2);
    const QString text = QStringLiteral("Scan failed: ") + reason;
    m_console.print_to_console(text);
    m_dialogs.message(text);
    set_device_name(no_device);
}

void DeviceConnection::set_device_name(const QString &name)
{
    device_name = name;
    emit deviceNameChanged(name);
}

bool DeviceConnection::open_link(bool quiet)
{
    m_console.print_to_console(QStringLiteral("serial number: ") + device_serial_number);
    const bool report_switch = m_link.report_usb_errors;
    if (quiet)
        m_link.report_usb_errors = false;
    const FT_STATUS opened = m_link.Open_USB_Device_By_Serial_Number(device_serial_number);
    m_link.report_usb_errors = report_switch;
    if (opened != FT_OK) {
        // Whatever the report switch says, a link that did not open is told.
        const QString text = QStringLiteral("Could not open ") + device_description;
        if (quiet)
            m_console.print_to_console(text + ft_status_text(opened));
        else
            m_dialogs.message(text);
        return false;
    }
    if (!device_name.endsWith(linked_suffix))
        set_device_name(device_name + linked_suffix);
    m_link.SetFTBaudRate();
    m_link.SetFTDataCharacteristics();
    m_console.print_to_console(
        QStringLiteral("FT_HANDLE: 0x%1").arg(QString::number(m_link.ft_handle, 16).toUpper(), 8, QLatin1Char('0')));
    m_console.print_without_scroll(QStringLiteral("baud rate = %1").arg(m_link.link_baud_rate));
    return true;
}

void DeviceConnection::menuScanClick()
{
    exchange.run_exclusive([this] { ScanForDevices(); });
}

void DeviceConnection::ConnectOnClick()
{
    exchange.run_exclusive([this] {
        if (!is_linked && LinkDevice())
            complete_link();
    });
}

bool DeviceConnection::relink()
{
    bool linked = false;
    exchange.run_exclusive([this, &linked] {
        if (is_linked || bootloader_mode || !open_link(true))
            return;
        linked = true;
        complete_link();
    });
    return linked;
}

void DeviceConnection::complete_link()
{
    is_linked = true;
    reception.reset();
    emit linkEvent(LinkEvent::linked);
    if (effects.enable_effect_controls)
        effects.enable_effect_controls(true);
    Timer_USB_Read.start();
    emit linkChanged(true);
    // The bootloader branch: a pedal that answered as a bootloader holds
    // the line, and gets nothing meant for its firmware.
    const bool bootloader_ready = bootloader_mode && bootloader_handshake && bootloader_handshake();
    if (bootloader_ready)
        emit linkEvent(LinkEvent::bootloader_holds);
    if (!upgrade_mode_pending && !bootloader_ready)
        RequestDeviceStatus();
}

void DeviceConnection::show_listed_bridge(const QString &serial, const QString &description)
{
    if (is_linked)
        return;
    device_serial_number = serial;
    device_description = description;
    set_device_name(description);
    emit linkEvent(LinkEvent::device_listed);
}

void DeviceConnection::listed_bridge_gone()
{
    if (is_linked)
        return;
    set_device_name(no_device);
    emit linkEvent(LinkEvent::device_gone);
}

void DeviceConnection::unlink_controls()
{
    QString name = device_name;
    name.remove(linked_suffix);
    set_device_name(name);
    emit linkEvent(LinkEvent::unlinked);
    if (effects.enable_effect_controls)
        effects.enable_effect_controls(false);
    is_linked = false;
    Timer_USB_Read.stop();
    reception.reset();
    emit linkChanged(false);
}

void DeviceConnection::menuDisconnectClick()
{
    exchange.run_exclusive([this] {
        if (m_link.CloseFTDevice() != FT_OK)
            return;
        unlink_controls();
    });
}

void DeviceConnection::bridge_lost()
{
    m_link.CloseFTDevice(); // the bridge is gone; its answer does not matter
    unlink_controls();
    m_console.print_to_console(QStringLiteral("The pedal was disconnected."));
    // Before the message, which waits for the user: a pedal that comes back
    // meanwhile is linked again all the same.
    emit bridgeLost(device_serial_number);
    m_dialogs.message(QStringLiteral("The pedal was disconnected."));
}

void DeviceConnection::Timer_USB_ReadTimer()
{
    reception.ReceiveTick();
}

void DeviceConnection::btnRequestClick()
{
    exchange.run_exclusive([this] {
        if (set_updating_from_pedal)
            set_updating_from_pedal(true);
        RequestDeviceStatus();
    });
}

void DeviceConnection::select_effect(int position)
{
    if (effects.select_effect)
        effects.select_effect(position);
}

void DeviceConnection::RequestDeviceStatus()
{
    auto hold = exchange.hold();
    Timer_USB_Read.stop();

    // Every way out puts the reception tick back (when linked); a report that
    // was neither accepted nor refused for its versions leaves the live edits
    // of the effect window working.
    struct Restore {
        DeviceConnection &c;
        bool decided = false;
        ~Restore()
        {
            if (!decided && c.set_updating_from_pedal)
                c.set_updating_from_pedal(false);
            if (c.is_linked)
                c.Timer_USB_Read.start();
        }
    } restore{*this};

    const std::optional<StatusReport> report = read_status_report();
    if (!report)
        return;
    decode_status_report(*report);
    act_on_status_report(*report); // a version field that is no number throws
    restore.decided = true;
}

std::optional<StatusReport> DeviceConnection::request_status_quietly()
{
    if (!is_linked || bootloader_mode || upgrade_mode_pending || exchange_busy()
        || m_link.bootloader_holds_line())
        return std::nullopt;
    auto hold = exchange.hold();
    Timer_USB_Read.stop();
    struct Restart {
        DeviceConnection &c;
        ~Restart()
        {
            if (c.is_linked)
                c.Timer_USB_Read.start();
        }
    } restart{*this};
    return read_status_report();
}

std::optional<StatusReport> DeviceConnection::read_status_report()
{
    static const QByteArray status_request = QByteArray::fromHex("0200");
    const LineStatus status = reader.RequestValues(status_request, limits.status, status_reply_complete);
    const int count = reader.last_reply_count;
    switch (status) {
    case LineStatus::Refused: // the gate has said why
        return std::nullopt;
    case LineStatus::Overflow:
        m_console.print_to_console(QStringLiteral("Status reply refused: ") + too_much_text);
        m_dialogs.message(too_much_text);
        return std::nullopt;
    case LineStatus::IoFailed:
        // The link layer has reported the failure itself.
        m_console.print_to_console(link_failed_text);
        return std::nullopt;
    case LineStatus::TimedOut:
    case LineStatus::Nack:
        if (reader.last_reply_size > 0)
            break; // cut short: told below
        m_console.print_to_console(no_answer_text);
        m_dialogs.message(no_answer_text);
        return std::nullopt;
    case LineStatus::Ok:
        break;
    }
    const std::vector<std::uint8_t> &values = reader.received_bytes_array;
    // A reply that never came whole is incomplete even when it holds enough
    // values: a line end lost on the line joins two values into one.
    if (count == 0 || count < status_reply_values_needed(values[0]) || status != LineStatus::Ok) {
        m_console.print_to_console(QStringLiteral("Incomplete status reply: %1 values").arg(count));
        m_dialogs.message(QStringLiteral("Incomplete status reply from the pedal (%1 values)").arg(count));
        return std::nullopt;
    }
    // The pedal ends every value with CR LF. A value without its LF is a CR
    // that came from the line, and every value behind it would sit at the
    // wrong index. (More whole lines than the layout reads are the pedal's.)
    if (const int needed = status_reply_values_needed(values[0]); count != reader.last_reply_lines) {
        m_console.print_to_console(QStringLiteral("Status reply with %1 values, %2 expected; not taken")
                                       .arg(count)
                                       .arg(needed));
        m_dialogs.message(QStringLiteral("Garbled status reply from the pedal (%1 values, %2 expected)")
                              .arg(count)
                              .arg(needed));
        return std::nullopt;
    }
    return StatusReport{values[0], QString::number(values[0]), hex2(values[1]) + hex2(values[2]),
                        hex2(values[3]), values};
}

void DeviceConnection::decode_status_report(const StatusReport &report)
{
    device_firmware_version = report.firmware_version;
    device_algorithm_version = report.algorithm_version;
    device_effect_number = report.effect_number;
    m_console.print_to_console(QStringLiteral("Firmware Version: ") + device_firmware_version);
    m_console.print_to_console(QStringLiteral("Algorithm version: ") + device_algorithm_version);
    m_console.print_to_console(QStringLiteral("Effect Number: ") + device_effect_number);
    emit statusReported(report);

    const bool has_bypass_state = report.firmware >= bypass_state_firmware;
    auto run = [&report](const StatusDecoders::Decoder &decoder, int start) {
        if (decoder)
            decoder(report.values, start);
    };
    run(decoders.decode_footswitch_mode, 4);
    run(decoders.decode_assignments, 5);
    run(decoders.decode_tuning, 20);
    if (has_bypass_state)
        run(decoders.getBypassStatus, 22);
    run(decoders.decode_parameter_dump, has_bypass_state ? 23 : 22);
}

void DeviceConnection::act_on_status_report(const StatusReport &report)
{
    m_console.print_to_console(QStringLiteral("Current device firmware: ") + device_firmware_version);
    m_console.print_to_console(QStringLiteral("Most recent firmware: %1").arg(latest_firmware_version));

    auto close_effect_window = [this] {
        if (effects.close_effect_window)
            effects.close_effect_window();
    };
    if (report.firmware < latest_firmware_version) {
        close_effect_window();
        m_dialogs.message(QStringLiteral("A firmware upgrade is required. Upgrade to Firmware %1")
                              .arg(latest_firmware_version));
        return;
    }

    const int carried = effects.carried_effects ? effects.carried_effects() : 0;
    auto load_effect = [&](int position) {
        select_effect(position);
        if (effects.GetResourceFile)
            effects.GetResourceFile();
    };

    if (decimal_of(device_algorithm_version) < latest_algorithm_version) {
        close_effect_window();
        m_dialogs.message(QStringLiteral("Upload the latest version of Quorvane KQ5 algorithm:\r\n"
                                         "Upload Quorvane KQ5 00%1")
                              .arg(latest_algorithm_version));
        const int position = decimal_of(device_effect_number);
        if (position < carried)
            load_effect(position);
        return;
    }

    const int position = decimal_of(device_effect_number);
    if (position >= carried) {
        m_console.print_to_console(QStringLiteral("Effect %1 is not in the effect list").arg(position));
        m_dialogs.message(QStringLiteral("The pedal runs effect %1, which this editor does not carry.")
                              .arg(position));
        return;
    }
    load_effect(position);
    if (effects.OpenEffectWindow)
        effects.OpenEffectWindow();
    emit linkEvent(LinkEvent::report_accepted);
    if (set_updating_from_pedal)
        set_updating_from_pedal(false);
}
} // namespace quorvane
