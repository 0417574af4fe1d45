// The write check's comparison: what a message wrote against a status reply,
// in the reply's terms, and how each difference is named.

#include "FxFixture.h"

#include "parameters/WriteConfirmation.h"

#include <QtTest>

using namespace quorvane;
using namespace quorvane::test;

namespace {

struct Compared {
    ParameterModel model;
    std::vector<std::uint8_t> values = status_values(10);

    Compared() { load_parameter_addresses(model, builtin_text(QStringLiteral("QUORVANE_KQ5_0008"))); }
    QStringList differences(const WrittenState &written)
    {
        QStringList out;
        for (const WriteDifference &d : compare_with_status(model, written, values))
            out << QStringLiteral("%1: %2 / %3").arg(d.name, d.written, d.reported);
        return out;
    }
};

} // namespace

class TestWriteConfirmation : public QObject {
    Q_OBJECT
private slots:
    void messagesAgainstTheReport_data()
    {
        QTest::addColumn<QString>("message");
        QTest::addColumn<QStringList>("differences");
        // The reply: footswitch mode 1, CTRL I holds address 000A (Input Level
        // of image 0008), the remote slot Preset, tuning 3 at -2 semitones.
        QTest::newRow("footswitch same") << "080001" << QStringList{};
        QTest::newRow("footswitch other")
            << "080101"
            << QStringList{"Footswitch mode: short press Change Preset, long press Bypass / "
                           "short press Bypass, long press Bypass"};
        QTest::newRow("assignments same") << "04010000000100" "0A" "FFFFFFFFFFFFFFFD" << QStringList{};
        QTest::newRow("assignments other")
            << "04000000010100" "00" "FFFFFFFF000CFFFE"
            << QStringList{"Control I: Not Assigned / Input Level", "Control IV: High Notes Cut / Not Assigned",
                           "Remote Footswitch: Bypass / Preset"};
        QTest::newRow("tuning same") << "0903FE" << QStringList{};
        QTest::newRow("tuning other") << "090401" << QStringList{"Tuning: 4 / 3", "Semitones: +1 / -2"};
    }
    void messagesAgainstTheReport()
    {
        QFETCH(QString, message);
        QFETCH(QStringList, differences);
        Compared c;
        c.values[4] = 1;
        c.values[5] = 1;
        c.values[9] = 1;
        c.values[10] = 0x00;
        c.values[11] = 0x0A;
        for (int i = 12; i < 18; ++i)
            c.values[std::size_t(i)] = 0xFF;
        c.values[18] = 0xFF;
        c.values[19] = 0xFD;
        c.values[20] = 3;
        c.values[21] = 0xFE;
        const WrittenState written = WrittenState::of_message(message, QStringLiteral("x"));
        QVERIFY(!written.empty());
        QCOMPARE(c.differences(written), differences);
    }

    // Low Pass, High Pass and Range are written as dial words and reported
    // as steps; everything else is compared word for word. "1st Harmonic" is
    // never written, so never compared.
    void wordsInTheReportsTerms()
    {
        Compared c;
        put_word(c.values, 23 + 4 * int(ParameterRow::low_pass), 12);
        put_word(c.values, 23 + 4 * int(ParameterRow::range), 3);
        put_word(c.values, 23 + 4 * int(ParameterRow::dry), 0x003FE000);
        WrittenState written;
        written.words = {{ParameterRow::low_pass, 0x00400000}, // step 12
                         {ParameterRow::range, 0x00400000},    // step 11
                         {ParameterRow::dry, 0x003FC000},
                         {ParameterRow::first_harmonic, 0x00123456}};
        QCOMPARE(c.differences(written),
                 (QStringList{"Range: step 11 / 22 / step 3 / 22",
                              "Dry: 0x003FC000 (510) / 0x003FE000 (511)"}));
    }

    // A reply too short for a field counts it as differing; a message of any
    // other kind or length writes nothing to compare.
    void shortReplyAndOtherMessages()
    {
        Compared c;
        c.values.resize(24);
        WrittenState written;
        written.words = {{ParameterRow::dry, 0}};
        QCOMPARE(c.differences(written), QStringList{"Dry: 0x00000000 (0) / nothing (the reply is too short)"});
        for (const char *text : {"0D01", "0800", "08000102", "0402", "090", "zz0101", ""})
            QVERIFY2(WrittenState::of_message(QLatin1String(text), QString()).empty(), text);
        // A preset that changed "1st Harmonic" alone wrote nothing to the pedal.
        written.words = {{ParameterRow::first_harmonic, 0x00100000}};
        QVERIFY(written.empty());
    }
};

QTEST_MAIN(TestWriteConfirmation)
#include "tst_writeconfirmation.moc"
