// The looks in the whole editor: whatever "style.txt" holds, start-up goes on
// to its last steps; every one of the editor's windows, built from its real
// forms, renders in every look without Qt finding a style sheet it cannot
// parse; and in every look no label, button, list entry or check box of any
// window is narrower than its text.

#include "EditorRig.h"
#include "support/SheetWarnings.h"

#include "app/TformMain.h"
#include "protocol/DeviceConnection.h"
#include "app/Looks.h"

#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QStyleOptionButton>
#include <QStyleOptionComboBox>
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

// A caption as drawn: without its mnemonic marks.
QString drawn(QString text)
{
    return text.replace(QStringLiteral("&&"), QStringLiteral("\x01")).remove(QLatin1Char('&'))
        .replace(QLatin1Char('\x01'), QLatin1Char('&'));
}

QString clip(const QWidget *w, const QString &text, int needed, int room)
{
    return QStringLiteral("%1 \"%2\": %3 px of text in %4 px")
        .arg(w->objectName(), text)
        .arg(needed)
        .arg(room);
}

// Every text of a window wider than the room its widget gives it, as
// "name "text": needed in room"; a list is checked for each of its entries.
QStringList clipped_texts(QWidget *window)
{
    QStringList found;
    for (QWidget *w : window->findChildren<QWidget *>()) {
        const QFontMetrics fm = w->fontMetrics();
        if (auto *label = qobject_cast<QLabel *>(w)) {
            const QString text = label->text();
            if (text.isEmpty() || label->wordWrap() || Qt::mightBeRichText(text))
                continue;
            const int room = label->contentsRect().width() - 2 * label->margin()
                             - qMax(0, label->indent());
            const int needed = fm.boundingRect(QRect(), int(label->alignment()), text).width();
            if (needed > room)
                found << clip(w, text, needed, room);
        } else if (auto *box = qobject_cast<QCheckBox *>(w); box || qobject_cast<QRadioButton *>(w)) {
            auto *button = static_cast<QAbstractButton *>(w);
            QStyleOptionButton option;
            option.initFrom(button);
            option.text = button->text();
            const QRect contents = w->style()->subElementRect(
                box ? QStyle::SE_CheckBoxContents : QStyle::SE_RadioButtonContents, &option, w);
            const int needed = fm.horizontalAdvance(drawn(button->text()));
            if (needed > contents.width())
                found << clip(w, button->text(), needed, contents.width());
        } else if (auto *push = qobject_cast<QPushButton *>(w);
                   push && !push->inherits("quorvane::WrapButton")) {
            QStyleOptionButton option;
            option.initFrom(push);
            option.text = push->text();
            const QRect contents = w->style()->subElementRect(QStyle::SE_PushButtonContents, &option, w);
            const int needed = fm.horizontalAdvance(drawn(push->text()));
            if (needed > contents.width())
                found << clip(w, push->text(), needed, contents.width());
        } else if (auto *list = qobject_cast<QComboBox *>(w)) {
            for (int i = 0; i < list->count(); ++i) {
                QStyleOptionComboBox option;
                option.initFrom(list);
                option.editable = list->isEditable();
                option.currentText = list->itemText(i);
                const QRect field = w->style()->subControlRect(QStyle::CC_ComboBox, &option,
                                                               QStyle::SC_ComboBoxEditField, w);
                const int needed = fm.horizontalAdvance(list->itemText(i));
                if (needed > field.width())
                    found << clip(w, list->itemText(i), needed, field.width());
            }
        }
    }
    return found;
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
    void noTextIsClippedInAnyLook();
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

void TestEditorLooks::noTextIsClippedInAnyLook()
{
    EditorRig rig;
    Editor &editor = rig.start();
    // The longest texts the main window's labels show in use.
    TformMain &main = editor.mainWindow();
    main.lblDeviceName->setText(QStringLiteral("Quorvane KQ5 (virtual) linked"));
    main.lblFirmwareVersion->setText(QStringLiteral("Device Firmware: 10"));
    main.lblAlgorithmVersion->setText(QStringLiteral("Device Algorithm: 0011"));
    for (QWidget *window : editor.windows())
        window->show();

    QStringList clipped;
    for (int look = no_look; look < look_count; ++look) {
        if (look == no_look)
            qApp->setStyleSheet(QString());
        else
            QVERIFY(editor.looks().apply_look(look));
        for (QWidget *window : editor.windows()) {
            render(window);
            for (const QString &c : clipped_texts(window))
                clipped << QStringLiteral("look %1, %2: %3").arg(look).arg(window->objectName(), c);
        }
    }
    for (const QString &c : std::as_const(clipped))
        qWarning("%s", qPrintable(c));
    QVERIFY2(clipped.isEmpty(), "texts wider than their widgets (listed above)");
}

QTEST_MAIN(TestEditorLooks)
#include "tst_editor_looks.moc"
