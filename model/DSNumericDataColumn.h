#pragma once

#include "model/DSDataColumn.h"
#include "model/DSNumericColumn.h"

#include <QByteArray>

#include <optional>

// The numeric column whose values are stored in the document.
//
// Stored form: "values" holds the zlib stream of k doubles, 8 bytes each,
// little-endian, in row order, no header. Row i < k has the i-th value;
// rows k and above, up to the table's row count, are missing. A new column
// stores empty data (k = 0).
//
// States: importing (values appended into temp_values, nothing stored yet);
// encoded (only "values" holds data, after save() or a fault); decoded
// (after the first reader or edit: the inflated array, the NaN mask and the
// whole-number flag are held until the next save, teardown or fault);
// edited (in a context: a cell edit changed the decoded array, now held in
// temp_values, and the column counts as unsaved; "values" still holds the
// data before the edits until the document saves, which deflates the array
// in prepareForSave() and stores it in commitSavePreparation(); teardown
// keeps the edited array, a fault drops it). A row change (dropRows,
// addRows) and an edit outside a context rewrite the whole stored array.
// A change of "values" from elsewhere (undo, redo, a decoded copy) is
// noticed by the next reader, which decodes the new data.
//
// Undo of a cell edit records the row and the old value only, through the
// context's undo manager; undoing it is a cell edit in turn.
//
// The decoded array and the NaN mask stay valid until the column's next
// edit, teardown or fault; the shared mask (predicate applied) until its
// next mask request, and never freed by one.
class DSNumericDataColumn : public DSNumericColumn, public DSDataColumn
{
public:
    DSNumericDataColumn();
    ~DSNumericDataColumn() override;

    using DSNumericColumn::getValues;
    using DSNumericColumn::getMissingMask;

    // The stored data itself (deflated).
    QByteArray values() const { return dataForKey(QStringLiteral("values")); }

    // Stores empty data.
    void awakeFromInsert() override;
    // teardown(), then the base.
    void didTurnIntoFault() override;
    // Decodes the stored data: the array, the NaN mask and the whole-number
    // flag. Data that does not read back whole (see
    // ds_inflate_stored_doubles), holds more values than the table has rows
    // (refused once inflating passes them, never inflated in full) or that
    // the store could not read makes the column damaged: it reads as no
    // values, every row missing.
    void setup();
    bool checkStoredArrays(qint64 maxRows, qint64 *rows) const override;
    // A damaged column takes no edit: its stored bytes stay as they were.
    bool isDamaged() override;
    // Releases the decoded data and the NaN mask, clears the whole-number
    // flag, then purges the index and the statistics. An edited array is
    // kept (only what derives from it goes): it is the column's data.
    void teardown() override;
    // Whether cell edits wait in memory for the next save.
    bool hasUnsavedEdits() const { return m_dirty; }

    // Saving an edited column: deflates the edited array (false when that
    // fails, the edits kept), stores it without an undo step, or drops it.
    bool prepareForSave() override;
    bool needsSavePreparation() const override { return m_dirty; }
    QVariant encodedValueOfAttribute(const DSAttributeDescription *attribute) const override;
    void commitSavePreparation() override;
    void discardSavePreparation() override;
    // Whether the stored data is decoded.
    bool isDecoded() const { return m_decoded; }

    // The decoded array and its count k (cut to the table's rows when k is
    // larger); null and 0 without values.
    qint64 getValues(const double **out) override;
    // Without the predicate applied: the whole column's NaN mask whatever
    // the range (rows that are NaN or lie past k), null and 0 when no row is
    // missing. With it: the shared mask of the range with the NaN mask ORed
    // in, and its length.
    qint64 getMissingMask(const uint8_t **out, qint64 offset, qint64 limit) override;
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
    // Deflates the first temp_values_used() doubles into "values", empties
    // the buffer and tears down. False when deflating fails: the buffer is
    // kept and nothing is stored.
    bool save() override;

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

private:
    // Decodes unless the decoded data is that of the stored "values".
    void ensureDecoded();
    // Makes temp_values hold exactly n doubles: the stored values of the
    // table's rows below min(k, n), NaN after them. False when memory runs
    // out.
    bool loadEditBuffer(qint64 n);
    // save() and the purges every edit ends with. False when saving failed:
    // the edit buffer is dropped and nothing is purged.
    bool finishEdit();
    // Makes the decoded array the writable temp_values of at least n
    // doubles (NaN past what was stored). False when memory runs out.
    bool makeEditable(qint64 n);
    // Builds the NaN mask over the table's rows and the whole-number flag
    // from the decoded array.
    void scanDecoded();
    // Writes x at row of the edited array, keeps the mask in step, marks
    // the column unsaved, purges and registers the undo of the cell.
    bool editCell(qint64 row, double x);
    // Stores an edited array as "values" without an undo step (before a row
    // change, whose undo must give the edited values back). False when
    // deflating fails, changing nothing.
    bool storeEditsWithoutUndo();

    // What was decoded: the stored data and the table's row count then.
    QByteArray m_decodedFrom;
    qint64 m_decodedRows = 0;
    bool m_decoded = false;
    // The stored data did not read back whole.
    bool m_damaged = false;
    // The inflated array (k = m_count doubles), read in place.
    QByteArray m_decompressed;
    DSColumnBuffer<double> m_alignedValues;
    const double *m_values = nullptr;
    qint64 m_count = 0;
    // Rows that are NaN or past k; empty when no row is missing.
    DSColumnBuffer<uint8_t> temp_nan_mask;
    bool m_onlyIntegers = false;
    // An edit replaced a fraction: the flag is found again when asked.
    bool m_integersStale = false;
    // The decoded array is temp_values (m_count doubles), and whether it
    // holds edits not yet in "values".
    bool m_editable = false;
    bool m_dirty = false;
    // The edited array deflated by prepareForSave().
    std::optional<QByteArray> m_prepared;
};
