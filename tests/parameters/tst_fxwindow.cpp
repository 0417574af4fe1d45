// The effect settings window as created: controls, places, texts, initial
// states, hints, keyboard and accessibility, the show step and the enabled
// states across link and unlink.

#include "ReportFixture.h"

#include "parameters/PanelShapes.h"

#include <QAccessible>
#include <QButtonGroup>
#include <QDir>
#include <QLabel>
#include <QtTest>

using namespace quorvane;
using namespace quorvane::test;

namespace {

// Every control of the window that takes input.
const QStringList input_controls = {
    "dialDry", "dialMinus1Oct", "dialSubMix", "dialMinus2Oct", "dialLowPass", "dialHighPass",
    "dialRange", "dialInputLevel", "dialClipWave", "dial1stHarmonic", "swtWave", "swtSplit",
    "swtBypass", "cmbGuitarTuning", "cmbSemitonesVariation", "chkDominantNoteCut",
    "chkHighNoteCut", "cmbVariableWavePitch", "cmbAssignCtrlUNO", "cmbAssignCtrlDUE",
    "cmbAssignCtrlTRE", "cmbAssignCtrlQUATTRO", "cmbAssignRemote", "chkBypassShortPress",
    "chkChangePresetShortPress", "chkBypassLongPress", "chkChangePresetLongPress",
};

QWidget *child(QWidget &w, const QString &name)
{
    return w.findChild<QWidget *>(name);
}

// A control's state as one text: angle, on/off, entry, or check state.
QString state_of(QWidget *w)
{
    if (auto *d = qobject_cast<ArcDial *>(w))
        return QStringLiteral("angle %1").arg(d->angle());
    if (auto *c = qobject_cast<QComboBox *>(w))
        return QStringLiteral("entry %1").arg(c->currentIndex());
    if (auto *b = qobject_cast<QAbstractButton *>(w))
        return b->isChecked() ? QStringLiteral("on") : QStringLiteral("off");
    return {};
}

} // namespace

class TestFxWindow : public QObject {
    Q_OBJECT
private slots:
    void initialState_data();
    void initialState();
    void creationStepsLeaveTheModelClear();
    void listEntries();
    void hints();
    void fontsAndTitles();
    void turnedLine();
    void radioGroups();
    void accessibleNames();
    void tabOrderFollowsTheLayout();
    void showLoadsAddressesAndColoursTheFrames();
    void enabledStatesAcrossLinkAndUnlink();
    void picture();
};

