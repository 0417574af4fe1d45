#include "app/EditorApplication.h"

#include "platform/Dialogs.h"

#include <QtDebug>

#include <exception>

namespace quorvane {

EditorApplication::EditorApplication(int &argc, char **argv) : QApplication(argc, argv) {}

EditorApplication *editorApplication()
{
    return qobject_cast<EditorApplication *>(QCoreApplication::instance());
}

bool EditorApplication::notify(QObject *receiver, QEvent *event)
{
    try {
        return QApplication::notify(receiver, event);
    } catch (const std::exception &error) {
        reportError(QString::fromUtf8(error.what()));
    } catch (...) {
        reportError(QStringLiteral("Unknown error"));
    }
    return false;
}

void EditorApplication::reportError(const QString &text)
{
    if (m_dialogs)
        m_dialogs->message(text);
    else
        qWarning().noquote() << text;
}

} // namespace quorvane
