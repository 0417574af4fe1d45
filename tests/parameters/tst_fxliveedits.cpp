// Live edits of the effect settings window against the recording bridge. The
// dial throttle is ticked by the tests themselves, except where its own
// 100 ms timer is what is tested.

#include "FxFixture.h"

#include "parameters/DialMapping.h"
#include "parameters/Readout.h"
#include "protocol/Codec.h"

#include <QAccessible>

#include <QElapsedTimer>
#include <QtTest>

using namespace quorvane;
using namespace quorvane::test;

namespace {

QStringList written(const RecordingDriver &d)
{
    QStringList out;
    for (const QByteArray &w : d.writes)
        out << spaced(w);
    return out;
}

struct Edits : FxFixture {
    Edits()
    {
        load_0008();
        window.enable_effect_controls(true); // linked
        list("cmbGuitarTuning")->setCurrentIndex(1);
    }
};

} // namespace

class TestFxLiveEdits : public QObject {
    Q_OBJECT
private slots:
    void dialWriteAfterTheTick_data();
    void dialWriteAfterTheTick();
    void tenChangesOneWrite();
    void otherMessageInBetweenIsSentOnce();
    void twoDialsTwoWrites();
    void nextChangeAfterATickWritesAgain();
    void plainDialsQuietWhileUpdatingFromPedal();
    void refusedWhileAssigned_data();
    void refusedWhileAssigned();
    void switches_data();
    void switches();
    void bypass();
    void pitchList();
    void cutBoxes_data();
    void cutBoxes();
    void tuningAndSemitoneLists();
    void firstHarmonicSendsNothing();
    void noAddressFromAnImageNothingWritten();
    void unlinkDropsPendingDialWrites();
    void readoutsShowTheWord_data();
    void readoutsShowTheWord();
    void steppedDialsMoveStepByStep_data();
    void steppedDialsMoveStepByStep();
};

void TestFxLiveEdits::dialWriteAfterTheTick_data()
{
    QTest::addColumn<QString>("dial");
    QTest::addColumn<int>("angle");
    QTest::addColumn<int>("shown");   // angle the dial ends at
    QTest::addColumn<QString>("bytes");
    QTest::addColumn<quint32>("word");
    QTest::newRow("Dry to 90") << "dialDry" << 90 << 90 << "01 00 0B 00 3F C0 00" << 0x003FC000u;
    QTest::newRow("Dry released at -100 snaps to the minimum")
        << "dialDry" << -100 << -135 << "01 00 0B 00 00 00 00" << 0u;
    QTest::newRow("Sub Mix released at -60 snaps to the maximum")
        << "dialSubMix" << -60 << -45 << "01 00 E8 00 7F E0 00" << 0x007FE000u;
    QTest::newRow("-1 Oct at 180") << "dialMinus1Oct" << 180 << 180 << "01 00 77 00 14 E0 00" << 0x0014E000u;
    QTest::newRow("-2 Oct at -179") << "dialMinus2Oct" << -179 << -179 << "01 00 73 00 14 E0 00" << 0x0014E000u;
    QTest::newRow("Low Pass at 0") << "dialLowPass" << 0 << 0 << "01 00 CC 00 6A 80 00" << 0x006A8000u;
    QTest::newRow("High Pass at -1") << "dialHighPass" << -1 << -1 << "01 00 DE 00 6B 00 00" << 0x006B0000u;
    QTest::newRow("Range goes to the image's address") << "dialRange" << -45 << -45 << "01 00 F0 00 7F E0 00" << 0x007FE000u;
    QTest::newRow("Input Level at -136") << "dialInputLevel" << -136 << -136 << "01 00 0A 00 00 80 00" << 0x00008000u;
    QTest::newRow("Wave Clip at 179") << "dialClipWave" << 179 << 179 << "01 00 E7 00 15 60 00" << 0x00156000u;
}

