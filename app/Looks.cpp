#include "app/Looks.h"

#include "platform/Dialogs.h"
#include "common/Preferences.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMenu>

namespace quorvane {

namespace {
const QString looks_prefix = QStringLiteral(":/looks");
}

QString look_resource_path(int n)
{
    const QString name = QStringLiteral("Style_") + QString::number(n);
    const QStringList entries = QDir(looks_prefix).entryList(QDir::Files);
    for (const QString &entry : entries) {
        if (entry.compare(name, Qt::CaseInsensitive) == 0)
            return looks_prefix + QLatin1Char('/') + entry;
    }
    return {};
}

QString look_style_sheet(int n)
{
    const QString path = look_resource_path(n);
    if (path.isEmpty())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromUtf8(file.readAll());
}

int look_number_from_text(const QString &content)
{
    bool ok = false;
    const int n = content.trimmed().toInt(&ok, 10);
    return ok ? n : 0;
}

QString Looks::lookFilePath() const
{
    return QDir(m_maker_folder).filePath(look_file_name);
}

void Looks::build_look_menu(QMenu *menuLook)
{
    for (int i = 0; i < look_menu_count; ++i) {
        auto *item = menuLook->addAction(QString::number(i));
        connect(item, &QAction::triggered, this, [this, item] { menuLookClickItem(item); });
        look_items[std::size_t(i)] = item;
    }
}

void Looks::load_look()
{
    // A hand-edited file must never stop start-up: anything that is not a
    // whole number falls back to look 0.
    const auto content = QFileInfo::exists(lookFilePath()) ? read_preference_text(lookFilePath())
                                                           : std::nullopt;
    apply_look(content ? look_number_from_text(*content) : 0);
}

void Looks::menuLookClickItem(QAction *sender)
{
    int look = no_look;
    for (int i = 0; i < look_count; ++i) {
        if (sender && look_items[std::size_t(i)] == sender)
            look = i;
    }
    if (look == no_look)
        return;
    apply_look(look);
    const QString error = write_preference_text(lookFilePath(), QString::number(look));
    if (!error.isEmpty())
        m_dialogs.message(error);
}

bool Looks::apply_look(int n)
{
    const QString sheet = look_style_sheet(n);
    if (sheet.isEmpty())
        return false;
    auto *app = qobject_cast<QApplication *>(QCoreApplication::instance());
    if (!app)
        return false;
    app->setStyleSheet(sheet);
    m_current = n;
    emit lookApplied(n);
    return true;
}

} // namespace quorvane
