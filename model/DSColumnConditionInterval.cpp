#include "model/DSColumnConditionInterval.h"

#include "model/DSTimeColumn.h"
#include "model/ds_column_conditions.h"
#include "model/ds_time_units.h"
#include "platform/calendar/DSPlatformDateFormatter.h"
#include "platform/calendar/ds_local_time_zone.h"
#include "platform/predicate/DSPredicateValue.h"

namespace {

qint64 timesOf(DSTimeColumn *lhs, const double **values, qint64 offset, qint64 limit)
{
    *values = nullptr;
    return lhs ? lhs->getTimeValues(values, nullptr, offset, limit) : 0;
}

}  // namespace

double DSColumnConditionInterval::dayOfLocalDate(double date)
{
    return ds_time_floor(ds_time_unit_day, nullptr, date + ds_local_time_zone_offset(date));
}

void DSColumnConditionInterval::setMatchingBits(uint8_t *mask, DSTimeColumn *lhs, qint64 op, double rhs,
                                                qint64 offset, qint64 limit)
{
    const double *values;
    const qint64 count = timesOf(lhs, &values, offset, limit);
    ds_condition_set_values(mask, offset, limit, values, count, op, rhs);
}

void DSColumnConditionInterval::clearUnmatchingBits(uint8_t *mask, DSTimeColumn *lhs, qint64 op, double rhs,
                                                    qint64 offset, qint64 limit)
{
    const double *values;
    const qint64 count = timesOf(lhs, &values, offset, limit);
    ds_condition_clear_values(mask, offset, limit, values, count, op, rhs);
}

void DSColumnConditionInterval::setMatchingBits(uint8_t *mask, qint64 offset, qint64 limit)
{
    setMatchingBits(mask, dynamic_cast<DSTimeColumn *>(lhs_column()), operatorType(), rhs_date(), offset, limit);
}

void DSColumnConditionInterval::clearUnmatchingBits(uint8_t *mask, qint64 offset, qint64 limit)
{
    clearUnmatchingBits(mask, dynamic_cast<DSTimeColumn *>(lhs_column()), operatorType(), rhs_date(), offset,
                        limit);
}

std::optional<DSExpression> DSColumnConditionInterval::expressionForValue() const
{
    const double day = rhs_date();
    return DSExpression::forConstantValue(DSPredicateValue::fromDate(day - ds_local_time_zone_offset(day)));
}

QString DSColumnConditionInterval::rhsStringValue() const
{
    auto *column = dynamic_cast<DSTimeColumn *>(lhs_column());
    const bool timeOfDay = column && column->isTimeOfDay();
    DSPlatformDateFormatter formatter;
    formatter.setStyles(timeOfDay ? DSPlatformDateFormatter::NoStyle : DSPlatformDateFormatter::ShortStyle,
                        timeOfDay ? DSPlatformDateFormatter::ShortStyle : DSPlatformDateFormatter::NoStyle);
    return formatter.stringFromTime(rhs_date());
}
