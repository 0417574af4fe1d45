#include "app/MidiChannel.h"

#include "common/ConsoleLog.h"
#include "tuning/MidiChannelMessage.h"
#include "usb/D2XXUnit.h"

#include <QAction>
#include <QMenu>

namespace quorvane {

void MidiChannelMenu::build_midi_channel_menu(QMenu *menuMIDIchannel)
{
    QStringList captions{QStringLiteral("OMNI")};
    for (int channel = 1; channel <= 16; ++channel)
        captions.append(QString::number(channel));
    for (const QString &caption : captions) {
        auto *item = menuMIDIchannel->addAction(caption);
        item->setData(caption);
        connect(item, &QAction::triggered, this, [this, item] { menuMIDIchannelsClickItem(item); });
        channel_items.append(item);
    }
}

void MidiChannelMenu::menuMIDIchannelsClickItem(QAction *sender)
{
    if (!sender || m_link.refuses_writers())
        return;
    // Some desktops add accelerator marks to menu texts; the caption is ours.
    const QString caption = sender->data().isValid() ? sender->data().toString()
                                                     : sender->text().remove(QLatin1Char('&'));
    send_midi_channel(m_link, m_console, caption);
}

} // namespace quorvane
