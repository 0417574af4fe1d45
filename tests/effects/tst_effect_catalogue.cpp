// The effect list: the built-in images as the editor reads them, a click on
// an entry with and without a pedal, and the arrow keys.

#include "common/ConsoleLog.h"
#include "effects/Catalogue.h"
#include "effects/EffectCatalogue.h"
#include "protocol/Codec.h"
#include "protocol/DeviceConnection.h"
#include "support/RecordingDriver.h"
#include "support/ScriptedDialogs.h"
#include "support/WindowByName.h"
#include "usb/D2XXUnit.h"

#include <QListWidget>
#include <QtTest>

using namespace quorvane;
using namespace quorvane::test;

namespace {

struct Fixture {
    RecordingDriver driver;
    ScriptedDialogs dialogs;
    D2XXUnit link{driver, dialogs};
    ConsoleLog console;
    QWidget window;
    QWidget effectWindow;
    DeviceConnection connection{link, console, dialogs};
    Catalogue catalogue{dialogs};
    EffectCatalogue effects{catalogue, console, dialogs, connection};
    QListWidget *list = new QListWidget(&window);
    QStringList lines;
    QList<bool> enabled;

    explicit Fixture(const QStringList &entries = {"Quorvane KQ5 0011"})
    {
        list->setObjectName("lstEffects");
        list->addItems(entries);
        quorvane::test::bind_window(connection, window);
        effects.effect_list = list;
        connection.latest_algorithm_version = 11;
        effects.main_window = &window;
        effects.effect_window = &effectWindow;
        effects.enable_effect_controls = [this](bool on) { enabled << on; };
        QObject::connect(&console, &ConsoleLog::lineAppended, &console,
                         [this](const QString &text, bool) { lines << text; });
        window.setGeometry(100, 120, 400, 300);
        window.show();
    }

    void click(int row)
    {
        list->setCurrentRow(row);
        effects.effetto_cliccato(list, list->item(row));
    }
};

} // namespace

class TestEffectCatalogue : public QObject {
    Q_OBJECT
private slots:
    // Each image read back as the editor reads it: one line of hex whose
    // header starts with 0x00 and gives the image's own length.
    void builtInImages_data()
    {
        QTest::addColumn<QString>("resource");
        QTest::addColumn<int>("bytes");
        QTest::newRow("0008") << "Quorvane_KQ5_0008" << 4640;
        QTest::newRow("0009") << "Quorvane_KQ5_0009" << 4672;
        QTest::newRow("0010") << "Quorvane_KQ5_0010" << 4544;
        QTest::newRow("0011") << "Quorvane_KQ5_0011" << 4544;
    }

    void builtInImages()
    {
        QFETCH(QString, resource);
        QFETCH(int, bytes);
        ScriptedDialogs dialogs;
        Catalogue catalogue(dialogs);
        catalogue.read_file_from_stream(resource);
        QCOMPARE(catalogue.resource_lines.size(), 1);
        const QString image = catalogue.resource_lines.at(0);
        QCOMPARE(image.size(), 2 * bytes);
        QCOMPARE(image, image.toUpper());
        const QByteArray raw = HexToBytes(image); // throws on any non-hex pair
        QCOMPARE(raw.size(), bytes);
        QCOMPARE(std::uint8_t(raw[0]), std::uint8_t(0));
        QCOMPARE((std::uint8_t(raw[1]) << 8) | std::uint8_t(raw[2]), bytes);
        // The fourteen parameter addresses the effect window reads.
        for (int at : {7, 11, 15, 19, 23, 27, 31, 35, 39, 55, 59, 63, 67, 71}) {
            bool ok = false;
            image.mid(at - 1, 4).toUInt(&ok, 16);
            QVERIFY2(ok, qPrintable(QStringLiteral("address at %1").arg(at)));
        }
        QVERIFY(dialogs.messages.isEmpty());
    }

