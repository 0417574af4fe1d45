// kq5ctl's tuning and instrument commands, through the editor's own senders.

#include "ctl/CtlParts.h"

#include "parameters/EditRules.h"
#include "tuning/Instrument.h"
#include "tuning/MidiChannelMessage.h"
#include "tuning/Tunings.h"

namespace quorvane {

void Kq5Ctl::Parts::check_answered(const QString &what)
{
    if (dialogs.refused_question)
        throw Stop{exit_refused, dialogs.messages.isEmpty() ? what + QStringLiteral(": not sent")
                                                            : dialogs.messages.last()};
}

int Kq5Ctl::Parts::tuning(const QStringList &args)
{
    const QString usage = QStringLiteral("usage: kq5ctl tuning upload | tuning set N [SEMITONE]");
    if (args.isEmpty())
        throw Stop{exit_usage, usage};
    if (args[0] == QLatin1String("upload") && args.size() == 1) {
        request_status();
        Tunings tunings(link, console, dialogs);
        tunings.menuUploadTuningsDataClick();
        check_answered(QStringLiteral("tuning data"));
        return exit_ok;
    }
    if (args[0] != QLatin1String("set") || args.size() < 2 || args.size() > 3)
        throw Stop{exit_usage, usage};
    bool ok = false;
    const int n = args[1].toInt(&ok);
    if (!ok || n < 0 || n >= tuning_entry_count)
        throw Stop{exit_usage, QStringLiteral("a tuning is 0 (none) to %1").arg(tuning_entry_count - 1)};
    int semitone = 0;
    if (args.size() == 3) {
        semitone = args[2].toInt(&ok);
        if (!ok || semitone < min_semitone_variation || semitone > max_semitone_variation)
            throw Stop{exit_usage, QStringLiteral("a semitone shift is %1 to %2")
                                       .arg(min_semitone_variation)
                                       .arg(max_semitone_variation)};
    }
    request_status();
    Tunings tunings(link, console, dialogs);
    tunings.setTuningSource([n] { return n; }, [semitone] { return semitone; });
    tunings.btnSetTuningClick();
    check_answered(QStringLiteral("tuning"));
    return exit_ok;
}

int Kq5Ctl::Parts::instrument(const QStringList &args)
{
    if (args.size() != 1 || (args[0] != QLatin1String("guitar") && args[0] != QLatin1String("bass")))
        throw Stop{exit_usage, QStringLiteral("usage: kq5ctl instrument guitar|bass")};
    request_status();
    // The editor also keeps the choice in its preferences; the pedal is told
    // here only.
    InstrumentSelector selector(link, console, dialogs);
    selector.instrument_code = args[0] == QLatin1String("guitar") ? instrument_guitar : instrument_bass;
    selector.ChangeInstrument();
    check_answered(QStringLiteral("instrument"));
    return exit_ok;
}

int Kq5Ctl::Parts::midi_channel(const QStringList &args)
{
    const QString caption = args.size() == 1 ? args[0].toUpper() : QString();
    if (!midi_channel_byte_text(caption))
        throw Stop{exit_usage, QStringLiteral("usage: kq5ctl midi-channel omni|1..16")};
    request_status();
    if (!send_midi_channel(link, console, caption))
        fail_from_dialogs(exit_failed, QStringLiteral("the MIDI channel could not be sent"));
    return exit_ok;
}

} // namespace quorvane
