#include "app/MainControls.h"

#include "effects/EffectUpload.h"
#include "firmware/UpgradeProcedure.h"
#include "protocol/DeviceConnection.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

#include <initializer_list>

namespace quorvane {

namespace {

template <class Control> void enable(std::initializer_list<Control *> controls, bool on)
{
    for (Control *c : controls)
        if (c)
            c->setEnabled(on);
}

void show(QLabel *label, const QString &text)
{
    if (label)
        label->setText(text);
}

} // namespace

MainControls::MainControls(const MainWindowControls &controls, DeviceConnection &connection,
                           QObject *parent)
    : QObject(parent), m_c(controls)
{
    connect(&connection, &DeviceConnection::linkEvent, this, &MainControls::on_link_event);
    connect(&connection, &DeviceConnection::statusReported, this, &MainControls::on_status_report);
    connect(&connection, &DeviceConnection::deviceNameChanged, this,
            [this](const QString &name) { show(m_c.device_name, name); });
    connect(&connection, &DeviceConnection::serialListed, this, [this](const QString &serial) {
        if (m_c.serial_number)
            m_c.serial_number->setText(m_c.serial_number->text() + serial);
    });
    QPointer<QListWidget> list = m_c.effects;
    connection.effects.carried_effects = [list] { return list ? list->count() : 0; };
    connection.effects.select_effect = [list](int position) {
        if (list)
            list->setCurrentRow(position);
    };
}

void MainControls::follow(EffectUpload &upload)
{
    connect(&upload, &EffectUpload::statusChanged, this, [this](const QString &text) { show(m_c.status, text); });
}

void MainControls::wire(UpgradeHooks &hooks)
{
    QPointer<QAction> mode = m_c.upgrade_mode;
    QPointer<QAction> start = m_c.start_upgrade;
    QPointer<QPushButton> request = m_c.request;
    QPointer<QPushButton> upload = m_c.upload;
    hooks.set_upgrade_mode_checked = [mode](bool on) {
        // Set by the handler, not by the menu item itself.
        if (mode) {
            mode->setCheckable(true);
            mode->setChecked(on);
        }
    };
    hooks.set_start_upgrade_enabled = [start](bool on) {
        if (start)
            start->setEnabled(on);
    };
    hooks.set_request_upload_enabled = [request, upload](bool on) {
        enable<QPushButton>({request.data(), upload.data()}, on);
    };
}

void MainControls::show_status(const QString &text)
{
    show(m_c.status, text.isEmpty() ? QStringLiteral("Status: ") : text);
    if (m_c.status)
        m_c.status->setToolTip(text);
}

void MainControls::on_link_event(LinkEvent event)
{
    const MainWindowControls &c = m_c;
    switch (event) {
    case LinkEvent::device_listed:
        enable<QAction>({c.link}, true);
        break;
    case LinkEvent::device_gone:
        enable<QAction>({c.link}, false);
        break;
    case LinkEvent::linked:
        enable<QAction>({c.upgrade_mode, c.unlink, c.load_preset, c.save_preset, c.load_effect_file,
                         c.erase_settings, c.instrument},
                        true);
        enable<QPushButton>({c.upload, c.request}, true);
        enable<QAction>({c.scan, c.link}, false);
        break;
    case LinkEvent::bootloader_holds:
        // The bootloader holds the line: nothing meant for the firmware.
        enable<QPushButton>({c.upload, c.request}, false);
        break;
    case LinkEvent::report_accepted:
        enable<QPushButton>({c.assign, c.save_parameters, c.footswitch_mode, c.set_tuning}, true);
        enable<QAction>({c.midi, c.upload_tunings}, true);
        break;
    case LinkEvent::unlinked:
        enable<QAction>({c.scan, c.link}, true);
        enable<QAction>({c.unlink, c.midi, c.upload_tunings, c.erase_settings, c.load_preset,
                         c.save_preset, c.load_effect_file, c.instrument},
                        false);
        enable<QPushButton>({c.upload, c.request, c.assign, c.save_parameters, c.footswitch_mode,
                             c.set_tuning},
                            false);
        break;
    }
}

void MainControls::on_status_report(const StatusReport &report)
{
    show(m_c.firmware_version, QStringLiteral("Device Firmware: ") + report.firmware_version);
    show(m_c.algorithm_version, QStringLiteral("Device Algorithm: ") + report.algorithm_version);
}

QList<QWidget *> MainControls::main_senders() const
{
    QList<QWidget *> senders;
    for (QWidget *w : std::initializer_list<QWidget *>{m_c.upload, m_c.request, m_c.assign, m_c.save_parameters,
                                                      m_c.footswitch_mode, m_c.set_tuning})
        if (w)
            senders.append(w);
    return senders;
}

QList<QAction *> MainControls::main_sender_items() const
{
    QList<QAction *> items;
    for (QAction *a : {m_c.upload_tunings, m_c.erase_settings, m_c.load_preset, m_c.load_effect_file, m_c.midi,
                       m_c.instrument})
        if (a)
            items.append(a);
    return items;
}

void MainControls::hold_senders(bool on, bool linked, const QList<QWidget *> &others,
                                const std::function<void(bool)> &effect_controls)
{
    const QList<QWidget *> widgets = main_senders();
    const QList<QAction *> actions = main_sender_items();
    if (on) {
        if (m_senders_held)
            return;
        m_senders_held = true;
        m_sender_states.clear();
        for (QWidget *w : widgets + others) {
            m_sender_states.append(w->isEnabled());
            w->setEnabled(false);
        }
        for (QAction *a : actions) {
            m_sender_states.append(a->isEnabled());
            a->setEnabled(false);
        }
        if (effect_controls)
            effect_controls(false);
        return;
    }
    if (!m_senders_held)
        return;
    m_senders_held = false;
    qsizetype k = 0;
    for (QWidget *w : widgets)
        w->setEnabled(m_sender_states.value(k++) && linked);
    for (QWidget *w : others)
        w->setEnabled(m_sender_states.value(k++));
    for (QAction *a : actions)
        a->setEnabled(m_sender_states.value(k++) && linked);
    if (effect_controls)
        effect_controls(linked);
}

} // namespace quorvane
