#pragma once
// A small rotary knob that reports its pointer angle in whole degrees in
// (-180, 180]: 0 points right, angles grow counter-clockwise, -90 points down.
// It turns freely; the arc drawn behind it runs clockwise from -135 to -45.
//
// Input: drag the pointer around the centre with the mouse; wheel and arrow
// keys turn it one degree per step, Up, Right and wheel-up clockwise (towards
// -45), Down, Left and wheel-down counter-clockwise; Page Up/Down turn ten
// degrees; Home and End go to -135 and -45. The angle wraps from -179 to 180.
// A dial given stops (the angles of a stepped value, minimum first) moves
// from stop to stop instead: one stop per key or notch, four per page.
//
// A dial may show a short readout of its value inside the knob; the same
// text is its accessible description.
//
// Looks: everything is drawn from the palette, so a style sheet restyles it
// (selector quorvane--ArcDial): background-color (the button colour) is the
// knob face, color the pointer and, veiled, the track and the rim;
// selection-background-color the value arc and the focus ring. Drawn as
// vectors, so it is sharp at any device pixel ratio.
//
// Accessibility: a dial with the angle as its value, which assistive tools
// may also set.

#include <QList>
#include <QString>
#include <QWidget>

namespace quorvane {

class ArcDial : public QWidget {
    Q_OBJECT
    Q_PROPERTY(int angle READ angle WRITE setAngle NOTIFY angleChanged USER true)
public:
    explicit ArcDial(QWidget *parent = nullptr);

    int angle() const { return m_angle; }

    QSize sizeHint() const override { return {40, 40}; }
    QSize minimumSizeHint() const override { return {16, 16}; }

    // The whole-degree angle of the direction from the centre to `point`, in
    // (-180, 180]; false when the point is too near the centre to say.
    bool angleAt(const QPointF &point, int *angle) const;

    // The angles a stepped dial stops at, in sweep order from the minimum
    // end; empty (the default) for a dial that moves by whole degrees.
    void setStops(const QList<int> &angles);
    const QList<int> &stops() const { return m_stops; }

    // The text shown inside the knob and given as the accessible description.
    void setReadout(const QString &text);
    QString readout() const { return m_readout; }

    // A line shown on hover under the dial's tooltip (alone when the dial has
    // none, once when the tooltip is that line), so a hint can stay as it is.
    void setValueTip(const QString &text) { m_valueTip = text; }
    QString valueTip() const { return m_valueTip; }

public slots:
    // Any whole number of degrees; it is brought into (-180, 180].
    void setAngle(int degrees);
    // Turns by `steps` degrees, clockwise for positive steps.
    void turnClockwise(int steps = 1);
    // One user step: `steps` degrees on a plain dial, `steps` stops on a
    // stepped one (held at the first and the last stop). Clockwise for
    // positive steps.
    void stepBy(int steps);

signals:
    void angleChanged(int angle);

protected:
    bool event(QEvent *event) override;
    void paintEvent(QPaintEvent *event) override;
    void keyPressEvent(QKeyEvent *event) override;
    void wheelEvent(QWheelEvent *event) override;
    void mousePressEvent(QMouseEvent *event) override;
    void mouseMoveEvent(QMouseEvent *event) override;
    void mouseReleaseEvent(QMouseEvent *event) override;

private:
    int m_angle = -135;
    bool m_dragging = false;
    int m_wheelRemainder = 0;
    QList<int> m_stops;
    QString m_readout;
    QString m_valueTip;
};

} // namespace quorvane
