#pragma once
// The editor's dialogs behind one seam, so tests can answer them and read
// back every text shown.

#include <QString>

class QWidget;

namespace quorvane {

enum class Answer { Yes, No, Closed };

class Dialogs {
public:
    virtual ~Dialogs() = default;
    // A plain modal message box with one OK button.
    virtual void message(const QString &text) = 0;
    // A Yes/No question. Only Answer::No cancels; callers treat Closed as going on.
    virtual Answer confirm(const QString &text) = 0;
    // File dialogs; an empty result means cancelled.
    virtual QString openFile(const QString &title, const QString &folder, const QString &filter) = 0;
    virtual QString saveFile(const QString &title, const QString &folder, const QString &filter) = 0;
};

// Qt's own dialogs.
class QtDialogs : public Dialogs {
public:
    explicit QtDialogs(QWidget *parent = nullptr) : m_parent(parent) {}
    void setParent(QWidget *parent) { m_parent = parent; }
    void message(const QString &text) override;
    Answer confirm(const QString &text) override;
    QString openFile(const QString &title, const QString &folder, const QString &filter) override;
    QString saveFile(const QString &title, const QString &folder, const QString &filter) override;

private:
    QWidget *m_parent;
};

} // namespace quorvane
