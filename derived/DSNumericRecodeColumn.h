#pragma once

#include "derived/DSPurgeOnChange.h"
#include "model/DSNumericColumn.h"

#include <QCborMap>
#include <QCborValue>
#include <QList>

#include <vector>

// Whole-number codes for the distinct values of one input column (slot 0):
// a numeric, text or indicator column. value_mapping maps an input value to
// its code: number keys (doubles, NaN standing for the missing value) for a
// numeric input, texts for a text input ("" for the blank value), 0 and 1
// for an indicator's FALSE and TRUE. A value without a code, an indicator's
// missing row, and every row of an input of any other kind are NaN, hence
// missing here. Codes are computed at every request, so an edit of the
// input reaches them at once; a change of value_mapping or of the input
// purges the column and everything computed from it, undo included.
class DSNumericRecodeColumn : public DSNumericColumn
{
public:
    using DSNumericColumn::getValues;

    ~DSNumericRecodeColumn() override;

    QCborMap value_mapping() const { return propertyListForKey(QStringLiteral("value_mapping")).toMap(); }
    void setValue_mapping(const QCborMap &mapping);
    // Kept with the column; nothing reads it.
    QCborMap range_mapping() const { return propertyListForKey(QStringLiteral("range_mapping")).toMap(); }
    void setRange_mapping(const QCborMap &mapping);

    // Stores a new mapping in which key maps to code (its whole part), or
    // loses its code when code is null. Number keys are stored as doubles,
    // so 1 and 1.0 name one value.
    void setValueMapping(const QCborValue &code, const QCborValue &key);
    // The input's values a recode sheet lists, one row each: a numeric
    // input's index (doubles, NaN last), a text input's index (texts, "" for
    // the blank entry), 0 and 1 for any other input.
    QList<QCborValue> inputValues();
    // Numbers the input's values 1, 2, 3 ... in the order of inputValues(),
    // keeping every code already mapped: a mapped value sets the count to
    // its code and the next new code continues after it. A new code is
    // labelled with the input's label of its value, else with a text value
    // itself (not an empty one).
    void smartRecode();

    // "recode<distinct codes>(<input's name>)".
    QString suggestedName() const override;
    bool containsOnlyIntegers() override { return true; }
    // YES once the input is gone.
    bool needsDeletion() override { return !input(); }

    // All rows, through the input's index: each distinct input value is
    // coded once. The count is the table's rows (null and 0 without rows or
    // when the input cannot deliver them).
    qint64 getValues(const double **out) override;
    // The codes of the rows of the range the table has; null and 0 when the
    // input delivers fewer rows or memory runs out.
    qint64 getValues(const double **out, qint64 offset, qint64 limit) override;
    // The distinct codes, ascending, then NaN when some entry of the
    // input's index has no code (an indicator's missing entry never has
    // one).
    qint64 getIndex(const double **out) override;

    void awakeFromInsert() override;
    void awakeFromFetch() override;
    void didTurnIntoFault() override;

private:
    // The code of each entry of the input's index (NaN: none); one NaN for
    // an input of another kind.
    std::vector<double> entryCodes();

    DSPurgeOnChange m_definition;
};
