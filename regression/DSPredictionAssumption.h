#pragma once

#include "platform/store/DSManagedObject.h"

#include <limits>

class DSExplanatoryColumnVariable;
class DSPrediction;

// The value a prediction assumes for one explanatory column variable: a
// number (numeric, time and indicator variables, in the data matrix's units:
// a time in days or hours since the variable's reference) or a category (a
// position among the variable's estimates not omitted for lack of data).
// The row vector reads temp_numeric_value, the value being edited, which
// follows numeric_value on insert, fetch and decode.
class DSPredictionAssumption : public DSManagedObject
{
public:
    double numeric_value() const { return doubleForKey(QStringLiteral("numeric_value")); }
    void setNumeric_value(double value) { setPrimitiveValue(value, QStringLiteral("numeric_value")); }
    qint64 category_value() const { return integerForKey(QStringLiteral("category_value")); }
    void setCategory_value(qint64 i) { setPrimitiveValue(qlonglong(i), QStringLiteral("category_value")); }
    DSExplanatoryColumnVariable *explanatory_variable() const;
    void setExplanatory_variable(DSExplanatoryColumnVariable *variable);
    DSPrediction *prediction() const;
    void setPrediction(DSPrediction *prediction);

    double temp_numeric_value() const { return m_tempNumericValue; }
    void setTemp_numeric_value(double value) { m_tempNumericValue = value; }

    // A slider range for the variable under the row mask: a numeric
    // column's smallest and largest value snapped outward to a readable
    // grid, a time column's earliest and latest time in the variable's
    // units, 0 and 1 for any other. Either pointer may be null.
    void suggestMinMax(double *min, double *max, const uint8_t *mask, qint64 length) const;
    // A starting value: a numeric column's mean under the mask, the middle
    // of a time column's earliest and latest time, else 0.
    double suggestMeanForMask(const uint8_t *mask, qint64 length) const;

    void awakeFromInsert() override;
    void awakeFromFetch() override;
    void decodeAttributes(const QCborMap &dictionary) override;

private:
    double m_tempNumericValue = std::numeric_limits<double>::quiet_NaN();
};
