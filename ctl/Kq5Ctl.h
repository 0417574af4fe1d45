#pragma once
// kq5ctl: the pedal from the command line. The same link layer, connection,
// status decoding, parameter model and messages as the editor, put together
// without a window: one command a run, its result on stdout (plain, or JSON
// with --json), each error as one line on stderr, and an exit code.

#include <QString>
#include <QStringList>

#include <memory>

namespace quorvane {

// How a run ends.
enum ExitCode : int {
    exit_ok = 0,
    exit_usage = 1,     // the command line is wrong
    exit_no_pedal = 2,  // no pedal, or more than one and none chosen
    exit_failed = 3,    // the pedal failed, did not answer, or answered wrongly
    exit_refused = 4,   // refused: a question without --yes, or what the editor refuses
};

struct CtlOptions {
    QString port;          // --port PATH
    QString serial;        // --serial SN
    bool simulator = false;
    bool json = false;
    bool yes = false;
    bool quiet = false;
    bool store = false;    // --store after set / preset load
    bool resume = false;   // --resume: firmware upgrade of a pedal in its bootloader
    QString sysfs_root = QStringLiteral("/sys");
    QStringList command;   // the command and its arguments
};

class Kq5Ctl {
public:
    explicit Kq5Ctl(CtlOptions options);
    ~Kq5Ctl();
    Kq5Ctl(const Kq5Ctl &) = delete;
    Kq5Ctl &operator=(const Kq5Ctl &) = delete;

    // Runs the command; returns the exit code.
    int run();

    // The help text (no line over 80 columns).
    static QString help_text();

private:
    struct Parts;
    std::unique_ptr<Parts> m;
};

} // namespace quorvane
