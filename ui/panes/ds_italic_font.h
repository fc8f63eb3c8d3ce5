#pragma once
// Italic text where a family has no italic face: the font is kept and its
// text drawn through a shear, as a slanted face would look.

#include <QFont>
#include <QPointF>
#include <QTransform>

class QPainter;
class QString;

struct ds_italic_font_s
{
    QFont font;
    bool synthetic;  // no italic or oblique face: draw through the shear
};

// The font with the italic trait: the family's italic or oblique face when
// fontconfig has one, else the font itself marked synthetic.
ds_italic_font_s ds_italicize(const QFont &font);
ds_italic_font_s ds_italic_system_font(qreal pointSize);
ds_italic_font_s ds_bold_italic_system_font(qreal pointSize);

// A cell's font with the bold and italic traits asked for: the system font
// at the point size of the cell's font (the italic or oblique face, marked
// italic so that Qt slants a family that has neither).
QFont ds_cell_font(const QFont &cellFont, bool bold, bool italic);

// The shear of a synthetic italic, about the baseline: a point h above it
// moves right by h · tan 14° (about 0.2493).
QTransform ds_synthetic_italic_transform();

// Draws text with its baseline starting at origin, slanted when synthetic.
void ds_draw_italic_text(QPainter &painter, QPointF origin, const QString &text, const ds_italic_font_s &font);