// Positions and sizes as laid out, with the window and the places whose
// texts would not fit widened (by less than a tenth of the window).
void TestFxWindow::initialState_data()
{
    QTest::addColumn<QString>("container"); // "" = the window
    QTest::addColumn<QRect>("place");       // in the container's coordinates
    QTest::addColumn<QString>("text");      // caption, or "" for none
    QTest::addColumn<QString>("state");
    QTest::addColumn<bool>("enabled");

    auto row = [](const char *name, const char *container, QRect place, const char *text,
                  const char *state, bool enabled = true) {
        QTest::newRow(name) << QString(container) << place << QString(text) << QString(state) << enabled;
    };
    row("dialDry", "", {15, 8, 40, 40}, "", "angle -135");
    row("dialMinus1Oct", "", {75, 8, 40, 40}, "", "angle -135");
    row("dialSubMix", "", {15, 72, 40, 40}, "", "angle -135");
    row("dialMinus2Oct", "", {75, 72, 40, 40}, "", "angle -135");
    row("dialLowPass", "", {15, 136, 40, 40}, "", "angle -138");
    row("dialHighPass", "", {75, 136, 40, 40}, "", "angle -128");
    row("dialRange", "", {15, 200, 40, 40}, "", "angle -126");
    row("dialInputLevel", "", {234, 8, 40, 40}, "", "angle -135");
    row("dialClipWave", "", {293, 8, 40, 40}, "", "angle -135");
    row("swtWave", "", {136, 16, 41, 21}, "", "off", false);
    row("swtSplit", "", {136, 61, 41, 21}, "", "off", false);
    row("swtBypass", "", {136, 107, 41, 20}, "", "off");
    row("Rectangle2", "", {210, 73, 174, 119}, "", "");
    row("lblTrackingFunctions", "Rectangle2", {8, 4, 158, 18}, "Tracking Functions", "");
    row("cmbGuitarTuning", "lblTrackingFunctions", {1, 24, 156, 22}, "", "entry 0");
    row("chkDominantNoteCut", "lblTrackingFunctions", {0, 71, 158, 19}, "Dominant Notes Cut", "off");
    row("chkHighNoteCut", "lblTrackingFunctions", {0, 89, 158, 19}, "High Notes Cut", "off");
    row("cmbSemitonesVariation", "Rectangle2", {8, 52, 45, 22}, "", "entry 5");
    row("Rectangle1", "", {181, 200, 205, 67}, "", "");
    row("dial1stHarmonic", "Rectangle1", {17, 8, 40, 40}, "", "angle -135", false);
    row("cmbVariableWavePitch", "Rectangle1", {84, 27, 73, 22}, "", "entry -1");
    row("lblAssignControls", "", {15, 272, 125, 33}, "Assign Controls", "");
    row("cmbAssignCtrlUNO", "lblAssignControls", {0, 46, 155, 22}, "", "entry 0");
    row("cmbAssignCtrlDUE", "lblAssignControls", {0, 86, 155, 22}, "", "entry 0");
    row("cmbAssignCtrlTRE", "lblAssignControls", {165, 44, 155, 22}, "", "entry 0");
    row("cmbAssignCtrlQUATTRO", "lblAssignControls", {165, 86, 155, 22}, "", "entry 0");
    row("cmbAssignRemote", "lblAssignControls", {0, 126, 118, 22}, "", "entry 0");
    row("Label4", "", {164, 443, 155, 17}, "Footswitch Short Press:", "");
    row("chkBypassShortPress", "Label4", {0, 16, 130, 19}, "Bypass", "on");
    row("chkChangePresetShortPress", "Label4", {0, 35, 130, 19}, "Change Preset", "off");
    row("Label5", "", {8, 443, 150, 17}, "Footswitch Long Press:", "");
    row("chkBypassLongPress", "Label5", {0, 17, 130, 19}, "Bypass", "off");
    row("chkChangePresetLongPress", "Label5", {0, 36, 130, 19}, "Change Preset", "on");
}

// Right after start-up, no pedal linked.
void TestFxWindow::initialState()
{
    QFETCH(QString, container);
    QFETCH(QRect, place);
    QFETCH(QString, text);
    QFETCH(QString, state);
    QFETCH(bool, enabled);
    FxFixture f;
    // The panel's 390 × 517, and the editing strip below it.
    QCOMPARE(f.window.size(), QSize(390, 517 + editing_strip_height));
    QVERIFY(editing_strip_height <= 32);
    QCOMPARE(f.window.minimumSize(), f.window.maximumSize());
    QWidget *w = child(f.window, QTest::currentDataTag());
    QVERIFY(w);
    QWidget *c = container.isEmpty() ? &f.window : child(f.window, container);
    QVERIFY(c);
    const QPoint origin = c == &f.window ? QPoint() : c->mapTo(&f.window, QPoint());
    QCOMPARE(QRect(w->mapTo(&f.window, QPoint()) - origin, w->size()), place);
    if (auto *label = qobject_cast<QLabel *>(w))
        QCOMPARE(label->text(), text);
    else if (auto *button = qobject_cast<QAbstractButton *>(w); button && !text.isEmpty())
        QCOMPARE(button->text(), text);
    QCOMPARE(state_of(w), state);
    QCOMPARE(w->isEnabled(), enabled);
    QVERIFY(!f.window.Timer1().isActive());
    QVERIFY(f.driver.writes.isEmpty());
}

void TestFxWindow::creationStepsLeaveTheModelClear()
{
    ScriptedDialogs dialogs;
    RecordingDriver driver;
    D2XXUnit link{driver, dialogs};
    ConsoleLog console;
    ParameterModel model;
    // Whatever the model held, the window's creation starts it afresh.
    model.set_address(ParameterRow::dry, 0x1234);
    model.slot_assigned = {true, true, true, true, true};
    model.current_tuning = 4;
    model.semitone_variation = -3;
    TformFXsettings window(model, link, console, dialogs);
    QCOMPARE(model.address(ParameterRow::dry), standard_initial_address);
    QCOMPARE(model.address(ParameterRow::input_level), assignable_initial_address);
    for (bool used : model.slot_assigned)
        QVERIFY(!used);
    QCOMPARE(int(model.current_tuning), 0);
    QCOMPARE(int(model.semitone_variation), 0);
    QVERIFY(dialogs.messages.isEmpty());
    QVERIFY(driver.writes.isEmpty());
}