    void clickWithoutPedalOpensBesideTheMainWindow()
    {
        Fixture f;
        f.click(0);
        QCOMPARE(f.lines.mid(0, 3),
                 (QStringList{"efx index :0", "selected effect name: Quorvane KQ5 0011",
                              "resource name: Quorvane_KQ5_0011"}));
        QCOMPARE(f.lines.at(3), "filecontent (first 128 bytes): " + f.catalogue.resource_lines.at(0).left(256));
        QCOMPARE(f.catalogue.selected_effect_name, QString("Quorvane KQ5 0011"));
        QVERIFY(f.effectWindow.isVisible());
        QCOMPARE(f.effectWindow.windowTitle(), QString("Quorvane KQ5 0011"));
        const QRect main = f.window.frameGeometry();
        QCOMPARE(f.effectWindow.pos(), QPoint(main.left() + main.width(), main.top()));
        QCOMPARE(f.enabled, QList<bool>{false});
        QVERIFY(f.dialogs.messages.isEmpty());
    }

    // A linked pedal: the window opens only once the newest effect runs.
    void clickWithPedal_data()
    {
        QTest::addColumn<QString>("algorithm");
        QTest::addColumn<bool>("opens");
        QTest::newRow("older effect") << "0010" << false;
        QTest::newRow("newest effect") << "0011" << true;
        QTest::newRow("newer than the editor's") << "0012" << true;
    }

    void clickWithPedal()
    {
        QFETCH(QString, algorithm);
        QFETCH(bool, opens);
        Fixture f;
        f.connection.is_linked = true;
        f.connection.device_algorithm_version = algorithm;
        f.effectWindow.show();
        f.click(0);
        QCOMPARE(f.effectWindow.isVisible(), opens);
        if (opens) {
            QVERIFY(f.dialogs.messages.isEmpty());
            QCOMPARE(f.enabled, QList<bool>{true});
        } else {
            QCOMPARE(f.dialogs.messages,
                     QStringList{"Upload the latest version of Quorvane KQ5 algorithm:\r\nUpload Quorvane KQ5 0011"});
            QVERIFY(f.enabled.isEmpty());
        }
    }

    // Linked but not yet reported: the image is loaded, then the click ends
    // with the conversion error and no window.
    void clickBeforeAnyReport()
    {
        Fixture f;
        f.connection.is_linked = true;
        f.list->setCurrentRow(0);
        QVERIFY_THROWS_EXCEPTION(ConversionError, f.effects.effetto_cliccato(f.list, f.list->item(0)));
        QCOMPARE(f.catalogue.selected_effect_name, QString("Quorvane KQ5 0011"));
        QVERIFY(!f.effectWindow.isVisible());
    }

    void arrowKeys_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("to");
        QTest::addColumn<QString>("line");
        QTest::newRow("up in the middle") << 1 << int(Qt::Key_Up) << 0 << "arrow up pressed";
        QTest::newRow("up at the top") << 0 << int(Qt::Key_Up) << 0 << "arrow up pressed";
        QTest::newRow("down in the middle") << 1 << int(Qt::Key_Down) << 2 << "arrow down pressed";
        QTest::newRow("down at the bottom") << 2 << int(Qt::Key_Down) << 2 << "arrow down pressed";
        QTest::newRow("other key") << 1 << int(Qt::Key_Left) << 1 << "";
    }

    void arrowKeys()
    {
        QFETCH(int, from);
        QFETCH(int, key);
        QFETCH(int, to);
        QFETCH(QString, line);
        Fixture f({"Quorvane KQ5 0009", "Quorvane KQ5 0010", "Quorvane KQ5 0011"});
        f.list->setCurrentRow(from);
        QCOMPARE(f.effects.move_up_or_down(f.list, key), !line.isEmpty());
        QCOMPARE(f.list->currentRow(), to);
        QCOMPARE(f.lines, line.isEmpty() ? QStringList() : QStringList{line});
        QVERIFY(f.catalogue.selected_effect_name.isEmpty()); // nothing loaded
        QVERIFY(!f.effectWindow.isVisible());
    }
};

QTEST_MAIN(TestEffectCatalogue)
#include "tst_effect_catalogue.moc"
