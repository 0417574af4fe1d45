#include "widgets/ArcDial.h"

#include <QAccessible>
#include <QAccessibleValueInterface>
#include <QAccessibleWidget>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QPainterPath>
#include <QStyleOption>
#include <QToolTip>
#include <QWheelEvent>

#include <cmath>

namespace quorvane {

namespace {

constexpr int sweep_start = -135; // minimum end of the drawn arc
constexpr int sweep_span = 270;   // clockwise to -45

int wrap_degrees(int degrees)
{
    int a = degrees % 360;
    if (a <= -180)
        a += 360;
    else if (a > 180)
        a -= 360;
    return a;
}

// How far along the drawn arc the pointer stands, in degrees clockwise from
// the minimum end; a pointer in the gap shows the nearer end.
int swept_degrees(int angle)
{
    const int s = ((sweep_start - angle) % 360 + 360) % 360;
    if (s <= sweep_span)
        return s;
    return s < sweep_span + (360 - sweep_span) / 2 ? sweep_span : 0;
}

class ArcDialAccessible : public QAccessibleWidget, public QAccessibleValueInterface {
public:
    explicit ArcDialAccessible(ArcDial *dial) : QAccessibleWidget(dial, QAccessible::Dial) {}

    void *interface_cast(QAccessible::InterfaceType type) override
    {
        if (type == QAccessible::ValueInterface)
            return static_cast<QAccessibleValueInterface *>(this);
        return QAccessibleWidget::interface_cast(type);
    }

    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return QString::number(dial()->angle());
        return QAccessibleWidget::text(t);
    }

    QVariant currentValue() const override { return dial()->angle(); }
    void setCurrentValue(const QVariant &value) override
    {
        // A disabled dial takes no input from anyone.
        bool ok = false;
        const int degrees = value.toInt(&ok);
        if (ok && dial()->isEnabled())
            dial()->setAngle(degrees);
    }
    QVariant maximumValue() const override { return 180; }
    QVariant minimumValue() const override { return -179; }
    QVariant minimumStepSize() const override { return 1; }

    QStringList actionNames() const override
    {
        return QStringList{increaseAction(), decreaseAction()} + QAccessibleWidget::actionNames();
    }
    void doAction(const QString &name) override
    {
        if (!dial()->isEnabled())
            return;
        if (name == increaseAction())
            dial()->stepBy(1);
        else if (name == decreaseAction())
            dial()->stepBy(-1);
        else
            QAccessibleWidget::doAction(name);
    }

private:
    ArcDial *dial() const { return static_cast<ArcDial *>(widget()); }
};

QAccessibleInterface *arc_dial_accessible(const QString &class_name, QObject *object)
{
    if (class_name == QLatin1String(ArcDial::staticMetaObject.className()) && object
        && object->isWidgetType())
        return new ArcDialAccessible(static_cast<ArcDial *>(object));
    return nullptr;
}

} // namespace

ArcDial::ArcDial(QWidget *parent) : QWidget(parent)
{
    static const bool factory_installed = [] {
        QAccessible::installFactory(arc_dial_accessible);
        return true;
    }();
    Q_UNUSED(factory_installed);
    setFocusPolicy(Qt::StrongFocus);
    setAttribute(Qt::WA_Hover);
    QSizePolicy policy(QSizePolicy::Fixed, QSizePolicy::Fixed);
    setSizePolicy(policy);
}

void ArcDial::setAngle(int degrees)
{
    const int a = wrap_degrees(degrees);
    if (a == m_angle)
        return;
    m_angle = a;
    update();
    QAccessibleValueChangeEvent event(this, m_angle);
    QAccessible::updateAccessibility(&event);
    emit angleChanged(m_angle);
}

void ArcDial::turnClockwise(int steps)
{
    // Counter-clockwise is positive, so clockwise lowers the angle.
    setAngle(m_angle - steps % 360);
}

void ArcDial::setStops(const QList<int> &angles)
{
    m_stops.clear();
    for (int a : angles)
        m_stops.append(wrap_degrees(a));
}

