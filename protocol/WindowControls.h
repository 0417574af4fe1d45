#pragma once
// The main window's controls, found by their object names: labels, buttons,
// menu items (actions) and submenus. A name that the window does not carry is
// ignored, so a window under construction or a small test window will do.

#include <QPointer>
#include <QString>

#include <initializer_list>

class QListWidget;
class QObject;

namespace quorvane {

class WindowControls {
public:
    explicit WindowControls(QObject *root = nullptr) : m_root(root) {}
    void setRoot(QObject *root) { m_root = root; }
    QObject *root() const { return m_root; }

    QObject *find(const QString &name) const;

    void setEnabled(const QString &name, bool on) const;
    void setEnabled(std::initializer_list<const char *> names, bool on) const;
    bool isEnabled(const QString &name) const;

    QString text(const QString &name) const;
    void setText(const QString &name, const QString &text) const;

    // The effect list.
    QListWidget *effectList() const;

private:
    QPointer<QObject> m_root;
};

} // namespace quorvane
