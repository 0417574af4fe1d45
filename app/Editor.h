#pragma once
// The composition root: creates, once, every piece of the editor's state and
// its windows, and hands them to those who need them. main() builds one with
// the real driver, dialogs and shell; tests build one with their doubles and
// throw it away.

#include "protocol/HotPlug.h"
#include "protocol/TimeLimits.h"

#include <QList>
#include <QString>

#include <memory>

class QWidget;

namespace quorvane {

class Assignments;
class BridgeDriver;
class Catalogue;
class ConsoleLog;
class D2XXUnit;
class TrafficLog;
class DeviceConnection;
class EffectCatalogue;
class EffectUpload;
class Dialogs;
class InstrumentSelector;
class Looks;
class MidiChannelMenu;
class ParameterModel;
class Preferences;
class PresetFiles;
class SettingsErase;
class Shell;
class WriteConfirmation;
struct WrittenState;
class TformFirmwareUpgrade;
class TformFXsettings;
class TformMain;
class TformNewVersionMsg;
class TformPrint;
class Tunings;
class UpdateService;
class UpgradeProcedure;

struct EditorDeps {
    BridgeDriver &driver;
    Dialogs &dialogs;
    Shell &shell;
    // Base address of the maker's web server.
    QString update_server = QStringLiteral(QUORVANE_UPDATE_SERVER);
    // Tests only: an http update server on 127.0.0.1 is taken (never set
    // from the command line).
    bool allow_plain_http_loopback = false;
    // The bounds of every exchange with the pedal; tests hand in short ones.
    TimeLimits limits{};
    // How often hot-plug looks at the bridges; 0: never (tests that count
    // the driver's calls).
    int hot_plug_poll_ms = HotPlug::poll_interval_ms;
};

class Editor {
public:
    // Creates the state, then the six windows in order: the main window (whose
    // creation runs the start-up sequence), the firmware upgrade window, the
    // console, the effect settings window, the new-version notice and the
    // updater's hidden web holder. Nothing is shown yet.
    explicit Editor(const EditorDeps &deps);
    ~Editor();
    Editor(const Editor &) = delete;
    Editor &operator=(const Editor &) = delete;

    // Shows the main window, the only window visible at start.
    void show();

    // Asked when the main window is closed. During a firmware transfer the
    // user chooses: No goes on; Yes stops the transfer at its next chunk,
    // leaves the pedal in its bootloader for a retry, puts the line back,
    // closes the port and then quits (false now, the quit follows).
    bool may_quit();

    BridgeDriver &driver() { return m_driver; }
    Dialogs &dialogs() { return m_dialogs; }
    Shell &shell() { return m_shell; }
    const QString &update_server() const { return m_update_server; }
    D2XXUnit &link() { return *m_link; }
    // Every byte that passes the gate, for the traffic window.
    TrafficLog &traffic() { return *m_traffic; }
    ConsoleLog &console() { return *m_console; }
    Preferences &preferences() { return *m_preferences; }
    DeviceConnection &connection() { return *m_connection; }
    HotPlug &hotPlug() { return *m_hot_plug; }
    Catalogue &catalogue() { return *m_catalogue; }
    UpdateService &updates() { return *m_updates; }
    SettingsErase &settingsErase() { return *m_settings_erase; }
    Looks &looks() { return *m_looks; }
    MidiChannelMenu &midiChannels() { return *m_midi; }
    InstrumentSelector &instrument() { return *m_instrument; }
    Tunings &tunings() { return *m_tunings; }
    UpgradeProcedure &upgrade() { return *m_upgrade; }
    ParameterModel &parameters() { return *m_parameters; }
    EffectCatalogue &effectCatalogue() { return *m_effect_catalogue; }
    EffectUpload &effectUpload() { return *m_effect_upload; }
    Assignments &assignments() { return *m_assignments; }
    PresetFiles &presets() { return *m_presets; }
    WriteConfirmation &writeConfirmation() { return *m_confirmation; }

    // Asks the pedal whether it took what a command wrote (unless the check
    // is off); nothing for a command that wrote nothing.
    void confirm_written(const WrittenState &written);

    TformMain &mainWindow() { return *m_main; }
    TformFirmwareUpgrade &firmwareUpgradeWindow() { return *m_firmware_upgrade; }
    TformPrint &consoleWindow() { return *m_print; }
    // Null while the windows are still being created.
    TformPrint *consoleWindowIfCreated() { return m_print.get(); }
    QWidget &fxSettingsWindow();
    TformFXsettings &fxSettings() { return *m_fx_settings; }
    TformNewVersionMsg &newVersionWindow() { return *m_new_version; }
    QWidget &updateUpdater() { return *m_update_updater; }

    // The six windows in the order they were created.
    const QList<QWidget *> &windows() const { return m_windows; }
    const TimeLimits &limits() const { return m_limits; }

private:
    // Disables (on) or gives back (off) every command that would send to the
    // pedal's firmware while its bootloader holds the line.
    void bootloader_listening(bool on);
    void transfer_ended();
    void quit_after_stopped_transfer();

    BridgeDriver &m_driver;
    Dialogs &m_dialogs;
    Shell &m_shell;
    QString m_update_server;
    TimeLimits m_limits;
    bool m_quit_after_transfer = false;

    std::unique_ptr<TrafficLog> m_traffic;
    std::unique_ptr<D2XXUnit> m_link;
    std::unique_ptr<ConsoleLog> m_console;
    std::unique_ptr<Preferences> m_preferences;
    std::unique_ptr<DeviceConnection> m_connection;
    std::unique_ptr<HotPlug> m_hot_plug;
    std::unique_ptr<Catalogue> m_catalogue;
    std::unique_ptr<UpdateService> m_updates;
    std::unique_ptr<SettingsErase> m_settings_erase;
    std::unique_ptr<Looks> m_looks;
    std::unique_ptr<MidiChannelMenu> m_midi;
    std::unique_ptr<InstrumentSelector> m_instrument;
    std::unique_ptr<Tunings> m_tunings;
    std::unique_ptr<UpgradeProcedure> m_upgrade;
    std::unique_ptr<ParameterModel> m_parameters;

    QList<QWidget *> m_windows;
    std::unique_ptr<TformMain> m_main;
    std::unique_ptr<TformFirmwareUpgrade> m_firmware_upgrade;
    std::unique_ptr<TformPrint> m_print;
    std::unique_ptr<TformFXsettings> m_fx_settings;
    std::unique_ptr<TformNewVersionMsg> m_new_version;
    std::unique_ptr<EffectCatalogue> m_effect_catalogue;
    std::unique_ptr<EffectUpload> m_effect_upload;
    std::unique_ptr<Assignments> m_assignments;
    std::unique_ptr<PresetFiles> m_presets;
    std::unique_ptr<WriteConfirmation> m_confirmation;
    std::unique_ptr<QWidget> m_update_updater;
};

} // namespace quorvane
