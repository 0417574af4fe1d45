// Start-up: the windows, the main window's controls, menus and timers as the
// user first sees them, the device listing, the console key and the Info menu.

#include "EditorRig.h"

#include "app/TformMain.h"
#include "common/ConsoleLog.h"
#include "console/TformPrint.h"
#include "effects/Catalogue.h"
#include "protocol/DeviceConnection.h"
#include "app/Looks.h"
#include "app/MidiChannel.h"
#include "update/UpdateService.h"
#include "usb/D2XXUnit.h"

#include <QAbstractButton>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QtTest>

using namespace quorvane;
using quorvane::test::EditorRig;

namespace {

// A menu item by name: an action, or the action of a submenu.
QAction *item(TformMain &form, const QString &name)
{
    if (auto *menu = form.findChild<QMenu *>(name))
        return menu->menuAction();
    return form.findChild<QAction *>(name);
}

QStringList itemNames(QMenu *menu)
{
    QStringList names;
    for (QAction *action : menu->actions())
        names << (action->menu() ? action->menu()->objectName() : action->objectName());
    return names;
}

} // namespace

class TestStartup : public QObject {
    Q_OBJECT
private slots:
    void windowsAreCreatedInOrderAndOnlyTheMainWindowShows();
    void mainWindowIsFixedAtItsSize();
    void controlsStartAsLaidOut_data();
    void controlsStartAsLaidOut();
    void menusHoldTheirItemsInOrder();
    void menuItemsStartInTheirState_data();
    void menuItemsStartInTheirState();
    void editorVersionItemShowsTwoBlanks_data();
    void editorVersionItemShowsTwoBlanks();
    void deviceListingSetsLink_data();
    void deviceListingSetsLink();
    void listingFailureIsReportedAndStartUpGoesOn();
    void effectListAndNewestVersions();
    void timersAndVersionRequest();
    void versionCheckTimerFiresOnce();
    void consoleKey_data();
    void consoleKey();
    void infoMenuLogsTheVersionEachTime();
    void closingTheMainWindowEndsTheProgram();
    void resourceNames_data();
    void resourceNames();
    void missingResourceRaisesTheResourceError();
    void rendersBothWindows();
};

void TestStartup::windowsAreCreatedInOrderAndOnlyTheMainWindowShows()
{
    EditorRig rig;
    Editor &editor = rig.start();
    QStringList names, captions;
    for (QWidget *window : editor.windows()) {
        names << window->objectName();
        captions << window->windowTitle();
    }
    QCOMPARE(names, (QStringList{"TformMain", "TformFirmwareUpgrade", "TformPrint",
                                 "TformFXsettings", "TformNewVersionMsg", "TformUpdateUpdater"}));
    QCOMPARE(captions, (QStringList{"Quorvane Editor", "Firmware Upgrade", "Debug Console", "Form1",
                                    "New Version", "UpdateUpdater"}));
    QCOMPARE(editor.windows().first(), &editor.mainWindow());

    editor.show();
    QVERIFY(QTest::qWaitForWindowExposed(&editor.mainWindow()));
    for (QWidget *window : editor.windows())
        QCOMPARE(window->isVisible(), window == &editor.mainWindow());

    // Start-up logs nothing, asks nothing and links nothing.
    QCOMPARE(editor.console().count(), 0);
    QVERIFY(rig.dialogs.messages.isEmpty());
    QVERIFY(rig.dialogs.questions.isEmpty());
    QVERIFY(!editor.connection().is_linked);
    QVERIFY(!editor.connection().bootloader_mode);
    QVERIFY(!editor.connection().upgrade_mode_pending);
}

void TestStartup::mainWindowIsFixedAtItsSize()
{
    EditorRig rig;
    Editor &editor = rig.start();
    editor.show();
    TformMain &form = editor.mainWindow();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(form.size(), QSize(388, 226)); // widened so a linked bridge's name fits
    QCOMPARE(form.minimumSize(), form.maximumSize());
    QCOMPARE(form.pos(), QPoint(37, 31));
    QCOMPARE(form.menuBar()->geometry(), QRect(0, 0, 388, 24));
    QCOMPARE(form.centralWidget()->geometry(), QRect(0, 24, 388, 202));
    QVERIFY(!(form.windowFlags() & Qt::WindowMaximizeButtonHint));
    QVERIFY(form.windowFlags() & Qt::WindowMinimizeButtonHint);
}

