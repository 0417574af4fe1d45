// Tuning data, tuning, instrument and MIDI channel messages against the
// recording bridge: the bytes written, the console lines and the questions.

#include "common/ConsoleLog.h"
#include "parameters/TformFXsettings.h"
#include "support/Hex.h"
#include "support/RecordingDriver.h"
#include "support/ScriptedDialogs.h"
#include "tuning/Instrument.h"
#include "app/MidiChannel.h"
#include "tuning/Tunings.h"
#include "usb/D2XXUnit.h"

#include <QAction>
#include <QElapsedTimer>
#include <QFile>
#include <QMenu>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QtTest>

using namespace quorvane;
using quorvane::test::bytes;
using quorvane::test::spaced;

Q_DECLARE_METATYPE(quorvane::Answer)

namespace {

// A linked bridge with scripted answers and a console.
struct Rig {
    Rig()
    {
        driver.bridges = {{QStringLiteral("KQ5A1"), QStringLiteral("Quorvane KQ5")}};
        link.Open_USB_Device_By_Serial_Number(QStringLiteral("KQ5A1"));
    }
    test::RecordingDriver driver;
    test::ScriptedDialogs dialogs;
    D2XXUnit link{driver, dialogs};
    ConsoleLog console;
};

qint64 signed32(const char *hex)
{
    return qint64(qint32(QByteArray(hex).toUInt(nullptr, 16)));
}

} // namespace

class TestTuning : public QObject {
    Q_OBJECT
private slots:
    void tableHoldsThirtyTwoPeakingFilters();
    void uploadTuningData_data();
    void uploadTuningData();
    void setTuning_data();
    void setTuning();
    void failedWriteIsReportedAndEndsNormally();
    void chooseInstrument_data();
    void chooseInstrument();
    void instrumentChoiceThatCannotBeStoredSendsNothing();
    void instrumentPreference_data();
    void instrumentPreference();
    void midiChannelMenuHoldsSeventeenItems();
    void midiChannel_data();
    void midiChannel();
};

void TestTuning::tableHoldsThirtyTwoPeakingFilters()
{
    for (int row = 0; row < tuning_table_rows; ++row) {
        for (const char *value : tuning_table[row])
            QVERIFY2(QByteArray(value).size() == 8, value);
        // The feed-forward b1 is the negated feedback a1 in every row.
        QCOMPARE(signed32(tuning_table[row][1]), -signed32(tuning_table[row][3]));
    }
    const QStringList table = tuning_table_bytes();
    QCOMPARE(table.size(), tuning_table_size);
    QVERIFY(std::all_of(table.begin(), table.end(), [](const QString &b) { return b.size() == 2; }));

    Rig rig;
    Tunings tunings(rig.link, rig.console, rig.dialogs);
    tunings.BuildTuningData();
    QCOMPARE(tunings.tuning_data.size(), 1280);
    QVERIFY(tunings.tuning_data.startsWith(QLatin1String("007FF5ECFF002B70007FE1AB00FFD490FF80286A007FF552")));
    QVERIFY(tunings.tuning_data.endsWith(QLatin1String("007F73B6FF0162AE007F548A00FE9D52FF8137C0")));
    QCOMPARE(rig.console.lines(), QStringList{QStringLiteral("tuning data: ") + tunings.tuning_data});
}

void TestTuning::uploadTuningData_data()
{
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<bool>("sent");
    QTest::newRow("yes") << Answer::Yes << true;
    QTest::newRow("closed goes on") << Answer::Closed << true;
    QTest::newRow("no") << Answer::No << false;
}

