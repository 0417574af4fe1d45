// The slot lists' rules and the three commands that send the effect window's
// choices: "Assign", "Set Footswitch Mode" and "Save Parameters".

#include "support/LinkTestAccess.h"
#include "ReportFixture.h"

#include "firmware/SettingsErase.h"
#include "parameters/Assignments.h"

#include <QPushButton>
#include <QtTest>

Q_DECLARE_METATYPE(quorvane::Answer)

using namespace quorvane;
using namespace quorvane::test;

namespace {

// Dialogs that, while a question is open, let something else happen (another
// sender composing into tx_buffer, the user changing a list).
class BusyDialogs : public ScriptedDialogs {
public:
    std::function<void()> whileAsking;
    Answer confirm(const QString &text) override
    {
        if (whileAsking)
            whileAsking();
        return ScriptedDialogs::confirm(text);
    }
};

struct AssignFixture : FxFixture {
    QPushButton assignButton;
    Assignments assignments{window, link, console, dialogs};

    AssignFixture()
    {
        load_0008();
        assignments.btnAssign = &assignButton;
    }

    // Chooses a tuning (so the cut parameters may be assigned), puts each
    // slot list on its entry, and forgets what that showed.
    void choose(const QList<int> &entries, int tuning = 1)
    {
        list("cmbGuitarTuning")->setCurrentIndex(tuning);
        for (int slot = 0; slot < assign_slot_count; ++slot)
            list(slot_list_names[slot])->setCurrentIndex(entries[slot]);
        dialogs.reset();
        console.clear();
        driver.calls.clear();
    }
    QStringList lines() const { return console.lines(); }
};

QByteArray hexBytes(const QString &text)
{
    return QByteArray::fromHex(text.toLatin1());
}

} // namespace

class TestAssignments : public QObject {
    Q_OBJECT
private slots:
    void assignMessage_data();
    void assignMessage();
    void footswitchMessage_data();
    void footswitchMessage();
    void saveParameters_data();
    void saveParameters();
    void answers_data();
    void answers();
    void composedAfterTheAnswer();
    void unknownAddressIsNotSent_data();
    void unknownAddressIsNotSent();
    void cutNeedsTuning_data();
    void cutNeedsTuning();
    void reportedCutIsTaken_data();
    void reportedCutIsTaken();
    void refusedWhileBootloaderListens();
};

void TestAssignments::assignMessage_data()
{
    QTest::addColumn<QList<int>>("entries"); // CTRL I .. IV, remote
    QTest::addColumn<QString>("text");

    // Written with blanks between the fields.
    QTest::newRow("all empty") << QList<int>{0, 0, 0, 0, 0}
                               << "04 00 00 00 00 00 FFFF FFFF FFFF FFFF FFFF";
    QTest::newRow("input level, high notes cut, preset")
        << QList<int>{1, 0, 0, 2, 2} << "04 01 00 00 01 01 000A FFFF FFFF 000C FFFD";
    QTest::newRow("pitch, clip, dominant, bypass")
        << QList<int>{2, 3, 1, 0, 1} << "04 01 01 01 00 01 006E 00E7 001B FFFF FFFE";
    QTest::newRow("one parameter on two buttons")
        << QList<int>{3, 3, 2, 1, 0} << "04 01 01 01 01 00 00E7 00E7 000C 001B FFFF";
}

void TestAssignments::assignMessage()
{
    QFETCH(QList<int>, entries);
    QFETCH(QString, text);
    text.remove(QLatin1Char(' '));

    AssignFixture f;
    f.choose(entries);
    QCOMPARE(f.assignments.build_assign_message(), text);
    QCOMPARE(f.lines(), (QStringList{"lenght of assign message in bytes: 16", "assign message: " + text}));
    QVERIFY(f.driver.writes.isEmpty());

    f.console.clear();
    f.assignments.btnAssignClick();
    QCOMPARE(f.dialogs.questions, QStringList{"Upload Assignments?"});
    QCOMPARE(f.driver.writes, QList<QByteArray>{hexBytes(text)});
    QCOMPARE(f.lines(), (QStringList{"lenght of assign message in bytes: 16", "assign message: " + text}));
    QVERIFY(f.assignButton.isEnabled());
    QVERIFY(f.dialogs.messages.isEmpty());
}

void TestAssignments::footswitchMessage_data()
{
    QTest::addColumn<bool>("shortChangesPreset");
    QTest::addColumn<bool>("longBypasses");
    QTest::addColumn<QString>("text");

    QTest::newRow("mode 0 (as created)") << false << false << "080000";
    QTest::newRow("mode 1") << false << true << "080001";
    QTest::newRow("mode 2") << true << false << "080100";
    QTest::newRow("mode 3") << true << true << "080101";
}

void TestAssignments::footswitchMessage()
{
    QFETCH(bool, shortChangesPreset);
    QFETCH(bool, longBypasses);
    QFETCH(QString, text);

    AssignFixture f;
    f.radio(shortChangesPreset ? "chkChangePresetShortPress" : "chkBypassShortPress")->setChecked(true);
    f.radio(longBypasses ? "chkBypassLongPress" : "chkChangePresetLongPress")->setChecked(true);
    f.assignments.btnSetFootswitchModeClick();
    QCOMPARE(f.lines(), (QStringList{"footswitch behaviour message: " + text, text}));
    QCOMPARE(f.driver.writes, QList<QByteArray>{hexBytes(text)});
    QVERIFY(f.dialogs.questions.isEmpty());
}

