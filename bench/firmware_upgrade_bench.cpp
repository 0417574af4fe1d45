// Times a firmware upgrade through the virtual pedal on a pseudo-terminal with
// the line model on and the bridge's latency timer at its default 16 ms,
// against stm32flash writing the same image through the same simulator, and
// against the line's lower bound. The editor lowers the timer as it does when
// it links; stm32flash does not.
//
// firmware_upgrade_bench <kq5-pedal-sim> <firmware image file>

#include "common/ConsoleLog.h"
#include "firmware/FirmwareUpgrade.h"
#include "platform/Dialogs.h"
#include "protocol/ReplyReader.h"
#include "usb/D2XXUnit.h"
#include "usb/TrafficLog.h"
#include "platform/LatencyTimer.h"
#include "usb/SerialPortDriver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <memory>
#include <vector>

using namespace quorvane;

namespace {

class SilentDialogs : public Dialogs {
public:
    void message(const QString &text) override { std::fprintf(stderr, "message: %s\n", qPrintable(text)); }
    Answer confirm(const QString &) override { return Answer::Yes; }
    QString openFile(const QString &, const QString &, const QString &) override { return {}; }
    QString saveFile(const QString &, const QString &, const QString &) override { return {}; }
};

// Counts the bytes that cross the line in each direction, and splits the
// time into waiting for the pedal (from the last write before a reply to the
// read that brings its last byte) and the editor's own (everything else).
class CountingDriver : public SerialPortDriver {
public:
    using SerialPortDriver::SerialPortDriver;
    FT_STATUS read(FT_HANDLE h, std::uint8_t *b, std::uint32_t n, std::uint32_t &r) override
    {
        const FT_STATUS s = SerialPortDriver::read(h, b, n, r);
        received += r;
        if (r > 0) {
            if (!answered)
                ++replies;
            answered = true;
            last_read_ns = clock.nsecsElapsed();
        }
        return s;
    }
    FT_STATUS write(FT_HANDLE h, const std::uint8_t *b, std::uint32_t n, std::uint32_t &w) override
    {
        settle();
        const FT_STATUS s = SerialPortDriver::write(h, b, n, w);
        sent += w;
        last_write_ns = clock.nsecsElapsed();
        answered = false;
        return s;
    }
    void start() { clock.start(); }
    // Books the last reply's wait; call at the end of a run.
    void settle()
    {
        if (answered && last_read_ns > last_write_ns)
            waiting_ns += last_read_ns - last_write_ns;
        answered = false;
    }