void TestFxWindow::listEntries()
{
    FxFixture f;
    auto items = [&f](const char *name) {
        QStringList out;
        QComboBox *c = f.list(name);
        for (int i = 0; i < c->count(); ++i)
            out << c->itemText(i);
        return out;
    };
    QCOMPARE(items("cmbGuitarTuning"),
             (QStringList{"No Tuning Selected", "Standard (EADGBE)", "Drop D (DADGBE)", "DADGAD",
                          "open D (DADF#AD)", "Blues G (DGDGBD)", "Open A (EAC#EAE)",
                          "Open C (CGCGCE)", "Bass Guitar"}));
    QCOMPARE(items("cmbSemitonesVariation"),
             (QStringList{"-5", "-4", "-3", "-2", "-1", "0", "+1", "+2", "+3"}));
    QCOMPARE(items("cmbVariableWavePitch"),
             (QStringList{"-12", "-11", "-10", "-9", "-8", "-7", "-6", "-5", "-4", "-3", "-2", "-1", "0",
                          "+1", "+2", "+3", "+4", "+5", "+6", "+7", "+8", "+9", "+10", "+11", "+12"}));
    QCOMPARE(f.list("cmbVariableWavePitch")->maxVisibleItems(), 12);
    const QStringList ctrl12 = {"Not Assigned", "Input Level", "1st Harmonic Pitch", "Wave Clip"};
    const QStringList ctrl34 = {"Not Assigned", "Dominant Notes Cut", "High Notes Cut"};
    QCOMPARE(items("cmbAssignCtrlUNO"), ctrl12);
    QCOMPARE(items("cmbAssignCtrlDUE"), ctrl12);
    QCOMPARE(items("cmbAssignCtrlTRE"), ctrl34);
    QCOMPARE(items("cmbAssignCtrlQUATTRO"), ctrl34);
    QCOMPARE(items("cmbAssignRemote"), (QStringList{"Not Assigned", "Bypass", "Preset"}));
    // The slot lists' entries carry the parameters' own names.
    for (int r = standard_parameter_count; r < parameter_count; ++r) {
        const QString name = f.model.parameter_name(ParameterRow(r));
        QVERIFY(ctrl12.contains(name) || ctrl34.contains(name));
    }
}

void TestFxWindow::hints()
{
    FxFixture f;
    const QString input = child(f.window, "dialInputLevel")->toolTip();
    QCOMPARE(input.split("\r\n"),
             (QStringList{"Set level of input signal to the octave down effect. It does not affect dry.",
                          "Adjust if you hear too much distortion on the sub. By deafult it is set to mid position."}));
    QCOMPARE(child(f.window, "cmbSemitonesVariation")->toolTip(),
             QStringLiteral("Select the pitch variation in semitones from -5 to +3"));
    QCOMPARE(child(f.window, "cmbGuitarTuning")->toolTip().split("\r\n").size(), 4);
    QVERIFY(child(f.window, "cmbGuitarTuning")->toolTip().startsWith(
        "Select the tuning of your instrument and the pitch variation\r\nin the box below. Example:\r\n"));
    QCOMPARE(child(f.window, "chkDominantNoteCut")->toolTip().split("\r\n").size(), 3);
    QVERIFY(child(f.window, "chkHighNoteCut")->toolTip().startsWith(
        "Removes tracking and noise on higher strings (e.g. open G string and first frets in standard tuning)\r\n"));
    // The panel's five hints; the editing strip's buttons tell what they do.
    QWidget *strip = child(f.window, "stripEditing");
    int withHints = 0;
    for (QWidget *w : f.window.findChildren<QWidget *>())
        withHints += !strip->isAncestorOf(w) && !w->toolTip().isEmpty() && !w->toolTip().startsWith("Word: 0x");
    QCOMPARE(withHints, 5);
    QCOMPARE(child(f.window, "btnUndo")->toolTip(), QStringLiteral("Nothing to undo (Ctrl+Z)"));
}