void TestFxLiveEdits::dialWriteAfterTheTick()
{
    QFETCH(QString, dial);
    QFETCH(int, angle);
    QFETCH(int, shown);
    QFETCH(QString, bytes);
    QFETCH(quint32, word);
    Edits f;
    static const QHash<QString, ParameterRow> rows = {
        {"dialDry", ParameterRow::dry},           {"dialSubMix", ParameterRow::sub_mix},
        {"dialMinus1Oct", ParameterRow::minus_1_oct}, {"dialMinus2Oct", ParameterRow::minus_2_oct},
        {"dialLowPass", ParameterRow::low_pass},  {"dialHighPass", ParameterRow::high_pass},
        {"dialRange", ParameterRow::range},       {"dialInputLevel", ParameterRow::input_level},
        {"dialClipWave", ParameterRow::wave_clip},
    };
    f.dial(dial.toLatin1())->setAngle(angle);

    // Not at once: the write waits for the throttle's tick, 100 ms on.
    QVERIFY(f.driver.writes.isEmpty());
    QVERIFY(f.window.Timer1().isActive());
    QCOMPARE(f.window.Timer1().interval(), 100);
    QCOMPARE(f.dial(dial.toLatin1())->angle(), shown);
    QCOMPARE(f.model.value(rows[dial]), word);
    f.window.dial_send_timer().tick();
    QCOMPARE(written(f.driver), QStringList{bytes});
    // The tick took it: nothing is left for a later one.
    QVERIFY(!f.window.Timer1().isActive());
    f.window.flush_dial_writes();
    QCOMPARE(f.driver.writes.size(), 1);
    QVERIFY(f.dialogs.messages.isEmpty());
}

void TestFxLiveEdits::tenChangesOneWrite()
{
    Edits f;
    ArcDial *dry = f.dial("dialDry");
    for (int k = 0; k < 10; ++k)
        dry->turnClockwise(5); // -140 .. -185 = 175
    QCOMPARE(dry->angle(), 175);
    f.window.flush_dial_writes();
    QCOMPARE(written(f.driver), QStringList{"01 00 0B 00 17 40 00"}); // level 186, the last word
    QCOMPARE(f.model.value(ParameterRow::dry), 0x00174000u);
}

// The Wave message goes out at once and only once; the dial's own bytes still
// follow at the tick.
void TestFxLiveEdits::otherMessageInBetweenIsSentOnce()
{
    Edits f;
    f.dial("dialDry")->setAngle(90);
    f.sw("swtWave")->click();
    QCOMPARE(written(f.driver), QStringList{"01 00 03 00 40 00 00"});
    f.window.flush_dial_writes();
    QCOMPARE(written(f.driver), (QStringList{"01 00 03 00 40 00 00", "01 00 0B 00 3F C0 00"}));
}

void TestFxLiveEdits::twoDialsTwoWrites()
{
    Edits f;
    f.dial("dialSubMix")->setAngle(0);
    f.dial("dialDry")->setAngle(90);
    f.dial("dialSubMix")->setAngle(-45);
    QCOMPARE(f.window.Timer1().objectName(), QStringLiteral("Timer1"));
    QVERIFY(f.window.Timer1().isActive());
    f.window.flush_dial_writes();
    // In the order the dials were first changed, each with its last word.
    QCOMPARE(written(f.driver), (QStringList{"01 00 E8 00 7F E0 00", "01 00 0B 00 3F C0 00"}));
    QVERIFY(!f.window.Timer1().isActive());
}

// The throttle's own timer: each change after a tick writes again, never
// before the next tick is due.
void TestFxLiveEdits::nextChangeAfterATickWritesAgain()
{
    Edits f;
    f.dial("dialDry")->setAngle(90);
    QTRY_COMPARE(f.driver.writes.size(), 1);
    QElapsedTimer clock;
    qint64 writtenAt = -1;
    f.driver.onWrite = [&](const QByteArray &) { writtenAt = clock.elapsed(); };
    clock.start();
    f.dial("dialDry")->setAngle(0);
    QCOMPARE(f.driver.writes.size(), 1);
    QTRY_COMPARE(f.driver.writes.size(), 2);
    QVERIFY2(writtenAt >= 90, qPrintable(QString::number(writtenAt))); // the throttle, not at once
    QCOMPARE(spaced(f.driver.writes.last()), QStringLiteral("01 00 0B 00 6A 80 00"));
}

