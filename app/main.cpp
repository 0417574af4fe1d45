#include <QApplication>
#include <QCommandLineParser>
#include <QMainWindow>

int main(int argc, char *argv[])
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("quorvane-editor"));
    QApplication::setApplicationDisplayName(QStringLiteral("Quorvane Editor"));
    QApplication::setApplicationVersion(QStringLiteral(QUORVANE_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(
        QStringLiteral("Editor for the Quorvane KQ5 octave-down pedal."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addOption({QStringLiteral("simulator"),
                      QStringLiteral("List the virtual pedal as a bridge, after the real ones.")});
    parser.addOption({QStringLiteral("port"),
                      QStringLiteral("Also list the serial port at <path> as a bridge (repeatable)."),
                      QStringLiteral("path")});
    parser.addOption({QStringLiteral("update-server"),
                      QStringLiteral("Base address of the update server (default %1).")
                          .arg(QStringLiteral(QUORVANE_UPDATE_SERVER)),
                      QStringLiteral("url")});
    parser.process(app);

    QMainWindow window;
    window.setWindowTitle(QStringLiteral("Quorvane Editor"));
    window.show();
    return app.exec();
}
