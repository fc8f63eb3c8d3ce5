#pragma once

#include "model/DSTextColumn.h"

// A text column whose row lists its inputs' values of that row, such as
// "(F, North, 1)", and whose categories cross the inputs' categories. The
// inputs (any kind, slots 0, 1, 2 ... in the order they were added) are
// all it stores; it stays when an input goes, keeping the others.
//
// An element is a text input's value ("Missing" when blank); a numeric
// input's label of the value when it has a non-empty one, else "Missing"
// for NaN, else the value in "%g"; an indicator's "1", "0" or "?" when
// missing; an empty element for any other kind (time).
//
// The categories are every combination of the inputs' index entries, the
// first input changing slowest; they are refused (none, logged) when there
// would be more than maxCategories(), while the row texts are still served.
// Texts, categories and positions are rebuilt at each request into buffers
// the column owns (valid until its next request of the same kind).
class DSTextTupleColumn : public DSTextColumn
{
public:
    using DSColumn::getMissingMask;

    // "(a, b, c)" of the inputs' names in slot order.
    QString suggestedName() const override;
    // The product of the index sizes of the inputs at higher slots than
    // column (1 for the last input, 0 for a column that is no input).
    qint64 widthForInput(DSColumn *column);
    static constexpr qint64 maxCategories() { return 1000000; }

    // The tuple texts of the rows of the range the table has; null and 0
    // when memory runs out or an input delivers fewer rows.
    qint64 getTextValues(const char *const **out, qint64 offset, qint64 limit) override;
    // Every row pointing at its category's text, rows of one combination
    // sharing one string; the range texts when the categories are refused.
    // Null and 0 without rows.
    qint64 getTextValues(const char *const **out) override;
    // The texts of all combinations ("()" alone without inputs); null and 0
    // when refused or out of memory.
    qint64 getIndex(const char *const **out) override;
    // Each row's combination and the combination count; null, 0 and 0 when
    // an input's positions do not cover the table's rows or the
    // combinations are refused.
    qint64 getIndexedValues(const int32_t **out, qint64 *bins) override;
    // The text column's preparation of the range, then every input's
    // missing rows ORed in: a row is missing when any input is, although
    // its text shows "Missing" or "?".
    qint64 getMissingMask(const uint8_t **out, qint64 offset, qint64 limit) override;

    void didTurnIntoFault() override;

private:
    // The number of combinations, or -1 (logged) past maxCategories().
    qint64 categoryCount(const QList<DSColumn *> &inputs);

    // The row texts back to back, and the category texts.
    DSColumnBuffer<char> temp_text;
    DSColumnBuffer<char> index_buffer;
};
