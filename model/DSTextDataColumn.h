#pragma once

#include "model/DSDataColumn.h"
#include "model/DSStoredColumnState.h"
#include "model/DSTextColumn.h"

#include <QByteArray>

#include <optional>
#include <vector>

// The text column whose texts are stored in the document.
//
// Stored form, both attributes zlib streams: "text_values" holds the texts
// back to back, each followed by exactly one NUL, in the order they were
// appended (it may hold texts no row uses any more); "text_offsets" holds k
// signed 64-bit little-endian integers, one a row: the byte offset of the
// row's text in the inflated "text_values", or -1 for a blank row. Rows k
// and above, up to the table's row count, are blank. An empty text is never
// stored: it is a blank row. Stored texts are never removed or compacted.
//
// States: importing (texts appended into temp_text and temp_offsets);
// encoded (only the attributes hold data, after save() or a fault); decoded
// (after the first reader or edit: the inflated attributes and the blank
// mask are held until the next save, teardown or fault); edited (in a
// context: a cell edit changed the decoded offsets, and appended its text
// to the decoded texts, and the column counts as unsaved; the attributes
// still hold the data before the edits until the document saves, which
// deflates what changed in prepareForSave() and stores it in
// commitSavePreparation(); teardown keeps the edits, a fault drops them). A
// row change (dropRows, addRows) and an edit outside a context rewrite the
// stored offsets. A change of the attributes from elsewhere (undo, redo, a
// decoded copy) is noticed by the next reader, which decodes the new data.
//
// Undo of a cell edit records the row and its old offset only, through the
// context's undo manager (the old text stays in the texts); undoing it is a
// cell edit in turn.
class DSTextDataColumn : public DSTextColumn, public DSDataColumn
{
public:
    DSTextDataColumn();
    ~DSTextDataColumn() override;

    using DSTextColumn::getTextValues;
    using DSTextColumn::getMissingMask;

    // The stored data itself (deflated).
    QByteArray text_values() const { return dataForKey(QStringLiteral("text_values")); }
    QByteArray text_offsets() const { return dataForKey(QStringLiteral("text_offsets")); }

    // Stores empty data in both attributes.
    void awakeFromInsert() override;
    // Frees the import buffers, teardown(), then the base.
    void didTurnIntoFault() override;
    // Decodes the stored data: the texts, the offsets and the blank mask.
    // Data that does not read back whole or is not consistent (see
    // ds_inflate_stored_texts), or that the store could not read, makes the
    // column damaged: no texts, every row blank.
    void setup();
    bool checkStoredArrays(qint64 maxRows, qint64 *rows) const override;
    // A damaged column takes no edit (refused, logged): its stored bytes
    // stay as they were.
    bool isDamaged() override;
    // Releases the decoded data and the blank mask, then purges the index
    // and the statistics. Edited data is kept (only what derives from it
    // goes): it is the column's data.
    void teardown() override;
    // Whether cell edits wait in memory for the next save.
    bool hasUnsavedEdits() const { return m_dirty; }
    // Where the column is in its life cycle (DSStoredColumnState).
    DSStoredColumnState storedState() const;

    // Saving an edited column: deflates the edited offsets, and the texts
    // when an edit appended one (false when that fails, the edits kept),
    // stores them without an undo step, or drops them.
    bool prepareForSave() override;
    bool needsSavePreparation() const override { return m_dirty; }
    QVariant encodedValueOfAttribute(const DSAttributeDescription *attribute) const override;
    void commitSavePreparation() override;
    void discardSavePreparation() override;

    // The texts of rows offset on: c rows, c = limit when 0 < limit < n -
    // offset, else every row to the last (n the table's rows). A row reads
    // as NULL when its offset is -1 or any other negative number, lies at or
    // past the end of the texts, or the row lies at or past k. Null and 0
    // when offset is at or past n, or when no text is stored (so a column of
    // blank rows gives no rows).
    qint64 getTextValues(const char *const **out, qint64 offset, qint64 limit) override;
    // Without the predicate applied: the whole column's blank mask whatever
    // the range, null and 0 when no row is blank. With it: the shared mask
    // of the range with the blank mask ORed in, and its length.
    qint64 getMissingMask(const uint8_t **out, qint64 offset, qint64 limit) override;
    // Decoding first: new stored data purges what was kept.
    qint64 getIndex(const char *const **out) override;
    qint64 getIndexedValues(const int32_t **out, qint64 *bins) override;

