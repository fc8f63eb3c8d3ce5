#include "model/DSTextDataColumn.h"

#include "model/ds_compression.h"
#include "model/ds_row_mask.h"
#include "model/ds_stored_arrays.h"
#include "platform/store/DSAttributeDescription.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSUndoManager.h"

#include <QScopedValueRollback>

#include <algorithm>
#include <bit>
#include <cstring>

// The stored offsets are the machine's 64-bit integers as they are.
static_assert(std::endian::native == std::endian::little, "stored offsets are little-endian integers");

namespace {

const QString k_text_values = QStringLiteral("text_values");
const QString k_text_offsets = QStringLiteral("text_offsets");
constexpr qint64 first_import_buffer = 4096;

// A zlib stream of the bytes, "" for none; none when deflating fails.
std::optional<QByteArray> deflated(const char *bytes, qint64 size)
{
    if (size <= 0)
        return QByteArray("");
    return zlibDeflate(QByteArray::fromRawData(bytes, qsizetype(size)));
}

} // namespace

DSTextDataColumn::DSTextDataColumn() = default;

DSTextDataColumn::~DSTextDataColumn() = default;

void DSTextDataColumn::awakeFromInsert()
{
    DSTextColumn::awakeFromInsert();
    // Older store versions keep their texts otherwise (migration).
    for (const QString &key : {k_text_values, k_text_offsets})
        if (entity()->attributeNamed(key))
            setPrimitiveValue(QByteArray(""), key);
}

DSStoredColumnState DSTextDataColumn::storedState() const
{
    if (m_preparedOffsets)
        return DSStoredColumnState::Saving;
    if (m_inEdit)
        return DSStoredColumnState::Editing;
    if (m_dirty)
        return DSStoredColumnState::Edited;
    // Rows being appended, or no stored rows that saving could lose.
    if (m_loaded || dataForKey(k_text_offsets).isEmpty())
        return DSStoredColumnState::Importing;
    return m_decoded ? DSStoredColumnState::Decoded : DSStoredColumnState::Encoded;
}

void DSTextDataColumn::didTurnIntoFault()
{
    ds_stored_column_check(storedState(), DSStoredColumnMove::Fault);
    // Unsaved edits go with the document's other unsaved changes.
    m_dirty = false;
    m_textsEdited = false;
    discardSavePreparation();
    temp_text.release();
    temp_offsets.release();
    teardown();
    DSTextColumn::didTurnIntoFault();
}

void DSTextDataColumn::setup()
{
    m_decodedTextFrom = text_values();
    m_decodedOffsetsFrom = text_offsets();
    // Read whole and checked: damage never reads as other texts.
    m_damaged = isValueUnreadable(k_text_values) || isValueUnreadable(k_text_offsets)
                || !ds_inflate_stored_texts(m_decodedTextFrom, m_decodedOffsetsFrom, storedRowLimit(),
                                            &decompressed_text, &decompressed_offsets);
    if (m_damaged)
        qWarning("The column “%s” is damaged: its stored texts do not read back whole", qPrintable(name()));
    m_offsetCount = decompressed_offsets.size() / qsizetype(sizeof(int64_t));
    m_decoded = true;
    scanBlanks();
}

void DSTextDataColumn::scanBlanks()
{
    const qint64 n = m_decodedRows = tableRowCount();
    temp_blank_mask.release();
    const qint64 stored = std::min(m_offsetCount, n);
    for (qint64 i = 0; i < stored; ++i)
        if (!isTextOffset(storedOffset(i)) && !ds_mark_nan_row(temp_blank_mask, n, i))
            return;
    ds_mark_nan_rows(temp_blank_mask, n, std::max<qint64>(stored, 0), n);
}

bool DSTextDataColumn::checkStoredArrays(qint64 maxRows, qint64 *rows) const
{
    QByteArray texts, offsets;
    if (isValueUnreadable(k_text_values) || isValueUnreadable(k_text_offsets)
        || !ds_inflate_stored_texts(text_values(), text_offsets(), maxRows, &texts, &offsets))
        return false;
    *rows = offsets.size() / qsizetype(sizeof(int64_t));
    return true;
}

bool DSTextDataColumn::isDamaged()
{
    ensureDecoded();
    return m_damaged;
}

