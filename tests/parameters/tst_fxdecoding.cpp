// The parameter block of the status reply brought into the model and onto the
// effect settings window, through the connection's status report.

#include "ReportFixture.h"

#include "parameters/DialMapping.h"

#include <QtTest>

using namespace quorvane;
using namespace quorvane::test;

namespace {

// Slot flags at 5..9, slot addresses at 10..19.
void put_slots(std::vector<std::uint8_t> &v, const QList<int> &flags, const QList<int> &addresses)
{
    for (int k = 0; k < 5; ++k) {
        v[std::size_t(5 + k)] = std::uint8_t(flags[k]);
        v[std::size_t(10 + 2 * k)] = std::uint8_t(addresses[k] >> 8);
        v[std::size_t(11 + 2 * k)] = std::uint8_t(addresses[k] & 0xFF);
    }
}

QList<int> entries(FxFixture &f)
{
    QList<int> e;
    for (const char *name : slot_list_names)
        e << f.list(name)->currentIndex();
    return e;
}

QList<bool> assigned(const ParameterModel &m)
{
    QList<bool> a;
    for (int r = standard_parameter_count; r < parameter_count; ++r)
        a << m.is_assigned(ParameterRow(r));
    return a;
}

QList<bool> slots_in_use(const ParameterModel &m)
{
    return QList<bool>(m.slot_assigned.begin(), m.slot_assigned.end());
}

} // namespace

class TestFxDecoding : public QObject {
    Q_OBJECT
private slots:
    void layouts_data();
    void layouts();
    void assignments_data();
    void assignments();
    void assignmentsOnTheFirstReport_data();
    void assignmentsOnTheFirstReport();
    void footswitchModes_data();
    void footswitchModes();
    void tuning_data();
    void tuning();
    void parameterWords();
    void pitchWords_data();
    void pitchWords();
    void reportSendsNothingAndAsksNothing();
    void shortReplyChangesNothing();
};

void TestFxDecoding::layouts_data()
{
    QTest::addColumn<int>("firmware");
    QTest::addColumn<int>("dumpStart");
    QTest::newRow("firmware 8: no bypass state, words from 22") << 8 << 22;
    QTest::newRow("firmware 9: bypass state at 22, words from 23") << 9 << 23;
    QTest::newRow("firmware 10") << 10 << 23;
}

void TestFxDecoding::layouts()
{
    QFETCH(int, firmware);
    QFETCH(int, dumpStart);
    ReportFixture f;
    f.link_pedal();
    std::vector<std::uint8_t> v = status_values(firmware);
    put_word(v, dumpStart, 0x00400000);                        // Dry
    put_word(v, dumpStart + 4 * 14, 1);                        // High Notes Cut
    if (firmware >= 9)
        v[22] = 1;                                             // bypass on
    f.request(v);

    QCOMPARE(f.model.value(ParameterRow::dry), 0x00400000u);
    QCOMPARE(f.dial("dialDry")->angle(), 89);
    QCOMPARE(f.model.value(ParameterRow::high_notes_cut), 1u);
    QVERIFY(f.box("chkHighNoteCut")->isChecked());
    QCOMPARE(f.sw("swtBypass")->isChecked(), firmware >= 9);
    QCOMPARE(f.window.decoding().parameter_words.size(), std::size_t(15));
    QCOMPARE(f.window.decoding().parameter_words[0], 0x00400000u);
    QVERIFY(f.console.lines().contains(QStringLiteral("Dry: \t00400000")));
}

