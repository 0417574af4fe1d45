// "Update Now" against a real HTTP server on 127.0.0.1: the updater's version
// check, the download of a new updater, and the starts of the updater,
// recorded by the shell double.

#include "HttpTestServer.h"
#include "UpdaterRig.h"
#include "common/ConsoleLog.h"
#include "support/RecordingShell.h"
#include "support/ScriptedDialogs.h"
#include "update/UpdateService.h"

#include <QDir>
#include <QTemporaryDir>
#include <QtTest>

using namespace quorvane;
using namespace quorvane::test;

namespace {

const QString kDownloaded =
    QStringLiteral("New updater downloaded! Click OK to proceed with the update.");
const QString kLaunchFailed =
    QStringLiteral("Failed to launch updater. Please run as administrator.");
const QString kQuestion = QStringLiteral(
    "This action will update the Quorvane Editor to the latest version. Do you want to continue?");
const QByteArray kVersionPath = "/download/update/Quorvane_Win_Updater_Version.php";
const QByteArray kDownloadPath = "/download/update/Quorvane_Win_Updater.exe";

// Every byte value, line ends and NULs included, so that any text-mode or
// truncating write shows.
QByteArray programBytes()
{
    QByteArray bytes;
    for (int round = 0; round < 64; ++round)
        for (int b = 0; b < 256; ++b)
            bytes.append(char(b));
    return bytes;
}

// An editor installed in a folder with blanks in its name, with a temporary
// folder of its own, pointed at the test's server.
struct Install {
    QTemporaryDir root;
    QString programFolder = root.filePath("Program Files/Quorvane Editor");
    QString tempFolder = root.filePath("Temp Folder");
    QString editorFile = programFolder + "/quorvane-editor";
    QString updaterFile = programFolder + '/' + kUpdaterFile;
    QString updateFile = programFolder + '/' + kUpdaterUpdateFile;
    QString setupFile = tempFolder + "/Quorvane_Editor_Update.exe";

    ConsoleLog console;
    ScriptedDialogs dialogs;
    RecordingShell shell;
    UpdateService service{console, dialogs, shell};
    int exits = 0;

    explicit Install(const QString &server)
    {
        QDir().mkpath(programFolder);
        QDir().mkpath(tempFolder);
        shell.program = editorFile;
        shell.folder = programFolder;
        shell.temp = tempFolder;
        service.setWorkingFolder(programFolder);
        service.allow_plain_loopback = true; // the test's own server
        service.setServerAddress(server);
        service.setRequestTimeout(1000);
        service.setExitHandler([this] { ++exits; });
    }

    // An updater that tells `version` when asked for it.
    bool installUpdater(const QString &version)
    {
        return writeScript(updaterFile,
                           "if [ \"$1\" = \"--version\" ]; then echo '" + version.toUtf8() + "'; fi");
    }

    // Each start as "updater|SETUP|EDITOR", elevation marked.
    QStringList starts() const
    {
        QStringList described;
        for (const auto &start : shell.starts) {
            QStringList parts{start.program == updaterFile ? "updater" : start.program};
            for (const QString &argument : start.arguments)
                parts << (argument == setupFile ? "SETUP" : argument == editorFile ? "EDITOR" : argument);
            described << (start.elevated ? "" : "not elevated ") + parts.join('|');
        }
        return described;
    }
};

} // namespace

class TestUpdaterRefresh : public QObject {
    Q_OBJECT
private slots:
    void refreshAndLaunch_data();
    void refreshAndLaunch();
    void logsEachStepAndKeepsPathsWhole();
    void onlyNoCancels_data();
    void onlyNoCancels();
    void unreachableServerIsShown();
    void oversizedDownloadIsRefused_data();
    void oversizedDownloadIsRefused();
    void readsInstalledUpdaterVersion_data();
    void readsInstalledUpdaterVersion();
};

