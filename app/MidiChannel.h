#pragma once
// The "MIDI" → "Channel" menu: seventeen items built at start-up ("OMNI",
// "1".."16"); a click sends the pedal its MIDI receive channel. The editor
// keeps no current channel: no item is checked and nothing is stored.

#include <QList>
#include <QObject>
#include <QPointer>
#include <QString>

#include "tuning/MidiChannelMessage.h"

#include <functional>
#include <optional>

class QAction;
class QMenu;

namespace quorvane {

class ConsoleLog;
class D2XXUnit;

class MidiChannelMenu : public QObject {
    Q_OBJECT
public:
    MidiChannelMenu(D2XXUnit &link, ConsoleLog &console, QObject *parent = nullptr)
        : QObject(parent), m_link(link), m_console(console) {}

    // Appends "OMNI" and "1".."16" to the menu, each wired to the click handler.
    void build_midi_channel_menu(QMenu *menuMIDIchannel);
    // Sends the channel named by the clicked item's caption.
    void menuMIDIchannelsClickItem(QAction *sender);

    QList<QPointer<QAction>> channel_items;

private:
    D2XXUnit &m_link;
    ConsoleLog &m_console;
};

} // namespace quorvane