void ArcDial::stepBy(int steps)
{
    if (m_stops.isEmpty()) {
        turnClockwise(steps);
        return;
    }
    // From the stop nearest to where the pointer stands along the sweep.
    const int here = swept_degrees(m_angle);
    qsizetype nearest = 0;
    for (qsizetype i = 1; i < m_stops.size(); ++i)
        if (qAbs(swept_degrees(m_stops[i]) - here) < qAbs(swept_degrees(m_stops[nearest]) - here))
            nearest = i;
    const qsizetype target = qBound<qsizetype>(0, nearest + steps, m_stops.size() - 1);
    setAngle(m_stops[target]);
}

void ArcDial::setReadout(const QString &text)
{
    if (text == m_readout)
        return;
    m_readout = text;
    setAccessibleDescription(text);
    update();
}

bool ArcDial::angleAt(const QPointF &point, int *angle) const
{
    const QPointF centre = QRectF(rect()).center();
    const double dx = point.x() - centre.x();
    const double dy = centre.y() - point.y(); // screen y grows downwards
    if (std::hypot(dx, dy) < 2.0)
        return false;
    *angle = wrap_degrees(int(std::lround(std::atan2(dy, dx) * 180.0 / M_PI)));
    return true;
}

bool ArcDial::event(QEvent *event)
{
    if (event->type() == QEvent::ToolTip && !m_valueTip.isEmpty()) {
        const QString hint = toolTip();
        const QString shown = hint.isEmpty() || hint == m_valueTip
                                  ? m_valueTip
                                  : hint + QStringLiteral("\r\n") + m_valueTip;
        QToolTip::showText(static_cast<QHelpEvent *>(event)->globalPos(), shown, this);
        return true;
    }
    return QWidget::event(event);
}

void ArcDial::keyPressEvent(QKeyEvent *event)
{
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Right:
        stepBy(1);
        break;
    case Qt::Key_Down:
    case Qt::Key_Left:
        stepBy(-1);
        break;
    case Qt::Key_PageUp:
        stepBy(m_stops.isEmpty() ? 10 : 4);
        break;
    case Qt::Key_PageDown:
        stepBy(m_stops.isEmpty() ? -10 : -4);
        break;
    case Qt::Key_Home:
        setAngle(sweep_start);
        break;
    case Qt::Key_End:
        setAngle(sweep_start - sweep_span);
        break;
    default:
        QWidget::keyPressEvent(event);
        return;
    }
    event->accept();
}

void ArcDial::wheelEvent(QWheelEvent *event)
{
    const QPoint delta = event->angleDelta();
    int d = delta.y() != 0 ? delta.y() : delta.x();
    if (event->inverted())
        d = -d;
    // One degree per notch (120 units); finer wheels add up to whole notches.
    m_wheelRemainder += d;
    const int steps = m_wheelRemainder / 120;
    m_wheelRemainder -= steps * 120;
    if (steps != 0)
        stepBy(steps);
    event->accept();
}

void ArcDial::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QWidget::mousePressEvent(event);
        return;
    }
    m_dragging = true;
    int a;
    if (angleAt(event->position(), &a))
        setAngle(a);
    event->accept();
}

void ArcDial::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    int a;
    if (angleAt(event->position(), &a))
        setAngle(a);
    event->accept();
}

void ArcDial::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton)
        m_dragging = false;
    event->accept();
}

