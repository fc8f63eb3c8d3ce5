#include "ui/panes/ds_italic_font.h"

#include <QFontDatabase>
#include <QFontInfo>
#include <QPainter>

#include <cmath>

ds_italic_font_s ds_italicize(const QFont &font)
{
    // Qt would slant a face of its own accord and still call it italic: ask
    // the family's faces instead.
    const QString family = QFontInfo(font).family();
    for (const QString &style : QFontDatabase::styles(family))
        if (QFontDatabase::italic(family, style)) {
            QFont italic = font;
            italic.setItalic(true);
            return {italic, false};
        }
    return {font, true};
}

ds_italic_font_s ds_italic_system_font(qreal pointSize)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(pointSize);
    return ds_italicize(font);
}

ds_italic_font_s ds_bold_italic_system_font(qreal pointSize)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(pointSize);
    font.setBold(true);
    return ds_italicize(font);
}

QFont ds_cell_font(const QFont &cellFont, bool bold, bool italic)
{
    QFont font = QFontDatabase::systemFont(QFontDatabase::GeneralFont);
    font.setPointSizeF(cellFont.pointSizeF());
    font.setBold(bold);
    if (italic) {
        font = ds_italicize(font).font;
        font.setItalic(true);
    }
    return font;
}

QTransform ds_synthetic_italic_transform()
{
    // tan 14°, in single precision as the slant has always been computed.
    const float slant = -std::tan(-14.0f / 90.0f * float(M_PI_2));
    // y grows downwards: a point above the baseline (y < 0) moves right.
    return QTransform(1, 0, -double(slant), 1, 0, 0);
}

void ds_draw_italic_text(QPainter &painter, QPointF origin, const QString &text, const ds_italic_font_s &font)
{
    painter.save();
    painter.setFont(font.font);
    painter.translate(origin);
    if (font.synthetic)
        painter.setTransform(ds_synthetic_italic_transform(), true);
    painter.drawText(QPointF(0, 0), text);
    painter.restore();
}
