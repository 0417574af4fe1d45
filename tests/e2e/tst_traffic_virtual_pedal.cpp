// The traffic window against the virtual pedal: a real Link, effect upload
// and firmware upgrade captured at the gate and decoded row by row; and a session exported
// as CSV, played back by kq5-pedal-sim --expect to an editor on its
// pseudo-terminal.

#include "SimEditor.h"

#include "common/ConsoleLog.h"
#include "console/LogView.h"
#include "console/TformPrint.h"
#include "console/TformTraffic.h"
#include "console/TrafficModel.h"
#include "firmware/TformFirmwareUpgrade.h"
#include "protocol/Sender.h"
#include "support/PedalSimProcess.h"
#include "usb/SerialPortDriver.h"

#include <QClipboard>
#include <QComboBox>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QTableView>

using namespace quorvane;
using quorvane::test::pedal;
using quorvane::test::PedalSimProcess;
using quorvane::test::SimEditor;

namespace {

QStringList decoded_rows(TrafficModel &model)
{
    QStringList rows;
    for (int row = 0; row < model.rowCount(); ++row)
        rows << model.data(model.index(row, TrafficModel::ColDecoded)).toString();
    return rows;
}

TformTraffic &open_traffic(Editor &editor)
{
    TformPrint &console = editor.consoleWindow();
    console.show();
    console.btnTraffic->click();
    TformTraffic *window = console.trafficWindow();
    if (!window)
        qFatal("no traffic window");
    window->refresh();
    return *window;
}

// The editor on kq5-pedal-sim's pseudo-terminal, listed as a bridge.
struct PtyEditor {
    QTemporaryDir home;
    SerialPortDriver driver;
    quorvane::test::ScriptedDialogs dialogs;
    quorvane::test::RecordingShell shell;
    std::unique_ptr<Editor> editor;

    explicit PtyEditor(const QString &port)
        : driver({port}, [] { return QList<SerialPortDriver::SystemPort>{}; })
    {
        shell.documents = home.filePath("Documents");
        shell.temp = home.filePath("Temp");
        shell.program = home.filePath("bin/quorvane-editor");
        shell.folder = home.filePath("bin");
        EditorDeps deps{driver, dialogs, shell, {}, false, {}, HotPlug::poll_interval_ms};
        deps.update_server = QStringLiteral("http://127.0.0.1:9");
        deps.allow_plain_http_loopback = true;
        deps.hot_plug_poll_ms = 0;
        editor = std::make_unique<Editor>(deps);
        editor->show();
    }
};

// Link, then the bypass on or off: the session recorded and played back.
void session(Editor &editor, bool bypass_on)
{
    bool done = false;
    QMetaObject::invokeMethod(
        &editor.mainWindow(),
        [&] {
            editor.mainWindow().findChild<QAction *>("menuConnect")->trigger();
            send_bypass(editor.link(), editor.console(), bypass_on);
            done = true;
        },
        Qt::QueuedConnection);
    QTRY_VERIFY_WITH_TIMEOUT(done, 15000);
    QVERIFY(editor.connection().is_linked);
}

// From linked: firmware 9 written through the upgrade window.
void upgrade_to_9(SimEditor &e)
{
    e.dialogs.answers.enqueue(Answer::Yes);
    e.trigger("menuFirmwareUpgradeMode");
    QCOMPARE(e.driver.model().mode(), PedalModel::Mode::Bootloader);
    e.trigger("menuStartFirmwareUpgrade");
    TformFirmwareUpgrade &upgrade = e.editor->firmwareUpgradeWindow();
    upgrade.cmbFirmwareChoose()->setCurrentText(QStringLiteral("Firmware_9"));
    e.run([&] { upgrade.btnUpgradeFirmware()->click(); });
    QTRY_COMPARE(e.driver.model().firmwareVersion(), 9);
}

} // namespace

class TestTrafficVirtualPedal : public QObject {
    Q_OBJECT
private slots:
    void linkAndUpgradeAreCapturedAndDecoded();
    void exportPlaysBackThroughExpect_data();
    void exportPlaysBackThroughExpect();
    void expectRefusesWhatIsNoExport();
    void picture();
};

