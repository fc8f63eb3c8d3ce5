#pragma once

#include "model/DSPartition.h"
#include "model/ds_time_stats.h"

#include <QList>

// The partition of a time column: periods of one time unit, chosen as the
// coarsest unit that gives at most two periods over the column's range,
// made finer by time_resolution_level units. Its cut-offs are the period
// limits L0 < L1 < ... < Lm (seconds since the reference date): m periods
// [Lj, Lj+1). The partition type and quantile count are not used.
class DSTimePartition : public DSPartition
{
public:
    qint64 time_resolution_level() const { return integerForKey(QStringLiteral("time_resolution_level")); }
    void setTime_resolution_level(qint64 level)
    {
        setPrimitiveValue(qlonglong(level), QStringLiteral("time_resolution_level"));
    }

    // The first unit from minute up whose periods over the statistics'
    // range number at most two (the millennium when none does), less
    // time_resolution_level, and never below the minute (1).
    qint64 timeUnitForStats(const ds_time_stats_s &stats) const;
    // The start of every period of `unit` from the one holding min_start to
    // the one holding max_start, then the end of the last: periods + 1
    // limits; empty without periods. *missing (when given) := the
    // statistics' missing count.
    static QList<double> calculateIntervalsForStats(const ds_time_stats_s &stats, qint64 unit, qint64 *missing);
    // The limits at timeUnitForStats; empty, *missing unwritten, when
    // min_start is NaN.
    QList<double> cutoffsForStats(const ds_time_stats_s &stats, qint64 *missing) const;
};