void TestTuning::uploadTuningData()
{
    QFETCH(Answer, answer);
    QFETCH(bool, sent);
    Rig rig;
    rig.dialogs.answers.enqueue(answer);
    QElapsedTimer clock;
    QList<qint64> writeTimes;
    rig.driver.onWrite = [&](const QByteArray &) { writeTimes.append(clock.elapsed()); };
    Tunings tunings(rig.link, rig.console, rig.dialogs);

    clock.start();
    tunings.menuUploadTuningsDataClick();

    QCOMPARE(rig.dialogs.questions, QStringList{QStringLiteral("Upload Tuning Data?")});
    QCOMPARE(rig.console.lines().value(0), QStringLiteral("tuning data: ") + tunings.tuning_data);
    if (!sent) {
        QCOMPARE(rig.console.count(), 1);
        QVERIFY(rig.driver.writes.isEmpty());
        return;
    }
    QCOMPARE(rig.console.lines().mid(1), QStringList{QStringLiteral("num_of_bytes: 641")});
    QCOMPARE(rig.driver.writes.size(), 2);
    QCOMPARE(spaced(rig.driver.writes[0]), QStringLiteral("0D 01"));
    const QByteArray table = rig.driver.writes[1];
    QCOMPARE(table.size(), 641);
    QCOMPARE(spaced(table.left(9)), QStringLiteral("0E 00 7F F5 EC FF 00 2B 70"));
    QCOMPARE(spaced(table.right(4)), QStringLiteral("FF 81 37 C0"));
    QCOMPARE(table.mid(1), QByteArray::fromHex(tunings.tuning_data.toLatin1()));
    // The transmit queue is purged between the bypass and the table.
    QCOMPARE(rig.driver.calls.filter(QStringLiteral("purge")), QStringList{QStringLiteral("purge:2")});
    // The pedal needs the bypass to settle before the table arrives.
    QVERIFY2(writeTimes[1] - writeTimes[0] >= 400, qPrintable(QString::number(writeTimes[1] - writeTimes[0])));
}

void TestTuning::setTuning_data()
{
    QTest::addColumn<QString>("tuning");
    QTest::addColumn<QString>("semitones");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QString>("message");
    QTest::newRow("Drop D, -1") << "Drop D (DADGBE)" << "-1" << Answer::Yes << "0902FF";
    QTest::newRow("Standard, +3") << "Standard (EADGBE)" << "+3" << Answer::Yes << "090103";
    QTest::newRow("Bass, 0") << "Bass Guitar" << "0" << Answer::Yes << "090800";
    QTest::newRow("none, -5") << "No Tuning Selected" << "-5" << Answer::Closed << "0900FB";
    QTest::newRow("answered No") << "Drop D (DADGBE)" << "-1" << Answer::No << "0902FF";
}

void TestTuning::setTuning()
{
    QFETCH(QString, tuning);
    QFETCH(QString, semitones);
    QFETCH(Answer, answer);
    QFETCH(QString, message);
    Rig rig;
    rig.dialogs.answers.enqueue(answer);
    // As the effect window's two lists leave them: an index and a signed shift.
    const int current_tuning = int(guitar_tuning_entries.indexOf(tuning));
    const int semitone_variation = semitones.toInt();
    QVERIFY(current_tuning >= 0 && semitone_entries.contains(semitones));
    Tunings tunings(rig.link, rig.console, rig.dialogs);
    tunings.setTuningSource([&] { return current_tuning; }, [&] { return semitone_variation; });

    tunings.btnSetTuningClick();

    QCOMPARE(rig.console.lines(), QStringList{QStringLiteral("Tuning Message: ") + message});
    QCOMPARE(rig.dialogs.questions, QStringList{QStringLiteral("Set new tuning?")});
    if (answer == Answer::No) {
        QVERIFY(rig.driver.writes.isEmpty());
        QVERIFY(rig.driver.calls.filter(QStringLiteral("purge")).isEmpty());
        return;
    }
    QCOMPARE(rig.driver.writes, QList<QByteArray>{QByteArray::fromHex(message.toLatin1())});
    QCOMPARE(rig.driver.calls.filter(QStringLiteral("purge")), QStringList{QStringLiteral("purge:2")});
}

void TestTuning::failedWriteIsReportedAndEndsNormally()
{
    Rig rig;
    rig.driver.failAlways(QStringLiteral("write"), FT_IO_ERROR);
    Tunings tunings(rig.link, rig.console, rig.dialogs);
    tunings.setTuningSource([] { return 2; }, [] { return -1; });
    tunings.btnSetTuningClick();
    QCOMPARE(rig.dialogs.messages, QStringList{QStringLiteral("FT_Write - General IO error...")});

    rig.dialogs.reset();
    rig.link.report_usb_errors = false;
    tunings.btnSetTuningClick();
    QVERIFY(rig.dialogs.messages.isEmpty());
}

