#include "app/Editor.h"
#include "app/EditorApplication.h"
#include "app/TformMain.h"
#include "desktop/DesktopShell.h"
#include "common/ConsoleLog.h"
#include "desktop/QtDialogs.h"
#include "platform/LatencyTimer.h"
#include "platform/QuitOnSignal.h"
#include "simulator/SimulatorDriver.h"
#include "update/UpdateService.h"
#include "usb/CompositeDriver.h"
#include "usb/SerialPortDriver.h"

#include <QCommandLineParser>

#include <cstdio>
#include <cstring>
#include <memory>

static void describe_program()
{
    QCoreApplication::setApplicationName(QStringLiteral("quorvane-editor"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));
}

static void describe_options(QCommandLineParser &parser)
{
    parser.setApplicationDescription(
        QStringLiteral("Editor for the Quorvane KQ5 octave-down pedal."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("simulator"),
                      QStringLiteral("List the virtual pedal as a bridge, after the real ones.")});
    parser.addOption({QStringLiteral("port"),
                      QStringLiteral("Also list the serial port at <path> as a bridge (repeatable)."),
                      QStringLiteral("path")});
    parser.addOption({QStringLiteral("sysfs-root"),
                      QStringLiteral("Where the bridges' latency timers are found (default: "
                                     "$QUORVANE_SYSFS_ROOT, else /sys)."),
                      QStringLiteral("dir")});
    parser.addOption({QStringLiteral("update-server"),
                      QStringLiteral("Base address of the update server, https:// only (default %1).")
                          .arg(QStringLiteral(QUORVANE_UPDATE_SERVER)),
                      QStringLiteral("url")});
}

// Whether the command line only asks for help or the version: those are
// answered without a display.
static bool asks_for_text(int argc, char *argv[])
{
    for (int i = 1; i < argc; ++i) {
        for (const char *flag : {"-h", "--help", "-?", "--help-all", "-v", "--version"}) {
            if (std::strcmp(argv[i], flag) == 0)
                return true;
        }
    }
    return false;
}

int main(int argc, char *argv[])
{
    if (asks_for_text(argc, argv)) {
        QCoreApplication app(argc, argv);
        describe_program();
        QCommandLineParser parser;
        describe_options(parser);
        parser.process(app); // prints and exits
        return 0;
    }

    {
        // A mistyped command line is answered without a display as well.
        QStringList arguments;
        for (int i = 0; i < argc; ++i)
            arguments << QString::fromLocal8Bit(argv[i]);
        QCommandLineParser check;
        describe_options(check);
        if (!check.parse(arguments)) {
            std::fprintf(stderr, "quorvane-editor: %s\nTry 'quorvane-editor --help'.\n",
                         qPrintable(check.errorText()));
            return 1;
        }
    }

    quorvane::EditorApplication app(argc, argv);
    describe_program();
    QApplication::setApplicationDisplayName(QStringLiteral("Quorvane Editor"));
    // The installed desktop entry, so that the desktop shows its icon for our windows.
    QGuiApplication::setDesktopFileName(QStringLiteral("com.velsk.QuorvaneEditor"));

    QCommandLineParser parser;
    describe_options(parser);
    parser.process(app);

    const QString server = parser.isSet(QStringLiteral("update-server"))
                               ? parser.value(QStringLiteral("update-server"))
                               : QStringLiteral(QUORVANE_UPDATE_SERVER);
    if (!quorvane::UpdateService::isValidServerAddress(server)) {
        std::fprintf(stderr, "quorvane-editor: not an http or https address: %s\n",
                     qPrintable(server));
        return 1;
    }

    // The bridges: USB-serial bridges and the ports named on the command
    // line, then the virtual pedal when asked for. Each bridge's latency
    // timer is lowered while it is linked and given back at Unlink and when
    // the editor ends (also by a termination signal).
    QString sysfs_root = qEnvironmentVariable("QUORVANE_SYSFS_ROOT", QStringLiteral("/sys"));
    if (parser.isSet(QStringLiteral("sysfs-root")))
        sysfs_root = parser.value(QStringLiteral("sysfs-root"));
    quorvane::LatencyTimer latency(sysfs_root);
    quorvane::quit_on_termination_signals();
    quorvane::CompositeDriver driver;
    auto serial = std::make_unique<quorvane::SerialPortDriver>(parser.values(QStringLiteral("port")));
    serial->setLatencyTimer(&latency);
    quorvane::SerialPortDriver &serial_ports = *serial;
    driver.add(std::move(serial));
    if (parser.isSet(QStringLiteral("simulator")))
        driver.add(std::make_unique<quorvane::SimulatorDriver>());

    quorvane::QtDialogs dialogs;
    quorvane::DesktopShell shell;
    quorvane::EditorDeps deps{driver, dialogs, shell, server};
    quorvane::Editor editor(deps);
    serial_ports.note = [&editor](const QString &line) { editor.console().print_to_console(line); };
    dialogs.setParent(&editor.mainWindow());
    editor.show();
    return app.exec();
}
