#include "model/DSColumnConditionValue.h"

#include "model/DSDurationFormatter.h"
#include "model/DSNumericColumn.h"
#include "model/ds_column_conditions.h"
#include "platform/predicate/DSPredicateValue.h"

namespace {

// The column's values of the range, or none without a column.
qint64 valuesOf(DSNumericColumn *lhs, const double **values, qint64 offset, qint64 limit)
{
    *values = nullptr;
    return lhs ? lhs->getValues(values, offset, limit) : 0;
}

}  // namespace

void DSColumnConditionValue::setMatchingBits(uint8_t *mask, DSNumericColumn *lhs, qint64 op, double rhs,
                                             qint64 offset, qint64 limit)
{
    const double *values;
    const qint64 count = valuesOf(lhs, &values, offset, limit);
    ds_condition_set_values(mask, offset, limit, values, count, op, rhs);
}

void DSColumnConditionValue::clearUnmatchingBits(uint8_t *mask, DSNumericColumn *lhs, qint64 op, double rhs,
                                                 qint64 offset, qint64 limit)
{
    const double *values;
    const qint64 count = valuesOf(lhs, &values, offset, limit);
    ds_condition_clear_values(mask, offset, limit, values, count, op, rhs);
}

void DSColumnConditionValue::setMatchingBits(uint8_t *mask, qint64 offset, qint64 limit)
{
    setMatchingBits(mask, dynamic_cast<DSNumericColumn *>(lhs_column()), operatorType(), rhs_value(), offset, limit);
}

void DSColumnConditionValue::clearUnmatchingBits(uint8_t *mask, qint64 offset, qint64 limit)
{
    clearUnmatchingBits(mask, dynamic_cast<DSNumericColumn *>(lhs_column()), operatorType(), rhs_value(), offset,
                        limit);
}

std::optional<DSExpression> DSColumnConditionValue::expressionForValue() const
{
    return DSExpression::forConstantValue(DSPredicateValue::fromNumber(rhs_value()));
}

QString DSColumnConditionValue::rhsStringValue() const
{
    DSColumn *column = lhs_column();
    if (!column)
        return QString();
    return column->NSNumberFormatter()->stringFromNumber(rhs_value());
}
