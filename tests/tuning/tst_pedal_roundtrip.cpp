// Tuning, instrument and MIDI channel sent to the virtual pedal through the
// link layer: the pedal takes every message, and what it keeps comes back in
// its status reply.

#include "common/ConsoleLog.h"
#include "protocol/ReplyReader.h"
#include "protocol/Sender.h"
#include "simulator/SimulatorDriver.h"
#include "support/ScriptedDialogs.h"
#include "tuning/Instrument.h"
#include "app/MidiChannel.h"
#include "tuning/Tunings.h"
#include "usb/D2XXUnit.h"

#include <QAction>
#include <QMenu>
#include <QTemporaryDir>
#include <QtTest>

using namespace quorvane;

namespace {

// Where the status reply carries the tuning, the semitone shift and the bypass.
constexpr int status_tuning_at = 20;
constexpr int status_bypass_at = 22;

struct PedalLink {
    PedalLink()
    {
        QCOMPARE_EQ(link.Open_USB_Device_By_Serial_Number(QString::fromLatin1(SimulatorDriver::serial_number)),
                    FT_OK);
        link.SetLinkSettings(link_mode_normal);
        link.SetFTBaudRate();
        link.SetFTDataCharacteristics();
    }

    // The pedal's status reply, as the editor reads it.
    std::vector<std::uint8_t> status()
    {
        reader.received_bytes_array.clear();
        if (reader.RequestValues(QByteArray::fromHex("0200"), ReplyLimits{}, status_reply_complete) !=
            LineStatus::Ok)
            return {};
        return reader.received_bytes_array;
    }

    const PedalModel::Settings &settings()
    {
        driver.model().bytesAvailable(); // brings the pedal up to now
        return driver.model().settings();
    }

    SimulatorDriver driver;
    test::ScriptedDialogs dialogs;
    D2XXUnit link{driver, dialogs};
    ConsoleLog console;
    ReplyReader reader{link, console};
};

} // namespace

class TestPedalRoundTrip : public QObject {
    Q_OBJECT
private slots:
    void tuningComesBackInStatus_data();
    void tuningComesBackInStatus();
    void tuningDataReachesPedalWhole();
    void instrumentIsTaken_data();
    void instrumentIsTaken();
    void midiChannelIsTaken_data();
    void midiChannelIsTaken();
};

void TestPedalRoundTrip::tuningComesBackInStatus_data()
{
    QTest::addColumn<int>("tuning");
    QTest::addColumn<int>("semitones");
    QTest::newRow("Drop D, -1") << 2 << -1;
    QTest::newRow("Standard, +3") << 1 << 3;
    QTest::newRow("Bass Guitar, 0") << 8 << 0;
    QTest::newRow("Open C, -5") << 7 << -5;
}

void TestPedalRoundTrip::tuningComesBackInStatus()
{
    QFETCH(int, tuning);
    QFETCH(int, semitones);
    PedalLink pedal;
    Tunings tunings(pedal.link, pedal.console, pedal.dialogs);
    tunings.setTuningSource([&] { return tuning; }, [&] { return semitones; });

    tunings.btnSetTuningClick();

    const auto status = pedal.status();
    QVERIFY(int(status.size()) > status_tuning_at + 1);
    QCOMPARE(int(status[status_tuning_at]), tuning);
    QCOMPARE(int(std::int8_t(status[status_tuning_at + 1])), semitones);
    QCOMPARE(pedal.driver.model().ignoredCount(), 0);
    QVERIFY(pedal.dialogs.messages.isEmpty());
}

void TestPedalRoundTrip::tuningDataReachesPedalWhole()
{
    PedalLink pedal;
    Tunings tunings(pedal.link, pedal.console, pedal.dialogs);

    tunings.menuUploadTuningsDataClick();

    pedal.settings();
    QCOMPARE(pedal.driver.model().tuningData(), QByteArray::fromHex(tunings.tuning_data.toLatin1()));
    QCOMPARE(pedal.driver.model().ignoredCount(), 0);
    // The upload leaves the pedal bypassed.
    const auto status = pedal.status();
    QVERIFY(int(status.size()) > status_bypass_at);
    QCOMPARE(int(status[status_bypass_at]), 1);
}

void TestPedalRoundTrip::instrumentIsTaken_data()
{
    QTest::addColumn<bool>("bass");
    QTest::newRow("bass") << true;
    QTest::newRow("guitar") << false;
}

void TestPedalRoundTrip::instrumentIsTaken()
{
    QFETCH(bool, bass);
    PedalLink pedal;
    QTemporaryDir folder;
    InstrumentSelector selector(pedal.link, pedal.console, pedal.dialogs);
    selector.setProductFolder(folder.path());
    // Start from the other instrument, so the pedal has something to change.
    bass ? selector.menuGuitarClick() : selector.menuBassClick();
    QCOMPARE(pedal.settings().instrument, bass ? instrument_guitar : instrument_bass);

    bass ? selector.menuBassClick() : selector.menuGuitarClick();

    QCOMPARE(pedal.settings().instrument, bass ? instrument_bass : instrument_guitar);
    QCOMPARE(pedal.driver.model().ignoredCount(), 0);
}

void TestPedalRoundTrip::midiChannelIsTaken_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<int>("channel");
    QTest::newRow("9") << "9" << 9;
    QTest::newRow("10") << "10" << 10;
    QTest::newRow("16") << "16" << 16;
    QTest::newRow("OMNI") << "OMNI" << 0;
}

void TestPedalRoundTrip::midiChannelIsTaken()
{
    QFETCH(QString, caption);
    QFETCH(int, channel);
    PedalLink pedal;
    QMenu menu;
    MidiChannelMenu midi(pedal.link, pedal.console);
    midi.build_midi_channel_menu(&menu);
    // Move the pedal off its channel first (OMNI is where it starts).
    midi.menuMIDIchannelsClickItem(midi.channel_items[channel == 5 ? 6 : 5]);

    for (QAction *item : menu.actions())
        if (item->text() == caption)
            item->trigger();

    QCOMPARE(int(pedal.settings().midiChannel), channel);
    QCOMPARE(pedal.driver.model().ignoredCount(), 0);
}

QTEST_MAIN(TestPedalRoundTrip)
#include "tst_pedal_roundtrip.moc"
