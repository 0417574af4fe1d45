#include "desktop/QtDialogs.h"

#include <QApplication>
#include <QFileDialog>
#include <QMessageBox>

namespace quorvane {

QString qt_file_filter(const QString &filter)
{
    if (!filter.contains(QLatin1Char('|')))
        return filter;
    const QStringList parts = filter.split(QLatin1Char('|'));
    QStringList filters;
    for (qsizetype i = 0; i < parts.size(); i += 2) {
        const QString description = parts[i].trimmed();
        if (i + 1 >= parts.size()) {
            filters.append(description);
            break;
        }
        // Several patterns are separated by ';' there and by spaces here.
        QStringList patterns = parts[i + 1].split(QLatin1Char(';'), Qt::SkipEmptyParts);
        for (QString &p : patterns)
            p = p.trimmed();
        const QString joined = patterns.join(QLatin1Char(' '));
        if (joined.isEmpty() || description.contains(QLatin1Char('(') + joined + QLatin1Char(')')))
            filters.append(description);
        else
            filters.append(description + QStringLiteral(" (") + joined + QLatin1Char(')'));
    }
    return filters.join(QStringLiteral(";;"));
}

namespace {

QString run_file_dialog(QWidget *parent, QFileDialog::AcceptMode mode, const QString &title,
                        const QString &folder, const QString &filter,
                        const QString &default_extension)
{
    QFileDialog dialog(parent, title, folder, qt_file_filter(filter));
    dialog.setAcceptMode(mode);
    dialog.setFileMode(mode == QFileDialog::AcceptOpen ? QFileDialog::ExistingFile
                                                       : QFileDialog::AnyFile);
    dialog.setDefaultSuffix(default_extension);
    if (dialog.exec() != QDialog::Accepted)
        return {};
    return dialog.selectedFiles().value(0);
}

} // namespace

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

namespace quorvane {

QString QtDialogs::openFileWithDefault(const QString &title, const QString &folder,
                                       const QString &filter, const QString &default_extension)
{
    return run_file_dialog(m_parent, QFileDialog::AcceptOpen, title, folder, filter,
                           default_extension);
}

QString QtDialogs::saveFileWithDefault(const QString &title, const QString &folder,
                                       const QString &filter, const QString &default_extension)
{
    return run_file_dialog(m_parent, QFileDialog::AcceptSave, title, folder, filter,
                           default_extension);
}

} // namespace quorvane
