// The version check against a real HTTP server on 127.0.0.1: the menu lines,
// "Update Now", the notice window and its preference box, and every way the
// server can fail to answer properly.

#include "HttpTestServer.h"
#include "UpdaterRig.h"
#include "common/ConsoleLog.h"
#include "support/RecordingShell.h"
#include "support/ScriptedDialogs.h"
#include "update/TformNewVersionMsg.h"
#include "update/UpdateService.h"
#include "update/Versions.h"
#include "platform/Wait.h"

#include <QAction>
#include <QCheckBox>
#include <QLabel>
#include <QProcess>
#include <QPushButton>
#include <QSslConfiguration>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using namespace quorvane;
using quorvane::test::HttpTestServer;
using quorvane::test::readFile;
using quorvane::test::writeFile;

namespace {

const QString kNewVersionItem = QStringLiteral("New version available:");

// One editor's worth of the update service, with menu items and a notice
// window of its own, pointed at the test's server.
struct Editor {
    ConsoleLog console;
    quorvane::test::ScriptedDialogs dialogs;
    quorvane::test::RecordingShell shell;
    QAction menuAppVersion{QStringLiteral("Editor Version: ")};
    QAction menuNewAppVersion{kNewVersionItem};
    QAction menuUpdateNow{QStringLiteral("Update Now")};
    TformNewVersionMsg notice;
    UpdateService service{console, dialogs, shell};

    explicit Editor(const QString &server, const QString &preferenceFile = {})
    {
        menuAppVersion.setEnabled(false);
        menuNewAppVersion.setEnabled(false);
        menuUpdateNow.setEnabled(false);
        service.setMenuItems(&menuAppVersion, &menuNewAppVersion, &menuUpdateNow);
        service.setNoticeWindow(&notice);
        service.setPreferenceFile(preferenceFile);
        service.setRequestTimeout(2000);
        service.allow_plain_loopback = true; // the test's own server
        service.setExitHandler([] { QFAIL("the version check must not end the editor"); });
        if (!server.isEmpty())
            QVERIFY(service.setServerAddress(server));
        service.app_version = service.get_app_version();
    }

    QString label(const char *name) { return notice.findChild<QLabel *>(name)->text(); }
};

} // namespace

class TestVersionCheck : public QObject {
    Q_OBJECT
private slots:
    void comparesWithTheServersVersion_data();
    void comparesWithTheServersVersion();
    void preferenceNoKeepsTheNoticeClosed();
    void noticeLayoutAndButtons();
    void noticeCheckBoxWritesOnlyWhenTicked();
    void badRepliesChangeNoMenuItem_data();
    void badRepliesChangeNoMenuItem();
    void unreachableServerOnlyLogs_data();
    void unreachableServerOnlyLogs();
    void selfSignedServerIsRefused();
    void timerChecksOnceAfterStartUp();
    void appVersionFromProgramVersion_data();
    void appVersionFromProgramVersion();
    void versionNumbers_data();
    void versionNumbers();
    void serverAddresses_data();
    void serverAddresses();
    void plainHttpRefusedWithoutTheTestSwitch();
};

void TestVersionCheck::comparesWithTheServersVersion_data()
{
    QTest::addColumn<QByteArray>("server");
    QTest::addColumn<QString>("menuText");
    QTest::addColumn<bool>("updateNow");

    QTest::newRow("1.14 is newer") << QByteArray("1.14") << kNewVersionItem + " 1.14" << true;
    QTest::newRow("same version") << QByteArray("1.13") << "No update available" << false;
    // Whole numbers of the digits: 2.0 is 20 and 1.9 is 19, both below 113.
    QTest::newRow("2.0 counts as older") << QByteArray("2.0") << "No update available" << false;
    QTest::newRow("1.9 counts as older") << QByteArray("1.9") << "No update available" << false;
    QTest::newRow("1.130 is newer") << QByteArray("1.130") << kNewVersionItem + " 1.130" << true;
}

