#pragma once

#include "model/DSPartition.h"

#include <QList>

#include <optional>

class DSNumericColumn;

// The partition of a numeric column: quantile groups (type 0), intervals of
// a fixed width (type 1) or the user's cut values (type 2). Cut values c1
// ... ck make k + 1 groups; a value v is in group i when c(i) <= v < c(i+1).
class DSNumericPartition : public DSPartition
{
public:
    // How many steps finer than the coarsest allowed width the fixed-width
    // intervals are.
    qint64 fixed_width_resolution_level() const { return integerForKey(QStringLiteral("fixed_width_resolution_level")); }
    void setFixed_width_resolution_level(qint64 level)
    {
        setPrimitiveValue(qlonglong(level), QStringLiteral("fixed_width_resolution_level"));
    }
    // The user's cut values as stored (entries that are not numbers are
    // skipped); empty when none are stored.
    QList<double> custom_interval_cutoffs() const;
    void setCustom_interval_cutoffs(const QList<double> &cutoffs);

    DSNumericColumn *numericColumn() const;

    // The cut values for a column whose values run from lowest to highest:
    // the quantile cuts other than the ends, the fixed-width grid lines
    // strictly inside the range (*resolution := the width) or the custom
    // cut values as stored. Equal or NaN ends give no cut values; a type the
    // partition does not honour gives none (nullopt). *resolution, when
    // given, is NaN except for fixed widths.
    std::optional<QList<double>> cutoffValuesFromValue(double lowest, double highest, double *resolution) const;
    // The fixed-width step over [lowest, highest] at this partition's level.
    double fixedWidthResolutionFromValue(double lowest, double highest) const;
    // The same over the column's extremes of all rows; from 0 to 0 without
    // a column.
    double fixedWidthResolution() const;
    // counts[0 .. cutoffs.size()] := the rows under the mask per group, the
    // missing rows under the mask apart (*numberMissing), and whether any
    // row of the column is missing (*anyMissing). The caller owns counts.
    void populateCounts(qint64 *counts, const QList<double> &cutoffs, double resolution, const uint8_t *mask,
                        qint64 length, qint64 *numberMissing, bool *anyMissing) const;

private:
    unsigned resolutionScheme() const;
};
