#pragma once

#include "model/DSColumnBuffer.h"
#include "model/DSDataColumn.h"
#include "model/DSStoredColumnState.h"

#include <QByteArray>
#include <QString>
#include <QVariant>

#include <functional>
#include <optional>
#include <vector>

class DSAttributeDescription;
class DSUndoManager;

// The life cycle every column whose values are stored in the document goes
// through, written once for the kinds of column it stores (Base: numeric,
// time or text): decoding the stored arrays for readers, cell edits held in
// memory until the document saves, the save of an import's buffers, and a
// fault. Its states are DSStoredColumnState; each move asserts the state it
// starts in (see DSStoredColumnState.h for the moves allowed).
//
// A column kind says how its arrays are laid out: it names its stored
// attributes (the first holds one entry a row, so an empty one means no
// stored rows), inflates them in decode(), fills its import buffers and
// writes its cells; this class decides when to decode, keeps what was
// decoded from (a change of the stored data from elsewhere, such as undo,
// redo or a decoded copy, is noticed by the next reader, which decodes the
// new data), holds the missing-row mask, deflates edited arrays for the
// document's save and registers a cell's undo.
//
// Teardown releases what was decoded unless cell edits wait in memory: the
// edited arrays are then the column's data and only what derives from them
// goes. A fault drops them with the document's other unsaved changes.
template <class Base>
class DSStoredColumn : public Base, public DSDataColumn
{
public:
    using Base::getMissingMask;

    // Where the column is in its life cycle.
    DSStoredColumnState storedState() const;
    // Whether the stored data is decoded.
    bool isDecoded() const { return m_decoded; }
    // Whether cell edits wait in memory for the next save.
    bool hasUnsavedEdits() const { return m_dirty; }

    // Drops unsaved edits and import buffers, tears down, then the base.
    void didTurnIntoFault() override;
    // Decodes first; a damaged column reads as no values, every row missing.
    bool isDamaged() override;
    void teardown() override;
    // Deflates the import buffers into the stored attributes, empties the
    // buffers and tears down. False when deflating fails: the buffers are
    // kept and nothing is stored.
    bool save() override;

    // Saving an edited column: deflates the edited arrays side by side
    // (false when that fails, the edits kept), stores them without an undo
    // step, or drops them.
    bool prepareForSave() override;
    bool needsSavePreparation() const override { return m_dirty; }
    // The stored form of an edited array, so a copy never misses the edits.
    QVariant encodedValueOfAttribute(const DSAttributeDescription *attribute) const override;
    void commitSavePreparation() override;
    void discardSavePreparation() override;

    // Without the predicate applied: the whole column's missing-row mask
    // whatever the range, null and 0 when no row is missing. With it: the
    // shared mask of the range with the missing rows ORed in, and its length.
    qint64 getMissingMask(const uint8_t **out, qint64 offset, qint64 limit) override;

protected:
    // keys: the stored attributes, the one holding an entry a row first.
    explicit DSStoredColumn(std::vector<QString> keys);

    // What a column kind supplies.
    // Inflates the stored arrays for decodedRows() rows, marks the missing
    // rows in m_missingRows and calls setDamaged() when they do not read
    // back whole.
    virtual void decode() = 0;
    // Frees what decode() and the edits made (the edited arrays included).
    virtual void releaseDecoded() = 0;
    // Whether what is decoded stays the column's data when the table's row
    // count changes while the stored data does not (edited arrays); the
    // missing rows are then marked again by scanMissingRows().
    virtual bool followsRowCount() const = 0;
    virtual void scanMissingRows() = 0;
    // The import buffer of a key's array, as raw bytes over the buffer.
    virtual QByteArray importedArray(size_t key) const = 0;
    virtual void releaseImportBuffers() = 0;
    // The edited array of a key, as raw bytes over it; none when edits left
    // that key's stored array as it is.
    virtual std::optional<QByteArray> editedArray(size_t key) const = 0;
    // After the edits were stored by a save.
    virtual void didStoreEdits() {}

    // Decodes unless what is decoded is that of the stored data and rows.
    void ensureDecoded();
    // The table's row count when the data was decoded.
    qint64 decodedRows() const { return m_decodedRows; }
    void setDamaged() { m_damaged = true; }
    // Rows were written into the import buffers for save().
    void noteFilled() { m_loaded = true; }
    // Marks a decoded row missing or present in m_missingRows (rows at or
    // past decodedRows() are left alone).
    void markMissing(qint64 row, bool missing);

    // One cell edit: write() changes the decoded data in memory (false when
    // memory runs out, having changed nothing). In a context the column
    // then counts as unsaved and registerUndo() registers the cell's undo
    // with the undo manager; outside one the edit is stored at once, and
    // unwrite() puts the old cell back when that fails (false). Purges the
    // column and everything derived from it.
    bool editCell(const std::function<bool()> &write, const std::function<void()> &unwrite,
                  const std::function<void(DSUndoManager *)> &registerUndo);
    // Stores held edits as the attributes without an undo step (before a
    // row change, whose undo must give the edited values back). False when
    // deflating fails ("Error compressing data" logged), changing nothing.
    bool storeEditsWithoutUndo();
    // A row change starts: held edits are stored, the data decoded. False
    // when the edits cannot be stored.
    bool beginRowChange();
    // A row change that filled the import buffers ends: save() and the
    // purges. False when saving failed: the buffers are dropped, the stored
    // data is the old one and nothing is purged.
    bool finishRowChange();

    // Rows that are missing (NaN, blank) or lie past the stored ones; empty
    // when none is.
    DSColumnBuffer<uint8_t> m_missingRows;

private:
    void expectMove(DSStoredColumnMove move) const;
    QByteArray storedArray(size_t key) const;
    void decodeStored();

    const std::vector<QString> m_keys;
    // What was decoded: the stored data and the table's row count then.
    std::vector<QByteArray> m_decodedFrom;
    qint64 m_decodedRows = 0;
    // What prepareForSave() deflated, a key each (none for a key not edited).
    std::vector<std::optional<QByteArray>> m_prepared;
    bool m_decoded = false;
    // The stored data did not read back whole.
    bool m_damaged = false;
    // Cell edits wait in memory.
    bool m_dirty = false;
    // A cell edit is under way.
    bool m_inEdit = false;
    // The import buffers hold rows for save().
    bool m_loaded = false;
};
