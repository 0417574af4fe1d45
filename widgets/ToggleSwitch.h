#pragma once
// An on/off switch: a rounded track with a sliding knob. A click or the Space
// key toggles it; `checked` and `toggled` come from QAbstractButton.
//
// Looks: drawn from the palette, so a style sheet restyles it (selector
// quorvane--ToggleSwitch): selection-background-color fills the track when
// on, a veil of the text colour (color) when off; selection-color is the
// knob; the focus ring uses the selection background. Drawn as vectors,
// sharp at any pixel ratio.
//
// Accessibility: a check box with a toggle action.

#include <QAbstractButton>

namespace quorvane {

class ToggleSwitch : public QAbstractButton {
    Q_OBJECT
public:
    explicit ToggleSwitch(QWidget *parent = nullptr);

    QSize sizeHint() const override { return {41, 21}; }
    QSize minimumSizeHint() const override { return {24, 12}; }

protected:
    void paintEvent(QPaintEvent *event) override;
    bool hitButton(const QPoint &pos) const override;
};

} // namespace quorvane
