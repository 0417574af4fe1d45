// kq5-pedal-sim as scripts and tools meet it: started as a program, spoken
// to through its pseudo-terminal by a real file descriptor, stopped by signals.

#include "simulator/PedalModel.h"
#include "support/PedalSimProcess.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using quorvane::test::PedalSimProcess;

namespace {

// A running kq5-pedal-sim and our end of its terminal.
class Sim : public PedalSimProcess {
public:
    explicit Sim(const QStringList &args) : PedalSimProcess(args)
    {
        if (path.isEmpty())
            return;
        fd = ::open(path.toLatin1().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd >= 0) {
            termios t{};
            tcgetattr(fd, &t);
            cfmakeraw(&t);
            cfsetspeed(&t, B115200);
            tcsetattr(fd, TCSANOW, &t);
        }
    }
    ~Sim()
    {
        if (fd >= 0)
            ::close(fd);
    }

    bool ok() const { return fd >= 0; }

    void send(const QByteArray &bytes) { QCOMPARE(::write(fd, bytes.constData(), size_t(bytes.size())), ssize_t(bytes.size())); }
    void send(const char *hex) { send(QByteArray::fromHex(QByteArray(hex).replace(' ', ""))); }

    // Reads until `enough` holds for what came, or `ms` have passed.
    QByteArray read(int ms, const std::function<bool(const QByteArray &)> &enough)
    {
        QByteArray got;
        QElapsedTimer timer;
        timer.start();
        while (!enough(got) && timer.elapsed() < ms) {
            pollfd p{fd, POLLIN, 0};
            if (::poll(&p, 1, 20) > 0 && (p.revents & POLLIN)) {
                char buffer[4096];
                const ssize_t n = ::read(fd, buffer, sizeof buffer);
                if (n > 0)
                    got.append(buffer, int(n));
            }
        }
        return got;
    }
    QByteArray readBytes(int count, int ms = 3000)
    {
        return read(ms, [count](const QByteArray &b) { return b.size() >= count; });
    }
    // The status reply, read until `count` lines came (or the time is up).
    // Asked for twice: the second reply comes right behind the first, so
    // anything sent beyond `count` lines stands between them, and then all
    // that came is returned.
    QList<QByteArray> status(int count, int ms = 3000)
    {
        send("02 00");
        QByteArray reply = read(ms, [count](const QByteArray &b) { return b.count('\n') >= count; });
        send("02 00");
        const qsizetype first = reply.count('\n');
        reply += read(ms, [&](const QByteArray &b) { return first + b.count('\n') >= 2 * count; });
        QList<QByteArray> values = reply.split('\n');
        if (values.last().isEmpty())
            values.removeLast();
        for (QByteArray &v : values)
            v = v.trimmed();
        if (values.size() == 2 * count && values.mid(0, count) == values.mid(count))
            values.resize(count);
        return values;
    }
    // Lines of the --log file that begin with `start`.
    static qsizetype logged(const QString &log, const QByteArray &start)
    {
        QFile file(log);
        if (!file.open(QIODevice::ReadOnly))
            return 0;
        qsizetype n = 0;
        for (const QByteArray &line : file.readAll().split('\n'))
            n += line.startsWith(start) ? 1 : 0;
        return n;
    }

    int fd = -1;
};

} // namespace

