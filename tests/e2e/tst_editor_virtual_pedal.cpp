// The whole editor against the virtual pedal in process: Scan, Link, Request
// and Unlink from the main window's menu and buttons, with the pedal's
// faults. Errors that escape a handler reach the editor's default report.

#include "SimEditor.h"
#include "StatusReportTable.h"

#include "common/ConsoleLog.h"

#include "app/EditorApplication.h"
#include "parameters/ParameterModel.h"
#include "parameters/TformFXsettings.h"
#include "protocol/Sender.h"
#include "usb/D2XXUnit.h"
#include "widgets/ArcDial.h"

#include <QListWidget>

using namespace quorvane;
using quorvane::test::SimEditor;
using quorvane::test::add_status_report_rows;
using quorvane::test::editing_commands;
using quorvane::test::pedal;
using quorvane::test::pedal_name;
using quorvane::test::StatusReportCase;

class TestLinkVirtualPedal : public QObject {
    Q_OBJECT
private slots:
    void scanLinkRequestUnlink();
    void statusReports_data();
    void statusReports();
    void uploadOpensTheEffectWindow();
    void conversionErrorLeavesEditorWorking();
    void unpluggedPedalUnlinks();
    void pendingDialWriteGoesBeforeTheReport();
    void unrulyPedal_data();
    void unrulyPedal();
};

void TestLinkVirtualPedal::scanLinkRequestUnlink()
{
    SimEditor e(pedal());
    // Start-up lists the virtual pedal silently.
    QCOMPARE(e.text("lblDeviceName"), pedal_name);
    QVERIFY(e.enabled("menuConnect"));
    QVERIFY(e.dialogs.messages.isEmpty());

    e.trigger("menuScan");
    QCOMPARE(e.dialogs.messages, QStringList{pedal_name + " found, click Link"});
    e.dialogs.reset();

    e.link();
    QVERIFY(e.dialogs.messages.isEmpty());
    QCOMPARE(e.text("lblDeviceName"), pedal_name + " linked");
    QCOMPARE(e.text("lblFirmwareVersion"), "Device Firmware: 10");
    QCOMPARE(e.text("lblAlgorithmVersion"), "Device Algorithm: 0011");
    QCOMPARE(e.control<QListWidget>("lstEffects")->currentRow(), 0);
    for (const QString &name : editing_commands + QStringList{"btnRequest", "btnUpload", "menuDisconnect"})
        QVERIFY2(e.enabled(name), qPrintable(name));
    QVERIFY(!e.enabled("menuScan") && !e.enabled("menuConnect"));
    QVERIFY(e.connection().Timer_USB_Read.isActive());
    // The real effect window opens beside the main window, titled after the
    // effect, with the pedal's values and every control enabled.
    QWidget &fx = e.editor->fxSettingsWindow();
    QVERIFY(fx.isVisible());
    QCOMPARE(fx.windowTitle(), QStringLiteral("Quorvane KQ5 0011"));
    QCOMPARE(fx.frameGeometry().left(), e.main().frameGeometry().left() + e.main().frameGeometry().width());
    QVERIFY(fx.findChild<QWidget *>("swtWave")->isEnabled());

    e.control<QLabel>("lblFirmwareVersion")->setText("Device Firmware:");
    e.click("btnRequest");
    QVERIFY(e.dialogs.messages.isEmpty());
    QCOMPARE(e.text("lblFirmwareVersion"), "Device Firmware: 10");

    e.trigger("menuDisconnect");
    QCOMPARE(e.text("lblDeviceName"), pedal_name);
    QVERIFY(!fx.findChild<QWidget *>("dialDry")->isEnabled());
    QVERIFY(!e.connection().is_linked);
    QVERIFY(!e.driver.isOpen());
    for (const QString &name : editing_commands + QStringList{"btnRequest", "btnUpload", "menuDisconnect"})
        QVERIFY2(!e.enabled(name), qPrintable(name));

    e.link();
    QCOMPARE(e.text("lblDeviceName"), pedal_name + " linked");
    QVERIFY(e.dialogs.messages.isEmpty());
}

void TestLinkVirtualPedal::statusReports_data()
{
    add_status_report_rows();
}

void TestLinkVirtualPedal::statusReports()
{
    QFETCH(StatusReportCase, report);

    SimEditor e(report.options());
    e.control<QListWidget>("lstEffects")->setCurrentRow(-1);
    e.link();
    expect_status_report_outcome(e, e.connection(), *e.control<QListWidget>("lstEffects"), report);
    if (QTest::currentTestFailed())
        return;
    // The real effect window is open when the link's last word to it was "open".
    QCOMPARE(e.editor->fxSettingsWindow().isVisible(), report.effectWindow.endsWith("open"));
}

void TestLinkVirtualPedal::uploadOpensTheEffectWindow()
{
    // A pedal on algorithm 0010 is told to take the newest effect; uploading
    // it from the catalogue ends with the effect window open.
    SimEditor e(pedal(10, 10, 0));
    e.link();
    QCOMPARE(e.dialogs.messages.size(), 1);
    QVERIFY(!e.editor->fxSettingsWindow().isVisible());
    e.dialogs.reset();
    e.click("btnUpload");
    QCOMPARE(e.dialogs.questions, QStringList{"Upload the selected algorithm?"});
    QVERIFY(e.dialogs.messages.isEmpty());
    QCOMPARE(e.text("lblAlgorithmVersion"), "Device Algorithm: 0011");
    QVERIFY(e.editor->fxSettingsWindow().isVisible());
    QCOMPARE(e.editor->fxSettingsWindow().windowTitle(), QStringLiteral("Quorvane KQ5 0011"));
    QVERIFY(e.connection().Timer_USB_Read.isActive());
}

