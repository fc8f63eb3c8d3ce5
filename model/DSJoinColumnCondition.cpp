#include "model/DSJoinColumnCondition.h"

#include "model/DSColumn.h"
#include "platform/predicate/DSComparisonPredicate.h"

namespace {

DSColumn *columnForKey(const DSManagedObject *condition, const char *key)
{
    return ds_object_cast<DSColumn>(condition->objectForKey(QString::fromLatin1(key)));
}

DSExpression joinNameExpression(const DSColumn *column)
{
    return DSExpression::forConstantValue(DSPredicateValue::fromString(column ? column->joinName() : QString()));
}

} // namespace

DSColumn *DSJoinColumnCondition::local_column() const
{
    return columnForKey(this, "local_column");
}

void DSJoinColumnCondition::setLocal_column(DSColumn *column)
{
    setObject(column, QStringLiteral("local_column"));
}

DSColumn *DSJoinColumnCondition::foreign_column() const
{
    return columnForKey(this, "foreign_column");
}

void DSJoinColumnCondition::setForeign_column(DSColumn *column)
{
    setObject(column, QStringLiteral("foreign_column"));
}

DSColumn *DSJoinColumnCondition::owner() const
{
    return columnForKey(this, "owner");
}

void DSJoinColumnCondition::setOwner(DSColumn *column)
{
    setObject(column, QStringLiteral("owner"));
}

DSPredicatePtr DSJoinColumnCondition::predicate() const
{
    return DSComparisonPredicate::make(joinNameExpression(local_column()), DSPredicateOperatorType::EqualTo,
                                       joinNameExpression(foreign_column()));
}
