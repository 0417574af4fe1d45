#pragma once
// Erasing one of the pedal's I2C settings memories: from the main window's
// "Erase Settings" (after a warning) and from the console's "Erase E2P".

#include "protocol/Sender.h" // bootloader_busy_text

#include <QString>

#include <functional>

namespace quorvane {

class D2XXUnit;
class ConsoleLog;
class Dialogs;

// The warning shown before "Erase Settings": ten lines joined by CR LF.
QString erase_settings_warning();

class SettingsErase {
public:
    SettingsErase(D2XXUnit &link, ConsoleLog &console, Dialogs &dialogs)
        : m_link(link), m_console(console), m_dialogs(dialogs) {}

    // Sends the erase message 0B <i2cAddr> 00 00 00 after purging the transmit
    // queue, then pauses 100 ms. `i2cAddr` must be two hex digits; anything
    // else is refused with a message. Returns whether the message was written.
    bool EraseEEPROM(const QString &i2cAddr);

    // "Erase Settings": warns, and on anything but No erases memory 0x50.
    // Returns whether the erase message was written.
    bool menuEraseSettingsClick();

private:
    D2XXUnit &m_link;
    ConsoleLog &m_console;
    Dialogs &m_dialogs;
};

} // namespace quorvane
