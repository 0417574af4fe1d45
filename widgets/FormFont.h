#pragma once
// The forms are drawn in Arial. Where Arial is missing, a font of the same
// widths is preferred (Liberation Sans, Arimo), then a condensed one, so that
// the captions fit the fixed layout.

#include <QFont>
#include <QStringList>
#include <QWidget>

namespace quorvane {

inline void use_form_font(QWidget *widget, qreal pointSize)
{
    QFont font = widget->font();
    font.setFamilies({QStringLiteral("Arial"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arimo"), QStringLiteral("Helvetica"),
                      QStringLiteral("DejaVu Sans Condensed")});
    font.setPointSizeF(pointSize);
    widget->setFont(font);
}

} // namespace quorvane
