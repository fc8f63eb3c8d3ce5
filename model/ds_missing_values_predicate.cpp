#include "model/ds_missing_values_predicate.h"

#include "platform/predicate/DSCompoundPredicate.h"

std::vector<const DSComparisonPredicate *> ds_predicate_comparisons(const DSPredicate &predicate)
{
    std::vector<const DSComparisonPredicate *> comparisons;
    if (const DSCompoundPredicate *compound = predicate.asCompound()) {
        for (const DSPredicatePtr &sub : compound->subpredicates())
            if (const DSComparisonPredicate *comparison = sub ? sub->asComparison() : nullptr)
                comparisons.push_back(comparison);
    } else if (const DSComparisonPredicate *comparison = predicate.asComparison()) {
        comparisons.push_back(comparison);
    }
    return comparisons;
}

bool ds_label_matches(const QString &label, DSPredicateOperatorType type, const QString &operand)
{
    switch (type) {
    case DSPredicateOperatorType::EqualTo:
        return label.compare(operand, Qt::CaseInsensitive) == 0;
    case DSPredicateOperatorType::BeginsWith:
        return label.startsWith(operand, Qt::CaseInsensitive);
    case DSPredicateOperatorType::EndsWith:
        return label.endsWith(operand, Qt::CaseInsensitive);
    case DSPredicateOperatorType::Contains:
        return label.contains(operand, Qt::CaseInsensitive);
    default:
        return false;
    }
}
