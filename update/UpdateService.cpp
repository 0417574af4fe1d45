#include "update/UpdateService.h"

#include "common/ConsoleLog.h"
#include "platform/Dialogs.h"
#include "platform/Shell.h"
#include "platform/Wait.h"
#include "update/TformNewVersionMsg.h"
#include "update/Versions.h"

#include <QAction>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QSaveFile>
#include <QScopeGuard>
#include <QUrl>

namespace quorvane {

namespace {

const QString kCouldNotReach = QStringLiteral("Could not reach the update server: ");
const QString kUnexpectedVersion = QStringLiteral("Unexpected version text from server");

// A download gives up after this many request bounds even while data flows.
constexpr int kDownloadBoundFactor = 30;

// How long the installed updater may take to tell its version.
constexpr int kVersionQueryTimeoutMs = 5000;

QString quoted(const QString &path)
{
    return QLatin1Char('"') + path + QLatin1Char('"');
}

} // namespace

UpdateService::UpdateService(ConsoleLog &console, Dialogs &dialogs, Shell &shell, QObject *parent)
    : QObject(parent), m_console(console), m_dialogs(dialogs), m_shell(shell),
      m_server(QStringLiteral(QUORVANE_UPDATE_SERVER))
{
    TimerCheckWebVersion.setInterval(1000);
    connect(&TimerCheckWebVersion, &QTimer::timeout, this,
            &UpdateService::checkmostrecentversiononwebsite);
}

UpdateService::~UpdateService() = default;

bool UpdateService::isValidServerAddress(const QString &base)
{
    const QUrl url(base, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    return url.isValid() && (scheme == QLatin1String("https") || scheme == QLatin1String("http"))
           && !url.host().isEmpty() && !url.hasQuery() && !url.hasFragment();
}

bool UpdateService::setServerAddress(const QString &base)
{
    // The updater is later started with administrator rights: it never
    // travels without TLS.
    const QUrl url(base, QUrl::StrictMode);
    const QString scheme = url.scheme().toLower();
    const bool loopback = allow_plain_loopback && scheme == QLatin1String("http")
                          && url.host() == QLatin1String("127.0.0.1");
    if (!isValidServerAddress(base) || (scheme != QLatin1String("https") && !loopback)) {
        m_refused = true;
        m_console.print_to_console(
            QStringLiteral("Update server refused: \"%1\" is not an https:// address; no version check runs")
                .arg(base));
        return false;
    }
    m_refused = false;
    m_server = base;
    while (m_server.endsWith(QLatin1Char('/')))
        m_server.chop(1);
    return true;
}

QString UpdateService::address(const QString &path) const
{
    return m_server + path;
}

void UpdateService::setMenuItems(QAction *menuAppVersion, QAction *menuNewAppVersion,
                                 QAction *menuUpdateNow)
{
    m_menuAppVersion = menuAppVersion;
    m_menuNewAppVersion = menuNewAppVersion;
    m_menuUpdateNow = menuUpdateNow;
}

void UpdateService::setNoticeWindow(TformNewVersionMsg *notice)
{
    if (m_notice)
        m_notice->disconnect(this);
    m_notice = notice;
    if (!notice)
        return;
    notice->setPreferenceFile(m_preferenceFile);
    connect(notice, &TformNewVersionMsg::launchUpdateRequested, this,
            &UpdateService::start_editor_update);
    connect(notice, &TformNewVersionMsg::whatsNewRequested, this,
            [this] { OpenURL(address(QLatin1String(kWhatsNewPath))); });
}

void UpdateService::setPreferenceFile(const QString &path)
{
    m_preferenceFile = path;
    if (m_notice)
        m_notice->setPreferenceFile(path);
}

QString UpdateService::workingFolder() const
{
    return m_workingFolder.isEmpty() ? QDir::currentPath() : m_workingFolder;
}

QString UpdateService::updaterFileIn(const QString &folder) const
{
    return QDir(folder).filePath(QLatin1String(kUpdaterFile));
}

void UpdateService::prepare_at_startup()
{
    TimerCheckWebVersion.start();
    app_version = get_app_version();
    // The item's own text ends in a blank, so two blanks stand before the version.
    if (m_menuAppVersion)
        m_menuAppVersion->setText(QStringLiteral("Editor Version: ") + QLatin1Char(' ')
                                  + app_version);
}

QString UpdateService::get_app_version()
{
    return major_minor(m_shell.programVersion());
}

void UpdateService::OpenURL(const QString &address)
{
    m_shell.openUrl(address);
}

void UpdateService::menuSupportClick()
{
    OpenURL(address(QLatin1String(kContactPath)));
}

WebReply UpdateService::get(const QString &path, bool download)
{
    if (m_refused) {
        WebReply refused;
        refused.error = QStringLiteral("the update server's address was refused");
        return refused;
    }
    return web_get(m_network, QUrl(address(path)), m_timeoutMs,
                   download ? kDownloadBoundFactor * m_timeoutMs : m_timeoutMs,
                   download ? max_download_bytes : -1);
}

// ---------------------------------------------------------------------------
// The version check

void UpdateService::checkmostrecentversiononwebsite()
{
    TimerCheckWebVersion.stop();
    if (m_checkRunning || m_refused)
        return;
    m_checkRunning = true;
    const WebReply reply = get(QLatin1String(kEditorVersionPath));
    const bool replied = WebRequestCompleted(reply);
    m_checkRunning = false;
    if (!replied)
        return;

    // Whole numbers made of the digits, not part by part: the server keeps
    // the digit layout of the editor's versions.
    const auto n = version_number(new_app_version);
    if (!n) {
        m_console.print_to_console(kUnexpectedVersion);
        return;
    }
    const auto c = version_number(app_version);
    if (!c) {
        m_console.print_to_console(QStringLiteral("Unknown editor version: ") + app_version);
        return;
    }

    if (*n > *c) {
        if (m_menuNewAppVersion)
            m_menuNewAppVersion->setText(m_menuNewAppVersion->text() + QLatin1Char(' ')
                                         + new_app_version);
        if (show_update_message && m_notice) {
            m_notice->setVersions(app_version, new_app_version);
            if (m_notice->isVisible())
                m_notice->FormShow();
            m_notice->show();
            m_notice->raise();
        }
        if (m_menuUpdateNow)
            m_menuUpdateNow->setEnabled(true);
    } else {
        if (m_menuNewAppVersion)
            m_menuNewAppVersion->setText(QStringLiteral("No update available"));
        if (m_menuUpdateNow)
            m_menuUpdateNow->setEnabled(false);
    }
}

bool UpdateService::WebRequestCompleted(const WebReply &AResponse)
{
    // The check runs by itself at start-up: a user without network gets a
    // console line, not a message box at every start.
    if (!AResponse.replied) {
        m_console.print_to_console(kCouldNotReach + AResponse.error);
        return false;
    }
    if (AResponse.status != 200) {
        m_dialogs.message(QStringLiteral("Error: ") + AResponse.statusText);
        return false;
    }
    if (!AResponse.complete) {
        m_console.print_to_console(kCouldNotReach + AResponse.error);
        return false;
    }
    new_app_version = QString::fromUtf8(AResponse.body);
    m_console.print_to_console(QStringLiteral("currentAppVersion: ") + app_version);
    m_console.print_to_console(QStringLiteral("newAppVersion: ") + new_app_version);
    return true;
}

// ---------------------------------------------------------------------------
// The editor update

void UpdateService::start_editor_update()
{
    // A second click while the update waits for the server does not start
    // another one.
    if (m_updateRunning)
        return;
    m_updateRunning = true;
    const auto done = qScopeGuard([this] { m_updateRunning = false; });

    if (m_dialogs.confirm(QStringLiteral("This action will update the Quorvane Editor to the "
                                         "latest version. Do you want to continue?"))
        == Answer::No)
        return;

    if (!refresh_updater())
        return;

    const QString updater = updaterFileIn(m_shell.programFolder());
    QString temp = m_shell.tempFolder();
    const QString longTemp = QFileInfo(temp).canonicalFilePath();
    if (!longTemp.isEmpty())
        temp = longTemp;
    const QString setup = QDir(temp).filePath(QLatin1String(kEditorSetupFile));

    launch_updater(updater, setup, m_shell.programPath());

    // The editor ends whether or not the updater started.
    if (m_exit)
        m_exit();
    else
        QCoreApplication::quit();
}

bool UpdateService::launch_updater(const QString &updater_file, const QString &setup_file,
                                   const QString &editor_file)
{
    const QString setup = QDir::toNativeSeparators(setup_file);
    const QString editor = QDir::toNativeSeparators(editor_file);
    const QString updater = QDir::toNativeSeparators(updater_file);
    // The argument text as a Windows shell gets it; here each path goes as
    // one argument of its own.
    const QString arguments = quoted(setup) + QLatin1Char(' ') + quoted(editor);
    m_console.print_to_console(QStringLiteral("Starting updater: ") + quoted(updater)
                               + QLatin1Char(' ') + arguments);

    const bool started = QFileInfo(updater_file).isFile()
                         && m_shell.startProgram(updater, {setup, editor}, true);
    if (!started)
        m_dialogs.message(QStringLiteral("Failed to launch updater. Please run as administrator."));
    return started;
}

bool UpdateService::refresh_updater()
{
    const WebReply reply = get(QLatin1String(kUpdaterVersionPath));
    if (!reply.replied || (reply.status == 200 && !reply.complete)) {
        // The user asked for the update: say why nothing happens.
        m_dialogs.message(kCouldNotReach + reply.error);
        return false;
    }
    const bool serverKnown = NetHTTPRequest1RequestCompleted(reply);
    if (serverKnown && !version_number(server_updater_version)) {
        m_console.print_to_console(kUnexpectedVersion);
        m_dialogs.message(kUnexpectedVersion);
        return false;
    }

    const QString working = workingFolder();
    if (!QFileInfo::exists(updaterFileIn(working))) {
        m_console.print_to_console(QStringLiteral("Local updater not found, proceed with download..."));
        download_updater();
        return true;
    }
    m_console.print_to_console(QStringLiteral("local updater exists, check version..."));
    // Without the server's version there is nothing to compare with; the
    // failed reply has been reported already.
    if (!serverKnown)
        return false;

    local_updater_version = read_updater_version(updaterFileIn(m_shell.programFolder()));
    m_console.print_to_console(QStringLiteral("currentUpdaterVersion: ") + local_updater_version);
    m_console.print_to_console(version_digits(server_updater_version));
    m_console.print_to_console(version_digits(local_updater_version));

    const auto server = version_number(server_updater_version);
    const auto local = version_number(local_updater_version);
    if (server && local && *server > *local) {
        m_console.print_to_console(QStringLiteral(
            "New version of the updater found on server, downloading the new updater..."));
        download_updater();
    }
    return true;
}

bool UpdateService::NetHTTPRequest1RequestCompleted(const WebReply &AResponse)
{
    if (AResponse.status != 200) {
        m_dialogs.message(QStringLiteral("Error: ") + AResponse.statusText);
        return false;
    }
    server_updater_version = QString::fromUtf8(AResponse.body);
    m_console.print_to_console(QStringLiteral("updater version on server: ")
                               + server_updater_version);
    return true;
}

QString UpdateService::read_updater_version(const QString &path)
{
    const QString unknown = QStringLiteral("0.0");
    if (!QFileInfo(path).isFile())
        return unknown;
    QProcess process;
    process.setProcessChannelMode(QProcess::SeparateChannels);
    process.start(path, {QStringLiteral("--version")});
    if (!process.waitForStarted(kVersionQueryTimeoutMs))
        return unknown;
    process.closeWriteChannel();
    if (!wait_until([&process] { return process.state() == QProcess::NotRunning; },
                    kVersionQueryTimeoutMs)) {
        process.kill();
        process.waitForFinished(1000);
        return unknown;
    }
    if (process.exitStatus() != QProcess::NormalExit || process.exitCode() != 0)
        return unknown;
    const QString text = QString::fromUtf8(process.readAllStandardOutput()).trimmed();
    const QString version = is_version_text(text) ? major_minor(text) : QString();
    return version.isEmpty() ? unknown : version;
}

void UpdateService::download_updater()
{
    const WebReply reply = get(QLatin1String(kUpdaterDownloadPath), true);

    // Only a whole, successful download is written and started.
    QString failure;
    if (reply.too_large)
        failure = QStringLiteral("too large");
    else if (!reply.replied)
        failure = reply.error;
    else if (reply.status != 200)
        failure = reply.statusText;
    else if (!reply.complete)
        failure = reply.error;
    else if (reply.body.isEmpty())
        failure = QStringLiteral("the server sent an empty file");

    const QString working = workingFolder();
    if (failure.isEmpty()) {
        // Written beside the target and renamed into place once complete.
        QSaveFile file(QDir(working).filePath(QLatin1String(kUpdaterUpdateFile)));
        if (!file.open(QIODevice::WriteOnly) || file.write(reply.body) != reply.body.size()
            || !file.commit()) {
            failure = file.errorString();
            file.cancelWriting();
        } else {
            QFile::setPermissions(file.fileName(),
                                  QFile::permissions(file.fileName()) | QFile::ExeOwner
                                      | QFile::ExeUser | QFile::ExeGroup | QFile::ExeOther);
        }
    }
    if (!failure.isEmpty()) {
        m_dialogs.message(QStringLiteral("Download failed: ") + failure);
        return;
    }

    m_dialogs.message(QStringLiteral("New updater downloaded! Click OK to proceed with the update."));
    // The installed updater takes the new one into use; when there is none,
    // there is nothing to start.
    const QString installed = updaterFileIn(working);
    if (QFileInfo(installed).isFile())
        m_shell.startProgram(QDir::toNativeSeparators(installed), {}, true);
}

} // namespace quorvane
