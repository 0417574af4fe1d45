#pragma once
// The main window: device labels, the command buttons, the effect list, the
// menu bar and the three timers. Its creation runs the editor's start-up.

#include <QMainWindow>

#include <memory>

class QAction;
class QLabel;
class QListWidget;
class QListWidgetItem;
class QMenu;
class QPushButton;
class QTimer;

namespace Ui {
class TformMain;
}

namespace quorvane {

class MainControls;

class Editor;

class TformMain : public QMainWindow {
    Q_OBJECT
public:
    // Builds the window and runs FormCreate (the start-up sequence).
    explicit TformMain(Editor &editor, QWidget *parent = nullptr);
    ~TformMain() override;

    Editor &editor() { return m_editor; }
    // The map from the connection's and the upgrade's state to this window.
    MainControls &controls() { return *m_controls; }

    // Controls, by their names.
    QLabel *lblDeviceName, *lblFirmwareVersion, *lblAlgorithmVersion, *lblStatus;
    QPushButton *btnUpload, *btnRequest, *btnSaveParameters, *btnAssign, *btnSetFootswitchMode,
        *btnSetTuning;
    QListWidget *lstEffects;
    QMenu *menuFile, *menuConnection, *menuSettings, *menuFirmwareUpgrade, *menuInfo;
    QMenu *menuLook, *menuMIDI, *menuMIDIchannel, *menuInstrument;
    QAction *menuLoadPreset, *menuSavePreset, *menuLoadAlgorithmFromFile;
    QAction *menuScan, *menuConnect, *menuDisconnect;
    QAction *menuUploadTuningsData, *menuReportUSBErrors, *menuConfirmWrites, *menuGuitar, *menuBass;
    QAction *menuFirmwareUpgradeMode, *menuStartFirmwareUpgrade, *menuEraseSettings;
    QAction *menuSupport, *menuAppVersion, *menuNewAppVersion, *menuUpdateNow, *menuShowUpdateMsg,
        *menuSerialNumber;

    // Timers, all switched off at creation. The reception tick belongs to the
    // connection and the version check's timer to the update service; the
    // window holds them by name.
    QTimer *Timer_USB_Read;        // 50 ms reception tick while linked
    QTimer *UploadCheckTimer;      // 5000 ms upload check
    QTimer *TimerCheckWebVersion;  // 1000 ms, fires once after start-up

    // The open-file dialog's filter for effect files.
    static inline const QString OpenDialog1_filter = QStringLiteral("Dat files (*.dat)");

    // Start-up steps, in the order FormCreate runs them.
    void FormCreate();
    void load_startup_preferences();
    void build_look_menu();
    void load_look();
    void build_midi_channel_menu();

    // Ctrl+Shift+P (key code 0x50) shows the console and consumes the key
    // (Key := 0); any other key passes on unchanged. Returns whether consumed.
    bool FormKeyDown(int &Key, Qt::KeyboardModifiers Shift);

public slots:
    void btnUploadClick();
    void btnRequestClick();
    void btnSaveParametersClick();
    void btnAssignClick();
    void btnSetFootswitchModeClick();
    void btnSetTuningClick();
    void effetto_cliccato(QListWidgetItem *Item);
    // Key press in the effect list; returns whether the key was consumed.
    bool move_up_or_down(int &Key, Qt::KeyboardModifiers Shift);

    void menuLoadPresetClick();
    void menuSavePresetClick();
    void menuLoadAlgorithmFromFileClick();
    void menuScanClick();
    void ConnectOnClick();
    void menuDisconnectClick();
    void menuLookClickItem(QAction *Sender);
    void menuMIDIchannelsClickItem(QAction *Sender);
    void menuUploadTuningsDataClick();
    void menuReportUSBErrorsClick();
    void menuConfirmWritesClick();
    void menuGuitarClick();
    void menuBassClick();
    void menuFirmwareUpgradeModeClick();
    void menuStartFirmwareUpgradeClick();
    void menuEraseSettingsClick();
    void menuInfoClick();
    void menuSupportClick();
    void menuUpdateNowClick();
    void menuShowUpdateMsgClick();

    void UploadCheckTimerTimer();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override;
    // During a firmware transfer the editor asks first (Editor::may_quit).
    void closeEvent(QCloseEvent *event) override;

private:
    void wire();
    // Runs one start-up step; an error in it is shown and start-up goes on.
    template <typename Step> void run_step(Step &&step);

    Editor &m_editor;
    MainControls *m_controls = nullptr;
    std::unique_ptr<Ui::TformMain> ui;
};

} // namespace quorvane
