// The whole editor against the virtual pedal: undo and redo of the effect
// window's changes, A/B compare, and the writes the editor checks against
// the pedal's status afterwards. Every check reads what the pedal received.

#include "SimEditor.h"

#include "common/Preferences.h"
#include "parameters/EditHistory.h"
#include "parameters/ParameterModel.h"
#include "parameters/TformFXsettings.h"
#include "parameters/WriteConfirmation.h"
#include "protocol/Codec.h"
#include "support/Hex.h"
#include "widgets/ArcDial.h"
#include "widgets/ToggleSwitch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QListWidget>
#include <QRadioButton>
#include <QPushButton>
#include <QWheelEvent>

#include <cmath>

using namespace quorvane;
using quorvane::test::pedal;
using quorvane::test::SimEditor;

namespace {

using Words = std::array<std::uint32_t, parameter_count>;

struct Editing : SimEditor {
    explicit Editing(const PedalOptions &options = pedal(10)) : SimEditor(options)
    {
        link();
        dialogs.reset();
    }

    TformFXsettings &fx() { return editor->fxSettings(); }
    ParameterModel &model() { return editor->parameters(); }
    EditHistory &history() { return fx().history(); }
    const PedalModel &sim() { return driver.model(); }
    std::uint32_t pedal_word(ParameterRow row) { return sim().settings().words[std::size_t(row)]; }

    // The pedal's log from here on.
    qsizetype mark() { return sim().log().size(); }
    QStringList received_since(qsizetype mark, const QString &prefix)
    {
        return sim().log().mid(mark).filter(QStringLiteral("recv ") + prefix);
    }
    // The log line of the DSP write of `word` to a row's address.
    QString dsp_write(ParameterRow row, std::uint32_t word)
    {
        QString hex = QStringLiteral("01") + hex4(model().address(row)) + hex8(word);
        QStringList pairs;
        for (int i = 0; i < hex.size(); i += 2)
            pairs << hex.mid(i, 2);
        return QStringLiteral("recv ") + pairs.join(' ');
    }
    QString status_line() { return text("lblStatus"); }

