#pragma once

#include "charts/DSPicturePainter.h"

#include "platform/graphics/ds_geometry.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <cstdint>
#include <memory>
#include <vector>

class DSColumn;
class DSColumnCategory;
class DSGraphicsContext;
class DSStyle;

// The base of the one-variable painters, which the summary picture asks in
// its list order for the active column: the first whose willDrawColumn
// answers yes draws, titles and hit-tests it. The base accepts nothing and
// draws nothing.
//
// Masks are row bit masks with their byte lengths; no mask is every row.
// The include mask is the document's row mask (the rows the filters keep):
// painters count and summarise its rows. The zoom mask equals the row mask
// when the table zooms pictures to the filtered values and is null
// otherwise: painters with a value axis take the axis range from its rows.
//
// Painters keep only caches of their last drawing between calls and read
// the table's settings and the style sheet at each call. Main thread only.
class DSStatPicturePainter : public DSPicturePainter
{
public:
    // The links of the summary picture's chain, in the order it asks them.
    enum class Link { PieChart, Histogram, Timeline, SurvivalCurve, ValueCount };

    // Whether the painter of the link accepts the column, by the column's
    // kind and its treat_as_categories and treat_as_survival_times flags:
    //   pie chart       treated as categories
    //   histogram       numeric, neither categories nor survival times
    //   timeline        a time column not treated as survival times
    //   survival curve  treated as survival times
    //   value count     a text column not treated as categories
    // Where the tests overlap the earlier link wins: a column treated as
    // categories gets the pie even when it holds survival times. A column no
    // link accepts (an indicator not treated as categories) gets no picture.
    static bool linkAcceptsColumn(Link link, DSColumn *column);

    // The first painter of the list that accepts the column, or null.
    static DSStatPicturePainter *painterForColumn(const std::vector<DSStatPicturePainter *> &painters,
                                                  DSColumn *column);

    // Yes to draw the column; no here.
    virtual bool willDrawColumn(DSColumn *column);

    // Draws the column's picture into `bounds` (view coordinates, y up);
    // `rect` is the part that needs drawing. `category` is the table's
    // active category (may be null); `screen` is true only when drawing into
    // a window. Nothing here.
    virtual void drawColumn(DSColumn *column, const std::shared_ptr<DSColumnCategory> &category,
                            const uint8_t *include, qint64 includeLength, const uint8_t *zoom, qint64 zoomLength,
                            DSStyle *style, const DSRect &rect, const DSRect &bounds, bool screen,
                            DSGraphicsContext *context);

    // The largest number of title lines (0 for no limit); 1 here.
    virtual int maximumNumberOfTitleLines() const;

    // The category under the point (view coordinates), or null; null here.
    virtual std::shared_ptr<DSColumnCategory> mouseDownAtPoint(DSPoint point, DSColumn *column, const DSRect &bounds);

    // The picture's title, or a null string for none: "Distribution of %1"
    // with the column's long name here.
    virtual QString distributionStringForColumn(DSColumn *column);

    // The numbers of the picture as rows: a header row (the column's name,
    // then column titles) and rows of values (strings, numbers or times).
    // Empty for a painter without data rows, as here.
    virtual QList<QVariantList> infoForColumn(DSColumn *column, const std::shared_ptr<DSColumnCategory> &category,
                                              const uint8_t *include, qint64 includeLength, const uint8_t *zoom,
                                              qint64 zoomLength);
};
