#include "model/DSColumnCondition.h"

#include "model/DSColumn.h"
#include "model/DSColumnConditionBit.h"
#include "model/DSColumnConditionInterval.h"
#include "model/DSColumnConditionString.h"
#include "model/DSColumnConditionValue.h"
#include "model/DSIndicatorColumn.h"
#include "model/DSNumericColumn.h"
#include "model/DSTable.h"
#include "model/DSTimeColumn.h"
#include "model/ds_column_conditions.h"
#include "platform/predicate/DSPredicateValue.h"
#include "platform/store/DSManagedObjectContext.h"

#include <algorithm>

DSColumn *DSColumnCondition::lhs_column() const
{
    return ds_object_cast<DSColumn>(objectForKey(QStringLiteral("lhs_column")));
}

void DSColumnCondition::setLhs_column(DSColumn *column)
{
    setObject(column, QStringLiteral("lhs_column"));
}

DSColumnCondition *DSColumnCondition::insertNewConditionForColumn(DSColumn *column, const DSPredicateValue &value,
                                                                  DSManagedObjectContext *context)
{
    if (!context)
        return nullptr;
    DSColumnCondition *condition = nullptr;
    if (dynamic_cast<DSNumericColumn *>(column)) {
        auto *made = context->insertNewObject<DSColumnConditionValue>(QStringLiteral("DSColumnConditionValue"));
        made->setRhs_value(value.numberValue());
        condition = made;
    } else if (dynamic_cast<DSTimeColumn *>(column)) {
        auto *made = context->insertNewObject<DSColumnConditionInterval>(QStringLiteral("DSColumnConditionInterval"));
        made->setRhs_date(DSColumnConditionInterval::dayOfLocalDate(value.dateValue()));
        condition = made;
    } else if (dynamic_cast<DSIndicatorColumn *>(column)) {
        auto *made = context->insertNewObject<DSColumnConditionBit>(QStringLiteral("DSColumnConditionBit"));
        made->setRhs_bit(value.kind() == DSPredicateValue::Kind::Bool ? value.boolValue() : value.numberValue() != 0);
        condition = made;
    } else {
        auto *made = context->insertNewObject<DSColumnConditionString>(QStringLiteral("DSColumnConditionString"));
        if (value.kind() == DSPredicateValue::Kind::String)
            made->setRhs_string(value.stringValue());
        condition = made;
    }
    if (condition)
        condition->setLhs_column(column);
    return condition;
}

qint64 DSColumnCondition::rowCount() const
{
    DSColumn *column = lhs_column();
    DSTable *table = column ? column->table() : nullptr;
    return table ? table->num_records() : 0;
}

void DSColumnCondition::applyConditions(const QList<DSColumnCondition *> &conditions, bool all, uint8_t *buffer,
                                        qint64 length)
{
    std::fill_n(buffer, std::max<qint64>(length, 0), uint8_t(all ? 0xff : 0));
    for (DSColumnCondition *condition : conditions) {
        if (all)
            condition->clearUnmatchingBits(buffer);
        else
            condition->setMatchingBits(buffer);
    }
}

void DSColumnCondition::setMatchingBits(uint8_t *mask)
{
    setMatchingBits(mask, 0, rowCount());
}

void DSColumnCondition::clearUnmatchingBits(uint8_t *mask)
{
    clearUnmatchingBits(mask, 0, rowCount());
}

QString DSColumnCondition::symbolForOperator(qint64 code)
{
    switch (code) {
    case ds_condition_less:
        return QStringLiteral("<");
    case ds_condition_less_or_equal:
        return QStringLiteral("≤");
    case ds_condition_greater:
        return QStringLiteral(">");
    case ds_condition_greater_or_equal:
        return QStringLiteral("≥");
    case ds_condition_equal:
        return QStringLiteral("=");
    case ds_condition_not_equal:
        return QStringLiteral("≠");
    case ds_condition_begins_with:
        return QStringLiteral("BEGINSWITH");
    case ds_condition_ends_with:
        return QStringLiteral("ENDSWITH");
    case ds_condition_contains:
        return QStringLiteral("CONTAINS");
    default:
        return QString();
    }
}

QString DSColumnCondition::stringValue() const
{
    DSColumn *column = lhs_column();
    return QStringLiteral("%1 %2 %3")
        .arg(column ? column->name() : QString(), symbolForOperator(operatorType()), rhsStringValue());
}
