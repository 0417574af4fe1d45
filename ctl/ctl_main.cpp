// kq5ctl: the pedal from the command line (see ctl/Kq5Ctl.h).

#include "ctl/Kq5Ctl.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>

using namespace quorvane;

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kq5ctl"));
    QCoreApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));

    CtlOptions options;
    const QStringList args = app.arguments().mid(1);
    for (qsizetype i = 0; i < args.size(); ++i) {
        const QString &a = args[i];
        const auto value = [&]() -> QString {
            if (i + 1 >= args.size()) {
                std::fprintf(stderr, "kq5ctl: %s needs a value\nTry 'kq5ctl --help'.\n", qPrintable(a));
                std::exit(exit_usage);
            }
            return args[++i];
        };
        if (!options.command.isEmpty() && !a.startsWith(QLatin1String("--"))) {
            options.command << a;
        } else if (a == QLatin1String("--help") || a == QLatin1String("-h")) {
            std::fputs(qPrintable(Kq5Ctl::help_text()), stdout);
            return exit_ok;
        } else if (a == QLatin1String("--version")) {
            std::printf("kq5ctl %s\n", QUORVANE_VERSION);
            return exit_ok;
        } else if (a == QLatin1String("--port")) {
            options.port = value();
        } else if (a == QLatin1String("--serial")) {
            options.serial = value();
        } else if (a == QLatin1String("--sysfs-root")) {
            options.sysfs_root = value();
        } else if (a == QLatin1String("--simulator")) {
            options.simulator = true;
        } else if (a == QLatin1String("--json")) {
            options.json = true;
        } else if (a == QLatin1String("--yes")) {
            options.yes = true;
        } else if (a == QLatin1String("--quiet")) {
            options.quiet = true;
        } else if (a == QLatin1String("--store")) {
            options.store = true;
        } else if (a == QLatin1String("--resume")) {
            options.resume = true;
        } else if (a.startsWith(QLatin1String("--"))) {
            std::fprintf(stderr, "kq5ctl: unknown option %s\nTry 'kq5ctl --help'.\n", qPrintable(a));
            return exit_usage;
        } else {
            options.command << a;
        }
    }
    if (options.command.isEmpty()) {
        std::fprintf(stderr, "Usage: kq5ctl [OPTIONS] COMMAND [ARGS]\nTry 'kq5ctl --help'.\n");
        return exit_usage;
    }
    if (int(!options.port.isEmpty()) + int(!options.serial.isEmpty()) + int(options.simulator) > 1) {
        std::fprintf(stderr, "kq5ctl: give one of --port, --serial and --simulator\n");
        return exit_usage;
    }
    if (options.resume && options.command.mid(0, 2) != QStringList{QStringLiteral("firmware"), QStringLiteral("upgrade")}) {
        std::fprintf(stderr, "kq5ctl: --resume goes with firmware upgrade\nTry 'kq5ctl --help'.\n");
        return exit_usage;
    }
    Kq5Ctl ctl(options);
    return ctl.run();
}
