#include "common/ConsoleLog.h"
#include "parameters/DialMapping.h"
#include "parameters/ParameterModel.h"

#include <QtTest>

#include <cmath>

using namespace quorvane;

Q_DECLARE_METATYPE(ParameterRow)

namespace {

// An effect image's first line: header, seventeen address fields, program.
// The fields are those of image 0008, with "Range" at 00D5 and the two
// unread fields at 1234 and 5678.
const QString image_0008_head = QStringLiteral(
    "001220"                                             // byte 0, length 0x1220
    "000B" "00E8" "0077" "0073" "0003" "00CC" "00DE" "00A0" "00E9" // Dry .. Split
    "00D5" "1234" "5678"                                 // Range, two unread fields
    "000A" "006E" "00E7" "001B" "000C");                 // Input Level .. High Notes Cut

QString image_0008()
{
    QString text = image_0008_head;
    for (int i = 0; text.size() < 9280; ++i)
        text += QStringLiteral("%1").arg(i % 256, 2, 16, QLatin1Char('0')).toUpper();
    return text;
}

struct RowAddress {
    ParameterRow row;
    std::uint16_t address;
};

const RowAddress image_0008_addresses[] = {
    {ParameterRow::dry, 0x000B},          {ParameterRow::sub_mix, 0x00E8},
    {ParameterRow::minus_1_oct, 0x0077},  {ParameterRow::minus_2_oct, 0x0073},
    {ParameterRow::wave, 0x0003},         {ParameterRow::low_pass, 0x00CC},
    {ParameterRow::high_pass, 0x00DE},    {ParameterRow::first_harmonic, 0x00A0},
    {ParameterRow::split, 0x00E9},        {ParameterRow::range, 0x00D5},
    {ParameterRow::input_level, 0x000A},  {ParameterRow::harmonic_pitch, 0x006E},
    {ParameterRow::wave_clip, 0x00E7},    {ParameterRow::dominant_notes_cut, 0x001B},
    {ParameterRow::high_notes_cut, 0x000C},
};

} // namespace

class TestParameterModel : public QObject {
    Q_OBJECT
private slots:
    // --- angle -> word ------------------------------------------------------
    void angleToWord_data()
    {
        QTest::addColumn<int>("angle");
        QTest::addColumn<int>("snapped");
        QTest::addColumn<int>("level");
        QTest::addColumn<quint32>("word");
        QTest::newRow("-135 minimum") << -135 << -135 << 0 << 0x00000000u;
        QTest::newRow("-136") << -136 << -136 << 4 << 0x00008000u;
        QTest::newRow("-179") << -179 << -179 << 167 << 0x0014E000u;
        QTest::newRow("180") << 180 << 180 << 167 << 0x0014E000u;
        QTest::newRow("179") << 179 << 179 << 171 << 0x00156000u;
        QTest::newRow("90") << 90 << 90 << 510 << 0x003FC000u;
        QTest::newRow("0") << 0 << 0 << 852 << 0x006A8000u;
        QTest::newRow("-1") << -1 << -1 << 856 << 0x006B0000u;
        QTest::newRow("-45 maximum") << -45 << -45 << 1023 << 0x007FE000u;
        QTest::newRow("-60 snaps up") << -60 << -45 << 1023 << 0x007FE000u;
        QTest::newRow("-89 snaps up") << -89 << -45 << 1023 << 0x007FE000u;
        QTest::newRow("-90 snaps down") << -90 << -135 << 0 << 0x00000000u;
        QTest::newRow("-100 snaps down") << -100 << -135 << 0 << 0x00000000u;
        QTest::newRow("-134 snaps down") << -134 << -135 << 0 << 0x00000000u;
        QTest::newRow("-46 snaps up") << -46 << -45 << 1023 << 0x007FE000u;
        QTest::newRow("-180 is 180") << -180 << 180 << 167 << 0x0014E000u;
        QTest::newRow("315 is -45") << 315 << -45 << 1023 << 0x007FE000u;
    }
    void angleToWord()
    {
        QFETCH(int, angle);
        QFETCH(int, snapped);
        QFETCH(int, level);
        QFETCH(quint32, word);
        const DialWord w = dial_to_word(angle);
        QCOMPARE(w.angle, snapped);
        QCOMPARE(w.word, word);
        QCOMPARE(position_to_level(dial_angle_to_position(angle)), level);
    }

    void snapLeavesTheSweepAlone_data()
    {
        QTest::addColumn<int>("angle");
        QTest::addColumn<int>("snapped");
        QTest::newRow("-135") << -135 << -135;
        QTest::newRow("-136") << -136 << -136;
        QTest::newRow("-45") << -45 << -45;
        QTest::newRow("-44") << -44 << -44;
        QTest::newRow("180") << 180 << 180;
        QTest::newRow("-90") << -90 << -135;
        QTest::newRow("-89") << -89 << -45;
        QTest::newRow("-100") << -100 << -135;
        QTest::newRow("-60") << -60 << -45;
    }
    void snapLeavesTheSweepAlone()
    {
        QFETCH(int, angle);
        QFETCH(int, snapped);
        QCOMPARE(snap_dial_angle(angle), snapped);
    }

