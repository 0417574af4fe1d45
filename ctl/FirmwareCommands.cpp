// kq5ctl's firmware commands: the images the tool carries, the upgrade (from
// the running firmware, or resumed with a pedal that waits in its
// bootloader) and Erase Settings. Everything that reaches the pedal goes
// through the editor's own upgrade procedure and settings eraser; this file
// only answers their questions and shows their progress on a terminal.

#include "ctl/CtlParts.h"

#include "firmware/FirmwareImages.h"
#include "firmware/FirmwareUpgrade.h"
#include "firmware/SettingsErase.h"
#include "firmware/UpgradeProcedure.h"
#include "firmware/UpgradeWiring.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <algorithm>
#include <csignal>
#include <unistd.h>

namespace quorvane {

namespace {

QString image_name(int version)
{
    // As the upgrade window lists them; FirmwareSelect reads the version back.
    return QStringLiteral("Firmware_%1").arg(version);
}

// Ctrl-C during the transfer: the procedure stops at the next chunk, as when
// the editor quits mid-upgrade, and the pedal waits in its bootloader.
volatile std::sig_atomic_t interrupted = 0;

extern "C" void on_interrupt(int)
{
    interrupted = 1;
}

class InterruptStopsTransfer {
public:
    InterruptStopsTransfer()
    {
        interrupted = 0;
        struct sigaction action {};
        action.sa_handler = on_interrupt;
        sigemptyset(&action.sa_mask);
        sigaction(SIGINT, &action, &m_previous);
        sigaction(SIGTERM, &action, &m_previous_term);
    }
    ~InterruptStopsTransfer()
    {
        sigaction(SIGINT, &m_previous, nullptr);
        sigaction(SIGTERM, &m_previous_term, nullptr);
    }
    InterruptStopsTransfer(const InterruptStopsTransfer &) = delete;
    InterruptStopsTransfer &operator=(const InterruptStopsTransfer &) = delete;

private:
    struct sigaction m_previous {};
    struct sigaction m_previous_term {};
};

// The transfer's progress on stderr: a bar redrawn in place on a terminal,
// a line at each new tenth otherwise.
class ProgressShow {
public:
    explicit ProgressShow(bool quiet) : m_quiet(quiet), m_terminal(::isatty(STDERR_FILENO)) {}

