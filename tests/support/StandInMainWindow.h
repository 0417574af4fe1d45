#pragma once
// A bare window that carries the main window's connection controls under
// their object names, in their start-up states: for driving the connection
// without the whole editor.

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QWidget>

namespace quorvane::test {

class StandInMainWindow : public QWidget {
public:
    StandInMainWindow()
    {
        for (const char *name : {"lblDeviceName", "lblFirmwareVersion", "lblAlgorithmVersion"})
            (new QLabel(this))->setObjectName(name);
        label("lblDeviceName")->setText(QStringLiteral("No device found"));
        label("lblFirmwareVersion")->setText(QStringLiteral("Device Firmware:"));
        label("lblAlgorithmVersion")->setText(QStringLiteral("Device Algorithm:"));
        for (const char *name : {"btnUpload", "btnRequest", "btnAssign", "btnSaveParameters",
                                 "btnSetFootswitchMode", "btnSetTuning"}) {
            auto *b = new QPushButton(this);
            b->setObjectName(name);
            b->setEnabled(false);
        }
        for (const char *name : {"menuScan", "menuConnect", "menuDisconnect", "menuSerialNumber",
                                 "menuFirmwareUpgradeMode", "menuLoadPreset", "menuSavePreset",
                                 "menuLoadAlgorithmFromFile", "menuEraseSettings", "menuInstrument",
                                 "menuUploadTuningsData"}) {
            auto *a = new QAction(this);
            a->setObjectName(name);
            a->setEnabled(false);
        }
        action("menuScan")->setEnabled(true);
        action("menuSerialNumber")->setText(QStringLiteral("Device Serial: "));
        auto *midi = new QMenu(this);
        midi->setObjectName(QStringLiteral("menuMIDI"));
        midi->menuAction()->setEnabled(false);
        auto *list = new QListWidget(this);
        list->setObjectName(QStringLiteral("lstEffects"));
        list->addItem(QStringLiteral("Quorvane KQ5 0011"));
    }

    QLabel *label(const char *name) const { return findChild<QLabel *>(name); }
    QAction *action(const char *name) const { return findChild<QAction *>(name); }
    QListWidget *effects() const { return findChild<QListWidget *>(QStringLiteral("lstEffects")); }
};

} // namespace quorvane::test