void TestFxLiveEdits::plainDialsQuietWhileUpdatingFromPedal()
{
    Edits f;
    f.model.updating_from_pedal = true;
    f.dial("dialDry")->setAngle(90);
    f.dial("dialRange")->setAngle(-100); // not even snapped: the handler does nothing at all
    f.window.flush_dial_writes();
    QVERIFY(f.driver.writes.isEmpty());
    QCOMPARE(f.model.value(ParameterRow::dry), 0u);
    QCOMPARE(f.dial("dialRange")->angle(), -100);
}

void TestFxLiveEdits::refusedWhileAssigned_data()
{
    QTest::addColumn<int>("row");
    QTest::addColumn<bool>("updating");
    QTest::addColumn<QString>("bytes"); // "" = nothing
    for (bool updating : {false, true}) {
        const char *when = updating ? "accepted while updating from the pedal" : "refused";
        QTest::addRow("Input Level %s", when) << int(ParameterRow::input_level) << updating
                                              << (updating ? "01 00 0A 00 3F C0 00" : "");
        QTest::addRow("Wave Clip %s", when) << int(ParameterRow::wave_clip) << updating
                                            << (updating ? "01 00 E7 00 3F C0 00" : "");
        QTest::addRow("pitch %s", when) << int(ParameterRow::harmonic_pitch) << updating
                                        << (updating ? "01 00 6E 00 40 00 00" : "");
        QTest::addRow("Dominant Notes Cut %s", when) << int(ParameterRow::dominant_notes_cut) << updating
                                                     << (updating ? "01 00 1B 00 00 00 01" : "");
        QTest::addRow("High Notes Cut %s", when) << int(ParameterRow::high_notes_cut) << updating
                                                 << (updating ? "01 00 0C 00 00 00 01" : "");
    }
}

void TestFxLiveEdits::refusedWhileAssigned()
{
    QFETCH(int, row);
    QFETCH(bool, updating);
    QFETCH(QString, bytes);
    Edits f;
    const ParameterRow r = ParameterRow(row);
    f.model.assignable(r).is_assigned = true;
    f.model.assignable(r).value = 0x12345678;
    f.model.updating_from_pedal = updating;
    switch (r) {
    case ParameterRow::input_level: f.dial("dialInputLevel")->setAngle(90); break;
    case ParameterRow::wave_clip: f.dial("dialClipWave")->setAngle(90); break;
    case ParameterRow::harmonic_pitch: f.list("cmbVariableWavePitch")->setCurrentIndex(12); break;
    case ParameterRow::dominant_notes_cut: f.box("chkDominantNoteCut")->click(); break;
    default: f.box("chkHighNoteCut")->click(); break;
    }
    f.window.flush_dial_writes();
    if (updating) {
        QVERIFY(f.dialogs.messages.isEmpty());
        QCOMPARE(written(f.driver), QStringList{bytes});
        QVERIFY(f.model.value(r) != 0x12345678u);
    } else {
        QCOMPARE(f.dialogs.messages, QStringList{fx_text::assigned_refusal});
        QVERIFY(f.driver.writes.isEmpty());
        QCOMPARE(f.model.value(r), 0x12345678u);
    }
}

