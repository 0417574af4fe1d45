#pragma once
// The dial throttle (`dial_send_timer`): a turning knob writes at most once
// per 100 ms. Each dial keeps its own pending 7-byte DSP write, the last one
// composed for it; the tick writes every pending dial once, in the order the
// dials were first changed since the previous tick. A message that any other
// sender writes in between goes out on its own and is never re-sent or lost,
// and a refresh that moves several dials reaches the pedal with all of them.
//
// The one-shot timer is armed by the first change after a tick; further
// changes neither restart nor delay it.

#include <QObject>
#include <QString>
#include <QTimer>

#include <vector>

namespace quorvane {

class ConsoleLog;
class D2XXUnit;

class DialSendThrottle : public QObject {
    Q_OBJECT
public:
    static constexpr int interval_ms = 100;

    // `timer` is the window's Timer1; the throttle sets it up and owns its ticks.
    DialSendThrottle(D2XXUnit &link, ConsoleLog &console, QTimer &timer, QObject *parent = nullptr);

    // Makes `text` (a whole 7-byte DSP write as hex) the pending write of
    // `dial` and arms the timer unless it is already running.
    void queue(const QObject *dial, const QString &text);

    // The tick: writes every pending dial once, then nothing is pending.
    void tick();

    // Drops every pending write (the link went away).
    void clear();

    bool has_pending() const { return !m_pending.empty(); }
    // The pending write of `dial`; empty when it has none.
    QString pending_text(const QObject *dial) const;
    QTimer &timer() { return m_timer; }

private:
    struct Pending {
        const QObject *dial;
        QString text;
    };
    D2XXUnit &m_link;
    ConsoleLog &m_console;
    QTimer &m_timer;
    std::vector<Pending> m_pending;
};

} // namespace quorvane
