#pragma once
// Guards of the effect settings window's handlers (used by its own sources).

#include "parameters/TformFXsettings.h"

#include <algorithm>

namespace quorvane {

// While alive, the window is showing the model (after a status report or a
// preset load): the change handlers send nothing, keep the model's words and
// show no message.
struct FillFromReport {
    explicit FillFromReport(TformFXsettings &window)
        : w(window), previous(window.m_filling_from_report)
    {
        w.m_filling_from_report = true;
    }
    ~FillFromReport() { w.m_filling_from_report = previous; }
    FillFromReport(const FillFromReport &) = delete;
    FillFromReport &operator=(const FillFromReport &) = delete;

    TformFXsettings &w;
    bool previous;
};

// Marks a control's handler as running; a change the handler makes to its
// own control finds it marked and is not handled a second time.
struct Handling {
    Handling(TformFXsettings &window, const QObject *control) : w(window), c(control)
    {
        entered = std::find(w.m_handling.begin(), w.m_handling.end(), c) == w.m_handling.end();
        if (entered)
            w.m_handling.push_back(c);
    }
    ~Handling()
    {
        if (entered)
            w.m_handling.erase(std::find(w.m_handling.begin(), w.m_handling.end(), c));
    }
    Handling(const Handling &) = delete;
    Handling &operator=(const Handling &) = delete;
    explicit operator bool() const { return entered; }

    TformFXsettings &w;
    const QObject *c;
    bool entered;
};

} // namespace quorvane
