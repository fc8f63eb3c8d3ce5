#pragma once

#include "model/DSColumnCondition.h"

class DSTimeColumn;

// A time column against a day, by operators 0-5. rhs_date is the start
// (00:00 GMT) of the calendar day the user picked on the local clock, so the
// comparison with stored GMT wall-clock times does not depend on the time
// zone; only picking and showing the day go through it.
class DSColumnConditionInterval : public DSColumnCondition
{
public:
    // Seconds since the reference date.
    double rhs_date() const { return doubleForKey(QStringLiteral("rhs_date")); }
    void setRhs_date(double date) { setPrimitiveValue(date, QStringLiteral("rhs_date")); }
    // Stored, never read.
    double rhs_interval() const { return doubleForKey(QStringLiteral("rhs_interval")); }
    void setRhs_interval(double interval) { setPrimitiveValue(interval, QStringLiteral("rhs_interval")); }

    // The GMT start of the day that the absolute time date shows on the
    // local clock.
    static double dayOfLocalDate(double date);

    // The passes over [offset, offset + limit) of a column's time values
    // (seconds since the reference date), without a stored condition.
    static void setMatchingBits(uint8_t *mask, DSTimeColumn *lhs, qint64 op, double rhs, qint64 offset,
                                qint64 limit);
    static void clearUnmatchingBits(uint8_t *mask, DSTimeColumn *lhs, qint64 op, double rhs, qint64 offset,
                                    qint64 limit);

    using DSColumnCondition::clearUnmatchingBits;
    using DSColumnCondition::setMatchingBits;
    void setMatchingBits(uint8_t *mask, qint64 offset, qint64 limit) override;
    void clearUnmatchingBits(uint8_t *mask, qint64 offset, qint64 limit) override;
    // The local midnight of the day, as a date.
    std::optional<DSExpression> expressionForValue() const override;
    // The day in the locale's short date style (short time style for a
    // time-of-day column), in GMT.
    QString rhsStringValue() const override;
};
