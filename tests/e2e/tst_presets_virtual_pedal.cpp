// The whole editor against the virtual pedal: "Load Preset" from the File
// menu gives the pedal exactly the file's words, "Save Preset" writes what
// the editor holds, a cancelled load sends nothing, and while the pedal waits
// in its bootloader a load does nothing but say why.

#include "SimEditor.h"

#include "parameters/ParameterModel.h"
#include "parameters/TformFXsettings.h"
#include "presets/PresetFiles.h"
#include "protocol/Codec.h"
#include "protocol/Sender.h"

#include <QDir>
#include <QFile>

using namespace quorvane;
using quorvane::test::pedal;
using quorvane::test::SimEditor;

namespace {

using Words = std::array<std::uint32_t, parameter_count>;

QByteArray preset_file(const Words &words)
{
    QStringList fields;
    for (std::uint32_t w : words)
        fields.append(hex8(w));
    return QByteArray("\xEF\xBB\xBF") + fields.join('\r').toLatin1();
}

void write_file(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class TestPresetsVirtualPedal : public QObject {
    Q_OBJECT
private slots:
    void loadReachesThePedalAndSaveWritesIt();
    void cancelledLoadSendsNothing();
    void loadIsRefusedWhileTheBootloaderListens();
};

void TestPresetsVirtualPedal::loadReachesThePedalAndSaveWritesIt()
{
    SimEditor e(pedal(10));
    e.link();
    QVERIFY(e.connection().is_linked);
    e.dialogs.reset();
    ParameterModel &model = e.editor->parameters();

    Words preset{};
    for (int i = 0; i < parameter_count; ++i)
        preset[std::size_t(i)] = model.value(ParameterRow(i));
    auto set = [&preset](ParameterRow row, std::uint32_t word) { preset[std::size_t(row)] = word; };
    set(ParameterRow::dry, 0x003FC000);
    set(ParameterRow::sub_mix, 0x007FE000);
    set(ParameterRow::low_pass, 0x00400000); // a dial word, as the Low Pass dial sends (step 12)
    set(ParameterRow::wave, model.value(ParameterRow::wave) == wave_on_value ? wave_off_value
                                                                             : wave_on_value);
    set(ParameterRow::split, model.value(ParameterRow::split) == 1 ? 0 : 1);
    set(ParameterRow::input_level, 0x00200000);
    set(ParameterRow::harmonic_pitch, harmonic_pitch_table[24]);
    const QString path = e.home.filePath("live.txt");
    write_file(path, preset_file(preset));

    e.dialogs.fileAnswers.enqueue(path);
    e.trigger("menuLoadPreset");
    QCOMPARE(e.dialogs.messages, QStringList{"File loaded successfully: " + path});

    // Switches and the list at once, the dials at the throttle's tick; each
    // exactly the file's word.
    const auto &words = e.driver.model().settings().words;
    QTRY_COMPARE(words[std::size_t(ParameterRow::dry)], 0x003FC000u);
    QTRY_COMPARE(words[std::size_t(ParameterRow::sub_mix)], 0x007FE000u);
    QTRY_COMPARE(words[std::size_t(ParameterRow::low_pass)], 0x00400000u);
    QTRY_COMPARE(words[std::size_t(ParameterRow::input_level)], 0x00200000u);
    QCOMPARE(words[std::size_t(ParameterRow::wave)], preset[std::size_t(ParameterRow::wave)]);
    QCOMPARE(words[std::size_t(ParameterRow::split)], preset[std::size_t(ParameterRow::split)]);
    QCOMPARE(words[std::size_t(ParameterRow::harmonic_pitch)], 0x00800000u);

    // Saved again, the file holds what the editor holds now.
    e.dialogs.reset();
    const QString saved = e.shell.documents + "/Velsk/quorvane_kq5_folder/Preset/again";
    e.dialogs.fileAnswers.enqueue(saved);
    e.trigger("menuSavePreset");
    QCOMPARE(e.dialogs.messages, QStringList{"File saved successfully: " + saved + ".txt"});
    Words now{};
    for (int i = 0; i < parameter_count; ++i)
        now[std::size_t(i)] = model.value(ParameterRow(i));
    QFile file(saved + ".txt");
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), preset_file(now));
    QCOMPARE(now, preset);
}

void TestPresetsVirtualPedal::cancelledLoadSendsNothing()
{
    SimEditor e(pedal(10));
    e.link();
    ParameterModel &model = e.editor->parameters();
    // A word between two dial angles, shown as a report would show it.
    model.set_value(ParameterRow::dry, 0x003FC000);
    e.editor->fxSettings().show_parameters();
    e.dialogs.reset();
    const qint64 received = e.driver.model().bytesReceived();

    e.trigger("menuLoadPreset"); // no file picked: cancelled

    QVERIFY(e.dialogs.messages.isEmpty());
    QCOMPARE(model.value(ParameterRow::dry), 0x003FC000u);
    QVERIFY(!e.editor->fxSettings().dial_send_timer().has_pending());
    QCOMPARE(e.driver.model().bytesReceived(), received);
}

void TestPresetsVirtualPedal::loadIsRefusedWhileTheBootloaderListens()
{
    SimEditor e(pedal(10));
    e.link();
    e.dialogs.answers.enqueue(Answer::Yes);
    e.trigger("menuFirmwareUpgradeMode");
    QCOMPARE(e.driver.model().mode(), PedalModel::Mode::Bootloader);
    e.dialogs.reset();
    const qint64 received = e.driver.model().bytesReceived();

    Words preset{};
    preset[std::size_t(ParameterRow::dry)] = 0x007FE000;
    preset[std::size_t(ParameterRow::harmonic_pitch)] = harmonic_pitch_table[3];
    const QString path = e.home.filePath("p.txt");
    write_file(path, preset_file(preset));
    e.dialogs.fileAnswers.enqueue(path);
    e.run([&] { e.main().menuLoadPresetClick(); });

    QCOMPARE(e.dialogs.messages, QStringList{bootloader_busy_text});
    QVERIFY(e.dialogs.fileRequests.isEmpty());
    QVERIFY(!e.editor->fxSettings().dial_send_timer().has_pending());
    QCOMPARE(e.driver.model().bytesReceived(), received);
    QVERIFY(e.editor->parameters().value(ParameterRow::dry) != 0x007FE000u);
}

QTEST_MAIN(TestPresetsVirtualPedal)
#include "tst_presets_virtual_pedal.moc"
