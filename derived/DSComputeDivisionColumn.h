#pragma once

#include "derived/DSComputedColumn.h"

// dividend / divisor, row by row. A zero divisor gives plus or minus
// infinity (NaN for 0 / 0) and marks the row missing.
class DSComputeDivisionColumn : public DSComputedColumn
{
public:
    DSColumn *dividend() const { return inputColumnAtIndex(0); }
    void setDividend(DSColumn *column) { replaceInputColumnAtIndex(0, column); }
    DSColumn *divisor() const { return inputColumnAtIndex(1); }
    void setDivisor(DSColumn *column) { replaceInputColumnAtIndex(1, column); }

    // "a / b"; a sum or difference on either side, and a product or quotient
    // as the divisor, in parentheses.
    QString suggestedName() const override;
    // YES unless both inputs are there.
    bool needsDeletion() override { return lacksAnInput(); }
    NamePrecedence namePrecedence() const override { return MultiplicativeName; }

protected:
    // The divisor's and then the dividend's values; no values unless both
    // deliver the whole range.
    qint64 computeValues(const double **out, qint64 offset, qint64 count) override;
    // Rows whose divisor is 0 (either sign).
    void markMissingRows(qint64 offset, qint64 count) override;
};
