#pragma once
// The whole editor on a fresh virtual pedal in process, its documents in a
// temporary folder, driven the way the user drives it.

#include "app/Editor.h"
#include "app/TformMain.h"
#include "protocol/DeviceConnection.h"
#include "simulator/SimulatorDriver.h"
#include "support/RecordingShell.h"
#include "support/ScriptedDialogs.h"
#include "support/VirtualPedal.h"
#include "support/WindowByName.h"

#include <QAction>
#include <QLabel>
#include <QPushButton>
#include <QTemporaryDir>
#include <QtTest>

#include <functional>
#include <memory>

namespace quorvane::test {

// A fresh editor on a fresh virtual pedal, its documents in a temporary folder.
struct SimEditor {
    QTemporaryDir home;
    SimulatorDriver driver;
    ScriptedDialogs dialogs;
    RecordingShell shell;
    std::unique_ptr<Editor> editor;

    explicit SimEditor(const PedalOptions &options) : driver(options)
    {
        shell.documents = home.filePath("Documents");
        shell.temp = home.filePath("Temp");
        shell.program = home.filePath("bin/quorvane-editor");
        shell.folder = home.filePath("bin");
        EditorDeps deps{driver, dialogs, shell};
        deps.update_server = QStringLiteral("http://127.0.0.1:9"); // nothing answers there
        deps.allow_plain_http_loopback = true;
        deps.hot_plug_poll_ms = 0; // a test looks for bridges itself when it wants to
        editor = std::make_unique<Editor>(deps);
        editor->show();
    }

    TformMain &main() { return editor->mainWindow(); }
    DeviceConnection &connection() { return editor->connection(); }
    template <typename T> T *control(const char *name) { return main().findChild<T *>(name); }
    QString text(const char *name) { return control<QLabel>(name)->text(); }
    bool enabled(const QString &name) { return control_enabled(&editor->mainWindow(), name); }

    // Runs a command the way the user starts it: as an event entering the
    // editor, so that an error escaping it goes to the default report.
    void run(const std::function<void()> &command)
    {
        bool finished = false;
        QMetaObject::invokeMethod(
            &main(),
            [&] {
                struct Done {
                    bool &flag;
                    ~Done() { flag = true; }
                } done{finished};
                command();
            },
            Qt::QueuedConnection);
        QTRY_VERIFY_WITH_TIMEOUT(finished, 15000);
    }
    void trigger(const char *action)
    {
        QAction *a = control<QAction>(action);
        QVERIFY2(a && a->isEnabled(), action);
        run([a] { a->trigger(); });
    }
    void click(const char *button)
    {
        QPushButton *b = control<QPushButton>(button);
        QVERIFY2(b && b->isEnabled(), button);
        run([b] { b->click(); });
    }
    void link()
    {
        trigger("menuConnect");
    }
};

} // namespace quorvane::test
