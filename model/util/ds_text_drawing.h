#pragma once

#include "platform/graphics/DSGraphicsContext.h"

#include <QString>

// Fonts, one-line texts, and text measured and drawn through a drawing
// context. A text of none is a null QString; a colour of none (nullptr) is
// black. Main thread.

// Alignment codes: where (x, y) lies on the text's baseline.
enum DSTextAlignment : int {
    DSTextAlignLeft = 0,   // the start of the text
    DSTextAlignRight = 1,  // the end of the text
    DSTextAlignCenter = 2, // the middle of the text
};

// A font of that name (mapped to an installed one) and size.
DSFont ds_create_font(const QString &name, double size);

// One line of the text with exactly the font and the colour.
DSTextLine ds_create_text_line(const QString &text, const DSFont &font, const ds_rgba_s &color);

// The typographic width of the text on one line; 0 for none.
double ds_text_width(const QString &text, const DSFont &font);

// The rectangle of the text's line with its baseline start at (x, y) moved
// left by the alignment: width the typographic width, height ascent +
// descent, origin y = y. The null rectangle for none.
DSRect ds_text_rect(const QString &text, const DSFont &font, int alignment, double x, double y);

// Draws the text on one line with its baseline at (x, y), moved left by the
// alignment and mapped through the inverse of `transform`; saves and
// restores the state. Returns the width drawn; 0 and nothing drawn for none.
double ds_draw_text_line(const QString &text, int alignment, const DSFont &font, const ds_rgba_s *color,
                         DSGraphicsContext *context, double x, double y, const DSAffineTransform &transform);

// Wraps the text into `rect` from its top and draws its lines, at most
// `maxLines` of them (0: every line that fits). Lines are centred for
// alignment 2, except that a text cut to one line starts at the left. When
// the limit cut the text, "…" follows the last line drawn.
void ds_draw_text_in_rect(const QString &text, int maxLines, int alignment, const DSFont &font,
                          const ds_rgba_s *color, DSGraphicsContext *context, const DSRect &rect);
