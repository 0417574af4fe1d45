#include "widgets/ArcDial.h"
#include "widgets/ToggleSwitch.h"

#include <QAccessible>
#include <QAccessibleActionInterface>
#include <QAccessibleValueInterface>
#include <QHBoxLayout>
#include <QPainter>
#include <QPixmap>
#include <QtTest>

using namespace quorvane;

namespace {

void send_wheel(QWidget *w, int delta, bool inverted = false)
{
    const QPointF pos = QRectF(w->rect()).center();
    QWheelEvent event(pos, w->mapToGlobal(pos), QPoint(), QPoint(0, delta), Qt::NoButton,
                      Qt::NoModifier, Qt::NoScrollPhase, inverted);
    QApplication::sendEvent(w, &event);
}

// Renders a widget at a device pixel ratio and keeps the picture beside the
// build for a look by eye.
QImage render(QWidget *w, qreal ratio, const QString &name)
{
    QPixmap pixmap(w->size() * ratio);
    pixmap.setDevicePixelRatio(ratio);
    pixmap.fill(w->palette().color(QPalette::Window));
    w->render(&pixmap, QPoint(), QRegion(), QWidget::DrawChildren);
    const QString dir = qEnvironmentVariable("QUORVANE_BINARY_DIR");
    if (!dir.isEmpty())
        pixmap.save(dir + QStringLiteral("/widgets-") + name + QStringLiteral(".png"));
    return pixmap.toImage();
}

int count_near(const QImage &image, QColor colour)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QColor c = image.pixelColor(x, y);
            if (qAbs(c.red() - colour.red()) < 24 && qAbs(c.green() - colour.green()) < 24
                && qAbs(c.blue() - colour.blue()) < 24)
                ++n;
        }
    return n;
}

} // namespace

class TestWidgets : public QObject {
    Q_OBJECT
private slots:
    void dialSizeAndStart()
    {
        ArcDial dial;
        QCOMPARE(dial.sizeHint(), QSize(40, 40));
        QCOMPARE(dial.angle(), -135);
        QVERIFY(dial.focusPolicy() & Qt::TabFocus);
        QVERIFY(dial.focusPolicy() & Qt::ClickFocus);
        ToggleSwitch toggle;
        QCOMPARE(toggle.sizeHint(), QSize(41, 21));
        QVERIFY(!toggle.isChecked());
        QVERIFY(toggle.focusPolicy() & Qt::TabFocus);
    }

