#include "model/DSNumericPartition.h"

#include "model/DSNumericColumn.h"
#include "model/ds_partition_cutoffs.h"

#include <QCborArray>

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace {

constexpr double not_a_number = std::numeric_limits<double>::quiet_NaN();

}  // namespace

QList<double> DSNumericPartition::custom_interval_cutoffs() const
{
    QList<double> cutoffs;
    for (const QCborValue &value : propertyListForKey(QStringLiteral("custom_interval_cutoffs")).toArray())
        if (value.isDouble() || value.isInteger())
            cutoffs.append(value.toDouble());
    return cutoffs;
}

void DSNumericPartition::setCustom_interval_cutoffs(const QList<double> &cutoffs)
{
    QCborArray array;
    for (double x : cutoffs)
        array.append(x);
    setPrimitiveValue(QVariant::fromValue(QCborValue(array)), QStringLiteral("custom_interval_cutoffs"));
}

DSNumericColumn *DSNumericPartition::numericColumn() const
{
    return ds_object_cast<DSNumericColumn>(column());
}

unsigned DSNumericPartition::resolutionScheme() const
{
    const DSNumericColumn *owner = numericColumn();
    return owner ? unsigned(owner->resolutionScheme()) : 0;
}

std::optional<QList<double>> DSNumericPartition::cutoffValuesFromValue(double lowest, double highest,
                                                                        double *resolution) const
{
    if (resolution)
        *resolution = not_a_number;
    if (lowest == highest || std::isnan(lowest) || std::isnan(highest))
        return QList<double>();
    switch (partition_type()) {
    case 0: {
        QList<double> cuts;
        DSNumericColumn *owner = numericColumn();
        const std::optional<QList<double>> quantiles = owner ? owner->calculateQuantiles(quantile_count()) : std::nullopt;
        for (double x : quantiles.value_or(QList<double>()))
            if (x != lowest && x != highest)
                cuts.append(x);
        return cuts;
    }
    case 1: {
        const std::vector<double> cuts =
            ds_fixed_width_cutoffs(lowest, highest, int(fixed_width_resolution_level()), resolutionScheme(), resolution);
        return QList<double>(cuts.begin(), cuts.end());
    }
    case 2:
        return custom_interval_cutoffs();
    default:
        return std::nullopt;
    }
}

double DSNumericPartition::fixedWidthResolutionFromValue(double lowest, double highest) const
{
    return ds_fixed_width_step(lowest, highest, int(fixed_width_resolution_level()), resolutionScheme());
}

double DSNumericPartition::fixedWidthResolution() const
{
    DSNumericColumn *owner = numericColumn();
    if (!owner)
        return fixedWidthResolutionFromValue(0, 0);
    const ds_stats_s extremes = owner->calculateStatsWithMask(nullptr, 0, 1);
    return fixedWidthResolutionFromValue(extremes.min, extremes.max);
}

void DSNumericPartition::populateCounts(qint64 *counts, const QList<double> &cutoffs, double resolution,
                                        const uint8_t *mask, qint64 length, qint64 *numberMissing,
                                        bool *anyMissing) const
{
    DSNumericColumn *owner = numericColumn();
    const double *values = nullptr;
    const qint64 count = owner ? owner->getValues(&values) : 0;
    const uint8_t *missing = nullptr;
    const qint64 missingLength = owner ? owner->getMissingMask(&missing) : 0;
    std::vector<int64_t> groups(size_t(cutoffs.size() + 1));
    int64_t missed = 0;
    ds_count_by_double_cutoffs(values, count, cutoffs.constData(), cutoffs.size(), resolution, mask, length, missing,
                               missingLength, groups.data(), &missed, anyMissing);
    std::copy(groups.begin(), groups.end(), counts);
    if (numberMissing)
        *numberMissing = missed;
}