void TestStartup::controlsStartAsLaidOut_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QRect>("geometry"); // in the window's client area
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<qreal>("pointSize");

    QTest::newRow("lblDeviceName") << "lblDeviceName" << "No device found" << QRect(9, 32, 208, 17) << true << 11.0;
    QTest::newRow("lblFirmwareVersion") << "lblFirmwareVersion" << "Device Firmware:" << QRect(9, 48, 208, 20) << true << 11.0;
    QTest::newRow("lblAlgorithmVersion") << "lblAlgorithmVersion" << "Device Algorithm:" << QRect(9, 66, 208, 17) << true << 11.0;
    QTest::newRow("lblStatus") << "lblStatus" << "Status: " << QRect(9, 84, 174, 17) << true << 11.0;
    QTest::newRow("btnUpload") << "btnUpload" << "Upload Selected" << QRect(9, 103, 80, 33) << false << 11.0;
    QTest::newRow("btnRequest") << "btnRequest" << "Request" << QRect(97, 103, 86, 33) << false << 11.0;
    QTest::newRow("btnSaveParameters") << "btnSaveParameters" << "Save Parameters" << QRect(8, 144, 81, 33) << false << 11.0;
    QTest::newRow("btnAssign") << "btnAssign" << "Assign" << QRect(97, 144, 86, 33) << false << 11.0;
    QTest::newRow("btnSetFootswitchMode") << "btnSetFootswitchMode" << "Set Footswitch Mode" << QRect(9, 185, 80, 31) << false << 10.5;
    QTest::newRow("btnSetTuning") << "btnSetTuning" << "Set Tuning" << QRect(97, 185, 86, 31) << false << 10.5;
    QTest::newRow("lstEffects") << "lstEffects" << "" << QRect(225, 32, 154, 168) << true << 11.0;
}

void TestStartup::controlsStartAsLaidOut()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(QRect, geometry);
    QFETCH(bool, enabled);
    QFETCH(qreal, pointSize);

    EditorRig rig;
    Editor &editor = rig.start();
    editor.show();
    TformMain &form = editor.mainWindow();
    auto *widget = form.findChild<QWidget *>(name);
    QVERIFY2(widget, qPrintable(name));
    QCOMPARE(QRect(widget->mapTo(&form, QPoint(0, 0)), widget->size()), geometry);
    QCOMPARE(widget->isEnabled(), enabled);
    QVERIFY(widget->isVisible());
    QCOMPARE(widget->font().pointSizeF(), pointSize);
    if (auto *label = qobject_cast<QLabel *>(widget))
        QCOMPARE(label->text(), text);
    else if (auto *button = qobject_cast<QAbstractButton *>(widget))
        QCOMPARE(button->text(), text);
}

void TestStartup::menusHoldTheirItemsInOrder()
{
    EditorRig rig;
    TformMain &form = rig.start().mainWindow();
    QStringList bar, titles;
    for (QAction *action : form.menuBar()->actions()) {
        bar << action->menu()->objectName();
        titles << action->text();
    }
    QCOMPARE(bar, (QStringList{"menuFile", "menuConnection", "menuSettings", "menuFirmwareUpgrade",
                               "menuInfo"}));
    QCOMPARE(titles, (QStringList{"File", "Connection", "Settings", "Firmware Upgrade", "Info"}));
    QCOMPARE(itemNames(form.menuFile),
             (QStringList{"menuLoadPreset", "menuSavePreset", "menuLoadAlgorithmFromFile"}));
    QCOMPARE(itemNames(form.menuConnection),
             (QStringList{"menuScan", "menuConnect", "menuDisconnect"}));
    QCOMPARE(itemNames(form.menuSettings),
             (QStringList{"menuLook", "menuMIDI", "menuUploadTuningsData", "menuReportUSBErrors",
                          "menuConfirmWrites", "menuInstrument"}));
    QCOMPARE(itemNames(form.menuMIDI), QStringList{"menuMIDIchannel"});
    QCOMPARE(itemNames(form.menuInstrument), (QStringList{"menuGuitar", "menuBass"}));
    QCOMPARE(itemNames(form.menuFirmwareUpgrade),
             (QStringList{"menuFirmwareUpgradeMode", "menuStartFirmwareUpgrade",
                          "menuEraseSettings"}));
    QCOMPARE(itemNames(form.menuInfo),
             (QStringList{"menuSupport", "menuAppVersion", "menuNewAppVersion", "menuUpdateNow",
                          "menuShowUpdateMsg", "menuSerialNumber"}));

    // The menus built at start-up: looks 0 to 6, and OMNI then channels 1 to 16.
    QStringList looks, channels;
    for (QAction *action : form.menuLook->actions())
        looks << action->text();
    for (QAction *action : form.menuMIDIchannel->actions()) {
        channels << action->text();
        QVERIFY(!action->isCheckable());
    }
    QCOMPARE(looks, (QStringList{"0", "1", "2", "3", "4", "5", "6"}));
    QStringList expectedChannels{"OMNI"};
    for (int channel = 1; channel <= 16; ++channel)
        expectedChannels << QString::number(channel);
    QCOMPARE(channels, expectedChannels);
    for (int look = 0; look <= 6; ++look)
        QCOMPARE(rig.editor->looks().look_items[look].data(), form.menuLook->actions().at(look));
    QVERIFY(rig.editor->looks().look_items[7].isNull());
    QCOMPARE(rig.editor->midiChannels().channel_items.size(), 17);
}

