#pragma once
// Tests reach a window's controls by their object names: a label, button,
// menu item (action) or submenu. And a small stand-in window gets the
// editor's map from the connection's state to its controls, found by the
// main window's names.

#include "app/MainControls.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

namespace quorvane::test {

inline QObject *control(QObject *root, const QString &name)
{
    if (!root)
        return nullptr;
    if (root->objectName() == name)
        return root;
    return root->findChild<QObject *>(name);
}

// Whether the named control is enabled; false when there is none.
inline bool control_enabled(QObject *root, const QString &name)
{
    QObject *o = control(root, name);
    if (auto *menu = qobject_cast<QMenu *>(o))
        return menu->menuAction()->isEnabled();
    if (auto *action = qobject_cast<QAction *>(o))
        return action->isEnabled();
    if (auto *widget = qobject_cast<QWidget *>(o))
        return widget->isEnabled();
    return false;
}

// The named control's text; empty when there is none.
inline QString control_text(QObject *root, const QString &name)
{
    QObject *o = control(root, name);
    if (auto *label = qobject_cast<QLabel *>(o))
        return label->text();
    if (auto *menu = qobject_cast<QMenu *>(o))
        return menu->title();
    if (auto *action = qobject_cast<QAction *>(o))
        return action->text();
    if (auto *button = qobject_cast<QAbstractButton *>(o))
        return button->text();
    return QString();
}

// The editor's map onto whichever of the main window's controls `window`
// carries under their names; owned by the window.
inline MainControls *bind_window(DeviceConnection &connection, QWidget &window)
{
    auto action = [&window](const char *name) -> QAction * {
        QObject *o = control(&window, QLatin1String(name));
        if (auto *menu = qobject_cast<QMenu *>(o))
            return menu->menuAction();
        return qobject_cast<QAction *>(o);
    };
    auto label = [&window](const char *name) { return window.findChild<QLabel *>(QLatin1String(name)); };
    auto button = [&window](const char *name) {
        return window.findChild<QPushButton *>(QLatin1String(name));
    };
    MainWindowControls c;
    c.device_name = label("lblDeviceName");
    c.firmware_version = label("lblFirmwareVersion");
    c.algorithm_version = label("lblAlgorithmVersion");
    c.status = label("lblStatus");
    c.effects = window.findChild<QListWidget *>(QStringLiteral("lstEffects"));
    c.scan = action("menuScan");
    c.link = action("menuConnect");
    c.unlink = action("menuDisconnect");
    c.serial_number = action("menuSerialNumber");
    c.upgrade_mode = action("menuFirmwareUpgradeMode");
    c.start_upgrade = action("menuStartFirmwareUpgrade");
    c.load_preset = action("menuLoadPreset");
    c.save_preset = action("menuSavePreset");
    c.load_effect_file = action("menuLoadAlgorithmFromFile");
    c.erase_settings = action("menuEraseSettings");
    c.instrument = action("menuInstrument");
    c.midi = action("menuMIDI");
    c.upload_tunings = action("menuUploadTuningsData");
    c.upload = button("btnUpload");
    c.request = button("btnRequest");
    c.assign = button("btnAssign");
    c.save_parameters = button("btnSaveParameters");
    c.footswitch_mode = button("btnSetFootswitchMode");
    c.set_tuning = button("btnSetTuning");
    return new MainControls(c, connection, &window);
}

} // namespace quorvane::test