    // A point on the dial's circle at `angle` degrees (0 right, counter-clockwise).
    static QPoint on_dial(int angle)
    {
        const double r = 15, a = angle * M_PI / 180.0;
        return QPoint(20 + int(std::lround(r * std::cos(a))), 20 - int(std::lround(r * std::sin(a))));
    }
    void wheel(QWidget *w, int notches)
    {
        QWheelEvent e(QPointF(20, 20), w->mapToGlobal(QPointF(20, 20)), QPoint(), QPoint(0, 120 * notches),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QApplication::sendEvent(w, &e);
    }
    // A preset file of these words.
    QString preset_file(const Words &words)
    {
        QStringList fields;
        for (std::uint32_t w : words)
            fields.append(hex8(w));
        const QString path = home.filePath(QStringLiteral("p%1.txt").arg(++files));
        QFile file(path);
        if (file.open(QIODevice::WriteOnly))
            file.write(QByteArray("\xEF\xBB\xBF") + fields.join('\r').toLatin1());
        return path;
    }
    void load_preset(const Words &words)
    {
        fileAnswer(preset_file(words));
        trigger("menuLoadPreset");
    }
    void fileAnswer(const QString &path) { dialogs.fileAnswers.enqueue(path); }
    Words words() { return words_of(model()); }
    int files = 0;
};

} // namespace

class TestEditingVirtualPedal : public QObject {
    Q_OBJECT
private slots:
    void undoAndRedoOfEachControlKind_data();
    void undoAndRedoOfEachControlKind();
    void dialGestureIsOneStep();
    void presetLoadIsOneStepAndConfirmed();
    void reportAndUnlinkClearTheHistory();
    void abSwitchSendsOnlyDifferingWordsExactly();
    void writesAreConfirmed_data();
    void writesAreConfirmed();
    void lostDspWriteIsCaughtAndNamed();
    void confirmationCanBeTurnedOff();
    void nothingRunsWithTheBootloaderListening();
};

void TestEditingVirtualPedal::undoAndRedoOfEachControlKind_data()
{
    QTest::addColumn<int>("rowIndex");
    QTest::newRow("dial") << int(ParameterRow::dry);
    QTest::newRow("switch") << int(ParameterRow::wave);
    QTest::newRow("list") << int(ParameterRow::harmonic_pitch);
    QTest::newRow("check box") << int(ParameterRow::high_notes_cut);
}

// Each kind of control: the change, then Ctrl+Z sends the word before it
// and shows it, Ctrl+Shift+Z sends the change again; byte for byte.
void TestEditingVirtualPedal::undoAndRedoOfEachControlKind()
{
    QFETCH(int, rowIndex);
    const auto row = ParameterRow(rowIndex);
    Editing e;
    TformFXsettings &fx = e.fx();
    fx.list("cmbGuitarTuning")->setCurrentIndex(1); // the cut boxes need a tuning
    const std::uint32_t before = e.model().value(row);

    switch (row) {
    case ParameterRow::dry: fx.dial("dialDry")->setAngle(90); break;
    case ParameterRow::wave: fx.switchControl("swtWave")->click(); break;
    case ParameterRow::harmonic_pitch: fx.list("cmbVariableWavePitch")->setCurrentIndex(24); break;
    default: fx.checkBox("chkHighNoteCut")->click(); break;
    }
    const std::uint32_t after = e.model().value(row);
    QVERIFY(after != before);
    QTRY_COMPARE(e.pedal_word(row), after);
    QCOMPARE(e.history().current_stack().count(), 1);

    fx.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&fx));
    qsizetype mark = e.mark();
    QTest::keyClick(&fx, Qt::Key_Z, Qt::ControlModifier);
    QTRY_COMPARE(e.pedal_word(row), before);
    QCOMPARE(e.received_since(mark, "01"), QStringList{e.dsp_write(row, before)});
    QCOMPARE(e.model().value(row), before);
    QVERIFY(e.dialogs.messages.isEmpty());
    switch (row) {
    case ParameterRow::wave: QCOMPARE(fx.switchControl("swtWave")->isChecked(), before == wave_on_value); break;
    case ParameterRow::high_notes_cut: QVERIFY(!fx.checkBox("chkHighNoteCut")->isChecked()); break;
    default: break;
    }

    mark = e.mark();
    QTest::keyClick(&fx, Qt::Key_Z, Qt::ControlModifier | Qt::ShiftModifier);
    QTRY_COMPARE(e.pedal_word(row), after);
    QCOMPARE(e.received_since(mark, "01"), QStringList{e.dsp_write(row, after)});
    QVERIFY(!e.history().canRedo());
}

// A drag of a dial is one step however far it turns; wheel notches close
// together are one more. Undoing goes back a gesture at a time.
void TestEditingVirtualPedal::dialGestureIsOneStep()
{
    Editing e;
    ArcDial *dry = e.fx().dial("dialDry");
    const std::uint32_t start = e.model().value(ParameterRow::dry);

    QTest::mousePress(dry, Qt::LeftButton, {}, Editing::on_dial(180));
    for (int angle : {150, 120, 90, 60})
        QTest::mouseMove(dry, Editing::on_dial(angle));
    QTest::mouseRelease(dry, Qt::LeftButton, {}, Editing::on_dial(60));
    const std::uint32_t dragged = e.model().value(ParameterRow::dry);
    QVERIFY(dragged != start);
    QCOMPARE(e.history().current_stack().count(), 1);

    e.wheel(dry, 1);
    e.wheel(dry, 1);
    QCOMPARE(e.history().current_stack().count(), 2);
    QTRY_COMPARE(e.pedal_word(ParameterRow::dry), e.model().value(ParameterRow::dry));

    e.fx().undoAction()->trigger();
    QCOMPARE(e.model().value(ParameterRow::dry), dragged);
    QTRY_COMPARE(e.pedal_word(ParameterRow::dry), dragged);
    const qsizetype mark = e.mark();
    e.fx().undoAction()->trigger();
    QTRY_COMPARE(e.pedal_word(ParameterRow::dry), start);
    // One write for the whole drag, through the throttle.
    QCOMPARE(e.received_since(mark, "01"), QStringList{e.dsp_write(ParameterRow::dry, start)});
    QVERIFY(!e.fx().undoAction()->isEnabled());
}

