#pragma once
// The editor's shell on the real desktop.

#include "platform/Shell.h"

namespace quorvane {

// The real desktop.
class DesktopShell : public Shell {
public:
    QString documentsFolder() override;
    QString tempFolder() override;
    QString programPath() override;
    QString programFolder() override;
    QString programVersion() override;
    bool openUrl(const QString &address) override;
    bool startProgram(const QString &program, const QStringList &arguments, bool elevated) override;
};

} // namespace quorvane
