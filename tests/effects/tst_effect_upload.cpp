// Effect upload from the catalogue and from a ".dat" file, against the
// virtual pedal on the real clock.

#include "common/ConsoleLog.h"
#include "effects/EffectUpload.h"
#include "protocol/DeviceConnection.h"
#include "simulator/SimulatorDriver.h"
#include "support/ScriptedDialogs.h"
#include "support/WindowByName.h"
#include "usb/D2XXUnit.h"

#include <QAction>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

#include <stdexcept>

using namespace quorvane;
using namespace quorvane::test;

namespace {

// The virtual pedal, keeping every write the editor makes.
class RecordingPedal : public SimulatorDriver {
public:
    using SimulatorDriver::SimulatorDriver;
    FT_STATUS write(FT_HANDLE handle, const std::uint8_t *buffer, std::uint32_t toWrite,
                    std::uint32_t &bytesWritten) override
    {
        if (failWrites > 0) {
            --failWrites;
            bytesWritten = 0;
            return FT_IO_ERROR;
        }
        writes.append(QByteArray(reinterpret_cast<const char *>(buffer), int(toWrite)));
        return SimulatorDriver::write(handle, buffer, toWrite, bytesWritten);
    }
    QList<QByteArray> writes;
    int failWrites = 0; // the next this many writes fail
};

QByteArray builtInImage(const QString &resource)
{
    QFile f(QStringLiteral(":/") + resource.toUpper());
    if (!f.open(QIODevice::ReadOnly))
        throw std::runtime_error(QStringLiteral("Resource %1 not found").arg(resource).toStdString());
    return f.readAll();
}

const QByteArray kBypassOn("\x0D\x01", 2);
const QByteArray kStatusRequest("\x02\x00", 2);

PedalOptions pedal(int algorithm, const QString &fault = {})
{
    PedalOptions o;
    o.algorithm = algorithm;
    if (!fault.isEmpty() && !o.faults.parse(fault, nullptr))
        qFatal("bad fault %s", qPrintable(fault));
    return o;
}

struct Fixture {
    RecordingPedal driver;
    ScriptedDialogs dialogs;
    D2XXUnit link{driver, dialogs};
    ConsoleLog console;
    QWidget window;
    DeviceConnection connection{link, console, dialogs};
    QTimer UploadCheckTimer;
    EffectUpload upload{link, console, dialogs, connection, UploadCheckTimer};
    QStringList lines;
    QString selected = QStringLiteral("Quorvane KQ5 0011");

    explicit Fixture(const PedalOptions &options = pedal(10)) : driver(options)
    {
        auto *status = new QLabel(QStringLiteral("Status: "), &window);
        status->setObjectName("lblStatus");
        for (const char *name : {"lblDeviceName", "lblFirmwareVersion", "lblAlgorithmVersion"})
            (new QLabel(&window))->setObjectName(name);
        auto *list = new QListWidget(&window);
        list->setObjectName("lstEffects");
        list->addItem("Quorvane KQ5 0011");
        quorvane::test::bind_window(connection, window)->follow(upload);
        connection.latest_algorithm_version = 11;
        UploadCheckTimer.setInterval(5000);

        upload.selected_effect_name = [this] { return selected; };
        upload.format_resource_name = [](const QString &s) { return QString(s).replace(' ', '_'); };
        upload.load_image = [](const QString &name) { return QString::fromLatin1(builtInImage(name)); };
        QObject::connect(&console, &ConsoleLog::lineAppended, &console,
                         [this](const QString &text, bool) { lines << text; });

        connection.ScanForDevices();
        connection.ConnectOnClick();
        driver.writes.clear();
        lines.clear();
        dialogs.reset();
    }

    QString status() const { return window.findChild<QLabel *>("lblStatus")->text(); }

    // Records lblStatus at every tick of UploadCheckTimer, after the upload
    // has handled the tick.
    QStringList ticks;
    void recordTicks()
    {
        QObject::connect(&UploadCheckTimer, &QTimer::timeout, &window, [this] { ticks << status(); });
    }

    QString writeDat(const QTemporaryDir &dir, const QString &name, const QByteArray &bytes)
    {
        const QString path = dir.filePath(name);
        QFile f(path);
        if (!f.open(QIODevice::WriteOnly) || f.write(bytes) != bytes.size())
            qFatal("cannot write %s", qPrintable(path));
        return path;
    }
};

QByteArray imageBytes(const QString &resource)
{
    return QByteArray::fromHex(builtInImage(resource));
}

} // namespace

