// Preferences: folders and files on first start, exact matching of what the
// files hold, the two menu toggles, and the fallbacks when folders or files
// misbehave. Every case runs against a temporary documents folder.

#include "EditorRig.h"

#include "common/Preferences.h"
#include "parameters/WriteConfirmation.h"
#include "app/TformMain.h"
#include "protocol/DeviceConnection.h"
#include "tuning/Instrument.h"
#include "update/UpdateService.h"
#include "usb/D2XXUnit.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QListWidget>
#include <QMenu>
#include <QtTest>

using namespace quorvane;
using quorvane::test::EditorRig;

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void write(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class TestPreferences : public QObject {
    Q_OBJECT
private slots:
    void firstStartCreatesFoldersAndDefaults();
    void startUpReadsWhatTheFilesHold_data();
    void startUpReadsWhatTheFilesHold();
    void decodesTheFileText_data();
    void decodesTheFileText();
    void togglesWriteOnlyExistingFiles_data();
    void togglesWriteOnlyExistingFiles();
    void withoutDocumentsFolderTheWorkingFolderIsUsed();
    void folderFailuresAreShownAndStartUpGoesOn();
};

void TestPreferences::firstStartCreatesFoldersAndDefaults()
{
    EditorRig rig;
    QVERIFY(!QFileInfo::exists(rig.shell.documents));
    Editor &editor = rig.start();
    QVERIFY(QFileInfo(rig.shell.documents + "/Velsk").isDir());
    QVERIFY(QFileInfo(rig.shell.documents + "/Velsk/Quorvane KQ5").isDir());
    QCOMPARE(contents(rig.productFile("ShowMessageVersionAtStartup.txt")), QByteArray("YES"));
    QCOMPARE(contents(rig.productFile("ReportUSBErrors.txt")), QByteArray("YES"));
    QCOMPARE(contents(rig.productFile("Instrument.txt")), QByteArray("GUITAR"));
    QCOMPARE(contents(rig.productFile("ConfirmWrites.txt")), QByteArray("YES"));
    QVERIFY(!QFileInfo::exists(rig.shell.documents + "/Velsk/style.txt"));
    QCOMPARE(QDir(rig.shell.documents + "/Velsk/Quorvane KQ5").entryList(QDir::AllEntries | QDir::NoDotAndDotDot).size(), 4);

    TformMain &form = editor.mainWindow();
    QVERIFY(editor.updates().show_update_message);
    QVERIFY(form.menuShowUpdateMsg->isChecked());
    QVERIFY(form.menuReportUSBErrors->isChecked());
    QVERIFY(editor.link().report_usb_errors);
    QCOMPARE(editor.instrument().instrument_code, std::uint8_t(0xFF));
    QVERIFY(form.menuGuitar->isChecked());
    QVERIFY(!form.menuBass->isChecked());
    QVERIFY(rig.dialogs.messages.isEmpty());
    QVERIFY(rig.driver.writes.isEmpty()); // nothing is sent at start-up
}

void TestPreferences::startUpReadsWhatTheFilesHold_data()
{
    QTest::addColumn<QString>("file");
    QTest::addColumn<QByteArray>("held");
    QTest::addColumn<bool>("showMessage");  // show_update_message and its check mark
    QTest::addColumn<bool>("reportErrors"); // the report switch and its check mark
    QTest::addColumn<int>("instrument");
    QTest::addColumn<bool>("guitar");
    QTest::addColumn<bool>("bass");
    QTest::addColumn<bool>("confirmWrites"); // the write check and its check mark

    const QString show = "ShowMessageVersionAtStartup.txt", report = "ReportUSBErrors.txt",
                  instrument = "Instrument.txt", confirm = "ConfirmWrites.txt";
    QTest::newRow("report YES") << report << QByteArray("YES") << true << true << 0xFF << true << false << true;
    QTest::newRow("report NO") << report << QByteArray("NO") << true << false << 0xFF << true << false << true;
    QTest::newRow("report yes") << report << QByteArray("yes") << true << false << 0xFF << true << false << true;
    QTest::newRow("report YES+LF") << report << QByteArray("YES\n") << true << false << 0xFF << true << false << true;
    QTest::newRow("report empty") << report << QByteArray("") << true << false << 0xFF << true << false << true;
    QTest::newRow("show NO") << show << QByteArray("NO") << false << true << 0xFF << true << false << true;
    QTest::newRow("show no") << show << QByteArray("no") << true << true << 0xFF << true << false << true;
    QTest::newRow("show NO+CRLF") << show << QByteArray("NO\r\n") << true << true << 0xFF << true << false << true;
    QTest::newRow("show NO, UTF-8 mark") << show << QByteArray("\xEF\xBB\xBFNO") << false << true << 0xFF << true << false << true;
    QTest::newRow("show NO, UTF-16 mark") << show << QByteArray("\xFF\xFEN\0O\0", 6) << false << true << 0xFF << true << false << true;
    QTest::newRow("instrument BASS") << instrument << QByteArray("BASS") << true << true << 0xBA << false << true << true;
    QTest::newRow("instrument Bass") << instrument << QByteArray("Bass") << true << true << 0 << false << false << true;
    QTest::newRow("instrument GUITAR ") << instrument << QByteArray("GUITAR ") << true << true << 0 << false << false << true;
    QTest::newRow("instrument not UTF-8") << instrument << QByteArray("B\xC1SS") << true << true << 0 << false << false << true;
    QTest::newRow("confirm NO") << confirm << QByteArray("NO") << true << true << 0xFF << true << false << false;
    QTest::newRow("confirm yes") << confirm << QByteArray("yes") << true << true << 0xFF << true << false << true;
}

void TestPreferences::startUpReadsWhatTheFilesHold()
{
    QFETCH(QString, file);
    QFETCH(QByteArray, held);
    QFETCH(bool, showMessage);
    QFETCH(bool, reportErrors);
    QFETCH(int, instrument);
    QFETCH(bool, guitar);
    QFETCH(bool, bass);
    QFETCH(bool, confirmWrites);

    EditorRig rig;
    write(rig.productFile(file), held);
    Editor &editor = rig.start();
    TformMain &form = editor.mainWindow();
    QCOMPARE(editor.updates().show_update_message, showMessage);
    QCOMPARE(form.menuShowUpdateMsg->isChecked(), showMessage);
    QCOMPARE(editor.link().report_usb_errors, reportErrors);
    QCOMPARE(form.menuReportUSBErrors->isChecked(), reportErrors);
    QCOMPARE(int(editor.instrument().instrument_code), instrument);
    QCOMPARE(form.menuGuitar->isChecked(), guitar);
    QCOMPARE(form.menuBass->isChecked(), bass);
    QCOMPARE(form.menuConfirmWrites->isChecked(), confirmWrites);
    QCOMPARE(editor.writeConfirmation().enabled, confirmWrites);
    // Reading never rewrites an existing file.
    QCOMPARE(contents(rig.productFile(file)), held);
}

void TestPreferences::decodesTheFileText_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QByteArray("GUITAR") << "GUITAR";
    QTest::newRow("UTF-8") << QByteArray("Gr\xC3\xBC\xC3\x9F") << QString::fromUtf8("Grüß");
    QTest::newRow("UTF-8 mark") << QByteArray("\xEF\xBB\xBFYES") << "YES";
    QTest::newRow("UTF-16 BE mark") << QByteArray("\xFE\xFF\0Y\0E\0S", 8) << "YES";
    QTest::newRow("not UTF-8: Latin-1") << QByteArray("Y\xC9S") << QString::fromLatin1("Y\xC9S");
    QTest::newRow("empty") << QByteArray() << "";
}

