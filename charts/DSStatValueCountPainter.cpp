#include "charts/DSStatValueCountPainter.h"

#include "charts/DSStyle.h"
#include "model/DSTextColumn.h"
#include "model/util/ds_text_drawing.h"
#include "platform/format/DSPlatformNumberFormatter.h"

bool DSStatValueCountPainter::willDrawColumn(DSColumn *column)
{
    return linkAcceptsColumn(Link::ValueCount, column);
}

QString DSStatValueCountPainter::valueCountString(DSColumn *column, const uint8_t *include, qint64 includeLength,
                                                  const DSPlatformNumberFormatter *formatter)
{
    auto *texts = ds_object_cast<DSTextColumn>(column);
    if (!texts)
        return {};
    // The counts belong to the column.
    const ds_txt_counts_s *counts = nullptr;
    const qint64 entries = texts->getCounts(&counts, include, includeLength);
    int64_t total = 0, distinct = 0;
    for (qint64 k = 0; k < entries; ++k) {
        total += counts[k].count;
        distinct += counts[k].count > 0;
    }
    const auto number = [formatter](int64_t n) {
        const QString text = formatter ? formatter->stringFromNumber(double(n)) : QString();
        return text.isNull() ? QString::number(n) : text;
    };
    return QStringLiteral("(%1 %2, %3 %4)")
        .arg(number(total), total == 1 ? QStringLiteral("observation") : QStringLiteral("observations"),
             number(distinct), distinct == 1 ? QStringLiteral("value") : QStringLiteral("values"));
}

void DSStatValueCountPainter::drawColumn(DSColumn *column, const std::shared_ptr<DSColumnCategory> &,
                                         const uint8_t *include, qint64 includeLength, const uint8_t *, qint64,
                                         DSStyle *style, const DSRect &, const DSRect &bounds, bool,
                                         DSGraphicsContext *context)
{
    const std::shared_ptr<const DSTextStyle> textStyle =
        style ? style->textStyleForKey(QStringLiteral("ValueCountTextStyle")) : nullptr;
    if (!textStyle)
        return;
    const QString text = valueCountString(column, include, includeLength,
                                          style->numberFormatterForKey(QStringLiteral("ValueCountFormatter")));
    ds_draw_text_line(text, DSTextAlignCenter, textStyle->font(), &textStyle->color(), context, bounds.midX(),
                      bounds.midY(), ds_affine_identity());
}