void DSTextDataColumn::teardown()
{
    if (!m_dirty) {
        decompressed_text = QByteArray();
        decompressed_offsets = QByteArray();
        m_decodedTextFrom = QByteArray();
        m_decodedOffsetsFrom = QByteArray();
        m_offsetCount = 0;
        m_decoded = false;
        m_damaged = false;
        m_textsEdited = false;
        temp_blank_mask.release();
    }
    purgeIndex();
    purgeStats();
}

void DSTextDataColumn::ensureDecoded()
{
    if (m_decoded) {
        const auto same = [](const QByteArray &a, const QByteArray &b) {
            return a.constData() == b.constData() && a.size() == b.size();
        };
        if (same(text_values(), m_decodedTextFrom) && same(text_offsets(), m_decodedOffsetsFrom)) {
            if (tableRowCount() != m_decodedRows) {
                purgeIndex();
                purgeStats();
                scanBlanks();
            }
            return;
        }
        // Undo, redo or a decoded copy replaced the data: what was decoded
        // describes the old state (edits included: they were made on data
        // that is no longer the column's).
        m_dirty = false;
        teardown();
    }
    setup();
}

int64_t DSTextDataColumn::storedOffset(qint64 i) const
{
    int64_t offset;
    std::memcpy(&offset, decompressed_offsets.constData() + i * qsizetype(sizeof offset), sizeof offset);
    return offset;
}

qint64 DSTextDataColumn::getTextValues(const char *const **out, qint64 offset, qint64 limit)
{
    ensureDecoded();
    const qint64 n = m_decodedRows;
    offset = std::max<qint64>(offset, 0);
    if (offset >= n || decompressed_text.isEmpty()) {
        if (out)
            *out = nullptr;
        return 0;
    }
    const qint64 c = limit > 0 && limit < n - offset ? limit : n - offset;
    const char **pointers = temp_pointers.reserve(c);
    if (!pointers) {
        qCritical("Error in malloc()");
        if (out)
            *out = nullptr;
        return 0;
    }
    // QByteArray keeps a NUL after its last byte, so even damaged texts end.
    const char *text = decompressed_text.constData();
    const qint64 textBytes = decompressed_text.size();
    ds_parallel_for(ds_row_chunks, uint64_t(c), [&](uint64_t, int64_t first, int64_t end) {
        for (int64_t i = first; i < end; ++i) {
            const qint64 row = offset + i;
            const int64_t at = row < m_offsetCount ? storedOffset(row) : -1;
            pointers[i] = at >= 0 && at < textBytes ? text + at : nullptr;
        }
    });
    temp_pointers.setUsed(c);
    if (out)
        *out = pointers;
    return c;
}

qint64 DSTextDataColumn::getMissingMask(const uint8_t **out, qint64 offset, qint64 limit)
{
    ensureDecoded();
    if (!apply_missing_values_predicate() || !missing_values_predicate()) {
        if (out)
            *out = temp_blank_mask.data();
        return temp_blank_mask.used();
    }
    offset = std::max<qint64>(offset, 0);
    const qint64 length = setupMissingMask(offset, limit);
    uint8_t *mask = sharedMissingMask();
    ds_or_nan_mask(mask, temp_blank_mask, offset, length);
    if (out)
        *out = length ? mask : nullptr;
    return length;
}

qint64 DSTextDataColumn::getIndex(const char *const **out)
{
    ensureDecoded();
    return DSTextColumn::getIndex(out);
}

qint64 DSTextDataColumn::getIndexedValues(const int32_t **out, qint64 *bins)
{
    ensureDecoded();
    return DSTextColumn::getIndexedValues(out, bins);
}

template <class T>
bool DSTextDataColumn::growImportBuffer(DSColumnBuffer<T> &buffer, qint64 needed)
{
    if (buffer.isEmpty()) {
        qint64 capacity = first_import_buffer;
        while (capacity < needed)
            capacity *= 2;
        if (!buffer.reserve(capacity)) {
            qCritical("Error in malloc()");
            return false;
        }
        buffer.setUsed(0);
        return true;
    }
    if (needed <= buffer.capacity())
        return true;
    qint64 capacity = buffer.capacity();
    while (capacity < needed)
        capacity *= 2;
    if (!buffer.reallocate(capacity)) {
        qCritical("Error in realloc()");
        return false;
    }
    return true;
}