    void setAngleWraps_data()
    {
        QTest::addColumn<int>("set");
        QTest::addColumn<int>("angle");
        QTest::newRow("180 stays") << 180 << 180;
        QTest::newRow("-180 is 180") << -180 << 180;
        QTest::newRow("181 is -179") << 181 << -179;
        QTest::newRow("540 is 180") << 540 << 180;
        QTest::newRow("-360 is 0") << -360 << 0;
        QTest::newRow("-45") << -45 << -45;
    }
    void setAngleWraps()
    {
        QFETCH(int, set);
        QFETCH(int, angle);
        ArcDial dial;
        QSignalSpy spy(&dial, &ArcDial::angleChanged);
        dial.setAngle(set);
        QCOMPARE(dial.angle(), angle);
        QCOMPARE(dial.property("angle").toInt(), angle);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), angle);
        dial.setAngle(angle + 360); // the same angle again: no signal
        QCOMPARE(spy.count(), 1);
    }

    void keysTurnOneDegree_data()
    {
        QTest::addColumn<int>("start");
        QTest::addColumn<int>("key");
        QTest::addColumn<int>("angle");
        QTest::newRow("Up turns clockwise") << -135 << int(Qt::Key_Up) << -136;
        QTest::newRow("Right turns clockwise") << 90 << int(Qt::Key_Right) << 89;
        QTest::newRow("Down turns back") << -136 << int(Qt::Key_Down) << -135;
        QTest::newRow("Left turns back") << 0 << int(Qt::Key_Left) << 1;
        QTest::newRow("Up wraps -179 to 180") << -179 << int(Qt::Key_Up) << 180;
        QTest::newRow("Down wraps 180 to -179") << 180 << int(Qt::Key_Down) << -179;
        QTest::newRow("Page Up ten clockwise") << 5 << int(Qt::Key_PageUp) << -5;
        QTest::newRow("Page Down ten back") << 175 << int(Qt::Key_PageDown) << -175;
        QTest::newRow("Home to minimum") << 30 << int(Qt::Key_Home) << -135;
        QTest::newRow("End to maximum") << 30 << int(Qt::Key_End) << -45;
    }
    void keysTurnOneDegree()
    {
        QFETCH(int, start);
        QFETCH(int, key);
        QFETCH(int, angle);
        ArcDial dial;
        dial.setAngle(start);
        QSignalSpy spy(&dial, &ArcDial::angleChanged);
        QTest::keyClick(&dial, Qt::Key(key));
        QCOMPARE(dial.angle(), angle);
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.at(0).at(0).toInt(), angle);
    }

    void otherKeysAndDisabledDialChangeNothing()
    {
        ArcDial dial;
        QSignalSpy spy(&dial, &ArcDial::angleChanged);
        QTest::keyClick(&dial, Qt::Key_A);
        QTest::keyClick(&dial, Qt::Key_Space);
        dial.setEnabled(false);
        QTest::keyClick(&dial, Qt::Key_Up);
        send_wheel(&dial, 120);
        QCOMPARE(dial.angle(), -135);
        QCOMPARE(spy.count(), 0);
    }

    void wheelTurnsOneDegreePerNotch_data()
    {
        QTest::addColumn<QList<int>>("deltas");
        QTest::addColumn<bool>("inverted");
        QTest::addColumn<int>("angle");
        QTest::newRow("up turns clockwise") << QList<int>{120} << false << -1;
        QTest::newRow("down turns back") << QList<int>{-120} << false << 1;
        QTest::newRow("two notches at once") << QList<int>{240} << false << -2;
        QTest::newRow("half notches add up") << QList<int>{60, 30, 30} << false << -1;
        QTest::newRow("a half notch does nothing yet") << QList<int>{60} << false << 0;
        QTest::newRow("natural scrolling") << QList<int>{-120} << true << -1;
    }
    void wheelTurnsOneDegreePerNotch()
    {
        QFETCH(QList<int>, deltas);
        QFETCH(bool, inverted);
        QFETCH(int, angle);
        ArcDial dial;
        dial.setAngle(0);
        for (int d : deltas)
            send_wheel(&dial, d, inverted);
        QCOMPARE(dial.angle(), angle);
    }

    void wheelWrapsAtTheBack()
    {
        ArcDial dial;
        dial.setAngle(-179);
        send_wheel(&dial, 120);
        QCOMPARE(dial.angle(), 180);
        send_wheel(&dial, -120);
        QCOMPARE(dial.angle(), -179);
    }

    void dragFollowsThePointer()
    {
        QWidget window;
        auto *dial = new ArcDial(&window);
        dial->setGeometry(10, 10, 40, 40);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy spy(dial, &ArcDial::angleChanged);

        // Centre of the 40 x 40 dial is (20, 20) in its own coordinates.
        QTest::mousePress(dial, Qt::LeftButton, {}, QPoint(35, 20));
        QCOMPARE(dial->angle(), 0);
        QTest::mouseMove(dial, QPoint(20, 5));
        QCOMPARE(dial->angle(), 90);
        QTest::mouseMove(dial, QPoint(5, 20));
        QCOMPARE(dial->angle(), 180);
        QTest::mouseMove(dial, QPoint(5, 35));
        QCOMPARE(dial->angle(), -135);
        QTest::mouseMove(dial, QPoint(20, 20)); // the very centre says nothing
        QCOMPARE(dial->angle(), -135);
        QTest::mouseMove(dial, QPoint(35, 35));
        QCOMPARE(dial->angle(), -45);
        QTest::mouseRelease(dial, Qt::LeftButton, {}, QPoint(35, 35));
        QTest::mouseMove(dial, QPoint(35, 20)); // no longer dragging
        QCOMPARE(dial->angle(), -45);
        QCOMPARE(spy.count(), 5);
    }

    void dialAccessibleValue()
    {
        ArcDial dial;
        dial.setAccessibleName(QStringLiteral("Dry"));
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&dial);
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::Dial);
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Dry"));
        QAccessibleValueInterface *value = iface->valueInterface();
        QVERIFY(value);
        QCOMPARE(value->currentValue().toInt(), -135);
        QCOMPARE(value->minimumValue().toInt(), -179);
        QCOMPARE(value->maximumValue().toInt(), 180);
        QCOMPARE(value->minimumStepSize().toInt(), 1);

        QSignalSpy spy(&dial, &ArcDial::angleChanged);
        value->setCurrentValue(45);
        QCOMPARE(dial.angle(), 45);
        QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("45"));
        value->setCurrentValue(QStringLiteral("no number"));
        QCOMPARE(dial.angle(), 45);
        value->setCurrentValue(-180);
        QCOMPARE(dial.angle(), 180);

        QAccessibleActionInterface *actions = iface->actionInterface();
        QVERIFY(actions);
        actions->doAction(QAccessibleActionInterface::increaseAction());
        QCOMPARE(dial.angle(), 179);
        actions->doAction(QAccessibleActionInterface::decreaseAction());
        actions->doAction(QAccessibleActionInterface::decreaseAction());
        QCOMPARE(dial.angle(), -179);
        QCOMPARE(spy.count(), 5);

        dial.setEnabled(false);
        value->setCurrentValue(10);
        actions->doAction(QAccessibleActionInterface::increaseAction());
        QCOMPARE(dial.angle(), -179);
    }

    void switchClickAndSpaceToggle()
    {
        QWidget window;
        auto *toggle = new ToggleSwitch(&window);
        toggle->setGeometry(10, 10, 41, 21);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QSignalSpy spy(toggle, &ToggleSwitch::toggled);

        QTest::mouseClick(toggle, Qt::LeftButton, {}, QPoint(5, 10));
        QVERIFY(toggle->isChecked());
        QTest::keyClick(toggle, Qt::Key_Space);
        QVERIFY(!toggle->isChecked());
        QTest::keyClick(toggle, Qt::Key_Space);
        QVERIFY(toggle->isChecked());
        QTest::mouseClick(toggle, Qt::LeftButton, {}, QPoint(38, 18));
        QVERIFY(!toggle->isChecked());
        QCOMPARE(spy.count(), 4);
        QCOMPARE(spy.at(0).at(0).toBool(), true);
        QCOMPARE(spy.at(3).at(0).toBool(), false);

        // Set from code: the same signal, so whoever listens hears it.
        toggle->setChecked(true);
        QCOMPARE(spy.count(), 5);
        QVERIFY(toggle->property("checked").toBool());

        toggle->setEnabled(false);
        QTest::mouseClick(toggle, Qt::LeftButton, {}, QPoint(5, 10));
        QTest::keyClick(toggle, Qt::Key_Space);
        QVERIFY(toggle->isChecked());
        QCOMPARE(spy.count(), 5);
    }

    void switchAccessible()
    {
        ToggleSwitch toggle;
        toggle.setAccessibleName(QStringLiteral("Bypass"));
        QAccessibleInterface *iface = QAccessible::queryAccessibleInterface(&toggle);
        QVERIFY(iface);
        QCOMPARE(iface->role(), QAccessible::CheckBox);
        QCOMPARE(iface->text(QAccessible::Name), QStringLiteral("Bypass"));
        QVERIFY(iface->state().checkable);
        QVERIFY(!iface->state().checked);
        QVERIFY(iface->state().focusable);
        QAccessibleActionInterface *actions = iface->actionInterface();
        QVERIFY(actions);
        QVERIFY(actions->actionNames().contains(QAccessibleActionInterface::toggleAction()));
        actions->doAction(QAccessibleActionInterface::toggleAction());
        QVERIFY(toggle.isChecked());
        QVERIFY(iface->state().checked);
        QCOMPARE(iface->text(QAccessible::Value), QStringLiteral("on"));
    }

    void keyboardReachesBoth()
    {
        QWidget window;
        auto *layout = new QHBoxLayout(&window);
        auto *dial = new ArcDial;
        auto *toggle = new ToggleSwitch;
        layout->addWidget(dial);
        layout->addWidget(toggle);
        window.show();
        QVERIFY(QTest::qWaitForWindowActive(&window));
        dial->setFocus();
        QVERIFY(dial->hasFocus());
        QTest::keyClick(dial, Qt::Key_Up);
        QCOMPARE(dial->angle(), -136);
        QTest::keyClick(&window, Qt::Key_Tab);
        QVERIFY(toggle->hasFocus());
        QTest::keyClick(toggle, Qt::Key_Space);
        QVERIFY(toggle->isChecked());
    }

    // Every colour comes from the palette, so a style sheet or a palette of
    // any look restyles both; drawn at several pixel ratios.
    void lookFollowsStyleSheetAndPalette_data()
    {
        QTest::addColumn<qreal>("ratio");
        QTest::newRow("1x") << qreal(1);
        QTest::newRow("1.5x") << qreal(1.5);
        QTest::newRow("2x") << qreal(2);
    }
    void lookFollowsStyleSheetAndPalette()
    {
        QFETCH(qreal, ratio);
        const QString tag = QString::number(ratio);
        const QColor red(220, 20, 20);
        const QColor green(20, 200, 60);

        QWidget panel;
        panel.setStyleSheet(QStringLiteral(
            "quorvane--ArcDial, quorvane--ToggleSwitch { selection-background-color: rgb(220, 20, 20); }"));
        auto *dial = new ArcDial(&panel);
        dial->setGeometry(0, 0, 40, 40);
        auto *toggle = new ToggleSwitch(&panel);
        toggle->setGeometry(50, 10, 41, 21);
        panel.resize(100, 40);
        panel.ensurePolished();
        dial->setAngle(-45); // the whole arc shows the accent
        toggle->setChecked(true);
        QImage image = render(&panel, ratio, QStringLiteral("stylesheet-") + tag);
        const int red_pixels = count_near(image, red);
        QVERIFY2(red_pixels > 80 * ratio * ratio, qPrintable(QString::number(red_pixels)));

        // At the minimum the arc is empty: only the switch shows the accent.
        dial->setAngle(-135);
        toggle->setChecked(false);
        image = render(&panel, ratio, QStringLiteral("stylesheet-min-") + tag);
        QCOMPARE(count_near(image, red), 0);

        ArcDial plain;
        plain.resize(40, 40);
        QPalette pal = plain.palette();
        pal.setColor(QPalette::Highlight, green);
        plain.setPalette(pal);
        plain.setAngle(0);
        image = render(&plain, ratio, QStringLiteral("palette-") + tag);
        QVERIFY(count_near(image, green) > 30 * ratio * ratio);
    }

    // A look at both, light, dark and disabled, for the eye: written beside the build.
    void panelPicture()
    {
        QWidget panel;
        panel.resize(250, 165);
        const int angles[] = {-135, -179, 90, -45};
        for (int row = 0; row < 3; ++row) {
            QWidget *box = new QWidget(&panel);
            box->setGeometry(0, row * 55, 250, 55);
            box->setAutoFillBackground(true);
            box->setEnabled(row != 2); // the last row as before the first link
            if (row == 1)
                box->setStyleSheet(QStringLiteral(
                    "QWidget { background-color: #23262b; color: #e6e6e6;"
                    " selection-background-color: #f0a030; selection-color: #ffffff; }"));
            for (int i = 0; i < 4; ++i) {
                auto *dial = new ArcDial(box);
                dial->setGeometry(8 + i * 45, 8, 40, 40);
                dial->setAngle(angles[i]);
            }
            auto *on = new ToggleSwitch(box);
            on->setGeometry(190, 6, 41, 21);
            on->setChecked(true);
            auto *off = new ToggleSwitch(box);
            off->setGeometry(190, 30, 41, 21);
        }
        panel.ensurePolished();
        const QImage image = render(&panel, 3, QStringLiteral("panel"));
        QCOMPARE(image.size(), QSize(750, 495));
    }
};

QTEST_MAIN(TestWidgets)
#include "tst_widgets.moc"
