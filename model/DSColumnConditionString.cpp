#include "model/DSColumnConditionString.h"

#include "model/DSTextColumn.h"
#include "model/ds_column_conditions.h"
#include "platform/predicate/DSPredicateValue.h"

namespace {

qint64 textsOf(DSColumn *lhs, const char *const **texts, qint64 offset, qint64 limit)
{
    *texts = nullptr;
    auto *column = dynamic_cast<DSTextColumn *>(lhs);
    return column ? column->getTextValues(texts, offset, limit) : 0;
}

}  // namespace

void DSColumnConditionString::setMatchingBits(uint8_t *mask, DSColumn *lhs, qint64 op, const char *rhs,
                                              qint64 offset, qint64 limit)
{
    const char *const *texts;
    const qint64 count = textsOf(lhs, &texts, offset, limit);
    ds_condition_set_texts(mask, offset, limit, texts, count, op, rhs);
}

void DSColumnConditionString::clearUnmatchingBits(uint8_t *mask, DSColumn *lhs, qint64 op, const char *rhs,
                                                  qint64 offset, qint64 limit)
{
    const char *const *texts;
    const qint64 count = textsOf(lhs, &texts, offset, limit);
    ds_condition_clear_texts(mask, offset, limit, texts, count, op, rhs);
}

void DSColumnConditionString::setMatchingBits(uint8_t *mask, qint64 offset, qint64 limit)
{
    const QString text = rhs_string();
    const QByteArray utf8 = text.toUtf8();
    setMatchingBits(mask, lhs_column(), operatorType(), text.isNull() ? nullptr : utf8.constData(), offset, limit);
}

void DSColumnConditionString::clearUnmatchingBits(uint8_t *mask, qint64 offset, qint64 limit)
{
    const QString text = rhs_string();
    const QByteArray utf8 = text.toUtf8();
    clearUnmatchingBits(mask, lhs_column(), operatorType(), text.isNull() ? nullptr : utf8.constData(), offset,
                        limit);
}

std::optional<DSExpression> DSColumnConditionString::expressionForValue() const
{
    return DSExpression::forConstantValue(DSPredicateValue::fromString(rhs_string()));
}

QString DSColumnConditionString::rhsStringValue() const
{
    return QLatin1Char('"') + rhs_string() + QLatin1Char('"');
}
