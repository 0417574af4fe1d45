#pragma once
// The effect window's outlines: the frames around the tracking functions and
// the harmonic group, and the separator line above the slot lists. They are
// drawn only as outlines (no fill), in a colour the window sets on show, and
// let every mouse event through to what lies under them.

#include <QColor>
#include <QFrame>
#include <QWidget>

namespace quorvane {

// A rectangle outline one pixel wide; its children sit inside it.
class PanelFrame : public QFrame {
    Q_OBJECT
    Q_PROPERTY(QColor outlineColor READ outlineColor WRITE setOutlineColor)
public:
    explicit PanelFrame(QWidget *parent = nullptr);

    QColor outlineColor() const { return m_outline; }
    void setOutlineColor(const QColor &color);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_outline = Qt::black;
};

// A straight line. Unturned it runs down the left edge of its box; turned by
// 90 degrees about its centre (the box then being the turned one) it runs
// along the top edge.
class PanelLine : public QWidget {
    Q_OBJECT
    Q_PROPERTY(QColor outlineColor READ outlineColor WRITE setOutlineColor)
    Q_PROPERTY(int rotation READ rotation WRITE setRotation)
public:
    explicit PanelLine(QWidget *parent = nullptr);

    QColor outlineColor() const { return m_outline; }
    void setOutlineColor(const QColor &color);
    int rotation() const { return m_rotation; }
    void setRotation(int degrees);

protected:
    void paintEvent(QPaintEvent *event) override;

private:
    QColor m_outline = Qt::black;
    int m_rotation = 0;
};

} // namespace quorvane