void TestFxLiveEdits::switches_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("row");
    QTest::addColumn<QString>("onBytes");
    QTest::addColumn<quint32>("onWord");
    QTest::addColumn<QString>("offBytes");
    QTest::addColumn<quint32>("offWord");
    QTest::newRow("Wave") << "swtWave" << int(ParameterRow::wave) << "01 00 03 00 40 00 00"
                          << wave_on_value << "01 00 03 00 60 00 00" << wave_off_value;
    QTest::newRow("Split") << "swtSplit" << int(ParameterRow::split) << "01 00 E9 00 00 00 01" << 1u
                           << "01 00 E9 00 00 00 00" << 0u;
}

// A switch writes at once and keeps the word it sent.
void TestFxLiveEdits::switches()
{
    QFETCH(QString, name);
    QFETCH(int, row);
    QFETCH(QString, onBytes);
    QFETCH(quint32, onWord);
    QFETCH(QString, offBytes);
    QFETCH(quint32, offWord);
    Edits f;
    f.window.enable_effect_controls(true);
    ToggleSwitch *s = f.sw(name.toLatin1());
    s->click();
    QCOMPARE(written(f.driver), QStringList{onBytes});
    QCOMPARE(f.model.value(ParameterRow(row)), onWord);
    s->click();
    QCOMPARE(written(f.driver), (QStringList{onBytes, offBytes}));
    QCOMPARE(f.model.value(ParameterRow(row)), offWord);
    QVERIFY(!f.window.Timer1().isActive());
}

void TestFxLiveEdits::bypass()
{
    Edits f;
    ToggleSwitch *s = f.sw("swtBypass");
    s->click();
    s->click();
    QCOMPARE(written(f.driver), (QStringList{"0D 01", "0D 00"}));
    f.model.updating_from_pedal = true;
    s->click();
    QCOMPARE(f.driver.writes.size(), 2);
}

void TestFxLiveEdits::pitchList()
{
    Edits f;
    QComboBox *pitch = f.list("cmbVariableWavePitch");
    QCOMPARE(pitch->currentIndex(), -1);
    pitch->setCurrentIndex(pitch->findText("+12"));
    QCOMPARE(written(f.driver), QStringList{"01 00 6E 00 80 00 00"});
    QCOMPARE(f.model.value(ParameterRow::harmonic_pitch), 0x00800000u);
    pitch->setCurrentIndex(pitch->findText("-11"));
    QCOMPARE(spaced(f.driver.writes.last()), QStringLiteral("01 00 6E 00 22 AA A8"));
    QVERIFY(f.console.lines().filter("write to DSP msg").isEmpty());
}

void TestFxLiveEdits::cutBoxes_data()
{
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("tuning");
    QTest::addColumn<bool>("checked");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("warned");
    QTest::newRow("Dominant Notes Cut without a tuning") << "chkDominantNoteCut" << 0 << false << "01001B00000000" << true;
    QTest::newRow("High Notes Cut without a tuning") << "chkHighNoteCut" << 0 << false << "01000C00000000" << true;
    QTest::newRow("Dominant Notes Cut with a tuning") << "chkDominantNoteCut" << 3 << true << "01001B00000001" << false;
    QTest::newRow("High Notes Cut with a tuning") << "chkHighNoteCut" << 8 << true << "01000C00000001" << false;
}

void TestFxLiveEdits::cutBoxes()
{
    QFETCH(QString, name);
    QFETCH(int, tuning);
    QFETCH(bool, checked);
    QFETCH(QString, text);
    QFETCH(bool, warned);
    Edits f;
    f.list("cmbGuitarTuning")->setCurrentIndex(tuning);
    QCheckBox *box = f.box(name.toLatin1());
    box->click();
    QCOMPARE(box->isChecked(), checked);
    // One click, one handling: one box at most and one write.
    QCOMPARE(f.dialogs.messages, warned ? QStringList{fx_text::no_tuning_for_cut} : QStringList{});
    QCOMPARE(f.console.lines().filter("write to DSP msg: "), QStringList{"write to DSP msg: " + text});
    QCOMPARE(f.driver.writes.size(), 1);
    QCOMPARE(spaced(f.driver.writes.first()).remove(' '), text);
}

