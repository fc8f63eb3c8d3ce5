#pragma once

#include "model/DSTimeColumn.h"

// One time in every row of its table: an instant (seconds since 2001-01-01
// 00:00:00 GMT) or, with relative_time_unit 1, a time of day (seconds since
// midnight), with the length of the period it stands for. No row is
// missing.
class DSTimeConstantColumn : public DSTimeColumn
{
public:
    using DSTimeColumn::getTimeValues;
    using DSColumn::getMissingMask;

    double value() const { return doubleForKey(QStringLiteral("value")); }
    // The stored value's own setter beside the store's keyed one.
    using DSManagedObject::setValue;
    void setValue(double value) { setPrimitiveValue(value, QStringLiteral("value")); }
    double interval() const { return doubleForKey(QStringLiteral("interval")); }
    void setInterval(double interval) { setPrimitiveValue(interval, QStringLiteral("interval")); }

    // Rows offset on, counted as the text constant counts them, with the
    // value and the interval in the column's two time buffers (valid until
    // its next request); both null and 0 at or past the last row or when
    // memory runs out.
    qint64 getTimeValues(const double **values, const double **intervals, qint64 offset, qint64 limit) override;
    // No mask and length 0: no row is missing.
    qint64 getMissingMask(const uint8_t **out) override;
    // The value through the formatter of its interval (a time of day, a
    // date and time below a day, else a date).
    QString suggestedName() const override;
};
