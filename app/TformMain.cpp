#include "app/TformMain.h"

#include "ui_TformMain.h"

#include "app/Editor.h"
#include "app/MainControls.h"
#include "widgets/FormFont.h"
#include "common/Preferences.h"
#include "common/ConsoleLog.h"
#include "console/TformPrint.h"
#include "effects/Catalogue.h"
#include "effects/EffectCatalogue.h"
#include "effects/EffectUpload.h"
#include "firmware/FirmwareImages.h"
#include "platform/Dialogs.h"
#include "protocol/Codec.h"
#include "presets/PresetFiles.h"
#include "firmware/SettingsErase.h"
#include "parameters/Assignments.h"
#include "parameters/WriteConfirmation.h"
#include "firmware/UpgradeProcedure.h"
#include "protocol/DeviceConnection.h"
#include "tuning/Instrument.h"
#include "app/Looks.h"
#include "app/MidiChannel.h"
#include "tuning/Tunings.h"
#include "update/UpdateService.h"
#include "usb/D2XXUnit.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QKeyEvent>
#include <QPointer>
#include <QTimer>

#include <exception>

namespace quorvane {

TformMain::TformMain(Editor &editor, QWidget *parent)
    : QMainWindow(parent), m_editor(editor), ui(std::make_unique<Ui::TformMain>())
{
    ui->setupUi(this);

    lblDeviceName = ui->lblDeviceName;
    lblFirmwareVersion = ui->lblFirmwareVersion;
    lblAlgorithmVersion = ui->lblAlgorithmVersion;
    lblStatus = ui->lblStatus;
    btnUpload = ui->btnUpload;
    btnRequest = ui->btnRequest;
    btnSaveParameters = ui->btnSaveParameters;
    btnAssign = ui->btnAssign;
    btnSetFootswitchMode = ui->btnSetFootswitchMode;
    btnSetTuning = ui->btnSetTuning;
    lstEffects = ui->lstEffects;
    menuFile = ui->menuFile;
    menuConnection = ui->menuConnection;
    menuSettings = ui->menuSettings;
    menuFirmwareUpgrade = ui->menuFirmwareUpgrade;
    menuInfo = ui->menuInfo;
    menuLook = ui->menuLook;
    menuMIDI = ui->menuMIDI;
    menuMIDIchannel = ui->menuMIDIchannel;
    menuInstrument = ui->menuInstrument;
    menuLoadPreset = ui->menuLoadPreset;
    menuSavePreset = ui->menuSavePreset;
    menuLoadAlgorithmFromFile = ui->menuLoadAlgorithmFromFile;
    menuScan = ui->menuScan;
    menuConnect = ui->menuConnect;
    menuDisconnect = ui->menuDisconnect;
    menuUploadTuningsData = ui->menuUploadTuningsData;
    menuReportUSBErrors = ui->menuReportUSBErrors;
    menuConfirmWrites = ui->menuConfirmWrites;
    menuGuitar = ui->menuGuitar;
    menuBass = ui->menuBass;
    menuFirmwareUpgradeMode = ui->menuFirmwareUpgradeMode;
    menuStartFirmwareUpgrade = ui->menuStartFirmwareUpgrade;
    menuEraseSettings = ui->menuEraseSettings;
    menuSupport = ui->menuSupport;
    menuAppVersion = ui->menuAppVersion;
    menuNewAppVersion = ui->menuNewAppVersion;
    menuUpdateNow = ui->menuUpdateNow;
    menuShowUpdateMsg = ui->menuShowUpdateMsg;
    menuSerialNumber = ui->menuSerialNumber;

    // A fixed, non-resizable window with a minimise but no maximise button.
    setWindowFlags(Qt::Window | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                   Qt::WindowSystemMenuHint | Qt::WindowMinimizeButtonHint |
                   Qt::WindowCloseButtonHint | Qt::MSWindowsFixedSizeDialogHint);
    menuBar()->setFixedHeight(24);
    // Five menus share the bar: keep the looks' padding from pushing "Info" out.
    menuBar()->setStyleSheet(QStringLiteral("QMenuBar::item { padding: 3px 5px; }"));
    // 354 × 226 would cut a linked bridge's name; the labels' column is
    // wider by what the effect list moved right.
    setFixedSize(388, 226);
    move(37, 31);

    // Each control gets its font itself: under a style sheet fonts do not
    // pass from parent to child.
    for (QWidget *control : centralWidget()->findChildren<QWidget *>(Qt::FindDirectChildrenOnly))
        use_form_font(control, 11);
    use_form_font(btnSetFootswitchMode, 10.5);
    use_form_font(btnSetTuning, 10.5);

    auto makeTimer = [this](const char *name, int interval) {
        auto *timer = new QTimer(this);
        timer->setObjectName(QLatin1String(name));
        timer->setInterval(interval);
        return timer;
    };
    Timer_USB_Read = &editor.connection().Timer_USB_Read;
    UploadCheckTimer = makeTimer("UploadCheckTimer", 5000);
    TimerCheckWebVersion = &editor.updates().TimerCheckWebVersion;
    TimerCheckWebVersion->setObjectName(QStringLiteral("TimerCheckWebVersion"));
    // What the connection and the upgrade report, shown in this window.
    MainWindowControls roles;
    roles.device_name = lblDeviceName;
    roles.firmware_version = lblFirmwareVersion;
    roles.algorithm_version = lblAlgorithmVersion;
    roles.status = lblStatus;
    roles.effects = lstEffects;
    roles.scan = menuScan;
    roles.link = menuConnect;
    roles.unlink = menuDisconnect;
    roles.serial_number = menuSerialNumber;
    roles.upgrade_mode = menuFirmwareUpgradeMode;
    roles.start_upgrade = menuStartFirmwareUpgrade;
    roles.load_preset = menuLoadPreset;
    roles.save_preset = menuSavePreset;
    roles.load_effect_file = menuLoadAlgorithmFromFile;
    roles.erase_settings = menuEraseSettings;
    roles.instrument = menuInstrument->menuAction();
    roles.midi = menuMIDI->menuAction();
    roles.upload_tunings = menuUploadTuningsData;
    roles.upload = btnUpload;
    roles.request = btnRequest;
    roles.assign = btnAssign;
    roles.save_parameters = btnSaveParameters;
    roles.footswitch_mode = btnSetFootswitchMode;
    roles.set_tuning = btnSetTuning;
    m_controls = new MainControls(roles, editor.connection(), this);
    m_controls->wire(editor.upgrade().hooks);
    editor.updates().setMenuItems(menuAppVersion, menuNewAppVersion, menuUpdateNow);
    editor.instrument().show_choice = [guitar = QPointer<QAction>(menuGuitar),
                                       bass = QPointer<QAction>(menuBass)](bool on_guitar, bool on_bass) {
        if (guitar)
            guitar->setChecked(on_guitar);
        if (bass)
            bass->setChecked(on_bass);
    };

    wire();
    FormCreate();
}

TformMain::~TformMain() = default;

void TformMain::wire()
{
    connect(btnUpload, &QPushButton::clicked, this, &TformMain::btnUploadClick);
    connect(btnRequest, &QPushButton::clicked, this, &TformMain::btnRequestClick);
    connect(btnSaveParameters, &QPushButton::clicked, this, &TformMain::btnSaveParametersClick);
    connect(btnAssign, &QPushButton::clicked, this, &TformMain::btnAssignClick);
    connect(btnSetFootswitchMode, &QPushButton::clicked, this,
            &TformMain::btnSetFootswitchModeClick);
    connect(btnSetTuning, &QPushButton::clicked, this, &TformMain::btnSetTuningClick);
    connect(lstEffects, &QListWidget::itemClicked, this, &TformMain::effetto_cliccato);
    lstEffects->installEventFilter(this);

    connect(menuLoadPreset, &QAction::triggered, this, &TformMain::menuLoadPresetClick);
    connect(menuSavePreset, &QAction::triggered, this, &TformMain::menuSavePresetClick);
    connect(menuLoadAlgorithmFromFile, &QAction::triggered, this,
            &TformMain::menuLoadAlgorithmFromFileClick);
    connect(menuScan, &QAction::triggered, this, &TformMain::menuScanClick);
    connect(menuConnect, &QAction::triggered, this, &TformMain::ConnectOnClick);
    connect(menuDisconnect, &QAction::triggered, this, &TformMain::menuDisconnectClick);
    connect(menuUploadTuningsData, &QAction::triggered, this,
            &TformMain::menuUploadTuningsDataClick);
    // Self-checking items: the mark has toggled before the handler runs.
    connect(menuReportUSBErrors, &QAction::triggered, this, &TformMain::menuReportUSBErrorsClick);
    connect(menuShowUpdateMsg, &QAction::triggered, this, &TformMain::menuShowUpdateMsgClick);
    connect(menuConfirmWrites, &QAction::triggered, this, &TformMain::menuConfirmWritesClick);
    // Items whose handlers set their marks themselves: undo the toolkit's toggle.
    auto handlerChecked = [this](QAction *item, void (TformMain::*handler)()) {
        connect(item, &QAction::triggered, this, [this, item, handler](bool checked) {
            item->setChecked(!checked);
            (this->*handler)();
        });
    };
    handlerChecked(menuGuitar, &TformMain::menuGuitarClick);
    handlerChecked(menuBass, &TformMain::menuBassClick);
    handlerChecked(menuFirmwareUpgradeMode, &TformMain::menuFirmwareUpgradeModeClick);
    connect(menuStartFirmwareUpgrade, &QAction::triggered, this,
            &TformMain::menuStartFirmwareUpgradeClick);
    connect(menuEraseSettings, &QAction::triggered, this, &TformMain::menuEraseSettingsClick);
    connect(menuInfo, &QMenu::aboutToShow, this, &TformMain::menuInfoClick);
    connect(menuSupport, &QAction::triggered, this, &TformMain::menuSupportClick);
    connect(menuUpdateNow, &QAction::triggered, this, &TformMain::menuUpdateNowClick);

    connect(UploadCheckTimer, &QTimer::timeout, this, &TformMain::UploadCheckTimerTimer);

    // The console key works wherever the focus is inside this window.
    qApp->installEventFilter(this);
}

template <typename Step> void TformMain::run_step(Step &&step)
{
    try {
        step();
    } catch (const std::exception &error) {
        m_editor.dialogs().message(QString::fromUtf8(error.what()));
    }
}

void TformMain::FormCreate()
{
    Preferences &preferences = m_editor.preferences();
    D2XXUnit &link = m_editor.link();

    run_step([&] { preferences.create_maker_folder(maker_folder_name); });
    run_step([&] { preferences.create_product_subfolder(maker_folder_name, product_folder_name); });
    run_step([&] { load_startup_preferences(); });
    link.report_usb_errors = menuReportUSBErrors->isChecked();
    run_step([&] { m_editor.connection().ListDevicesAtStartup(); });
    link.SetLinkSettings(link_mode_normal);
    const QString device = lblDeviceName->text();
    if (device.isEmpty() || device == QLatin1String("No device found"))
        menuConnect->setEnabled(false);

    for (QPushButton *button :
         {btnRequest, btnAssign, btnSaveParameters, btnUpload, btnSetFootswitchMode, btnSetTuning})
        button->setEnabled(false);
    menuMIDI->setEnabled(false);
    menuUploadTuningsData->setEnabled(false);

    lstEffects->clear();
    run_step([&] {
        Catalogue &catalogue = m_editor.catalogue();
        catalogue.read_file_from_stream(QStringLiteral("octave"));
        lstEffects->addItems(catalogue.resource_lines);
    });

    // The version request is addressed, its one-shot timer switched on, and
    // the editor's own version shown in the Info menu.
    run_step([&] { m_editor.updates().prepare_at_startup(); });

    run_step([&] { build_look_menu(); });
    run_step([&] { load_look(); });
    run_step([&] { build_midi_channel_menu(); });

    run_step([&] {
        // "Quorvane KQ5 0011": the blank and four digits after the 12-character
        // product name are the newest algorithm's number.
        const QString entry = lstEffects->count() > 0 ? lstEffects->item(0)->text() : QString();
        const QString number = entry.mid(12, 5);
        bool ok = false;
        const int value = number.trimmed().toInt(&ok);
        if (!ok || number.size() != 5)
            throw ConversionError(QStringLiteral("'%1' is not a valid integer value").arg(number));
        m_editor.connection().latest_algorithm_version = value;
    });
    m_editor.connection().latest_firmware_version = firmware_versions.back();
}

void TformMain::load_startup_preferences()
{
    Preferences &preferences = m_editor.preferences();

    bool &show_update_message = m_editor.updates().show_update_message;
    const QString show = preferences.read_preference_file(show_message_file, QStringLiteral("YES"));
    if (show == QLatin1String("YES"))
        show_update_message = true;
    else if (show == QLatin1String("NO"))
        show_update_message = false;
    menuShowUpdateMsg->setChecked(show_update_message);

    const QString report =
        preferences.read_preference_file(report_usb_errors_file, QStringLiteral("YES"));
    menuReportUSBErrors->setChecked(report == QLatin1String("YES"));

    // Anything but "NO" keeps the write check on.
    const QString confirm = preferences.read_preference_file(confirm_writes_file, QStringLiteral("YES"));
    menuConfirmWrites->setChecked(confirm != QLatin1String("NO"));
    m_editor.writeConfirmation().enabled = menuConfirmWrites->isChecked();

    // "GUITAR" or "BASS" sets the instrument and its check marks; anything
    // else changes nothing. Nothing is sent at start-up.
    m_editor.instrument().apply_preference(
        preferences.read_preference_file(instrument_file, QStringLiteral("GUITAR")));
}

void TformMain::build_look_menu()
{
    m_editor.looks().build_look_menu(menuLook);
}

void TformMain::load_look()
{
    m_editor.looks().load_look();
}

void TformMain::build_midi_channel_menu()
{
    m_editor.midiChannels().build_midi_channel_menu(menuMIDIchannel);
}

bool TformMain::FormKeyDown(int &Key, Qt::KeyboardModifiers Shift)
{
    if (Key == 0x50 && Shift.testFlag(Qt::ShiftModifier) && Shift.testFlag(Qt::ControlModifier)) {
        if (TformPrint *console = m_editor.consoleWindowIfCreated())
            console->show();
        Key = 0;
        return true;
    }
    return false;
}

bool TformMain::eventFilter(QObject *watched, QEvent *event)
{
    if (event->type() == QEvent::KeyPress && watched->isWidgetType()) {
        auto *widget = static_cast<QWidget *>(watched);
        auto *keyEvent = static_cast<QKeyEvent *>(event);
        if (widget->window() == this) {
            int key = keyEvent->key();
            if (FormKeyDown(key, keyEvent->modifiers()))
                return true;
            if (watched == lstEffects && move_up_or_down(key, keyEvent->modifiers()))
                return true;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}

void TformMain::menuInfoClick()
{
    m_editor.console().print_to_console(QStringLiteral("current app version: ") +
                                        m_editor.updates().app_version);
}

void TformMain::menuShowUpdateMsgClick()
{
    m_editor.preferences().write_existing_preference(
        show_message_file, menuShowUpdateMsg->isChecked() ? QStringLiteral("YES")
                                                          : QStringLiteral("NO"));
}

void TformMain::menuReportUSBErrorsClick()
{
    m_editor.preferences().write_existing_preference(
        report_usb_errors_file, menuReportUSBErrors->isChecked() ? QStringLiteral("YES")
                                                                 : QStringLiteral("NO"));
}

void TformMain::menuConfirmWritesClick()
{
    m_editor.writeConfirmation().enabled = menuConfirmWrites->isChecked();
    m_editor.preferences().write_existing_preference(
        confirm_writes_file, menuConfirmWrites->isChecked() ? QStringLiteral("YES") : QStringLiteral("NO"));
}

// Commands whose behaviour the connection, effect, parameter, preset, tuning,
// firmware and update modules provide.
void TformMain::btnUploadClick()
{
    m_editor.effectUpload().btnUploadClick();
}

void TformMain::btnSaveParametersClick()
{
    m_editor.assignments().btnSaveParametersClick();
}

void TformMain::btnAssignClick()
{
    m_editor.confirm_written(WrittenState::of_message(m_editor.assignments().btnAssignClick(),
                                                      confirm_text::assign));
}

void TformMain::btnSetFootswitchModeClick()
{
    m_editor.confirm_written(WrittenState::of_message(m_editor.assignments().btnSetFootswitchModeClick(),
                                                      confirm_text::footswitch));
}

void TformMain::effetto_cliccato(QListWidgetItem *Item)
{
    m_editor.effectCatalogue().effetto_cliccato(lstEffects, Item);
}

bool TformMain::move_up_or_down(int &Key, Qt::KeyboardModifiers)
{
    return m_editor.effectCatalogue().move_up_or_down(lstEffects, Key);
}

void TformMain::menuLoadPresetClick()
{
    m_editor.presets().load_preset();
}

void TformMain::menuSavePresetClick()
{
    m_editor.presets().save_preset();
}
void TformMain::menuLoadAlgorithmFromFileClick()
{
    m_editor.effectUpload().menuLoadAlgorithmFromFileClick();
}

// The upload module handles the upload check's ticks itself.
void TformMain::UploadCheckTimerTimer() {}

void TformMain::btnRequestClick()
{
    m_editor.connection().btnRequestClick();
}

void TformMain::menuScanClick()
{
    m_editor.connection().menuScanClick();
}

void TformMain::ConnectOnClick()
{
    m_editor.connection().ConnectOnClick();
}

void TformMain::menuDisconnectClick()
{
    m_editor.connection().menuDisconnectClick();
}

void TformMain::menuEraseSettingsClick()
{
    m_editor.settingsErase().menuEraseSettingsClick();
}

void TformMain::menuSupportClick()
{
    m_editor.updates().menuSupportClick();
}

void TformMain::menuUpdateNowClick()
{
    m_editor.updates().menuUpdateNowClick();
}

void TformMain::menuLookClickItem(QAction *Sender)
{
    m_editor.looks().menuLookClickItem(Sender);
}

void TformMain::menuMIDIchannelsClickItem(QAction *Sender)
{
    m_editor.midiChannels().menuMIDIchannelsClickItem(Sender);
}

void TformMain::menuUploadTuningsDataClick()
{
    m_editor.tunings().menuUploadTuningsDataClick();
}

void TformMain::btnSetTuningClick()
{
    m_editor.confirm_written(WrittenState::of_message(m_editor.tunings().btnSetTuningClick(),
                                                      confirm_text::tuning));
}

void TformMain::menuGuitarClick()
{
    m_editor.instrument().menuGuitarClick();
}

void TformMain::menuBassClick()
{
    m_editor.instrument().menuBassClick();
}

void TformMain::menuFirmwareUpgradeModeClick()
{
    m_editor.upgrade().menuFirmwareUpgradeModeClick();
}

void TformMain::menuStartFirmwareUpgradeClick()
{
    m_editor.upgrade().menuStartFirmwareUpgradeClick();
}

void TformMain::closeEvent(QCloseEvent *event)
{
    if (!m_editor.may_quit()) {
        event->ignore();
        return;
    }
    QMainWindow::closeEvent(event);
}

} // namespace quorvane
