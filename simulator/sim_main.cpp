// kq5-pedal-sim: the virtual pedal on a pseudo-terminal. Prints the
// terminal's path as its first line of output and serves it until SIGINT or
// SIGTERM. The POSIX terminal calls live here and nowhere else.

#include "simulator/PedalModel.h"
#include "simulator/TrafficReplay.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTextStream>

#include <cerrno>
#include <optional>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

using namespace quorvane;

namespace {

volatile std::sig_atomic_t g_stop = 0;

void onSignal(int)
{
    g_stop = 1;
}

int fail(const QString &text)
{
    std::fprintf(stderr, "kq5-pedal-sim: %s\n", qPrintable(text));
    return 2;
}

bool parseInt(const QString &text, int low, int high, int &out)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < low || v > high)
        return false;
    out = v;
    return true;
}

speed_t baudOf(speed_t code)
{
    switch (code) {
    case B1200: return 1200;
    case B2400: return 2400;
    case B4800: return 4800;
    case B9600: return 9600;
    case B19200: return 19200;
    case B38400: return 38400;
    case B57600: return 57600;
    case B115200: return 115200;
    case B230400: return 230400;
    default: return 115200;
    }
}

// A stand-in for the bridge's latency timer in sysfs: the file the editor
// lowers when it links, read back before the pedal answers each request.
class LatencyStandIn {
public:
    bool create(const QString &root, const QString &ttyPath, int latencyMs, QString *error)
    {
        m_dir = root + QStringLiteral("/bus/usb-serial/devices/") + QFileInfo(ttyPath).fileName();
        m_file.setFileName(m_dir + QStringLiteral("/latency_timer"));
        if (!QDir().mkpath(m_dir) || !m_file.open(QIODevice::WriteOnly | QIODevice::Truncate)) {
            *error = QStringLiteral("cannot make the latency timer stand-in %1").arg(m_file.fileName());
            return false;
        }
        m_file.write(QByteArray::number(latencyMs) + '\n');
        m_file.close();
        return true;
    }
    // The value the file holds now, or -1 when it holds none.
    int read()
    {
        if (!m_file.open(QIODevice::ReadOnly))
            return -1;
        bool ok = false;
        const int ms = m_file.readAll().trimmed().toInt(&ok);
        m_file.close();
        return ok && ms >= 0 && ms <= 255 ? ms : -1;
    }
    bool active() const { return !m_dir.isEmpty(); }
    ~LatencyStandIn()
    {
        if (active()) {
            m_file.remove();
            QDir().rmdir(m_dir);
        }
    }

private:
    QString m_dir;
    QFile m_file;
};

} // namespace

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kq5-pedal-sim"));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral(
        "The virtual Quorvane KQ5 pedal on a pseudo-terminal.\n"
        "Prints the terminal's path on the first line and serves it until SIGINT or SIGTERM."));
    parser.addHelpOption();
    const QCommandLineOption firmware(QStringLiteral("firmware"),
                                      QStringLiteral("Firmware version in flash, 5 to 10 (default 10)."),
                                      QStringLiteral("N"), QStringLiteral("10"));
    const QCommandLineOption algorithm(QStringLiteral("algorithm"),
                                       QStringLiteral("Effect algorithm in the settings memory, four digits (default 0011; 0000: none)."),
                                       QStringLiteral("NNNN"), QStringLiteral("0011"));
    const QCommandLineOption effect(QStringLiteral("effect"),
                                    QStringLiteral("Selected effect number, 0 to 99 (default 0)."),
                                    QStringLiteral("N"), QStringLiteral("0"));
    const QCommandLineOption bootloader(QStringLiteral("bootloader"),
                                        QStringLiteral("Start in the bootloader, as a pedal held in upgrade mode."));
    const QCommandLineOption bootloaderSynced(QStringLiteral("bootloader-synced"),
                                              QStringLiteral("Start in the bootloader as a host left it after synchronising "
                                                             "(implies --bootloader): a new 0x7F is taken as a command byte."));
    const QCommandLineOption paced(QStringLiteral("paced"),
                                   QStringLiteral("Pace the traffic as the real line and bridge would."));
    const QCommandLineOption latency(QStringLiteral("latency-ms"),
                                     QStringLiteral("The bridge's receive latency when paced (default 16)."),
                                     QStringLiteral("N"), QStringLiteral("16"));
    const QCommandLineOption instantFlash(QStringLiteral("instant-flash"),
                                          QStringLiteral("When paced, erase and program the flash without taking time."));
    const QCommandLineOption fault(QStringLiteral("fault"),
                                   QStringLiteral("A fault, repeatable: %1.").arg(PedalFaults::usage().join(QStringLiteral(", "))),
                                   QStringLiteral("NAME[=ARG]"));
    const QCommandLineOption log(QStringLiteral("log"),
                                 QStringLiteral("Write every message received and sent to FILE, one line each."),
                                 QStringLiteral("FILE"));
    const QCommandLineOption sysfsRoot(QStringLiteral("sysfs-root"),
                                       QStringLiteral("Keep the bridge's latency timer as DIR/bus/usb-serial/devices/<tty>/latency_timer, "
                                                      "starting at --latency-ms; the pedal follows what the host writes there."),
                                       QStringLiteral("DIR"));
    const QCommandLineOption expect(QStringLiteral("expect"),
                                    QStringLiteral("Play back a session exported as CSV from the editor's traffic window: "
                                                   "answer each request with the recorded answer, print every request "
                                                   "that differs (record number, expected and received bytes) and "
                                                   "exit with 1 at the end if any did."),
                                    QStringLiteral("FILE"));
    parser.addOptions({firmware, algorithm, effect, bootloader, bootloaderSynced, paced, latency, instantFlash, fault, log,
                       sysfsRoot, expect});
    if (!parser.parse(app.arguments()))
        return fail(parser.errorText());
    if (parser.isSet(QStringLiteral("help")))
        parser.showHelp(0);
    if (!parser.positionalArguments().isEmpty())
        return fail(QStringLiteral("unexpected argument: %1").arg(parser.positionalArguments().first()));

    PedalOptions options;
    if (!parseInt(parser.value(firmware), 5, 10, options.firmware))
        return fail(QStringLiteral("--firmware takes a version from 5 to 10"));
    const QString algo = parser.value(algorithm);
    if (!QRegularExpression(QStringLiteral("^[0-9]{4}$")).match(algo).hasMatch())
        return fail(QStringLiteral("--algorithm takes four decimal digits, e.g. 0011"));
    options.algorithm = algo.toInt();
    if (!parseInt(parser.value(effect), 0, 99, options.effect))
        return fail(QStringLiteral("--effect takes a number from 0 to 99"));
    if (!parseInt(parser.value(latency), 0, 1000, options.latencyMs))
        return fail(QStringLiteral("--latency-ms takes milliseconds from 0 to 1000"));
    options.bootloaderSynced = parser.isSet(bootloaderSynced);
    options.bootloader = parser.isSet(bootloader) || options.bootloaderSynced;
    options.paced = parser.isSet(paced);
    options.flashTime = !parser.isSet(instantFlash);
    for (const QString &f : parser.values(fault)) {
        QString error;
        if (!options.faults.parse(f, &error))
            return fail(error);
    }
    // A pseudo-terminal carries no parity: the pedal takes its own mode as the line.
    options.lineFollowsMode = true;
    // The pedal sees when it reads a byte, not when the host wrote it; a
    // shorter restart absorbs the scheduling delays of a busy machine.
    options.restartMs = 50;
    options.keepLog = false;

    std::optional<TrafficReplay> replay;
    if (parser.isSet(expect)) {
        QFile csv(parser.value(expect));
        if (!csv.open(QIODevice::ReadOnly))
            return fail(QStringLiteral("cannot read %1: %2").arg(csv.fileName(), csv.errorString()));
        QString error;
        replay.emplace();
        if (!replay->load(csv, &error))
            return fail(QStringLiteral("%1: %2").arg(csv.fileName(), error));
        replay->report = [](const QString &line) {
            std::printf("%s\n", qPrintable(line));
            std::fflush(stdout);
        };
    }

    QFile logFile;
    if (parser.isSet(log)) {
        logFile.setFileName(parser.value(log));
        if (!logFile.open(QIODevice::WriteOnly | QIODevice::Truncate | QIODevice::Text))
            return fail(QStringLiteral("cannot write the log %1: %2").arg(logFile.fileName(), logFile.errorString()));
    }

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return fail(QStringLiteral("cannot open a pseudo-terminal: %1").arg(qt_error_string(errno)));
    const char *name = ptsname(master);
    if (!name)
        return fail(QStringLiteral("pseudo-terminal has no name"));
    const QByteArray path(name);
    // Keep the other end open ourselves, raw, so the terminal neither hangs up
    // between clients nor cooks what the pedal sends.
    const int slave = open(path.constData(), O_RDWR | O_NOCTTY);
    if (slave < 0)
        return fail(QStringLiteral("cannot open %1: %2").arg(QString::fromLatin1(path), qt_error_string(errno)));
    termios raw{};
    tcgetattr(slave, &raw);
    cfmakeraw(&raw);
    cfsetspeed(&raw, B115200);
    tcsetattr(slave, TCSANOW, &raw);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    struct sigaction action {};
    action.sa_handler = onSignal;
    sigemptyset(&action.sa_mask);
    sigaction(SIGINT, &action, nullptr);
    sigaction(SIGTERM, &action, nullptr);
    std::signal(SIGPIPE, SIG_IGN);

    PedalModel model(options);
    model.setBaudRate(115200);
    model.setDataCharacteristics(8, 0, 0);
    if (logFile.isOpen()) {
        model.onLog = [&logFile](const QString &line) {
            logFile.write(line.toUtf8() + '\n');
            logFile.flush();
        };
    }

    LatencyStandIn latencyTimer;
    if (parser.isSet(sysfsRoot)) {
        QString error;
        if (!latencyTimer.create(parser.value(sysfsRoot), QString::fromLatin1(path), options.latencyMs, &error))
            return fail(error);
    }

    std::printf("%s\n", path.constData());
    std::fflush(stdout);
    if (replay)
        replay->start();

    // For the terminal, not yet taken by it. Bounded: while the client does
    // not read, the rest waits in the model (a pedal that never stops sending
    // would otherwise fill the memory).
    QByteArray pending;
    constexpr qsizetype pending_max = 4096;
    int status = 0;
    while (!g_stop) {
        // Sleep until the client writes or the model's next byte is due, to
        // the microsecond: a wait rounded up to whole milliseconds would add
        // up to one to every reply, more than the line time of most of them.
        const qint64 next = replay ? (replay->hasOutput() ? 0 : -1) : model.microsToNextOutput();
        qint64 timeoutUs = 100000;
        if (next >= 0 && pending.size() < pending_max)
            timeoutUs = std::min<qint64>(timeoutUs, next);
        if (!pending.isEmpty())
            timeoutUs = std::min<qint64>(timeoutUs, 5000);
        const timespec timeout{time_t(timeoutUs / 1000000), long(timeoutUs % 1000000) * 1000};
        pollfd fd{master, short(POLLIN | (pending.isEmpty() ? 0 : POLLOUT)), 0};
        const int ready = ppoll(&fd, 1, &timeout, nullptr);
        if (ready < 0) {
            if (errno == EINTR)
                continue;
            status = fail(QStringLiteral("poll: %1").arg(qt_error_string(errno)));
            break;
        }
        if (fd.revents & POLLIN) {
            // The client's line speed paces the model when asked to.
            termios line{};
            if (tcgetattr(slave, &line) == 0)
                model.setBaudRate(std::uint32_t(baudOf(cfgetospeed(&line))));
            // The terminal carries no parity bit, but the client's bytes take
            // the time of the line the pedal's mode reads: 8E1 for the
            // bootloader, 8N1 for the firmware.
            model.setDataCharacteristics(8, 0, model.mode() == PedalModel::Mode::Firmware ? 0 : 2);
            if (latencyTimer.active()) {
                if (const int ms = latencyTimer.read(); ms >= 0)
                    model.setLatencyMs(ms);
            }
            char buffer[4096];
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n > 0 && replay)
                replay->receive(QByteArray(buffer, int(n)));
            else if (n > 0)
                model.receive(QByteArray(buffer, int(n)));
        }
        if (model.unplugged()) {
            std::fprintf(stderr, "kq5-pedal-sim: unplugged\n");
            break;
        }
        if (pending.size() < pending_max)
            pending += replay ? replay->takeOutput(pending_max - pending.size())
                              : model.takeOutput(pending_max - pending.size());
        while (!pending.isEmpty()) {
            const ssize_t n = write(master, pending.constData(), size_t(pending.size()));
            if (n <= 0)
                break; // the terminal is full; try again when it drains
            pending.remove(0, int(n));
        }
    }
    close(slave);
    close(master);
    if (logFile.isOpen())
        logFile.close();
    if (replay) {
        replay->finish();
        if (status == 0 && replay->differences() > 0) {
            std::fprintf(stderr, "kq5-pedal-sim: %d difference(s) from the recording\n", replay->differences());
            status = 1;
        }
    }
    return status;
}