    qint64 sent = 0, received = 0;
    qint64 replies = 0, waiting_ns = 0;

private:
    QElapsedTimer clock;
    qint64 last_write_ns = 0, last_read_ns = 0;
    bool answered = false;
};

// One run's line: the virtual pedal, paced, with its bridge's latency timer
// starting at `latency_ms` in a stand-in sysfs tree that the editor may lower.
struct Sim {
    QProcess process;
    QString pty;
    QTemporaryDir sysfs;
    Sim(const QString &program, int latency_ms, bool flash_time = true)
    {
        QStringList args{QStringLiteral("--bootloader"), QStringLiteral("--paced"),
                         QStringLiteral("--latency-ms"), QString::number(latency_ms),
                         QStringLiteral("--sysfs-root"), sysfs.path()};
        if (!flash_time)
            args << QStringLiteral("--instant-flash");
        process.start(program, args);
        process.waitForStarted();
        while (process.state() == QProcess::Running && !process.canReadLine())
            process.waitForReadyRead(1000);
        pty = QString::fromLocal8Bit(process.readLine()).trimmed();
    }
    ~Sim()
    {
        process.terminate();
        process.waitForFinished(3000);
    }
};

struct EditorRun {
    double seconds = -1;
    qint64 bytes = 0;
    qint64 replies = 0;
    double waiting = 0; // seconds spent waiting for the pedal's replies
};

struct EditorSetup {
    int latency_ms = 16;       // the bridge's timer before the link
    bool lower_latency = true; // the editor lowers it as it does on Link
    bool flash_time = true;    // the pedal's flash takes its time
    bool verify = false;       // the written image is read back
    TrafficLog *traffic = nullptr; // where the gate captures the traffic; none: no capture
};

EditorRun run_editor(const QString &sim_program, const QByteArray &image, const EditorSetup &setup)
{
    Sim sim(sim_program, setup.latency_ms, setup.flash_time);
    EditorRun result;
    if (sim.pty.isEmpty())
        return result;
    LatencyTimer latency(sim.sysfs.path());
    CountingDriver driver({sim.pty});
    if (setup.lower_latency)
        driver.setLatencyTimer(&latency);
    SilentDialogs dialogs;
    ConsoleLog console;
    D2XXUnit link(driver, dialogs);
    link.traffic = setup.traffic;
    link.GetFTDeviceCount();
    link.GetFTDeviceSerialNo(link.ft_device_count - 1);
    if (link.Open_USB_Device_By_Serial_Number(link.ft_list_text) != FT_OK)
        return result;
    link.SetLinkSettings(link_mode_bootloader);
    link.SetFTBaudRate();
    link.SetFTDataCharacteristics();

    FirmwareUpgrade client(link, console);
    std::optional<D2XXUnit::BootloaderSession> session = link.acquire_bootloader();
    client.setSession(&*session);
    QElapsedTimer clock;
    clock.start();
    driver.start();
    session->transmit(QByteArray(1, char(bootloader_sync)));
    const bool synced = client.BootloaderWaitAck(client.command_limits).is_ack();
    client.setFirmwareImage(image);
    client.verify_after_writing = setup.verify;
    const bool ok = synced && client.SplitFirmwareInChunks() &&
                    client.BootloaderEraseAll() && client.BootloaderWriteFirmware() &&
                    (!setup.verify || client.BootloaderVerifyFirmware()) &&
                    client.BootloaderWriteVersion(10) && client.BootloaderGo();
    const qint64 elapsed = clock.nsecsElapsed();
    driver.settle();
    session.reset();
    link.CloseFTDevice();
    if (!ok) {
        std::fprintf(stderr, "editor upgrade failed: %s\n", qPrintable(client.failure));
        return result;
    }
    result.seconds = double(elapsed) / 1e9;
    result.bytes = driver.sent + driver.received;
    result.replies = driver.replies;
    result.waiting = double(driver.waiting_ns) / 1e9;
    return result;
}

double run_stm32flash(const QString &sim_program, const QString &image_path, int latency_ms, bool verify = false)
{
    Sim sim(sim_program, latency_ms);
    if (sim.pty.isEmpty())
        return -1;
    QProcess flash;
    QElapsedTimer clock;
    clock.start();
    QStringList args{QStringLiteral("-b"), QStringLiteral("115200"), QStringLiteral("-m"), QStringLiteral("8n1"),
                     QStringLiteral("-w"), image_path};
    if (verify)
        args << QStringLiteral("-v");
    args << QStringLiteral("-g") << QStringLiteral("0x08000000") << sim.pty;
    flash.start(QStringLiteral("stm32flash"), args);
    if (!flash.waitForFinished(300000) || flash.exitCode() != 0) {
        std::fprintf(stderr, "stm32flash failed: %s\n", flash.readAllStandardError().constData());
        return -1;
    }
    return double(clock.nsecsElapsed()) / 1e9;
}

double line_bound(const EditorRun &run)
{
    return double(run.bytes) * 11.0 / 115200.0;
}

// Where the editor's time went. The bridge's latency is paid once a reply
// (the protocol waits for each); what the wait holds beyond the line and the
// latency is the pedal's own work (erasing, programming each block) and the
// scheduling of both processes.
void print_breakdown(const EditorRun &run, int latency_ms)
{
    if (run.seconds <= 0)
        return;
    const double bound = line_bound(run);
    const double latency_total = double(run.replies) * latency_ms / 1000.0;
    std::printf("    editor's own time %.3f s (%.3f ms a reply); waiting for %lld replies %.2f s: "
                "line %.2f s + latency %.2f s + pedal's work and scheduling %.2f s\n",
                run.seconds - run.waiting,
                (run.seconds - run.waiting) * 1000.0 / double(std::max<qint64>(run.replies, 1)),
                static_cast<long long>(run.replies), run.waiting, bound, latency_total,
                run.waiting - bound - latency_total);
}

double ratio(double a, double b)
{
    return a > 0 && b > 0 ? a / b : 0.0;
}

} // namespace