bool DSTextDataColumn::appendTextValue(const char *text)
{
    const qint64 length = text ? qint64(std::strlen(text)) : 0;
    if (!growImportBuffer(temp_offsets, temp_offsets.used() + 1))
        return false;
    int64_t offset = -1;
    if (length > 0) {
        if (!growImportBuffer(temp_text, temp_text.used() + length + 1))
            return false;
        offset = temp_text.used();
        std::memcpy(temp_text.data() + offset, text, size_t(length) + 1);
        temp_text.setUsed(offset + length + 1);
    }
    temp_offsets.data()[temp_offsets.used()] = offset;
    temp_offsets.setUsed(temp_offsets.used() + 1);
    m_loaded = true;
    return true;
}

bool DSTextDataColumn::saveAfterImport()
{
    bool filled = true;
    while (temp_offsets.used() < tableRowCount())
        if (!appendEmptyValue()) {
            filled = false;
            break;
        }
    if (!save())
        return false;
    // Decided on the saved rows, so the filling blanks count as one entry.
    if (!treat_as_categories()) {
        setTreat_as_categories(numberOfBins() < 151);
        teardown();
    }
    return filled;
}

bool DSTextDataColumn::save()
{
    ds_stored_column_check(storedState(), DSStoredColumnMove::Save);
    const std::optional<QByteArray> texts = deflated(temp_text.data(), temp_text.used());
    const std::optional<QByteArray> offsets =
        deflated(reinterpret_cast<const char *>(temp_offsets.data()), temp_offsets.used() * qint64(sizeof(int64_t)));
    if (!texts || !offsets)
        return false;
    setPrimitiveValue(*texts, k_text_values);
    setPrimitiveValue(*offsets, k_text_offsets);
    temp_text.release();
    temp_offsets.release();
    m_loaded = false;
    teardown();
    return true;
}

std::optional<std::vector<int64_t>> DSTextDataColumn::loadOffsets(qint64 n)
{
    if (m_dirty && !storeEditsWithoutUndo())
        return std::nullopt;
    ensureDecoded();
    std::vector<int64_t> offsets;
    try {
        offsets.resize(size_t(std::max<qint64>(n, 0)), -1);
    } catch (const std::bad_alloc &) {
        qCritical("Error in malloc()");
        return std::nullopt;
    }
    const qint64 stored = std::min(m_offsetCount, qint64(offsets.size()));
    if (stored > 0)
        std::memcpy(offsets.data(), decompressed_offsets.constData(), size_t(stored) * sizeof(int64_t));
    return offsets;
}

bool DSTextDataColumn::storeOffsets(const std::vector<int64_t> &offsets)
{
    const std::optional<QByteArray> stored =
        deflated(reinterpret_cast<const char *>(offsets.data()), qint64(offsets.size() * sizeof(int64_t)));
    if (!stored) {
        qCritical("Error compressing data");
        return false;
    }
    setPrimitiveValue(*stored, k_text_offsets);
    teardown();
    recursivePurge();
    return true;
}

void DSTextDataColumn::dropRows(const DSIndexSet &rows)
{
    if (!takesEdits())
        return;
    const qint64 n = tableRowCount();
    std::optional<std::vector<int64_t>> offsets = loadOffsets(n);
    if (!offsets)
        return;
    std::vector<int64_t> kept;
    kept.reserve(offsets->size());
    for (qint64 row = 0; row < n; ++row)
        if (!rows.count(row))
            kept.push_back((*offsets)[size_t(row)]);
    storeOffsets(kept);
}

void DSTextDataColumn::addRows(qint64 n)
{
    if (!takesEdits())
        return;
    if (std::optional<std::vector<int64_t>> offsets = loadOffsets(tableRowCount() + std::max<qint64>(n, 0)))
        storeOffsets(*offsets);
}

bool DSTextDataColumn::replaceTextValueAtIndex(qint64 row, const char *text)
{
    if (row < 0 || row >= tableRowCount() || !takesEdits())
        return false;
    if (ds_text_blank(text))
        return editOffset(row, -1);
    // The old texts stay: other rows, and undo, still point into them.
    const qsizetype at = decompressed_text.size();
    try {
        decompressed_text.append(text, qsizetype(std::strlen(text)) + 1);
    } catch (const std::bad_alloc &) {
        qCritical("Error in realloc()");
        return false;
    }
    const bool textsEdited = m_textsEdited;
    m_textsEdited = true;
    if (editOffset(row, at))
        return true;
    decompressed_text.truncate(at);
    m_textsEdited = textsEdited;
    return false;
}

