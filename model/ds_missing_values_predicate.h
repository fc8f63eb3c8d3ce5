#pragma once
// What the column kinds share in reading a stored missing-values predicate.

#include "platform/predicate/DSComparisonPredicate.h"

#include <QString>

#include <vector>

class DSPredicate;

// The comparisons of a stored missing-values predicate: the subpredicates of
// its compound (the compound's own type is not consulted), or the one
// comparison it is. The pointers belong to the predicate.
std::vector<const DSComparisonPredicate *> ds_predicate_comparisons(const DSPredicate &predicate);

// Whether a label matches the operand by the label operators (==,
// BEGINSWITH, ENDSWITH, CONTAINS), ignoring case; false for any other.
bool ds_label_matches(const QString &label, DSPredicateOperatorType type, const QString &operand);
