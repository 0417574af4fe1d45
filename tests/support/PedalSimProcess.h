#pragma once
// kq5-pedal-sim started as a program from the build folder: the
// pseudo-terminal it serves (the first line it prints), and the program
// stopped (SIGTERM, SIGKILL if it does not end) when this goes.

#include <QProcess>
#include <QString>
#include <QStringList>

namespace quorvane::test {

class PedalSimProcess {
public:
    // The program in the build folder (QUORVANE_BINARY_DIR).
    static QString program();

    explicit PedalSimProcess(const QStringList &args);
    ~PedalSimProcess();
    PedalSimProcess(const PedalSimProcess &) = delete;
    PedalSimProcess &operator=(const PedalSimProcess &) = delete;

    QProcess process;
    bool started = false; // the program started
    QString path;         // the terminal it printed, empty if it printed none
};

} // namespace quorvane::test
