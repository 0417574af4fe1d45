// A stand-in for the maker's updater, built beside the editor under the
// updater's file name. It does what the editor relies on and writes down what
// it was asked to do in "Quorvane_Win_Updater.log" next to itself:
//   --version              prints its version as major.minor;
//   <setup> <editor>       waits until the editor program has exited, then
//                          records the update it would carry out;
//   (no arguments)         takes a downloaded "Quorvane_Win_Updater_Update.exe"
//                          beside it into use by renaming it over itself.

#include <QCoreApplication>
#include <QDateTime>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>
#include <QThread>

#include <cstdio>
#include <filesystem>
#include <system_error>

namespace {

constexpr auto kVersion = "1.0";
constexpr auto kUpdateFile = "Quorvane_Win_Updater_Update.exe";
constexpr auto kLogFile = "Quorvane_Win_Updater.log";
constexpr int kEditorExitTimeoutMs = 120000;

void record(const QString &line)
{
    QFile log(QDir(QCoreApplication::applicationDirPath()).filePath(QLatin1String(kLogFile)));
    if (!log.open(QIODevice::WriteOnly | QIODevice::Append | QIODevice::Text))
        return;
    QTextStream(&log) << QDateTime::currentDateTime().toString(Qt::ISODate) << ' ' << line
                      << '\n';
}

// Whether a process other than this one runs the program file `program`.
// Looks at /proc where there is one; elsewhere nothing is found.
bool program_running(const QString &program)
{
    const QString target = QFileInfo(program).canonicalFilePath();
    if (target.isEmpty())
        return false;
    const QString self = QString::number(QCoreApplication::applicationPid());
    const QDir proc(QStringLiteral("/proc"));
    const QStringList entries = proc.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &pid : entries) {
        bool numeric = false;
        pid.toLongLong(&numeric);
        if (!numeric || pid == self)
            continue;
        const QString exe = QFileInfo(proc.filePath(pid + QStringLiteral("/exe"))).symLinkTarget();
        if (exe == target)
            return true;
    }
    return false;
}

int take_update_into_use()
{
    const QString self = QCoreApplication::applicationFilePath();
    const QString update =
        QDir(QCoreApplication::applicationDirPath()).filePath(QLatin1String(kUpdateFile));
    if (!QFileInfo(update).isFile()) {
        record(QStringLiteral("no %1 to take into use").arg(QLatin1String(kUpdateFile)));
        return 1;
    }
    std::error_code error;
    std::filesystem::rename(update.toStdString(), self.toStdString(), error);
    if (error) {
        record(QStringLiteral("could not take %1 into use: %2")
                   .arg(QLatin1String(kUpdateFile), QString::fromStdString(error.message())));
        return 1;
    }
    QFile::setPermissions(self, QFile::permissions(self) | QFile::ExeOwner | QFile::ExeUser
                                    | QFile::ExeGroup | QFile::ExeOther);
    record(QStringLiteral("took %1 into use").arg(QLatin1String(kUpdateFile)));
    return 0;
}

int update_editor(const QString &setup, const QString &editor)
{
    record(QStringLiteral("asked to update \"%1\" with the setup at \"%2\"").arg(editor, setup));
    QDeadlineTimer deadline(kEditorExitTimeoutMs);
    while (program_running(editor)) {
        if (deadline.hasExpired()) {
            record(QStringLiteral("the editor did not exit; nothing done"));
            return 1;
        }
        QThread::msleep(50);
    }
    record(QStringLiteral("the editor has exited; the new setup would go to \"%1\"").arg(setup));
    return 0;
}

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments().mid(1);

    if (arguments == QStringList{QStringLiteral("--version")}) {
        std::printf("%s\n", kVersion);
        return 0;
    }
    if (arguments.isEmpty())
        return take_update_into_use();
    if (arguments.size() == 2)
        return update_editor(arguments[0], arguments[1]);

    std::fprintf(stderr, "usage: Quorvane_Win_Updater [--version | SETUP EDITOR]\n");
    record(QStringLiteral("unexpected arguments: ") + arguments.join(QLatin1Char(' ')));
    return 2;
}
