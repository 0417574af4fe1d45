#include "app/MidiChannel.h"

#include "common/ConsoleLog.h"
#include "protocol/Codec.h"
#include "protocol/Sender.h"
#include "usb/D2XXUnit.h"

#include <QAction>
#include <QMenu>

namespace quorvane {

std::optional<QString> midi_channel_byte_text(const QString &caption)
{
    if (caption == QLatin1String("OMNI"))
        return QStringLiteral("00");
    bool ok = false;
    const int channel = caption.toInt(&ok, 10);
    if (!ok || channel < 1 || channel > 16)
        return std::nullopt;
    return hex2(channel);
}

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
    m_console.print_without_scroll(QStringLiteral("Midi channel: ") + caption);
    const auto channel = midi_channel_byte_text(caption);
    if (!channel) {
        m_console.print_to_console(QStringLiteral("\"%1\" is no MIDI channel").arg(caption));
        return;
    }
    const QString text = QStringLiteral("07") + *channel;
    m_console.print_to_console(text);
    send_message(m_link, m_console, text, 2);
}

} // namespace quorvane
