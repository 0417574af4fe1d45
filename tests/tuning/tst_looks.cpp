// The looks: which one start-up applies from "style.txt", the menu and its
// stored choice, every window restyled at once, every look parsed by Qt and
// rendered on every kind of control, and readable text in every look.

#include "support/ScriptedDialogs.h"
#include "support/SheetWarnings.h"
#include "app/Looks.h"
#include "widgets/ArcDial.h"
#include "widgets/ToggleSwitch.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QFile>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMainWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QVBoxLayout>
#include <QtTest>

#include <cmath>
#include <memory>

using namespace quorvane;
using namespace quorvane::test;

namespace {

// --- A small reader of the style sheets' colours ------------------------------

struct Rule {
    QStringList selectors;
    QMap<QString, QString> properties;
};

QList<Rule> parseRules(QString sheet)
{
    sheet.remove(QRegularExpression(QStringLiteral("/\\*.*?\\*/"),
                                    QRegularExpression::DotMatchesEverythingOption));
    QList<Rule> rules;
    static const QRegularExpression block(QStringLiteral("([^{}]+)\\{([^{}]*)\\}"));
    for (auto match = block.globalMatch(sheet); match.hasNext();) {
        const auto m = match.next();
        Rule rule;
        for (const QString &selector : m.captured(1).split(QLatin1Char(',')))
            rule.selectors << selector.simplified();
        for (const QString &declaration : m.captured(2).split(QLatin1Char(';'))) {
            const qsizetype colon = declaration.indexOf(QLatin1Char(':'));
            if (colon > 0)
                rule.properties.insert(declaration.left(colon).trimmed(),
                                       declaration.mid(colon + 1).simplified());
        }
        rules << rule;
    }
    return rules;
}

bool isSolidColour(const QString &value)
{
    static const QRegularExpression hex(QStringLiteral("^#[0-9A-Fa-f]{6}$"));
    return hex.match(value).hasMatch();
}

// WCAG 2 relative luminance and contrast ratio.
double luminance(const QColor &colour)
{
    auto linear = [](double c) { return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * linear(colour.redF()) + 0.7152 * linear(colour.greenF()) + 0.0722 * linear(colour.blueF());
}

double contrast(const QColor &a, const QColor &b)
{
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

const Rule *findRule(const QList<Rule> &rules, const QString &selector)
{
    for (const Rule &rule : rules)
        if (rule.selectors.contains(selector))
            return &rule;
    return nullptr;
}

// Parts of controls that never carry text.
bool holdsNoText(const QString &selector)
{
    if (selector.startsWith(QLatin1String("QScrollBar")))
        return true;
    const qsizetype sub = selector.indexOf(QLatin1String("::"));
    if (sub < 0)
        return false;
    const QString part = selector.mid(sub + 2).section(QLatin1Char(':'), 0, 0);
    return !QStringList{"item", "title", "tab", "section"}.contains(part);
}

// Every text colour against the background it is drawn on; returns the failures.
QStringList contrastFailures(const QString &sheet)
{
    const QList<Rule> rules = parseRules(sheet);
    QStringList failures;
    const Rule *window = findRule(rules, QStringLiteral("QWidget"));
    if (!window || !isSolidColour(window->properties.value("background-color")))
        return {QStringLiteral("no solid window background for QWidget")};
    const QColor windowBackground(window->properties.value("background-color"));

    auto check = [&](const Rule &rule, const QString &text, const QColor &background) {
        const double ratio = contrast(QColor(text), background);
        if (ratio < 4.5)
            failures << QStringLiteral("%1: %2 on %3 is %4:1")
                            .arg(rule.selectors.join(", "), text, background.name())
                            .arg(ratio, 0, 'f', 2);
    };
    for (const Rule &rule : rules) {
        const QString colour = rule.properties.value("color");
        const QString background = rule.properties.value("background-color");
        if (!colour.isEmpty()) {
            if (!isSolidColour(colour)) {
                failures << rule.selectors.join(", ") + ": text colour " + colour + " is not a plain colour";
                continue;
            }
            // A transparent or missing background shows the window behind.
            check(rule, colour, isSolidColour(background) ? QColor(background) : windowBackground);
        } else if (isSolidColour(background)
                   && !std::all_of(rule.selectors.begin(), rule.selectors.end(), holdsNoText)) {
            failures << rule.selectors.join(", ") + ": a background without a text colour";
        }
        const QString selectionText = rule.properties.value("selection-color");
        if (!selectionText.isEmpty())
            check(rule, selectionText, QColor(rule.properties.value("selection-background-color")));
    }
    // The progress text is drawn over the filled part as well.
    const Rule *bar = findRule(rules, QStringLiteral("QProgressBar"));
    const Rule *chunk = findRule(rules, QStringLiteral("QProgressBar::chunk"));
    if (bar && chunk)
        check(*bar, bar->properties.value("color"), QColor(chunk->properties.value("background-color")));
    return failures;
}

// --- Windows with every kind of control the editor has -------------------------

std::unique_ptr<QMainWindow> controlGallery()
{
    auto window = std::make_unique<QMainWindow>();
    window->setWindowTitle(QStringLiteral("Quorvane Editor"));
    auto *settings = window->menuBar()->addMenu(QStringLiteral("Settings"));
    auto *look = settings->addMenu(QStringLiteral("Look"));
    look->addAction(QStringLiteral("0"));
    auto *midi = settings->addMenu(QStringLiteral("MIDI"));
    midi->setEnabled(false);
    settings->addAction(QStringLiteral("Upload Tuning Data"))->setEnabled(false);
    auto *report = settings->addAction(QStringLiteral("Report USB Errors"));
    report->setCheckable(true);
    report->setChecked(true);
    settings->addSeparator();
    window->menuBar()->addMenu(QStringLiteral("Info"))->addAction(QStringLiteral("Support"));

    auto *central = new QWidget;
    auto *layout = new QVBoxLayout(central);
    layout->addWidget(new QLabel(QStringLiteral("Device Firmware: 10")));
    auto *disabledLabel = new QLabel(QStringLiteral("Status: "));
    disabledLabel->setEnabled(false);
    layout->addWidget(disabledLabel);
    layout->addWidget(new QPushButton(QStringLiteral("Request")));
    auto *disabledButton = new QPushButton(QStringLiteral("Set Tuning"));
    disabledButton->setEnabled(false);
    layout->addWidget(disabledButton);
    auto *list = new QListWidget;
    for (int i = 8; i < 40; ++i)
        list->addItem(QStringLiteral("Quorvane KQ5 %1").arg(i, 4, 10, QLatin1Char('0')));
    list->setCurrentRow(2);
    list->setFixedHeight(60);
    layout->addWidget(list);
    auto *combo = new QComboBox;
    combo->addItems({QStringLiteral("Not Assigned"), QStringLiteral("Dry"), QStringLiteral("Sub Mix")});
    layout->addWidget(combo);
    auto *group = new QGroupBox(QStringLiteral("Footswitch"));
    auto *groupLayout = new QVBoxLayout(group);
    auto *radio = new QRadioButton(QStringLiteral("Momentary"));
    radio->setChecked(true);
    groupLayout->addWidget(radio);
    groupLayout->addWidget(new QRadioButton(QStringLiteral("Latching")));
    auto *check = new QCheckBox(QStringLiteral("scroll"));
    check->setChecked(true);
    groupLayout->addWidget(check);
    groupLayout->addWidget(new QCheckBox(QStringLiteral("Don't Show This Message Again")));
    layout->addWidget(group);
    auto *frame = new QFrame;
    frame->setFrameShape(QFrame::Box);
    frame->setMinimumHeight(10);
    layout->addWidget(frame);
    auto *log = new QPlainTextEdit;
    log->setReadOnly(true);
    for (int i = 0; i < 30; ++i)
        log->appendPlainText(QStringLiteral("Midi channel: %1").arg(i));
    log->setFixedHeight(50);
    layout->addWidget(log);
    auto *text = new QTextEdit(QStringLiteral("What's new"));
    text->setFixedHeight(40);
    layout->addWidget(text);
    layout->addWidget(new QLineEdit(QStringLiteral("08080000")));
    auto *knobs = new QHBoxLayout;
    for (bool enabled : {true, false}) {
        auto *dial = new ArcDial;
        dial->setAngle(enabled ? 90 : -90);
        dial->setEnabled(enabled);
        knobs->addWidget(dial);
        auto *toggle = new ToggleSwitch;
        toggle->setCheckable(true);
        toggle->setChecked(true);
        toggle->setEnabled(enabled);
        knobs->addWidget(toggle);
        knobs->addWidget(new ToggleSwitch);
    }
    layout->addLayout(knobs);
    auto *progress = new QProgressBar;
    progress->setValue(42);
    layout->addWidget(progress);
    window->setCentralWidget(central);
    return window;
}

QColor windowBackground(int look)
{
    const QList<Rule> rules = parseRules(look_style_sheet(look));
    const Rule *rule = findRule(rules, QStringLiteral("QWidget"));
    return rule ? QColor(rule->properties.value("background-color")) : QColor();
}

QString readAll(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

void writeBytes(const QString &path, const QByteArray &bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write(bytes);
}

} // namespace

class TestLooks : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanupTestCase();
    void everyLookIsCarried();
    void startUpAppliesStoredLook_data();
    void startUpAppliesStoredLook();
    void menuOffersLooksZeroToSix();
    void choosingLookRestylesEveryWindowAndIsStored();
    void choiceThatCannotBeStoredIsReported();
    void unparsableSheetIsNoticed();
    void everyLookParsesOnEveryControl_data();
    void everyLookParsesOnEveryControl();
    void everyLookKeepsTextReadable_data();
    void everyLookKeepsTextReadable();
    void contrastCheckerFindsPoorPairs();
    void dialAndSwitchTakeTheLook_data();
    void dialAndSwitchTakeTheLook();

private:
    std::unique_ptr<QTemporaryDir> m_folder;
    test::ScriptedDialogs m_dialogs;
};

void TestLooks::initTestCase()
{
    start_recording_sheet_warnings();
}

void TestLooks::cleanupTestCase()
{
    stop_recording_sheet_warnings();
}

void TestLooks::init()
{
    qApp->setStyleSheet(QString());
    m_folder = std::make_unique<QTemporaryDir>();
    m_dialogs.reset();
    sheet_warnings().clear();
}

void TestLooks::everyLookIsCarried()
{
    for (int n = 0; n < look_count; ++n) {
        QVERIFY2(!look_style_sheet(n).isEmpty(), qPrintable(QString::number(n)));
        // Looks are found by "Style_<n>" whatever the resource's case.
        QCOMPARE(look_resource_path(n), QStringLiteral(":/looks/STYLE_%1").arg(n));
    }
    QVERIFY(look_resource_path(8).isEmpty());
    QVERIFY(look_resource_path(-1).isEmpty());
    // Every image a look names is carried too.
    static const QRegularExpression url(QStringLiteral("url\\(([^)]+)\\)"));
    for (int n = 0; n < look_count; ++n)
        for (auto m = url.globalMatch(look_style_sheet(n)); m.hasNext();) {
            const QString path = m.next().captured(1);
            QVERIFY2(QFile::exists(path), qPrintable(path));
        }
}

void TestLooks::startUpAppliesStoredLook_data()
{
    QTest::addColumn<bool>("exists");
    QTest::addColumn<QByteArray>("content");
    QTest::addColumn<int>("look"); // no_look: the toolkit's own look stays
    QTest::newRow("no file") << false << QByteArray() << 0;
    QTest::newRow("3") << true << QByteArray("3") << 3;
    QTest::newRow("7, not on the menu") << true << QByteArray("7") << 7;
    QTest::newRow("8, not carried") << true << QByteArray("8") << int(no_look);
    QTest::newRow("-1, not carried") << true << QByteArray("-1") << int(no_look);
    QTest::newRow("abc") << true << QByteArray("abc") << 0;
    QTest::newRow("empty") << true << QByteArray() << 0;
    QTest::newRow("3 with line end") << true << QByteArray("3\r\n") << 3;
    QTest::newRow("blanks around 5") << true << QByteArray(" \t5 \n") << 5;
    QTest::newRow("3.5") << true << QByteArray("3.5") << 0;
    QTest::newRow("too big") << true << QByteArray("99999999999") << 0;
    QTest::newRow("UTF-8 mark") << true << QByteArray("\xEF\xBB\xBF" "2") << 2;
    QTest::newRow("UTF-16 mark") << true << QByteArray("\xFF\xFE" "4\0", 4) << 4;
    QTest::newRow("not UTF-8") << true << QByteArray("\xFF\xFE\xFD") << 0;
}

void TestLooks::startUpAppliesStoredLook()
{
    QFETCH(bool, exists);
    QFETCH(QByteArray, content);
    QFETCH(int, look);
    const QString file = m_folder->filePath(QStringLiteral("style.txt"));
    if (exists)
        writeBytes(file, content);

    Looks looks(m_dialogs);
    looks.setMakerFolder(m_folder->path());
    looks.load_look();

    QCOMPARE(looks.current_look(), look);
    QCOMPARE(qApp->styleSheet(), look == no_look ? QString() : look_style_sheet(look));
    // Start-up never writes the file.
    QCOMPARE(QFile::exists(file), exists);
    if (exists) {
        QFile stored(file);
        QVERIFY(stored.open(QIODevice::ReadOnly));
        QCOMPARE(stored.readAll(), content);
    }
    QVERIFY(m_dialogs.messages.isEmpty());
}

void TestLooks::menuOffersLooksZeroToSix()
{
    QMenu menu;
    Looks looks(m_dialogs);
    looks.build_look_menu(&menu);
    QStringList captions;
    for (QAction *item : menu.actions())
        captions << item->text();
    QCOMPARE(captions, (QStringList{"0", "1", "2", "3", "4", "5", "6"}));
    for (int i = 0; i < look_menu_count; ++i)
        QCOMPARE(looks.look_items[std::size_t(i)].data(), menu.actions()[i]);
    QVERIFY(looks.look_items[7].isNull());
    // Building the menu applies and stores nothing.
    QVERIFY(qApp->styleSheet().isEmpty());
    QVERIFY(!QFile::exists(m_folder->filePath(QStringLiteral("style.txt"))));
}

void TestLooks::choosingLookRestylesEveryWindowAndIsStored()
{
    Looks looks(m_dialogs);
    looks.setMakerFolder(m_folder->path());
    QMenu menu;
    looks.build_look_menu(&menu);
    looks.load_look();
    QCOMPARE(looks.current_look(), 0);

    // Two windows open at once: both take the new look.
    QWidget first, second;
    first.resize(120, 80);
    second.resize(120, 80);
    first.show();
    second.show();
    QVERIFY(QTest::qWaitForWindowExposed(&second));
    QCOMPARE(first.grab().toImage().pixelColor(10, 10), windowBackground(0));

    looks.look_items[3]->trigger();

    QCOMPARE(looks.current_look(), 3);
    QCOMPARE(qApp->styleSheet(), look_style_sheet(3));
    QCOMPARE(first.grab().toImage().pixelColor(10, 10), windowBackground(3));
    QCOMPARE(second.grab().toImage().pixelColor(10, 10), windowBackground(3));
    QCOMPARE(readAll(m_folder->filePath(QStringLiteral("style.txt"))), QStringLiteral("3"));

    // The next start applies the stored choice.
    qApp->setStyleSheet(QString());
    Looks nextStart(m_dialogs);
    nextStart.setMakerFolder(m_folder->path());
    nextStart.load_look();
    QCOMPARE(nextStart.current_look(), 3);
    QCOMPARE(qApp->styleSheet(), look_style_sheet(3));

    // A later choice replaces the whole content.
    writeBytes(m_folder->filePath(QStringLiteral("style.txt")), "3 and some old text\r\n");
    looks.look_items[0]->trigger();
    QCOMPARE(readAll(m_folder->filePath(QStringLiteral("style.txt"))), QStringLiteral("0"));
    QVERIFY(m_dialogs.messages.isEmpty());
}

void TestLooks::choiceThatCannotBeStoredIsReported()
{
    Looks looks(m_dialogs);
    looks.setMakerFolder(m_folder->filePath(QStringLiteral("no such folder")));
    QMenu menu;
    looks.build_look_menu(&menu);
    looks.look_items[5]->trigger();
    // The look is in force for this run; the user learns it was not kept.
    QCOMPARE(looks.current_look(), 5);
    QCOMPARE(m_dialogs.messages.size(), 1);
    QVERIFY2(m_dialogs.messages[0].contains(QLatin1String("style.txt")), qPrintable(m_dialogs.messages[0]));
}

void TestLooks::unparsableSheetIsNoticed()
{
    // The check below is only worth something if a broken sheet is caught.
    auto window = controlGallery();
    qApp->setStyleSheet(QStringLiteral("QPushButton { color: #FFFFFF; background-color: "));
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    window->grab();
    QVERIFY(!sheet_warnings().isEmpty());
}

void TestLooks::everyLookParsesOnEveryControl_data()
{
    QTest::addColumn<int>("look");
    for (int n = 0; n < look_count; ++n)
        QTest::addRow("STYLE_%d", n) << n;
}

void TestLooks::everyLookParsesOnEveryControl()
{
    QFETCH(int, look);
    Looks looks(m_dialogs);
    QVERIFY(looks.apply_look(look));

    auto window = controlGallery();
    window->show();
    QVERIFY(QTest::qWaitForWindowExposed(window.get()));
    QMessageBox box(QMessageBox::Question, QStringLiteral("Quorvane Editor"),
                    QStringLiteral("Upload Tuning Data?"), QMessageBox::Yes | QMessageBox::No);
    box.show();
    QVERIFY(QTest::qWaitForWindowExposed(&box));
    // Open menus are separate windows: render them as well.
    for (QMenu *menu : window->menuBar()->findChildren<QMenu *>()) {
        menu->adjustSize();
        menu->grab();
    }
    const QImage image = window->grab().toImage();
    box.grab();

    QVERIFY2(sheet_warnings().isEmpty(), qPrintable(sheet_warnings().join('\n')));
    QCOMPARE(image.pixelColor(image.width() - 3, image.height() - 3), windowBackground(look));
}

void TestLooks::everyLookKeepsTextReadable_data()
{
    everyLookParsesOnEveryControl_data();
}

void TestLooks::everyLookKeepsTextReadable()
{
    QFETCH(int, look);
    const QString sheet = look_style_sheet(look);
    const QStringList failures = contrastFailures(sheet);
    QVERIFY2(failures.isEmpty(), qPrintable(failures.join('\n')));

    // A complete theme: every kind of control the editor shows is styled.
    const QList<Rule> rules = parseRules(sheet);
    QStringList selectors;
    for (const Rule &rule : rules)
        selectors << rule.selectors;
    for (const char *kind : {"QMainWindow", "QMenuBar", "QMenu", "QMenu::item:selected", "QPushButton",
                             "QPushButton:disabled", "QLabel", "QListWidget", "QComboBox",
                             "QCheckBox", "QRadioButton", "QGroupBox", "QPlainTextEdit", "QTextEdit",
                             "QLineEdit", "QProgressBar", "QProgressBar::chunk", "QScrollBar:vertical",
                             "QMessageBox", "QToolTip", "quorvane--ArcDial", "quorvane--ToggleSwitch"})
        QVERIFY2(selectors.contains(QLatin1String(kind)), kind);
}

void TestLooks::contrastCheckerFindsPoorPairs()
{
    QCOMPARE(qRound(contrast(Qt::black, Qt::white)), 21);
    QVERIFY(contrast(QColor("#777777"), Qt::white) < 4.5);
    QVERIFY(contrast(QColor("#767676"), Qt::white) >= 4.5);
    const QString base = QStringLiteral("QWidget { color: #000000; background-color: #FFFFFF; }\n");
    QVERIFY(contrastFailures(base).isEmpty());
    // A grey label on the white window behind it.
    QCOMPARE(contrastFailures(base + "QLabel { color: #AAAAAA; background-color: transparent; }").size(), 1);
    QCOMPARE(contrastFailures(base + "QMenu::item:selected { color: #FFFFFF; background-color: #FFFF00; }").size(), 1);
    QCOMPARE(contrastFailures(base + "QListView { selection-color: #000000; selection-background-color: #333333; }").size(), 1);
    QCOMPARE(contrastFailures(base + "QPushButton:hover { background-color: #222222; }").size(), 1);
    QVERIFY(contrastFailures(base + "QScrollBar::handle { background-color: #222222; }").isEmpty());
}

void TestLooks::dialAndSwitchTakeTheLook_data()
{
    everyLookParsesOnEveryControl_data();
}

void TestLooks::dialAndSwitchTakeTheLook()
{
    QFETCH(int, look);
    const QList<Rule> rules = parseRules(look_style_sheet(look));
    const Rule *dialRule = findRule(rules, QStringLiteral("quorvane--ArcDial"));
    const Rule *switchRule = findRule(rules, QStringLiteral("quorvane--ToggleSwitch"));
    QVERIFY(dialRule && switchRule);
    Looks looks(m_dialogs);
    QVERIFY(looks.apply_look(look));
    QWidget window;
    auto *dial = new ArcDial(&window);
    auto *toggle = new ToggleSwitch(&window);
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));

    // The face, the pointer and the value arc of the dial; the switch's fill and knob.
    const QPalette dialPalette = dial->palette();
    QCOMPARE(dialPalette.color(QPalette::Button), QColor(dialRule->properties["background-color"]));
    QCOMPARE(dialPalette.color(QPalette::ButtonText), QColor(dialRule->properties["color"]));
    QCOMPARE(dialPalette.color(QPalette::Highlight), QColor(dialRule->properties["selection-background-color"]));
    const QPalette switchPalette = toggle->palette();
    QCOMPARE(switchPalette.color(QPalette::WindowText), QColor(switchRule->properties["color"]));
    QCOMPARE(switchPalette.color(QPalette::Highlight), QColor(switchRule->properties["selection-background-color"]));
    QCOMPARE(switchPalette.color(QPalette::HighlightedText), QColor(switchRule->properties["selection-color"]));
}

QTEST_MAIN(TestLooks)
#include "tst_looks.moc"