void TestFxWindow::fontsAndTitles()
{
    FxFixture f;
    const QStringList titles = {"lblTrackingFunctions", "lblAssignControls", "Label4", "Label5"};
    for (QLabel *label : f.window.findChildren<QLabel *>()) {
        QCOMPARE(label->font().families().value(0), QStringLiteral("Arial"));
        const bool title = titles.contains(label->objectName());
        const qreal size = label->objectName() == "lblSemitones" ? 11 : title ? 10 : 10.5;
        QCOMPARE(label->font().pointSizeF(), size);
        QCOMPARE(label->font().bold(), title);
    }
    // Each dial, switch and list has its label.
    QStringList texts;
    for (QLabel *label : f.window.findChildren<QLabel *>())
        texts << label->text();
    for (const char *t : {"Dry", "-1 OCT", "Sub Mix", "-2 OCT", "Low Pass", "High Pass", "Range",
                          "Input Level", "Wave Clip", "Wave", "Split", "Bypass", "1st Harmonic",
                          "1st Harmonic Pitch", "Semitones", "Control I", "Control II",
                          "Control III", "Control IV", "Remote Footswitch"})
        QVERIFY2(texts.contains(t), t);
}

// 49 x 370 at (171, 112), turned 90 degrees about its centre: a line across
// the (widened) window above the slot lists, which lets clicks through.
void TestFxWindow::turnedLine()
{
    FxFixture f;
    auto *line = f.window.findChild<PanelLine *>("Line1");
    QVERIFY(line);
    QCOMPARE(line->rotation(), 90);
    const QPointF centre(171 + 49 / 2.0, 112 + 370 / 2.0);
    // The pixels that the half-pixel turned box covers.
    QCOMPARE(QRectF(line->geometry()).center(), centre);
    QCOMPARE(line->size(), QSize(371, 50));
    QVERIFY(line->testAttribute(Qt::WA_TransparentForMouseEvents));
    QCOMPARE(f.window.childAt(f.list("cmbAssignCtrlTRE")->geometry().center()),
             static_cast<QWidget *>(f.list("cmbAssignCtrlTRE")));
}

void TestFxWindow::radioGroups()
{
    FxFixture f;
    QRadioButton *shortBypass = f.radio("chkBypassShortPress");
    QRadioButton *shortPreset = f.radio("chkChangePresetShortPress");
    QRadioButton *longBypass = f.radio("chkBypassLongPress");
    QCOMPARE(shortBypass->group()->objectName(), QStringLiteral("FtswShortPress"));
    QCOMPARE(longBypass->group()->objectName(), QStringLiteral("FtswLongPress"));
    longBypass->click(); // the other group keeps its choice
    QVERIFY(shortBypass->isChecked());
    QVERIFY(!f.radio("chkChangePresetLongPress")->isChecked());
    shortPreset->click();
    QVERIFY(!shortBypass->isChecked());
    QVERIFY(longBypass->isChecked());
    QVERIFY(f.driver.writes.isEmpty()); // the radio buttons send nothing
}

