#pragma once

#include "charts/DSStatPicturePainter.h"

class DSPlatformNumberFormatter;

// The picture of a free-text column: how many observations and distinct
// values the rows of the include mask hold, as "(12 observations, 5
// values)" centred on the bounds in the style's ValueCountTextStyle, the
// numbers formatted by its ValueCountFormatter. Keeps no state.
class DSStatValueCountPainter : public DSStatPicturePainter
{
public:
    // A text column not treated as categories.
    bool willDrawColumn(DSColumn *column) override;

    // Draws nothing for a column that is not text, or when the style has no
    // ValueCountTextStyle.
    void drawColumn(DSColumn *column, const std::shared_ptr<DSColumnCategory> &category, const uint8_t *include,
                    qint64 includeLength, const uint8_t *zoom, qint64 zoomLength, DSStyle *style, const DSRect &rect,
                    const DSRect &bounds, bool screen, DSGraphicsContext *context) override;

    // The text drawn for the column under the include mask, numbers
    // formatted by `formatter` (plain digits without one); a null string for
    // a column that is not text.
    static QString valueCountString(DSColumn *column, const uint8_t *include, qint64 includeLength,
                                    const DSPlatformNumberFormatter *formatter);
};
