#pragma once
// The three commands of the main window that send the effect window's
// choices to the pedal: "Assign" (what the four control buttons and the
// remote footswitch hold), "Set Footswitch Mode" (what a short and a long
// press of the footswitch do) and "Save Parameters" (store the five
// assignable parameters' words permanently on the pedal).
//
// A message is composed for the console before its question is asked, but
// the bytes are decoded into tx_buffer and written only after the answer, in
// one step: whatever another sender composes while the question is open can
// never go out in its place.

#include "parameters/ControlMessages.h"

#include <QString>

#include <cstdint>
#include <functional>

class QAbstractButton;

namespace quorvane {

class ConsoleLog;
class D2XXUnit;
class Dialogs;
class TformFXsettings;



class Assignments {
public:
    Assignments(TformFXsettings &window, D2XXUnit &link, ConsoleLog &console, Dialogs &dialogs)
        : m_window(window), m_link(link), m_console(console), m_dialogs(dialogs) {}

    // The main window's "Assign" button, disabled for a moment after writing.
    QAbstractButton *btnAssign = nullptr;

    // 04, one flag per slot, then the four slot addresses and the remote
    // slot's value; logs its length and the text. A slot holding a parameter
    // that no effect image has given an address adds no address, so the
    // text comes short of sixteen bytes and "Assign" refuses it.
    QString build_assign_message();
    // 08, short press (00 Bypass, 01 Change Preset), long press (00 Change
    // Preset, 01 Bypass); logs the text.
    QString build_footswitch_message();
    // 03 and the words of the five assignable parameters in table order.
    QString build_store_message() const;

    // "Assign" and "Set Footswitch Mode" return the message they wrote, empty
    // when nothing was written.
    QString btnAssignClick();
    QString btnSetFootswitchModeClick();
    void btnSaveParametersClick();

private:
    bool refused();

    TformFXsettings &m_window;
    D2XXUnit &m_link;
    ConsoleLog &m_console;
    Dialogs &m_dialogs;
};

} // namespace quorvane
