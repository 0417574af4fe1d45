// The default error report: an error escaping any handler is shown in one
// message box with its text, and the event loop goes on.

#include "EditorRig.h"

#include "app/EditorApplication.h"
#include "app/TformMain.h"
#include "effects/Catalogue.h"
#include "protocol/Codec.h"

#include <QPushButton>
#include <QTimer>
#include <QtTest>

#include <functional>
#include <stdexcept>

using namespace quorvane;

class TestErrorReport : public QObject {
    Q_OBJECT
private slots:
    void errorInAHandlerIsShownAndTheLoopGoesOn_data();
    void errorInAHandlerIsShownAndTheLoopGoesOn();
    void errorInAButtonClickIsShown();
    void editorInstallsItsDialogsForTheReport();
};

void TestErrorReport::errorInAHandlerIsShownAndTheLoopGoesOn_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::newRow("conversion error") << 0 << "'1A' is not a valid integer value";
    QTest::newRow("resource error") << 1 << "Resource QUORVANE_KQ5_0099 not found";
    QTest::newRow("standard exception") << 2 << "out of range";
    QTest::newRow("anything else") << 3 << "Unknown error";
}

void TestErrorReport::errorInAHandlerIsShownAndTheLoopGoesOn()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    test::ScriptedDialogs dialogs;
    editorApplication()->setErrorDialogs(&dialogs);

    int ranAfter = 0;
    QTimer failing;
    failing.setSingleShot(true);
    connect(&failing, &QTimer::timeout, this, [kind] {
        switch (kind) {
        case 0: throw ConversionError(QStringLiteral("'1A' is not a valid integer value"));
        case 1: throw ResourceError(QStringLiteral("QUORVANE_KQ5_0099"));
        case 2: throw std::out_of_range("out of range");
        default: throw 42;
        }
    });
    QTimer later;
    later.setSingleShot(true);
    connect(&later, &QTimer::timeout, this, [&ranAfter] { ++ranAfter; });
    failing.start(0);
    later.start(20);
    QTRY_COMPARE(ranAfter, 1);
    QCOMPARE(dialogs.messages, QStringList{text});
    editorApplication()->setErrorDialogs(nullptr);
}

void TestErrorReport::errorInAButtonClickIsShown()
{
    test::ScriptedDialogs dialogs;
    editorApplication()->setErrorDialogs(&dialogs);
    QPushButton button(QStringLiteral("Request"));
    int clicks = 0;
    connect(&button, &QPushButton::clicked, this, [&clicks] {
        if (++clicks == 1)
            throw ConversionError(QStringLiteral("'' is not a valid integer value"));
    });
    button.show();
    QVERIFY(QTest::qWaitForWindowExposed(&button));
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(dialogs.messages, QStringList{"'' is not a valid integer value"});
    // The button still works.
    QTest::mouseClick(&button, Qt::LeftButton);
    QCOMPARE(clicks, 2);
    QCOMPARE(dialogs.messages.size(), 1);
    editorApplication()->setErrorDialogs(nullptr);
}

void TestErrorReport::editorInstallsItsDialogsForTheReport()
{
    {
        test::EditorRig rig;
        Editor &editor = rig.start();
        QCOMPARE(editorApplication()->errorDialogs(), &rig.dialogs);
        QTimer::singleShot(0, &editor.mainWindow(), [] {
            throw ConversionError(QStringLiteral("'x' is not a valid integer value"));
        });
        QTRY_COMPARE(rig.dialogs.messages, QStringList{"'x' is not a valid integer value"});
    }
    QCOMPARE(editorApplication()->errorDialogs(), nullptr);
}

int main(int argc, char *argv[])
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen"
                                                                   : qgetenv("QT_QPA_PLATFORM"));
    EditorApplication app(argc, argv);
    TestErrorReport test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "tst_errorreport.moc"