void TestPreferences::decodesTheFileText()
{
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    QCOMPARE(decode_preference_text(bytes), text);
}

void TestPreferences::togglesWriteOnlyExistingFiles_data()
{
    QTest::addColumn<QString>("itemName");
    QTest::addColumn<QString>("file");
    QTest::newRow("Show Update Message") << "menuShowUpdateMsg" << "ShowMessageVersionAtStartup.txt";
    QTest::newRow("Report USB Errors") << "menuReportUSBErrors" << "ReportUSBErrors.txt";
    QTest::newRow("Confirm Writes") << "menuConfirmWrites" << "ConfirmWrites.txt";
}

void TestPreferences::togglesWriteOnlyExistingFiles()
{
    QFETCH(QString, itemName);
    QFETCH(QString, file);
    EditorRig rig;
    Editor &editor = rig.start();
    TformMain &form = editor.mainWindow();
    QAction *item = form.findChild<QAction *>(itemName);
    QVERIFY(item);
    const QString path = rig.productFile(file);

    item->trigger(); // the mark goes off
    QVERIFY(!item->isChecked());
    QCOMPARE(contents(path), QByteArray("NO"));
    item->trigger(); // and on again
    QVERIFY(item->isChecked());
    QCOMPARE(contents(path), QByteArray("YES"));

    // Neither choice changes the running editor; both wait for the next start.
    QVERIFY(editor.updates().show_update_message);
    QVERIFY(editor.link().report_usb_errors);

    // A deleted file is neither written nor recreated.
    QVERIFY(QFile::remove(path));
    item->trigger();
    QVERIFY(!item->isChecked());
    QVERIFY(!QFileInfo::exists(path));
    QVERIFY(rig.dialogs.messages.isEmpty());

    // The next start recreates it with its default.
    rig.editor.reset();
    rig.start();
    QCOMPARE(contents(path), QByteArray("YES"));
}

