#include "model/util/ds_text_drawing.h"

namespace {

const ds_rgba_s kBlack{0, 0, 0, 1};

double alignedX(double x, double width, int alignment)
{
    if (alignment == DSTextAlignCenter)
        return x - 0.5 * width;
    if (alignment == DSTextAlignRight)
        return x - width;
    return x;
}

} // namespace

DSFont ds_create_font(const QString &name, double size)
{
    return DSFont(name, size);
}

DSTextLine ds_create_text_line(const QString &text, const DSFont &font, const ds_rgba_s &color)
{
    return DSTextLine::make(text, font, color);
}

double ds_text_width(const QString &text, const DSFont &font)
{
    return text.isNull() ? 0 : font.width(text);
}

DSRect ds_text_rect(const QString &text, const DSFont &font, int alignment, double x, double y)
{
    if (text.isNull())
        return DSRect::null();
    const double width = font.width(text);
    return ds_rect_make(alignedX(x, width, alignment), y, width, font.ascent() + font.descent());
}

double ds_draw_text_line(const QString &text, int alignment, const DSFont &font, const ds_rgba_s *color,
                         DSGraphicsContext *context, double x, double y, const DSAffineTransform &transform)
{
    if (text.isNull())
        return 0;
    const DSTextLine line = ds_create_text_line(text, font, color ? *color : kBlack);
    context->saveGState();
    context->setTextDrawingMode(DSTextDrawingMode::Fill);
    context->setTextMatrix(ds_affine_identity());
    const DSPoint at = ds_point_apply({alignedX(x, line.width, alignment), y}, ds_affine_invert(transform));
    context->setTextPosition(at.x, at.y);
    context->drawTextLine(line);
    context->restoreGState();
    return line.width;
}

void ds_draw_text_in_rect(const QString &text, int maxLines, int alignment, const DSFont &font,
                          const ds_rgba_s *color, DSGraphicsContext *context, const DSRect &rect)
{
    if (text.isNull())
        return;
    const ds_rgba_s ink = color ? *color : kBlack;
    const DSRect frame = rect.standardized();
    const double ascent = font.ascent(), descent = font.descent();
    const double lineHeight = ascent + descent + font.leading();

    // The frame holds the lines that fit in its height, from its top.
    const auto breaks = font.lineBreaks(text, frame.width());
    int count = 0;
    while (count < int(breaks.size()) && (count * lineHeight + ascent + descent) <= frame.height() + 1e-9)
        ++count;
    const int limit = maxLines == 0 ? count : maxLines;
    const int drawn = std::min(count, limit);
    const bool centred = alignment == DSTextAlignCenter && !(limit == 1 && count > 1);

    context->setTextMatrix(ds_affine_identity());
    for (int i = 0; i < drawn; ++i) {
        const DSTextLine line = ds_create_text_line(text.mid(breaks[i].first, breaks[i].second), font, ink);
        const double x = frame.minX() + (centred ? (frame.width() - line.width) * 0.5 : 0);
        const double y = frame.minY() + frame.height() - ascent - i * lineHeight;
        context->setTextPosition(x, y);
        context->drawTextLine(line);
        if (i == limit - 1 && limit < count)
            ds_draw_text_line(QStringLiteral("\u2026"), DSTextAlignLeft, font, &ink, context, x + line.width, y,
                              ds_affine_identity());
    }
}