void TestFxDecoding::assignments_data()
{
    QTest::addColumn<QList<int>>("flags");
    QTest::addColumn<QList<int>>("addresses");
    QTest::addColumn<QList<int>>("before");   // entries the lists show before the report
    QTest::addColumn<QList<int>>("after");
    QTest::addColumn<QList<bool>>("marked");  // Input Level .. High Notes Cut
    QTest::addColumn<QList<bool>>("inUse");   // slot_assigned

    const QList<int> none = {0, 0, 0, 0, 0};
    // Image 0011 (the pedal's effect 00): Input Level 000A, 1st Harmonic
    // Pitch 0073, Wave Clip 00E8, Dominant Notes Cut 001B, High Notes Cut 000C.
    QTest::newRow("Input Level on CTRL I, Bypass on the remote")
        << QList<int>{1, 0, 0, 0, 1} << QList<int>{0x000A, 0, 0, 0, 0xFFFE} << QList<int>{0, 2, 1, 2, 2}
        << QList<int>{1, 0, 0, 0, 1} << QList<bool>{true, false, false, false, false}
        << QList<bool>{true, false, false, false, true};
    QTest::newRow("a zero flag never marks, whatever its address")
        << QList<int>{0, 0, 0, 0, 0} << QList<int>{0x000A, 0x0073, 0x001B, 0x000C, 0xFFFE} << none
        << none << QList<bool>{false, false, false, false, false}
        << QList<bool>{false, false, false, false, false};
    QTest::newRow("High Notes Cut on CTRL III, Preset on the remote")
        << QList<int>{0, 0, 1, 0, 1} << QList<int>{0, 0, 0x000C, 0, 0xFFFD} << none
        << QList<int>{0, 0, 2, 0, 2} << QList<bool>{false, false, false, false, true}
        << QList<bool>{false, false, true, false, true};
    QTest::newRow("High Notes Cut on CTRL IV, Dominant Notes Cut on CTRL III")
        << QList<int>{0, 0, 7, 1, 0} << QList<int>{0, 0, 0x001B, 0x000C, 0} << none
        << QList<int>{0, 0, 1, 2, 0} << QList<bool>{false, false, false, true, true}
        << QList<bool>{false, false, true, true, false};
    QTest::newRow("pitch on CTRL II, Wave Clip on CTRL I")
        << QList<int>{1, 1, 0, 0, 0} << QList<int>{0x00E8, 0x0073, 0, 0, 0} << none
        << QList<int>{3, 2, 0, 0, 0} << QList<bool>{false, true, true, false, false}
        << QList<bool>{true, true, false, false, false};
    QTest::newRow("an address that matches nothing keeps the entry")
        << QList<int>{1, 0, 1, 0, 1} << QList<int>{0x1234, 0, 0x000A, 0, 0xFFFF} << QList<int>{2, 3, 1, 1, 1}
        << QList<int>{2, 0, 1, 0, 1} << QList<bool>{false, false, false, false, false}
        << QList<bool>{true, false, true, false, true};
}

void TestFxDecoding::assignments()
{
    QFETCH(QList<int>, flags);
    QFETCH(QList<int>, addresses);
    QFETCH(QList<int>, before);
    QFETCH(QList<int>, after);
    QFETCH(QList<bool>, marked);
    QFETCH(QList<bool>, inUse);
    ReportFixture f;
    f.link_pedal();
    f.model.updating_from_pedal = true; // the lists' own rules do not interfere here
    for (int k = 0; k < 5; ++k)
        f.list(slot_list_names[k])->setCurrentIndex(before[k]);
    f.model.updating_from_pedal = false;
    // Marks left from an earlier report are cleared by the next.
    f.model.assignable(ParameterRow::wave_clip).is_assigned = true;

    std::vector<std::uint8_t> v = status_values(10);
    put_slots(v, flags, addresses);
    f.request(v);

    QCOMPARE(entries(f), after);
    QCOMPARE(assigned(f.model), marked);
    QCOMPARE(slots_in_use(f.model), inUse);
    QVERIFY2(f.dialogs.messages.isEmpty(), qPrintable(f.dialogs.messages.join('|')));
}

void TestFxDecoding::assignmentsOnTheFirstReport_data()
{
    QTest::addColumn<int>("firmware");
    QTest::newRow("firmware 10") << 10;
    QTest::newRow("firmware 8, refused for editing") << 8;
}

// The first report after start-up comes before the window was ever shown;
// the reported effect's image gives the addresses all the same.
void TestFxDecoding::assignmentsOnTheFirstReport()
{
    QFETCH(int, firmware);
    ReportFixture f;
    QCOMPARE(f.model.address(ParameterRow::input_level), assignable_initial_address);
    f.reply = status_values(firmware);
    put_slots(f.reply, {1, 0, 0, 1, 1}, {0x000A, 0, 0, 0x000C, 0xFFFE});
    f.link_pedal();

    QCOMPARE(entries(f), (QList<int>{1, 0, 0, 2, 1}));
    QCOMPARE(assigned(f.model), (QList<bool>{true, false, false, false, true}));
    QCOMPARE(slots_in_use(f.model), (QList<bool>{true, false, false, true, true}));
    QCOMPARE(f.model.address(ParameterRow::sub_mix), std::uint16_t(0x00E7)); // image 0011
    QCOMPARE(f.model.address(ParameterRow::range), std::uint16_t(0x00F1));
}