void TestLinkVirtualPedal::conversionErrorLeavesEditorWorking()
{
    SimEditor e(pedal(10, 11, 0, "hex-letter-status"));
    e.link();
    QCOMPARE(e.dialogs.messages, QStringList{"'0A11' is not a valid integer value"});
    QVERIFY(e.connection().Timer_USB_Read.isActive());
    QVERIFY(!e.connection().exchange_busy());

    e.dialogs.reset();
    e.driver.model().faults().clear(PedalFault::HexLetterStatus);
    e.click("btnRequest");
    QVERIFY(e.dialogs.messages.isEmpty());
    QCOMPARE(e.text("lblAlgorithmVersion"), "Device Algorithm: 0011");
    QCOMPARE(e.control<QListWidget>("lstEffects")->currentRow(), 0);
}

void TestLinkVirtualPedal::unpluggedPedalUnlinks()
{
    SimEditor e(pedal());
    e.link();
    QVERIFY(e.connection().is_linked);
    e.driver.model().faults().set(PedalFault::UnplugAfter, 1); // the next byte from the editor pulls the plug
    e.click("btnRequest");
    QTRY_VERIFY_WITH_TIMEOUT(!e.connection().is_linked, 3000);
    // The failed write of the request is reported first; nothing waits for
    // a reply to a request that did not go out.
    QCOMPARE(e.dialogs.messages, (QStringList{"FT_Write - General IO error...",
                                              "The pedal was disconnected."}));
    QCOMPARE(e.text("lblDeviceName"), pedal_name);
    QVERIFY(e.enabled("menuScan") && e.enabled("menuConnect") && !e.enabled("menuDisconnect"));
    QVERIFY(!e.connection().Timer_USB_Read.isActive());
}

void TestLinkVirtualPedal::pendingDialWriteGoesBeforeTheReport()
{
    SimEditor e(pedal());
    e.link();
    auto *dry = e.editor->fxSettings().findChild<ArcDial *>("dialDry");
    QVERIFY(dry && dry->isEnabled());
    const std::uint32_t before = e.driver.model().settings().words[0];
    // The dial's write still waits for the throttle when Request is pressed.
    e.run([&] {
        dry->turnClockwise(40);
        e.main().btnRequestClick();
    });
    const int angle = dry->angle();
    const std::uint32_t played = e.driver.model().settings().words[0];
    QVERIFY(played != before);
    // The pedal took the write before the request, and the report shows what
    // it plays: the dial stays where the user turned it.
    const QStringList received = e.driver.model().log().filter(QStringLiteral("recv "));
    const qsizetype write = received.indexOf(QRegularExpression("recv 01 .*"));
    QVERIFY(write >= 0 && write < received.lastIndexOf("recv 02 00"));
    QCOMPARE(e.editor->parameters().value(ParameterRow::dry), played);
    QCOMPARE(dry->angle(), angle);
    QVERIFY(e.dialogs.messages.isEmpty());
}

using Command = std::function<void(SimEditor &)>;

void TestLinkVirtualPedal::unrulyPedal_data()
{
    QTest::addColumn<QString>("fault");
    QTest::addColumn<Command>("command"); // after the link
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("consoleLine");

    const Command none = [](SimEditor &) {};
    // A bridge that never stops sending: the link ends within its bounds,
    // says so, and Unlink still works.
    QTest::newRow("never stops sending")
        << "babble" << Command([](SimEditor &e) { e.trigger("menuDisconnect"); })
        << QStringList{too_much_text} << "lblDeviceName" << pedal_name << "Status reply refused: " + too_much_text;
    QTest::newRow("status reply in four pieces 60 ms apart")
        << "split-status=4:60" << none << QStringList{} << "lblFirmwareVersion" << "Device Firmware: 10"
        << "num of bytes received: 83";
    QTest::newRow("upload answer in two pieces")
        << "split-upload=300" << Command([](SimEditor &e) {
               e.dialogs.answers.enqueue(Answer::Yes);
               e.click("btnUpload");
           })
        << QStringList{} << "lblStatus" << "Upload OK 0011\r\n" << "received: Upload OK 0011\r\n";
    QTest::newRow("stray bytes queued before a status request")
        << "" << Command([](SimEditor &e) {
               e.run([&] {
                   e.driver.model().sendUnsolicited("12\r\n");
                   e.main().btnRequestClick();
               });
           })
        << QStringList{} << "lblAlgorithmVersion" << "Device Algorithm: 0011"
        << "Stray bytes before request: 31320D0A";
}

void TestLinkVirtualPedal::unrulyPedal()
{
    QFETCH(QString, fault);
    QFETCH(Command, command);
    QFETCH(QStringList, messages);
    QFETCH(QString, label);
    QFETCH(QString, text);
    QFETCH(QString, consoleLine);

    SimEditor e(pedal(10, 11, 0, fault));
    e.link();
    command(e);
    QCOMPARE(e.dialogs.messages, messages);
    QCOMPARE(e.text(qPrintable(label)), text);
    QVERIFY2(e.editor->console().lines().contains(consoleLine), qPrintable(consoleLine));
    QVERIFY(!e.connection().exchange_busy());
    QVERIFY(!e.main().UploadCheckTimer->isActive());
}

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    EditorApplication app(argc, argv);
    TestLinkVirtualPedal test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_editor_virtual_pedal.moc"
