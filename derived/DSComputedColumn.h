#pragma once

#include "derived/DSPurgeOnChange.h"
#include "model/DSNumericColumn.h"
#include "model/ds_row_mask.h"

#include <QList>
#include <QStringList>

#include <algorithm>

// The base of the numeric columns computed from other columns of their
// table (arithmetic, transforms, quantile groups): it stores only its inputs
// (DSColumnInput links, by slot) and, in subclasses, a few parameters, and
// computes the values of a requested row range at every request.
//
// Value protocol: getValues(out, offset, limit) answers n = the rows of
// [offset, offset + limit) that the table has, with *out pointing at the
// column's own buffer whose first n entries are those rows' values; on
// failure (a range at or past the last row, inputs that cannot deliver it,
// memory) *out is null and the answer 0. out may be null (the count alone).
// The buffer belongs to the column: the pointer lives until the column's
// next request of any kind. A mask request counts as a value request, since
// the column's own missing-values rule reads its values and may overwrite
// the buffer: ask for the mask first and the values last, as numericRows()
// does. Reading one column twice in one computation (x / x, x - x) is safe:
// a request never frees the block the previous one handed out.
//
// Missing rows: those missing in any input, those its own missing-values
// rule marks, and those a subclass marks (markMissingRows); the values of
// the column itself are never looked at for NaN.
//
// A changed input link or stored parameter purges the column and everything
// computed from it (recursivePurge), by undo and redo too, so no summary
// outlives the definition it was made from.
//
// Inputs that form a cycle (a damaged document) give no values and no
// missing rows instead of recursing for ever.
class DSComputedColumn : public DSNumericColumn
{
public:
    using DSNumericColumn::getValues;
    using DSColumn::getMissingMask;

    ~DSComputedColumn() override;

    qint64 getValues(const double **out, qint64 offset, qint64 limit) final;
    // setupMissingMaskAtOffset, then the subclass's own rows of the range;
    // the mask from row 0 (owned by the column) and its length in bytes.
    qint64 getMissingMask(const uint8_t **out, qint64 offset, qint64 limit) final;
    // Prepares the shared mask for the range (the numeric column's set-up
    // with its missing-values rule), then ORs in each input's mask for the
    // same range; its length in bytes (0 when it cannot be allocated).
    qint64 setupMissingMaskAtOffset(qint64 offset, qint64 limit);
    // YES when no input is left.
    bool needsDeletion() override;

    void awakeFromInsert() override;
    void awakeFromFetch() override;
    void didTurnIntoFault() override;

    // How tightly the suggested name binds, for the names that embed it: a
    // sum or difference is additive, a product, quotient or scaled column
    // multiplicative, everything else (a function name, a stored column)
    // atomic.
    enum NamePrecedence { AdditiveName = 1, MultiplicativeName = 2, AtomicName = 3 };
    virtual NamePrecedence namePrecedence() const { return AtomicName; }

protected:
    // The values of rows offset to offset + count - 1, count >= 1 being the
    // rows the table has there, with the protocol of getValues.
    virtual qint64 computeValues(const double **out, qint64 offset, qint64 count) = 0;
    // Marks further missing rows among offset to offset + count - 1 in the
    // prepared shared mask; nothing here.
    virtual void markMissingRows(qint64 offset, qint64 count);
    // The stored parameters whose change purges the column; none here.
    virtual QStringList parameterKeys() const { return {}; }

    // temp_values with room for n values, n of them used; null, after
    // logging "Error in realloc for temp_observations", when memory runs out.
    double *reserveValues(qint64 n);
    // The values of the range of the input at slot 0 in *x and a buffer for
    // as many results in *y; their number, or 0 with *y null when the input
    // gives none, gives fewer than count while needsAll is set, or memory
    // runs out.
    qint64 reserveForInput(const double **x, double **y, qint64 offset, qint64 count, bool needsAll);
    // The values of the range of first and then of second, and a buffer of
    // count results; null when either input gives fewer than count values
    // or memory runs out.
    double *reserveForInputs(DSColumn *first, const double **a, DSColumn *second, const double **b, qint64 offset,
                             qint64 count);
    // Whether either of a two-input column's inputs is gone.
    bool lacksAnInput() const { return objectsForKey(QStringLiteral("inputs")).size() != 2; }
    // The inputs' names in slot order joined by separator, each in
    // parentheses when it binds less tightly than minimum.
    QString joinedInputNames(const QString &separator, NamePrecedence minimum) const;
    // Sets *out (when given) to buffer and answers n; a failed request
    // passes a null buffer and n = 0.
    static qint64 handOut(const double **out, const double *buffer, qint64 n);
    // The values of a numeric column for a range (its count); null and 0 for
    // no column or one of another kind.
    static qint64 numericValuesOf(DSColumn *column, const double **out, qint64 offset, qint64 limit);
    // The input's name, in parentheses when it is a computed column whose
    // name binds less tightly than minimum; a null text without an input.
    static QString operandName(const DSColumn *column, NamePrecedence minimum);
    // One input's terms for a sum or a product over a range: the values of a
    // numeric column, or the value bits of an indicator column (1 or 0 for
    // row offset + i in bit offset + i of the whole-column bits; rows past
    // the bits are FALSE, as for every reader of an indicator).
    struct InputTerms
    {
        const double *values = nullptr;
        const uint8_t *bits = nullptr;
        qint64 bitRows = 0;
        double at(qint64 offset, qint64 i) const
        {
            if (values)
                return values[i];
            return offset + i < bitRows && ds_mask_test(bits, offset + i) ? 1 : 0;
        }
    };
    enum class Terms { Skipped, Failed, Ready };
    // Skipped for a column of another kind; Failed when a numeric column
    // delivers fewer than count values or an indicator has no bits; the
    // pointers live until the input's next request.
    static Terms termsOf(DSColumn *column, qint64 offset, qint64 count, InputTerms *terms);
    // YES when every input is an indicator or a numeric column of whole
    // numbers (YES without inputs): the sum's and the product's answer.
    bool inputsContainOnlyIntegers() const;
    // Marks every row of the range whose input value (slot 0) picks accepts.
    template <class Picks>
    void markInputRows(qint64 offset, qint64 count, const Picks &picks);

private:
    void observeDefinition();

    DSPurgeOnChange m_definition;
};

template <class Picks>
void DSComputedColumn::markInputRows(qint64 offset, qint64 count, const Picks &picks)
{
    const double *x = nullptr;
    const qint64 c = std::min(numericValuesOf(input(), &x, offset, count), count);
    if (x && c > 0)
        ds_mark_rows(sharedMissingMask(), offset, c, [&](int64_t i) { return picks(x[i]); });
}