void TestFxDecoding::footswitchModes_data()
{
    QTest::addColumn<int>("mode");
    // chkBypassShortPress, chkChangePresetShortPress, chkBypassLongPress, chkChangePresetLongPress
    QTest::addColumn<QList<bool>>("buttons");
    QTest::newRow("0") << 0 << QList<bool>{true, false, false, true};
    QTest::newRow("1") << 1 << QList<bool>{true, false, true, false};
    QTest::newRow("2") << 2 << QList<bool>{false, true, false, true};
    QTest::newRow("3") << 3 << QList<bool>{false, true, true, false};
    QTest::newRow("4 changes nothing") << 4 << QList<bool>{true, false, true, false};
    QTest::newRow("255 changes nothing") << 255 << QList<bool>{true, false, true, false};
}

void TestFxDecoding::footswitchModes()
{
    QFETCH(int, mode);
    QFETCH(QList<bool>, buttons);
    ReportFixture f;
    f.link_pedal();
    std::vector<std::uint8_t> v = status_values(10);
    v[4] = 1; // the buttons show mode 1 before
    f.request(v);
    v[4] = std::uint8_t(mode);
    f.settle();
    f.request(v);
    const QList<bool> shown = {f.radio("chkBypassShortPress")->isChecked(),
                               f.radio("chkChangePresetShortPress")->isChecked(),
                               f.radio("chkBypassLongPress")->isChecked(),
                               f.radio("chkChangePresetLongPress")->isChecked()};
    QCOMPARE(shown, buttons);
    QCOMPARE(f.window.decoding().footswitch_mode, mode);
    QVERIFY(f.console.lines().contains(QStringLiteral("Footswitch Mode: %1").arg(mode)));
}

void TestFxDecoding::tuning_data()
{
    QTest::addColumn<int>("tuningByte");
    QTest::addColumn<int>("semitoneByte");
    QTest::addColumn<int>("tuningEntry");
    QTest::addColumn<int>("semitoneEntry");
    QTest::addColumn<int>("semitones");
    QTest::addColumn<QString>("semitoneLine");
    // Before the report the lists show tuning 2 and +1 (entry 6).
    QTest::newRow("standard, -5") << 1 << 0xFB << 1 << 0 << -5 << "FB";
    QTest::newRow("bass, +3") << 8 << 3 << 8 << 8 << 3 << "03";
    QTest::newRow("no tuning, -2") << 0 << 0xFE << 0 << 3 << -2 << "FE";
    QTest::newRow("tuning beyond the list") << 9 << 0 << 2 << 5 << 0 << "00";
    QTest::newRow("semitone +4 out of range") << 3 << 4 << 3 << 6 << 1 << "04";
    QTest::newRow("semitone -6 out of range") << 3 << 0xFA << 3 << 6 << 1 << "FA";
}

void TestFxDecoding::tuning()
{
    QFETCH(int, tuningByte);
    QFETCH(int, semitoneByte);
    QFETCH(int, tuningEntry);
    QFETCH(int, semitoneEntry);
    QFETCH(int, semitones);
    QFETCH(QString, semitoneLine);
    ReportFixture f;
    f.link_pedal();
    f.list("cmbGuitarTuning")->setCurrentIndex(2);
    f.list("cmbSemitonesVariation")->setCurrentIndex(6);
    QCOMPARE(f.model.semitone_variation, std::int8_t(1));

    std::vector<std::uint8_t> v = status_values(10);
    v[20] = std::uint8_t(tuningByte);
    v[21] = std::uint8_t(semitoneByte);
    f.request(v);

    QCOMPARE(f.list("cmbGuitarTuning")->currentIndex(), tuningEntry);
    QCOMPARE(int(f.model.current_tuning), tuningEntry);
    QCOMPARE(f.list("cmbSemitonesVariation")->currentIndex(), semitoneEntry);
    QCOMPARE(int(f.model.semitone_variation), semitones);
    QVERIFY(f.console.lines().contains(QStringLiteral("Current Tuning: %1").arg(tuningByte)));
    QVERIFY(f.console.lines().contains(QStringLiteral("Semitones variation: ") + semitoneLine));
}

