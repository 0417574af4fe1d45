// The stand-in updater program built beside the editor: its version, taking a
// downloaded updater into use, and waiting for the editor to exit.

#include "UpdaterRig.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

using namespace quorvane::test;

namespace {

// Whether the process sleeps in a timed wait: the updater sleeps only between
// two looks for a running editor, once a look has found it.
bool inTimedSleep(qint64 pid)
{
    QFile wchan(QStringLiteral("/proc/%1/wchan").arg(pid));
    return wchan.open(QIODevice::ReadOnly) && wchan.readAll().contains("nanosleep");
}

} // namespace

class TestUpdater : public QObject {
    Q_OBJECT
private slots:
    void init();
    void tellsItsVersion();
    void takesTheDownloadIntoUse();
    void withoutADownloadChangesNothing();
    void waitsForTheEditorToExit();

private:
    // Runs the updater copy with `arguments`; returns its exit code.
    int run(const QStringList &arguments, QByteArray *output = nullptr);
    QString log() const { return QString::fromUtf8(readFile(m_dir->filePath(kUpdaterLogFile))); }

    std::unique_ptr<QTemporaryDir> m_dir;
    QString m_updater;
};

void TestUpdater::init()
{
    m_dir = std::make_unique<QTemporaryDir>();
    QVERIFY(QDir().mkpath(m_dir->filePath("Program Files")));
    m_updater = m_dir->filePath(kUpdaterFile);
    QVERIFY2(QFile::copy(builtUpdater(), m_updater), qPrintable(builtUpdater()));
}

int TestUpdater::run(const QStringList &arguments, QByteArray *output)
{
    QProcess process;
    process.start(m_updater, arguments);
    if (!process.waitForFinished(30000))
        return -1;
    if (output)
        *output = process.readAllStandardOutput();
    return process.exitStatus() == QProcess::NormalExit ? process.exitCode() : -1;
}

void TestUpdater::tellsItsVersion()
{
    QByteArray output;
    QCOMPARE(run({"--version"}, &output), 0);
    QCOMPARE(output, QByteArray("1.0\n"));
    // Asking for the version leaves no trace.
    QVERIFY(!QFile::exists(m_dir->filePath(kUpdaterLogFile)));
}

void TestUpdater::takesTheDownloadIntoUse()
{
    const QString update = m_dir->filePath(kUpdaterUpdateFile);
    const QByteArray newUpdater = "#!/bin/sh\necho 1.3\n";
    QVERIFY(writeFile(update, newUpdater));

    QCOMPARE(run({}), 0);

    QVERIFY(!QFile::exists(update));
    QCOMPARE(readFile(m_updater), newUpdater);
    QVERIFY(QFileInfo(m_updater).isExecutable());
    QVERIFY(log().contains("took Quorvane_Win_Updater_Update.exe into use"));
    // The new one answers now.
    QByteArray output;
    QCOMPARE(run({"--version"}, &output), 0);
    QCOMPARE(output, QByteArray("1.3\n"));
}

void TestUpdater::withoutADownloadChangesNothing()
{
    const QByteArray before = readFile(m_updater);
    QCOMPARE(run({}), 1);
    QCOMPARE(readFile(m_updater), before);
    QVERIFY(log().contains("no Quorvane_Win_Updater_Update.exe to take into use"));
    QCOMPARE(run({"one", "two", "three"}), 2);
    QVERIFY(log().contains("unexpected arguments"));
}

void TestUpdater::waitsForTheEditorToExit()
{
    // An "editor" that runs until the test ends it, from a folder with a blank.
    const QString editor = m_dir->filePath("Program Files/quorvane editor");
    QVERIFY(QFile::copy("/bin/sleep", editor));
    QProcess running;
    running.start(editor, {"60"});
    QVERIFY(running.waitForStarted());
    const QString setup = m_dir->filePath("Temp Folder/Quorvane_Editor_Update.exe");

    QProcess updater;
    updater.start(m_updater, {setup, editor});
    QVERIFY(updater.waitForStarted());
    QTRY_VERIFY(log().contains("asked to update"));
    // Still waiting while the editor runs: it has looked, found the editor,
    // and sleeps before its next look.
    QTRY_VERIFY(inTimedSleep(updater.processId()));
    QCOMPARE(updater.state(), QProcess::Running);
    QVERIFY(!log().contains("exited"));
    running.kill();
    QVERIFY(running.waitForFinished(10000));
    QVERIFY(updater.waitForFinished(10000));
    QCOMPARE(updater.exitCode(), 0);

    const QStringList lines = log().split('\n', Qt::SkipEmptyParts);
    QCOMPARE(lines.size(), 2);
    QVERIFY(lines[0].endsWith("asked to update \"" + editor + "\" with the setup at \"" + setup + '"'));
    QVERIFY(lines[1].endsWith("the editor has exited; the new setup would go to \"" + setup + '"'));
}

QTEST_MAIN(TestUpdater)
#include "tst_updater.moc"
