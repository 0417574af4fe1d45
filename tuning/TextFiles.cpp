#include "tuning/TextFiles.h"

#include <QFile>
#include <QSaveFile>
#include <QStringDecoder>

namespace quorvane {

QString write_preference_text(const QString &path, const QString &text)
{
    // Written aside and renamed over the old file, so a failed write never
    // leaves a half-written preference behind.
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString());
    const QByteArray bytes = text.toUtf8();
    if (file.write(bytes) != bytes.size() || !file.commit())
        return QStringLiteral("Cannot write \"%1\": %2").arg(path, file.errorString());
    return {};
}

std::optional<QString> read_preference_text(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    const QByteArray bytes = file.readAll();
    if (const auto encoding = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decoder(*encoding); // skips the byte-order mark
        return QString(decoder.decode(bytes));
    }
    QStringDecoder utf8(QStringConverter::Utf8, QStringConverter::Flag::Stateless);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

} // namespace quorvane