void TestVersionCheck::comparesWithTheServersVersion()
{
    QFETCH(QByteArray, server);
    QFETCH(QString, menuText);
    QFETCH(bool, updateNow);

    HttpTestServer http;
    QVERIFY(http.listen());
    http.route("/download/quorvane-editor-version.php", HttpTestServer::ok(server));
    Editor editor(http.base());

    editor.service.checkmostrecentversiononwebsite();

    QCOMPARE(http.requests, QStringList{"GET /download/quorvane-editor-version.php"});
    QCOMPARE(editor.console.lines(),
             (QStringList{"currentAppVersion: 1.13", "newAppVersion: " + QString::fromLatin1(server)}));
    QCOMPARE(editor.service.new_app_version, QString::fromLatin1(server));
    QCOMPARE(editor.menuNewAppVersion.text(), menuText);
    QCOMPARE(editor.menuUpdateNow.isEnabled(), updateNow);
    QCOMPARE(editor.notice.isVisible(), updateNow);
    QVERIFY(editor.dialogs.messages.isEmpty());
    if (updateNow) {
        QCOMPARE(editor.label("Label1"), "A new version of the Quorvane Editor is available");
        QCOMPARE(editor.label("Label2"),
                 "Your version: 1.13     New version: " + QString::fromLatin1(server));
    }
}

void TestVersionCheck::preferenceNoKeepsTheNoticeClosed()
{
    HttpTestServer http;
    QVERIFY(http.listen());
    http.route("/download/quorvane-editor-version.php", HttpTestServer::ok("1.14"));
    Editor editor(http.base());
    editor.service.show_update_message = false;

    editor.service.checkmostrecentversiononwebsite();

    QCOMPARE(editor.menuNewAppVersion.text(), kNewVersionItem + " 1.14");
    QVERIFY(editor.menuUpdateNow.isEnabled());
    QVERIFY(!editor.notice.isVisible());
}

void TestVersionCheck::noticeLayoutAndButtons()
{
    HttpTestServer http;
    QVERIFY(http.listen());
    http.route("/download/quorvane-editor-version.php", HttpTestServer::ok("1.14"));
    http.route("/download/update/Quorvane_Win_Updater_Version.php", HttpTestServer::ok("1.3"));
    Editor editor(http.base());
    editor.dialogs.defaultAnswer = Answer::No;
    editor.service.checkmostrecentversiononwebsite();
    TformNewVersionMsg &notice = editor.notice;
    QVERIFY(QTest::qWaitForWindowExposed(&notice));

    QCOMPARE(notice.windowTitle(), "New Version");
    QCOMPARE(notice.size(), QSize(268, 151));
    QVERIFY(!notice.isModal());
    const struct {
        const char *name;
        QRect geometry;
        QString text;
    } controls[] = {
        {"Label1", {8, 0, 252, 38}, "A new version of the Quorvane Editor is available"},
        {"Label2", {14, 31, 236, 17}, "Your version: 1.13     New version: 1.14"},
        {"btnLaunchUpdate", {86, 56, 93, 28}, "Update Now"},
        {"CheckBox1", {35, 132, 215, 19}, "Don't Show This Message Again"},
    };
    for (const auto &control : controls) {
        auto *widget = notice.findChild<QWidget *>(control.name);
        QVERIFY2(widget, control.name);
        QCOMPARE(widget->geometry(), control.geometry);
        const QVariant text = widget->property("text");
        QCOMPARE(text.toString(), control.text);
    }
    auto *whatsNew = notice.findChild<QPushButton *>("btnSeeWhatsNew");
    QCOMPARE(whatsNew->pos(), QPoint(91, 97));
    QCOMPARE(whatsNew->text(), "What's New?");

    // "What's New?" opens the page in the browser.
    QTest::mouseClick(whatsNew, Qt::LeftButton);
    QCOMPARE(editor.shell.openedUrls, QStringList{http.base() + "/download/update/whatsnew.html"});

    // "Update Now" asks first; No sends nothing further and starts nothing.
    QTest::mouseClick(notice.findChild<QPushButton *>("btnLaunchUpdate"), Qt::LeftButton);
    QCOMPARE(editor.dialogs.questions,
             QStringList{"This action will update the Quorvane Editor to the latest version. "
                         "Do you want to continue?"});
    QCOMPARE(http.requests.size(), 1);
    QVERIFY(editor.shell.starts.isEmpty());

    // Closing only hides the window.
    notice.close();
    QVERIFY(notice.isHidden());
    QCOMPARE(notice.findChild<QLabel *>("Label1")->parentWidget(), &notice);
}

