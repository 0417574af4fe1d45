// kq5ctl as a program against kq5-pedal-sim on a pseudo-terminal: what each
// command puts on the wire (read back from the pedal's own log), what it
// prints, and its exit code.

#include "effects/Catalogue.h"
#include "parameters/DialMapping.h"
#include "parameters/ParameterModel.h"
#include "protocol/Codec.h"
#include "CtlRun.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QtTest>

using namespace quorvane;
using namespace quorvane::test;

namespace {

// A parameter's DSP address in the effect the virtual pedal runs.
QString address_of(ParameterRow row)
{
    ParameterModel model;
    const auto image = builtin_effect_image(QStringLiteral("Quorvane KQ5 0011"));
    if (!image || !load_parameter_addresses(model, image->text, nullptr))
        return QStringLiteral("<no image>");
    return hex4(model.address(row));
}

// "01 AAAA WWWWWWWW" as the pedal logs it.
QString dsp_write(ParameterRow row, std::uint32_t word)
{
    return received(QStringLiteral("01") + address_of(row) + hex8(word));
}

} // namespace

class TestKq5Ctl : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void commands_data();
    void commands();
    void statusIsThePedals();
    void presetRoundTrip();
    void helpFitsEightyColumns();
};

void TestKq5Ctl::initTestCase()
{
    QVERIFY2(QFileInfo::exists(ctl_program()), qPrintable(ctl_program()));
}

