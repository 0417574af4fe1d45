#pragma once
// The application object. Every event enters our code through notify(), so
// this is where an error that escapes a handler is caught: its text is shown
// in one message box and the event loop goes on.

#include <QApplication>

namespace quorvane {

class Dialogs;

class EditorApplication : public QApplication {
    Q_OBJECT
public:
    EditorApplication(int &argc, char **argv);

    bool notify(QObject *receiver, QEvent *event) override;

    // Where errors are shown; without one they go to the warning log.
    void setErrorDialogs(Dialogs *dialogs) { m_dialogs = dialogs; }
    Dialogs *errorDialogs() const { return m_dialogs; }

    // Shows an error's text as the default error report does.
    void reportError(const QString &text);

private:
    Dialogs *m_dialogs = nullptr;
};

// The running application as an EditorApplication, or null.
EditorApplication *editorApplication();

} // namespace quorvane