// One reply with a distinct word for every parameter: the fifteen console
// lines, the model and every control.
void TestFxDecoding::parameterWords()
{
    ReportFixture f;
    f.link_pedal();
    f.list("cmbGuitarTuning")->setCurrentIndex(1);
    std::vector<std::uint8_t> v = status_values(10);
    const std::uint32_t words[15] = {
        0x00400000, // Dry: level 512
        0x007FE000, // Sub Mix: 1023
        0x00000000, // -1 Oct
        0x00800000, // -2 Oct: over the top
        0x00400000, // Wave on
        12,         // Low Pass step 12
        16,         // High Pass top step
        0x00200000, // 1st Harmonic: 256
        1,          // Split on
        22,         // Range top step
        0x00100000, // Input Level: 128
        0x00800000, // pitch "+12"
        0x00600000, // Wave Clip: 768
        1,          // Dominant Notes Cut on
        0,          // High Notes Cut off
    };
    for (int i = 0; i < 15; ++i)
        put_word(v, 23 + 4 * i, words[i]);
    f.request(v);

    const QStringList expected = {
        "Dry: \t00400000", "Sub Mix: 007FE000", "Sub -1: \t00000000", "Sub -2: \t00800000",
        "Wave: \t00400000", "LPF: \t0000000C", "HPF: \t00000010", "1st Harmonic: \t00200000",
        "Split: \t00000001", "Range: \t00000016", "Input Lvl: \t00100000",
        "Harmonic pitch: \t00800000", "Clip: \t00600000", "Dominant notes cut: \t00000001",
        "High notes cut: \t00000000",
    };
    const QStringList &lines = f.console.lines();
    const qsizetype first = lines.indexOf(expected.first());
    QVERIFY2(first >= 0, qPrintable(lines.join('\n')));
    QCOMPARE(lines.mid(first, 15), expected);

    for (int i = 0; i < 15; ++i)
        QCOMPARE(f.model.value(ParameterRow(i)), words[i]);
    const QList<QPair<const char *, int>> angles = {
        {"dialDry", 89},          {"dialSubMix", -45},       {"dialMinus1Oct", -135},
        {"dialMinus2Oct", -45},   {"dialLowPass", 90},       {"dialHighPass", -45},
        {"dial1stHarmonic", 158}, {"dialRange", -45},        {"dialInputLevel", -168},
        {"dialClipWave", 22},
    };
    for (const auto &[name, angle] : angles)
        QVERIFY2(f.dial(name)->angle() == angle,
                 qPrintable(QStringLiteral("%1 at %2").arg(name).arg(f.dial(name)->angle())));
    QVERIFY(f.sw("swtWave")->isChecked());
    QVERIFY(f.sw("swtSplit")->isChecked());
    QCOMPARE(f.list("cmbVariableWavePitch")->currentText(), QStringLiteral("+12"));
    QVERIFY(f.box("chkDominantNoteCut")->isChecked());
    QVERIFY(!f.box("chkHighNoteCut")->isChecked());
}

void TestFxDecoding::pitchWords_data()
{
    QTest::addColumn<quint32>("wave");
    QTest::addColumn<quint32>("split");
    QTest::addColumn<quint32>("pitch");
    QTest::addColumn<bool>("waveOn");
    QTest::addColumn<bool>("splitOn");
    QTest::addColumn<QString>("pitchText");
    // Before: Wave on, Split on, pitch "+3".
    QTest::newRow("off words") << 0x00600000u << 0u << 0x00200000u << false << false << "-12";
    QTest::newRow("unknown words leave the controls")
        << 0x00500000u << 2u << 0x00400001u << true << true << "+3";
    QTest::newRow("table entry 0") << 0x00400000u << 1u << 0x00400000u << true << true << "0";
}

