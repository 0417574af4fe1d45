// The effect settings window against the virtual pedal: linking shows the
// pedal's state on the window, and turning a dial changes what the pedal
// holds, byte for byte.

#include "common/ConsoleLog.h"
#include "parameters/ParameterModel.h"
#include "parameters/TformFXsettings.h"
#include "protocol/DeviceConnection.h"
#include "simulator/SimulatorDriver.h"
#include "support/Hex.h"
#include "support/ScriptedDialogs.h"
#include "support/WindowByName.h"
#include "usb/D2XXUnit.h"
#include "widgets/ArcDial.h"
#include "widgets/ToggleSwitch.h"

#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QListWidget>
#include <QtTest>

using namespace quorvane;
using namespace quorvane::test;

namespace {

QString builtin_text(const QString &name)
{
    QFile f(QStringLiteral(":/") + name);
    return f.open(QIODevice::ReadOnly) ? QString::fromLatin1(f.readAll()) : QString();
}

// The image the catalogue's only entry names.
std::optional<EffectImage> effect_0011(int position)
{
    if (position != 0)
        return std::nullopt;
    return EffectImage{QStringLiteral("Quorvane_KQ5_0011"), builtin_text(QStringLiteral("QUORVANE_KQ5_0011"))};
}

struct Rig {
    SimulatorDriver pedal;
    ScriptedDialogs dialogs;
    D2XXUnit link{pedal, dialogs};
    ConsoleLog console;
    ParameterModel model;
    TformFXsettings window{model, link, console, dialogs};
    QWidget mainWindow;
    DeviceConnection connection{link, console, dialogs};

    Rig()
    {
        auto *effects = new QListWidget(&mainWindow);
        effects->setObjectName(QStringLiteral("lstEffects"));
        effects->addItem(QStringLiteral("Quorvane KQ5 0011"));
        quorvane::test::bind_window(connection, mainWindow);
        connection.latest_algorithm_version = 11;
        connection.latest_firmware_version = 10;
        window.effect_image_at = effect_0011;
        window.current_effect_image = [] { return effect_0011(0); };
        window.attach(connection);
        // The effect list's open: show the window for the loaded effect,
        // with its controls as the link says.
        connection.effects.OpenEffectWindow = [this] {
            window.close();
            window.setWindowTitle(QStringLiteral("Quorvane KQ5 0011"));
            window.show();
            window.enable_effect_controls(connection.is_linked);
        };
    }

    // Messages straight to the virtual pedal, as if another editor had set it.
    void preset(const char *spacedHex)
    {
        PedalModel &m = pedal.model();
        m.setBaudRate(115200);
        m.setDataCharacteristics(8, 0, 0);
        m.receive(bytes(spacedHex));
        // Taken in as it arrives; whatever it answers is not ours to read.
        m.takeOutput();
        QCOMPARE(m.microsToNextOutput(), qint64(-1));
    }

    void linkPedal()
    {
        connection.ScanForDevices();
        dialogs.reset(); // "found, click Link"
        connection.ConnectOnClick();
    }
};

} // namespace

class TestEffectWindowPedal : public QObject {
    Q_OBJECT
private slots:
    void linkShowsThePedalsState();
    void turningDryChangesThePedal();
    void switchesListsAndBoxesReachThePedal();
};