void TestPreferences::withoutDocumentsFolderTheWorkingFolderIsUsed()
{
    EditorRig rig;
    rig.shell.documents.clear();
    QTemporaryDir work;
    const QString before = QDir::currentPath();
    QVERIFY(QDir::setCurrent(work.path()));
    rig.start();
    QDir::setCurrent(before);
    QCOMPARE(contents(work.filePath("Velsk/Quorvane KQ5/Instrument.txt")), QByteArray("GUITAR"));
    QCOMPARE(contents(work.filePath("Velsk/Quorvane KQ5/ReportUSBErrors.txt")), QByteArray("YES"));
    QVERIFY(rig.dialogs.messages.isEmpty());
}

void TestPreferences::folderFailuresAreShownAndStartUpGoesOn()
{
    EditorRig rig;
    // A file where the maker folder belongs: neither folder can be made.
    write(rig.shell.documents + "/Velsk", "not a folder");
    Editor &editor = rig.start();
    QCOMPARE(rig.dialogs.messages.size(), 2);
    QVERIFY2(rig.dialogs.messages.at(0).startsWith("Error creating folder: "),
             qPrintable(rig.dialogs.messages.at(0)));
    QVERIFY2(rig.dialogs.messages.at(1).startsWith("Error creating subfolder: "),
             qPrintable(rig.dialogs.messages.at(1)));
    QVERIFY(rig.dialogs.messages.at(0).size() > QString("Error creating folder: ").size());

    // The defaults hold for this run and every later step has run.
    TformMain &form = editor.mainWindow();
    QVERIFY(editor.updates().show_update_message);
    QVERIFY(editor.link().report_usb_errors);
    QVERIFY(form.menuGuitar->isChecked());
    QCOMPARE(form.lstEffects->count(), 1);
    QCOMPARE(editor.connection().latest_algorithm_version, 11);
    QCOMPARE(editor.connection().latest_firmware_version, 10);
    QCOMPARE(form.menuMIDIchannel->actions().size(), 17);

    // The toggles have no file to write and say nothing.
    form.menuShowUpdateMsg->trigger();
    QCOMPARE(rig.dialogs.messages.size(), 2);
}

QTEST_MAIN(TestPreferences)
#include "tst_preferences.moc"