void TestUpdaterRefresh::refreshAndLaunch_data()
{
    QTest::addColumn<QString>("installed"); // version the installed updater tells; "-" none
    QTest::addColumn<int>("versionStatus");
    QTest::addColumn<QByteArray>("versionBody");
    QTest::addColumn<int>("downloadStatus");
    QTest::addColumn<QByteArray>("downloadBody");
    QTest::addColumn<qint64>("announced"); // body length announced by the server; -1 true
    QTest::addColumn<QStringList>("requests");
    QTest::addColumn<QStringList>("messages"); // each the start of one message shown
    QTest::addColumn<QStringList>("starts");
    QTest::addColumn<bool>("downloaded");
    QTest::addColumn<int>("exits");

    const QByteArray body = programBytes();
    const QString version = "GET " + kVersionPath;
    const QString download = "GET " + kDownloadPath;
    const QStringList both{version, download};
    const QStringList onlyVersion{version};
    const QStringList launch{"updater|SETUP|EDITOR"};
    const QStringList downloadAndLaunch{"updater", "updater|SETUP|EDITOR"};

    QTest::newRow("installed 1.2, server 1.3")
        << "1.2" << 200 << QByteArray("1.3") << 200 << body << qint64(-1) << both
        << QStringList{kDownloaded} << downloadAndLaunch << true << 1;
    QTest::newRow("installed 1.3, server 1.3")
        << "1.3" << 200 << QByteArray("1.3") << 200 << body << qint64(-1) << onlyVersion
        << QStringList{} << launch << false << 1;
    QTest::newRow("installed 1.4, server 1.3")
        << "1.4" << 200 << QByteArray("1.3") << 200 << body << qint64(-1) << onlyVersion
        << QStringList{} << launch << false << 1;
    QTest::newRow("installed updater tells no version")
        << "unknown" << 200 << QByteArray("1.3") << 200 << body << qint64(-1) << both
        << QStringList{kDownloaded} << downloadAndLaunch << true << 1;
    QTest::newRow("download 404")
        << "1.2" << 200 << QByteArray("1.3") << 404 << QByteArray("<html>404</html>")
        << qint64(-1) << both << QStringList{"Download failed: Not Found"} << launch << false << 1;
    QTest::newRow("download empty")
        << "1.2" << 200 << QByteArray("1.3") << 200 << QByteArray() << qint64(-1) << both
        << QStringList{"Download failed: the server sent an empty file"} << launch << false << 1;
    QTest::newRow("download breaks off")
        << "1.2" << 200 << QByteArray("1.3") << 200 << body.left(1000) << qint64(body.size())
        << both << QStringList{"Download failed: "} << launch << false << 1;
    QTest::newRow("download never answers")
        << "1.2" << 200 << QByteArray("1.3") << 0 << QByteArray() << qint64(-1) << both
        << QStringList{"Download failed: The server did not answer within"} << launch << false
        << 1;
    QTest::newRow("no updater installed")
        << "-" << 200 << QByteArray("1.3") << 200 << body << qint64(-1) << both
        << QStringList{kDownloaded, kLaunchFailed} << QStringList{} << true << 1;
    QTest::newRow("version 404, updater installed")
        << "1.2" << 404 << QByteArray() << 200 << body << qint64(-1) << onlyVersion
        << QStringList{"Error: Not Found"} << QStringList{} << false << 0;
    QTest::newRow("version 404, no updater installed")
        << "-" << 404 << QByteArray() << 200 << body << qint64(-1) << both
        << QStringList{"Error: Not Found", kDownloaded, kLaunchFailed} << QStringList{} << true
        << 1;
    QTest::newRow("version with a line end")
        << "1.2" << 200 << QByteArray("1.3\n") << 200 << body << qint64(-1) << onlyVersion
        << QStringList{"Unexpected version text from server"} << QStringList{} << false << 0;
    QTest::newRow("version is a web page, no updater installed")
        << "-" << 200 << QByteArray("<html></html>") << 200 << body << qint64(-1) << onlyVersion
        << QStringList{"Unexpected version text from server"} << QStringList{} << false << 0;
}

