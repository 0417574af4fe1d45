// Times a firmware upgrade through the virtual pedal on a pseudo-terminal with
// the line model on, against stm32flash writing the same image through the
// same simulator, and against the line's lower bound.
//
// firmware_upgrade_bench <kq5-pedal-sim> <firmware image file>

#include "common/ConsoleLog.h"
#include "firmware/FirmwareUpgrade.h"
#include "platform/Dialogs.h"
#include "protocol/ReplyReader.h"
#include "usb/D2XXUnit.h"
#include "usb/SerialPortDriver.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTextStream>

#include <algorithm>
#include <cstdio>
#include <memory>

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
// read that brings it) and the editor's own (everything else).
class CountingDriver : public SerialPortDriver {
public:
    using SerialPortDriver::SerialPortDriver;
    FT_STATUS read(FT_HANDLE h, std::uint8_t *b, std::uint32_t n, std::uint32_t &r) override
    {
        const FT_STATUS s = SerialPortDriver::read(h, b, n, r);
        received += r;
        if (r > 0 && awaiting) {
            waiting_ns += clock.nsecsElapsed() - last_write_ns;
            awaiting = false;
            ++replies;
        }
        return s;
    }
    FT_STATUS write(FT_HANDLE h, const std::uint8_t *b, std::uint32_t n, std::uint32_t &w) override
    {
        const FT_STATUS s = SerialPortDriver::write(h, b, n, w);
        sent += w;
        last_write_ns = clock.nsecsElapsed();
        awaiting = true;
        return s;
    }
    void start() { clock.start(); }

    qint64 sent = 0, received = 0;
    qint64 replies = 0, waiting_ns = 0;

private:
    QElapsedTimer clock;
    qint64 last_write_ns = 0;
    bool awaiting = false;
};

struct Sim {
    QProcess process;
    QString pty;
    Sim(const QString &program, int latency_ms, bool flash_time = true)
    {
        QStringList args{QStringLiteral("--bootloader"), QStringLiteral("--paced"),
                         QStringLiteral("--latency-ms"), QString::number(latency_ms)};
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

EditorRun run_editor(const QString &sim_program, const QByteArray &image, int latency_ms,
                     bool flash_time = true)
{
    Sim sim(sim_program, latency_ms, flash_time);
    EditorRun result;
    if (sim.pty.isEmpty())
        return result;
    CountingDriver driver({sim.pty});
    SilentDialogs dialogs;
    ConsoleLog console;
    D2XXUnit link(driver, dialogs);
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
    const bool ok = synced && client.SplitFirmwareInChunks() &&
                    client.BootloaderEraseAll() && client.BootloaderWriteFirmware() &&
                    client.BootloaderWriteVersion(10) && client.BootloaderGo();
    const qint64 elapsed = clock.nsecsElapsed();
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

double run_stm32flash(const QString &sim_program, const QString &image_path, int latency_ms)
{
    Sim sim(sim_program, latency_ms);
    if (sim.pty.isEmpty())
        return -1;
    QProcess flash;
    QElapsedTimer clock;
    clock.start();
    flash.start(QStringLiteral("stm32flash"),
                {QStringLiteral("-b"), QStringLiteral("115200"), QStringLiteral("-m"), QStringLiteral("8n1"),
                 QStringLiteral("-w"), image_path, QStringLiteral("-g"), QStringLiteral("0x08000000"), sim.pty});
    if (!flash.waitForFinished(300000) || flash.exitCode() != 0) {
        std::fprintf(stderr, "stm32flash failed: %s\n", flash.readAllStandardError().constData());
        return -1;
    }
    return double(clock.nsecsElapsed()) / 1e9;
}

} // namespace

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

    std::printf("image: %s, %lld bytes; 115200 bit/s, 11 bits a byte on the line\n",
                qPrintable(image_path), static_cast<long long>(image.size()));
    for (int latency : {16, 1}) {
        const EditorRun editor = run_editor(sim, image, latency);
        const double tool = run_stm32flash(sim, image_path, latency);
        const double bound = double(editor.bytes) * 11.0 / 115200.0;
        std::printf("latency %2d ms: editor %.2f s, stm32flash %.2f s, editor/stm32flash %.2f; "
                    "line bound %.2f s (%lld bytes), editor/bound %.2f\n",
                    latency, editor.seconds, tool, tool > 0 ? editor.seconds / tool : 0.0, bound,
                    static_cast<long long>(editor.bytes), bound > 0 ? editor.seconds / bound : 0.0);
        // Where the editor's time went. The bridge's latency is paid once a
        // reply (the protocol waits for each); what the wait holds beyond the
        // line and the latency is the pedal's own work (erasing, programming
        // each block) and the scheduling of both processes.
        if (editor.seconds > 0) {
            const double latency_total = double(editor.replies) * latency / 1000.0;
            std::printf("    editor's own time %.3f s (%.3f ms a reply); waiting for %lld replies %.2f s: "
                        "line %.2f s + latency %.2f s + pedal's work and scheduling %.2f s\n",
                        editor.seconds - editor.waiting,
                        (editor.seconds - editor.waiting) * 1000.0 / double(std::max<qint64>(editor.replies, 1)),
                        static_cast<long long>(editor.replies), editor.waiting, bound, latency_total,
                        editor.waiting - bound - latency_total);
        }
        std::fflush(stdout);
    }

    // The pedal's flash work is no part of the line: with a pedal that erases
    // and programs in no time, only the line and the latency bound the editor.
    const EditorRun instant = run_editor(sim, image, 1, false);
    if (instant.seconds > 0) {
        const double bound = double(instant.bytes) * 11.0 / 115200.0;
        const double latency_total = double(instant.replies) / 1000.0;
        std::printf("latency  1 ms, flash work taking no time: editor %.2f s; line bound %.2f s, "
                    "editor/bound %.2f; line + latency %.2f s, editor/(line + latency) %.2f\n",
                    instant.seconds, bound, instant.seconds / bound, bound + latency_total,
                    instant.seconds / (bound + latency_total));
    }
    return 0;
}
