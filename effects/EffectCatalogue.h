#pragma once
// The effect list of the main window: loading the picked effect's image,
// opening the effect settings window beside the main window, and moving the
// selection with the arrow keys.

#include <QListWidget>
#include <QPointer>
#include <QString>

#include <functional>

class QListWidget;
class QListWidgetItem;
class QWidget;

namespace quorvane {

class Catalogue;
class ConsoleLog;
class Dialogs;
class DeviceConnection;

class EffectCatalogue {
public:
    EffectCatalogue(Catalogue &catalogue, ConsoleLog &console, Dialogs &dialogs,
                    DeviceConnection &connection)
        : m_catalogue(catalogue), m_console(console), m_dialogs(dialogs), m_connection(connection)
    {
    }

    // The main window (for placing the effect window), its effect list, and
    // the effect settings window; each may be unset in a small test.
    QPointer<QWidget> main_window;
    QPointer<QListWidget> effect_list;
    QPointer<QWidget> effect_window;
    // Enables or disables every control of the effect settings window.
    std::function<void(bool)> enable_effect_controls;

    void GetResourceFile();
    void OpenEffectWindow();
    void close_effect_window();
    void effetto_cliccato(QListWidget *Sender, QListWidgetItem *Item);
    // Up and down arrows move the selection of the list; returns whether the
    // key was one of them. Nothing is loaded or opened.
    bool move_up_or_down(QListWidget *Sender, int Key);

private:
    QListWidget *list(QListWidget *given) const;

    Catalogue &m_catalogue;
    ConsoleLog &m_console;
    Dialogs &m_dialogs;
    DeviceConnection &m_connection;
};

} // namespace quorvane
