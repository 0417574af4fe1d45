#include "effects/Catalogue.h"

#include "platform/Dialogs.h"

#include <QDirIterator>
#include <QFile>
#include <QFileInfo>

namespace quorvane {

ResourceError::ResourceError(const QString &name)
    : std::runtime_error(QStringLiteral("Resource %1 not found").arg(name).toStdString())
{
}

QString find_resource(const QString &name)
{
    if (name.isEmpty())
        return {};
    const QString exact = QStringLiteral(":/") + name;
    if (QFileInfo(exact).isFile())
        return exact;
    // Our resources sit at the root; look there first, then anywhere below.
    for (const auto flags : {QDirIterator::NoIteratorFlags, QDirIterator::Subdirectories}) {
        QDirIterator it(QStringLiteral(":/"), QDir::Files, flags);
        while (it.hasNext()) {
            it.next();
            if (it.fileName().compare(name, Qt::CaseInsensitive) == 0)
                return it.filePath();
        }
    }
    return {};
}

QString format_resource_name(const QString &instring)
{
    QString s = instring;
    s.replace(QLatin1Char(' '), QLatin1Char('_'));
    s.replace(QLatin1Char('-'), QLatin1Char('_'));
    s.replace(QLatin1Char('+'), QStringLiteral("plus"));
    s.replace(QLatin1Char('X'), QStringLiteral("mult"), Qt::CaseSensitive);
    return s;
}

std::optional<EffectImage> builtin_effect_image(const QString &entry)
{
    if (entry.isEmpty())
        return std::nullopt;
    const QString name = format_resource_name(entry);
    const QString path = find_resource(name);
    QFile file(path);
    if (path.isEmpty() || !file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray data = file.readAll();
    qsizetype end = data.indexOf('\n');
    if (end < 0)
        end = data.size();
    return EffectImage{name, QString::fromLatin1(data.left(end)).trimmed()};
}

void Catalogue::read_file_from_stream(const QString &resource_name)
{
    const QString path = find_resource(resource_name);
    if (path.isEmpty())
        throw ResourceError(resource_name);
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        m_dialogs.message(QStringLiteral("Error loading resource: ") + file.errorString());
        return;
    }
    const QByteArray data = file.readAll();
    QStringList lines;
    qsizetype start = 0;
    while (start < data.size()) {
        qsizetype end = data.indexOf('\n', start);
        if (end < 0)
            end = data.size();
        qsizetype stop = end;
        if (stop > start && data.at(stop - 1) == '\r')
            --stop;
        lines.append(QString::fromLatin1(data.constData() + start, stop - start));
        start = end + 1;
    }
    resource_lines = lines;
}

} // namespace quorvane