    void positionsCoverTheSweep()
    {
        QCOMPARE(dial_angle_to_position(-135), 0);
        QCOMPARE(dial_angle_to_position(-179), 44);
        QCOMPARE(dial_angle_to_position(180), 44);
        QCOMPARE(dial_angle_to_position(0), 224);
        QCOMPARE(dial_angle_to_position(-1), 225);
        QCOMPARE(dial_angle_to_position(-45), 269);
        QCOMPARE(position_to_level(269), 1023);
        QCOMPARE(position_to_level(-5), 0);
        QCOMPARE(position_to_level(1000), 1023);
        // Every position 0..269 is reached by exactly one sweep angle, except
        // 44, reached by both 180 and -179.
        QList<int> hits(270, 0);
        for (int a = -179; a <= 180; ++a) {
            const int s = snap_dial_angle(a);
            if (s != a)
                continue;
            ++hits[dial_angle_to_position(a)];
        }
        for (int p = 0; p < 270; ++p)
            QVERIFY2(hits[p] == (p == 44 ? 2 : 1), qPrintable(QString::number(p)));
    }

    // The sweep in its own order: -135 down to -179, 180 down to 0, -1 down to -45.
    void sweepNeverLeavesRangeOrFalls()
    {
        QList<int> sweep;
        for (int a = -135; a >= -179; --a)
            sweep << a;
        for (int a = 180; a >= 0; --a)
            sweep << a;
        for (int a = -1; a >= -45; --a)
            sweep << a;
        QCOMPARE(sweep.size(), 271);
        std::uint32_t previous = 0;
        for (int a : sweep) {
            const DialWord w = dial_to_word(a);
            QCOMPARE(w.angle, a);
            QVERIFY2(w.word <= dial_word_max, qPrintable(QString::number(a)));
            QVERIFY2(w.word % (1u << 13) == 0, qPrintable(QString::number(a)));
            QVERIFY2(w.word >= previous, qPrintable(QString::number(a)));
            previous = w.word;
        }
        QCOMPARE(previous, dial_word_max);
        QCOMPARE(dial_to_word(sweep.first()).word, 0u);
    }

    void everyWholeDegreeStaysInRange()
    {
        for (int a = -720; a <= 720; ++a) {
            const DialWord w = dial_to_word(a);
            QVERIFY(w.word <= dial_word_max);
            QVERIFY(w.angle > -180 && w.angle <= 180);
        }
    }

    // --- word -> angle ------------------------------------------------------
    void wordToAngle_data()
    {
        QTest::addColumn<quint32>("word");
        QTest::addColumn<quint32>("scale");
        QTest::addColumn<int>("angle");
        QTest::newRow("word 0") << 0u << full_scale << -135;
        QTest::newRow("0x00400000") << 0x00400000u << full_scale << 89;
        QTest::newRow("0x007FE000") << 0x007FE000u << full_scale << -45;
        QTest::newRow("0x00800000") << 0x00800000u << full_scale << -45;
        QTest::newRow("0xFFFFFFFF") << 0xFFFFFFFFu << full_scale << -45;
        QTest::newRow("90 comes back as 91") << 0x003FC000u << full_scale << 91;
        QTest::newRow("level 169") << (169u << 13) << full_scale << -179;
        QTest::newRow("level 170") << (170u << 13) << full_scale << 180;
        QTest::newRow("level 850") << (850u << 13) << full_scale << 0;
        QTest::newRow("level 851") << (851u << 13) << full_scale << -1;
        QTest::newRow("scale 0 shows minimum") << 5u << 0u << -135;

        const int low_pass[] = {-135, -145, -157, -168, 180, 169, 158, 146, 136, 125, 113, 102, 90,
                                78, 67, 56, 44, 33, 22, 11, -1, -12, -23, -34, -45};
        for (int step = 0; step <= 24; ++step)
            QTest::addRow("low pass %d", step) << quint32(step) << low_pass_steps << low_pass[step];
        const int high_pass[] = {-135, -151, -168, 175, 158, 141, 125, 107, 89,
                                 73, 56, 39, 22, 5, -12, -28, -45};
        for (int step = 0; step <= 16; ++step)
            QTest::addRow("high pass %d", step) << quint32(step) << high_pass_steps << high_pass[step];
        const int range[] = {-135, -146, -159, -171, 176, 164, 151, 139, 128, 116, 103, 90,
                             77, 65, 53, 40, 28, 16, 4, -9, -21, -32, -45};
        for (int step = 0; step <= 22; ++step)
            QTest::addRow("range %d", step) << quint32(step) << range_steps << range[step];
        QTest::newRow("low pass beyond top") << 25u << low_pass_steps << -45;
    }
    void wordToAngle()
    {
        QFETCH(quint32, word);
        QFETCH(quint32, scale);
        QFETCH(int, angle);
        QCOMPARE(level_to_dial_angle(word, scale), angle);
    }

