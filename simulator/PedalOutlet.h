#pragma once
// What the pedal's firmware and its bootloader reach on the board around
// them: the line to the host and the log.

#include <QByteArray>
#include <QString>
#include <QtGlobal>

namespace quorvane {

class PedalOutlet {
public:
    // Queues bytes for the host from `at` on; returns when the line is free
    // again (the end of their last byte), or -1 when nothing was sent.
    virtual qint64 send(const QByteArray &bytes, qint64 at) = 0;
    virtual void note(const QString &text) = 0;

protected:
    ~PedalOutlet() = default;
};

} // namespace quorvane
