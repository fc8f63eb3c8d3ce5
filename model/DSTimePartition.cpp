#include "model/DSTimePartition.h"

#include "model/DSTimeColumn.h"
#include "model/ds_time_units.h"

#include <cmath>
#include <vector>

namespace {

// The last unit of the scale, the millennium.
constexpr qint64 coarsest_unit = 23;

}  // namespace

qint64 DSTimePartition::timeUnitForStats(const ds_time_stats_s &stats) const
{
    // A range that even millennia cut into more than two periods stops at
    // the millennium rather than running off the scale.
    qint64 unit = 1;
    while (unit < coarsest_unit && DSTimeColumn::bucketCountForStats(stats, unit) > 2)
        ++unit;
    const qint64 finer = unit - time_resolution_level();
    return finer >= 1 ? finer : 1;
}

QList<double> DSTimePartition::calculateIntervalsForStats(const ds_time_stats_s &stats, qint64 unit,
                                                          qint64 *missing)
{
    if (missing)
        *missing = stats.missing_count;
    const qint64 count = DSTimeColumn::bucketCountForStats(stats, unit);
    QList<double> result;
    if (count <= 0)
        return result;
    const double start = ds_time_floor(unit, nullptr, stats.min_start);
    std::vector<double> limits(size_t(2 * count));
    DSTimeColumn::assignBinLimits(limits.data(), count, unit, start);
    result.reserve(count + 1);
    for (qint64 j = 0; j < count; ++j)
        result.append(limits[size_t(2 * j)]);
    result.append(limits[size_t(2 * count - 1)]);
    return result;
}

QList<double> DSTimePartition::cutoffsForStats(const ds_time_stats_s &stats, qint64 *missing) const
{
    if (std::isnan(stats.min_start))
        return {};
    return calculateIntervalsForStats(stats, timeUnitForStats(stats), missing);
}