void TestStartup::menuItemsStartInTheirState_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("enabled");
    QTest::addColumn<bool>("checkable");
    QTest::addColumn<bool>("checked");

    // A first start: the preferences are their defaults and no bridge is listed.
    QTest::newRow("menuLoadPreset") << "menuLoadPreset" << "Load Preset" << false << false << false;
    QTest::newRow("menuSavePreset") << "menuSavePreset" << "Save Preset" << false << false << false;
    QTest::newRow("menuLoadAlgorithmFromFile") << "menuLoadAlgorithmFromFile" << "Load Effect From File" << false << false << false;
    QTest::newRow("menuScan") << "menuScan" << "Scan" << true << false << false;
    QTest::newRow("menuConnect") << "menuConnect" << "Link" << false << false << false;
    QTest::newRow("menuDisconnect") << "menuDisconnect" << "Unlink" << false << false << false;
    QTest::newRow("menuLook") << "menuLook" << "Look" << true << false << false;
    QTest::newRow("menuMIDI") << "menuMIDI" << "MIDI" << false << false << false;
    QTest::newRow("menuMIDIchannel") << "menuMIDIchannel" << "Channel" << true << false << false;
    QTest::newRow("menuUploadTuningsData") << "menuUploadTuningsData" << "Upload Tuning Data" << false << false << false;
    QTest::newRow("menuReportUSBErrors") << "menuReportUSBErrors" << "Report USB Errors" << true << true << true;
    QTest::newRow("menuConfirmWrites") << "menuConfirmWrites" << "Confirm Writes" << true << true << true;
    QTest::newRow("menuInstrument") << "menuInstrument" << "Instrument" << false << false << false;
    QTest::newRow("menuGuitar") << "menuGuitar" << "Guitar" << true << true << true;
    QTest::newRow("menuBass") << "menuBass" << "Bass" << true << true << false;
    QTest::newRow("menuFirmwareUpgradeMode") << "menuFirmwareUpgradeMode" << "Upgrade Mode" << true << true << false;
    QTest::newRow("menuStartFirmwareUpgrade") << "menuStartFirmwareUpgrade" << "Start Firmware Upgrade" << false << false << false;
    QTest::newRow("menuEraseSettings") << "menuEraseSettings" << "Erase Settings" << false << false << false;
    QTest::newRow("menuSupport") << "menuSupport" << "Support" << true << false << false;
    QTest::newRow("menuAppVersion") << "menuAppVersion" << "Editor Version:  1.13" << false << false << false;
    QTest::newRow("menuNewAppVersion") << "menuNewAppVersion" << "New version available:" << false << false << false;
    QTest::newRow("menuUpdateNow") << "menuUpdateNow" << "Update Now" << false << false << false;
    QTest::newRow("menuShowUpdateMsg") << "menuShowUpdateMsg" << "Show Update Message" << true << true << true;
    QTest::newRow("menuSerialNumber") << "menuSerialNumber" << "Device Serial: " << false << false << false;
}