void TestTuning::chooseInstrument_data()
{
    QTest::addColumn<bool>("bass");
    QTest::addColumn<Answer>("answer");
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QStringList>("console");
    QTest::addColumn<QString>("sent");
    QTest::newRow("bass, yes") << true << Answer::Yes << "BASS"
                               << QStringList{"checksum byte: B3", "0FBA0203040506B3"}
                               << "0F BA 02 03 04 05 06 B3";
    QTest::newRow("guitar, yes") << false << Answer::Yes << "GUITAR"
                                 << QStringList{"checksum byte: F1", "0FFF0102030405F1"}
                                 << "0F FF 01 02 03 04 05 F1";
    QTest::newRow("guitar, closed goes on") << false << Answer::Closed << "GUITAR"
                                            << QStringList{"checksum byte: F1", "0FFF0102030405F1"}
                                            << "0F FF 01 02 03 04 05 F1";
    QTest::newRow("guitar, no") << false << Answer::No << "GUITAR"
                                << QStringList{"checksum byte: F1"} << "";
}

void TestTuning::chooseInstrument()
{
    QFETCH(bool, bass);
    QFETCH(Answer, answer);
    QFETCH(QString, stored);
    QFETCH(QStringList, console);
    QFETCH(QString, sent);
    QTemporaryDir folder;
    QFile old(folder.filePath(QStringLiteral("Instrument.txt")));
    QVERIFY(old.open(QIODevice::WriteOnly));
    old.write(bass ? "GUITAR, the one before" : "BASS, the one before");
    old.close();
    Rig rig;
    rig.dialogs.answers.enqueue(answer);
    QAction guitar(QStringLiteral("Guitar")), bassItem(QStringLiteral("Bass"));
    guitar.setCheckable(true);
    bassItem.setCheckable(true);
    (bass ? guitar : bassItem).setChecked(true);
    InstrumentSelector selector(rig.link, rig.console, rig.dialogs);
    selector.setProductFolder(folder.path());
    selector.show_choice = [&](bool onGuitar, bool onBass) {
        guitar.setChecked(onGuitar);
        bassItem.setChecked(onBass);
    };

    bass ? selector.menuBassClick() : selector.menuGuitarClick();

    QCOMPARE(selector.instrument_code, bass ? instrument_bass : instrument_guitar);
    QCOMPARE(guitar.isChecked(), !bass);
    QCOMPARE(bassItem.isChecked(), bass);
    QFile file(folder.filePath(QStringLiteral("Instrument.txt")));
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), stored.toUtf8()); // whole content replaced, no line end
    QCOMPARE(rig.console.lines(), console);
    QCOMPARE(rig.dialogs.questions, QStringList{QStringLiteral("Change current Instrument?")});
    QCOMPARE(spaced(rig.driver.allWritten()), sent);
    // The instrument message is written as it is: no purge.
    QVERIFY(rig.driver.calls.filter(QStringLiteral("purge")).isEmpty());
}

void TestTuning::instrumentChoiceThatCannotBeStoredSendsNothing()
{
    QTemporaryDir folder;
    Rig rig;
    QAction guitar, bass;
    guitar.setCheckable(true);
    bass.setCheckable(true);
    InstrumentSelector selector(rig.link, rig.console, rig.dialogs);
    selector.setProductFolder(folder.filePath(QStringLiteral("missing/Quorvane KQ5")));
    selector.show_choice = [&](bool onGuitar, bool onBass) {
        guitar.setChecked(onGuitar);
        bass.setChecked(onBass);
    };

    selector.menuBassClick();

    QCOMPARE(rig.dialogs.messages.size(), 1);
    QVERIFY2(rig.dialogs.messages[0].contains(QLatin1String("Instrument.txt")), qPrintable(rig.dialogs.messages[0]));
    QVERIFY(rig.dialogs.questions.isEmpty());
    QVERIFY(rig.driver.writes.isEmpty());
    QCOMPARE(selector.instrument_code, instrument_bass);
    QVERIFY(bass.isChecked() && !guitar.isChecked());
}