void TestFxWindow::accessibleNames()
{
    FxFixture f;
    const QHash<QString, QString> names = {
        {"dialDry", "Dry"}, {"dialMinus1Oct", "-1 OCT"}, {"dialSubMix", "Sub Mix"},
        {"dialMinus2Oct", "-2 OCT"}, {"dialLowPass", "Low Pass"}, {"dialHighPass", "High Pass"},
        {"dialRange", "Range"}, {"dialInputLevel", "Input Level"}, {"dialClipWave", "Wave Clip"},
        {"dial1stHarmonic", "1st Harmonic"}, {"swtWave", "Wave"}, {"swtSplit", "Split"},
        {"swtBypass", "Bypass"}, {"cmbGuitarTuning", "Tuning"}, {"cmbSemitonesVariation", "Semitones"},
        {"chkDominantNoteCut", "Dominant Notes Cut"}, {"chkHighNoteCut", "High Notes Cut"},
        {"cmbVariableWavePitch", "1st Harmonic Pitch"}, {"cmbAssignCtrlUNO", "Control I"},
        {"cmbAssignCtrlDUE", "Control II"}, {"cmbAssignCtrlTRE", "Control III"},
        {"cmbAssignCtrlQUATTRO", "Control IV"}, {"cmbAssignRemote", "Remote Footswitch"},
        {"chkBypassShortPress", "Bypass"}, {"chkChangePresetShortPress", "Change Preset"},
        {"chkBypassLongPress", "Bypass"}, {"chkChangePresetLongPress", "Change Preset"},
    };
    QCOMPARE(names.size(), input_controls.size());
    for (const QString &name : input_controls) {
        QWidget *w = child(f.window, name);
        QCOMPARE(w->accessibleName(), names.value(name));
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
        QVERIFY2(a, qPrintable(name));
        // A list's name is its shown entry where the platform names lists by
        // their label relation instead; the label is the list's buddy.
        if (qobject_cast<QComboBox *>(w)) {
            if (name == "cmbGuitarTuning")
                continue;
            bool labelled = false;
            for (const auto &[other, relation] : a->relations(QAccessible::Label))
                labelled = labelled || other->text(QAccessible::Name) == names.value(name);
            QVERIFY2(labelled, qPrintable(name));
        } else {
            QCOMPARE(a->text(QAccessible::Name), names.value(name));
        }
    }
    // The dial's value is its angle, and setting it turns the dial like a user.
    f.load_0008();
    QAccessibleInterface *dry = QAccessible::queryAccessibleInterface(f.dial("dialDry"));
    QVERIFY(dry->valueInterface());
    dry->valueInterface()->setCurrentValue(90);
    QCOMPARE(dry->valueInterface()->currentValue().toInt(), 90);
    QTRY_COMPARE(f.driver.writes.size(), 1);
    QCOMPARE(spaced(f.driver.writes.first()), QStringLiteral("01 00 0B 00 3F C0 00"));
}

void TestFxWindow::tabOrderFollowsTheLayout()
{
    FxFixture f;
    f.window.enable_effect_controls(true);
    const QStringList expected = {
        "dialDry", "dialMinus1Oct", "swtWave", "dialSubMix", "dialMinus2Oct", "swtSplit",
        "dialLowPass", "dialHighPass", "swtBypass", "dialRange", "dialInputLevel", "dialClipWave",
        "cmbGuitarTuning", "cmbSemitonesVariation", "chkDominantNoteCut", "chkHighNoteCut",
        "dial1stHarmonic", "cmbVariableWavePitch", "cmbAssignCtrlUNO", "cmbAssignCtrlTRE",
        "cmbAssignCtrlDUE", "cmbAssignCtrlQUATTRO", "cmbAssignRemote", "chkBypassLongPress",
        "chkChangePresetLongPress", "chkBypassShortPress", "chkChangePresetShortPress",
    };
    QStringList chain;
    QWidget *w = f.dial("dialDry");
    do {
        if (w->focusPolicy() & Qt::TabFocus && input_controls.contains(w->objectName()))
            chain << w->objectName();
        w = w->nextInFocusChain();
    } while (w != f.dial("dialDry"));
    QCOMPARE(chain, expected);

    f.window.show();
    QVERIFY(QTest::qWaitForWindowActive(&f.window) || QTest::qWaitForWindowExposed(&f.window));
    f.dial("dialDry")->setFocus();
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget()->objectName(), QStringLiteral("dialMinus1Oct"));
}