class TestEffectUpload : public QObject {
    Q_OBJECT
private slots:
    void catalogueUploadWritesTheImageAndAsksForTheStatus()
    {
        Fixture f;
        f.upload.btnUploadClick();

        QCOMPARE(f.dialogs.questions, QStringList{"Upload the selected algorithm?"});
        const QByteArray image = imageBytes("QUORVANE_KQ5_0011");
        QCOMPARE(image.size(), 4544);
        QVERIFY(f.driver.writes.size() >= 3);
        QCOMPARE(f.driver.writes.at(0), kBypassOn);
        QCOMPARE(f.driver.writes.at(1), image); // the whole image in one write
        QCOMPARE(f.driver.writes.at(2), kStatusRequest);

        QVERIFY(f.lines.contains("resource name: Quorvane_KQ5_0011"));
        QVERIFY(f.lines.contains("size: 4544"));
        QVERIFY(f.lines.contains("num of bytes: 4544"));
        QVERIFY(f.lines.contains("write to device"));
        QVERIFY(f.lines.contains("received: Upload OK 0011\r\n"));
        QVERIFY(f.lines.indexOf("size: 4544") < f.lines.indexOf("num of bytes: 4544"));

        QCOMPARE(f.status(), QString("Upload OK 0011\r\n"));
        QCOMPARE(f.driver.model().algorithm(), std::uint16_t(0x0011));
        QCOMPARE(f.connection.device_algorithm_version.toInt(), 11);
        QVERIFY(!f.UploadCheckTimer.isActive());
        QVERIFY(f.connection.Timer_USB_Read.isActive());
        QVERIFY(!f.connection.exchange_busy());
    }

    void answeringNoSendsNothing()
    {
        Fixture f;
        f.dialogs.answers.enqueue(Answer::No);
        f.upload.btnUploadClick();
        QVERIFY(f.driver.writes.isEmpty());
        QVERIFY(f.connection.Timer_USB_Read.isActive());
        QVERIFY(!f.UploadCheckTimer.isActive());

        f.dialogs.answers.enqueue(Answer::No);
        QTemporaryDir dir;
        f.dialogs.fileAnswers.enqueue(f.writeDat(dir, "e.dat", imageBytes("QUORVANE_KQ5_0011")));
        f.upload.menuLoadAlgorithmFromFileClick();
        QCOMPARE(f.dialogs.questions.size(), 2);
        QVERIFY(f.driver.writes.isEmpty());
        QVERIFY(f.connection.Timer_USB_Read.isActive());
    }

    void uploadWithNoEffectLoadedIsRefused()
    {
        Fixture f;
        f.selected.clear();
        f.upload.btnUploadClick();
        QCOMPARE(f.dialogs.messages, QStringList{"Select an effect in the list first."});
        QVERIFY(f.dialogs.questions.isEmpty());
        QVERIFY(f.driver.writes.isEmpty());
        QCOMPARE(f.status(), QString("Status: "));
    }

    // An answer after the 5-second mark: "Upload Failed" first, then the answer.
    void lateAnswerShowsFailedThenTheAnswer()
    {
        Fixture f(pedal(10, "late-upload=7000"));
        f.UploadCheckTimer.setInterval(5000);
        f.recordTicks();
        f.upload.btnUploadClick();
        QCOMPARE(f.ticks, QStringList{"Upload Failed"});
        QCOMPARE(f.status(), QString("Upload OK 0011\r\n"));
        QCOMPARE(f.driver.writes.last(), kStatusRequest);
        QVERIFY(!f.UploadCheckTimer.isActive());
        QVERIFY(f.connection.Timer_USB_Read.isActive());
    }