    void scaleBetweenTruncatesTowardZero_data()
    {
        QTest::addColumn<int>("x");
        QTest::addColumn<int>("x0");
        QTest::addColumn<int>("x1");
        QTest::addColumn<int>("y0");
        QTest::addColumn<int>("y1");
        QTest::addColumn<int>("y");
        QTest::newRow("falling, not floored") << 42 << 0 << 169 << -135 << -179 << -145;
        QTest::newRow("rising") << 5 << 0 << 10 << 0 << 7 << 3;
        QTest::newRow("ends") << 1023 << 851 << 1023 << -1 << -45 << -45;
        QTest::newRow("empty segment") << 3 << 4 << 4 << 9 << 20 << 9;
        QTest::newRow("huge input wraps to 32 bits, no overflow") << 2000000000 << 0 << 1 << 0 << 2 << -294967296;
    }
    void scaleBetweenTruncatesTowardZero()
    {
        QFETCH(int, x);
        QFETCH(int, x0);
        QFETCH(int, x1);
        QFETCH(int, y0);
        QFETCH(int, y1);
        QFETCH(int, y);
        QCOMPARE(scale_between(x, x0, x1, y0, y1), y);
    }

    // --- the model ----------------------------------------------------------
    void harmonicPitchTableIsLinearPerOctave()
    {
        QCOMPARE(harmonic_pitch_table.front(), 0x00200000u);
        QCOMPARE(harmonic_pitch_table[12], 0x00400000u);
        QCOMPARE(harmonic_pitch_table.back(), 0x00800000u);
        for (int i = 0; i < 25; ++i) {
            const double exact = i <= 12 ? 0x200000 + i * (0x200000 / 12.0)
                                         : 0x400000 + (i - 12) * (0x400000 / 12.0);
            const std::uint32_t w = harmonic_pitch_table[std::size_t(i)];
            QVERIFY2(w % 8 == 0 && std::abs(double(w) - exact) <= 4.0, qPrintable(QString::number(i)));
        }
    }