void TestAssignments::saveParameters_data()
{
    QTest::addColumn<QList<quint32>>("words"); // the five assignable rows in table order
    QTest::addColumn<QString>("text");

    QTest::newRow("all zero") << QList<quint32>{0, 0, 0, 0, 0} << "03" + QString(40, '0');
    QTest::newRow("table order")
        << QList<quint32>{0x007FE000, 0x00800000, 0x00156000, 1, 0}
        << "03 007FE000 00800000 00156000 00000001 00000000";
}

void TestAssignments::saveParameters()
{
    QFETCH(QList<quint32>, words);
    QFETCH(QString, text);
    text.remove(QLatin1Char(' '));

    AssignFixture f;
    for (int i = 0; i < assignable_parameter_count; ++i)
        f.model.set_value(ParameterRow(standard_parameter_count + i), words[i]);
    // Words of the plain parameters are not stored.
    f.model.set_value(ParameterRow::dry, 0x12345678);
    f.driver.calls.clear();

    f.assignments.btnSaveParametersClick();
    QCOMPARE(f.lines(), (QStringList{"Store settings message (HEX): " + text, "21"}));
    QCOMPARE(f.dialogs.questions, QStringList{"Save Parameters to pedal?"});
    QCOMPARE(f.driver.writes, QList<QByteArray>{hexBytes(text)});
    QCOMPARE(f.driver.writes.first().size(), 21);
    // The transmit queue is purged before the write.
    QVERIFY(f.driver.calls.contains(QStringLiteral("purge:2")));
}

void TestAssignments::answers_data()
{
    QTest::addColumn<bool>("save"); // "Save Parameters", else "Assign"
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("written");

    QTest::newRow("assign, No") << false << Answer::No << false;
    QTest::newRow("assign, closed") << false << Answer::Closed << true;
    QTest::newRow("save, No") << true << Answer::No << false;
    QTest::newRow("save, closed") << true << Answer::Closed << true;
}

void TestAssignments::answers()
{
    QFETCH(bool, save);
    QFETCH(Answer, answer);
    QFETCH(bool, written);

    AssignFixture f;
    f.choose({1, 0, 0, 0, 1});
    LinkTestAccess::tx_buffer(f.link).fill(0xEE);
    f.dialogs.answers.enqueue(answer);
    if (save)
        f.assignments.btnSaveParametersClick();
    else
        f.assignments.btnAssignClick();
    QCOMPARE(f.dialogs.questions.size(), 1);
    QCOMPARE(f.driver.writes.size(), written ? 1 : 0);
    if (!written) {
        // Nothing composed either, nothing purged.
        QVERIFY(std::all_of(LinkTestAccess::tx_buffer(f.link).begin(), LinkTestAccess::tx_buffer(f.link).end(),
                            [](std::uint8_t b) { return b == 0xEE; }));
        QVERIFY(f.driver.calls.filter(QStringLiteral("purge")).isEmpty());
    }
    // The console lines are written before the question, whatever the answer.
    QCOMPARE(f.lines().size(), 2);
}

void TestAssignments::composedAfterTheAnswer()
{
    // While the question is open another sender composes into tx_buffer and
    // the user changes a slot: what goes out is the confirmed message.
    RecordingDriver driver;
    BusyDialogs dialogs;
    D2XXUnit link{driver, dialogs};
    ConsoleLog console;
    ParameterModel model;
    TformFXsettings window{model, link, console, dialogs};
    driver.bridges = {{QStringLiteral("SN1"), QStringLiteral("KQ5")}};
    link.Open_USB_Device_By_Serial_Number(QStringLiteral("SN1"));
    load_parameter_addresses(model, builtin_text(QStringLiteral("QUORVANE_KQ5_0008")));
    Assignments assignments{window, link, console, dialogs};
    window.list("cmbAssignCtrlUNO")->setCurrentIndex(1);

    dialogs.whileAsking = [&] {
        LinkTestAccess::tx_buffer(link).fill(0x01);
        window.list("cmbAssignCtrlUNO")->setCurrentIndex(0);
        model.set_value(ParameterRow::input_level, model.value(ParameterRow::input_level) + 0x00100000);
    };
    assignments.btnAssignClick();
    assignments.btnSaveParametersClick();
    QCOMPARE(driver.writes, (QList<QByteArray>{hexBytes("040100000000000AFFFFFFFFFFFFFFFF"),
                                               hexBytes("0300100000" + QString(32, '0'))}));
}

void TestAssignments::unknownAddressIsNotSent_data()
{
    QTest::addColumn<QList<int>>("entries");
    QTest::addColumn<bool>("sent");

    QTest::newRow("input level on CTRL I") << QList<int>{1, 0, 0, 0, 0} << false;
    QTest::newRow("high notes cut on CTRL IV") << QList<int>{0, 0, 0, 2, 0} << false;
    QTest::newRow("only the remote footswitch") << QList<int>{0, 0, 0, 0, 1} << true;
}