// A preset load is one step: undoing it sends back every word it changed.
// Low Pass goes as a dial word and comes back as a step: still confirmed.
void TestEditingVirtualPedal::presetLoadIsOneStepAndConfirmed()
{
    Editing e;
    const Words start = e.words();
    Words preset = start;
    preset[std::size_t(ParameterRow::dry)] = 0x003FC000;
    preset[std::size_t(ParameterRow::low_pass)] = 0x00400000; // step 12 as the dial sends it
    preset[std::size_t(ParameterRow::split)] = start[std::size_t(ParameterRow::split)] == 1 ? 0 : 1;
    qsizetype mark = e.mark();
    e.load_preset(preset);
    QCOMPARE(e.dialogs.messages.size(), 1); // "File loaded successfully: ..." and no other box
    QCOMPARE(e.status_line(), QStringLiteral("Confirmed: Preset"));
    QCOMPARE(e.received_since(mark, "02 00").size(), 1);
    QCOMPARE(e.history().current_stack().count(), 1);

    mark = e.mark();
    e.fx().undoAction()->trigger();
    QTRY_COMPARE(e.pedal_word(ParameterRow::dry), start[0]);
    QTRY_COMPARE(e.pedal_word(ParameterRow::low_pass), start[std::size_t(ParameterRow::low_pass)]);
    QCOMPARE(e.received_since(mark, "01").size(), 3);
    QCOMPARE(e.words(), start);
    // Undo is no write the editor checks.
    QCOMPARE(e.received_since(mark, "02 00").size(), 0);
}

void TestEditingVirtualPedal::reportAndUnlinkClearTheHistory()
{
    Editing e;
    e.fx().switchControl("swtSplit")->click();
    QVERIFY(e.fx().undoAction()->isEnabled());
    e.click("btnRequest");
    QVERIFY(!e.history().canUndo());
    QVERIFY(!e.fx().undoAction()->isEnabled());

    e.fx().switchControl("swtSplit")->click();
    QVERIFY(e.history().canUndo());
    e.trigger("menuDisconnect");
    QVERIFY(!e.history().canUndo());
    QVERIFY(!e.fx().undoAction()->isEnabled());
}

// Switching sends the words where A and B differ, exactly, by the preset
// load's rule: a row a control slot holds keeps the pedal's word, and
// "1st Harmonic" is never sent. Edits go to the slot being played.
void TestEditingVirtualPedal::abSwitchSendsOnlyDifferingWordsExactly()
{
    Editing e;
    TformFXsettings &fx = e.fx();
    fx.findChild<QAction *>("actCopyAtoB")->trigger();
    const Words b = e.words();

    // Slot A: Dry and Input Level turned, then the pedal assigns Input Level
    // to CTRL I (another editor did) and a status request shows it.
    fx.dial("dialDry")->setAngle(90);
    fx.dial("dialInputLevel")->setAngle(0);
    fx.flush_dial_writes();
    PedalModel &sim = e.driver.model();
    const QString assign = QStringLiteral("040100000000") + hex4(e.model().address(ParameterRow::input_level))
                           + QStringLiteral("FFFFFFFFFFFFFFFF");
    sim.receive(QByteArray::fromHex(assign.toLatin1()));
    e.click("btnRequest");
    QVERIFY(e.model().is_assigned(ParameterRow::input_level));
    // A preset gives "1st Harmonic" a word, which only the model takes.
    Words preset = e.words();
    preset[std::size_t(ParameterRow::first_harmonic)] ^= 0x00100000;
    e.load_preset(preset);
    const Words a = e.words();
    QVERIFY(a[std::size_t(ParameterRow::input_level)] != b[std::size_t(ParameterRow::input_level)]);
    e.dialogs.reset();

    qsizetype mark = e.mark();
    fx.findChild<QPushButton *>("btnSlotB")->click();
    QCOMPARE(e.history().current_slot(), CompareSlot::B);
    QVERIFY(fx.findChild<QPushButton *>("btnSlotB")->isChecked());
    QVERIFY(!fx.findChild<QPushButton *>("btnSlotA")->isChecked());
    QCOMPARE(e.received_since(mark, "01"), QStringList{e.dsp_write(ParameterRow::dry, b[0])});
    QCOMPARE(e.pedal_word(ParameterRow::dry), b[0]);
    QCOMPARE(e.model().value(ParameterRow::input_level), a[std::size_t(ParameterRow::input_level)]);
    QCOMPARE(e.status_line(), QStringLiteral("Confirmed: Slot B"));
    QVERIFY(e.dialogs.messages.isEmpty());

    // An edit in B stays B's; back in A, A's words return and B keeps its own.
    fx.switchControl("swtSplit")->click();
    const std::uint32_t b_split = e.model().value(ParameterRow::split);
    mark = e.mark();
    fx.findChild<QPushButton *>("btnSlotA")->click();
    // The switch at once, the dial at the throttle's tick.
    QCOMPARE(e.received_since(mark, "01"),
             (QStringList{e.dsp_write(ParameterRow::split, a[std::size_t(ParameterRow::split)]),
                          e.dsp_write(ParameterRow::dry, a[0])}));
    QCOMPARE(e.history().slot_words(CompareSlot::B)->at(std::size_t(ParameterRow::split)), b_split);
    QCOMPARE(e.words(), a);
}

