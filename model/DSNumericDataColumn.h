#pragma once

#include "model/DSNumericColumn.h"
#include "model/DSStoredColumn.h"

#include <QByteArray>

// The numeric column whose values are stored in the document.
//
// Stored form: "values" holds the zlib stream of k doubles, 8 bytes each,
// little-endian, in row order, no header. Row i < k has the i-th value;
// rows k and above, up to the table's row count, are missing. A new column
// stores empty data (k = 0).
//
// Its life cycle (import, decode, cell edits held until the document
// saves, fault) is DSStoredColumn's. Decoded are the inflated array, the NaN
// mask and the whole-number flag; a cell edit makes the decoded array the
// writable temp_values, which teardown keeps while it holds unsaved edits.
// The import buffer is temp_values; a row change (dropRows, addRows) and
// an edit outside a context rewrite the whole stored array.
//
// Undo of a cell edit records the row and the old value only, through the
// context's undo manager; undoing it is a cell edit in turn.
//
// The decoded array and the NaN mask stay valid until the column's next
// edit, teardown or fault; the shared mask (predicate applied) until its
// next mask request, and never freed by one.
class DSNumericDataColumn : public DSStoredColumn<DSNumericColumn>
{
public:
    DSNumericDataColumn();
    ~DSNumericDataColumn() override;

    using DSNumericColumn::getValues;

    // The stored data itself (deflated).
    QByteArray values() const { return dataForKey(QStringLiteral("values")); }

    // Stores empty data.
    void awakeFromInsert() override;
    bool checkStoredArrays(qint64 maxRows, qint64 *rows) const override;

    // The decoded array and its count k (cut to the table's rows when k is
    // larger); null and 0 without values.
    qint64 getValues(const double **out) override;
    bool containsOnlyIntegers() override;
    // The index and the per-row positions are kept until the next purge;
    // asked for positions with neither kept, both come from one pass.
    qint64 getIndex(const double **out) override;
    qint64 getIndexedValues(const int32_t **out, qint64 *bins) override;

    // Filling. Appends one row: ±infinity is stored as NaN. A first buffer
    // holds 4,096 doubles and a full one doubles. False on allocation
    // failure ("Error in malloc()" or "Error in realloc()" logged), the
    // value not stored and the buffer as it was.
    bool appendValue(double x);
    // Stores a whole deflated array at once (see "Stored form"), its values
    // as they are: infinities stay infinite. For a reader whose format keeps
    // them (R); the column is then stored, not importing.
    void setValues(const QByteArray &deflated) { setPrimitiveValue(deflated, QStringLiteral("values")); }
    bool appendEmptyValue() override { return appendValue(NAN); }
    // Unless treat_as_categories is YES already, sets it when the appended
    // values hold at most two distinct non-missing values (none included);
    // then fills with NaN up to the table's row count and saves. Filling
    // stops at the first failed append (and the answer is false): the rows
    // not appended read as missing all the same.
    bool saveAfterImport() override;

    // Editing (refused, logged, when the column is damaged; a row change
    // rewrites the whole stored array, a cell edit
    // changes the decoded one; each then purges this column and everything
    // derived from it). Called before the table changes its
    // row count; rows must lie below it (others are ignored). An edit whose
    // array cannot be stored (memory ran out: "Error in malloc()" or "Error
    // compressing data" logged) changes nothing.
    // Keeps the rows not in the set, in order.
    void dropRows(const DSIndexSet &rows) override;
    // Appends n missing rows (after the table's current rows).
    void addRows(qint64 n) override;
    // Stores x at row as given (infinities stay, NaN payloads too). In a
    // context the decoded array changes and the column counts as unsaved;
    // outside one the stored array is rewritten. False, changing nothing,
    // for a row outside the table or when memory runs out.
    bool replaceNumericValueAtIndex(qint64 row, double x);

    // The stored name only; no suggested name.
    QString name() const override { return stringForKey(QStringLiteral("name")); }
    void setName(const QString &name) override { setPrimitiveValue(name, QStringLiteral("name")); }
    // Unless damaged.
    bool isEditable() const override { return isSound(); }

protected:
    // Decodes the stored data: the array, the NaN mask and the whole-number
    // flag. Data that does not read back whole (see
    // ds_inflate_stored_doubles), holds more values than the table has rows
    // (refused once inflating passes them, never inflated in full) or that
    // the store could not read makes the column damaged: it reads as no
    // values, every row missing.
    void decode() override;
    // The decoded data, the edited array and the whole-number flag.
    void releaseDecoded() override;
    bool followsRowCount() const override { return m_editable; }
    void scanMissingRows() override { scanDecoded(); }
    QByteArray importedArray(size_t key) const override;
    void releaseImportBuffers() override { temp_values.release(); }
    std::optional<QByteArray> editedArray(size_t key) const override;

private:
    // Makes temp_values hold exactly n doubles: the stored values of the
    // table's rows below min(k, n), NaN after them. False when memory runs
    // out.
    bool loadEditBuffer(qint64 n);
    // Makes the decoded array the writable temp_values of at least n
    // doubles (NaN past what was stored). False when memory runs out.
    bool makeEditable(qint64 n);
    // Builds the NaN mask over the table's rows and the whole-number flag
    // from the decoded array.
    void scanDecoded();
    // Writes x at row of the edited array, keeps the mask in step, marks
    // the column unsaved, purges and registers the undo of the cell.
    bool editCell(qint64 row, double x);

    // The inflated array (k = m_count doubles), read in place.
    QByteArray m_decompressed;
    DSColumnBuffer<double> m_alignedValues;
    const double *m_values = nullptr;
    qint64 m_count = 0;
    bool m_onlyIntegers = false;
    // An edit replaced a fraction: the flag is found again when asked.
    bool m_integersStale = false;
    // The decoded array is temp_values (m_count doubles).
    bool m_editable = false;
};
