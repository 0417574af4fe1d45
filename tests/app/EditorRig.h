#pragma once
// A whole editor built on test doubles: the recording bridge driver, scripted
// dialogs and a shell whose documents folder is a fresh temporary folder.

#include "app/Editor.h"
#include "support/RecordingDriver.h"
#include "support/RecordingShell.h"
#include "support/ScriptedDialogs.h"

#include <QTemporaryDir>

#include <memory>

namespace quorvane::test {

struct EditorRig {
    QTemporaryDir home;
    RecordingDriver driver;
    ScriptedDialogs dialogs;
    RecordingShell shell;
    std::unique_ptr<Editor> editor;

    EditorRig()
    {
        shell.documents = home.filePath(QStringLiteral("Documents"));
        shell.temp = home.filePath(QStringLiteral("Temp"));
        shell.program = home.filePath(QStringLiteral("bin/quorvane-editor"));
        shell.folder = home.filePath(QStringLiteral("bin"));
    }

    // The product folder's file, as start-up places it.
    QString productFile(const QString &name) const
    {
        return shell.documents + QStringLiteral("/Velsk/Quorvane KQ5/") + name;
    }

    // The version check one second after start-up goes to a local address
    // where nothing answers, never to the maker's server.
    Editor &start(const QString &update_server = QStringLiteral("http://127.0.0.1:9"))
    {
        EditorDeps deps{driver, dialogs, shell};
        if (!update_server.isEmpty())
            deps.update_server = update_server;
        deps.allow_plain_http_loopback = true; // the tests' own server
        deps.hot_plug_poll_ms = 0; // a test looks for bridges itself when it wants to
        editor = std::make_unique<Editor>(deps);
        return *editor;
    }
};

} // namespace quorvane::test