// Without verification, as the goals are set: the editor at most half of
// stm32flash's time, and at most 1.3 times the line bound once the chip's
// flash times are taken out.
int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s <kq5-pedal-sim> <firmware image file>\n", argv[0]);
        return 2;
    }
    const QString sim = QString::fromLocal8Bit(argv[1]);
    const QString image_path = QString::fromLocal8Bit(argv[2]);
    QFile file(image_path);
    if (!file.open(QIODevice::ReadOnly)) {
        std::fprintf(stderr, "cannot read %s\n", argv[2]);
        return 2;
    }
    const QByteArray image = file.readAll();

    std::printf("image: %s, %lld bytes; 115200 bit/s, 11 bits a byte on the line; "
                "the bridge's latency timer starts at 16 ms\n",
                qPrintable(image_path), static_cast<long long>(image.size()));

    // The editor as it links: the timer lowered to 1 ms. stm32flash leaves it.
    const EditorRun editor = run_editor(sim, image, {});
    const double tool = run_stm32flash(sim, image_path, 16);
    std::printf("editor (timer lowered to 1 ms) %.2f s, stm32flash %.2f s: editor/stm32flash %.2f (goal <= 0.5)\n",
                editor.seconds, tool, ratio(editor.seconds, tool));
    print_breakdown(editor, LatencyTimer::wanted_ms);

    // The chip's flash times taken out: only the line and the latency remain.
    const EditorRun instant = run_editor(sim, image, {16, true, false, false});
    std::printf("flash work taking no time: editor %.2f s; line bound %.2f s (%lld bytes), "
                "editor/bound %.2f (goal <= 1.3)\n",
                instant.seconds, line_bound(instant), static_cast<long long>(instant.bytes),
                ratio(instant.seconds, line_bound(instant)));
    print_breakdown(instant, LatencyTimer::wanted_ms);

    // Reading every block back after writing it, as "Verify after writing"
    // does, against stm32flash -v (which reads each block back as it goes).
    const EditorRun verified = run_editor(sim, image, {16, true, true, true});
    const double tool_verified = run_stm32flash(sim, image_path, 16, true);
    std::printf("with verification: editor %.2f s (%.2f s more than without), stm32flash -v %.2f s: "
                "editor/stm32flash %.2f\n",
                verified.seconds, verified.seconds - editor.seconds, tool_verified,
                ratio(verified.seconds, tool_verified));
    print_breakdown(verified, LatencyTimer::wanted_ms);

    // Traffic capture at the gate, off and on in turns, three runs each: the
    // upgrade's time and the editor's own share of it.
    {
        TrafficLog traffic;
        std::vector<double> off, on, off_own, on_own;
        for (int round = 0; round < 3; ++round) {
            const EditorRun a = run_editor(sim, image, {});
            EditorSetup capturing;
            capturing.traffic = &traffic;
            const EditorRun b = run_editor(sim, image, capturing);
            off.push_back(a.seconds);
            on.push_back(b.seconds);
            off_own.push_back(a.seconds - a.waiting);
            on_own.push_back(b.seconds - b.waiting);
        }
        const auto median = [](std::vector<double> v) {
            std::sort(v.begin(), v.end());
            return v[v.size() / 2];
        };
        const double m_off = median(off), m_on = median(on);
        std::printf("traffic capture: off %.3f s, on %.3f s (medians of 3): on/off %.4f, %+.2f %% (goal within 3 %%); "
                    "editor's own time off %.3f s, on %.3f s; %zu records captured in the last run\n",
                    m_off, m_on, ratio(m_on, m_off), (ratio(m_on, m_off) - 1.0) * 100.0, median(off_own),
                    median(on_own), traffic.count() / 3);
    }

    // For comparison: the editor on a bridge whose timer it may not lower.
    const EditorRun unlowered = run_editor(sim, image, {16, false, true, false});
    std::printf("editor with the timer left at 16 ms %.2f s: editor/stm32flash %.2f\n", unlowered.seconds,
                ratio(unlowered.seconds, tool));
    print_breakdown(unlowered, 16);
    std::fflush(stdout);
    return 0;
}