void ArcDial::paintEvent(QPaintEvent *)
{
    QStyleOption option;
    option.initFrom(this);
    const QPalette &pal = option.palette;

    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);

    const qreal side = qMin(width(), height());
    const QPointF centre = QRectF(rect()).center();
    const qreal track_width = qMax<qreal>(2.0, side * 0.085);
    const qreal track_radius = side / 2 - track_width / 2 - 0.5;
    const QRectF track_rect(centre.x() - track_radius, centre.y() - track_radius,
                            2 * track_radius, 2 * track_radius);

    // Track behind the sweep, then the value arc from the minimum end.
    QColor track = pal.color(QPalette::WindowText);
    track.setAlphaF(0.22f);
    p.setPen(QPen(track, track_width, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(track_rect, (sweep_start - sweep_span) * 16, sweep_span * 16);

    const QColor accent = pal.color(QPalette::Highlight);
    const int swept = swept_degrees(m_angle);
    if (swept > 0) {
        p.setPen(QPen(accent, track_width, Qt::SolidLine, Qt::RoundCap));
        p.drawArc(track_rect, sweep_start * 16, -swept * 16);
    }

    // Knob face: a softly shaded disc with a fine rim.
    const qreal knob_radius = track_radius - track_width - side * 0.04;
    const QColor face = pal.color(QPalette::Button);
    QLinearGradient shade(centre.x(), centre.y() - knob_radius, centre.x(), centre.y() + knob_radius);
    shade.setColorAt(0.0, face.lighter(118));
    shade.setColorAt(1.0, face.darker(122));
    QColor rim = pal.color(QPalette::WindowText);
    rim.setAlphaF(0.35f);
    p.setPen(QPen(rim, 1.0));
    p.setBrush(shade);
    p.drawEllipse(centre, knob_radius, knob_radius);

    // Pointer: a short line from near the centre to the face's edge; with a
    // readout in the middle, a tick at the edge.
    const bool with_readout = !m_readout.isEmpty();
    const double radians = m_angle * M_PI / 180.0;
    const QPointF direction(std::cos(radians), -std::sin(radians));
    const QPointF inner = centre + direction * (knob_radius * (with_readout ? 0.66 : 0.30));
    const QPointF outer = centre + direction * (knob_radius * (with_readout ? 0.92 : 0.82));
    p.setPen(QPen(pal.color(QPalette::ButtonText), qMax<qreal>(1.5, side * 0.06), Qt::SolidLine,
                  Qt::RoundCap));
    p.drawLine(inner, outer);

    if (with_readout) {
        // Inside the ring the tick leaves free; "n / max" as n over "/ max".
        const qsizetype slash = m_readout.indexOf(QStringLiteral(" / "));
        const QString top = slash < 0 ? m_readout : m_readout.left(slash);
        const QString bottom = slash < 0 ? QString() : m_readout.mid(slash + 1).remove(QLatin1Char(' '));
        const qreal room = knob_radius * 1.32;
        QFont font = p.font();
        font.setBold(false);
        font.setStretch(QFont::SemiCondensed);
        auto fitted = [&font, room](const QString &text, qreal pixels) {
            QFont f = font;
            for (;; pixels -= 1.0) {
                f.setPixelSize(int(pixels));
                if (pixels <= 6.0 || QFontMetricsF(f).horizontalAdvance(text) <= room)
                    return f;
            }
        };
        p.setPen(pal.color(QPalette::ButtonText));
        const qreal big = qMax<qreal>(6.0, side * 0.24);
        if (bottom.isEmpty()) {
            p.setFont(fitted(top, big));
            p.drawText(QRectF(centre.x() - room / 2, centre.y() - knob_radius * 0.5, room, knob_radius),
                       Qt::AlignCenter, top);
        } else {
            const QFont upper = fitted(top, big);
            const QFont lower = fitted(bottom, qMax<qreal>(6.0, side * 0.17));
            const qreal h1 = QFontMetricsF(upper).ascent();
            const qreal h2 = QFontMetricsF(lower).ascent();
            const qreal y0 = centre.y() - (h1 + h2) / 2;
            p.setFont(upper);
            p.drawText(QRectF(centre.x() - room / 2, y0, room, h1), Qt::AlignHCenter | Qt::AlignBottom, top);
            p.setFont(lower);
            p.drawText(QRectF(centre.x() - room / 2, y0 + h1, room, h2 + 1), Qt::AlignHCenter | Qt::AlignTop,
                       bottom);
        }
    }

    if (hasFocus()) {
        QColor ring = accent;
        ring.setAlphaF(0.55f);
        p.setPen(QPen(ring, 1.2));
        p.setBrush(Qt::NoBrush);
        p.drawEllipse(centre, knob_radius + 1.6, knob_radius + 1.6);
    }
}

} // namespace quorvane
