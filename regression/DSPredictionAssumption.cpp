#include "regression/DSPredictionAssumption.h"

#include "model/DSNumericColumn.h"
#include "model/DSTimeColumn.h"
#include "model/util/ds_decimal.h"
#include "model/util/ds_stats.h"
#include "regression/DSExplanatoryColumnVariable.h"
#include "regression/DSPrediction.h"

#include <QCborMap>

namespace {

// Option bits of the column statistics: the range, and the mean with it.
constexpr uint64_t kRange = 1;
constexpr uint64_t kMean = 3;
// Readable slider ends: the first grid of at least this many bins.
constexpr int64_t kSliderBins = 7;

struct TimeRange {
    double earliest;
    double latest;
};

// A time column's earliest and latest time under the mask, in the
// variable's units.
TimeRange timeRange(const DSExplanatoryColumnVariable *variable, DSTimeColumn *column, const uint8_t *mask,
                    qint64 length)
{
    const ds_time_stats_s stats = column->calculateStatsForMask(mask, length, kRange);
    auto units = [variable](double t) { return t / variable->temp_time_divisor() - variable->temp_reference_date(); };
    return {units(stats.min_start), units(stats.max_start)};
}

} // namespace

DSExplanatoryColumnVariable *DSPredictionAssumption::explanatory_variable() const
{
    return ds_object_cast<DSExplanatoryColumnVariable>(objectForKey(QStringLiteral("explanatory_variable")));
}

void DSPredictionAssumption::setExplanatory_variable(DSExplanatoryColumnVariable *variable)
{
    setObject(variable, QStringLiteral("explanatory_variable"));
}

DSPrediction *DSPredictionAssumption::prediction() const
{
    return ds_object_cast<DSPrediction>(objectForKey(QStringLiteral("prediction")));
}

void DSPredictionAssumption::setPrediction(DSPrediction *prediction)
{
    setObject(prediction, QStringLiteral("prediction"));
}

void DSPredictionAssumption::suggestMinMax(double *min, double *max, const uint8_t *mask, qint64 length) const
{
    double lo = 0, hi = 1;
    DSExplanatoryColumnVariable *variable = explanatory_variable();
    DSColumn *column = variable ? variable->column() : nullptr;
    if (auto *numeric = dynamic_cast<DSNumericColumn *>(column)) {
        const ds_stats_s stats = numeric->calculateStatsWithMask(mask, length, kRange);
        lo = stats.min;
        hi = stats.max;
        ds_nice_resolution(1, kSliderBins, unsigned(numeric->resolutionScheme()), &lo, &hi, nullptr);
    } else if (auto *time = dynamic_cast<DSTimeColumn *>(column)) {
        const TimeRange range = timeRange(variable, time, mask, length);
        lo = range.earliest;
        hi = range.latest;
    }
    if (min)
        *min = lo;
    if (max)
        *max = hi;
}

double DSPredictionAssumption::suggestMeanForMask(const uint8_t *mask, qint64 length) const
{
    DSExplanatoryColumnVariable *variable = explanatory_variable();
    DSColumn *column = variable ? variable->column() : nullptr;
    if (auto *numeric = dynamic_cast<DSNumericColumn *>(column))
        return numeric->calculateStatsWithMask(mask, length, kMean).avg;
    if (auto *time = dynamic_cast<DSTimeColumn *>(column)) {
        const TimeRange range = timeRange(variable, time, mask, length);
        return (range.earliest + range.latest) / 2;
    }
    return 0;
}

void DSPredictionAssumption::awakeFromInsert()
{
    DSManagedObject::awakeFromInsert();
    m_tempNumericValue = numeric_value();
}

void DSPredictionAssumption::awakeFromFetch()
{
    DSManagedObject::awakeFromFetch();
    m_tempNumericValue = numeric_value();
}

void DSPredictionAssumption::decodeAttributes(const QCborMap &dictionary)
{
    DSManagedObject::decodeAttributes(dictionary);
    m_tempNumericValue = numeric_value();
}
