#include "tuning/MidiChannelMessage.h"

#include "common/ConsoleLog.h"
#include "protocol/Codec.h"
#include "protocol/Sender.h"

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

bool send_midi_channel(D2XXUnit &link, ConsoleLog &console, const QString &caption)
{
    console.print_without_scroll(QStringLiteral("Midi channel: ") + caption);
    const auto channel = midi_channel_byte_text(caption);
    if (!channel) {
        console.print_to_console(QStringLiteral("\"%1\" is no MIDI channel").arg(caption));
        return false;
    }
    const QString text = QStringLiteral("07") + *channel;
    console.print_to_console(text);
    return send_message(link, console, text, 2) == LineStatus::Ok;
}

} // namespace quorvane