void TestFxDecoding::pitchWords()
{
    QFETCH(quint32, wave);
    QFETCH(quint32, split);
    QFETCH(quint32, pitch);
    QFETCH(bool, waveOn);
    QFETCH(bool, splitOn);
    QFETCH(QString, pitchText);
    ReportFixture f;
    f.link_pedal();
    std::vector<std::uint8_t> v = status_values(10);
    put_word(v, 23 + 4 * 4, wave_on_value);
    put_word(v, 23 + 4 * 8, 1);
    put_word(v, 23 + 4 * 11, harmonic_pitch_table[15]);
    f.request(v);
    QCOMPARE(f.list("cmbVariableWavePitch")->currentText(), QStringLiteral("+3"));

    put_word(v, 23 + 4 * 4, wave);
    put_word(v, 23 + 4 * 8, split);
    put_word(v, 23 + 4 * 11, pitch);
    f.request(v);
    QCOMPARE(f.sw("swtWave")->isChecked(), waveOn);
    QCOMPARE(f.sw("swtSplit")->isChecked(), splitOn);
    QCOMPARE(f.list("cmbVariableWavePitch")->currentText(), pitchText);
    QCOMPARE(f.model.value(ParameterRow::harmonic_pitch), pitch); // the word is kept as reported
}

// A report that moves every control and holds assignments: the pedal is
// speaking, so nothing is written back, no box is shown and the decoded words
// stay (a level 512 must not come back as the dial's 513).
void TestFxDecoding::reportSendsNothingAndAsksNothing()
{
    ReportFixture f;
    f.link_pedal();
    f.window.show(); // addresses of image 0008, until the report loads those of its effect
    QVERIFY(QTest::qWaitForWindowExposed(&f.window));
    QCOMPARE(f.model.address(ParameterRow::dry), std::uint16_t(0x000B));
    f.settle();

    std::vector<std::uint8_t> v = status_values(10);
    put_slots(v, {1, 1, 1, 1, 1}, {0x000A, 0x00E8, 0x001B, 0x000C, 0xFFFD});
    v[20] = 0; // no tuning, yet cuts on
    v[22] = 1;
    const std::uint32_t words[15] = {0x00400000, 0x00402000, 0x00100000, 0x00700000, wave_on_value,
                                     7, 9, 0x00300000, 1, 11, 0x00400000,
                                     harmonic_pitch_table[3], 0x00666000, 1, 1};
    for (int i = 0; i < 15; ++i)
        put_word(v, 23 + 4 * i, words[i]);
    f.request(v);
    // Nothing waits for the dial throttle either; a tick now would show it.
    QVERIFY(!f.window.dial_send_timer().has_pending());
    f.window.flush_dial_writes();

    QCOMPARE(f.driver.writes.size(), 1);
    QCOMPARE(spaced(f.driver.writes.first()), QStringLiteral("02 00"));
    QVERIFY2(f.dialogs.messages.isEmpty(), qPrintable(f.dialogs.messages.join('|')));
    for (int i = 0; i < 15; ++i)
        QCOMPARE(f.model.value(ParameterRow(i)), words[i]);
    QVERIFY(f.box("chkDominantNoteCut")->isChecked());
    QVERIFY(f.box("chkHighNoteCut")->isChecked());
    QCOMPARE(entries(f), (QList<int>{1, 3, 1, 2, 2}));
    QCOMPARE(assigned(f.model), (QList<bool>{true, false, true, true, true}));
    QVERIFY(f.sw("swtBypass")->isChecked());
}

// A reply that stops short (decoders called directly, as a bad reply would)
// leaves every field it lacks as it was, with a console line.
void TestFxDecoding::shortReplyChangesNothing()
{
    FxFixture f;
    std::vector<std::uint8_t> v = status_values(10);
    put_word(v, 23, 0x00400000);
    v.resize(60);
    f.window.decoding().decode_footswitch_mode(v, 4);
    f.window.decoding().decode_parameter_dump(v, 23);
    QCOMPARE(f.model.value(ParameterRow::dry), 0u);
    QCOMPARE(f.dial("dialDry")->angle(), -135);
    QVERIFY(f.console.last().startsWith(QStringLiteral("Status reply too short for the parameter values")));
    v.resize(10);
    f.window.decoding().decode_assignments(v, 5);
    f.window.decoding().decode_tuning(v, 20);
    f.window.decoding().getBypassStatus(v, 22);
    QCOMPARE(entries(f), (QList<int>{0, 0, 0, 0, 0}));
    QVERIFY(f.driver.writes.isEmpty());
}

QTEST_MAIN(TestFxDecoding)
#include "tst_fxdecoding.moc"