void TestVersionCheck::noticeCheckBoxWritesOnlyWhenTicked()
{
    QTemporaryDir folder;
    const QString preference = folder.filePath("ShowMessageVersionAtStartup.txt");
    QVERIFY(writeFile(preference, "YES"));
    Editor editor({}, preference);
    auto *box = editor.notice.findChild<QCheckBox *>("CheckBox1");

    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(box->isChecked());
    QCOMPARE(readFile(preference), QByteArray("NO"));

    // Unticking does not write "YES" back.
    QVERIFY(writeFile(preference, "something else"));
    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(!box->isChecked());
    QCOMPARE(readFile(preference), QByteArray("something else"));

    // A missing file is not created.
    QVERIFY(QFile::remove(preference));
    QTest::mouseClick(box, Qt::LeftButton);
    QVERIFY(box->isChecked());
    QVERIFY(!QFile::exists(preference));
    QVERIFY(editor.service.show_update_message);
}

void TestVersionCheck::badRepliesChangeNoMenuItem_data()
{
    QTest::addColumn<int>("status");
    QTest::addColumn<QByteArray>("reason");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QStringList>("console");

    const QStringList none;
    QTest::newRow("404") << 404 << QByteArray("Not Found") << QByteArray("<html>gone</html>")
                         << QStringList{"Error: Not Found"} << none;
    QTest::newRow("503") << 503 << QByteArray("Service Unavailable") << QByteArray()
                         << QStringList{"Error: Service Unavailable"} << none;
    QTest::newRow("no reason phrase") << 404 << QByteArray() << QByteArray()
                                      << QStringList{"Error: 404"} << none;
    const auto unexpected = [](const QString &body) {
        return QStringList{"currentAppVersion: 1.13", "newAppVersion: " + body,
                           "Unexpected version text from server"};
    };
    QTest::newRow("line end") << 200 << QByteArray("OK") << QByteArray("1.14\r\n") << none
                              << unexpected("1.14\r\n");
    QTest::newRow("web page") << 200 << QByteArray("OK") << QByteArray("<html>1.14</html>")
                              << none << unexpected("<html>1.14</html>");
    QTest::newRow("empty body") << 200 << QByteArray("OK") << QByteArray() << none
                                << unexpected("");
    QTest::newRow("digits beyond any number")
        << 200 << QByteArray("OK") << QByteArray("1.99999999999999999999999") << none
        << unexpected("1.99999999999999999999999");
}

void TestVersionCheck::badRepliesChangeNoMenuItem()
{
    QFETCH(int, status);
    QFETCH(QByteArray, reason);
    QFETCH(QByteArray, body);
    QFETCH(QStringList, messages);
    QFETCH(QStringList, console);

    HttpTestServer http;
    QVERIFY(http.listen());
    http.route("/download/quorvane-editor-version.php", {status, reason, body, false, -1});
    Editor editor(http.base());

    editor.service.checkmostrecentversiononwebsite();

    // Reported once, and nothing else moves.
    QCOMPARE(editor.dialogs.messages, messages);
    QCOMPARE(editor.console.lines(), console);
    QCOMPARE(editor.menuNewAppVersion.text(), kNewVersionItem);
    QVERIFY(!editor.menuUpdateNow.isEnabled());
    QVERIFY(!editor.notice.isVisible());
}

void TestVersionCheck::unreachableServerOnlyLogs_data()
{
    QTest::addColumn<bool>("listening");
    QTest::newRow("nobody listening") << false;
    QTest::newRow("server never answers") << true;
}

void TestVersionCheck::unreachableServerOnlyLogs()
{
    QFETCH(bool, listening);
    HttpTestServer http;
    QVERIFY(http.listen());
    http.route("/download/quorvane-editor-version.php", HttpTestServer::silence());
    QString base = http.base();
    std::unique_ptr<HttpTestServer> closed;
    if (!listening) {
        // A port that was free a moment ago and has nobody behind it now.
        auto probe = std::make_unique<HttpTestServer>();
        QVERIFY(probe->listen());
        base = probe->base();
        probe.reset();
    }
    Editor editor(base);
    editor.service.setRequestTimeout(300);

    editor.service.checkmostrecentversiononwebsite();

    QVERIFY(editor.dialogs.messages.isEmpty());
    QCOMPARE(editor.console.count(), 1);
    QVERIFY2(editor.console.last().startsWith("Could not reach the update server: "),
             qPrintable(editor.console.last()));
    QVERIFY(editor.console.last().size() > QStringLiteral("Could not reach the update server: ").size());
    QCOMPARE(editor.menuNewAppVersion.text(), kNewVersionItem);
    QVERIFY(!editor.menuUpdateNow.isEnabled());
}