class TestPedalSimProgram : public QObject {
    Q_OBJECT
private slots:
    void statusOverTheTerminal_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("count");
        QTest::addColumn<QByteArray>("head");
        QTest::newRow("defaults") << QStringList{} << 83 << QByteArray("10 0 17 0");
        QTest::newRow("firmware 8, 0010, effect 3")
            << QStringList{"--firmware", "8", "--algorithm", "0010", "--effect", "3"} << 82 << QByteArray("8 0 16 3");
        QTest::newRow("paced") << QStringList{"--paced", "--latency-ms", "30"} << 83 << QByteArray("10 0 17 0");
        QTest::newRow("hex letter") << QStringList{"--fault", "hex-letter-status"} << 83 << QByteArray("10 10 17 0");
    }

    void statusOverTheTerminal()
    {
        QFETCH(QStringList, args);
        QFETCH(int, count);
        QFETCH(QByteArray, head);
        Sim sim(args);
        QVERIFY2(sim.ok(), "the program printed a terminal we can open");
        QVERIFY(sim.path.startsWith("/dev/pts/"));
        const QList<QByteArray> values = sim.status(count);
        QCOMPARE(values.size(), count);
        QCOMPARE(values.mid(0, 4).join(' '), head);
    }

    void bootloaderAfterUpgradeRequest()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath("pedal.log");
        Sim sim({"--log", log});
        QVERIFY(sim.ok());
        sim.send("05 00 01 02 03 04 05 06");
        // While the pedal restarts, a synchronisation byte is ignored (and
        // logged so); the next one goes out only when the last was either
        // ignored or answered, and the first after the restart is answered.
        const QByteArray ignored = "ignored while restarting: 7F";
        QByteArray answer;
        for (qsizetype before = 0; answer.isEmpty(); before = Sim::logged(log, ignored)) {
            QVERIFY(before < 1000);
            sim.send("7F");
            answer = sim.read(3000, [&](const QByteArray &b) {
                return !b.isEmpty() || Sim::logged(log, ignored) > before;
            });
            QVERIFY2(!answer.isEmpty() || Sim::logged(log, ignored) > before, "neither answered nor ignored");
        }
        QCOMPARE(answer.toHex(), QByteArray("79"));
        sim.send("02 FD");
        QCOMPARE(sim.readBytes(5).toHex(' '), QByteArray("79 01 04 10 79"));
    }

    void logAndFaults()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath("pedal.log");
        Sim sim({"--fault", "short-status=5", "--fault", "late-upload=0", "--log", log});
        QVERIFY(sim.ok());
        sim.send("02 00");
        QCOMPARE(sim.read(1000, [](const QByteArray &b) { return b.count('\n') >= 5; }),
                 QByteArray("10\r\n0\r\n17\r\n0\r\n0\r\n"));
        // Nothing more comes: asked again, the same five values are the next bytes.
        sim.send("02 00");
        QCOMPARE(sim.read(1000, [](const QByteArray &b) { return b.count('\n') >= 5; }),
                 QByteArray("10\r\n0\r\n17\r\n0\r\n0\r\n"));
        QFile file(log);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QStringList lines = QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
        QVERIFY(lines.contains("recv 02 00"));
        QVERIFY(lines.contains("send 31 30 0D 0A 30 0D 0A 31 37 0D 0A 30 0D 0A 30 0D 0A"));
    }

    void endsCleanlyOnSignal_data()
    {
        QTest::addColumn<int>("signal");
        QTest::newRow("SIGINT") << SIGINT;
        QTest::newRow("SIGTERM") << SIGTERM;
    }

    void endsCleanlyOnSignal()
    {
        QFETCH(int, signal);
        Sim sim({});
        QVERIFY(sim.ok());
        ::kill(pid_t(sim.process.processId()), signal);
        QVERIFY(sim.process.waitForFinished(3000));
        QCOMPARE(sim.process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sim.process.exitCode(), 0);
    }

    void unplugHangsUpTheTerminal()
    {
        Sim sim({"--fault", "unplug-after=3"});
        QVERIFY(sim.ok());
        sim.send("02 00 02");
        QVERIFY(sim.process.waitForFinished(3000));
        QVERIFY(sim.process.readAllStandardError().contains("unplugged"));
        // The program has ended: the terminal is hung up, with nothing left in it.
        pollfd p{sim.fd, POLLIN, 0};
        QCOMPARE(::poll(&p, 1, 0), 1);
        QVERIFY(p.revents & POLLHUP);
        char c;
        QVERIFY(::read(sim.fd, &c, 1) <= 0);
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QByteArray>("says");
        QTest::newRow("help") << QStringList{"--help"} << 0 << QByteArray("--fault");
        for (const char *name : {"babble", "split-status=PIECES:GAP_MS", "split-upload=GAP_MS", "stray=HEX",
                                 "nack-at-write=N", "silent-at-write=N", "silent-erase", "extra-after-ack",
                                 "any-write-length", "--bootloader-synced"})
            QTest::addRow("help lists %s", name) << QStringList{"--help"} << 0 << QByteArray(name);
        QTest::newRow("split-status without pieces") << QStringList{"--fault", "split-status=60"} << 2
                                                     << QByteArray("split-status=PIECES:GAP_MS");
        QTest::newRow("stray of half a byte") << QStringList{"--fault", "stray=313"} << 2 << QByteArray("stray=HEX");
        QTest::newRow("firmware 4") << QStringList{"--firmware", "4"} << 2 << QByteArray("--firmware");
        QTest::newRow("algorithm 11") << QStringList{"--algorithm", "11"} << 2 << QByteArray("four decimal digits");
        QTest::newRow("unknown fault") << QStringList{"--fault", "melt"} << 2 << QByteArray("unknown fault: melt");
        QTest::newRow("unknown option") << QStringList{"--colour"} << 2 << QByteArray("colour");
        QTest::newRow("log nowhere") << QStringList{"--log", "/nonexistent/dir/log"} << 2 << QByteArray("cannot write");
    }

    void commandLine()
    {
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QByteArray, says);
        QProcess p;
        p.start(PedalSimProcess::program(), args);
        QVERIFY(p.waitForFinished(5000));
        QCOMPARE(p.exitCode(), exitCode);
        QVERIFY2((p.readAllStandardOutput() + p.readAllStandardError()).contains(says), says.constData());
    }

    // The newer faults and the synchronised bootloader are taken, and show.
    void startsWith_data()
    {
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<QByteArray>("send");
        QTest::addColumn<QByteArray>("head");
        QTest::newRow("babble") << QStringList{"--fault", "babble"} << QByteArray() << QByteArray("babble\r\nbabble\r\n");
        QTest::newRow("split status and upload, stray bytes")
            << QStringList{"--fault", "split-status=4:60", "--fault", "split-upload=50", "--fault", "stray=31320D0A"}
            << QByteArray::fromHex("0200") << QByteArray("10\r\n0\r\n17\r\n");
        QTest::newRow("bootloader synchronised") << QStringList{"--bootloader-synced"} << QByteArray::fromHex("02FD")
                                                 << QByteArray::fromHex("7901041079");
        QTest::newRow("extra byte after each ACK") << QStringList{"--bootloader", "--fault", "extra-after-ack"}
                                                   << QByteArray::fromHex("7F") << QByteArray::fromHex("791F");
        QTest::newRow("Read Memory refused") << QStringList{"--bootloader", "--fault", "nack-read"}
                                             << QByteArray::fromHex("7F11EE") << QByteArray::fromHex("791F");
    }

    void startsWith()
    {
        QFETCH(QStringList, args);
        QFETCH(QByteArray, send);
        QFETCH(QByteArray, head);
        Sim sim(args);
        QVERIFY(sim.ok());
        if (!send.isEmpty())
            sim.send(send);
        QVERIFY(sim.readBytes(int(head.size())).startsWith(head));
    }

    // A standard bootloader tool writes, verifies and starts an image.
    void standardToolWritesAndStarts()
    {
        const QString tool = QStandardPaths::findExecutable("stm32flash");
        if (tool.isEmpty())
            QSKIP("stm32flash is not installed (scripts/install-deps.sh installs it)");
        QTemporaryDir dir;
        QFile image(dir.filePath("firmware.bin"));
        QVERIFY(image.open(QIODevice::WriteOnly));
        image.write(quorvane::PedalModel::builtInFirmwareImage(9));
        image.close();

        Sim sim({"--bootloader"});
        QVERIFY(sim.ok());
        ::close(sim.fd); // the tool opens the terminal itself
        sim.fd = -1;
        QProcess flash;
        // A pseudo-terminal refuses parity settings; the virtual pedal needs none there.
        flash.start(tool, {"-b", "115200", "-m", "8n1", "-w", image.fileName(), "-v", "-g", "0x08000000", sim.path});
        QVERIFY(flash.waitForFinished(120000));
        const QByteArray out = flash.readAllStandardOutput() + flash.readAllStandardError();
        QVERIFY2(flash.exitCode() == 0, out.right(400).constData());
        QVERIFY(out.contains("Device ID    : 0x0410"));
        QVERIFY(out.contains("Wrote and verified address 0x0800c7d0 (100.00%) Done."));
        QVERIFY(out.contains("Starting execution at address 0x08000000... done."));

        // The tool kept the last page and its version record: firmware 10 runs.
        sim.fd = ::open(sim.path.toLatin1().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        QVERIFY(sim.ok());
        termios t{};
        tcgetattr(sim.fd, &t);
        cfmakeraw(&t);
        tcsetattr(sim.fd, TCSANOW, &t);
        const QList<QByteArray> values = sim.status(83);
        QCOMPARE(values.size(), 83);
        QCOMPARE(values[0], QByteArray("10"));
    }
};

QTEST_MAIN(TestPedalSimProgram)
#include "tst_pedal_sim_program.moc"
