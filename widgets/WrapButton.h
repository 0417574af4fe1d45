#pragma once
// A push button whose caption wraps onto several lines inside its fixed size.

#include <QPushButton>

namespace quorvane {

class WrapButton : public QPushButton {
    Q_OBJECT
public:
    using QPushButton::QPushButton;

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *event) override;
};

} // namespace quorvane
