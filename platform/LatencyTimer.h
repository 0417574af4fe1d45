#pragma once
// The latency timer of a USB-serial bridge on Linux. The bridge holds a short
// reply back until its timer runs out, 16 ms by default; the bootloader and
// the status exchanges wait for hundreds of short replies, so the link sets
// it to 1 ms while it holds the port and gives it back its old value after.
//
// The timer is the file bus/usb-serial/devices/<tty>/latency_timer under the
// system's sysfs root; <tty> is the device's own name (ttyUSB0 for
// /dev/ttyUSB0 or any link to it). The root is handed in, so tests and the
// virtual pedal use a stand-in tree. Ports without such a file (other
// bridges, pseudo-terminals, other systems) are left alone.

#include <QString>

#include <map>

namespace quorvane {

class LatencyTimer {
public:
    enum class Outcome {
        Lowered,      // set to the wanted value (or it already had it)
        Absent,       // the port has no latency timer
        NotPermitted, // the file could not be read or written
    };
    struct Result {
        Outcome outcome = Outcome::Absent;
        QString file;   // the timer's file, when there is one
        QString reason; // why it could not be set
    };

    static constexpr int wanted_ms = 1;

    explicit LatencyTimer(QString sysfs_root = QStringLiteral("/sys"));
    ~LatencyTimer();
    LatencyTimer(const LatencyTimer &) = delete;
    LatencyTimer &operator=(const LatencyTimer &) = delete;

    // The file of the port at `location`, whether it exists or not.
    QString timer_file(const QString &location) const;

    // Remembers the port's timer and sets it to wanted_ms.
    Result lower(const QString &location);
    // Gives the timer in `file` (a lowered Result's file) back the value it
    // had before lower().
    void restore(const QString &file);
    // Every timer still lowered (also done when this object goes).
    void restore_all();

    const QString &sysfs_root() const { return m_root; }

private:
    QString m_root;
    std::map<QString, QByteArray> m_saved; // file -> its text before lower()
};

} // namespace quorvane