bool DSTextDataColumn::editOffset(qint64 row, int64_t offset)
{
    ds_stored_column_check(storedState(), DSStoredColumnMove::BeginEdit);
    const QScopedValueRollback<bool> editing(m_inEdit, true);
    ensureDecoded();
    if (row >= m_offsetCount) {
        // An edit past the stored rows: the rows up to it are blank.
        const qint64 n = std::max(m_decodedRows, row + 1);
        try {
            decompressed_offsets.resize(qsizetype(n) * qsizetype(sizeof(int64_t)));
        } catch (const std::bad_alloc &) {
            qCritical("Error in realloc()");
            return false;
        }
        std::fill_n(reinterpret_cast<int64_t *>(decompressed_offsets.data()) + m_offsetCount, n - m_offsetCount,
                    int64_t(-1));
        m_offsetCount = n;
    }
    char *cell = decompressed_offsets.data() + row * qsizetype(sizeof offset);
    int64_t old;
    std::memcpy(&old, cell, sizeof old);
    const auto write = [&](int64_t value) {
        std::memcpy(cell, &value, sizeof value);
        if (row >= m_decodedRows)
            return;
        if (!isTextOffset(value))
            ds_mark_nan_row(temp_blank_mask, m_decodedRows, row);
        else if (!temp_blank_mask.isEmpty())
            temp_blank_mask.data()[row / 8] &= uint8_t(~(1u << (row % 8)));
    };
    write(offset);
    const bool wasDirty = m_dirty;
    m_dirty = true;
    DSManagedObjectContext *context = managedObjectContext();
    if (!context && !storeEditsWithoutUndo()) {
        write(old);
        m_dirty = wasDirty;
        return false;
    }
    if (context)
        markUnsavedEdit();
    recursivePurge();
    if (DSUndoManager *undo = context ? context->undoManager() : nullptr)
        undo->registerUndo([this, row, old] { editOffset(row, old); }, qint64(sizeof row + sizeof old));
    return true;
}

QVariant DSTextDataColumn::encodedValueOfAttribute(const DSAttributeDescription *attribute) const
{
    const bool offsets = attribute->name() == k_text_offsets;
    const bool texts = attribute->name() == k_text_values && m_textsEdited;
    if (!m_dirty || !(offsets || texts))
        return DSManagedObject::encodedValueOfAttribute(attribute);
    const QByteArray &decoded = offsets ? decompressed_offsets : decompressed_text;
    const std::optional<QByteArray> stored = deflated(decoded.constData(), decoded.size());
    if (!stored)
        qCritical("Error compressing data");
    return stored ? QVariant(*stored) : QVariant();
}

bool DSTextDataColumn::prepareForSave()
{
    discardSavePreparation();
    if (!m_dirty)
        return true;
    // The two streams deflate side by side: a save of one edited column
    // waits for the longer of them only.
    ds_dispatch_apply(m_textsEdited ? 2 : 1, [this](uint64_t i) {
        if (i == 0)
            m_preparedOffsets = deflated(decompressed_offsets.constData(), decompressed_offsets.size());
        else
            m_preparedTexts = deflated(decompressed_text.constData(), decompressed_text.size());
    });
    if (m_preparedOffsets && (m_preparedTexts || !m_textsEdited))
        return true;
    discardSavePreparation();
    return false;
}

void DSTextDataColumn::commitSavePreparation()
{
    if (!m_preparedOffsets)
        return;
    if (m_preparedTexts)
        setPrimitiveValue(*m_preparedTexts, k_text_values);
    setPrimitiveValue(*m_preparedOffsets, k_text_offsets);
    discardSavePreparation();
    // The edited data stays the decoded data of what is now stored.
    m_decodedTextFrom = text_values();
    m_decodedOffsetsFrom = text_offsets();
    m_dirty = false;
    m_textsEdited = false;
}

void DSTextDataColumn::discardSavePreparation()
{
    m_preparedOffsets.reset();
    m_preparedTexts.reset();
}

bool DSTextDataColumn::storeEditsWithoutUndo()
{
    if (storeSavePreparationWithoutUndo())
        return true;
    qCritical("Error compressing data");
    return false;
}
