#include "derived/DSIndicatorLocalColumn.h"

#include "model/DSColumnCondition.h"
#include "model/DSTable.h"
#include "platform/predicate/DSComparisonPredicate.h"
#include "platform/predicate/DSCompoundPredicate.h"
#include "platform/store/DSManagedObjectContext.h"

#include <algorithm>
#include <cstring>

namespace {

// The comparison of a column's long name with a value.
DSPredicatePtr comparisonOf(const DSColumn *column, qint64 code, const DSExpression &value)
{
    DSPredicateOperatorType type = DSPredicateOperatorType::EqualTo;
    DSComparisonPredicate::operatorTypeFromCode(code, &type);
    return DSComparisonPredicate::make(DSExpression::forConstantValue(DSPredicateValue::fromString(column->longName())),
                                       type, value);
}

} // namespace

DSIndicatorLocalColumn::~DSIndicatorLocalColumn()
{
    m_definition.stop();
}

QList<DSColumnCondition *> DSIndicatorLocalColumn::sortedConditions() const
{
    QList<DSColumnCondition *> conditions;
    for (DSManagedObject *object : objectsForKey(QStringLiteral("conditions")))
        if (auto *condition = dynamic_cast<DSColumnCondition *>(object))
            conditions << condition;
    std::stable_sort(conditions.begin(), conditions.end(),
                     [](const DSColumnCondition *a, const DSColumnCondition *b) { return a->index() < b->index(); });
    return conditions;
}

DSPredicatePtr DSIndicatorLocalColumn::predicate() const
{
    std::vector<DSPredicatePtr> comparisons;
    const QList<DSColumnCondition *> conditions = sortedConditions();
    for (const DSColumnCondition *condition : conditions) {
        const DSColumn *column = condition->lhs_column();
        const std::optional<DSExpression> value = condition->expressionForValue();
        if (column && value)
            comparisons.push_back(comparisonOf(column, condition->operatorType(), *value));
    }
    if (conditions.isEmpty() && m_defaultColumn)
        if (const std::optional<DSExpression> value = m_defaultColumn->defaultValueExpression())
            comparisons.push_back(comparisonOf(m_defaultColumn, qint64(DSPredicateOperatorType::EqualTo), *value));
    return predicate_type() == 2 ? DSCompoundPredicate::orPredicate(std::move(comparisons))
                                 : DSCompoundPredicate::andPredicate(std::move(comparisons));
}

void DSIndicatorLocalColumn::setPredicate(const DSPredicatePtr &predicate)
{
    DSManagedObjectContext *context = managedObjectContext();
    for (DSColumnCondition *condition : sortedConditions()) {
        removeObject(condition, QStringLiteral("conditions"));
        if (context)
            context->deleteObject(condition);
    }
    const auto add = [this](const DSPredicatePtr &member) {
        if (const DSComparisonPredicate *comparison = member ? member->asComparison() : nullptr)
            if (DSColumnCondition *condition = conditionForComparisonPredicate(*comparison))
                addObject(condition, QStringLiteral("conditions"));
    };
    if (const DSCompoundPredicate *compound = predicate ? predicate->asCompound() : nullptr) {
        for (const DSPredicatePtr &member : compound->subpredicates())
            add(member);
        setPredicate_type(qint64(compound->compoundPredicateType()));
    } else if (predicate && predicate->asComparison()) {
        add(predicate);
        setPredicate_type(1);
    }
    if (context)
        context->processPendingChanges();
}

DSColumnCondition *DSIndicatorLocalColumn::conditionForComparisonPredicate(const DSComparisonPredicate &comparison)
{
    const DSPredicateValue &name = comparison.leftExpression().constantValue();
    const DSPredicateValue &value = comparison.rightExpression().constantValue();
    DSColumn *column = nullptr;
    if (DSTable *owner = table(); owner && name.kind() == DSPredicateValue::Kind::String)
        for (DSColumn *candidate : owner->columns())
            if (candidate->longName() == name.stringValue())
                column = candidate;
    if (!column || value.kind() == DSPredicateValue::Kind::None)
        return nullptr;
    DSColumnCondition *condition =
        DSColumnCondition::insertNewConditionForColumn(column, value, managedObjectContext());
    if (condition) {
        condition->setIndex(objectsForKey(QStringLiteral("conditions")).size());
        condition->setOperatorType(qint64(comparison.predicateOperatorType()));
    }
    return condition;
}

qint64 DSIndicatorLocalColumn::getBytes(const uint8_t **values, const uint8_t **missing, qint64 offset,
                                        qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    const qint64 n = rowsInRange(offset, limit);
    const qint64 length = n > 0 ? setupMissingMask(offset, n) : 0;
    uint8_t *bits = length > 0 ? temp_bytes.reserve(length) : nullptr;
    if (!bits) {
        if (values)
            *values = nullptr;
        if (missing)
            *missing = nullptr;
        return 0;
    }
    temp_bytes.setUsed(length);
    const QList<DSColumnCondition *> conditions = sortedConditions();
    const bool all = predicate_type() == 1;
    std::memset(bits, all ? 0xFF : 0x00, size_t(length));
    for (DSColumnCondition *condition : conditions) {
        if (all)
            condition->clearUnmatchingBits(bits, offset, n);
        else
            condition->setMatchingBits(bits, offset, n);
    }
    // Rows past the table in the last byte read FALSE.
    if (const qint64 end = offset + n; end % 8)
        bits[end / 8] &= uint8_t((1u << (end % 8)) - 1);
    uint8_t *mask = sharedMissingMask();
    for (DSColumnCondition *condition : conditions) {
        DSColumn *column = condition->lhs_column();
        const uint8_t *columnMask = nullptr;
        const qint64 columnLength = column ? column->getMissingMask(&columnMask) : 0;
        const qint64 stop = std::min({(offset + n - 1) / 8 + 1, columnLength, length});
        for (qint64 b = offset / 8; columnMask && b < stop; ++b)
            mask[b] |= columnMask[b];
    }
    if (values)
        *values = bits;
    if (missing)
        *missing = missingMask();
    return length;
}

QString DSIndicatorLocalColumn::suggestedName() const
{
    QStringList texts;
    for (const DSColumnCondition *condition : sortedConditions())
        texts << condition->stringValue();
    return QLatin1Char('[') + texts.join(predicate_type() == 2 ? QStringLiteral(" OR ") : QStringLiteral(", "))
           + QLatin1Char(']');
}

DSObjectList DSIndicatorLocalColumn::managedObjectDependencies()
{
    DSObjectList dependencies = DSIndicatorColumn::managedObjectDependencies();
    for (DSColumnCondition *condition : sortedConditions())
        for (DSManagedObject *object : condition->managedObjectDependencies())
            if (!dependencies.contains(object))
                dependencies << object;
    return dependencies;
}

void DSIndicatorLocalColumn::awakeFromInsert()
{
    DSIndicatorColumn::awakeFromInsert();
    m_definition.start(this, {QStringLiteral("conditions"), QStringLiteral("predicate_type")});
}

void DSIndicatorLocalColumn::awakeFromFetch()
{
    DSIndicatorColumn::awakeFromFetch();
    m_definition.start(this, {QStringLiteral("conditions"), QStringLiteral("predicate_type")});
}

void DSIndicatorLocalColumn::didTurnIntoFault()
{
    m_definition.stop();
    DSIndicatorColumn::didTurnIntoFault();
}
