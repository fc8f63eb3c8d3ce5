#pragma once

#include "model/DSTimeColumn.h"

// A time-of-day column derived from the time column in input slot 0: each
// row is its input's value less the start of its GMT day (seconds since
// midnight) with the input's interval. Nothing is stored but the input
// link. Rows whose input is missing, or known only to the day or coarser,
// are missing. Without an input it yields no rows; it is not deleted with
// its input.
class DSTimeOfDayColumn : public DSTimeColumn
{
public:
    using DSTimeColumn::getMissingMask;
    using DSTimeColumn::getTimeValues;

    // Sets relative_time_unit to 1, which makes it a time-of-day column.
    void awakeFromInsert() override;
    // "time(t)"; a null text without an input.
    QString suggestedName() const override;

    // The rows of the input's range, in the column's own buffers (valid
    // until its next request); null and 0 without an input or rows.
    qint64 getTimeValues(const double **values, const double **intervals, qint64 offset, qint64 limit) override;
    // The time column's own mask for the range, the input's missing rows ORed
    // in, then every row whose input interval is a day or more.
    qint64 getMissingMask(const uint8_t **out, qint64 offset, qint64 limit) override;
};