    void show(int value, int maximum, bool verifying)
    {
        if (m_quiet || maximum <= 0)
            return;
        const int percent = int(qint64(qBound(0, value, maximum)) * 100 / maximum);
        if (m_terminal) {
            if (percent == m_last_percent && verifying == m_last_verifying)
                return;
            m_last_percent = percent;
            m_last_verifying = verifying;
            constexpr int width = 50;
            const int filled = percent * width / 100;
            const QString bar = QString(filled, QLatin1Char('#')) + QString(width - filled, QLatin1Char('.'));
            const QString phase = percent == 100 ? QStringLiteral("done  ")
                                  : verifying     ? QStringLiteral("verify")
                                                  : QStringLiteral("write ");
            std::fprintf(stderr, "\rupgrade [%s] %3d%% %s", qPrintable(bar), percent, qPrintable(phase));
            std::fflush(stderr);
            m_open_line = true;
        } else if (percent / 10 > m_last_tenth) {
            m_last_tenth = percent / 10;
            std::fprintf(stderr, "upgrade: %d%%\n", m_last_tenth * 10);
        }
    }
    void done() { show(1, 1, false); end_line(); }
    // Before any other line: the bar's line is ended.
    void end_line()
    {
        if (m_open_line)
            std::fputc('\n', stderr);
        m_open_line = false;
    }

private:
    bool m_quiet;
    bool m_terminal;
    bool m_open_line = false;
    int m_last_tenth = -1;
    int m_last_percent = -1;
    bool m_last_verifying = false;
};

} // namespace

int Kq5Ctl::Parts::firmware(const QStringList &args)
{
    const QString usage =
        QStringLiteral("usage: kq5ctl firmware list | firmware upgrade [--resume] [N] (N %1..%2)")
            .arg(firmware_versions.front())
            .arg(firmware_versions.back());
    if (args == QStringList{QStringLiteral("list")}) {
        if (options.resume)
            throw Stop{exit_usage, usage};
        return firmware_list();
    }
    if (args.isEmpty() || args[0] != QLatin1String("upgrade") || args.size() > 2)
        throw Stop{exit_usage, usage};
    int version = firmware_versions.back();
    if (args.size() == 2) {
        bool ok = false;
        version = args[1].toInt(&ok);
        if (!ok || std::find(firmware_versions.begin(), firmware_versions.end(), version) == firmware_versions.end())
            throw Stop{exit_usage, QStringLiteral("no firmware \"%1\": the tool carries %2 to %3 "
                                                  "(see 'kq5ctl firmware list')")
                                       .arg(args[1])
                                       .arg(firmware_versions.front())
                                       .arg(firmware_versions.back())};
    }
    return firmware_upgrade(version);
}

int Kq5Ctl::Parts::firmware_list()
{
    // Each image as the upgrade loads it.
    FirmwareUpgrade loader(link, console);
    QJsonArray array;
    for (const int version : firmware_versions) {
        const QString name = image_name(version);
        if (!loader.LoadFirmwareImage(name))
            throw Stop{exit_failed, loader.failure};
        const int bytes = int(loader.firmware_num_of_bytes);
        if (options.json)
            array.append(QJsonObject{{QStringLiteral("name"), name},
                                     {QStringLiteral("version"), version},
                                     {QStringLiteral("bytes"), bytes}});
        else
            out(QStringLiteral("%1%2%3").arg(name, -14).arg(version, -4).arg(bytes));
    }
    if (options.json)
        out(QString::fromUtf8(QJsonDocument(array).toJson(QJsonDocument::Indented)).trimmed());
    return exit_ok;
}

QString Kq5Ctl::Parts::resume_command(int version) const
{
    QString pedal;
    if (!options.port.isEmpty())
        pedal = QStringLiteral(" --port ") + options.port;
    else if (!options.serial.isEmpty())
        pedal = QStringLiteral(" --serial ") + options.serial;
    else if (options.simulator)
        pedal = QStringLiteral(" --simulator");
    return QStringLiteral("kq5ctl%1 firmware upgrade --resume %2").arg(pedal).arg(version);
}

int Kq5Ctl::Parts::firmware_upgrade(int version)
{
    const QString retry =
        QStringLiteral("the pedal waits in its bootloader: run '%1' to write it again").arg(resume_command(version));
    // A pedal in its bootloader answers no status request.
    if (!options.resume)
        request_status();

    UpgradeProcedure procedure(link, console, dialogs, upgrade_link_state(connection));
    wire_upgrade(procedure, connection);
    ProgressShow progress(options.quiet);
    bool verifying = false;
    QObject::connect(&procedure, &UpgradeProcedure::progress, &procedure, [&](int value, int maximum) {
        if (interrupted)
            procedure.stop_transfer();
        verifying = procedure.verify_after_writing() && value >= maximum / 2;
        progress.show(value, maximum, verifying);
    });
    QString failed_step;
    QString failed_reason;
    QObject::connect(&procedure, &UpgradeProcedure::failed, &procedure,
                     [&](const QString &step, const QString &reason) {
                         failed_step = step;
                         failed_reason = reason;
                     });
    // The report the editor asks for once the new firmware runs.
    report.reset();
    QObject::connect(&connection, &DeviceConnection::statusReported, &procedure,
                     [this](const StatusReport &r) { report = r; });

    dialogs.messages.clear();
    if (options.resume) {
        // As the editor's Link in upgrade mode: the mode first (nothing is
        // sent with no firmware reported), then the link and the bootloader's
        // hand-shake, which also joins a bootloader left mid-command.
        procedure.menuFirmwareUpgradeModeClick();
        link_only();
        procedure.BootloaderLinkHandshake();
        if (!procedure.pedal_in_bootloader())
            throw Stop{exit_failed, QStringLiteral("%1: the pedal's bootloader did not answer (is the pedal "
                                                   "in upgrade mode?)")
                                        .arg(bootloader_failed_text)};
    } else {
        procedure.menuFirmwareUpgradeModeClick();
        if (dialogs.refused_question)
            throw Stop{exit_refused,
                       QStringLiteral("firmware upgrade: not started; hold SHIFT on the pedal and answer yes, "
                                      "or give --yes")};
        if (!procedure.pedal_in_bootloader()) {
            if (connection.upgrade_mode_pending)
                throw Stop{exit_refused,
                           QStringLiteral("firmware %1 cannot start its bootloader on request: power the pedal "
                                          "on with SHIFT held, then run '%2'")
                               .arg(connection.device_firmware_version, resume_command(version))};
            err(QStringLiteral("firmware upgrade failed at the hand-shake: ") + bootloader_failed_text);
            throw Stop{exit_failed, QStringLiteral("if the pedal waits in its bootloader, run '%1'")
                                        .arg(resume_command(version))};
        }
    }

    procedure.FirmwareSelect(image_name(version));
    dialogs.messages.clear();
    bool completed = false;
    {
        InterruptStopsTransfer interrupt;
        progress.show(0, 1, false);
        completed = procedure.btnUpgradeFirmwareClick();
    }
    if (!completed) {
        progress.end_line();
        if (failed_step.isEmpty()) {
            failed_step = QStringLiteral("start");
            failed_reason = dialogs.messages.isEmpty() ? QStringLiteral("the upgrade did not start")
                                                       : dialogs.messages.last();
        }
        // The reason often starts with the step itself.
        if (failed_reason.startsWith(failed_step + QStringLiteral(": ")))
            failed_reason.remove(0, failed_step.size() + 2);
        // A stop by Ctrl-C is said by the reason itself.
        err(QStringLiteral("firmware upgrade failed at %1: %2").arg(failed_step, failed_reason));
        throw Stop{exit_failed, retry};
    }
    progress.done();
    if (!options.quiet)
        err(upgrade_complete_text);
    if (!report)
        throw Stop{exit_failed, QStringLiteral("firmware %1 was written and started, but the pedal did not "
                                               "report after its restart; try 'kq5ctl status'")
                                    .arg(version)};
    if (report->firmware != version)
        throw Stop{exit_failed, QStringLiteral("firmware %1 was written, but the pedal reports firmware %2")
                                    .arg(version)
                                    .arg(report->firmware)};
    return print_status();
}

int Kq5Ctl::Parts::erase_settings()
{
    request_status();
    SettingsErase erase(link, console, dialogs);
    dialogs.messages.clear();
    const bool erased = erase.menuEraseSettingsClick();
    if (dialogs.refused_question)
        throw Stop{exit_refused, QStringLiteral("erase-settings: not erased; the editor asks first (give --yes)")};
    if (!erased)
        fail_from_dialogs(exit_failed, QStringLiteral("the erase message could not be sent"));
    if (!options.quiet)
        out(QStringLiteral("settings erased"));
    return exit_ok;
}

} // namespace quorvane
