// kq5ctl's firmware commands as a program against kq5-pedal-sim on a
// pseudo-terminal: upgrades one after the other on the same pedal, a failed
// upgrade and its resumption, the questions, and Erase Settings. What went
// to the pedal is read back from its own log, run by run.

#include "firmware/FirmwareImages.h"
#include "CtlRun.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace quorvane;
using namespace quorvane::test;

namespace {

// One run of kq5ctl (after --port) and what it must do.
struct Step {
    QStringList args;
    int code = 0;
    QStringList printed;    // each in stdout or stderr
    QStringList notPrinted; // none of these in either
    QString first;          // how the first bytes the pedal received in this run start; "" unchecked
    QStringList sent;       // lines of the pedal's log during this run
    QStringList notSent;    // starts of line the log of this run must not hold
};

const QString go = QStringLiteral("recv 21 DE");
const QString status_request = QStringLiteral("recv 02 00");
const QString upgrade_request = QStringLiteral("recv 05 00 01 02 03 04 05 06");
const QString any_message = QStringLiteral("recv");

QString firmware_line(int version)
{
    return QStringLiteral("firmware    %1\n").arg(version);
}

Step upgrade(int version, QStringList also = {})
{
    Step s;
    s.args = QStringList{"--yes", "firmware", "upgrade"} + also + QStringList{QString::number(version)};
    s.printed = {firmware_line(version), "upgrade: 50%", "upgrade: 100%"};
    s.sent = {go};
    return s;
}

} // namespace

Q_DECLARE_METATYPE(Step)

class TestKq5CtlFirmware : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void runs_data();
    void runs();
    void listIsTheCarriedImages();
};

void TestKq5CtlFirmware::initTestCase()
{
    QVERIFY2(QFileInfo::exists(ctl_program()), qPrintable(ctl_program()));
}

void TestKq5CtlFirmware::runs_data()
{
    QTest::addColumn<QStringList>("pedal"); // kq5-pedal-sim's options
    QTest::addColumn<QList<Step>>("steps");

    const QString retry_hint = QStringLiteral("firmware upgrade --resume ");

    Step from_firmware = upgrade(9);
    from_firmware.first = status_request;
    from_firmware.sent += {"recv 0D 01", upgrade_request, "recv 7F"};
    QTest::newRow("9, then 10, on the same pedal") << QStringList{"--firmware", "10"}
                                                   << QList<Step>{from_firmware, upgrade(10)};

    // Firmware 8 has no upgrade-mode request: the pedal is started in its
    // bootloader by hand, and nothing is sent that it would not understand.
    Step from_8;
    from_8.args = QStringList{"--yes", "firmware", "upgrade", "10"};
    from_8.code = 4;
    from_8.printed = {"power the pedal on with SHIFT held", retry_hint + "10"};
    from_8.first = status_request;
    from_8.notSent = {"recv 0D", "recv 05", "recv 7F"};
    // The running firmware is no bootloader: --resume writes nothing to it.
    Step resume_running;
    resume_running.args = QStringList{"--yes", "firmware", "upgrade", "--resume", "10"};
    resume_running.code = 3;
    resume_running.printed = {"Connection to bootloader failed"};
    resume_running.notSent = {"recv 43", "recv 31", go};
    QTest::newRow("to 8, which then needs its bootloader started by hand")
        << QStringList{"--firmware", "10"} << QList<Step>{upgrade(8), from_8, resume_running};

    // Each fault strikes once after power-on: the resumed upgrade passes.
    const struct {
        const char *name;
        const char *fault;
        const char *step;
    } faults[] = {
        {"NACK at chunk 3", "nack-at=chunk:3", "failed at write: chunk 3 at address 0x08000300"},
        {"NACK at the 6th Write Memory", "nack-at-write=5", "failed at write: chunk 5 at address 0x08000500"},
        {"chunk stored wrong", "corrupt-block=5", "failed at verify: verify chunk 5"},
        {"NACK at the version record", "nack-at=version", "failed at version record"},
    };
    for (const auto &f : faults) {
        Step failing;
        failing.args = QStringList{"--yes", "firmware", "upgrade", "10"};
        failing.code = 3;
        failing.printed = {QLatin1String(f.step), retry_hint + "10"};
        failing.notPrinted = {"Upgrade Complete", "firmware    "};
        failing.notSent = {go};
        Step resumed = upgrade(10, {"--resume"});
        resumed.first = QStringLiteral("recv 7F");
        QTest::newRow(f.name) << QStringList{"--firmware", "9", "--fault", QLatin1String(f.fault)}
                              << QList<Step>{failing, resumed};
    }

    Step held = upgrade(10, {"--resume"});
    held.first = QStringLiteral("recv 7F");
    QTest::newRow("old pedal started in its bootloader")
        << QStringList{"--firmware", "7", "--bootloader"} << QList<Step>{held};
    Step joined = held;
    joined.printed += "firmware    10";
    QTest::newRow("bootloader a host left synchronised")
        << QStringList{"--firmware", "7", "--bootloader-synced"} << QList<Step>{joined};

    Step quiet = upgrade(9, {"--quiet"});
    quiet.printed = {firmware_line(9)};
    quiet.notPrinted = {"upgrade:", "Upgrade Complete"};
    QTest::newRow("quiet") << QStringList{} << QList<Step>{quiet};

    // Only the bypass goes out before the question, as in the editor.
    Step refused;
    refused.args = QStringList{"firmware", "upgrade"};
    refused.code = 4;
    refused.printed = {"give --yes"};
    refused.sent = {"recv 0D 01"};
    refused.notSent = {"recv 05", "recv 7F"};
    QTest::newRow("SHIFT question refused on a pipe") << QStringList{} << QList<Step>{refused};

    const auto usage = [](const QStringList &args) {
        Step s;
        s.args = args;
        s.code = 1;
        s.printed = {"Try 'kq5ctl --help'."};
        s.notSent = {any_message};
        return s;
    };
    QTest::newRow("command line mistakes")
        << QStringList{}
        << QList<Step>{usage({"--yes", "firmware", "upgrade", "11"}), usage({"--yes", "firmware", "upgrade", "4"}),
                       usage({"--yes", "firmware", "upgrade", "ten"}), usage({"firmware", "upgrade", "9", "10"}),
                       usage({"firmware", "flash"}), usage({"firmware"}), usage({"--resume", "status"}),
                       usage({"erase-settings", "now"})};

    Step erase_refused;
    erase_refused.args = QStringList{"erase-settings"};
    erase_refused.code = 4;
    erase_refused.printed = {"give --yes"};
    erase_refused.notSent = {"recv 0B"};
    Step erase;
    erase.args = QStringList{"--yes", "erase-settings"};
    erase.first = status_request;
    erase.sent = {"recv 0B 50 00 00 00"};
    QTest::newRow("erase settings asks") << QStringList{} << QList<Step>{erase_refused, erase};
}

