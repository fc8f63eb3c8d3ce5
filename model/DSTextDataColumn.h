#pragma once

#include "model/DSStoredColumn.h"
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
// Its life cycle (import, decode, cell edits held until the document
// saves, fault) is DSStoredColumn's. Decoded are the inflated attributes and
// the blank mask; a cell edit changes the decoded offsets, and appends its
// text to the decoded texts, which then also wait for the save. The import
// buffers are temp_text and temp_offsets; a row change (dropRows, addRows)
// and an edit outside a context rewrite the stored offsets.
//
// Undo of a cell edit records the row and its old offset only, through the
// context's undo manager (the old text stays in the texts); undoing it is a
// cell edit in turn.
class DSTextDataColumn : public DSStoredColumn<DSTextColumn>
{
public:
    DSTextDataColumn();
    ~DSTextDataColumn() override;

    using DSTextColumn::getTextValues;

    // The stored data itself (deflated).
    QByteArray text_values() const { return dataForKey(QStringLiteral("text_values")); }
    QByteArray text_offsets() const { return dataForKey(QStringLiteral("text_offsets")); }

    // Stores empty data in both attributes.
    void awakeFromInsert() override;
    bool checkStoredArrays(qint64 maxRows, qint64 *rows) const override;

    // The texts of rows offset on: c rows, c = limit when 0 < limit < n -
    // offset, else every row to the last (n the table's rows). A row reads
    // as NULL when its offset is -1 or any other negative number, lies at or
    // past the end of the texts, or the row lies at or past k. Null and 0
    // when offset is at or past n, or when no text is stored (so a column of
    // blank rows gives no rows).
    qint64 getTextValues(const char *const **out, qint64 offset, qint64 limit) override;
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

protected:
    // Decodes the stored data: the texts, the offsets and the blank mask.
    // Data that does not read back whole or is not consistent (see
    // ds_inflate_stored_texts), or that the store could not read, makes the
    // column damaged: no texts, every row blank.
    void decode() override;
    void releaseDecoded() override;
    // A change of the table's rows alone marks the blank rows again.
    bool followsRowCount() const override { return true; }
    void scanMissingRows() override { scanBlanks(); }
    QByteArray importedArray(size_t key) const override;
    void releaseImportBuffers() override;
    std::optional<QByteArray> editedArray(size_t key) const override;
    void didStoreEdits() override { m_textsEdited = false; }

private:
    // Builds the blank mask over the table's rows from the decoded data.
    void scanBlanks();
    // Whether a decoded offset reads as a text.
    bool isTextOffset(int64_t offset) const { return offset >= 0 && offset < decompressed_text.size(); }
    // Writes offset at row of the decoded offsets (grown with blank rows to
    // cover it), keeps the blank mask in step, marks the column unsaved,
    // purges and registers the undo of the cell. False, changing nothing,
    // when memory runs out or, outside a context, the edit cannot be stored.
    bool editOffset(qint64 row, int64_t offset);
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

    QByteArray decompressed_text;
    QByteArray decompressed_offsets;
    qint64 m_offsetCount = 0;
    // The decoded texts hold texts that an edit appended.
    bool m_textsEdited = false;

    DSColumnBuffer<char> temp_text;
    DSColumnBuffer<int64_t> temp_offsets;
};