void TestEditingVirtualPedal::writesAreConfirmed_data()
{
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("confirmed");
    QTest::newRow("Assign") << "btnAssign" << "Confirmed: Assign";
    QTest::newRow("Set Footswitch Mode") << "btnSetFootswitchMode" << "Confirmed: Footswitch";
    QTest::newRow("Set Tuning") << "btnSetTuning" << "Confirmed: Tuning";
}

// Each command is followed by a quiet status request: the status line says
// so, no box is shown, the history and the effect list stay as they were.
void TestEditingVirtualPedal::writesAreConfirmed()
{
    QFETCH(QString, button);
    QFETCH(QString, confirmed);
    Editing e;
    TformFXsettings &fx = e.fx();
    fx.list("cmbGuitarTuning")->setCurrentIndex(2);
    fx.list("cmbSemitonesVariation")->setCurrentIndex(6);
    fx.list("cmbAssignCtrlDUE")->setCurrentIndex(3);
    fx.list("cmbAssignRemote")->setCurrentIndex(2);
    fx.radio("chkChangePresetShortPress")->setChecked(true);
    fx.radio("chkBypassLongPress")->setChecked(true);
    fx.switchControl("swtSplit")->click();
    e.main().lstEffects->setCurrentRow(-1);

    const qsizetype mark = e.mark();
    e.click(qPrintable(button));
    QCOMPARE(e.received_since(mark, "02 00").size(), 1);
    QCOMPARE(e.status_line(), confirmed);
    QVERIFY2(e.dialogs.messages.isEmpty(), qPrintable(e.dialogs.messages.join('|')));
    QVERIFY(e.history().canUndo());
    QCOMPARE(e.main().lstEffects->currentRow(), -1);
    const auto &s = e.sim().settings();
    if (button == "btnSetTuning")
        QCOMPARE(int(s.tuning), 2);
    else if (button == "btnSetFootswitchMode")
        QCOMPARE(int(s.footswitchMode), 3);
    else
        QCOMPARE(s.slotAddresses[1], e.model().address(ParameterRow::wave_clip));
}

