#pragma once
// The editor's view of the desktop and the operating system, behind one seam
// so tests can give it temporary folders and record what it starts.

#include <QString>
#include <QStringList>

namespace quorvane {

class Shell {
public:
    virtual ~Shell() = default;
    // The user's documents folder; empty when there is none.
    virtual QString documentsFolder() = 0;
    virtual QString tempFolder() = 0;
    // The running program file and its folder.
    virtual QString programPath() = 0;
    virtual QString programFolder() = 0;
    // The running program's file version as "major.minor.patch.build"; empty
    // when the program carries none.
    virtual QString programVersion() = 0;
    // Opens a web address or document in the desktop's default program.
    virtual bool openUrl(const QString &address) = 0;
    // Starts a program with its arguments, elevated where the platform offers
    // it and `elevated` is set. Returns whether it started.
    virtual bool startProgram(const QString &program, const QStringList &arguments,
                              bool elevated) = 0;
};

} // namespace quorvane