void TestFxWindow::showLoadsAddressesAndColoursTheFrames()
{
    FxFixture f;
    auto *r1 = f.window.findChild<PanelFrame *>("Rectangle1");
    auto *r2 = f.window.findChild<PanelFrame *>("Rectangle2");
    auto *line = f.window.findChild<PanelLine *>("Line1");
    QVERIFY(r1 && r2 && line);
    QCOMPARE(f.model.address(ParameterRow::dry), standard_initial_address);
    f.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.window));
    QCOMPARE(f.model.address(ParameterRow::dry), std::uint16_t(0x000B));
    QCOMPARE(f.model.address(ParameterRow::input_level), std::uint16_t(0x000A));
    QCOMPARE(f.model.address(ParameterRow::range), std::uint16_t(0x00F0));
    QCOMPARE(f.console.lines().value(0), QStringLiteral("resource name: Quorvane_KQ5_0008"));
    QVERIFY(f.console.lines().value(1).startsWith("filecontent (first 128 bytes): 001220000B00E8"));
    QCOMPARE(f.console.lines().value(1).size(), QStringLiteral("filecontent (first 128 bytes): ").size() + 256);
    for (QColor c : {r1->outlineColor(), r2->outlineColor(), line->outlineColor()})
        QCOMPARE(c.rgba(), 0xFFF8F8FFu);
    // Closing and showing again reloads, now from another image.
    f.window.close();
    f.window.current_effect_image = [] {
        return std::optional<EffectImage>(
            EffectImage{"Quorvane_KQ5_0010", builtin_text("QUORVANE_KQ5_0010")});
    };
    f.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.window));
    QCOMPARE(f.model.address(ParameterRow::sub_mix), std::uint16_t(0x00E7));
}

void TestFxWindow::enabledStatesAcrossLinkAndUnlink()
{
    ReportFixture f;
    QWidget *strip = child(f.window, "stripEditing");
    // The panel's disabled controls, and the strip's.
    auto enabledSet = [&f, strip](bool in_strip = false) {
        QStringList off;
        for (QWidget *w : f.window.findChildren<QWidget *>())
            if (!w->isEnabled() && !w->objectName().startsWith("qt_") && strip->isAncestorOf(w) == in_strip)
                off << w->objectName();
        off.sort();
        return off;
    };
    QCOMPARE(enabledSet(), (QStringList{"dial1stHarmonic", "swtSplit", "swtWave"}));
    // Nothing to undo, and no pedal to compare on.
    QCOMPARE(enabledSet(true), (QStringList{"btnCopyAtoB", "btnCopyBtoA", "btnRedo", "btnSlotA", "btnSlotB", "btnUndo"}));
    f.link_pedal();
    QVERIFY(f.connection.is_linked);
    QCOMPARE(enabledSet(), QStringList{});
    QCOMPARE(enabledSet(true), (QStringList{"btnRedo", "btnUndo"}));
    f.connection.menuDisconnectClick();
    QVERIFY(!f.connection.is_linked);
    for (QWidget *w : f.window.findChildren<QWidget *>())
        if (!w->objectName().startsWith("qt_"))
            QVERIFY2(!w->isEnabled(), qPrintable(w->objectName()));
}

// The window as a player sees it after a report; kept beside the build
// (effect-window.png) for a look by eye and for the documentation.
void TestFxWindow::picture()
{
    ReportFixture f;
    std::vector<std::uint8_t> v = status_values(10);
    v[5] = 1;
    v[10] = 0;
    v[11] = 0x0A; // Input Level on CTRL I
    v[9] = 1;
    v[18] = 0xFF;
    v[19] = 0xFE; // Bypass on the remote
    v[20] = 1;    // standard tuning
    v[21] = 0xFF; // -1
    const std::uint32_t words[15] = {0x00500000, 0x00300000, 0x00600000, 0x00200000, wave_on_value,
                                     14, 5, 0x00400000, 0, 9, 0x00400000, harmonic_pitch_table[17],
                                     0x00280000, 1, 0};
    for (int i = 0; i < 15; ++i)
        put_word(v, 23 + 4 * i, words[i]);
    f.reply = v;
    f.link_pedal();
    // Comparing: slot B played, and one change in it to undo.
    f.window.history().switch_slot();
    f.window.dial("dialSubMix")->setAngle(120);
    f.window.setWindowTitle("Quorvane KQ5 0011");
    f.window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&f.window));
    QVERIFY(f.window.undoAction()->isEnabled());
    QPixmap pixmap(f.window.size() * 2);
    pixmap.setDevicePixelRatio(2);
    f.window.render(&pixmap);
    const QString dir = qEnvironmentVariable("QUORVANE_BINARY_DIR");
    if (!dir.isEmpty())
        QVERIFY(pixmap.save(dir + QStringLiteral("/effect-window.png")));
    QCOMPARE(pixmap.size(), QSize(780, 2 * (517 + editing_strip_height)));
}

QTEST_MAIN(TestFxWindow)
#include "tst_fxwindow.moc"
