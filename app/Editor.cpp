#include "app/Editor.h"

#include "app/EditorApplication.h"
#include "common/Preferences.h"
#include "app/TformMain.h"
#include "platform/Dialogs.h"
#include "common/ConsoleLog.h"
#include "console/TformPrint.h"
#include "effects/Catalogue.h"
#include "effects/EffectCatalogue.h"
#include "effects/EffectUpload.h"
#include "firmware/SettingsErase.h"
#include "firmware/TformFirmwareUpgrade.h"
#include "firmware/UpgradeProcedure.h"
#include "firmware/UpgradeWiring.h"
#include "parameters/Assignments.h"
#include "parameters/ParameterModel.h"
#include "parameters/TformFXsettings.h"
#include "parameters/WriteConfirmation.h"
#include "presets/PresetFiles.h"
#include "protocol/DeviceConnection.h"
#include "protocol/HotPlug.h"
#include "tuning/Instrument.h"
#include "app/Looks.h"
#include "app/MainControls.h"
#include "app/MidiChannel.h"
#include "tuning/Tunings.h"
#include "update/TformNewVersionMsg.h"
#include "update/UpdateService.h"
#include "usb/D2XXUnit.h"

#include <QFile>
#include <QAction>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTimer>
#include <QWidget>

namespace quorvane {

namespace {

// A window that another part of the editor fills in; it has its place in the
// creation order, its name and its caption.
std::unique_ptr<QWidget> make_window(const char *name, const char *caption)
{
    auto window = std::make_unique<QWidget>();
    window->setObjectName(QLatin1String(name));
    window->setWindowTitle(QLatin1String(caption));
    return window;
}

} // namespace

Editor::Editor(const EditorDeps &deps)
    : m_driver(deps.driver), m_dialogs(deps.dialogs), m_shell(deps.shell),
      m_update_server(deps.update_server), m_limits(deps.limits),
      m_traffic(std::make_unique<TrafficLog>()),
      m_link(std::make_unique<D2XXUnit>(deps.driver, deps.dialogs)),
      m_console(std::make_unique<ConsoleLog>()),
      m_preferences(std::make_unique<Preferences>(deps.shell, deps.dialogs)),
      m_connection(std::make_unique<DeviceConnection>(*m_link, *m_console, deps.dialogs)),
      m_catalogue(std::make_unique<Catalogue>(deps.dialogs)),
      m_updates(std::make_unique<UpdateService>(*m_console, deps.dialogs, deps.shell)),
      m_settings_erase(std::make_unique<SettingsErase>(*m_link, *m_console, deps.dialogs)),
      m_looks(std::make_unique<Looks>(deps.dialogs)),
      m_midi(std::make_unique<MidiChannelMenu>(*m_link, *m_console)),
      m_instrument(std::make_unique<InstrumentSelector>(*m_link, *m_console, deps.dialogs)),
      m_tunings(std::make_unique<Tunings>(*m_link, *m_console, deps.dialogs)),
      m_upgrade(std::make_unique<UpgradeProcedure>(*m_link, *m_console, deps.dialogs,
                                                   upgrade_link_state(*m_connection))),
      m_parameters(std::make_unique<ParameterModel>())
{
    // The gate to the wire logs to the console and, before any exchange,
    // sends the dial writes still waiting in the effect window's throttle.
    m_link->log = [this](const QString &line) { m_console->print_to_console(line); };
    m_link->traffic = m_traffic.get();
    m_link->before_request = [this] {
        if (m_fx_settings)
            m_fx_settings->flush_dial_writes();
    };
    // Every bound of every exchange comes from the one table.
    m_connection->limits = m_limits;
    m_connection->reception.dump_timeout_ms = m_limits.memory_dump_ms;
    m_upgrade->client().command_limits = m_limits.bootloader_command;
    m_upgrade->client().erase_limits = m_limits.bootloader_erase;
    wire_upgrade(*m_upgrade, *m_connection);
    m_looks->setMakerFolder(m_preferences->maker_folder());
    m_instrument->setProductFolder(m_preferences->product_folder());
    m_updates->allow_plain_loopback = deps.allow_plain_http_loopback;
    if (!m_updates->setServerAddress(m_update_server))
        m_update_server = m_updates->serverAddress();
    m_updates->setPreferenceFile(m_preferences->product_file(show_message_file));
    m_upgrade->setVerifyPreferenceFile(m_preferences->product_file(verify_after_writing_file));
    // "Set Tuning" sends what the effect window's lists chose or the pedal reported.
    m_tunings->setTuningSource([this] { return int(m_parameters->current_tuning); },
                               [this] { return int(m_parameters->semitone_variation); });

    // Errors that escape a handler are shown through this editor's dialogs.
    if (EditorApplication *app = editorApplication())
        app->setErrorDialogs(&m_dialogs);

    // The write check's setting is a preference the main window's start-up reads.
    m_confirmation = std::make_unique<WriteConfirmation>(*m_parameters, *m_connection, *m_link, *m_console,
                                                         m_dialogs);

    m_main = std::make_unique<TformMain>(*this);
    m_windows.append(m_main.get());

    m_firmware_upgrade = std::make_unique<TformFirmwareUpgrade>();
    m_windows.append(m_firmware_upgrade.get());
    m_firmware_upgrade->follow(*m_upgrade);

    m_print = std::make_unique<TformPrint>(*m_console, *m_link);
    m_windows.append(m_print.get());
    // The traffic window names a DSP write's parameter by the addresses the
    // current effect image gave.
    m_print->parameter_names = [this](std::uint16_t address) {
        DspParameterName known;
        for (int i = 0; i < parameter_count; ++i) {
            const auto row = ParameterRow(i);
            if (!m_parameters->has_image_address(row) || m_parameters->address(row) != address)
                continue;
            known.name = m_parameters->parameter_name(row);
            known.level = row != ParameterRow::wave && row != ParameterRow::low_pass &&
                          row != ParameterRow::high_pass && row != ParameterRow::range &&
                          row != ParameterRow::harmonic_pitch;
            break;
        }
        return known;
    };
    QObject::connect(m_print.get(), &TformPrint::eraseEepromRequested, m_print.get(),
                     [this](const QString &address) { m_settings_erase->EraseEEPROM(address); });

    m_fx_settings = std::make_unique<TformFXsettings>(*m_parameters, *m_link, *m_console, m_dialogs);
    m_windows.append(m_fx_settings.get());
    m_fx_settings->current_effect_image = [this] {
        return builtin_effect_image(m_catalogue->selected_effect_name);
    };
    m_fx_settings->effect_image_at = [this](int position) -> std::optional<EffectImage> {
        const QListWidgetItem *item = m_main->lstEffects->item(position);
        if (!item)
            return std::nullopt;
        return builtin_effect_image(item->text());
    };
    m_fx_settings->attach(*m_connection);

    // "Assign", "Set Footswitch Mode" and "Save Parameters" send the effect
    // window's choices; never to the pedal's bootloader.
    m_assignments = std::make_unique<Assignments>(*m_fx_settings, *m_link, *m_console, m_dialogs);
    m_assignments->btnAssign = m_main->btnAssign;

    // The effect list opens the effect window; the status report does too.
    m_effect_catalogue = std::make_unique<EffectCatalogue>(*m_catalogue, *m_console, m_dialogs,
                                                           *m_connection);
    m_effect_catalogue->main_window = m_main.get();
    m_effect_catalogue->effect_list = m_main->lstEffects;
    m_effect_catalogue->effect_window = m_fx_settings.get();
    m_effect_catalogue->enable_effect_controls = [this](bool on) {
        m_fx_settings->enable_effect_controls(on);
    };
    m_connection->effects.GetResourceFile = [this] { m_effect_catalogue->GetResourceFile(); };
    m_connection->effects.OpenEffectWindow = [this] { m_effect_catalogue->OpenEffectWindow(); };

    m_effect_upload = std::make_unique<EffectUpload>(*m_link, *m_console, m_dialogs, *m_connection,
                                                     *m_main->UploadCheckTimer);
    m_effect_upload->limits = m_limits;
    m_main->controls().follow(*m_effect_upload);
    m_effect_upload->selected_effect_name = [this] { return m_catalogue->selected_effect_name; };
    m_effect_upload->format_resource_name = [](const QString &entry) {
        return format_resource_name(entry);
    };
    m_effect_upload->load_image = [this](const QString &resource_name) {
        m_catalogue->read_file_from_stream(resource_name);
        return m_catalogue->resource_lines.value(0);
    };

    // Preset files: a load refreshes the effect window, whose handlers reach the pedal.
    m_presets = std::make_unique<PresetFiles>(*m_parameters, *m_console, m_dialogs, *m_preferences);
    m_presets->show_parameters = [this] { m_fx_settings->show_parameters(); };
    m_presets->send_word = [this](ParameterRow row, std::uint32_t word) {
        m_fx_settings->send_parameter_word(row, word);
    };
    m_presets->refuse_to_send = [this] { return m_link->refuses_writers(); };

    // Writes the pedal does not answer are checked against its status: a
    // preset load (one undoable step), an A/B switch, and the main window's
    // "Assign", "Set Footswitch Mode" and "Set Tuning".
    m_confirmation->show_status = [this](const QString &text) { m_main->controls().show_status(text); };
    m_confirmation->send_word = [this](ParameterRow row, std::uint32_t word) {
        m_fx_settings->send_parameter_word(row, word);
    };
    auto confirm_words = [this](const QString &what, const std::vector<std::pair<ParameterRow, std::uint32_t>> &words) {
        WrittenState written;
        written.what = what;
        written.words = words;
        confirm_written(written);
    };
    m_presets->loaded = [this, confirm_words](const PresetApplied &applied) {
        m_fx_settings->history().record_load(history_text::load_preset, applied);
        confirm_words(confirm_text::preset, applied.changed);
    };
    m_fx_settings->history().words_written = confirm_words;

    m_new_version = std::make_unique<TformNewVersionMsg>();
    m_windows.append(m_new_version.get());
    m_updates->setNoticeWindow(m_new_version.get());

    m_update_updater = make_window("TformUpdateUpdater", "UpdateUpdater");
    m_windows.append(m_update_updater.get());

    // While the pedal's bootloader holds the line, everything that would send
    // to its firmware is disabled (and the link refuses it anyway).
    m_upgrade->hooks.bootloader_listening = [this](bool on) { bootloader_listening(on); };
    m_upgrade->hooks.transfer_running = [this](bool on) {
        if (!on)
            transfer_ended();
    };

    // From here on, bridges that come and go are followed.
    m_hot_plug = std::make_unique<HotPlug>(*m_link, *m_connection, *m_console);
    if (deps.hot_plug_poll_ms > 0)
        m_hot_plug->start(deps.hot_plug_poll_ms);

    // Closing the main window ends the program, whatever else is open.
    for (QWidget *window : std::as_const(m_windows))
        if (window != m_main.get())
            window->setAttribute(Qt::WA_QuitOnClose, false);
}

Editor::~Editor()
{
    if (EditorApplication *app = editorApplication(); app && app->errorDialogs() == &m_dialogs)
        app->setErrorDialogs(nullptr);
}

void Editor::bootloader_listening(bool on)
{
    m_main->controls().hold_senders(on, m_connection->is_linked,
                                    {m_print->btnReadEEPROM, m_print->btnEraseEeprom},
                                    [this](bool enable) { m_fx_settings->enable_effect_controls(enable); });
}

bool Editor::may_quit()
{
    if (!m_upgrade->transfer_running())
        return true;
    if (m_dialogs.confirm(quit_during_upgrade_question) == Answer::No)
        return false;
    m_quit_after_transfer = true;
    m_upgrade->stop_transfer();
    return false;
}

void Editor::transfer_ended()
{
    // The transfer's own handler is still unwinding: act once it has.
    if (m_quit_after_transfer)
        QTimer::singleShot(0, m_main.get(), [this] { quit_after_stopped_transfer(); });
    else if (!m_main->isVisible())
        QTimer::singleShot(0, m_main.get(), [] { QCoreApplication::quit(); });
}

void Editor::quit_after_stopped_transfer()
{
    m_quit_after_transfer = false;
    // The pedal stays in its bootloader; the editor's line goes back to the
    // firmware's settings and the port is closed, so that the next start
    // finds it free.
    m_upgrade->leave_upgrade_mode();
    if (m_connection->is_linked)
        m_connection->menuDisconnectClick();
    m_console->print_to_console(QStringLiteral("Quit during the firmware upgrade: the pedal waits in its bootloader"));
    for (QWidget *window : std::as_const(m_windows))
        if (window != m_main.get())
            window->close();
    m_main->close();
}

void Editor::confirm_written(const WrittenState &written)
{
    m_confirmation->confirm(written);
}

QWidget &Editor::fxSettingsWindow()
{
    return *m_fx_settings;
}

void Editor::show()
{
    m_main->show();
}

} // namespace quorvane
