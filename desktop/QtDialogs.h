#pragma once
// The editor's dialogs on the desktop: Qt's message boxes and file dialogs.

#include "platform/Dialogs.h"

class QWidget;

namespace quorvane {

// A filter of "description|pattern" pairs in the form Qt's file dialogs take
// ("Preset files (*.txt)"); a filter without '|' is returned as it is.
QString qt_file_filter(const QString &filter);

// Qt's own dialogs.
class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    void message(const QString &text) override;
    Answer confirm(const QString &text) override;
    QString openFile(const QString &title, const QString &folder, const QString &filter) override;
    QString saveFile(const QString &title, const QString &folder, const QString &filter) override;
    QString openFileWithDefault(const QString &title, const QString &folder, const QString &filter,
                                const QString &default_extension) override;
    QString saveFileWithDefault(const QString &title, const QString &folder, const QString &filter,
                                const QString &default_extension) override;

private:
    QWidget *m_parent;
};

} // namespace quorvane