void TestFxLiveEdits::tuningAndSemitoneLists()
{
    Edits f;
    f.list("cmbGuitarTuning")->setCurrentIndex(7);
    QCOMPARE(int(f.model.current_tuning), 7);
    QComboBox *semis = f.list("cmbSemitonesVariation");
    for (int i = 0; i < semis->count(); ++i) {
        semis->setCurrentIndex(i);
        QCOMPARE(int(f.model.semitone_variation), i - 5);
    }
    QVERIFY(f.driver.writes.isEmpty());
}

void TestFxLiveEdits::firstHarmonicSendsNothing()
{
    Edits f;
    f.window.enable_effect_controls(true);
    f.dial("dial1stHarmonic")->setAngle(90);
    f.window.flush_dial_writes();
    QVERIFY(f.driver.writes.isEmpty());
    QCOMPARE(f.model.value(ParameterRow::first_harmonic), 0u);
}

// Before any image gave the addresses (0 and 0xFFFF), a change updates the
// model and the control, is logged, and nothing is written.
void TestFxLiveEdits::noAddressFromAnImageNothingWritten()
{
    FxFixture f;
    f.list("cmbGuitarTuning")->setCurrentIndex(1);
    f.window.enable_effect_controls(true);
    f.dial("dialDry")->setAngle(-100);
    f.dial("dialInputLevel")->setAngle(90);
    f.sw("swtWave")->click();
    f.list("cmbVariableWavePitch")->setCurrentIndex(24);
    f.box("chkHighNoteCut")->click();
    f.window.flush_dial_writes();
    QVERIFY(f.driver.writes.isEmpty());
    QCOMPARE(f.dial("dialDry")->angle(), -135);
    QCOMPARE(f.model.value(ParameterRow::input_level), 0x003FC000u);
    QCOMPARE(f.model.value(ParameterRow::wave), wave_on_value);
    QCOMPARE(f.model.value(ParameterRow::harmonic_pitch), 0x00800000u);
    QCOMPARE(f.model.value(ParameterRow::high_notes_cut), 1u);
    const QStringList notSent = f.console.lines().filter("not sent: no effect image has given it a DSP address");
    QCOMPARE(notSent.size(), 5);
    QVERIFY(notSent.first().startsWith("Dry set to 00000000"));
}

void TestFxLiveEdits::unlinkDropsPendingDialWrites()
{
    Edits f;
    f.dial("dialDry")->setAngle(90);
    f.window.enable_effect_controls(false);
    f.window.flush_dial_writes();
    QVERIFY(f.driver.writes.isEmpty());
}

// Showing the model and the user's own turn both bring the readout, the
// accessible description and the word tooltip up to date.
void TestFxLiveEdits::readoutsShowTheWord_data()
{
    QTest::addColumn<QString>("dial");
    QTest::addColumn<int>("row");
    QTest::addColumn<uint>("word");
    QTest::addColumn<QString>("readout");

    QTest::newRow("Dry, between two angles") << "dialDry" << int(ParameterRow::dry) << 0x003FC000u << "510";
    QTest::newRow("-2 Oct, top") << "dialMinus2Oct" << int(ParameterRow::minus_2_oct) << 0x007FE000u << "1023";
    QTest::newRow("1st Harmonic, shown only") << "dial1stHarmonic" << int(ParameterRow::first_harmonic)
                                              << 0x00002000u << "1";
    QTest::newRow("Low Pass, reported step") << "dialLowPass" << int(ParameterRow::low_pass) << 7u << "7 / 24";
    QTest::newRow("Low Pass, dial word") << "dialLowPass" << int(ParameterRow::low_pass) << 0x00400000u
                                         << "12 / 24";
    QTest::newRow("High Pass, top step") << "dialHighPass" << int(ParameterRow::high_pass) << 16u << "16 / 16";
    QTest::newRow("Range, dial word") << "dialRange" << int(ParameterRow::range) << 0x007FE000u << "22 / 22";
    QTest::newRow("Input Level, under its hint") << "dialInputLevel" << int(ParameterRow::input_level)
                                                 << 0x00100000u << "128";
}

