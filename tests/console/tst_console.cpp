// The service console: its layout, the log view following new lines (or not),
// UP, Clear, the settings-memory tools, and a dump that must not scroll or
// repaint per line.

#include "common/ConsoleLog.h"
#include "console/LogView.h"
#include "console/TformPrint.h"
#include "support/Hex.h"
#include "support/RecordingDriver.h"
#include "support/ScriptedDialogs.h"
#include "usb/D2XXUnit.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QPushButton>
#include <QScrollBar>
#include <QtTest>

using namespace quorvane;

namespace {

struct ConsoleRig {
    test::RecordingDriver driver;
    test::ScriptedDialogs dialogs;
    D2XXUnit link{driver, dialogs};
    ConsoleLog log;
    TformPrint window{log, link};

    ConsoleRig()
    {
        driver.bridges.append({QStringLiteral("FT5A1"), QStringLiteral("Quorvane KQ5")});
        link.Open_USB_Device_By_Serial_Number(QStringLiteral("FT5A1"));
    }
    LogView &view() { return *window.Memo1; }
    void log_lines(int n, const QString &prefix = QStringLiteral("line "))
    {
        for (int i = 0; i < n; ++i)
            log.print_to_console(prefix + QString::number(i));
    }
    // Lets the view catch up, as it does when control returns to the event loop.
    void settle() { QCoreApplication::processEvents(); }
};

// Counts paint events on a widget.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

} // namespace

class TestConsole : public QObject {
    Q_OBJECT
private slots:
    void layout_data();
    void layout();
    void startsEmptyWithScrollTicked();
    void followsNewLinesOnlyWhenTicked_data();
    void followsNewLinesOnlyWhenTicked();
    void linesWithoutScrollDoNotMoveTheView();
    void upShowsTheFirstLineUntilTheNextLine();
    void clearEmptiesTheLog();
    void linesLoggedWhileHiddenAreThere();
    void dumpIsPaintedAndScrolledOnce();
    void readE2PSendsTheRequestAndWaits();
    void eraseE2PPassesTheAddress();
    void copiesSelectedLines();
};

void TestConsole::layout_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("geometry");
    QTest::newRow("btnClear") << "btnClear" << "Clear" << QRect(8, 5, 37, 25);
    QTest::newRow("btnScrollTop") << "btnScrollTop" << "UP" << QRect(53, 5, 25, 25);
    QTest::newRow("CheckBox1") << "CheckBox1" << "scroll" << QRect(86, 7, 56, 25);
    QTest::newRow("btnEraseEeprom") << "btnEraseEeprom" << "Erase E2P" << QRect(184, 5, 73, 32);
    QTest::newRow("btnReadEEPROM") << "btnReadEEPROM" << "Read E2P" << QRect(265, 4, 62, 32);
    QTest::newRow("Label1") << "Label1" << "E2P addr" << QRect(387, 8, 43, 17);
    QTest::newRow("cmbI2Caddr") << "cmbI2Caddr" << "50" << QRect(438, 4, 43, 26);
    QTest::newRow("Memo1") << "Memo1" << "" << QRect(8, 62, 489, 606);
}

void TestConsole::layout()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QRect, geometry);
    ConsoleRig rig;
    rig.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    QCOMPARE(rig.window.windowTitle(), QString("Debug Console"));
    QCOMPARE(rig.window.size(), QSize(506, 676));
    auto *widget = rig.window.findChild<QWidget *>(name);
    QVERIFY2(widget, qPrintable(name));
    if (name == "Label1") {
        // The caption may widen its label to the left, never into the list.
        QCOMPARE(widget->geometry().right(), geometry.right());
        QCOMPARE(widget->y(), geometry.y());
        QCOMPARE(widget->height(), geometry.height());
        QVERIFY(widget->x() <= geometry.x() && widget->x() > 327);
    } else {
        QCOMPARE(widget->geometry(), geometry);
    }
    if (auto *button = qobject_cast<QAbstractButton *>(widget))
        QCOMPARE(button->text(), text);
    else if (auto *label = qobject_cast<QLabel *>(widget))
        QCOMPARE(label->text(), text);
    else if (auto *list = qobject_cast<QComboBox *>(widget))
        QCOMPARE(list->currentText(), text);
}

