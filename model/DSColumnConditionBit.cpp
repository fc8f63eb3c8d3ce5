#include "model/DSColumnConditionBit.h"

#include "model/DSIndicatorColumn.h"
#include "model/ds_column_conditions.h"
#include "platform/predicate/DSPredicateValue.h"

namespace {

qint64 bitsOf(DSIndicatorColumn *lhs, const uint8_t **values, const uint8_t **missing, qint64 offset, qint64 limit)
{
    *values = *missing = nullptr;
    return lhs ? lhs->getBytes(values, missing, offset, limit) : 0;
}

}  // namespace

void DSColumnConditionBit::setMatchingBits(uint8_t *mask, DSIndicatorColumn *lhs, bool rhs, qint64 offset,
                                           qint64 limit)
{
    const uint8_t *values, *missing;
    const qint64 length = bitsOf(lhs, &values, &missing, offset, limit);
    ds_condition_set_bits(mask, offset, limit, values, missing, length, rhs);
}

void DSColumnConditionBit::clearUnmatchingBits(uint8_t *mask, DSIndicatorColumn *lhs, bool rhs, qint64 offset,
                                               qint64 limit)
{
    const uint8_t *values, *missing;
    const qint64 length = bitsOf(lhs, &values, &missing, offset, limit);
    ds_condition_clear_bits(mask, offset, limit, values, missing, length, rhs);
}

void DSColumnConditionBit::setMatchingBits(uint8_t *mask, qint64 offset, qint64 limit)
{
    setMatchingBits(mask, dynamic_cast<DSIndicatorColumn *>(lhs_column()), rhs_bit(), offset, limit);
}

void DSColumnConditionBit::clearUnmatchingBits(uint8_t *mask, qint64 offset, qint64 limit)
{
    clearUnmatchingBits(mask, dynamic_cast<DSIndicatorColumn *>(lhs_column()), rhs_bit(), offset, limit);
}

std::optional<DSExpression> DSColumnConditionBit::expressionForValue() const
{
    return DSExpression::forConstantValue(DSPredicateValue::fromBool(rhs_bit()));
}
