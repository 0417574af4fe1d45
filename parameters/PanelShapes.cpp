#include "parameters/PanelShapes.h"

#include <QPainter>

namespace quorvane {

PanelFrame::PanelFrame(QWidget *parent) : QFrame(parent)
{
    setFrameShape(QFrame::NoFrame);
}

void PanelFrame::setOutlineColor(const QColor &color)
{
    m_outline = color;
    update();
}

void PanelFrame::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QColor c = m_outline;
    if (!isEnabled())
        c.setAlphaF(c.alphaF() * 0.45);
    p.setPen(QPen(c, 1));
    p.setBrush(Qt::NoBrush);
    p.drawRect(QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5));
}

PanelLine::PanelLine(QWidget *parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void PanelLine::setOutlineColor(const QColor &color)
{
    m_outline = color;
    update();
}

void PanelLine::setRotation(int degrees)
{
    m_rotation = degrees;
    update();
}

void PanelLine::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    QColor c = m_outline;
    if (!isEnabled())
        c.setAlphaF(c.alphaF() * 0.45);
    p.setPen(QPen(c, 1));
    if ((m_rotation % 180 + 180) % 180 == 90)
        p.drawLine(QPointF(0, 0.5), QPointF(width(), 0.5));
    else
        p.drawLine(QPointF(0.5, 0), QPointF(0.5, height()));
}

} // namespace quorvane
