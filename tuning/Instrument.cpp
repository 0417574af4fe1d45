#include "tuning/Instrument.h"

#include "common/ConsoleLog.h"
#include "platform/Dialogs.h"
#include "protocol/Codec.h"
#include "protocol/Sender.h"
#include "common/Preferences.h"
#include "usb/D2XXUnit.h"

#include <QDir>

namespace quorvane {

QString instrument_message_body(std::uint8_t instrument_code)
{
    switch (instrument_code) {
    case instrument_guitar:
        return QStringLiteral("0FFF0102030405");
    case instrument_bass:
        return QStringLiteral("0FBA0203040506");
    default:
        return {};
    }
}

void InstrumentSelector::setChecks(bool guitar, bool bass)
{
    if (show_choice)
        show_choice(guitar, bass);
}

bool InstrumentSelector::apply_preference(const QString &value)
{
    if (value == QLatin1String("GUITAR")) {
        instrument_code = instrument_guitar;
        setChecks(true, false);
    } else if (value == QLatin1String("BASS")) {
        instrument_code = instrument_bass;
        setChecks(false, true);
    } else {
        return false;
    }
    return true;
}

void InstrumentSelector::choose(std::uint8_t code, const QString &word)
{
    if (m_link.refuses_writers()) {
        // The menu item toggled its own check mark: show the choice in force.
        setChecks(instrument_code == instrument_guitar, instrument_code == instrument_bass);
        return;
    }
    instrument_code = code;
    setChecks(code == instrument_guitar, code == instrument_bass);
    const QString path = QDir(m_product_folder).filePath(instrument_file_name);
    const QString error = write_preference_text(path, word);
    if (!error.isEmpty()) {
        // The choice is shown but could not be kept: say so and send nothing.
        m_dialogs.message(error);
        return;
    }
    ChangeInstrument();
}

void InstrumentSelector::menuGuitarClick()
{
    choose(instrument_guitar, QStringLiteral("GUITAR"));
}

void InstrumentSelector::menuBassClick()
{
    choose(instrument_bass, QStringLiteral("BASS"));
}

void InstrumentSelector::ChangeInstrument()
{
    QString text = instrument_message_body(instrument_code);
    if (text.isEmpty())
        return; // no instrument chosen yet: there is nothing to send
    const int checksum = calc_XOR_checksum(text, 7);
    m_console.print_to_console(QStringLiteral("checksum byte: ") + hex2(checksum));
    text += hex2(checksum);
    if (m_dialogs.confirm(QStringLiteral("Change current Instrument?")) == Answer::No)
        return;
    m_console.print_to_console(text);
    send_message(m_link, m_console, text, 8);
}

} // namespace quorvane