void TestUpdaterRefresh::refreshAndLaunch()
{
    QFETCH(QString, installed);
    QFETCH(int, versionStatus);
    QFETCH(QByteArray, versionBody);
    QFETCH(int, downloadStatus);
    QFETCH(QByteArray, downloadBody);
    QFETCH(qint64, announced);
    QFETCH(QStringList, requests);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, starts);
    QFETCH(bool, downloaded);
    QFETCH(int, exits);

    HttpTestServer http;
    QVERIFY(http.listen());
    http.route(kVersionPath, {versionStatus, versionStatus == 200 ? "OK" : "Not Found",
                              versionBody, false, -1});
    http.route(kDownloadPath, {downloadStatus, downloadStatus == 200 ? "OK" : "Not Found",
                               downloadBody, downloadStatus == 0, announced});
    Install install(http.base());
    if (installed != "-")
        QVERIFY(install.installUpdater(installed));
    // A left-over download stays untouched unless a whole new one arrives.
    QVERIFY(writeFile(install.updateFile, "STALE"));

    install.service.start_editor_update();

    QCOMPARE(install.dialogs.questions, QStringList{kQuestion});
    QCOMPARE(http.requests, requests);
    QCOMPARE(install.dialogs.messages.size(), messages.size());
    for (int i = 0; i < messages.size(); ++i)
        QVERIFY2(install.dialogs.messages[i].startsWith(messages[i]),
                 qPrintable(install.dialogs.messages[i]));
    QCOMPARE(install.starts(), starts);
    if (downloaded) {
        QVERIFY(readFile(install.updateFile) == downloadBody);
        QVERIFY(QFileInfo(install.updateFile).isExecutable());
    } else {
        QCOMPARE(readFile(install.updateFile), QByteArray("STALE"));
    }
    // Nothing half-written is left beside it.
    QCOMPARE(QDir(install.programFolder).entryList(QDir::Files | QDir::Hidden).size(),
             installed == "-" ? 1 : 2);
    QCOMPARE(install.exits, exits);
}

void TestUpdaterRefresh::oversizedDownloadIsRefused_data()
{
    QTest::addColumn<qint64>("over"); // bytes the download has beyond the limit
    QTest::newRow("one byte over the limit") << qint64(1);
    QTest::newRow("exactly the limit") << qint64(0);
}

void TestUpdaterRefresh::oversizedDownloadIsRefused()
{
    QFETCH(qint64, over);
    const QByteArray body = programBytes();
    HttpTestServer http;
    QVERIFY(http.listen());
    http.route(kVersionPath, HttpTestServer::ok("1.3"));
    http.route(kDownloadPath, HttpTestServer::ok(body));
    Install install(http.base());
    QVERIFY(install.installUpdater("1.2"));
    QVERIFY(writeFile(install.updateFile, "STALE"));
    // The real limit is 64 MiB; the test lowers it instead of serving that.
    QCOMPARE(install.service.max_download_bytes, 64ll * 1024 * 1024);
    install.service.max_download_bytes = body.size() - over;

    install.service.start_editor_update();
    if (over > 0) {
        QCOMPARE(install.dialogs.messages.value(0), QString("Download failed: too large"));
        // Nothing written, the download not started.
        QCOMPARE(readFile(install.updateFile), QByteArray("STALE"));
        QCOMPARE(install.starts(), QStringList{"updater|SETUP|EDITOR"});
    } else {
        QCOMPARE(readFile(install.updateFile), body);
    }
}

