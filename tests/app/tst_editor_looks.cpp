// The looks in the whole editor: whatever "style.txt" holds, start-up goes on
// to its last steps; and every one of the editor's windows, built from its
// real forms, renders in every look without Qt finding a style sheet it
// cannot parse.

#include "EditorRig.h"
#include "support/SheetWarnings.h"

#include "app/TformMain.h"
#include "protocol/DeviceConnection.h"
#include "tuning/Looks.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMenu>
#include <QtTest>

using namespace quorvane;
using namespace quorvane::test;

namespace {

QString styleFile(const EditorRig &rig)
{
    return rig.shell.documents + QStringLiteral("/Velsk/style.txt");
}

// Renders a window and the menus it owns (open menus are windows of their own).
void render(QWidget *window)
{
    window->ensurePolished();
    window->grab();
    for (QMenu *menu : window->findChildren<QMenu *>()) {
        menu->adjustSize();
        menu->grab();
    }
}

} // namespace

class TestEditorLooks : public QObject {
    Q_OBJECT
private slots:
    void initTestCase() { start_recording_sheet_warnings(); }
    void cleanupTestCase() { stop_recording_sheet_warnings(); }
    void init()
    {
        qApp->setStyleSheet(QString());
        sheet_warnings().clear();
    }

    void startUpGoesOnWhateverTheStoredLook_data();
    void startUpGoesOnWhateverTheStoredLook();
    void brokenSheetIsNoticedInTheEditor();
    void everyWindowRendersInEveryLook();
};

void TestEditorLooks::startUpGoesOnWhateverTheStoredLook_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("look");
    QTest::newRow("no file") << false << QByteArray() << 0;
    QTest::newRow("3 with line end") << true << QByteArray("3\r\n") << 3;
    QTest::newRow("7") << true << QByteArray("7") << 7;
    QTest::newRow("8 keeps the toolkit's look") << true << QByteArray("8") << int(no_look);
    QTest::newRow("abc") << true << QByteArray("abc") << 0;
}

void TestEditorLooks::startUpGoesOnWhateverTheStoredLook()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, content);
    QFETCH(int, look);
    EditorRig rig;
    if (exists) {
        QVERIFY(QDir().mkpath(rig.shell.documents + QStringLiteral("/Velsk")));
        QFile file(styleFile(rig));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(content);
    }

    Editor &editor = rig.start();

    QCOMPARE(editor.looks().current_look(), look);
    QCOMPARE(qApp->styleSheet(), look == no_look ? QString() : look_style_sheet(look));
    // Reading the choice never creates the file.
    QCOMPARE(QFile::exists(styleFile(rig)), exists);
    // The steps after the look still ran: the MIDI menu is built and the
    // newest firmware is known, so an old pedal will be refused.
    QCOMPARE(editor.mainWindow().menuMIDIchannel->actions().size(), 17);
    QVERIFY(editor.connection().latest_firmware_version > 0);
    QVERIFY(rig.dialogs.messages.isEmpty());
}

void TestEditorLooks::brokenSheetIsNoticedInTheEditor()
{
    // The check below is only worth something if a broken sheet is caught on
    // the editor's own windows.
    EditorRig rig;
    Editor &editor = rig.start();
    qApp->setStyleSheet(QStringLiteral("QPushButton { color: #FFFFFF; background-color: "));
    render(&editor.mainWindow());
    QVERIFY(!sheet_warnings().isEmpty());
}

void TestEditorLooks::everyWindowRendersInEveryLook()
{
    EditorRig rig;
    Editor &editor = rig.start();
    QCOMPARE(editor.windows().size(), 6);
    for (QWidget *window : editor.windows())
        window->show();

    for (int look = 0; look < look_count; ++look) {
        QVERIFY(editor.looks().apply_look(look));
        QCOMPARE(qApp->styleSheet(), look_style_sheet(look));
        for (QWidget *window : editor.windows()) {
            render(window);
            QVERIFY2(sheet_warnings().isEmpty(),
                     qPrintable(QStringLiteral("look %1, window %2: %3")
                                    .arg(look)
                                    .arg(window->objectName(), sheet_warnings().join('\n'))));
        }
    }
}

QTEST_MAIN(TestEditorLooks)
#include "tst_editor_looks.moc"