void TestKq5CtlFirmware::runs()
{
    QFETCH(QStringList, pedal);
    QFETCH(QList<Step>, steps);

    LoggedPedal p(pedal);
    QVERIFY(p.sim.started);
    QVERIFY(!p.sim.path.isEmpty());
    for (const Step &s : steps) {
        const qsizetype logged_before = p.lines().size();
        QElapsedTimer took;
        took.start();
        const CtlRun r = run_ctl(QStringList{"--port", p.sim.path} + s.args);
        const QString what = s.args.join(' ');
        qInfo("%s: exit %d in %lld ms", qPrintable(what), r.code, took.elapsed());
        const QString printed = r.out + r.err;
        QVERIFY2(r.code == s.code, qPrintable(QStringLiteral("%1: exit %2\n%3").arg(what).arg(r.code).arg(printed)));
        for (const QString &text : s.printed)
            QVERIFY2(printed.contains(text), qPrintable(QStringLiteral("%1: no \"%2\" in\n%3").arg(what, text, printed)));
        for (const QString &text : s.notPrinted)
            QVERIFY2(!printed.contains(text), qPrintable(QStringLiteral("%1: \"%2\" in\n%3").arg(what, text, printed)));

        for (const QString &line : s.sent)
            QTRY_VERIFY2(p.holds(line, logged_before), qPrintable(QStringLiteral("%1: no \"%2\"").arg(what, line)));
        const QStringList log = p.lines().mid(logged_before);
        const QStringList messages = log.filter(QRegularExpression(QStringLiteral("^recv ")));
        const QString context = what + QStringLiteral("\n") + log.mid(0, 40).join('\n');
        if (!s.first.isEmpty())
            QVERIFY2(!messages.isEmpty() && messages.first().startsWith(s.first), qPrintable(context));
        for (const QString &line : s.sent)
            QVERIFY2(log.contains(line), qPrintable(QStringLiteral("no \"%1\": %2").arg(line, context)));
        for (const QString &start : s.notSent)
            for (const QString &line : log)
                QVERIFY2(!line.startsWith(start), qPrintable(QStringLiteral("\"%1\": %2").arg(line, context)));
    }
}

void TestKq5CtlFirmware::listIsTheCarriedImages()
{
    // No pedal is needed: the images and their sizes are the tool's own.
    const CtlRun r = run_ctl({"--json", "firmware", "list"});
    QCOMPARE(r.code, 0);
    const QJsonArray images = QJsonDocument::fromJson(r.out.toUtf8()).array();
    QCOMPARE(images.size(), qsizetype(firmware_versions.size()));
    for (qsizetype i = 0; i < images.size(); ++i) {
        const QJsonObject image = images[i].toObject();
        const int version = firmware_versions[std::size_t(i)];
        QCOMPARE(image.value("version").toInt(), version);
        QCOMPARE(image.value("name").toString(), QStringLiteral("Firmware_%1").arg(version));
        const QFileInfo resource(QStringLiteral(":/FIRMWARE_%1").arg(version));
        QVERIFY(resource.size() > 0);
        QCOMPARE(image.value("bytes").toInteger(), resource.size());
    }

    const CtlRun plain = run_ctl({"firmware", "list"});
    QCOMPARE(plain.code, 0);
    const QStringList lines = plain.out.split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), images.size());
    QVERIFY2(lines.last().startsWith("Firmware_10"), qPrintable(plain.out));
}

QTEST_MAIN(TestKq5CtlFirmware)
#include "tst_kq5ctl_firmware.moc"
