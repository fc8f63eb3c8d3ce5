#pragma once

// The passes by which a stored missing-values predicate marks rows of plain
// values (numbers, times) in a row mask. Each pass runs the rows in the
// aligned parallel chunks of ds_mark_rows, setting the bit of row
// offset + i for value i; bits already set stay.

#include "platform/predicate/DSComparisonPredicate.h"

#include <QtGlobal>

#include <cstdint>
#include <vector>

// Marks the values that compare with x by <, <=, >, >= or != (others mark
// nothing). A NaN value is below, above and equal to nothing and differs
// from everything.
void ds_mark_comparison(uint8_t *mask, qint64 offset, const double *v, qint64 count, DSPredicateOperatorType type,
                        double x);

// Marks the values equal to any operand: a linear test for a few operands,
// one binary search a row from four on; NaN operands are dropped.
void ds_mark_equal_rows(uint8_t *mask, qint64 offset, const double *v, qint64 count, std::vector<double> operands);