void TestConsole::startsEmptyWithScrollTicked()
{
    ConsoleRig rig;
    QVERIFY(!rig.window.isVisible());
    QCOMPARE(rig.log.count(), 0);
    QVERIFY(rig.log.console_autoscroll);
    QVERIFY(rig.window.CheckBox1->isChecked());
    QCOMPARE(rig.window.cmbI2Caddr->count(), 2);
    QCOMPARE(rig.window.cmbI2Caddr->itemText(0), QString("50"));
    QCOMPARE(rig.window.cmbI2Caddr->itemText(1), QString("51"));
    QCOMPARE(rig.window.cmbI2Caddr->currentIndex(), 0);
    QCOMPARE(rig.view().verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
    QCOMPARE(rig.view().horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOn);
}

void TestConsole::followsNewLinesOnlyWhenTicked_data()
{
    QTest::addColumn<bool>("ticked");
    QTest::newRow("scroll ticked") << true;
    QTest::newRow("scroll unticked") << false;
}

void TestConsole::followsNewLinesOnlyWhenTicked()
{
    QFETCH(bool, ticked);
    ConsoleRig rig;
    rig.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    if (!ticked)
        QTest::mouseClick(rig.window.CheckBox1, Qt::LeftButton, {}, QPoint(8, 12));
    QCOMPARE(rig.log.console_autoscroll, ticked);

    rig.log_lines(200);
    rig.settle();
    LogView &view = rig.view();
    QVERIFY(view.lineCount() == 200);
    QVERIFY(view.pageLines() > 10 && view.pageLines() < 200);
    // Ticked: the last line at the bottom. Unticked: still where it was, at the top.
    QCOMPARE(view.isLineVisible(199), ticked);
    QCOMPARE(view.isLineVisible(0), !ticked);
    if (ticked)
        QCOMPARE(view.lastVisibleLine(), 199);

    // Where the user has scrolled to, an unticked view stays; a ticked one
    // jumps back to the end with the next line.
    view.verticalScrollBar()->setValue(50);
    rig.log.print_to_console(QStringLiteral("one more"));
    rig.settle();
    QCOMPARE(view.firstVisibleLine() == 50, !ticked);
    QCOMPARE(view.isLineVisible(200), ticked);
    if (ticked)
        QCOMPARE(view.horizontalScrollBar()->value(), 0);
}

void TestConsole::linesWithoutScrollDoNotMoveTheView()
{
    ConsoleRig rig;
    rig.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    rig.log_lines(100);
    rig.settle();
    const int first = rig.view().firstVisibleLine();
    QVERIFY(rig.view().isLineVisible(99));
    for (int i = 0; i < 100; ++i)
        rig.log.print_without_scroll(QStringLiteral("quiet %1").arg(i));
    rig.settle();
    QCOMPARE(rig.log.count(), 200);
    QCOMPARE(rig.view().firstVisibleLine(), first);
    QVERIFY(!rig.view().isLineVisible(199));
    // Mixed: the view lands where the last scrolling line put it.
    rig.log.print_to_console(QStringLiteral("loud"));
    rig.log.print_without_scroll(QStringLiteral("quiet after"));
    rig.settle();
    QCOMPARE(rig.view().lastVisibleLine(), 200);
    QVERIFY(!rig.view().isLineVisible(201));
}

void TestConsole::upShowsTheFirstLineUntilTheNextLine()
{
    ConsoleRig rig;
    rig.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    rig.log_lines(300);
    rig.settle();
    QVERIFY(!rig.view().isLineVisible(0));
    QTest::mouseClick(rig.window.btnScrollTop, Qt::LeftButton);
    QCOMPARE(rig.view().firstVisibleLine(), 0);
    rig.settle();
    QCOMPARE(rig.view().firstVisibleLine(), 0);
    rig.log.print_to_console(QStringLiteral("next"));
    rig.settle();
    QCOMPARE(rig.view().lastVisibleLine(), 300);
}

void TestConsole::clearEmptiesTheLog()
{
    ConsoleRig rig;
    rig.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    rig.log_lines(300);
    rig.settle();
    QTest::mouseClick(rig.window.btnClear, Qt::LeftButton);
    QCOMPARE(rig.log.count(), 0);
    QCOMPARE(rig.view().lineCount(), 0);
    QCOMPARE(rig.view().verticalScrollBar()->maximum(), 0);
    rig.log.print_to_console(QStringLiteral("again"));
    rig.settle();
    QCOMPARE(rig.log.lines(), QStringList{"again"});
    QCOMPARE(rig.view().firstVisibleLine(), 0);
    QVERIFY(rig.view().isLineVisible(0));
}

void TestConsole::linesLoggedWhileHiddenAreThere()
{
    ConsoleRig rig;
    rig.log_lines(500, QStringLiteral("hidden "));
    rig.settle();
    rig.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    rig.settle();
    QCOMPARE(rig.log.count(), 500);
    QCOMPARE(rig.log.lines().first(), QString("hidden 0"));
    QCOMPARE(rig.log.last(), QString("hidden 499"));
    QVERIFY(rig.view().isLineVisible(499));
    // Closing only hides; the log goes on filling.
    rig.window.close();
    rig.log.print_to_console(QStringLiteral("after close"));
    rig.window.show();
    rig.settle();
    QCOMPARE(rig.log.count(), 501);
    QVERIFY(rig.view().isLineVisible(500));
}

void TestConsole::dumpIsPaintedAndScrolledOnce()
{
    ConsoleRig rig;
    rig.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    rig.settle();
    PaintCounter counter;
    rig.view().viewport()->installEventFilter(&counter);
    QSignalSpy moves(rig.view().verticalScrollBar(), &QScrollBar::valueChanged);
    QSignalSpy ranges(rig.view().verticalScrollBar(), &QScrollBar::rangeChanged);

    for (int k = 0; k < 16384; ++k)
        rig.log.print_to_console(QStringLiteral("%1: %2").arg(k).arg(k % 256, 2, 16, QLatin1Char('0')).toUpper());
    QCOMPARE(moves.count(), 0); // nothing happens per line
    rig.settle();
    QTRY_VERIFY(counter.paints >= 1);
    QCOMPARE(moves.count(), 1);
    QCOMPARE(ranges.count(), 1);
    QVERIFY(counter.paints <= 2);
    QCOMPARE(rig.view().lastVisibleLine(), 16383);
}

void TestConsole::readE2PSendsTheRequestAndWaits()
{
    ConsoleRig rig;
    rig.window.show();
    rig.window.cmbI2Caddr->setCurrentIndex(1);
    QElapsedTimer clock;
    clock.start();
    QTest::mouseClick(rig.window.btnReadEEPROM, Qt::LeftButton);
    QVERIFY(clock.elapsed() >= 4000);
    QCOMPARE(rig.log.lines(), QStringList{"0C5100000000"});
    QCOMPARE(rig.driver.writes.size(), 1);
    QCOMPARE(test::spaced(rig.driver.writes.first()), QString("0C 51 00 00 00 00"));
    QVERIFY(rig.dialogs.messages.isEmpty());
}

void TestConsole::eraseE2PPassesTheAddress()
{
    ConsoleRig rig;
    QSignalSpy erases(&rig.window, &TformPrint::eraseEepromRequested);
    rig.window.btnEraseEeprom->click();
    rig.window.cmbI2Caddr->setCurrentIndex(1);
    rig.window.btnEraseEeprom->click();
    QCOMPARE(erases.count(), 2);
    QCOMPARE(erases.at(0).at(0).toString(), QString("50"));
    QCOMPARE(erases.at(1).at(0).toString(), QString("51"));
    QVERIFY(rig.driver.writes.isEmpty());
}

void TestConsole::copiesSelectedLines()
{
    ConsoleRig rig;
    rig.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&rig.window));
    rig.log_lines(3);
    rig.settle();
    QCOMPARE(rig.view().selectedText(), QString());
    rig.view().selectAll();
    QCOMPARE(rig.view().selectedText(), QString("line 0\nline 1\nline 2"));
    const int height = rig.view().lineHeight();
    QTest::mouseClick(rig.view().viewport(), Qt::LeftButton, {}, QPoint(10, height + 2));
    QCOMPARE(rig.view().selectedText(), QString("line 1"));
    QTest::mouseClick(rig.view().viewport(), Qt::LeftButton, Qt::ShiftModifier,
                      QPoint(10, 2 * height + 2));
    QCOMPARE(rig.view().selectedText(), QString("line 1\nline 2"));
    rig.window.btnClear->click();
    QCOMPARE(rig.view().selectedText(), QString());
}

QTEST_MAIN(TestConsole)
#include "tst_console.moc"
