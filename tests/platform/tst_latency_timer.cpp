// The bridge latency timer against a stand-in sysfs tree: lowered while a
// port is held, given back after, and left alone where it cannot be set.

#include "platform/LatencyTimer.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

using namespace quorvane;

namespace {

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
}

void put(const QString &path, const QByteArray &text)
{
    QDir().mkpath(QFileInfo(path).path());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(text);
}

} // namespace

class TestLatencyTimer : public QObject {
    Q_OBJECT
private slots:
    void lowersAndRestores_data();
    void lowersAndRestores();
    void followsLinksToTheDevice();
    void givesBackWhenItGoes();
};

void TestLatencyTimer::lowersAndRestores_data()
{
    QTest::addColumn<QByteArray>("before"); // "" : no timer file; "dir": a directory in its place
    QTest::addColumn<int>("outcome");
    QTest::addColumn<QByteArray>("whileHeld");

    QTest::newRow("16 ms lowered") << QByteArray("16\n") << int(LatencyTimer::Outcome::Lowered) << QByteArray("1\n");
    QTest::newRow("already 1 ms") << QByteArray("1\n") << int(LatencyTimer::Outcome::Lowered) << QByteArray("1\n");
    QTest::newRow("no timer") << QByteArray() << int(LatencyTimer::Outcome::Absent) << QByteArray("<none>");
    QTest::newRow("not permitted") << QByteArray("dir") << int(LatencyTimer::Outcome::NotPermitted)
                                   << QByteArray("<none>");
}

void TestLatencyTimer::lowersAndRestores()
{
    QFETCH(QByteArray, before);
    QFETCH(int, outcome);
    QFETCH(QByteArray, whileHeld);

    QTemporaryDir root;
    const QString device = root.filePath(QStringLiteral("dev/ttyUSB3"));
    put(device, {});
    const QString file = root.filePath(QStringLiteral("sys/bus/usb-serial/devices/ttyUSB3/latency_timer"));
    if (before == "dir")
        QVERIFY(QDir().mkpath(file)); // cannot be opened as a file, as a timer we may not write
    else if (!before.isEmpty())
        put(file, before);

    LatencyTimer timer(root.filePath(QStringLiteral("sys")));
    QCOMPARE(timer.timer_file(device), file);
    const LatencyTimer::Result result = timer.lower(device);
    QCOMPARE(int(result.outcome), outcome);
    QCOMPARE(contents(file), whileHeld);
    if (result.outcome == LatencyTimer::Outcome::NotPermitted) {
        QCOMPARE(result.file, file);
        QVERIFY(!result.reason.isEmpty());
    }
    timer.restore(result.file);
    QCOMPARE(contents(file), before.isEmpty() || before == "dir" ? QByteArray("<none>") : before);
}

void TestLatencyTimer::followsLinksToTheDevice()
{
    // /dev/serial/by-id/... links to the device whose name sysfs uses.
    QTemporaryDir root;
    const QString device = root.filePath(QStringLiteral("dev/ttyUSB0"));
    put(device, {});
    const QString link = root.filePath(QStringLiteral("dev/serial/by-id/usb-Bridge_A1-if00"));
    QDir().mkpath(QFileInfo(link).path());
    QVERIFY(QFile::link(device, link));
    const QString file = root.filePath(QStringLiteral("sys/bus/usb-serial/devices/ttyUSB0/latency_timer"));
    put(file, "16\n");

    LatencyTimer timer(root.filePath(QStringLiteral("sys")));
    QCOMPARE(int(timer.lower(link).outcome), int(LatencyTimer::Outcome::Lowered));
    QCOMPARE(contents(file), QByteArray("1\n"));
}

void TestLatencyTimer::givesBackWhenItGoes()
{
    // Lowering the same port twice keeps the first value to give back.
    QTemporaryDir root;
    const QString device = root.filePath(QStringLiteral("dev/ttyUSB1"));
    put(device, {});
    const QString file = root.filePath(QStringLiteral("sys/bus/usb-serial/devices/ttyUSB1/latency_timer"));
    put(file, "16\n");
    {
        LatencyTimer timer(root.filePath(QStringLiteral("sys")));
        timer.lower(device);
        timer.lower(device);
        QCOMPARE(contents(file), QByteArray("1\n"));
    }
    QCOMPARE(contents(file), QByteArray("16\n"));
}

QTEST_GUILESS_MAIN(TestLatencyTimer)
#include "tst_latency_timer.moc"