void TestTuning::instrumentPreference_data()
{
    QTest::addColumn<QString>("content");
    QTest::addColumn<int>("code");
    QTest::newRow("GUITAR") << "GUITAR" << int(instrument_guitar);
    QTest::newRow("BASS") << "BASS" << int(instrument_bass);
    QTest::newRow("mixed case") << "Bass" << 0;
    QTest::newRow("line end") << "GUITAR\r\n" << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestTuning::instrumentPreference()
{
    QFETCH(QString, content);
    QFETCH(int, code);
    Rig rig;
    QAction guitar, bass;
    guitar.setCheckable(true);
    bass.setCheckable(true);
    InstrumentSelector selector(rig.link, rig.console, rig.dialogs);
    selector.show_choice = [&](bool onGuitar, bool onBass) {
        guitar.setChecked(onGuitar);
        bass.setChecked(onBass);
    };

    QCOMPARE(selector.apply_preference(content), code != 0);
    QCOMPARE(int(selector.instrument_code), code);
    QCOMPARE(guitar.isChecked(), code == instrument_guitar);
    QCOMPARE(bass.isChecked(), code == instrument_bass);
    // Start-up sends nothing, and without a choice there is nothing to send.
    selector.ChangeInstrument();
    QCOMPARE(rig.driver.writes.isEmpty(), code == 0);
}

void TestTuning::midiChannelMenuHoldsSeventeenItems()
{
    Rig rig;
    QMenu menu;
    MidiChannelMenu midi(rig.link, rig.console);
    midi.build_midi_channel_menu(&menu);

    QStringList captions;
    for (QAction *item : menu.actions()) {
        captions << item->text();
        QVERIFY(!item->isCheckable());
    }
    QStringList expected{QStringLiteral("OMNI")};
    for (int channel = 1; channel <= 16; ++channel)
        expected << QString::number(channel);
    QCOMPARE(captions, expected);
    QCOMPARE(midi.channel_items.size(), 17);
    QCOMPARE(midi.channel_items.first().data(), menu.actions().first());
    QVERIFY(rig.driver.writes.isEmpty());
}

void TestTuning::midiChannel_data()
{
    QTest::addColumn<QString>("caption");
    QTest::addColumn<QString>("message");
    QTest::newRow("OMNI") << "OMNI" << "0700";
    QTest::newRow("1") << "1" << "0701";
    QTest::newRow("9") << "9" << "0709";
    QTest::newRow("10") << "10" << "070A";
    QTest::newRow("16") << "16" << "0710";
}

void TestTuning::midiChannel()
{
    QFETCH(QString, caption);
    QFETCH(QString, message);
    Rig rig;
    QMenu menu;
    MidiChannelMenu midi(rig.link, rig.console);
    midi.build_midi_channel_menu(&menu);
    QSignalSpy appended(&rig.console, &ConsoleLog::lineAppended);

    const auto items = menu.actions();
    const auto item = std::find_if(items.begin(), items.end(),
                                   [&](QAction *a) { return a->text() == caption; });
    QVERIFY(item != items.end());
    (*item)->trigger();

    QCOMPARE(rig.console.lines(), (QStringList{QStringLiteral("Midi channel: ") + caption, message}));
    // The first line goes in without moving the console's view, the second scrolls.
    QCOMPARE(appended.size(), 2);
    QCOMPARE(appended[0][1].toBool(), false);
    QCOMPARE(appended[1][1].toBool(), true);
    QCOMPARE(rig.driver.writes, QList<QByteArray>{QByteArray::fromHex(message.toLatin1())});
    QVERIFY(rig.dialogs.questions.isEmpty());
    QVERIFY(rig.driver.calls.filter(QStringLiteral("purge")).isEmpty());
}

QTEST_MAIN(TestTuning)
#include "tst_tuning.moc"