void TestKq5Ctl::commands_data()
{
    QTest::addColumn<QStringList>("pedal");   // kq5-pedal-sim's options; "none": no pedal
    QTest::addColumn<QStringList>("args");    // kq5ctl's, after --port
    QTest::addColumn<int>("code");
    QTest::addColumn<QString>("printed");     // in stdout or stderr
    QTest::addColumn<QString>("sent");        // the start of a line of the pedal's log; "" none
    QTest::addColumn<QString>("notSent");     // a start of line the log must not hold

    const QStringList plain;
    QTest::newRow("set a word, exactly") << plain << QStringList{"set", "Dry", "0x003FC000"} << 0
                                         << "Dry = 0x003FC000" << dsp_write(ParameterRow::dry, 0x003FC000) << "";
    QTest::newRow("set a level, any case") << plain << QStringList{"set", "sub-MIX", "level:510"} << 0 << ""
                                           << dsp_write(ParameterRow::sub_mix, 510u << 13) << "";
    QTest::newRow("set a step as the dial sends it")
        << plain << QStringList{"set", "Low Pass", "step:12"} << 0 << ""
        << dsp_write(ParameterRow::low_pass, stepped_dial_word(12, low_pass_steps)) << "";
    QTest::newRow("set a switch") << plain << QStringList{"set", "wave", "off"} << 0 << ""
                                  << dsp_write(ParameterRow::wave, wave_off_value) << "";
    QTest::newRow("store asks: refused on a pipe") << plain << QStringList{"store"} << 4 << "give --yes" << ""
                                                   << "recv 03";
    QTest::newRow("store with --yes") << plain << QStringList{"--yes", "store"} << 0 << ""
                                      << "recv 03 00 40 00 00 00 40 00 00 00 40 00 00 00 00 00 00 00 00 00 00"
                                      << "";
    QTest::newRow("set --store asks too") << plain << QStringList{"set", "Dry", "0x0", "--store"} << 4
                                          << "give --yes" << dsp_write(ParameterRow::dry, 0) << "recv 03";
    QTest::newRow("footswitch keeps the other press")
        << plain << QStringList{"footswitch", "long", "bypass"} << 0 << "" << "recv 08 00 01" << "";
    QTest::newRow("1st Harmonic is never sent") << plain << QStringList{"set", "1st Harmonic", "0x1"} << 4
                                                << "never sent" << "" << "recv 01";
    QTest::newRow("a cut needs a tuning") << plain << QStringList{"set", "High Notes Cut", "on"} << 4
                                          << "uploaded a tuning" << "" << "recv 01";
    QTest::newRow("console prints the answer") << plain << QStringList{"console", "0200"} << 0
                                               << "< 31 30 0D 0A" << "recv 02 00" << "";
    QTest::newRow("assign asks: refused on a pipe") << plain << QStringList{"assign", "I", "input level"} << 4
                                                    << "give --yes" << "" << "recv 04";
    QTest::newRow("assign with --yes")
        << plain << QStringList{"--yes", "assign", "I", "Input Level"} << 0 << ""
        << received("04" "0100000000" + address_of(ParameterRow::input_level) + "FFFFFFFFFFFFFFFF") << "";
    QTest::newRow("assign the remote footswitch") << plain << QStringList{"--yes", "assign", "remote", "bypass"}
                                                  << 0 << "" << received("04" "0000000001" "FFFFFFFFFFFFFFFFFFFE")
                                                  << "";
    QTest::newRow("a cut in a slot needs a tuning") << plain << QStringList{"--yes", "assign", "III", "high-notes-cut"}
                                                    << 4 << "No tuning selected" << "" << "recv 04";
    QTest::newRow("a slot holds only its own") << plain << QStringList{"assign", "I", "Split"} << 1
                                               << "control I holds" << "" << "recv";
    QTest::newRow("tuning asks: refused on a pipe") << plain << QStringList{"tuning", "set", "1"} << 4
                                                    << "give --yes" << "" << "recv 09";
    QTest::newRow("tuning and semitone shift") << plain << QStringList{"--yes", "tuning", "set", "1", "-2"} << 0
                                               << "" << "recv 09 01 FE" << "";
    QTest::newRow("tuning data") << plain << QStringList{"--yes", "tuning", "upload"} << 0 << ""
                                 << "recv 0E " << "";
    QTest::newRow("instrument") << plain << QStringList{"--yes", "instrument", "bass"} << 0 << "" << "recv 0F "
                                << "";
    QTest::newRow("MIDI channel") << plain << QStringList{"midi-channel", "12"} << 0 << "" << "recv 07 0C" << "";
    QTest::newRow("MIDI omni") << plain << QStringList{"midi-channel", "omni"} << 0 << "" << "recv 07 00" << "";
    QTest::newRow("no MIDI channel 17") << plain << QStringList{"midi-channel", "17"} << 1 << "usage" << ""
                                        << "recv";
    QTest::newRow("effect upload") << plain << QStringList{"--yes", "effect", "upload", "0011"} << 0
                                   << "Upload OK 0011" << "recv 00 " << "";
    QTest::newRow("effect upload asks") << plain << QStringList{"effect", "upload"} << 4 << "give --yes" << ""
                                        << "recv 00 ";
    QTest::newRow("not an effect file") << plain << QStringList{"--yes", "effect", "upload", "/etc/passwd"} << 1
                                        << "Not an effect file" << "" << "recv";
    QTest::newRow("no such tuning") << plain << QStringList{"tuning", "set", "9"} << 1 << "a tuning is" << ""
                                    << "recv";
    QTest::newRow("bad value") << plain << QStringList{"set", "Dry", "loud"} << 1 << "Try 'kq5ctl --help'."
                               << "" << "recv";
    QTest::newRow("step of a plain dial") << plain << QStringList{"set", "Dry", "step:3"} << 1 << "no steps"
                                          << "" << "recv";
    QTest::newRow("unknown name") << plain << QStringList{"get", "Volume"} << 1 << "kq5ctl names" << ""
                                  << "recv";
    QTest::newRow("unknown command") << plain << QStringList{"frobnicate"} << 1 << "Try 'kq5ctl --help'."
                                     << "" << "recv";
    QTest::newRow("silent pedal") << QStringList{"--fault", "silent"} << QStringList{"status"} << 3
                                  << "firmware upgrade --resume" << "recv 02 00" << "";
    QTest::newRow("no pedal") << QStringList{"none"} << QStringList{"status"} << 2 << "no pedal at" << ""
                              << "";
}

void TestKq5Ctl::commands()
{
    QFETCH(QStringList, pedal);
    QFETCH(QStringList, args);
    QFETCH(int, code);
    QFETCH(QString, printed);
    QFETCH(QString, sent);
    QFETCH(QString, notSent);

    const bool none = pedal == QStringList{"none"};
    LoggedPedal p(none ? QStringList{} : pedal);
    QVERIFY(p.sim.started);
    const QString port = none ? p.dir.filePath("no-such-port") : p.sim.path;
    const CtlRun r = run_ctl(QStringList{"--port", port} + args);
    QVERIFY2(r.code == code, qPrintable(QStringLiteral("exit %1, stderr: %2").arg(r.code).arg(r.err)));
    if (!printed.isEmpty())
        QVERIFY2((r.out + r.err).contains(printed), qPrintable(r.out + r.err));
    if (!sent.isEmpty())
        QTRY_VERIFY2(p.holds(sent), qPrintable(p.lines().join('\n')));
    const QStringList log = p.lines();
    if (!notSent.isEmpty()) {
        for (const QString &line : log)
            QVERIFY2(!line.startsWith(notSent), qPrintable(line));
    }
}

