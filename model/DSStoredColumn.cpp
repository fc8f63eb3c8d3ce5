#include "model/DSStoredColumn.h"

#include "model/DSNumericColumn.h"
#include "model/DSTextColumn.h"
#include "model/DSTimeColumn.h"
#include "model/ds_stored_arrays.h"
#include "platform/dispatch/ds_parallel_for.h"
#include "platform/store/DSAttributeDescription.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSUndoManager.h"

#include <QScopedValueRollback>

#include <algorithm>
#include <cassert>

template <class Base>
DSStoredColumn<Base>::DSStoredColumn(std::vector<QString> keys)
    : m_keys(std::move(keys)), m_decodedFrom(m_keys.size()), m_prepared(m_keys.size())
{
}

template <class Base>
DSStoredColumnState DSStoredColumn<Base>::storedState() const
{
    using S = DSStoredColumnState;
    if (std::any_of(m_prepared.begin(), m_prepared.end(), [](const auto &p) { return p.has_value(); }))
        return S::Saving;
    if (m_inEdit)
        return S::Editing;
    if (m_dirty)
        return S::Edited;
    // A buffer being filled, or no stored rows that saving could lose.
    if (m_loaded || storedArray(0).isEmpty())
        return S::Importing;
    return m_decoded ? S::Decoded : S::Encoded;
}

template <class Base>
void DSStoredColumn<Base>::expectMove(DSStoredColumnMove move) const
{
    // Only a build with assertions asks for the state (it reads the store).
    assert(ds_stored_column_allows(storedState(), move) && "a stored column made a move its state does not allow");
    (void)move;
}

template <class Base>
QByteArray DSStoredColumn<Base>::storedArray(size_t key) const
{
    return this->dataForKey(m_keys[key]);
}

template <class Base>
void DSStoredColumn<Base>::didTurnIntoFault()
{
    expectMove(DSStoredColumnMove::Fault);
    // Unsaved edits go with the document's other unsaved changes.
    m_dirty = false;
    discardSavePreparation();
    teardown();
    releaseImportBuffers();
    m_loaded = false;
    Base::didTurnIntoFault();
}

template <class Base>
bool DSStoredColumn<Base>::isDamaged()
{
    ensureDecoded();
    return m_damaged;
}

template <class Base>
void DSStoredColumn<Base>::teardown()
{
    if (!m_dirty) {
        releaseDecoded();
        std::fill(m_decodedFrom.begin(), m_decodedFrom.end(), QByteArray());
        m_decoded = false;
        m_damaged = false;
        m_missingRows.release();
    }
    this->purgeIndex();
    this->purgeStats();
}

template <class Base>
void DSStoredColumn<Base>::decodeStored()
{
    for (size_t key = 0; key < m_keys.size(); ++key)
        m_decodedFrom[key] = storedArray(key);
    m_decodedRows = this->tableRowCount();
    m_damaged = false;
    m_missingRows.release();
    decode();
    m_decoded = true;
}

template <class Base>
void DSStoredColumn<Base>::ensureDecoded()
{
    if (m_decoded) {
        bool same = true;
        for (size_t key = 0; key < m_keys.size() && same; ++key) {
            const QByteArray stored = storedArray(key);
            same = stored.constData() == m_decodedFrom[key].constData() && stored.size() == m_decodedFrom[key].size();
        }
        if (same) {
            const qint64 rows = this->tableRowCount();
            if (rows == m_decodedRows)
                return;
            if (followsRowCount()) {
                // The edited arrays are the data: only the rows they cover moved.
                m_decodedRows = rows;
                this->purgeIndex();
                this->purgeStats();
                scanMissingRows();
                return;
            }
        }
        // Undo, redo or a decoded copy replaced the data, or the table's rows
        // changed: what was decoded describes the old state (edits included:
        // they were made on data that is no longer the column's).
        m_dirty = false;
        teardown();
    }
    decodeStored();
}

template <class Base>
void DSStoredColumn<Base>::markMissing(qint64 row, bool missing)
{
    if (row >= m_decodedRows)
        return;
    if (missing)
        ds_mark_nan_row(m_missingRows, m_decodedRows, row);
    else if (!m_missingRows.isEmpty())
        m_missingRows.data()[row / 8] &= uint8_t(~(1u << (row % 8)));
}

template <class Base>
qint64 DSStoredColumn<Base>::getMissingMask(const uint8_t **out, qint64 offset, qint64 limit)
{
    ensureDecoded();
    if (!this->apply_missing_values_predicate() || !this->missing_values_predicate()) {
        if (out)
            *out = m_missingRows.data();
        return m_missingRows.used();
    }
    offset = std::max<qint64>(offset, 0);
    const qint64 length = this->setupMissingMask(offset, limit);
    uint8_t *mask = this->sharedMissingMask();
    ds_or_nan_mask(mask, m_missingRows, offset, length);
    if (out)
        *out = length ? mask : nullptr;
    return length;
}