void TestAssignments::unknownAddressIsNotSent()
{
    // Before any effect image has given the parameters their DSP addresses,
    // a slot holding one would go out as flag 01 with address FFFF.
    QFETCH(QList<int>, entries);
    QFETCH(bool, sent);

    AssignFixture f;
    f.model.build_parameter_table();
    f.choose(entries);
    f.assignments.btnAssignClick();
    QCOMPARE(f.driver.writes.size(), sent ? 1 : 0);
    QCOMPARE(f.dialogs.questions.size(), sent ? 1 : 0);
    QCOMPARE(f.dialogs.messages, sent ? QStringList{} : QStringList{assign_text::assign_incomplete});
}

void TestAssignments::cutNeedsTuning_data()
{
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("entry");
    QTest::addColumn<int>("tuning");
    QTest::addColumn<bool>("updatingFromPedal");
    QTest::addColumn<bool>("accepted");

    QTest::newRow("CTRL IV dominant, no tuning") << 3 << 1 << 0 << false << false;
    QTest::newRow("CTRL III high notes, no tuning") << 2 << 2 << 0 << false << false;
    QTest::newRow("CTRL IV dominant, requested report") << 3 << 1 << 0 << true << true;
    QTest::newRow("CTRL III dominant, tuning chosen") << 2 << 1 << 3 << false << true;
    QTest::newRow("CTRL I input level, no tuning") << 0 << 1 << 0 << false << true;
    QTest::newRow("CTRL II wave clip, no tuning") << 1 << 3 << 0 << false << true;
    QTest::newRow("remote preset, no tuning") << 4 << 2 << 0 << false << true;
}

void TestAssignments::cutNeedsTuning()
{
    QFETCH(int, slot);
    QFETCH(int, entry);
    QFETCH(int, tuning);
    QFETCH(bool, updatingFromPedal);
    QFETCH(bool, accepted);

    AssignFixture f;
    f.list("cmbGuitarTuning")->setCurrentIndex(tuning);
    f.model.updating_from_pedal = updatingFromPedal;
    QComboBox *list = f.list(slot_list_names[slot]);
    list->setCurrentIndex(entry);

    QCOMPARE(f.dialogs.messages,
             accepted ? QStringList{}
                      : QStringList{"No tuning selected, Select a tuning before assigning this parameter"});
    QCOMPARE(list->currentIndex(), accepted ? entry : 0);
    for (int k = 0; k < assign_slot_count; ++k)
        QCOMPARE(f.model.slot_assigned[std::size_t(k)], accepted && k == slot);
    QVERIFY(f.driver.writes.isEmpty());

    // Back to "Not Assigned" always clears the flag.
    list->setCurrentIndex(0);
    QVERIFY(!f.model.slot_assigned[std::size_t(slot)]);
}

void TestAssignments::reportedCutIsTaken_data()
{
    QTest::addColumn<bool>("requested");
    QTest::newRow("report at link") << false;
    QTest::newRow("requested report") << true;
}

void TestAssignments::reportedCutIsTaken()
{
    // The pedal reports "High Notes Cut" on CTRL IV and no tuning: the window
    // shows what the pedal holds, without asking for a tuning.
    QFETCH(bool, requested);

    ReportFixture f;
    ParameterModel reported;
    load_parameter_addresses(reported, catalogue_image(0)->text);
    const std::uint16_t address = reported.address(ParameterRow::high_notes_cut);
    std::vector<std::uint8_t> values = status_values(10);
    values[8] = 1;
    values[16] = std::uint8_t(address >> 8);
    values[17] = std::uint8_t(address & 0xFF);
    f.reply = values;
    f.link_pedal();
    if (requested) {
        f.list("cmbAssignCtrlQUATTRO")->setCurrentIndex(0);
        f.settle();
        f.connection.btnRequestClick();
    }
    QVERIFY(f.dialogs.messages.isEmpty());
    QCOMPARE(f.list("cmbAssignCtrlQUATTRO")->currentIndex(), 2);
    QVERIFY(f.model.slot_assigned[3]);
    QVERIFY(f.model.is_assigned(ParameterRow::high_notes_cut));
    QCOMPARE(int(f.model.current_tuning), 0);
}

void TestAssignments::refusedWhileBootloaderListens()
{
    AssignFixture f;
    f.choose({1, 0, 0, 0, 0});
    auto session = f.link.acquire_bootloader();
    // Each command is told once, when it comes from the event loop.
    f.assignments.btnAssignClick();
    QCoreApplication::processEvents();
    f.assignments.btnSetFootswitchModeClick();
    QCoreApplication::processEvents();
    f.assignments.btnSaveParametersClick();
    QCOMPARE(f.dialogs.messages, QStringList(3, bootloader_busy_text));
    QVERIFY(f.dialogs.questions.isEmpty());
    QVERIFY(f.driver.writes.isEmpty());
    QVERIFY(f.lines().isEmpty());
}

QTEST_MAIN(TestAssignments)
#include "tst_assignments.moc"