void TestKq5Ctl::statusIsThePedals()
{
    // The report as the pedal sent it, decoded here from its log.
    LoggedPedal p({"--firmware", "10", "--effect", "0"});
    QVERIFY(p.sim.started);
    QVERIFY(run_ctl({"--port", p.sim.path, "set", "Dry", "0x003FC000"}).code == 0);
    const CtlRun r = run_ctl({"--port", p.sim.path, "--json", "status"});
    QCOMPARE(r.code, 0);
    const QJsonObject status = QJsonDocument::fromJson(r.out.toUtf8()).object();

    QString reply;
    for (const QString &line : p.lines())
        if (line.startsWith("send 31 30 0D 0A")) // the status reply of firmware 10
            reply = line.mid(5);
    QVERIFY(!reply.isEmpty());
    const QStringList texts =
        QString::fromLatin1(QByteArray::fromHex(reply.remove(' ').toLatin1())).split("\r\n", Qt::SkipEmptyParts);
    QCOMPARE(texts.size(), 83);
    std::vector<std::uint32_t> v;
    for (const QString &t : texts)
        v.push_back(t.toUInt());

    QCOMPARE(status.value("firmware").toInt(), int(v[0]));
    QCOMPARE(status.value("algorithm").toString(), hex2(std::uint8_t(v[1])) + hex2(std::uint8_t(v[2])));
    const QJsonObject words = status.value("parameters").toObject();
    const QJsonObject values = status.value("values").toObject();
    ParameterModel names;
    QCOMPARE(words.size(), parameter_count);
    for (int i = 0; i < parameter_count; ++i) {
        const std::size_t at = 23 + 4 * std::size_t(i);
        const std::uint32_t word = v[at] << 24 | v[at + 1] << 16 | v[at + 2] << 8 | v[at + 3];
        const QString name = names.parameter_name(ParameterRow(i));
        QCOMPARE(words.value(name).toString(), hex8(word));
        QVERIFY2(values.contains(name), qPrintable(name));
    }
    QCOMPARE(words.value("Dry").toString(), "003FC000");
    QCOMPARE(values.value("Dry").toInt(), 510);
}

void TestKq5Ctl::presetRoundTrip()
{
    // Saved, changed on the pedal, loaded back (its word sent exactly), and
    // saved again: the two files are the same bytes.
    LoggedPedal p({});
    QVERIFY(p.sim.started);
    const QString first = p.dir.filePath("first.txt"), second = p.dir.filePath("second.txt");
    const QStringList port{"--port", p.sim.path};
    QCOMPARE(run_ctl(port + QStringList{"set", "Dry", "0x00190000"}).code, 0);
    QCOMPARE(run_ctl(port + QStringList{"preset", "save", first}).code, 0);
    QCOMPARE(run_ctl(port + QStringList{"set", "Dry", "level:900"}).code, 0);
    const CtlRun load = run_ctl(port + QStringList{"preset", "load", first});
    QCOMPARE(load.code, 0);
    QVERIFY2(load.out.contains("File loaded successfully: " + first), qPrintable(load.out));
    QTRY_COMPARE(p.lines().filter(QRegularExpression("^recv 01 ")).last(), dsp_write(ParameterRow::dry, 0x00190000));
    QCOMPARE(run_ctl(port + QStringList{"preset", "save", second}).code, 0);
    QFile a(first), b(second);
    QVERIFY(a.open(QIODevice::ReadOnly) && b.open(QIODevice::ReadOnly));
    const QByteArray bytes = a.readAll();
    QCOMPARE(bytes.size(), 137);
    QCOMPARE(b.readAll(), bytes);

    // Not a preset: said, and nothing sent.
    const QString junk = p.dir.filePath("junk.txt");
    QFile j(junk);
    QVERIFY(j.open(QIODevice::WriteOnly));
    j.write("hello\n");
    j.close();
    const qsizetype writes = p.lines().filter(QRegularExpression("^recv 01 ")).size();
    const CtlRun bad = run_ctl(port + QStringList{"preset", "load", junk});
    QCOMPARE(bad.code, 1);
    QVERIFY2(bad.err.contains("Not a preset file: "), qPrintable(bad.err));
    QCOMPARE(p.lines().filter(QRegularExpression("^recv 01 ")).size(), writes);
}

void TestKq5Ctl::helpFitsEightyColumns()
{
    const CtlRun r = run_ctl({"--help"});
    QCOMPARE(r.code, 0);
    for (const QString &line : r.out.split('\n'))
        QVERIFY2(line.size() <= 80, qPrintable(line));
}

QTEST_MAIN(TestKq5Ctl)
#include "tst_kq5ctl.moc"