    // Every way out short of the pedal's answer leaves the editor as it was.
    void failedUploadRestoresTheEditor_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("fromFile");
        QTest::addColumn<bool>("missingImage");
        QTest::addColumn<QString>("text"); // a non-hex image text, or empty
        QTest::addColumn<int>("imageWrites");
        QTest::newRow("no answer within the bound") << "late-upload=4000" << false << false << "" << 1;
        QTest::newRow("file: no answer within the bound") << "late-upload=4000" << true << false << "" << 1;
        QTest::newRow("bridge gone mid-image") << "unplug-after=1000" << false << false << "" << 1;
        QTest::newRow("file: bridge gone mid-image") << "unplug-after=1000" << true << false << "" << 1;
        QTest::newRow("missing image") << "" << false << true << "" << 0;
        QTest::newRow("image not hex") << "" << false << false << "0011C0zz" << 0;
    }

    void failedUploadRestoresTheEditor()
    {
        QFETCH(QString, fault);
        QFETCH(bool, fromFile);
        QFETCH(bool, missingImage);
        QFETCH(QString, text);
        QFETCH(int, imageWrites);
        Fixture f(pedal(10, fault));
        f.upload.limits.upload_answer.first_byte_ms = 1000;
        f.link.report_usb_errors = false;
        if (missingImage)
            f.upload.load_image = [](const QString &name) -> QString {
                throw std::runtime_error(QStringLiteral("Resource %1 not found").arg(name).toStdString());
            };
        if (!text.isEmpty())
            f.upload.load_image = [text](const QString &) { return text; };

        QTemporaryDir dir;
        if (fromFile) {
            f.dialogs.fileAnswers.enqueue(f.writeDat(dir, "e.dat", imageBytes("QUORVANE_KQ5_0011")));
            f.upload.menuLoadAlgorithmFromFileClick();
        } else if (missingImage) {
            QVERIFY_THROWS_EXCEPTION(std::runtime_error, f.upload.btnUploadClick());
        } else {
            f.upload.btnUploadClick();
        }

        QCOMPARE(f.driver.writes.value(0), kBypassOn);
        QCOMPARE(f.driver.writes.size(), 1 + imageWrites); // no status request
        QCOMPARE(f.status(), QString("Upload Failed"));
        QVERIFY(!f.UploadCheckTimer.isActive());
        QVERIFY(f.connection.Timer_USB_Read.isActive());
        QCOMPARE(f.link.report_usb_errors, false);
        QVERIFY(!f.connection.exchange_busy());
    }

    void fileUploadSendsTheFileAsItIs()
    {
        Fixture f;
        QTemporaryDir dir;
        const QByteArray image = imageBytes("QUORVANE_KQ5_0011");
        const QString path = f.writeDat(dir, "effect.dat", image);
        f.dialogs.fileAnswers.enqueue(path);
        f.upload.menuLoadAlgorithmFromFileClick();

        QCOMPARE(f.dialogs.fileRequests.size(), 1);
        QCOMPARE(f.dialogs.fileRequests.at(0).filter, QString("Dat files (*.dat)"));
        QCOMPARE(f.driver.writes, (QList<QByteArray>{kBypassOn, image})); // no status request
        QVERIFY(f.lines.contains("Opening - " + path));
        QVERIFY(f.lines.contains("4544 Bytes Sent ..."));
        // The answer is read whole, up to its line end.
        QCOMPARE(f.lines.filter("num of bytes received from device: "),
                 QStringList{"num of bytes received from device: 16"});
        QCOMPARE(f.status(), QString("Upload OK 0011\r\n"));
        QVERIFY(!f.UploadCheckTimer.isActive());
        QVERIFY(f.connection.Timer_USB_Read.isActive());

        // The next dialog opens where the last file was chosen.
        f.upload.menuLoadAlgorithmFromFileClick();
        QCOMPARE(f.dialogs.fileRequests.at(1).folder, dir.path());
    }

    void cancelledFileDialogSendsNothing()
    {
        Fixture f;
        f.upload.menuLoadAlgorithmFromFileClick();
        QCOMPARE(f.dialogs.fileRequests.size(), 1);
        QVERIFY(f.dialogs.questions.isEmpty());
        QVERIFY(f.driver.writes.isEmpty());
        QCOMPARE(f.status(), QString("Status: "));
    }

    void refusedFiles_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // written to the file; null = no file at all
        QTest::addColumn<QString>("message");
        QByteArray image = imageBytes("QUORVANE_KQ5_0011");
        QByteArray big(70000, '\0');
        big[1] = char(0x11);
        big[2] = char(0x70);
        QByteArray firstByte = image;
        firstByte[0] = char(0x01);
        QByteArray longer = image + QByteArray(1, '\0');
        QByteArray shorter = image.left(image.size() - 1);
        QTest::newRow("70000 bytes") << big << "Not an effect file: the file has 70000 bytes, more than 65536";
        QTest::newRow("65537 bytes") << QByteArray(65537, '\0')
                                     << "Not an effect file: the file has 65537 bytes, more than 65536";
        QTest::newRow("first byte 0x01") << firstByte << "Not an effect file: its first byte is 0x01, not 0x00";
        QTest::newRow("one byte longer") << longer
                                         << "Not an effect file: its header gives 4544 bytes but the file has 4545";
        QTest::newRow("one byte shorter") << shorter
                                          << "Not an effect file: its header gives 4544 bytes but the file has 4543";
        QTest::newRow("empty") << QByteArray("") << "Not an effect file: the file has 0 bytes, fewer than its 3-byte header";
        QTest::newRow("missing") << QByteArray() << "Cannot read file: ";
    }

    void refusedFiles()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(QString, message);
        Fixture f;
        QTemporaryDir dir;
        f.dialogs.fileAnswers.enqueue(bytes.isNull() ? dir.filePath("gone.dat")
                                                     : f.writeDat(dir, "bad.dat", bytes));
        f.upload.menuLoadAlgorithmFromFileClick();
        QCOMPARE(f.dialogs.messages.size(), 1);
        QVERIFY2(f.dialogs.messages.at(0).startsWith(message), qPrintable(f.dialogs.messages.at(0)));
        QVERIFY(f.dialogs.questions.isEmpty());
        QVERIFY(f.driver.writes.isEmpty());
        QCOMPARE(f.status(), QString("Upload Failed"));
        QVERIFY(!f.UploadCheckTimer.isActive());
        QVERIFY(f.connection.Timer_USB_Read.isActive());
    }

    // A file that shrank between its size and its read: the check refuses
    // what came instead of reading a header that is not there.
    void checkOfAFileThatShrank()
    {
        QCOMPARE(check_effect_file(QByteArray(1, '\0'), 4544),
                 QString("the file has 1 bytes, fewer than its 3-byte header"));
        QCOMPARE(check_effect_file(QByteArray(), 3), QString("the file has 0 bytes, fewer than its 3-byte header"));
    }

    // Every way out of both uploads puts back the check timer, the reception
    // tick and the user's error-report switch; only the ways out without the
    // pedal's answer leave "Upload Failed".
    void everyExitRestores_data()
    {
        QTest::addColumn<bool>("file");
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("answer");  // the confirmation
        QTest::addColumn<QString>("trouble");
        QTest::addColumn<QString>("status");
        QTest::addColumn<int>("writes");

        const QString ok = QStringLiteral("Upload OK 0011\r\n");
        const int yes = int(Answer::Yes), no = int(Answer::No);
        for (bool file : {false, true}) {
            const char *kind = file ? "file" : "catalogue";
            // The catalogue upload asks for the status after the answer.
            QTest::addRow("%s: answered", kind) << file << "" << yes << "" << ok << (file ? 2 : 3);
            QTest::addRow("%s: No", kind) << file << "" << no << "" << "Status: " << 0;
            QTest::addRow("%s: silent pedal", kind) << file << "silent" << yes << "" << "Upload Failed" << 2;
            QTest::addRow("%s: bootloader holds the line", kind)
                << file << "" << yes << "bootloader" << "Status: " << 0;
            QTest::addRow("%s: bypass not written", kind)
                << file << "" << yes << "write fails" << "Upload Failed" << 0;
        }
        QTest::addRow("catalogue: missing image") << false << "" << yes << "missing image" << "Upload Failed" << 1;
        QTest::addRow("catalogue: status report fails") << false << "hex-letter-status" << yes << "" << ok << 3;
    }

    void everyExitRestores()
    {
        QFETCH(bool, file);
        QFETCH(QString, fault);
        QFETCH(int, answer);
        QFETCH(QString, trouble);
        QFETCH(QString, status);
        QFETCH(int, writes);

        Fixture f;
        f.upload.limits.upload_answer = {150, 150, 300, 256};
        f.link.report_usb_errors = false; // the user's choice
        if (!fault.isEmpty())
            QVERIFY(f.driver.model().faults().parse(fault, nullptr));
        const std::optional<D2XXUnit::BootloaderSession> session =
            trouble == "bootloader" ? f.link.acquire_bootloader() : std::nullopt;
        if (trouble == "missing image")
            f.selected = QStringLiteral("Quorvane KQ5 0099");
        QTemporaryDir dir;
        if (file)
            f.dialogs.fileAnswers.enqueue(f.writeDat(dir, "effect.dat", imageBytes("QUORVANE_KQ5_0011")));
        f.dialogs.answers.enqueue(Answer(answer));
        if (trouble == "write fails")
            f.driver.failWrites = 1;

        try {
            if (file)
                f.upload.menuLoadAlgorithmFromFileClick();
            else
                f.upload.btnUploadClick();
        } catch (const std::exception &) {
            // Left to the default error report; the state is what counts here.
        }

        QCOMPARE(f.status(), status);
        QCOMPARE(f.driver.writes.size(), writes);
        QVERIFY(!f.UploadCheckTimer.isActive());
        QVERIFY(f.connection.Timer_USB_Read.isActive());
        QCOMPARE(f.link.report_usb_errors, false);
        QVERIFY(!f.connection.exchange_busy());
        if (trouble == "bootloader")
            QCOMPARE(f.dialogs.messages, QStringList{bootloader_busy_text});
    }
};

QTEST_MAIN(TestEffectUpload)
#include "tst_effect_upload.moc"