template <class Base>
bool DSStoredColumn<Base>::save()
{
    expectMove(DSStoredColumnMove::Save);
    std::vector<QByteArray> stored(m_keys.size());
    for (size_t key = 0; key < m_keys.size(); ++key) {
        std::optional<QByteArray> stream = ds_deflate_stored_array(importedArray(key));
        if (!stream)
            return false;
        stored[key] = std::move(*stream);
    }
    // The attribute holding the rows last: whatever notices its change finds
    // the others stored.
    for (size_t key = m_keys.size(); key-- > 0;)
        this->setPrimitiveValue(stored[key], m_keys[key]);
    releaseImportBuffers();
    m_loaded = false;
    teardown();
    return true;
}

template <class Base>
bool DSStoredColumn<Base>::editCell(const std::function<bool()> &write, const std::function<void()> &unwrite,
                                    const std::function<void(DSUndoManager *)> &registerUndo)
{
    expectMove(DSStoredColumnMove::BeginEdit);
    const QScopedValueRollback<bool> editing(m_inEdit, true);
    if (!write())
        return false;
    const bool wasDirty = std::exchange(m_dirty, true);
    DSManagedObjectContext *context = this->managedObjectContext();
    if (!context && !storeEditsWithoutUndo()) {
        unwrite();
        m_dirty = wasDirty;
        return false;
    }
    if (context)
        this->markUnsavedEdit();
    this->recursivePurge();
    if (DSUndoManager *undo = context ? context->undoManager() : nullptr)
        registerUndo(undo);
    return true;
}

template <class Base>
bool DSStoredColumn<Base>::storeEditsWithoutUndo()
{
    if (this->storeSavePreparationWithoutUndo())
        return true;
    qCritical("Error compressing data");
    return false;
}

template <class Base>
bool DSStoredColumn<Base>::beginRowChange()
{
    if (m_dirty && !storeEditsWithoutUndo())
        return false;
    ensureDecoded();
    return true;
}

template <class Base>
bool DSStoredColumn<Base>::finishRowChange()
{
    if (!save()) {
        // The change goes whole: the stored data, and what was decoded from
        // it, are still the old values, and no buffer is left for a later
        // save to store.
        qCritical("Error compressing data");
        releaseImportBuffers();
        m_loaded = false;
        return false;
    }
    this->recursivePurge();
    return true;
}

template <class Base>
QVariant DSStoredColumn<Base>::encodedValueOfAttribute(const DSAttributeDescription *attribute) const
{
    const auto key = std::find(m_keys.begin(), m_keys.end(), attribute->name());
    const std::optional<QByteArray> edited =
        m_dirty && key != m_keys.end() ? editedArray(size_t(key - m_keys.begin())) : std::nullopt;
    if (!edited)
        return DSManagedObject::encodedValueOfAttribute(attribute);
    const std::optional<QByteArray> stored = ds_deflate_stored_array(*edited);
    if (!stored)
        qCritical("Error compressing data");
    return stored ? QVariant(*stored) : QVariant();
}

template <class Base>
bool DSStoredColumn<Base>::prepareForSave()
{
    expectMove(DSStoredColumnMove::PrepareSave);
    discardSavePreparation();
    if (!m_dirty)
        return true;
    std::vector<std::optional<QByteArray>> edited(m_keys.size());
    std::vector<size_t> keys;
    for (size_t key = 0; key < m_keys.size(); ++key)
        if ((edited[key] = editedArray(key)))
            keys.push_back(key);
    // The arrays deflate side by side: a save of one edited column waits for
    // the longest of them only.
    ds_dispatch_apply(keys.size(), [&](uint64_t i) { m_prepared[keys[i]] = ds_deflate_stored_array(*edited[keys[i]]); });
    if (std::all_of(keys.begin(), keys.end(), [this](size_t key) { return m_prepared[key].has_value(); }))
        return true;
    discardSavePreparation();
    return false;
}

template <class Base>
void DSStoredColumn<Base>::commitSavePreparation()
{
    expectMove(DSStoredColumnMove::FinishSave);
    if (std::none_of(m_prepared.begin(), m_prepared.end(), [](const auto &p) { return p.has_value(); }))
        return;
    for (size_t key = m_keys.size(); key-- > 0;)
        if (m_prepared[key])
            this->setPrimitiveValue(*m_prepared[key], m_keys[key]);
    discardSavePreparation();
    // The edited arrays stay the decoded data of what is now stored.
    for (size_t key = 0; key < m_keys.size(); ++key)
        m_decodedFrom[key] = storedArray(key);
    m_dirty = false;
    didStoreEdits();
}

template <class Base>
void DSStoredColumn<Base>::discardSavePreparation()
{
    expectMove(DSStoredColumnMove::FinishSave);
    std::fill(m_prepared.begin(), m_prepared.end(), std::nullopt);
}

template class DSStoredColumn<DSNumericColumn>;
template class DSStoredColumn<DSTimeColumn>;
template class DSStoredColumn<DSTextColumn>;
