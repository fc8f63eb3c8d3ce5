#include "derived/DSComputeStandardizedColumn.h"

#include "model/util/ds_stats.h"

#include <cmath>

QString DSComputeStandardizedColumn::suggestedName() const
{
    const DSColumn *x = input();
    return x ? QStringLiteral("std(") + x->name() + QLatin1Char(')') : QString();
}

qint64 DSComputeStandardizedColumn::computeValues(const double **out, qint64 offset, qint64 count)
{
    auto *x = dynamic_cast<DSNumericColumn *>(input());
    if (!x)
        return handOut(out, nullptr, 0);
    // The mask first: a computed input may compute its values for it.
    ds_numeric_rows_s rows = {};
    rows.missing_length = x->getMissingMask(&rows.missing);
    rows.num_weights = x->getFrequencyWeights(&rows.weights);
    rows.count = x->getValues(&rows.values);
    if (rows.count <= 0)
        return handOut(out, nullptr, 0);
    const ds_stats_s stats = ds_calculate_stats(&rows, nullptr, 0, ds_stats_moments);
    const double mean = stats.count > 0 ? stats.avg : NAN;
    const double sd = stats.count > 0 ? std::sqrt(stats.var_biased) : NAN;
    double *y = reserveValues(count);
    if (!y)
        return handOut(out, nullptr, 0);
    for (qint64 i = 0; i < count; ++i)
        y[i] = offset + i < rows.count ? (rows.values[offset + i] - mean) / sd : NAN;
    return handOut(out, y, count);
}
