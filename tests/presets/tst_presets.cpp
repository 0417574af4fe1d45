// Preset files: the exact bytes a save writes, the file names and folders,
// loading line by line with every kind of line end, files that are partly or
// not at all presets, read and write failures, and a load through the real
// effect window: shown without sending, then exactly the changed words sent.

#include "common/Preferences.h"
#include "parameters/DialMapping.h"
#include "parameters/FxFixture.h"
#include "desktop/QtDialogs.h"
#include "presets/PresetFiles.h"
#include "protocol/Codec.h"
#include "support/RecordingShell.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QtTest>

#include <utility>

using namespace quorvane;
using namespace quorvane::test;

namespace {

const QByteArray bom("\xEF\xBB\xBF");

using Words = std::array<std::uint32_t, parameter_count>;

// Fifteen distinct words that use every digit and both extremes.
const Words sample_words = {0x00000000, 0xFFFFFFFF, 0x01234567, 0x89ABCDEF, 0x00400000,
                            0x007FE000, 0x00000001, 0x80000000, 0x0000FFFF, 0xFFFF0000,
                            0x12345678, 0x00800000, 0xDEADBEEF, 0x00000001, 0xCAFEF00D};

QByteArray contents(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

void write_file(const QString &path, const QByteArray &bytes)
{
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

// The lines of a preset file joined by `end`.
QByteArray lines(const QList<QByteArray> &fields, const QByteArray &end = "\r")
{
    QByteArray out;
    for (qsizetype i = 0; i < fields.size(); ++i)
        out += (i ? end : QByteArray()) + fields[i];
    return out;
}

QList<QByteArray> hex_fields(const Words &words)
{
    QList<QByteArray> fields;
    for (std::uint32_t w : words)
        fields.append(QByteArray::number(w, 16).toUpper().rightJustified(8, '0'));
    return fields;
}

// Presets over the real effect window (recording bridge, scripted dialogs)
// with the documents folder in a fresh temporary folder.
struct PresetRig : FxFixture {
    QTemporaryDir home;
    RecordingShell shell;
    Preferences preferences{shell, dialogs};
    PresetFiles presets{model, console, dialogs, preferences};
    int refreshes = 0;

    PresetRig()
    {
        shell.documents = home.filePath(QStringLiteral("Documents"));
        presets.show_parameters = [this] {
            ++refreshes;
            window.show_parameters();
        };
        presets.send_word = [this](ParameterRow row, std::uint32_t word) {
            window.send_parameter_word(row, word);
        };
    }

    // The throttle's tick now, then what reached the bridge since the last call.
    QList<QByteArray> sent()
    {
        window.flush_dial_writes();
        return std::exchange(driver.writes, {});
    }

    QString documents(const QString &relative) const { return shell.documents + '/' + relative; }

    // The window shows what the model holds, as after a status report:
    // nothing pending, nothing recorded.
    void settle()
    {
        window.show_parameters();
        window.dial_send_timer().clear();
        driver.writes.clear();
        console.clear();
        dialogs.reset();
    }

    void set_words(const Words &words)
    {
        for (int i = 0; i < parameter_count; ++i)
            model.set_value(ParameterRow(i), words[std::size_t(i)]);
    }
    Words words() const
    {
        Words w{};
        for (int i = 0; i < parameter_count; ++i)
            w[std::size_t(i)] = model.value(ParameterRow(i));
        return w;
    }

    // Loads `bytes` as the file the user picks.
    QString load(const QByteArray &bytes, const QString &name = QStringLiteral("picked.txt"))
    {
        const QString path = home.filePath(name);
        write_file(path, bytes);
        dialogs.fileAnswers.enqueue(path);
        presets.load_preset();
        return path;
    }
};

} // namespace

class TestPresets : public QObject {
    Q_OBJECT
private slots:
    void saveWritesTheExactBytes_data();
    void saveWritesTheExactBytes();
    void saveNamesTheFile_data();
    void saveNamesTheFile();
    void saveFailureIsReported_data();
    void saveFailureIsReported();
    void saveThenLoadRestoresEveryWord();
    void loadTakesLineByLine_data();
    void loadTakesLineByLine();
    void loadRefusesFilesThatAreNoPreset_data();
    void loadRefusesFilesThatAreNoPreset();
    void cancelledLoadChangesNothing();
    void refreshShowsTurnedSteppedDials_data();
    void refreshShowsTurnedSteppedDials();
    void loadIsRefusedWhileNothingMaySend();
    void unreadableFileChangesNothing_data();
    void unreadableFileChangesNothing();
    void loadSendsExactlyTheChangedWords();
    void everyLevelSurvivesSaveAndLoad();
    void assignedRowsAreNotApplied();
    void reverseHexBytes_data();
    void reverseHexBytes();
    void filterForQtDialogs_data();
    void filterForQtDialogs();
};

void TestPresets::saveWritesTheExactBytes_data()
{
    QTest::addColumn<Words>("words");
    QTest::addColumn<QByteArray>("expected");

    Words zeros{};
    QTest::newRow("all zeros") << zeros << bom + lines(QList<QByteArray>(15, "00000000"));
    QTest::newRow("mixed words, upper case") << sample_words << bom + lines(hex_fields(sample_words));
}

void TestPresets::saveWritesTheExactBytes()
{
    QFETCH(Words, words);
    QFETCH(QByteArray, expected);
    PresetRig rig;
    rig.set_words(words);
    const QString folder = rig.documents("Velsk/quorvane_kq5_folder/Preset");
    QVERIFY(!QFileInfo::exists(folder));
    const QString path = folder + "/mine.txt";
    rig.dialogs.fileAnswers.enqueue(path);

    rig.presets.save_preset();

    QVERIFY(QFileInfo(folder).isDir()); // made before the dialog opened
    QCOMPARE(rig.dialogs.fileRequests.size(), 1);
    const auto &request = rig.dialogs.fileRequests.first();
    QCOMPARE(request.title, QStringLiteral("Save Preset File"));
    QCOMPARE(request.folder, folder);
    QCOMPARE(request.filter, QStringLiteral("Preset files (*.txt)|*.txt"));
    QCOMPARE(request.defaultExtension, QStringLiteral("txt"));

    const QByteArray written = contents(path);
    QCOMPARE(written, expected);
    QCOMPARE(written.size(), 137);
    QCOMPARE(rig.dialogs.messages, QStringList{"File saved successfully: " + path});
    QCOMPARE(rig.words(), words); // a save changes nothing
    QVERIFY(rig.driver.writes.isEmpty());
}

void TestPresets::saveNamesTheFile_data()
{
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("saved");

    QTest::newRow("no extension") << "mine" << "mine.txt";
    QTest::newRow("upper-case extension") << "mine.TXT" << "mine.TXT.txt";
    QTest::newRow("extension given") << "mine.txt" << "mine.txt";
    QTest::newRow("other extension") << "mine.dat" << "mine.dat.txt";
}

void TestPresets::saveNamesTheFile()
{
    QFETCH(QString, typed);
    QFETCH(QString, saved);
    PresetRig rig;
    rig.set_words(sample_words);
    const QString target = rig.home.filePath(saved);
    // An existing file is replaced whole, also by a shorter one.
    write_file(target, QByteArray(1000, 'x'));
    rig.dialogs.fileAnswers.enqueue(rig.home.filePath(typed));

    rig.presets.save_preset();

    QCOMPARE(contents(target), bom + lines(hex_fields(sample_words)));
    QCOMPARE(rig.dialogs.messages, QStringList{"File saved successfully: " + target});
    if (typed != saved)
        QVERIFY(!QFileInfo::exists(rig.home.filePath(typed)));
}

void TestPresets::saveFailureIsReported_data()
{
    QTest::addColumn<QString>("blocker");   // a plain file made first
    QTest::addColumn<QString>("directory"); // a folder made first
    QTest::addColumn<QString>("target");

    QTest::newRow("target is a folder") << "" << "taken.txt" << "taken.txt";
    QTest::newRow("folder is a file") << "plain" << "" << "plain/mine.txt";
}

void TestPresets::saveFailureIsReported()
{
    QFETCH(QString, blocker);
    QFETCH(QString, directory);
    QFETCH(QString, target);
    PresetRig rig;
    if (!blocker.isEmpty())
        write_file(rig.home.filePath(blocker), "not a folder");
    if (!directory.isEmpty())
        QVERIFY(QDir(rig.home.path()).mkpath(directory));
    rig.dialogs.fileAnswers.enqueue(rig.home.filePath(target));

    QVERIFY(!rig.presets.write_preset_file(preset_text_of(rig.model)));

    QCOMPARE(rig.dialogs.messages.size(), 1);
    QVERIFY2(rig.dialogs.messages.first().startsWith("Error saving file: "),
             qPrintable(rig.dialogs.messages.first()));
    QVERIFY(rig.dialogs.messages.first().size() > QString("Error saving file: ").size());
    if (!blocker.isEmpty())
        QCOMPARE(contents(rig.home.filePath(blocker)), QByteArray("not a folder"));
}

void TestPresets::saveThenLoadRestoresEveryWord()
{
    PresetRig rig;
    rig.set_words(sample_words);
    const QString path = rig.documents("Velsk/quorvane_kq5_folder/Preset/round.txt");
    rig.dialogs.fileAnswers.enqueue(path);
    rig.presets.save_preset();

    // Without the window's refresh, which moves controls and their handlers
    // store the words the controls stand for.
    rig.presets.show_parameters = [&rig] { ++rig.refreshes; };
    rig.set_words(Words{});
    rig.dialogs.reset();
    const QString load_folder = rig.documents("Velsk/Quorvane KQ5/Preset");
    QVERIFY(!QFileInfo::exists(load_folder));
    rig.dialogs.fileAnswers.enqueue(path);

    rig.presets.load_preset();

    QCOMPARE(rig.words(), sample_words);
    QCOMPARE(rig.refreshes, 1);
    QVERIFY(QFileInfo(load_folder).isDir());
    QCOMPARE(rig.dialogs.fileRequests.size(), 1);
    const auto &request = rig.dialogs.fileRequests.first();
    QCOMPARE(request.title, QStringLiteral("Open Preset File"));
    QCOMPARE(request.folder, load_folder);
    QCOMPARE(request.filter, QStringLiteral("Preset files (*.txt)|*.txt"));
    QCOMPARE(request.defaultExtension, QStringLiteral("txt"));
    QCOMPARE(rig.dialogs.messages, QStringList{"File loaded successfully: " + path});
    // The whole text as one console line: every line followed by CR LF.
    QVERIFY(rig.console.lines().contains(
        QString::fromLatin1(lines(hex_fields(sample_words), "\r\n") + "\r\n")));
}

void TestPresets::loadTakesLineByLine_data()
{
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QList<int>>("unchanged"); // rows (from 0) the file leaves alone
    QTest::addColumn<QString>("message");      // before the file name

    const QList<QByteArray> f = hex_fields(sample_words);
    const QString ok = "File loaded successfully: ";
    QTest::newRow("CR") << bom + lines(f, "\r") << QList<int>{} << ok;
    QTest::newRow("LF") << bom + lines(f, "\n") << QList<int>{} << ok;
    QTest::newRow("CR LF") << bom + lines(f, "\r\n") << QList<int>{} << ok;
    QTest::newRow("no byte-order mark, last line ended") << lines(f, "\r\n") + "\r\n" << QList<int>{} << ok;
    QTest::newRow("lower-case digits") << lines(f).toLower() << QList<int>{} << ok;
    QTest::newRow("lines past the fifteenth") << lines(f + QList<QByteArray>{"junk", "00000000"})
                                              << QList<int>{} << ok;
    QTest::newRow("trailing blank lines") << bom + lines(f) + "\r\n\r\n \r\n" << QList<int>{} << ok;
    QTest::newRow("ten lines") << bom + lines(f.mid(0, 10)) << QList<int>{10, 11, 12, 13, 14}
                               << "Preset loaded with 10 of 15 values: ";
    QTest::newRow("ten lines, a blank line after") << bom + lines(f.mid(0, 10)) + "\r\n\r\n"
                                                   << QList<int>{10, 11, 12, 13, 14}
                                                   << "Preset loaded with 10 of 15 values: ";

    auto with = [&f](int row, const QByteArray &field) {
        QList<QByteArray> g = f;
        g[row] = field;
        return bom + lines(g, "\r\n");
    };
    const QString one_left = "Preset loaded with 14 of 15 values: ";
    QTest::newRow("bad character in the last pair") << with(2, "012345G7") << QList<int>{2} << one_left;
    QTest::newRow("bad character in the first pair") << with(3, "X9ABCDEF") << QList<int>{3} << one_left;
    QTest::newRow("nine digits") << with(4, "004000001") << QList<int>{4} << one_left;
    QTest::newRow("seven digits") << with(5, "007FE00") << QList<int>{5} << one_left;
    QTest::newRow("trailing space") << with(6, "00000001 ") << QList<int>{6} << one_left;
    QTest::newRow("sign") << with(7, "-0000001") << QList<int>{7} << one_left;
    QTest::newRow("empty line") << with(8, "") << QList<int>{8} << one_left;
    QTest::newRow("non-ASCII digit") << with(9, QString("1234567\u0661").toUtf8()) << QList<int>{9}
                                     << one_left;
    // A longer line never shifts the lines after it.
    QTest::newRow("long line, then good ones") << with(0, "0000000000000000") << QList<int>{0}
                                               << one_left;

    QList<QByteArray> g = f.mid(0, 12);
    g[1] = "nope";
    g[11] = "00000";
    QTest::newRow("twelve lines, two bad") << lines(g, "\n") << QList<int>{1, 11, 12, 13, 14}
                                           << "Preset loaded with 10 of 15 values: ";
}

void TestPresets::loadTakesLineByLine()
{
    QFETCH(QByteArray, file);
    QFETCH(QList<int>, unchanged);
    QFETCH(QString, message);
    PresetRig rig;
    rig.presets.show_parameters = [&rig] { ++rig.refreshes; };
    Words before{};
    for (int i = 0; i < parameter_count; ++i)
        before[std::size_t(i)] = 0x5A5A5A00u + std::uint32_t(i);
    rig.set_words(before);

    const QString path = rig.load(file);

    Words expected = sample_words;
    for (int row : unchanged)
        expected[std::size_t(row)] = before[std::size_t(row)];
    QCOMPARE(rig.words(), expected);
    QCOMPARE(rig.dialogs.messages, QStringList{message + path});
    QCOMPARE(rig.refreshes, 1);
}

void TestPresets::loadRefusesFilesThatAreNoPreset_data()
{
    QTest::addColumn<QByteArray>("file");

    QTest::newRow("prose") << QByteArray("Dear diary,\r\ntoday I turned the Dry knob.\r\n");
    QTest::newRow("empty file") << QByteArray();
    QTest::newRow("byte-order mark only") << bom;
    QTest::newRow("blank lines") << QByteArray("\r\n\r\n\n");
    QTest::newRow("one line of many digits") << lines(hex_fields(sample_words), "");
    QTest::newRow("binary") << QByteArray("\x00\xFF\x13\x37\r\x89PNG\x1A\n", 12);
}

void TestPresets::loadRefusesFilesThatAreNoPreset()
{
    QFETCH(QByteArray, file);
    PresetRig rig;
    rig.load_0008();
    rig.set_words(sample_words);

    const QString path = rig.load(file);

    QCOMPARE(rig.words(), sample_words);
    QCOMPARE(rig.dialogs.messages, QStringList{"Not a preset file: " + path});
    QCOMPARE(rig.refreshes, 0);
    QVERIFY(rig.sent().isEmpty());
}

void TestPresets::cancelledLoadChangesNothing()
{
    PresetRig rig;
    rig.load_0008();
    rig.settle();
    // A dial between two angles, as after a report: re-derived from its
    // angle, its word would come out different.
    rig.model.set_value(ParameterRow::dry, 0x003FC000);
    rig.model.set_value(ParameterRow::first_harmonic, 0x12345678);
    rig.window.show_parameters();
    const Words words = rig.words();
    const int dry_angle = rig.dial("dialDry")->angle();

    rig.presets.load_preset(); // no answer scripted: cancelled

    QCOMPARE(rig.refreshes, 0);
    QCOMPARE(rig.words(), words);
    QCOMPARE(rig.dial("dialDry")->angle(), dry_angle);
    QVERIFY(rig.dialogs.messages.isEmpty());
    QCOMPARE(rig.console.lines(), QStringList{QString()}); // the empty text, as one line
    QVERIFY(QFileInfo(rig.documents("Velsk/Quorvane KQ5/Preset")).isDir());
    QVERIFY(!rig.window.dial_send_timer().has_pending());
    QVERIFY(rig.sent().isEmpty());
}

// The filter and range dials send dial words, while the pedal reports their
// steps; showing the model puts a word their dial sent where the dial stood,
// not at its end, and sends nothing.
void TestPresets::refreshShowsTurnedSteppedDials_data()
{
    QTest::addColumn<QString>("dial");
    QTest::addColumn<int>("row");
    QTest::newRow("Low Pass") << "dialLowPass" << int(ParameterRow::low_pass);
    QTest::newRow("High Pass") << "dialHighPass" << int(ParameterRow::high_pass);
    QTest::newRow("Range") << "dialRange" << int(ParameterRow::range);
}

void TestPresets::refreshShowsTurnedSteppedDials()
{
    QFETCH(QString, dial);
    QFETCH(int, row);
    PresetRig rig;
    rig.load_0008();
    rig.settle();
    ArcDial *d = rig.dial(qPrintable(dial));
    d->setAngle(90);
    QCOMPARE(rig.model.value(ParameterRow(row)), 0x003FC000u);
    QCOMPARE(rig.sent().size(), 1);

    rig.window.show_parameters();

    QVERIFY2(qAbs(d->angle() - 90) <= 2, qPrintable(QString::number(d->angle())));
    QCOMPARE(rig.model.value(ParameterRow(row)), 0x003FC000u);
    QVERIFY(rig.sent().isEmpty());
}

void TestPresets::loadIsRefusedWhileNothingMaySend()
{
    PresetRig rig;
    rig.load_0008();
    rig.set_words(sample_words);
    rig.presets.refuse_to_send = [&rig] {
        rig.dialogs.message("refused");
        return true;
    };
    const QString path = rig.home.filePath("p.txt");
    write_file(path, bom + lines(hex_fields(Words{})));
    rig.dialogs.fileAnswers.enqueue(path);

    rig.presets.load_preset();

    QCOMPARE(rig.dialogs.messages, QStringList{"refused"});
    QVERIFY(rig.dialogs.fileRequests.isEmpty());
    QCOMPARE(rig.words(), sample_words);
    QCOMPARE(rig.refreshes, 0);
    QVERIFY(rig.console.lines().isEmpty());
}

void TestPresets::unreadableFileChangesNothing_data()
{
    QTest::addColumn<QString>("picked");
    QTest::addColumn<QByteArray>("bytes"); // written to the picked name first ("" = nothing)

    QTest::newRow("missing file") << "gone.txt" << QByteArray();
    QTest::newRow("too large for a preset")
        << "huge.txt" << QByteArray(max_preset_file_size + 1, '0');
}

void TestPresets::unreadableFileChangesNothing()
{
    QFETCH(QString, picked);
    QFETCH(QByteArray, bytes);
    PresetRig rig;
    rig.set_words(sample_words);
    const QString path = rig.home.filePath(picked);
    if (!bytes.isEmpty())
        write_file(path, bytes);
    rig.dialogs.fileAnswers.enqueue(path);
    const int console_lines = rig.console.lines().size();

    rig.presets.load_preset();

    QCOMPARE(rig.words(), sample_words);
    QCOMPARE(rig.dialogs.messages.size(), 1);
    QVERIFY2(rig.dialogs.messages.first().startsWith("Error loading file: "),
             qPrintable(rig.dialogs.messages.first()));
    QCOMPARE(rig.refreshes, 0);
    QCOMPARE(rig.console.lines().size(), console_lines);
}

// Every row the file changes goes out with exactly the file's word: switches,
// the list and the boxes at once, the dials at the throttle's tick. Rows the
// file leaves as they are, and "1st Harmonic", send nothing.
void TestPresets::loadSendsExactlyTheChangedWords()
{
    PresetRig rig;
    rig.load_0008();
    rig.list("cmbGuitarTuning")->setCurrentIndex(1); // the cuts need a tuning
    rig.model.set_value(ParameterRow::sub_mix, 0x00202000);
    rig.settle();
    Words w = rig.words();
    w[std::size_t(ParameterRow::dry)] = 0x003FC000;      // between two dial angles
    w[std::size_t(ParameterRow::low_pass)] = 12;         // a step, as the pedal reports it
    w[std::size_t(ParameterRow::wave)] = wave_on_value;
    w[std::size_t(ParameterRow::input_level)] = 0x007FE000;
    w[std::size_t(ParameterRow::harmonic_pitch)] = 0x00800000;
    w[std::size_t(ParameterRow::dominant_notes_cut)] = 1;
    w[std::size_t(ParameterRow::first_harmonic)] = 0x00200000; // shown, never sent

    const QString path = rig.load(bom + lines(hex_fields(w)));

    QCOMPARE(rig.dialogs.messages, QStringList{"File loaded successfully: " + path});
    QCOMPARE(rig.words(), w);
    // At once, in row order.
    QCOMPARE(rig.driver.writes,
             (QList<QByteArray>{bytes("01 00 03 00 40 00 00"),   // Wave on
                                bytes("01 00 6E 00 80 00 00"),   // 1st Harmonic Pitch +12
                                bytes("01 00 1B 00 00 00 01")})); // Dominant Notes Cut
    QVERIFY(rig.console.lines().contains("write to DSP msg: 01001B00000001"));
    // Then the dials, together at the tick.
    QCOMPARE(rig.sent().mid(3), (QList<QByteArray>{bytes("01 00 0B 00 3F C0 00"),    // Dry
                                                   bytes("01 00 CC 00 00 00 0C"),    // Low Pass
                                                   bytes("01 00 0A 00 7F E0 00")})); // Input Level
    QCOMPARE(rig.dial("dialDry")->readout(), QStringLiteral("510"));
    QCOMPARE(rig.dial("dialLowPass")->readout(), QStringLiteral("12 / 24"));

    // The same file again changes nothing, so sends nothing.
    rig.dialogs.reset();
    rig.load(bom + lines(hex_fields(w)));
    QCOMPARE(rig.dialogs.messages.size(), 1);
    QVERIFY(rig.sent().isEmpty());
}

// For every level of every full-scale dial that sends: the word in the
// model, save, the dial turned elsewhere by the user, load, save again. The
// two files are the same bytes and the pedal got exactly the file's word.
void TestPresets::everyLevelSurvivesSaveAndLoad()
{
    PresetRig rig;
    rig.load_0008();
    rig.settle();
    const QString first = rig.home.filePath("first.txt");
    const QString again = rig.home.filePath("again.txt");
    const ParameterRow rows[] = {ParameterRow::dry,         ParameterRow::sub_mix,
                                 ParameterRow::minus_1_oct, ParameterRow::minus_2_oct,
                                 ParameterRow::input_level, ParameterRow::wave_clip};
    for (ParameterRow row : rows) {
        ArcDial *dial = rig.window.dial_of(row);
        const QByteArray address = QByteArray::fromHex(hex4(rig.model.address(row)).toLatin1());
        for (std::uint32_t level = 0; level <= std::uint32_t(dial_max_level); ++level) {
            const std::uint32_t word = level << dial_word_shift;
            rig.model.set_value(row, word);
            rig.window.show_parameters();
            rig.dialogs.fileAnswers.enqueue(first);
            rig.presets.save_preset();

            dial->setAngle(level < 512 ? dial_max_angle : dial_min_angle); // the user turns it
            QVERIFY(rig.model.value(row) != word);
            rig.sent();

            rig.dialogs.fileAnswers.enqueue(first);
            rig.presets.load_preset();
            const QList<QByteArray> sent = rig.sent();
            rig.dialogs.fileAnswers.enqueue(again);
            rig.presets.save_preset();

            const QByteArray expected = QByteArray::fromHex("01") + address
                                        + QByteArray::fromHex(hex8(word).toLatin1());
            if (sent != QList<QByteArray>{expected} || contents(first) != contents(again)) {
                QFAIL(qPrintable(QStringLiteral("%1 level %2: sent %3, files %4")
                                     .arg(rig.model.parameter_name(row))
                                     .arg(level)
                                     .arg(sent.isEmpty() ? QStringLiteral("nothing") : spaced(sent.last()))
                                     .arg(contents(first) == contents(again) ? "equal" : "differ")));
            }
            rig.dialogs.reset();
            rig.console.clear();
        }
    }
}

// A row a control slot holds keeps its word and sends nothing; the box counts
// it apart from the lines that do not parse.
void TestPresets::assignedRowsAreNotApplied()
{
    PresetRig rig;
    rig.load_0008();
    rig.model.assignable(ParameterRow::input_level).is_assigned = true;
    rig.model.assignable(ParameterRow::wave_clip).is_assigned = true;
    rig.model.set_value(ParameterRow::input_level, 0x00100000);
    rig.settle();
    const Words before = rig.words();
    Words w = before;
    w[std::size_t(ParameterRow::dry)] = 0x003FC000;
    w[std::size_t(ParameterRow::input_level)] = 0x007FE000;
    w[std::size_t(ParameterRow::wave_clip)] = 0x00002000;
    QList<QByteArray> fields = hex_fields(w);
    fields[std::size_t(ParameterRow::split)] = "on"; // does not parse

    const QString path = rig.load(bom + lines(fields));

    QCOMPARE(rig.dialogs.messages,
             QStringList{"Preset loaded with 12 of 15 values: " + path
                         + " (2 assigned to a control, not applied)"});
    Words expected = before;
    expected[std::size_t(ParameterRow::dry)] = 0x003FC000;
    QCOMPARE(rig.words(), expected);
    QCOMPARE(rig.sent(), QList<QByteArray>{bytes("01 00 0B 00 3F C0 00")});
    QCOMPARE(rig.dial("dialInputLevel")->readout(), QStringLiteral("128"));
}

void TestPresets::reverseHexBytes_data()
{
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("word") << "00400000" << "00004000";
    QTest::newRow("every pair distinct") << "12345678" << "78563412";
    QTest::newRow("short text keeps its place") << "1234" << "    3412";
}

void TestPresets::reverseHexBytes()
{
    QFETCH(QString, in);
    QFETCH(QString, out);
    QCOMPARE(reverse_hex_bytes(in), out);
}

void TestPresets::filterForQtDialogs_data()
{
    QTest::addColumn<QString>("in");
    QTest::addColumn<QString>("out");
    QTest::newRow("preset") << "Preset files (*.txt)|*.txt" << "Preset files (*.txt)";
    QTest::newRow("pattern added") << "Presets|*.txt" << "Presets (*.txt)";
    QTest::newRow("two pairs, two patterns") << "Text (*.txt)|*.txt|All|*.txt;*.dat"
                                             << "Text (*.txt);;All (*.txt *.dat)";
    QTest::newRow("already Qt's") << "Dat files (*.dat)" << "Dat files (*.dat)";
}

void TestPresets::filterForQtDialogs()
{
    QFETCH(QString, in);
    QFETCH(QString, out);
    QCOMPARE(qt_file_filter(in), out);
}

QTEST_MAIN(TestPresets)
#include "tst_presets.moc"
