#include "charts/DSMiniChartBuilder.h"

#include "charts/DSStyle.h"
#include "model/DSColumnSummary.h"
#include "model/DSIndicatorColumn.h"
#include "model/DSNumericColumn.h"
#include "model/DSTable.h"
#include "model/DSTextColumn.h"
#include "model/DSTimeColumn.h"
#include "platform/format/DSPlatformNumberFormatter.h"
#include "platform/graphics/DSBitmapContext.h"
#include "platform/store/DSManagedObjectContext.h"

#include <QTimer>

#include <cmath>

namespace {

// The white band every chart is drawn in, in pixels, y up.
const DSRect k_white_band{{0, 1}, {DSMiniChartBuilder::preview_image_width, 32}};
// Where the count of distinct texts is centred, and its baseline.
constexpr double k_count_centre_x = 64;
constexpr double k_count_baseline_y = 9;

// Whether a deferred build may still touch the column: its document is
// open and the column is neither deleted nor a fault (a deleted column
// lives on, as its context keeps it for undo, but shows in no list).
bool isLive(const QPointer<DSManagedObjectContext> &context, const DSColumn *column)
{
    return context && !column->isDeleted() && !column->isFault();
}

} // namespace

DSMiniChartBuilder::DSMiniChartBuilder(InputsSource inputs, QObject *parent)
    : QObject(parent), m_inputs(std::move(inputs)),
      m_canvas(std::make_unique<DSBitmapContext>(preview_image_width, preview_image_height))
{
}

DSMiniChartBuilder::~DSMiniChartBuilder() = default;

void DSMiniChartBuilder::refreshImageForColumn(DSColumn *column, QObject *target, std::function<void()> reload)
{
    if (!column || column->temp_image())
        return;
    const DSTable *table = column->table();
    if (!table || table->num_records() <= largest_immediate_table) {
        updateImage({column, nullptr, {}});
        return;
    }
    if (m_pending.contains(column))
        return;
    m_pending.insert(column);
    // The timer's context is the builder: a build still waiting when the
    // builder goes is dropped with it.
    QTimer::singleShot(0, this,
                       [this, column, table, context = QPointer(column->managedObjectContext()),
                        request = Request{column, target, std::move(reload)}] {
                           m_pending.remove(column);
                           if (isLive(context, column) && !column->temp_image() && inputsAreFor(table))
                               updateImage(request);
                       });
}

bool DSMiniChartBuilder::inputsAreFor(const DSTable *table) const
{
    return (m_inputs ? m_inputs().table : nullptr) == table;
}

void DSMiniChartBuilder::updateImage(const Request &request)
{
    Image image = buildImage(request.column);
    const bool made = image != nullptr;
    request.column->setTemp_image(std::move(image));
    if (made && request.target && request.callback)
        request.callback();
}

DSMiniChartBuilder::Image DSMiniChartBuilder::buildImage(DSColumn *column)
{
    DSStyle *style = m_inputs ? m_inputs().style : nullptr;
    if (column->treat_as_categories() || ds_object_cast<DSIndicatorColumn>(column)) {
        if (!column->temp_summary()) {
            const DSMiniChartInputs inputs = m_inputs ? m_inputs() : DSMiniChartInputs{};
            const DSTable *table = column->table();
            const double significance = table ? 1 - table->confidence_level() : NAN;
            column->setTemp_summary(column->summaryForMask(ds_mask_data(inputs.include_mask), ds_mask_length(inputs.include_mask), significance));
        }
        return imageForSummary(column->temp_summary().get(), nullptr, style);
    }
    if (ds_object_cast<DSNumericColumn>(column))
        return imageForNumericColumn(column, style);
    if (ds_object_cast<DSTextColumn>(column))
        return imageForTextColumn(column, style);
    if (ds_object_cast<DSTimeColumn>(column))
        return imageForTimeColumn(column, style);
    return nullptr;
}

void DSMiniChartBuilder::beginCanvas()
{
    m_canvas->clear();
    m_canvas->saveGState();
    m_canvas->setFillColor({1, 1, 1, 1});
    m_canvas->fillRect(k_white_band);
    m_canvas->restoreGState();
}

DSMiniChartBuilder::Image DSMiniChartBuilder::finishCanvas() const
{
    auto image = std::make_shared<QImage>(m_canvas->makeImage());
    image->setDevicePixelRatio(2);
    return image;
}

DSMiniChartBuilder::Image DSMiniChartBuilder::imageForNumericColumn(DSColumn *column, DSStyle *)
{
    if (!ds_object_cast<DSNumericColumn>(column))
        return nullptr;
    // The histogram and survival-curve painters are not part of the
    // application yet: every numeric column shows the white canvas.
    beginCanvas();
    return finishCanvas();
}

DSMiniChartBuilder::Image DSMiniChartBuilder::imageForTextColumn(DSColumn *column, DSStyle *style)
{
    auto *texts = ds_object_cast<DSTextColumn>(column);
    if (!texts)
        return nullptr;
    const DSMiniChartInputs inputs = m_inputs ? m_inputs() : DSMiniChartInputs{};
    const ds_txt_counts_s *counts = nullptr;
    const qint64 entries = texts->getCounts(&counts, ds_mask_data(inputs.include_mask), ds_mask_length(inputs.include_mask));
    qint64 distinct = 0;
    for (qint64 k = 0; k < entries; ++k)
        distinct += counts[k].count > 0;

    beginCanvas();
    const DSPlatformNumberFormatter *formatter = style ? style->numberFormatterForKey(QStringLiteral("ValueCountFormatter")) : nullptr;
    const std::shared_ptr<const DSTextStyle> textStyle = style ? style->textStyleForKey(QStringLiteral("ValueCountTextStyle")) : nullptr;
    if (textStyle) {
        const QString number = formatter ? formatter->stringFromNumber(double(distinct)) : QString::number(distinct);
        const DSTextLine line = DSTextLine::make(QStringLiteral("(%1)").arg(number),
                                                 textStyle->font(), textStyle->color());
        m_canvas->setTextPosition(k_count_centre_x - line.width / 2, k_count_baseline_y);
        m_canvas->drawTextLine(line);
    }
    return finishCanvas();
}

DSMiniChartBuilder::Image DSMiniChartBuilder::imageForTimeColumn(DSColumn *column, DSStyle *)
{
    auto *times = ds_object_cast<DSTimeColumn>(column);
    if (!times)
        return nullptr;
    const DSMiniChartInputs inputs = m_inputs ? m_inputs() : DSMiniChartInputs{};
    const bool survival = column->treat_as_survival_times();
    const ds_time_stats_s stats = survival ? times->calculateStatsForMask(ds_mask_data(inputs.zoom_mask), ds_mask_length(inputs.zoom_mask), 1)
                                           : times->calculateStatsForMask(ds_mask_data(inputs.include_mask), ds_mask_length(inputs.include_mask), 1);
    if (std::isnan(stats.min_start))
        return nullptr;
    // The timeline and survival-curve painters are not part of the
    // application yet: a time column with values shows the white canvas.
    beginCanvas();
    return finishCanvas();
}

DSMiniChartBuilder::Image DSMiniChartBuilder::imageForSummary(const DSColumnSummary *, const DSColumnCategory *,
                                                              DSStyle *)
{
    // Without the proportion-bar painter no bar can be made, and a chart
    // without a bar is plain white.
    beginCanvas();
    return finishCanvas();
}
