#include "widgets/ToggleSwitch.h"

#include <QAccessible>
#include <QAccessibleWidget>
#include <QPainter>
#include <QStyleOption>

namespace quorvane {

namespace {

class ToggleSwitchAccessible : public QAccessibleWidget {
public:
    explicit ToggleSwitchAccessible(ToggleSwitch *toggle)
        : QAccessibleWidget(toggle, QAccessible::CheckBox) {}

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.checkable = true;
        s.checked = button()->isChecked();
        return s;
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return button()->isChecked() ? QStringLiteral("on") : QStringLiteral("off");
        return QAccessibleWidget::text(t);
    }

    QStringList actionNames() const override
    {
        return QStringList{toggleAction(), pressAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &name) override
    {
        if (name == toggleAction() || name == pressAction())
            button()->click();
        else
            QAccessibleWidget::doAction(name);
    }

private:
    ToggleSwitch *button() const { return static_cast<ToggleSwitch *>(widget()); }
};

QAccessibleInterface *toggle_switch_accessible(const QString &class_name, QObject *object)
{
    if (class_name == QLatin1String(ToggleSwitch::staticMetaObject.className()) && object
        && object->isWidgetType())
        return new ToggleSwitchAccessible(static_cast<ToggleSwitch *>(object));
    return nullptr;
}

} // namespace

ToggleSwitch::ToggleSwitch(QWidget *parent) : QAbstractButton(parent)
{
    static const bool factory_installed = [] {
        QAccessible::installFactory(toggle_switch_accessible);
        return true;
    }();
    Q_UNUSED(factory_installed);
    setCheckable(true);
    setFocusPolicy(Qt::StrongFocus);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    // Tell assistive tools about every change, whoever makes it.
    connect(this, &QAbstractButton::toggled, this, [this](bool on) {
        QAccessible::State changed;
        changed.checked = true;
        QAccessibleStateChangeEvent event(this, changed);
        QAccessible::updateAccessibility(&event);
        Q_UNUSED(on);
    });
}

bool ToggleSwitch::hitButton(const QPoint &pos) const
{
    return rect().contains(pos);
}

void ToggleSwitch::paintEvent(QPaintEvent *)
{
    QStyleOption option;
    option.initFrom(this);
    const QPalette &pal = option.palette;
    const bool on = isChecked();

    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    // The track fills the widget less a hair, with fully rounded ends.
    const QRectF track = QRectF(rect()).adjusted(1.0, 1.0, -1.0, -1.0);
    const qreal radius = track.height() / 2;
    QColor off_fill = pal.color(QPalette::WindowText);
    off_fill.setAlphaF(isDown() ? 0.36f : 0.24f);
    QColor on_fill = pal.color(QPalette::Highlight);
    if (isDown())
        on_fill = on_fill.darker(112);
    p.setPen(Qt::NoPen);
    p.setBrush(on ? on_fill : off_fill);
    p.drawRoundedRect(track, radius, radius);

    if (hasFocus()) {
        QColor ring = pal.color(QPalette::Highlight);
        ring.setAlphaF(0.6f);
        p.setPen(QPen(ring, 1.2));
        p.setBrush(Qt::NoBrush);
        const QRectF r = QRectF(rect()).adjusted(0.6, 0.6, -0.6, -0.6);
        p.drawRoundedRect(r, r.height() / 2, r.height() / 2);
    }

    // The knob sits at the left end when off, at the right end when on.
    const qreal margin = qMax<qreal>(2.0, track.height() * 0.12);
    const qreal knob = track.height() - 2 * margin;
    const qreal x = on ? track.right() - margin - knob : track.left() + margin;
    const QRectF knob_rect(x, track.top() + margin, knob, knob);
    QColor rim = pal.color(QPalette::WindowText);
    rim.setAlphaF(0.25f);
    p.setPen(QPen(rim, 0.8));
    p.setBrush(pal.color(QPalette::HighlightedText));
    p.drawEllipse(knob_rect);
}

} // namespace quorvane