    void freshTable()
    {
        ParameterModel model;
        const char *names[] = {"Dry", "Sub Mix", "-1 Oct", "-2 Oct", "Wave", "Low Pass",
                               "High Pass", "1st Harmonic", "Split", "Range", "Input Level",
                               "1st Harmonic Pitch", "Wave Clip", "Dominant Notes Cut",
                               "High Notes Cut"};
        for (int i = 0; i < parameter_count; ++i) {
            const auto row = ParameterRow(i);
            QCOMPARE(model.parameter_name(row), QString::fromLatin1(names[i]));
            QCOMPARE(model.value(row), 0u);
            QCOMPARE(model.address(row), is_assignable_row(row) ? 0xFFFF : 0x0000);
            QVERIFY(!model.is_assigned(row));
            QVERIFY(!model.has_image_address(row));
        }
        QCOMPARE(model.standard(ParameterRow::dry).num_of_addresses, 1);
        QVERIFY(!model.standard(ParameterRow::split).control_type);
        QCOMPARE(model.standard(ParameterRow::split).parameter_type, 0);
        for (bool s : model.slot_assigned)
            QVERIFY(!s);
        QCOMPARE(model.current_tuning, 0);
        QCOMPARE(model.semitone_variation, 0);
        QVERIFY(!model.updating_from_pedal);

        // The two classes are reached by row, and only by their own rows.
        model.set_value(ParameterRow::range, 7);
        model.set_value(ParameterRow::wave_clip, 9);
        QCOMPARE(model.standard(ParameterRow::range).value, 7u);
        QCOMPARE(model.assignable(ParameterRow::wave_clip).value, 9u);
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, model.standard(ParameterRow::input_level));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, model.assignable(ParameterRow::range));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, model.value(ParameterRow(15)));
        QVERIFY_THROWS_EXCEPTION(std::out_of_range, model.value(ParameterRow(-1)));

        // Building again starts afresh.
        model.assignable(ParameterRow::input_level).is_assigned = true;
        model.build_parameter_table();
        QCOMPARE(model.value(ParameterRow::range), 0u);
        QVERIFY(!model.is_assigned(ParameterRow::input_level));
    }

    void addressesFromImage()
    {
        ParameterModel model;
        ConsoleLog console;
        const QString image = image_0008();
        QVERIFY(load_parameter_addresses(model, QStringLiteral("Quorvane_KQ5_0008"), image, console));
        for (const RowAddress &ra : image_0008_addresses) {
            QCOMPARE(model.address(ra.row), ra.address);
            QVERIFY(model.has_image_address(ra.row));
        }
        QCOMPARE(console.lines(),
                 QStringList({QStringLiteral("resource name: Quorvane_KQ5_0008"),
                              QStringLiteral("filecontent (first 128 bytes): ") + image.left(256)}));

        // Another image moves them again; the line ends after its first line.
        QString other = image;
        other.replace(10, 4, QStringLiteral("00e7")); // Sub Mix, lower-case digits
        QVERIFY(load_parameter_addresses(model, other + QStringLiteral("\r\nFFFFFFFF")));
        QCOMPARE(model.address(ParameterRow::sub_mix), 0x00E7);
        QCOMPARE(model.address(ParameterRow::dry), 0x000B);
    }

    // The images that ship with the editor.
    void addressesFromBuiltInImages_data()
    {
        QTest::addColumn<QString>("resource");
        QTest::addColumn<ParameterRow>("row");
        QTest::addColumn<int>("address");
        QTest::newRow("0008 Dry") << "QUORVANE_KQ5_0008" << ParameterRow::dry << 0x000B;
        QTest::newRow("0008 Input Level") << "QUORVANE_KQ5_0008" << ParameterRow::input_level << 0x000A;
        QTest::newRow("0008 Range") << "QUORVANE_KQ5_0008" << ParameterRow::range << 0x00F0;
        QTest::newRow("0008 High Notes Cut") << "QUORVANE_KQ5_0008" << ParameterRow::high_notes_cut << 0x000C;
        QTest::newRow("0010 Sub Mix") << "QUORVANE_KQ5_0010" << ParameterRow::sub_mix << 0x00E7;
        QTest::newRow("0011 -1 Oct") << "QUORVANE_KQ5_0011" << ParameterRow::minus_1_oct << 0x0078;
        QTest::newRow("0011 Pitch") << "QUORVANE_KQ5_0011" << ParameterRow::harmonic_pitch << 0x0073;
    }
    void addressesFromBuiltInImages()
    {
        QFETCH(QString, resource);
        QFETCH(ParameterRow, row);
        QFETCH(int, address);
        QFile file(QStringLiteral(":/") + resource);
        QVERIFY(file.open(QIODevice::ReadOnly));
        ParameterModel model;
        QVERIFY(load_parameter_addresses(model, QString::fromLatin1(file.readAll())));
        QCOMPARE(int(model.address(row)), address);
        for (int i = 0; i < parameter_count; ++i)
            QVERIFY(model.has_image_address(ParameterRow(i)));
    }

    void unreadFieldsMayHoldAnything()
    {
        ParameterModel model;
        QString image = image_0008_head;
        image.replace(46, 8, QStringLiteral("ZZZZ????"));
        QVERIFY(load_parameter_addresses(model, image));
        QCOMPARE(model.address(ParameterRow::high_notes_cut), 0x000C);
    }

    void badImageChangesNothing_data()
    {
        QTest::addColumn<QString>("image");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty") << QString() << QStringLiteral("too short (0 characters)");
        QTest::newRow("one short") << image_0008_head.left(73) << QStringLiteral("too short (73 characters)");
        QTest::newRow("line ends early") << image_0008_head.left(40) + QStringLiteral("\n") + image_0008_head
                                         << QStringLiteral("too short (40 characters)");
        QString g = image_0008_head;
        g[72] = QLatin1Char('G');
        QTest::newRow("not hex in last field") << g << QStringLiteral("no hex number at character 71");
        QString blank = image_0008_head;
        blank[6] = QLatin1Char(' ');
        QTest::newRow("blank in first field") << blank << QStringLiteral("no hex number at character 7");
        QString sign = image_0008_head;
        sign[42] = QLatin1Char('-');
        QTest::newRow("sign in range field") << sign << QStringLiteral("no hex number at character 43");
    }
    void badImageChangesNothing()
    {
        QFETCH(QString, image);
        QFETCH(QString, reason);
        ParameterModel model;
        QVERIFY(load_parameter_addresses(model, image_0008()));
        ConsoleLog console;
        QVERIFY(!load_parameter_addresses(model, image, &console));
        for (const RowAddress &ra : image_0008_addresses)
            QCOMPARE(model.address(ra.row), ra.address);
        QCOMPARE(console.count(), 1);
        QVERIFY2(console.last().startsWith(QStringLiteral("parameter addresses not loaded: "))
                     && console.last().contains(reason),
                 qPrintable(console.last()));
    }
};

QTEST_MAIN(TestParameterModel)
#include "tst_parametermodel.moc"
