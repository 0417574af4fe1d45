#pragma once
// The one place that decides what the main window's commands and labels
// show as the connection, the effect upload and the firmware upgrade report
// their state. The connection and the procedures drive no window; they emit
// what happened, and this maps it onto the controls.

#include <QList>
#include <QObject>
#include <QPointer>

#include <functional>

class QAction;
class QLabel;
class QListWidget;
class QPushButton;
class QWidget;

namespace quorvane {

class DeviceConnection;
class EffectUpload;
struct StatusReport;
struct UpgradeHooks;
enum class LinkEvent;

// The controls, by role. Any may be null (a small window in a test); a null
// control is left out.
struct MainWindowControls {
    QLabel *device_name = nullptr;
    QLabel *firmware_version = nullptr;
    QLabel *algorithm_version = nullptr;
    QLabel *status = nullptr;
    QListWidget *effects = nullptr;
    QAction *scan = nullptr;
    QAction *link = nullptr;
    QAction *unlink = nullptr;
    QAction *serial_number = nullptr;
    QAction *upgrade_mode = nullptr;
    QAction *start_upgrade = nullptr;
    QAction *load_preset = nullptr;
    QAction *save_preset = nullptr;
    QAction *load_effect_file = nullptr;
    QAction *erase_settings = nullptr;
    QAction *instrument = nullptr;      // the menu's own item
    QAction *midi = nullptr;            // the menu's own item
    QAction *upload_tunings = nullptr;
    QPushButton *upload = nullptr;
    QPushButton *request = nullptr;
    QPushButton *assign = nullptr;
    QPushButton *save_parameters = nullptr;
    QPushButton *footswitch_mode = nullptr;
    QPushButton *set_tuning = nullptr;
};

class MainControls : public QObject {
    Q_OBJECT
public:
    // Follows the connection's signals from now on; the effect list is the
    // connection's list of carried effects.
    MainControls(const MainWindowControls &controls, DeviceConnection &connection,
                 QObject *parent = nullptr);

    // Shows the upload's status line.
    void follow(EffectUpload &upload);
    // Fills the procedure's hooks for the "Upgrade Mode" check mark, "Start
    // Firmware Upgrade", "Request" and "Upload Selected".
    void wire(UpgradeHooks &hooks);

    // A short text in the status line (a write the pedal confirmed).
    void show_status(const QString &text);

    void on_link_event(LinkEvent event);
    void on_status_report(const StatusReport &report);

    // While the pedal's bootloader holds the line, every sender is disabled:
    // the main window's (not the upgrade's own items), `others` of other
    // windows, and the effect window's controls through `effect_controls`.
    // Leaving gives back what each had, except that what unlinking disabled
    // meanwhile stays disabled (the other windows' senders do not follow the
    // link).
    void hold_senders(bool on, bool linked, const QList<QWidget *> &others,
                      const std::function<void(bool)> &effect_controls);

private:
    QList<QWidget *> main_senders() const;
    QList<QAction *> main_sender_items() const;

    MainWindowControls m_c;
    bool m_senders_held = false;
    QList<bool> m_sender_states;
};

} // namespace quorvane
