#pragma once

#include "derived/DSComputedColumn.h"

class DSTimeColumn;

// The time from a start (input slot 0) to an end (slot 1) in whole steps of
// gregorian_unit_count units (a count below 1 counts single units): 0
// years, 1 months (both counted on the GMT calendar from the start, a day
// past the end of the target month cut to its last day, so January 31 to
// February 28 is one month and May 31 back to April 30 noon none), 2 days,
// 3 hours, 4 minutes, 5 seconds (fixed lengths, truncated toward zero); any
// other unit gives 0. A side without a column is the current moment on the
// user's wall clock ("Today"); with neither every row is 0. Values depend
// on the moment of the request whenever a side is Today.
class DSComputeTimeDifferenceColumn : public DSComputedColumn
{
public:
    enum Unit { Years, Months, Days, Hours, Minutes, Seconds };

    DSColumn *start_time() const { return inputColumnAtIndex(0); }
    void setStart_time(DSColumn *column) { replaceInputColumnAtIndex(0, column); }
    DSColumn *end_time() const { return inputColumnAtIndex(1); }
    void setEnd_time(DSColumn *column) { replaceInputColumnAtIndex(1, column); }
    qint64 gregorian_unit() const { return integerForKey(QStringLiteral("gregorian_unit")); }
    void setGregorian_unit(qint64 unit) { setPrimitiveValue(qlonglong(unit), QStringLiteral("gregorian_unit")); }
    qint64 gregorian_unit_count() const { return integerForKey(QStringLiteral("gregorian_unit_count")); }
    void setGregorian_unit_count(qint64 count)
    {
        setPrimitiveValue(qlonglong(count), QStringLiteral("gregorian_unit_count"));
    }

    // "days(start, end)", "weeks(TODAY, end)", "duration(start, TODAY)".
    QString suggestedName() const override;
    bool containsOnlyIntegers() override { return true; }

    // The clock of "Today": seconds since 2001-01-01 GMT of the present
    // moment (the system clock unless a test sets another; null restores
    // it). Today is that moment plus the local time zone's offset.
    using Clock = double (*)();
    static void setClock(Clock clock);
    static double currentWallClockTime();

protected:
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
    QStringList parameterKeys() const override
    {
        return {QStringLiteral("gregorian_unit"), QStringLiteral("gregorian_unit_count")};
    }

private:
    // The side's values of the range with its missing rows as NaN, in side;
    // NaN throughout without a column.
    void sideValues(DSColumn *column, qint64 offset, qint64 count, std::vector<double> &side);
};
