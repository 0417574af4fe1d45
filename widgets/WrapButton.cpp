#include "widgets/WrapButton.h"

#include <QStyleOptionButton>
#include <QStylePainter>

namespace quorvane {

QSize WrapButton::sizeHint() const
{
    const QSize hint = QPushButton::sizeHint();
    return {qMin(hint.width(), 96), hint.height()};
}

void WrapButton::paintEvent(QPaintEvent *)
{
    QStylePainter painter(this);
    QStyleOptionButton option;
    initStyleOption(&option);
    const QString caption = option.text;
    option.text.clear();
    painter.drawControl(QStyle::CE_PushButton, option);

    QRect area = style()->subElementRect(QStyle::SE_PushButtonContents, &option, this);
    area.adjust(1, 0, -1, 0);
    if (isDown() || isChecked())
        area.translate(style()->pixelMetric(QStyle::PM_ButtonShiftHorizontal, &option, this),
                       style()->pixelMetric(QStyle::PM_ButtonShiftVertical, &option, this));
    // A caption too long for the button is drawn smaller rather than cut.
    QFont captionFont = font();
    const int flags = Qt::AlignCenter | Qt::TextWordWrap;
    for (qreal size = captionFont.pointSizeF(); size > 6.5; size -= 0.5) {
        captionFont.setPointSizeF(size);
        const QRect needed = QFontMetrics(captionFont).boundingRect(area, flags, caption);
        if (needed.height() <= area.height() + 2 && needed.width() <= area.width())
            break;
    }
    painter.setFont(captionFont);
    painter.drawItemText(area, flags, option.palette, isEnabled(), caption, QPalette::ButtonText);
}

} // namespace quorvane
