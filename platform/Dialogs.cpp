#include "platform/Dialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace quorvane {

void QtDialogs::message(const QString &text)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), text,
                    QMessageBox::Ok, m_parent);
    box.exec();
}

Answer QtDialogs::confirm(const QString &text)
{
    QMessageBox box(QMessageBox::Question, QApplication::applicationDisplayName(), text,
                    QMessageBox::Yes | QMessageBox::No, m_parent);
    box.setEscapeButton(static_cast<QAbstractButton *>(nullptr));
    const int result = box.exec();
    if (result == QMessageBox::Yes)
        return Answer::Yes;
    if (result == QMessageBox::No)
        return Answer::No;
    return Answer::Closed;
}

QString QtDialogs::openFile(const QString &title, const QString &folder, const QString &filter)
{
    return QFileDialog::getOpenFileName(m_parent, title, folder, filter);
}

QString QtDialogs::saveFile(const QString &title, const QString &folder, const QString &filter)
{
    return QFileDialog::getSaveFileName(m_parent, title, folder, filter);
}

} // namespace quorvane
