// How fast the console log takes lines: a memory dump (16384 lines at once)
// and then a million lines, appended to the real console window offscreen,
// each batch followed by the one catch-up of the view and its repaint.
// Prints the time per line and the process's peak memory.
//
//   build/bench/bench_console [lines]     (default 1000000)

#include "common/ConsoleLog.h"
#include "console/LogView.h"
#include "console/TformPrint.h"
#include "usb/BridgeDriver.h"
#include "usb/D2XXUnit.h"
#include "support/ScriptedDialogs.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QScrollBar>

#include <cstdio>
#include <cstdlib>

#ifdef __linux__
#include <sys/resource.h>
#endif

using namespace quorvane;

namespace {

class NoDriver : public BridgeDriver {
public:
    FT_STATUS listDeviceCount(std::uint32_t &count) override { count = 0; return FT_OK; }
    FT_STATUS listSerialNumber(std::uint32_t, char *) override { return FT_DEVICE_NOT_FOUND; }
    FT_STATUS listDescription(std::uint32_t, char *) override { return FT_DEVICE_NOT_FOUND; }
    FT_STATUS openBySerialNumber(const char *, FT_HANDLE &) override { return FT_DEVICE_NOT_FOUND; }
    FT_STATUS close(FT_HANDLE) override { return FT_OK; }
    FT_STATUS setBaudRate(FT_HANDLE, std::uint32_t) override { return FT_OK; }
    FT_STATUS setDataCharacteristics(FT_HANDLE, std::uint8_t, std::uint8_t, std::uint8_t) override { return FT_OK; }
    FT_STATUS purge(FT_HANDLE, std::uint32_t) override { return FT_OK; }
    FT_STATUS getQueueStatus(FT_HANDLE, std::uint32_t &count) override { count = 0; return FT_OK; }
    FT_STATUS read(FT_HANDLE, std::uint8_t *, std::uint32_t, std::uint32_t &got) override { got = 0; return FT_OK; }
    FT_STATUS write(FT_HANDLE, const std::uint8_t *, std::uint32_t n, std::uint32_t &done) override { done = n; return FT_OK; }
};

double peak_mib()
{
#ifdef __linux__
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_maxrss) / 1024.0;
#else
    return -1;
#endif
}

QString dump_line(int k)
{
    const int value = (k * 37 + 11) & 0xFF;
    return QString::number(k) + QStringLiteral(": ") +
           QString::number(value, 16).toUpper().rightJustified(2, QLatin1Char('0'));
}

// Appends `count` dump-style lines ("k: HH"), formatting each as a caller
// does, and lets the view catch up once (layout, scroll, repaint).
double append_lines(TformPrint &window, ConsoleLog &log, int count)
{
    QElapsedTimer clock;
    clock.start();
    for (int k = 0; k < count; ++k)
        log.print_to_console(dump_line(k));
    QCoreApplication::processEvents();
    window.Memo1->viewport()->repaint();
    return double(clock.nsecsElapsed());
}

// The same with the texts made beforehand: the console's own share.
double append_ready_lines(TformPrint &window, ConsoleLog &log, const QStringList &lines)
{
    QElapsedTimer clock;
    clock.start();
    for (const QString &line : lines)
        log.print_to_console(line);
    QCoreApplication::processEvents();
    window.Memo1->viewport()->repaint();
    return double(clock.nsecsElapsed());
}

} // namespace

int main(int argc, char *argv[])
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const int many = argc > 1 ? std::atoi(argv[1]) : 1000000;

    NoDriver driver;
    test::ScriptedDialogs dialogs; // every question answered yes, no file chosen
    D2XXUnit link(driver, dialogs);
    ConsoleLog log;
    TformPrint window(log, link);
    window.show();
    QCoreApplication::processEvents();

    const double dump = append_lines(window, log, 16384);
    std::printf("memory dump: 16384 lines in %.2f ms (%.3f us/line), last line in view: %s\n",
                dump / 1e6, dump / 1e3 / 16384,
                window.Memo1->isLineVisible(int(log.count()) - 1) ? "yes" : "no");

    log.clear();
    const double bulk = append_lines(window, log, many);
    std::printf("%d lines in %.1f ms (%.3f us/line), last line in view: %s\n", many, bulk / 1e6,
                bulk / 1e3 / many,
                window.Memo1->isLineVisible(int(log.count()) - 1) ? "yes" : "no");
    std::printf("peak memory with %d lines in the log: %.1f MiB\n", many, peak_mib());
    {
        QStringList ready;
        ready.reserve(many);
        for (int k = 0; k < many; ++k)
            ready.append(dump_line(k));
        log.clear();
        const double own = append_ready_lines(window, log, ready);
        std::printf("%d ready-made lines in %.1f ms (%.3f us/line): the console's own share\n",
                    many, own / 1e6, own / 1e3 / many);
    }
    log.clear();
    const double again = append_lines(window, log, many);
    std::printf("%d lines again after a clear: %.3f us/line\n", many, again / 1e3 / many);
    std::printf("targets: dump < 100 ms; %d lines < 2 us/line and < 300 MiB peak\n", many);
    return 0;
}