void TestVersionCheck::selfSignedServerIsRefused()
{
    QTemporaryDir folder;
    const QString certificatePath = folder.filePath("cert.pem");
    const QString keyPath = folder.filePath("key.pem");
    QProcess openssl;
    openssl.start("openssl",
                  {"req", "-x509", "-newkey", "rsa:2048", "-nodes", "-days", "1", "-subj",
                   "/CN=127.0.0.1", "-addext", "subjectAltName=IP:127.0.0.1", "-keyout", keyPath,
                   "-out", certificatePath});
    QVERIFY2(openssl.waitForFinished(60000) && openssl.exitCode() == 0,
             openssl.readAllStandardError().constData());
    const QList<QSslCertificate> certificates = QSslCertificate::fromPath(certificatePath);
    QCOMPARE(certificates.size(), 1);
    QFile keyFile(keyPath);
    QVERIFY(keyFile.open(QIODevice::ReadOnly));
    const QSslKey key(&keyFile, QSsl::Rsa);
    QVERIFY(!key.isNull());

    HttpTestServer https;
    QVERIFY(https.listenTls(certificates.first(), key));
    https.route("/download/quorvane-editor-version.php", HttpTestServer::ok("1.14"));

    {
        Editor editor(https.base());
        editor.service.checkmostrecentversiononwebsite();
        QVERIFY(editor.dialogs.messages.isEmpty());
        QCOMPARE(editor.console.count(), 1);
        QVERIFY2(editor.console.last().startsWith("Could not reach the update server: "),
                 qPrintable(editor.console.last()));
        QVERIFY(https.requests.isEmpty());
        QCOMPARE(editor.menuNewAppVersion.text(), kNewVersionItem);
    }

    // The same server once its certificate is trusted: the refusal above was
    // the certificate check, not a broken server.
    const QSslConfiguration saved = QSslConfiguration::defaultConfiguration();
    QSslConfiguration trusting = saved;
    trusting.addCaCertificates(certificates);
    QSslConfiguration::setDefaultConfiguration(trusting);
    {
        Editor editor(https.base());
        editor.service.checkmostrecentversiononwebsite();
        QSslConfiguration::setDefaultConfiguration(saved);
        QVERIFY2(editor.console.count() == 2, qPrintable(editor.console.lines().join('|')));
        QCOMPARE(https.requests, QStringList{"GET /download/quorvane-editor-version.php"});
        QCOMPARE(editor.menuNewAppVersion.text(), kNewVersionItem + " 1.14");
    }
}

void TestVersionCheck::timerChecksOnceAfterStartUp()
{
    HttpTestServer http;
    QVERIFY(http.listen());
    http.route("/download/quorvane-editor-version.php", HttpTestServer::ok("1.13"));
    Editor editor(http.base());
    editor.service.app_version.clear();

    editor.service.prepare_at_startup();

    QCOMPARE(editor.service.app_version, "1.13");
    QCOMPARE(editor.menuAppVersion.text(), "Editor Version:  1.13");
    QVERIFY(editor.service.TimerCheckWebVersion.isActive());
    QCOMPARE(editor.service.TimerCheckWebVersion.interval(), 1000);
    QVERIFY(http.requests.isEmpty());
    QTRY_COMPARE_WITH_TIMEOUT(http.requests.size(), 1, 5000);
    QTRY_COMPARE(editor.menuNewAppVersion.text(), "No update available");
    QVERIFY(!editor.service.TimerCheckWebVersion.isActive());
    wait_ms(1500);
    QCOMPARE(http.requests.size(), 1);
}