void TestStartup::menuItemsStartInTheirState()
{
    QFETCH(QString, name);
    QFETCH(QString, text);
    QFETCH(bool, enabled);
    QFETCH(bool, checkable);
    QFETCH(bool, checked);

    EditorRig rig;
    TformMain &form = rig.start().mainWindow();
    QAction *action = item(form, name);
    QVERIFY2(action, qPrintable(name));
    QCOMPARE(action->text(), text);
    QCOMPARE(action->isEnabled(), enabled);
    QVERIFY(action->isVisible());
    QCOMPARE(action->isCheckable(), checkable);
    QCOMPARE(action->isChecked(), checked);
}

void TestStartup::editorVersionItemShowsTwoBlanks_data()
{
    QTest::addColumn<QString>("fileVersion");
    QTest::addColumn<QString>("itemText");
    QTest::addColumn<QString>("appVersion");
    QTest::newRow("release") << "1.13.0.0" << "Editor Version:  1.13" << "1.13";
    QTest::newRow("no version") << "" << "Editor Version:  " << "";
}

void TestStartup::editorVersionItemShowsTwoBlanks()
{
    QFETCH(QString, fileVersion);
    QFETCH(QString, itemText);
    QFETCH(QString, appVersion);
    EditorRig rig;
    rig.shell.version = fileVersion;
    Editor &editor = rig.start();
    QCOMPARE(editor.mainWindow().menuAppVersion->text(), itemText);
    QCOMPARE(editor.updates().app_version, appVersion);
}

void TestStartup::deviceListingSetsLink_data()
{
    QTest::addColumn<QStringList>("serials");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("serialItem");
    QTest::addColumn<QString>("remembered");
    QTest::addColumn<bool>("linkEnabled");

    QTest::newRow("no bridge") << QStringList{} << "No device found" << "Device Serial: " << ""
                               << false;
    QTest::newRow("one bridge") << QStringList{"FT5A1"} << "Pedal FT5A1" << "Device Serial: FT5A1"
                                << "FT5A1" << true;
    QTest::newRow("two bridges: the last wins")
        << QStringList{"FT5A1", "FT9Z2"} << "Pedal FT9Z2" << "Device Serial: FT5A1FT9Z2" << "FT9Z2"
        << true;
}

void TestStartup::deviceListingSetsLink()
{
    QFETCH(QStringList, serials);
    QFETCH(QString, label);
    QFETCH(QString, serialItem);
    QFETCH(QString, remembered);
    QFETCH(bool, linkEnabled);

    EditorRig rig;
    for (const QString &serial : serials)
        rig.driver.bridges.append({serial, QStringLiteral("Pedal ") + serial});
    Editor &editor = rig.start();
    TformMain &form = editor.mainWindow();
    QCOMPARE(form.lblDeviceName->text(), label);
    QCOMPARE(form.menuSerialNumber->text(), serialItem);
    QCOMPARE(editor.connection().device_serial_number, remembered);
    QCOMPARE(form.menuConnect->isEnabled(), linkEnabled);
    // Listing is all: nothing is opened until the user chooses Link.
    QVERIFY(!editor.connection().is_linked);
    QVERIFY(!rig.driver.isOpen);
    QVERIFY(!form.Timer_USB_Read->isActive());
    QVERIFY(rig.dialogs.messages.isEmpty());
    QCOMPARE(editor.console().count(), 0);
    // The normal line settings are stored for the coming link.
    QCOMPARE(editor.link().link_baud_rate, 115200u);
    QCOMPARE(editor.link().link_parity, FT_PARITY_NONE);
}

void TestStartup::listingFailureIsReportedAndStartUpGoesOn()
{
    EditorRig rig;
    rig.driver.bridges.append({QStringLiteral("FT5A1"), QStringLiteral("Pedal")});
    rig.driver.failNext(QStringLiteral("count"), FT_IO_ERROR);
    Editor &editor = rig.start();
    QCOMPARE(rig.dialogs.messages, QStringList{"GetFTDeviceCount - General IO error..."});
    QCOMPARE(editor.mainWindow().lblDeviceName->text(), QString("No device found"));
    QVERIFY(!editor.mainWindow().menuConnect->isEnabled());
    QCOMPARE(editor.mainWindow().lstEffects->count(), 1);
    QCOMPARE(editor.connection().latest_firmware_version, 10);
}