void TestFxLiveEdits::readoutsShowTheWord()
{
    QFETCH(QString, dial);
    QFETCH(int, row);
    QFETCH(uint, word);
    QFETCH(QString, readout);
    Edits f;
    ArcDial *d = f.dial(qPrintable(dial));
    f.model.set_value(ParameterRow(row), word);

    f.window.show_parameters();

    QCOMPARE(d->readout(), readout);
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(d);
    QCOMPARE(a->text(QAccessible::Description), readout);
    QCOMPARE(a->text(QAccessible::Value), QString::number(d->angle())); // the value stays the angle
    const QString hex = "Word: 0x" + QString::number(word, 16).toUpper().rightJustified(8, '0');
    QCOMPARE(d->valueTip(), hex);
    if (dial == "dialInputLevel")
        QVERIFY(d->toolTip().startsWith("Set level of input signal")); // the hint stays
    else
        QCOMPARE(d->toolTip(), hex);
    QVERIFY(f.driver.writes.isEmpty());

    if (dial == "dial1stHarmonic")
        return;
    d->setAngle(dial_min_angle); // the user turns it down
    QCOMPARE(d->readout(), row_steps(ParameterRow(row)) ? QString("0 / %1").arg(row_steps(ParameterRow(row)))
                                                        : QString("0"));
    QCOMPARE(d->valueTip(), QStringLiteral("Word: 0x00000000"));
}

// Keys and the wheel move a stepped dial one step: each step sends the word
// that reads back as that step, and the dial stops at its ends.
void TestFxLiveEdits::steppedDialsMoveStepByStep_data()
{
    QTest::addColumn<QString>("dial");
    QTest::addColumn<int>("row");
    QTest::newRow("Low Pass") << "dialLowPass" << int(ParameterRow::low_pass);
    QTest::newRow("High Pass") << "dialHighPass" << int(ParameterRow::high_pass);
    QTest::newRow("Range") << "dialRange" << int(ParameterRow::range);
}

void TestFxLiveEdits::steppedDialsMoveStepByStep()
{
    QFETCH(QString, dial);
    QFETCH(int, row);
    Edits f;
    ArcDial *d = f.dial(qPrintable(dial));
    const std::uint32_t steps = row_steps(ParameterRow(row));
    f.window.show_parameters(); // step 0
    QCOMPARE(d->angle(), dial_min_angle);

    for (std::uint32_t step = 1; step <= steps + 1; ++step) {
        QTest::keyClick(d, Qt::Key_Up);
        const std::uint32_t expected = qMin(step, steps);
        QCOMPARE(d->angle(), level_to_dial_angle(expected, steps));
        QCOMPARE(word_to_step(f.model.value(ParameterRow(row)), steps), expected);
        QCOMPARE(d->readout(), QString("%1 / %2").arg(expected).arg(steps));
    }
    QTest::keyClick(d, Qt::Key_PageDown);
    QCOMPARE(word_to_step(f.model.value(ParameterRow(row)), steps), steps - 4);
    QWheelEvent notch(QPointF(20, 20), d->mapToGlobal(QPointF(20, 20)), QPoint(), QPoint(0, -120),
                      Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
    QApplication::sendEvent(d, &notch);
    QCOMPARE(word_to_step(f.model.value(ParameterRow(row)), steps), steps - 5);
    f.window.flush_dial_writes();
    QCOMPARE(f.driver.writes.size(), 1); // the throttle kept only the last
    QCOMPARE(f.driver.writes.first().mid(3),
             QByteArray::fromHex(hex8(f.model.value(ParameterRow(row))).toLatin1()));
}

QTEST_MAIN(TestFxLiveEdits)
#include "tst_fxliveedits.moc"