void TestVersionCheck::appVersionFromProgramVersion_data()
{
    QTest::addColumn<QString>("programVersion");
    QTest::addColumn<QString>("appVersion");
    QTest::newRow("this release") << "1.13.0.0" << "1.13";
    QTest::newRow("major and minor only") << "2.0.5.7" << "2.0";
    QTest::newRow("no version") << "" << "";
    QTest::newRow("not a version") << "beta" << "";
    QTest::newRow("beyond 16 bits") << "70000.1.0.0" << "";
}

void TestVersionCheck::appVersionFromProgramVersion()
{
    QFETCH(QString, programVersion);
    QFETCH(QString, appVersion);
    Editor editor({});
    editor.shell.version = programVersion;
    QCOMPARE(editor.service.get_app_version(), appVersion);
}

void TestVersionCheck::versionNumbers_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<qlonglong>("number"); // -1: not a version text
    QTest::newRow("1.14") << "1.14" << 114LL;
    QTest::newRow("2.0") << "2.0" << 20LL;
    QTest::newRow("single number") << "7" << 7LL;
    QTest::newRow("line end") << "1.14\n" << -1LL;
    QTest::newRow("leading blank") << " 1.14" << -1LL;
    QTest::newRow("empty") << "" << -1LL;
    QTest::newRow("double point") << "1..4" << -1LL;
    QTest::newRow("trailing point") << "1.4." << -1LL;
    QTest::newRow("sign") << "-1.4" << -1LL;
    QTest::newRow("other digits") << QString::fromUtf8("\u0661.\u0662") << -1LL;
    QTest::newRow("too long") << "123456789012345678901" << -1LL;
}

void TestVersionCheck::versionNumbers()
{
    QFETCH(QString, text);
    QFETCH(qlonglong, number);
    const auto n = version_number(text);
    QCOMPARE(n.has_value(), number >= 0);
    if (n)
        QCOMPARE(qlonglong(*n), number);
}

void TestVersionCheck::serverAddresses_data()
{
    QTest::addColumn<QString>("given");
    QTest::addColumn<QString>("used"); // empty: refused, the default stays
    QTest::newRow("https") << "https://updates.example.org" << "https://updates.example.org";
    QTest::newRow("trailing slash") << "https://example.org:8443/" << "https://example.org:8443";
    QTest::newRow("test server on 127.0.0.1") << "http://127.0.0.1:8080/mirror" << "http://127.0.0.1:8080/mirror";
    QTest::newRow("plain http elsewhere") << "http://updates.example.org" << "";
    QTest::newRow("plain http on another local name") << "http://localhost:8080" << "";
    QTest::newRow("ftp") << "ftp://example.org" << "";
    QTest::newRow("no host") << "https://" << "";
    QTest::newRow("not an address") << "example dot org" << "";
    QTest::newRow("query") << "https://example.org/?x=1" << "";
}

void TestVersionCheck::serverAddresses()
{
    QFETCH(QString, given);
    QFETCH(QString, used);
    Editor editor({});
    const QString before = editor.service.serverAddress();
    QVERIFY(before.startsWith("https://"));
    QCOMPARE(editor.service.setServerAddress(given), !used.isEmpty());
    QCOMPARE(editor.service.serverAddress(), used.isEmpty() ? before : used);
    editor.service.menuSupportClick();
    QCOMPARE(editor.shell.openedUrls, QStringList{editor.service.serverAddress() + "/contact-us/"});
}

void TestVersionCheck::plainHttpRefusedWithoutTheTestSwitch()
{
    HttpTestServer http;
    QVERIFY(http.listen());
    http.route(UpdateService::kEditorVersionPath, HttpTestServer::ok("99.0"));
    Editor editor({});
    editor.service.allow_plain_loopback = false; // as the editor runs
    QVERIFY(!editor.service.setServerAddress(http.base()));
    QVERIFY(editor.service.server_refused());
    QVERIFY(editor.console.lines().contains(
        QStringLiteral("Update server refused: \"%1\" is not an https:// address; no version check runs")
            .arg(http.base())));
    editor.service.checkmostrecentversiononwebsite();
    editor.service.start_editor_update();
    QVERIFY(http.requests.isEmpty());
    QVERIFY(!editor.notice.isVisible());
}

QTEST_MAIN(TestVersionCheck)
#include "tst_versioncheck.moc"
