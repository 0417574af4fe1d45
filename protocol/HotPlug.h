#pragma once
// Hot-plug: while the editor runs, it looks at the bridges about once a
// second and follows what it sees.
//
// - The linked pedal's bridge is no longer listed: the link is closed as
//   when the bridge fails ("The pedal was disconnected.").
// - A pedal whose bridge went away while linked is listed again (the same
//   serial number): the editor links to it again by itself, which requests
//   its status, and says so in the console. If that link fails at once, or
//   breaks again, it waits until the bridge has gone and come back before it
//   tries again.
// - A bridge appears while nothing is linked: it is shown as Scan shows one
//   (without Scan's message box); the bridge shown going away clears it.
//
// Nothing happens while the firmware upgrade has the line (bootloader_mode)
// or an exchange with the pedal runs. The listing is the bridge driver's
// own (QSerialPortInfo for real bridges): polled rather than followed
// through udev, so that it works the same for every driver, the virtual
// pedal included, costs one listing a second, and is tested with a listing
// that changes under it.

#include <QObject>
#include <QString>
#include <QTimer>
#include <QVector>

#include <optional>

namespace quorvane {

class ConsoleLog;
class D2XXUnit;
class DeviceConnection;

class HotPlug : public QObject {
    Q_OBJECT
public:
    static constexpr int poll_interval_ms = 1000;

    HotPlug(D2XXUnit &link, DeviceConnection &connection, ConsoleLog &console, QObject *parent = nullptr);

    // Takes the bridges listed now as known, then looks every `interval_ms`.
    void start(int interval_ms = poll_interval_ms);
    void stop();
    bool running() const { return m_timer.isActive(); }

    // One look at the bridges (the timer's work).
    void poll();

    struct Bridge {
        QString serial;
        QString description;
        bool operator==(const Bridge &) const = default;
    };

private:
    // The bridges listed now, without a message for a failure (nullopt).
    std::optional<QVector<Bridge>> list_bridges();
    static const Bridge *find(const QVector<Bridge> &bridges, const QString &serial);
    void on_bridge_lost(const QString &serial);

    D2XXUnit &m_link;
    DeviceConnection &m_connection;
    ConsoleLog &m_console;
    QTimer m_timer;
    QVector<Bridge> m_known;
    // The linked pedal that went away, and whether it may be linked again
    // as soon as it is listed (cleared by a try, set when seen gone).
    QString m_lost;
    bool m_may_relink = false;
    // Linked again by hot-plug, and no status report taken since.
    bool m_relinking = false;
    bool m_polling = false;
};

} // namespace quorvane
