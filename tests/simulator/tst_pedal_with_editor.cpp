// The editor's own link layer and bootloader client against the virtual
// pedal on the real clock: the two sides must agree byte for byte.

#include "common/ConsoleLog.h"
#include "firmware/FirmwareUpgrade.h"
#include "simulator/SimulatorDriver.h"
#include "support/ScriptedDialogs.h"
#include "support/VirtualPedal.h"
#include "usb/D2XXUnit.h"

#include <QtTest>

using namespace quorvane;
using namespace quorvane::test;

namespace {

struct Editor {
    SimulatorDriver driver;
    ScriptedDialogs dialogs;
    ConsoleLog console;
    D2XXUnit link{driver, dialogs};
    FirmwareUpgrade client{link, console};
    std::optional<D2XXUnit::BootloaderSession> session = link.acquire_bootloader();

    explicit Editor(const PedalOptions &options) : driver(options)
    {
        client.setSession(&*session);
        link.Open_USB_Device_By_Serial_Number(QString::fromLatin1(SimulatorDriver::serial_number));
        link.SetLinkSettings(link_mode_bootloader);
        link.SetFTBaudRate();
        link.SetFTDataCharacteristics();
    }

    bool upgrade(int version)
    {
        return client.BootloaderResync() && client.LoadFirmwareImage(QStringLiteral("Firmware_%1").arg(version))
               && client.SplitFirmwareInChunks() && client.BootloaderEraseAll()
               && client.BootloaderWriteFirmware() && client.BootloaderWriteVersion(version)
               && client.BootloaderGo();
    }
};

} // namespace

class TestPedalWithEditor : public QObject {
    Q_OBJECT
private slots:
    void upgradeFromTheBootloader_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<bool>("completes");
        QTest::newRow("clean") << QString() << true;
        QTest::newRow("NACK at chunk 3") << "nack-at=chunk:3" << false;
        QTest::newRow("NACK at the version record") << "nack-at=version" << false;
    }

    void upgradeFromTheBootloader()
    {
        QFETCH(QString, fault);
        QFETCH(bool, completes);
        PedalOptions options = pedal(8, 11, 0, fault);
        options.bootloader = true;
        Editor editor(options);
        QCOMPARE(editor.upgrade(10), completes);
        PedalModel &pedal = editor.driver.model();
        if (!completes) {
            QVERIFY(!editor.client.failure.isEmpty());
            QCOMPARE(pedal.mode(), PedalModel::Mode::Bootloader);
            return;
        }
        QCOMPARE(pedal.mode(), PedalModel::Mode::Firmware);
        QCOMPARE(pedal.firmwareVersion(), 10);
        QVERIFY(pedal.flashMatchesBuiltInImage());
    }
};

QTEST_MAIN(TestPedalWithEditor)
#include "tst_pedal_with_editor.moc"