void TestStartup::effectListAndNewestVersions()
{
    EditorRig rig;
    Editor &editor = rig.start();
    TformMain &form = editor.mainWindow();
    QCOMPARE(form.lstEffects->count(), 1);
    QCOMPARE(form.lstEffects->item(0)->text(), QString("Quorvane KQ5 0011"));
    QCOMPARE(editor.catalogue().resource_lines, QStringList{"Quorvane KQ5 0011"});
    QCOMPARE(editor.connection().latest_algorithm_version, 11);
    QCOMPARE(editor.connection().latest_firmware_version, 10);
    QCOMPARE(editor.connection().device_firmware_version, QString("0"));
    QVERIFY(editor.updates().show_update_message);
}

void TestStartup::timersAndVersionRequest()
{
    EditorRig rig;
    Editor &editor = rig.start(QStringLiteral("http://127.0.0.1:8123"));
    TformMain &form = editor.mainWindow();
    QCOMPARE(form.Timer_USB_Read->interval(), 50);
    QCOMPARE(form.UploadCheckTimer->interval(), 5000);
    QCOMPARE(form.TimerCheckWebVersion->interval(), 1000);
    QVERIFY(!form.Timer_USB_Read->isActive());
    QVERIFY(!form.UploadCheckTimer->isActive());
    QVERIFY(form.TimerCheckWebVersion->isActive());
    QCOMPARE(editor.updates().address(UpdateService::kEditorVersionPath),
             QString("http://127.0.0.1:8123/download/quorvane-editor-version.php"));

    // Without a server of its own the editor asks the maker's.
    EditorRig plain;
    QCOMPARE(plain.start(QString()).updates().serverAddress(),
             QStringLiteral(QUORVANE_UPDATE_SERVER));
}

void TestStartup::versionCheckTimerFiresOnce()
{
    EditorRig rig;
    TformMain &form = rig.start().mainWindow();
    QSignalSpy ticks(form.TimerCheckWebVersion, &QTimer::timeout);
    QVERIFY(ticks.wait(3000));
    QCOMPARE(ticks.count(), 1);
    // Stopped by its own tick: nothing is left to fire again.
    QVERIFY(!form.TimerCheckWebVersion->isActive());
}

void TestStartup::consoleKey_data()
{
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("opens");
    QTest::newRow("Ctrl+Shift+P") << int(Qt::ControlModifier | Qt::ShiftModifier) << int(Qt::Key_P) << true;
    QTest::newRow("P") << int(Qt::NoModifier) << int(Qt::Key_P) << false;
    QTest::newRow("Ctrl+P") << int(Qt::ControlModifier) << int(Qt::Key_P) << false;
    QTest::newRow("Shift+P") << int(Qt::ShiftModifier) << int(Qt::Key_P) << false;
    QTest::newRow("Ctrl+Shift+O") << int(Qt::ControlModifier | Qt::ShiftModifier) << int(Qt::Key_O) << false;
}

void TestStartup::consoleKey()
{
    QFETCH(int, modifiers);
    QFETCH(int, key);
    QFETCH(bool, opens);

    EditorRig rig;
    Editor &editor = rig.start();
    editor.show();
    TformMain &form = editor.mainWindow();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    // Wherever the focus is in the main window: on the window and on the list.
    for (QWidget *target : {static_cast<QWidget *>(&form), static_cast<QWidget *>(form.lstEffects)}) {
        editor.consoleWindow().hide();
        QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        QCOMPARE(editor.consoleWindow().isVisible(), opens);
    }

    int code = key;
    QCOMPARE(form.FormKeyDown(code, Qt::KeyboardModifiers(modifiers)), opens);
    QCOMPARE(code, opens ? 0 : key);
}

void TestStartup::infoMenuLogsTheVersionEachTime()
{
    EditorRig rig;
    Editor &editor = rig.start();
    editor.show();
    TformMain &form = editor.mainWindow();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    for (int opened = 1; opened <= 2; ++opened) {
        form.menuInfo->popup(form.mapToGlobal(QPoint(0, 24)));
        QTRY_VERIFY(form.menuInfo->isVisible());
        form.menuInfo->hide();
        QCOMPARE(editor.console().count(), opened);
    }
    QCOMPARE(editor.console().lines(),
             (QStringList{"current app version: 1.13", "current app version: 1.13"}));
    QVERIFY(!editor.consoleWindow().isVisible());
}

