#include "common/Preferences.h"

#include "platform/Dialogs.h"
#include "platform/Shell.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStringDecoder>

#include <filesystem>
#include <system_error>

namespace quorvane {

namespace {

std::filesystem::path to_fs_path(const QString &path)
{
#ifdef _WIN32
    return std::filesystem::path(path.toStdWString());
#else
    return std::filesystem::path(QFile::encodeName(path).toStdString());
#endif
}

// Creates `folder` with its missing parents; on failure returns the reason.
bool make_folder(const QString &folder, QString &reason)
{
    if (QFileInfo(folder).isDir())
        return true;
    std::error_code error;
    std::filesystem::create_directories(to_fs_path(folder), error);
    if (QFileInfo(folder).isDir())
        return true;
    reason = error ? QString::fromLocal8Bit(error.message()) + QStringLiteral(" (") +
                         QDir::toNativeSeparators(folder) + QLatin1Char(')')
                   : QStringLiteral("cannot create ") + QDir::toNativeSeparators(folder);
    return false;
}

} // namespace

QString decode_preference_text(const QByteArray &bytes)
{
    if (auto encoding = QStringConverter::encodingForData(bytes)) {
        QStringDecoder decoder(*encoding); // skips the byte-order mark
        const QString text = decoder.decode(bytes);
        if (*encoding != QStringConverter::Utf8 || !decoder.hasError())
            return text;
    }
    QStringDecoder utf8(QStringConverter::Utf8);
    const QString text = utf8.decode(bytes);
    if (!utf8.hasError())
        return text;
    return QString::fromLatin1(bytes);
}

std::optional<QString> read_preference_text(const QString &path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return std::nullopt;
    return decode_preference_text(file.readAll());
}

namespace {
// Written aside and renamed over the old file, so a failed write never
// leaves a half-written preference behind; on failure, the reason.
bool save_utf8(const QString &path, const QString &text, QString &reason)
{
    QSaveFile file(path);
    const QByteArray bytes = text.toUtf8();
    if (file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size() && file.commit())
        return true;
    reason = file.errorString();
    return false;
}
} // namespace

QString write_preference_text(const QString &path, const QString &text)
{
    QString reason;
    if (save_utf8(path, text, reason))
        return {};
    return QStringLiteral("Cannot write \"%1\": %2").arg(path, reason);
}

QString Preferences::base_folder() const
{
    return m_shell.documentsFolder();
}

static QString join(const QString &base, const QString &name)
{
    return base.isEmpty() ? name : QDir(base).filePath(name);
}

QString Preferences::maker_folder() const
{
    return join(base_folder(), maker_folder_name);
}

QString Preferences::product_folder() const
{
    return join(maker_folder(), product_folder_name);
}

QString Preferences::product_file(const QString &file_name) const
{
    return join(product_folder(), file_name);
}

QString Preferences::maker_file(const QString &file_name) const
{
    return join(maker_folder(), file_name);
}

bool Preferences::create_maker_folder(const QString &maker)
{
    QString reason;
    if (make_folder(join(base_folder(), maker), reason))
        return true;
    m_dialogs.message(QStringLiteral("Error creating folder: ") + reason);
    return false;
}

bool Preferences::create_product_subfolder(const QString &maker, const QString &product)
{
    QString reason;
    if (make_folder(join(join(base_folder(), maker), product), reason))
        return true;
    m_dialogs.message(QStringLiteral("Error creating subfolder: ") + reason);
    return false;
}

QString Preferences::read_preference_file(const QString &file_name, const QString &default_text)
{
    const QString path = product_file(file_name);
    if (!QFileInfo::exists(path)) {
        // Where the file cannot be created (its folder failed already, and
        // was reported), the default still holds for this run.
        write_preference_text(path, default_text);
        return default_text;
    }
    // Unreadable: matches none of the expected words.
    return read_preference_text(path).value_or(QString());
}

bool Preferences::write_text_file(const QString &path, const QString &text)
{
    QString reason;
    if (save_utf8(path, text, reason))
        return true;
    m_dialogs.message(QStringLiteral("Error writing file: ") + QDir::toNativeSeparators(path) +
                      QStringLiteral(" (") + reason + QLatin1Char(')'));
    return false;
}

void Preferences::write_existing_preference(const QString &file_name, const QString &text)
{
    const QString path = product_file(file_name);
    if (QFileInfo(path).isFile())
        write_text_file(path, text);
}

} // namespace quorvane