void TestUpdaterRefresh::logsEachStepAndKeepsPathsWhole()
{
    HttpTestServer http;
    QVERIFY(http.listen());
    http.route(kVersionPath, HttpTestServer::ok("1.3"));
    http.route(kDownloadPath, HttpTestServer::ok("new updater"));
    Install install(http.base());
    QVERIFY(install.installUpdater("1.2"));

    install.service.start_editor_update();

    const QString quotedArguments = '"' + install.setupFile + "\" \"" + install.editorFile + '"';
    QCOMPARE(install.console.lines(),
             (QStringList{"updater version on server: 1.3", "local updater exists, check version...",
                          "currentUpdaterVersion: 1.2", "13", "12",
                          "New version of the updater found on server, downloading the new "
                          "updater...",
                          "Starting updater: \"" + install.updaterFile + "\" " + quotedArguments}));
    QCOMPARE(install.service.server_updater_version, "1.3");
    QCOMPARE(install.service.local_updater_version, "1.2");
    QCOMPARE(install.shell.starts.size(), 2);
    QVERIFY(install.shell.starts[0].arguments.isEmpty());
    // Each path is one argument, blanks and all.
    QCOMPARE(install.shell.starts[1].arguments, (QStringList{install.setupFile, install.editorFile}));
    QVERIFY(install.shell.starts[1].elevated);
}

void TestUpdaterRefresh::onlyNoCancels_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<int>("requests");
    QTest::newRow("No") << Answer::No << 0;
    QTest::newRow("Yes") << Answer::Yes << 1;
    QTest::newRow("closed") << Answer::Closed << 1;
}

void TestUpdaterRefresh::onlyNoCancels()
{
    QFETCH(Answer, answer);
    QFETCH(int, requests);
    HttpTestServer http;
    QVERIFY(http.listen());
    http.route(kVersionPath, HttpTestServer::ok("1.3"));
    Install install(http.base());
    QVERIFY(install.installUpdater("1.3"));
    install.dialogs.answers.enqueue(answer);

    install.service.start_editor_update();

    QCOMPARE(http.requests.size(), requests);
    QCOMPARE(install.shell.starts.size(), requests);
    QCOMPARE(install.exits, requests);
}

void TestUpdaterRefresh::unreachableServerIsShown()
{
    QString base;
    {
        HttpTestServer probe;
        QVERIFY(probe.listen());
        base = probe.base();
    }
    Install install(base);
    QVERIFY(install.installUpdater("1.2"));

    install.service.start_editor_update();

    // The user asked for the update, so the failure is shown, and the editor stays.
    QCOMPARE(install.dialogs.messages.size(), 1);
    QVERIFY2(install.dialogs.messages[0].startsWith("Could not reach the update server: "),
             qPrintable(install.dialogs.messages[0]));
    QVERIFY(install.shell.starts.isEmpty());
    QCOMPARE(install.exits, 0);
}

void TestUpdaterRefresh::readsInstalledUpdaterVersion_data()
{
    QTest::addColumn<QByteArray>("script"); // empty: the stand-in updater built beside the editor
    QTest::addColumn<QString>("version");
    QTest::newRow("stand-in updater") << QByteArray() << "1.0";
    QTest::newRow("major.minor") << QByteArray("echo 1.2") << "1.2";
    QTest::newRow("four parts") << QByteArray("echo 3.4.5.6") << "3.4";
    QTest::newRow("no version") << QByteArray("echo hello") << "0.0";
    QTest::newRow("fails") << QByteArray("echo 1.2; exit 3") << "0.0";
    QTest::newRow("hangs") << QByteArray("exec sleep 30") << "0.0";
    QTest::newRow("missing") << QByteArray("-") << "0.0";
}

void TestUpdaterRefresh::readsInstalledUpdaterVersion()
{
    QFETCH(QByteArray, script);
    QFETCH(QString, version);
    Install install("http://127.0.0.1:1");
    if (script.isEmpty())
        QVERIFY2(QFile::copy(builtUpdater(), install.updaterFile), qPrintable(builtUpdater()));
    else if (script != "-")
        QVERIFY(writeScript(install.updaterFile, script));
    QCOMPARE(install.service.read_updater_version(install.updaterFile), version);
}

QTEST_MAIN(TestUpdaterRefresh)
#include "tst_updaterrefresh.moc"