void TestStartup::closingTheMainWindowEndsTheProgram()
{
    EditorRig rig;
    Editor &editor = rig.start();
    editor.show();
    editor.consoleWindow().show();
    QVERIFY(editor.mainWindow().testAttribute(Qt::WA_QuitOnClose));
    for (QWidget *window : editor.windows())
        if (window != &editor.mainWindow())
            QVERIFY2(!window->testAttribute(Qt::WA_QuitOnClose), qPrintable(window->objectName()));

    // Closing the console only hides it; the log goes on filling.
    editor.console().print_to_console(QStringLiteral("before"));
    QVERIFY(editor.consoleWindow().close());
    QVERIFY(!editor.consoleWindow().isVisible());
    editor.console().print_to_console(QStringLiteral("while hidden"));
    QCOMPARE(editor.console().lines(), (QStringList{"before", "while hidden"}));
}

void TestStartup::resourceNames_data()
{
    QTest::addColumn<QString>("entry");
    QTest::addColumn<QString>("resourceName");
    QTest::addColumn<QString>("found");
    QTest::newRow("catalogue entry") << "Quorvane KQ5 0011" << "Quorvane_KQ5_0011" << ":/QUORVANE_KQ5_0011";
    QTest::newRow("replacements") << "A-B C+D X x" << "A_B_CplusD_mult_x" << "";
    QTest::newRow("catalogue, any case") << "octave" << "octave" << ":/OCTAVE";
    QTest::newRow("firmware, any case") << "Firmware_10" << "Firmware_10" << ":/FIRMWARE_10";
    QTest::newRow("no prefix match") << "FIRMWARE_1" << "FIRMWARE_1" << "";
    QTest::newRow("empty") << "" << "" << "";
}

void TestStartup::resourceNames()
{
    QFETCH(QString, entry);
    QFETCH(QString, resourceName);
    QFETCH(QString, found);
    QCOMPARE(format_resource_name(entry), resourceName);
    QCOMPARE(find_resource(resourceName), found);
}

void TestStartup::missingResourceRaisesTheResourceError()
{
    test::ScriptedDialogs dialogs;
    Catalogue catalogue(dialogs);
    catalogue.read_file_from_stream(QStringLiteral("quorvane_kq5_0011"));
    QCOMPARE(catalogue.resource_lines.size(), 1);
    QCOMPARE(catalogue.resource_lines.first().size(), 9088);
    try {
        catalogue.read_file_from_stream(QStringLiteral("Quorvane_KQ5_0099"));
        QFAIL("no error raised");
    } catch (const ResourceError &error) {
        QCOMPARE(error.text(), QString("Resource Quorvane_KQ5_0099 not found"));
    }
    // The lines of the last good load stay.
    QCOMPARE(catalogue.resource_lines.first().size(), 9088);
    QVERIFY(dialogs.messages.isEmpty());
}

void TestStartup::rendersBothWindows()
{
    EditorRig rig;
    rig.driver.bridges.append({QStringLiteral("FT5A1"), QStringLiteral("Quorvane KQ5")});
    Editor &editor = rig.start();
    editor.show();
    editor.consoleWindow().show();
    for (int i = 0; i < 60; ++i)
        editor.console().print_to_console(QStringLiteral("%1: %2").arg(i).arg(i * 7 % 256, 2, 16, QLatin1Char('0')).toUpper());
    QVERIFY(QTest::qWaitForWindowExposed(&editor.consoleWindow()));
    const QImage main = editor.mainWindow().grab().toImage();
    const QImage console = editor.consoleWindow().grab().toImage();
    QVERIFY(!main.isNull());
    QVERIFY(!console.isNull());
    // Set QUORVANE_SCREENSHOTS to a folder to look at them.
    const QString folder = qEnvironmentVariable("QUORVANE_SCREENSHOTS");
    if (!folder.isEmpty()) {
        QVERIFY(main.save(folder + "/main-window.png"));
        QVERIFY(console.save(folder + "/console-window.png"));
    }
}

QTEST_MAIN(TestStartup)
#include "tst_startup.moc"