void TestTrafficVirtualPedal::linkAndUpgradeAreCapturedAndDecoded()
{
    SimEditor e(pedal(10));
    // The console's own layout stays as it was.
    TformPrint &console = e.editor->consoleWindow();
    QCOMPARE(console.Memo1->geometry(), QRect(8, 62, 489, 606));
    for (QWidget *other : std::initializer_list<QWidget *>{console.btnReadEEPROM, console.Label1,
                                                           console.cmbI2Caddr, console.Memo1})
        QVERIFY2(!console.btnTraffic->geometry().intersects(other->geometry()), qPrintable(other->objectName()));

    e.link();
    QVERIFY(e.connection().is_linked);
    TformTraffic &window = open_traffic(*e.editor);
    QVERIFY(window.isVisible());
    TrafficModel &model = window.model();
    QCOMPARE(std::size_t(model.rowCount()), e.editor->traffic().count());
    QStringList rows = decoded_rows(model);
    const qsizetype request = rows.indexOf("Status request");
    QVERIFY2(request >= 0, qPrintable(rows.join('\n')));
    const QString reply = rows.mid(request + 1).filter(QRegularExpression("^Status reply · ")).value(0);
    QVERIFY2(reply.startsWith("Status reply · 83 values · firmware 10 · algorithm 0011 · effect 00"),
             qPrintable(reply));

    // The effect uploaded: bypass first, the image, the pedal's answer.
    e.dialogs.answers.enqueue(Answer::Yes);
    e.click("btnUpload");
    window.refresh();
    rows = decoded_rows(model);
    const qsizetype upload = rows.indexOf(QRegularExpression("^Effect upload · \\d+ B$"));
    QVERIFY2(upload > 0, qPrintable(rows.join('\n')));
    QCOMPARE(rows.at(upload - 1), "Bypass · on");
    QCOMPARE(rows.at(upload + 1), "Upload answer · \"Upload OK 0011\\r\\n\"");

    // Into the bootloader and firmware 9 written.
    upgrade_to_9(e);

    window.refresh();
    QCOMPARE(std::size_t(model.rowCount()), e.editor->traffic().count());
    rows = decoded_rows(model);
    for (const char *text : {"Upgrade-mode request", "Sync", "Erase Memory · global erase",
                                "Write Memory · 0x08000000 · 256 B · checksum ok",
                                "Write Memory · 0x0800C700 · 208 B · checksum ok",
                                "Write Memory · 0x0801FC00 · 8 B · checksum ok",
                                "Go · address 0x08000000 · checksum ok"})
        QVERIFY2(rows.contains(QString::fromUtf8(text)), text);
    // 51152 bytes: 199 full chunks, one of 208 bytes, and the version record.
    QCOMPARE(rows.filter(QRegularExpression("^Write Memory · 0x08[0-9A-F]{6} · \\d+ B · checksum ok$")).size(), 201);
    QVERIFY2(rows.filter(QRegularExpression("^(Unknown|Malformed|NACK)")).isEmpty(),
             qPrintable(rows.filter(QRegularExpression("^(Unknown|Malformed|NACK)")).join('\n')));

    // The filter: writes to the bootloader's Write Memory only, then a search.
    window.cmbKind->setCurrentText("Write Memory");
    window.cmbDirection->setCurrentIndex(1);
    const QStringList written = decoded_rows(model);
    QVERIFY(!written.isEmpty());
    QVERIFY(written.filter(QRegularExpression("^Write Memory")).size() == written.size());
    QCOMPARE(model.data(model.index(0, TrafficModel::ColDirection)).toString(), "\u2192 out");
    window.cmbKind->setCurrentIndex(0);
    window.cmbDirection->setCurrentIndex(0);
    window.edtSearch->setText("0x0801FC00");
    QTRY_COMPARE(model.rowCount(), 2); // its address, and the record written there
    QVERIFY(decoded_rows(model).contains("Write Memory · 0x0801FC00 · 8 B · checksum ok"));

    // "Copy" puts the selected rows on the clipboard, one line each.
    window.grdTraffic->selectAll();
    window.btnCopy->click();
    const QStringList copied = QGuiApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    QCOMPARE(copied.size(), 2);
    // The version record goes a byte a write: the row that completes it holds its checksum.
    QVERIFY2(copied.at(1).endsWith("\tout\tWrite Memory\tWrite Memory · 0x0801FC00 · 8 B · checksum ok\t0E"),
             qPrintable(copied.at(1)));

    // Paused, the view holds still while capture goes on.
    window.btnPause->click();
    window.edtSearch->clear();
    QTRY_COMPARE(model.filtered(), false);
    const int held = model.rowCount();
    e.run([&] { send_bypass(e.editor->link(), e.editor->console(), true); });
    window.refresh();
    QCOMPARE(model.rowCount(), held);
    QCOMPARE(window.btnPause->text(), "Resume");
    window.btnPause->click();
    QCOMPARE(model.rowCount(), held + 1);
    QCOMPARE(decoded_rows(model).last(), "Bypass · on");
}

