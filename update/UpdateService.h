#pragma once
// The update service: once per run it asks the maker's server for the newest
// editor version and says so in the "Info" menu and the notice window; on
// "Update Now" it makes sure the updater beside the editor is current, starts
// it with the paths it needs, and ends the editor.

#include "update/WebRequest.h"

#include <QNetworkAccessManager>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QTimer>

#include <functional>

class QAction;

namespace quorvane {

class ConsoleLog;
class Dialogs;
class Shell;
class TformNewVersionMsg;

class UpdateService : public QObject {
    Q_OBJECT
public:
    // File names and server paths the editor and the updater agree on.
    static constexpr auto kUpdaterFile = "Quorvane_Win_Updater.exe";
    static constexpr auto kUpdaterUpdateFile = "Quorvane_Win_Updater_Update.exe";
    static constexpr auto kEditorSetupFile = "Quorvane_Editor_Update.exe";
    static constexpr auto kEditorVersionPath = "/download/quorvane-editor-version.php";
    static constexpr auto kWhatsNewPath = "/download/update/whatsnew.html";
    static constexpr auto kUpdaterVersionPath = "/download/update/Quorvane_Win_Updater_Version.php";
    static constexpr auto kUpdaterDownloadPath = "/download/update/Quorvane_Win_Updater.exe";
    static constexpr auto kContactPath = "/contact-us/";
    static constexpr int kDefaultRequestTimeoutMs = 10000;

    UpdateService(ConsoleLog &console, Dialogs &dialogs, Shell &shell, QObject *parent = nullptr);
    ~UpdateService() override;

    // The base address of the maker's server ("https://host[:port][/prefix]");
    // the build sets the default. Anything but an https address with a host
    // is refused with a console line: the old address stays for the web
    // pages, and no request goes to any server until an address is taken.
    bool setServerAddress(const QString &base);
    QString serverAddress() const { return m_server; }
    // An http or https address with a host, no query and no fragment (what
    // the command line takes); the service itself takes https only.
    static bool isValidServerAddress(const QString &base);
    // Tests only: http on 127.0.0.1 is taken as well (a local test server).
    bool allow_plain_loopback = false;
    // A download that grows past this is given up.
    qint64 max_download_bytes = 64ll * 1024 * 1024;
    // The full address of a path on the server.
    QString address(const QString &path) const;

    // The "Info" menu's display lines and "Update Now"; any may be null.
    void setMenuItems(QAction *menuAppVersion, QAction *menuNewAppVersion, QAction *menuUpdateNow);
    // The notice window; its buttons start the update and open the what's-new page.
    void setNoticeWindow(TformNewVersionMsg *notice);
    // The "ShowMessageVersionAtStartup.txt" preference file, for the notice's check box.
    void setPreferenceFile(const QString &path);
    // The folder in which the updater is looked for and a new one is put;
    // the process's working folder when not set.
    void setWorkingFolder(const QString &folder) { m_workingFolder = folder; }
    QString workingFolder() const;
    // Whether a server address was refused (no request goes out).
    bool server_refused() const { return m_refused; }
    // How long a request may wait for the server's next data.
    void setRequestTimeout(int ms) { m_timeoutMs = ms; }
    // What ends the editor after the updater has been started; quits the
    // application when not set.
    void setExitHandler(std::function<void()> handler) { m_exit = std::move(handler); }

    // Start-up: `app_version` from the program's own version, the version
    // menu line, and the one-shot timer of the version check switched on.
    void prepare_at_startup();

    // The running editor's version as "major.minor"; empty when the program
    // carries no version.
    QString get_app_version();
    // Opens a web address in the user's browser; failures are ignored.
    void OpenURL(const QString &address);

    // The version check, run once by `TimerCheckWebVersion`.
    void checkmostrecentversiononwebsite();
    // Handles the editor version reply; true for a whole 200 reply.
    bool WebRequestCompleted(const WebReply &AResponse);

    // The editor update: asks, refreshes the updater, starts it, ends the editor.
    void start_editor_update();
    // Makes sure the installed updater is current; false when the update
    // cannot go on (the reason has been reported).
    bool refresh_updater();
    // Handles the updater version reply; true for a whole 200 reply.
    bool NetHTTPRequest1RequestCompleted(const WebReply &AResponse);
    // Downloads a new updater beside the installed one and starts the
    // installed one to take it into use.
    void download_updater();
    // Starts the updater for the editor update; false when it did not start.
    bool launch_updater(const QString &updater_file, const QString &setup_file,
                        const QString &editor_file);
    // The version the updater program at `path` reports, as "major.minor";
    // "0.0" when it reports none.
    QString read_updater_version(const QString &path);

    // Menu handlers.
    void menuUpdateNowClick() { start_editor_update(); }
    void menuSupportClick();

    // The module state of the check and the refresh.
    QString app_version;
    QString new_app_version;
    QString server_updater_version;
    QString local_updater_version;
    bool show_update_message = true;

    QTimer TimerCheckWebVersion;

private:
    // A version text must arrive whole within the bound; a download may take
    // longer as long as its data keeps flowing.
    WebReply get(const QString &path, bool download = false);
    QString updaterFileIn(const QString &folder) const;

    ConsoleLog &m_console;
    Dialogs &m_dialogs;
    Shell &m_shell;
    QNetworkAccessManager m_network;
    QString m_server;
    QString m_workingFolder;
    QString m_preferenceFile;
    int m_timeoutMs = kDefaultRequestTimeoutMs;
    std::function<void()> m_exit;
    QPointer<QAction> m_menuAppVersion, m_menuNewAppVersion, m_menuUpdateNow;
    QPointer<TformNewVersionMsg> m_notice;
    bool m_updateRunning = false;
    bool m_checkRunning = false;
    bool m_refused = false;
};

} // namespace quorvane
