#pragma once
// A shell for tests: folders of the test's choosing, and every start and
// opened address recorded instead of done.

#include "platform/Shell.h"

#include <QList>

namespace quorvane::test {

class RecordingShell : public Shell {
public:
    struct Start {
        QString program;
        QStringList arguments;
        bool elevated;
    };

    QString documentsFolder() override { return documents; }
    QString tempFolder() override { return temp; }
    QString programPath() override { return program; }
    QString programFolder() override { return folder; }
    QString programVersion() override { return version; }
    bool openUrl(const QString &address) override
    {
        openedUrls.append(address);
        return true;
    }
    bool startProgram(const QString &p, const QStringList &arguments, bool elevated) override
    {
        starts.append({p, arguments, elevated});
        return startSucceeds;
    }

    QString documents, temp, program, folder;
    QString version = QStringLiteral("1.13.0.0");
    QStringList openedUrls;
    QList<Start> starts;
    bool startSucceeds = true;
};

} // namespace quorvane::test