// The pedal loses the first DSP write: the check names the parameter with
// both values, and "Send them again?" writes it once more.
void TestEditingVirtualPedal::lostDspWriteIsCaughtAndNamed()
{
    Editing e(pedal(10, 11, 0, QStringLiteral("drop-dsp-write=0")));
    Words preset = e.words();
    const std::uint32_t old_dry = preset[0];
    preset[0] = 0x003FC000;
    preset[std::size_t(ParameterRow::sub_mix)] = 0x007FE000;
    e.dialogs.answers.enqueue(Answer::Yes);
    e.load_preset(preset);

    QCOMPARE(e.dialogs.questions.size(), 1);
    const QString box = e.dialogs.questions.first();
    QVERIFY2(box.contains(QStringLiteral("Dry: written 0x003FC000 (510), the pedal reports 0x%1")
                              .arg(hex8(old_dry))),
             qPrintable(box));
    QVERIFY(!box.contains(QStringLiteral("Sub Mix")));
    QVERIFY(box.endsWith(QStringLiteral("Send them again?")));
    QCOMPARE(e.pedal_word(ParameterRow::dry), 0x003FC000u);
    QCOMPARE(e.status_line(), QStringLiteral("Confirmed: Preset"));

    // An A/B switch whose write is lost, answered No: the difference stays.
    Editing f(pedal(10, 11, 0, QStringLiteral("drop-dsp-write=1")));
    f.fx().findChild<QAction *>("actCopyAtoB")->trigger();
    f.fx().switchControl("swtSplit")->click(); // DSP write 0, taken
    const std::uint32_t a_split = f.model().value(ParameterRow::split);
    QCOMPARE(f.pedal_word(ParameterRow::split), a_split);
    f.dialogs.answers.enqueue(Answer::No);
    f.fx().findChild<QPushButton *>("btnSlotB")->click(); // DSP write 1, lost
    QCOMPARE(f.dialogs.questions.size(), 1);
    QVERIFY2(f.dialogs.questions.first().contains(QStringLiteral("Split: written 0x%1 (%2), the pedal reports 0x%3")
                                                      .arg(hex8(a_split ^ 1u), a_split ? "off" : "on", hex8(a_split))),
             qPrintable(f.dialogs.questions.first()));
    QCOMPARE(f.pedal_word(ParameterRow::split), a_split);
    QCOMPARE(f.status_line(), QStringLiteral("Status: "));
}

void TestEditingVirtualPedal::confirmationCanBeTurnedOff()
{
    Editing e;
    QAction *item = e.control<QAction>("menuConfirmWrites");
    QVERIFY(item->isChecked());
    e.trigger("menuConfirmWrites");
    QVERIFY(!item->isChecked());
    QFile file(e.editor->preferences().product_file(confirm_writes_file));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), QByteArray("NO"));

    const qsizetype mark = e.mark();
    e.click("btnSetFootswitchMode");
    QCOMPARE(e.received_since(mark, "08").size(), 1);
    QCOMPARE(e.received_since(mark, "02 00").size(), 0);
}

// While the pedal's bootloader listens, undo, redo, A/B and the check send
// nothing: the line refuses them and the editor says why once.
void TestEditingVirtualPedal::nothingRunsWithTheBootloaderListening()
{
    Editing e;
    e.fx().findChild<QAction *>("actCopyAtoB")->trigger();
    e.fx().switchControl("swtSplit")->click();
    e.dialogs.answers.enqueue(Answer::Yes);
    e.trigger("menuFirmwareUpgradeMode");
    QCOMPARE(e.driver.model().mode(), PedalModel::Mode::Bootloader);
    e.dialogs.reset();
    const qint64 received = e.sim().bytesReceived();
    const Words words = e.words();

    QVERIFY(!e.fx().undoAction()->isEnabled());
    QVERIFY(!e.fx().findChild<QAction *>("actSlotB")->isEnabled());
    e.run([&] {
        e.history().undo();
        e.history().switch_slot();
    });
    WrittenState written = WrittenState::of_message(QStringLiteral("080101"), confirm_text::footswitch);
    QCOMPARE(e.editor->writeConfirmation().confirm(written), WriteConfirmation::Outcome::not_asked);

    QCOMPARE(e.sim().bytesReceived(), received);
    QCOMPARE(e.words(), words);
    QCOMPARE(e.history().current_slot(), CompareSlot::A);
    QCOMPARE(e.dialogs.messages, QStringList{bootloader_busy_text});
}

QTEST_MAIN(TestEditingVirtualPedal)
#include "tst_editing_virtual_pedal.moc"