    // Filling. Appends one row: the text and its NUL, or a blank row for the
    // empty text. Both buffers start at 4,096 entries (bytes) and double.
    // False on allocation failure ("Error in malloc()" or "Error in
    // realloc()" logged), the row not appended and the buffers as they were.
    bool appendTextValue(const char *text);
    bool appendEmptyValue() override { return appendTextValue(""); }
    // Fills with blank rows up to the table's row count and saves; then,
    // unless treat_as_categories is YES already, sets it when the index
    // (the filling blanks counting as its blank entry) has fewer than 151
    // entries. False when filling or saving failed.
    bool saveAfterImport() override;
    // Deflates the appended texts and offsets into the attributes, empties
    // the buffers and tears down. False when deflating fails: the buffers
    // are kept and nothing is stored.
    bool save() override;

    // Editing: each rewrites the offsets (and, replacing with a non-empty
    // text, appends it to the texts), then purges this column and everything
    // derived from it; a row change stores the offsets, a cell edit changes
    // the decoded ones. Called before the table changes its row count; rows
    // must lie below it (others are ignored). An edit that cannot be stored
    // ("Error in malloc()" or "Error compressing data" logged) changes
    // nothing.
    // Keeps the offsets of the rows not in the set, in order.
    void dropRows(const DSIndexSet &rows) override;
    // Appends n blank rows after the table's current rows.
    void addRows(qint64 n) override;
    // Makes the row's text the given one (blank for the empty text). In a
    // context the decoded data changes and the column counts as unsaved;
    // outside one the stored offsets (and texts) are rewritten. False,
    // changing nothing, for a row outside the table or an edit that cannot
    // be stored.
    bool replaceTextValueAtIndex(qint64 row, const char *text);

    // The stored name only; no suggested name.
    QString name() const override { return stringForKey(QStringLiteral("name")); }
    void setName(const QString &name) override { setPrimitiveValue(name, QStringLiteral("name")); }
    // Unless damaged.
    bool isEditable() const override { return isSound(); }

    // The import buffers, as counts of bytes and of offsets.
    qint64 temp_text_capacity() const { return temp_text.capacity(); }
    qint64 temp_text_used() const { return temp_text.used(); }
    qint64 temp_offsets_capacity() const { return temp_offsets.capacity(); }
    qint64 temp_offsets_used() const { return temp_offsets.used(); }

private:
    // Decodes unless the decoded data is that of the stored attributes; a
    // change of the table's rows alone marks the blank rows again.
    void ensureDecoded();
    // Builds the blank mask over the table's rows from the decoded data.
    void scanBlanks();
    // Whether a decoded offset reads as a text.
    bool isTextOffset(int64_t offset) const { return offset >= 0 && offset < decompressed_text.size(); }
    // Writes offset at row of the decoded offsets (grown with blank rows to
    // cover it), keeps the blank mask in step, marks the column unsaved,
    // purges and registers the undo of the cell. False, changing nothing,
    // when memory runs out or, outside a context, the edit cannot be stored.
    bool editOffset(qint64 row, int64_t offset);
    // Stores the edits as the attributes without an undo step (before a row
    // change, whose undo must give the edited texts back). False when
    // deflating fails, changing nothing.
    bool storeEditsWithoutUndo();
    // The decoded offset of row i (below k).
    int64_t storedOffset(qint64 i) const;
    // The offsets of the table's n rows as stored: -1 past k.
    std::optional<std::vector<int64_t>> loadOffsets(qint64 n);
    // Deflates offsets into "text_offsets", then tears down and purges
    // everything derived. False, storing nothing, when deflating fails.
    bool storeOffsets(const std::vector<int64_t> &offsets);
    // Grows a private import buffer to hold `needed` entries, doubling from
    // 4,096. False, logging, when memory runs out.
    template <class T>
    static bool growImportBuffer(DSColumnBuffer<T> &buffer, qint64 needed);

    // What was decoded: the stored data and the table's row count then.
    QByteArray m_decodedTextFrom, m_decodedOffsetsFrom;
    qint64 m_decodedRows = 0;
    bool m_decoded = false;
    // The stored data did not read back whole.
    bool m_damaged = false;
    QByteArray decompressed_text;
    QByteArray decompressed_offsets;
    qint64 m_offsetCount = 0;
    // Rows whose offset is -1 or that lie past k; empty when none is blank.
    DSColumnBuffer<uint8_t> temp_blank_mask;
    // The decoded offsets hold edits not yet stored, and the decoded texts
    // texts that an edit appended.
    bool m_dirty = false;
    bool m_textsEdited = false;
    // A cell edit is under way.
    bool m_inEdit = false;
    // Rows have been appended for save().
    bool m_loaded = false;
    // What prepareForSave() deflated: the offsets, and the texts when edited.
    std::optional<QByteArray> m_preparedOffsets, m_preparedTexts;

    DSColumnBuffer<char> temp_text;
    DSColumnBuffer<int64_t> temp_offsets;
};
