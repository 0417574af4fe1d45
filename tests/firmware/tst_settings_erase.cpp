// Erasing the pedal's settings memory from the menu and from the console.

#include "common/ConsoleLog.h"
#include "firmware/SettingsErase.h"
#include "support/Hex.h"
#include "support/RecordingDriver.h"
#include "support/ScriptedDialogs.h"
#include "usb/D2XXUnit.h"

#include <QtTest>

using namespace quorvane;
using namespace quorvane::test;

namespace {
struct Rig {
    RecordingDriver driver;
    ScriptedDialogs dialogs;
    ConsoleLog console;
    D2XXUnit link{driver, dialogs};
    SettingsErase erase{link, console, dialogs};

    Rig()
    {
        driver.bridges = {{QStringLiteral("SN1"), QStringLiteral("KQ5")}};
        link.Open_USB_Device_By_Serial_Number(QStringLiteral("SN1"));
        driver.calls.clear();
    }
};
} // namespace

class TestSettingsErase : public QObject {
    Q_OBJECT
private slots:
    void warningText();
    void menu_data();
    void menu();
    void console_data();
    void console();
    void nothingReachesTheBootloader();
};

void TestSettingsErase::warningText()
{
    const QStringList lines = erase_settings_warning().split(QStringLiteral("\r\n"));
    QCOMPARE(lines.size(), 10);
    QCOMPARE(lines.first(), QStringLiteral("Are you sure you want to delete all settings?"));
    QCOMPARE(lines[4], QStringLiteral("- you want to switch to the Sorvanex"));
    QCOMPARE(lines[6], QStringLiteral("- uploading the Quorvane KQ5 algorithm once again from \"Upload Selected\" button"));
    QCOMPARE(lines.last(), QStringLiteral("- click Save Parameters, Set Tuning, Assign"));
    QVERIFY(!erase_settings_warning().endsWith(QLatin1Char('\n')));
    QVERIFY(!erase_settings_warning().contains(QRegularExpression(QStringLiteral("[^\r]\n"))));
}

void TestSettingsErase::menu_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QString>("sent");
    QTest::newRow("yes") << Answer::Yes << "0B 50 00 00 00";
    QTest::newRow("dialog closed goes on") << Answer::Closed << "0B 50 00 00 00";
    QTest::newRow("no") << Answer::No << "";
}

void TestSettingsErase::menu()
{
    QFETCH(Answer, answer);
    QFETCH(QString, sent);
    Rig rig;
    rig.dialogs.answers.enqueue(answer);
    rig.erase.menuEraseSettingsClick();
    QCOMPARE(rig.dialogs.questions, QStringList{erase_settings_warning()});
    QCOMPARE(spaced(rig.driver.allWritten()), sent);
    if (sent.isEmpty()) {
        QVERIFY(rig.console.lines().isEmpty());
        QVERIFY(rig.driver.calls.isEmpty());
    } else {
        QCOMPARE(rig.console.lines(), QStringList{"erase message: 0B50000000"});
        QCOMPARE(rig.driver.writes.size(), 1);
        // The transmit queue is purged before the write.
        QCOMPARE(rig.driver.calls, QStringList{"purge:2"});
    }
}

void TestSettingsErase::console_data()
{
    QTest::addColumn<QString>("address");
    QTest::addColumn<QString>("sent");
    QTest::newRow("50") << "50" << "0B 50 00 00 00";
    QTest::newRow("51") << "51" << "0B 51 00 00 00";
    QTest::newRow("lower case") << "5a" << "0B 5A 00 00 00";
    QTest::newRow("one digit") << "5" << "";
    QTest::newRow("empty") << "" << "";
    QTest::newRow("three digits") << "500" << "";
    QTest::newRow("no hex") << "5G" << "";
}

void TestSettingsErase::console()
{
    QFETCH(QString, address);
    QFETCH(QString, sent);
    Rig rig;
    QCOMPARE(rig.erase.EraseEEPROM(address), !sent.isEmpty());
    QCOMPARE(spaced(rig.driver.allWritten()), sent);
    QVERIFY(rig.dialogs.questions.isEmpty());
    if (sent.isEmpty()) {
        QCOMPARE(rig.dialogs.messages.size(), 1);
        QVERIFY(rig.console.lines().isEmpty());
    } else {
        QVERIFY(rig.dialogs.messages.isEmpty());
    }
}

void TestSettingsErase::nothingReachesTheBootloader()
{
    Rig rig;
    auto session = rig.link.acquire_bootloader();
    rig.erase.menuEraseSettingsClick();
    QCoreApplication::processEvents(); // back in the event loop: the next command
    rig.erase.EraseEEPROM(QStringLiteral("51"));
    QVERIFY(rig.driver.writes.isEmpty());
    QVERIFY(rig.dialogs.questions.isEmpty());
    // Told once per command.
    QCOMPARE(rig.dialogs.messages, QStringList(2, bootloader_busy_text));
}

QTEST_MAIN(TestSettingsErase)
#include "tst_settings_erase.moc"
