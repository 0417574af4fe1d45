#pragma once
// The instrument the pedal tracks (guitar or bass): the two menu items, the
// "Instrument.txt" preference and the instrument message.

#include <QString>

#include <cstdint>
#include <functional>

namespace quorvane {

class ConsoleLog;
class D2XXUnit;
class Dialogs;

constexpr std::uint8_t instrument_guitar = 0xFF;
constexpr std::uint8_t instrument_bass = 0xBA;

inline const QString instrument_file_name = QStringLiteral("Instrument.txt");

// The seven bytes before the checksum, or an empty text for an unknown code.
QString instrument_message_body(std::uint8_t instrument_code);

class InstrumentSelector {
public:
    InstrumentSelector(D2XXUnit &link, ConsoleLog &console, Dialogs &dialogs)
        : m_link(link), m_console(console), m_dialogs(dialogs) {}

    // The product folder that holds "Instrument.txt".
    void setProductFolder(const QString &folder) { m_product_folder = folder; }
    // Shows the choice: the check marks of the two menu items.
    std::function<void(bool guitar, bool bass)> show_choice;

    // Start-up: "GUITAR" or "BASS" from the preference file sets the code and
    // the check marks; anything else changes nothing. Returns whether it matched.
    bool apply_preference(const QString &value);

    void menuGuitarClick();
    void menuBassClick();
    // Composes the message for instrument_code, asks, and sends it.
    void ChangeInstrument();

    // 0xFF guitar, 0xBA bass, 0 before any choice.
    std::uint8_t instrument_code = 0;

private:
    void choose(std::uint8_t code, const QString &word);
    void setChecks(bool guitar, bool bass);

    D2XXUnit &m_link;
    ConsoleLog &m_console;
    Dialogs &m_dialogs;
    QString m_product_folder;
};

} // namespace quorvane