void TestEffectWindowPedal::linkShowsThePedalsState()
{
    Rig r;
    r.preset("01 00 0B 00 40 00 00");    // Dry level 512
    r.preset("01 00 E8 00 7F E0 00");    // Wave Clip (image 0011) full
    r.preset("01 00 03 00 40 00 00");    // Wave on
    r.preset("01 00 73 00 80 00 00");    // pitch +12
    r.preset("04 01 00 00 01 01 000A FFFF FFFF 000C FFFE"); // Input Level on CTRL I, HNC on IV, Bypass
    r.preset("0D 01");                   // bypassed

    r.linkPedal();
    QVERIFY(r.connection.is_linked);
    QVERIFY(r.window.isVisible());
    QCOMPARE(r.window.windowTitle(), QStringLiteral("Quorvane KQ5 0011"));
    QVERIFY2(r.dialogs.messages.isEmpty(), qPrintable(r.dialogs.messages.join('|')));

    QCOMPARE(r.window.dial("dialDry")->angle(), 89);
    QCOMPARE(r.window.dial("dialClipWave")->angle(), -45);
    QVERIFY(r.window.switchControl("swtWave")->isChecked());
    QVERIFY(r.window.switchControl("swtBypass")->isChecked());
    QCOMPARE(r.window.list("cmbVariableWavePitch")->currentText(), QStringLiteral("+12"));
    QCOMPARE(r.window.list("cmbAssignCtrlUNO")->currentText(), QStringLiteral("Input Level"));
    QCOMPARE(r.window.list("cmbAssignCtrlQUATTRO")->currentText(), QStringLiteral("High Notes Cut"));
    QCOMPARE(r.window.list("cmbAssignRemote")->currentText(), QStringLiteral("Bypass"));
    QVERIFY(r.model.is_assigned(ParameterRow::input_level));
    QVERIFY(r.window.dial("dial1stHarmonic")->isEnabled());

    // Linking wrote nothing back to the pedal: its Dry is still 512, not 513,
    // and nothing waits for the dial throttle's tick.
    QVERIFY(!r.window.dial_send_timer().has_pending());
    r.window.flush_dial_writes();
    QCOMPARE(r.pedal.model().settings().words[0], 0x00400000u);
    QCOMPARE(r.pedal.model().log().filter(QStringLiteral("recv 01")).size(), 4); // the presets only
}

void TestEffectWindowPedal::turningDryChangesThePedal()
{
    Rig r;
    r.linkPedal();
    QVERIFY(r.window.isVisible());
    ArcDial *dry = r.window.dial("dialDry");
    dry->setFocus();
    QTest::keyClick(dry, Qt::Key_Home); // the minimum
    QCOMPARE(dry->angle(), -135);
    for (int k = 0; k < 45; ++k) // the Up key turns clockwise: -135 to 180
        QTest::keyClick(dry, Qt::Key_Up);
    QCOMPARE(dry->angle(), 180);
    QTRY_COMPARE(r.pedal.model().settings().words[0], 0x0014E000u);
    // The knob turned in many steps, the pedal was written far fewer times.
    const QStringList writes = r.pedal.model().log().filter(QStringLiteral("recv 01 00 0B"));
    QVERIFY2(writes.size() < 45, qPrintable(QString::number(writes.size())));
    QCOMPARE(writes.last(), QStringLiteral("recv 01 00 0B 00 14 E0 00"));
    QCOMPARE(r.model.value(ParameterRow::dry), 0x0014E000u);
}

void TestEffectWindowPedal::switchesListsAndBoxesReachThePedal()
{
    Rig r;
    r.linkPedal();
    r.window.list("cmbGuitarTuning")->setCurrentIndex(1);
    r.window.switchControl("swtSplit")->click();
    r.window.list("cmbVariableWavePitch")->setCurrentIndex(0);
    r.window.checkBox("chkDominantNoteCut")->click();
    r.window.dial("dialRange")->setAngle(0);
    r.window.switchControl("swtBypass")->click();
    QTRY_COMPARE(r.pedal.model().settings().words[9], 0x006A8000u); // Range, at the image's address
    const auto &w = r.pedal.model().settings().words;
    QCOMPARE(w[8], 1u);                        // Split
    QCOMPARE(w[11], harmonic_pitch_table[0]);  // pitch -12
    QCOMPARE(w[13], 1u);                       // Dominant Notes Cut
    QVERIFY(r.pedal.model().settings().bypass);
    QCOMPARE(r.pedal.model().ignoredCount(), 0);
}

QTEST_MAIN(TestEffectWindowPedal)
#include "tst_effect_window_pedal.moc"
