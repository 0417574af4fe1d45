#include "protocol/WindowControls.h"

#include <QAbstractButton>
#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QMenu>

namespace quorvane {

QObject *WindowControls::find(const QString &name) const
{
    if (!m_root)
        return nullptr;
    if (m_root->objectName() == name)
        return m_root;
    return m_root->findChild<QObject *>(name);
}

void WindowControls::setEnabled(const QString &name, bool on) const
{
    QObject *o = find(name);
    if (auto *menu = qobject_cast<QMenu *>(o))
        menu->menuAction()->setEnabled(on);
    else if (auto *action = qobject_cast<QAction *>(o))
        action->setEnabled(on);
    else if (auto *widget = qobject_cast<QWidget *>(o))
        widget->setEnabled(on);
}

void WindowControls::setEnabled(std::initializer_list<const char *> names, bool on) const
{
    for (const char *name : names)
        setEnabled(QString::fromLatin1(name), on);
}

bool WindowControls::isEnabled(const QString &name) const
{
    QObject *o = find(name);
    if (auto *menu = qobject_cast<QMenu *>(o))
        return menu->menuAction()->isEnabled();
    if (auto *action = qobject_cast<QAction *>(o))
        return action->isEnabled();
    if (auto *widget = qobject_cast<QWidget *>(o))
        return widget->isEnabled();
    return false;
}

QString WindowControls::text(const QString &name) const
{
    QObject *o = find(name);
    if (auto *label = qobject_cast<QLabel *>(o))
        return label->text();
    if (auto *menu = qobject_cast<QMenu *>(o))
        return menu->title();
    if (auto *action = qobject_cast<QAction *>(o))
        return action->text();
    if (auto *button = qobject_cast<QAbstractButton *>(o))
        return button->text();
    return QString();
}

void WindowControls::setText(const QString &name, const QString &text) const
{
    QObject *o = find(name);
    if (auto *label = qobject_cast<QLabel *>(o))
        label->setText(text);
    else if (auto *menu = qobject_cast<QMenu *>(o))
        menu->setTitle(text);
    else if (auto *action = qobject_cast<QAction *>(o))
        action->setText(text);
    else if (auto *button = qobject_cast<QAbstractButton *>(o))
        button->setText(text);
}

QListWidget *WindowControls::effectList() const
{
    return qobject_cast<QListWidget *>(find(QStringLiteral("lstEffects")));
}

} // namespace quorvane
