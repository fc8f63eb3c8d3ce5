#pragma once

#include "derived/DSComputedColumn.h"

// minuend - subtrahend, row by row.
class DSComputeDifferenceColumn : public DSComputedColumn
{
public:
    DSColumn *minuend() const { return inputColumnAtIndex(0); }
    void setMinuend(DSColumn *column) { replaceInputColumnAtIndex(0, column); }
    DSColumn *subtrahend() const { return inputColumnAtIndex(1); }
    void setSubtrahend(DSColumn *column) { replaceInputColumnAtIndex(1, column); }

    // "x − y" (U+2212); a subtrahend that is a sum or difference in
    // parentheses ("x − (y − z)"), the minuend never ("x − y − z").
    QString suggestedName() const override;
    // YES unless both inputs are there.
    bool needsDeletion() override { return lacksAnInput(); }
    NamePrecedence namePrecedence() const override { return AdditiveName; }

protected:
    // The minuend's and then the subtrahend's values; no values unless both
    // deliver the whole range.
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
};