void TestTrafficVirtualPedal::exportPlaysBackThroughExpect_data()
{
    QTest::addColumn<bool>("replay_bypass_on");
    QTest::newRow("the same session") << true;
    QTest::newRow("one request differs") << false;
}

void TestTrafficVirtualPedal::exportPlaysBackThroughExpect()
{
    QFETCH(bool, replay_bypass_on);
    QVERIFY2(QFileInfo::exists(PedalSimProcess::program()), qPrintable(PedalSimProcess::program()));
    QTemporaryDir dir;
    const QString csv = dir.filePath("session.csv");
    std::uint64_t bypass_record = 0;
    {
        SimEditor recorded(pedal(10));
        session(*recorded.editor, true);
        TformTraffic &window = open_traffic(*recorded.editor);
        QVERIFY(window.exportTo(csv, TrafficFormat::Csv, false));
        bypass_record = window.model().number_at(window.model().rowCount() - 1);
    }
    QFile file(csv);
    QVERIFY(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().split('\n');
    QCOMPARE(lines.first(), traffic_csv_header.toLatin1());
    QVERIFY(lines.at(lines.size() - 2).endsWith(",Bypass,Bypass · on,0D 01"));

    PedalSimProcess sim({"--expect", csv});
    QVERIFY(sim.started);
    QVERIFY2(sim.path.startsWith("/dev/"), qPrintable(sim.path));
    {
        PtyEditor replayed(sim.path);
        session(*replayed.editor, replay_bypass_on);
        QCOMPARE(replayed.editor->connection().device_firmware_version, "10");
        replayed.editor->connection().menuDisconnectClick();
    }
    sim.process.terminate();
    QVERIFY(sim.process.waitForFinished(5000));
    const QString said = QString::fromUtf8(sim.process.readAllStandardOutput()).trimmed();
    if (replay_bypass_on) {
        QCOMPARE(said, QString());
        QCOMPARE(sim.process.exitCode(), 0);
    } else {
        QCOMPARE(said, QStringLiteral("record %1: expected 0D 01, got 0D 00").arg(bypass_record));
        QCOMPARE(sim.process.exitCode(), 1);
    }
}

void TestTrafficVirtualPedal::expectRefusesWhatIsNoExport()
{
    QTemporaryDir dir;
    const auto run = [&](const QByteArray &content) {
        QFile f(dir.filePath("bad.csv"));
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(content);
        f.close();
        QProcess p;
        p.start(PedalSimProcess::program(), {"--expect", f.fileName()});
        p.waitForFinished(5000);
        return std::make_pair(p.exitCode(), QString::fromUtf8(p.readAllStandardError()).trimmed());
    };
    auto [code, error] = run("a,b,c\n");
    QCOMPARE(code, 2);
    QVERIFY2(error.contains("line 1: no traffic export"), qPrintable(error));
    std::tie(code, error) = run(traffic_csv_header.toLatin1() + "\n0,0.000,out,firmware,1,Bypass,x,0D 0G\n");
    QCOMPARE(code, 2);
    QVERIFY2(error.contains("line 2: the bytes are not hex pairs"), qPrintable(error));
    std::tie(code, error) = run(traffic_csv_header.toLatin1() + "\n0,0.000,sideways,firmware,1,Bypass,x,0D 01\n");
    QCOMPARE(code, 2);
    QVERIFY2(error.contains("line 2: direction \"sideways\""), qPrintable(error));
}

// The window after a Link and a firmware upgrade, at its end: the version
// record, Go, and the new firmware's status report. Kept beside the build
// (traffic-window.png) for a look by eye and for the documentation.
void TestTrafficVirtualPedal::picture()
{
    SimEditor e(pedal(10));
    e.link();
    upgrade_to_9(e);
    TformTraffic &window = open_traffic(*e.editor);
    window.resize(1180, 560);
    window.grdTraffic->selectRow(window.model().rowCount() - 12);
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    window.refresh();
    QPixmap pixmap(window.size() * 2);
    pixmap.setDevicePixelRatio(2);
    window.render(&pixmap);
    const QString dir = qEnvironmentVariable("QUORVANE_BINARY_DIR");
    if (!dir.isEmpty())
        QVERIFY(pixmap.save(dir + QStringLiteral("/traffic-window.png")));
}

QTEST_MAIN(TestTrafficVirtualPedal)
#include "tst_traffic_virtual_pedal.moc"
