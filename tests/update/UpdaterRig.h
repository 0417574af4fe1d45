#pragma once
// What the update tests share: files read and written whole, the stand-in
// updater built beside the editor, and shell scripts that stand in for
// other programs.

#include <QByteArray>
#include <QFile>
#include <QString>

namespace quorvane::test {

// The updater's file names, as the editor and the updater itself use them.
inline const QString kUpdaterFile = QStringLiteral("Quorvane_Win_Updater.exe");
inline const QString kUpdaterUpdateFile = QStringLiteral("Quorvane_Win_Updater_Update.exe");
inline const QString kUpdaterLogFile = QStringLiteral("Quorvane_Win_Updater.log");

// The whole file, or "<missing>" when it cannot be read.
inline QByteArray readFile(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

inline bool writeFile(const QString &path, const QByteArray &content)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate)
           && file.write(content) == content.size();
}

// A shell script running `body`, executable by its owner.
inline bool writeScript(const QString &path, const QByteArray &body)
{
    return writeFile(path, "#!/bin/sh\n" + body + "\n")
           && QFile::setPermissions(path, QFile::permissions(path) | QFile::ExeOwner);
}

// The stand-in updater built beside the editor.
inline QString builtUpdater()
{
    return qEnvironmentVariable("QUORVANE_BINARY_DIR") + QLatin1Char('/') + kUpdaterFile;
}

} // namespace quorvane::test
