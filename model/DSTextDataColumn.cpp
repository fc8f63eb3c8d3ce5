#include "model/DSTextDataColumn.h"

#include "model/ds_compression.h"
#include "model/ds_row_mask.h"
#include "model/ds_stored_arrays.h"
#include "platform/store/DSAttributeDescription.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSUndoManager.h"

#include <algorithm>
#include <bit>
#include <cstring>

// The stored offsets are the machine's 64-bit integers as they are.
static_assert(std::endian::native == std::endian::little, "stored offsets are little-endian integers");

namespace {

const QString k_text_values = QStringLiteral("text_values");
const QString k_text_offsets = QStringLiteral("text_offsets");
constexpr qint64 first_import_buffer = 4096;

} // namespace

DSTextDataColumn::DSTextDataColumn() : DSStoredColumn({k_text_offsets, k_text_values}) {}

DSTextDataColumn::~DSTextDataColumn() = default;

void DSTextDataColumn::awakeFromInsert()
{
    DSTextColumn::awakeFromInsert();
    // Older store versions keep their texts otherwise (migration).
    for (const QString &key : {k_text_values, k_text_offsets})
        if (entity()->attributeNamed(key))
            setPrimitiveValue(QByteArray(""), key);
}

void DSTextDataColumn::decode()
{
    // Read whole and checked: damage never reads as other texts.
    if (isValueUnreadable(k_text_values) || isValueUnreadable(k_text_offsets)
        || !ds_inflate_stored_texts(text_values(), text_offsets(), storedRowLimit(), &decompressed_text,
                                    &decompressed_offsets)) {
        setDamaged();
        qWarning("The column “%s” is damaged: its stored texts do not read back whole", qPrintable(name()));
    }
    m_offsetCount = decompressed_offsets.size() / qsizetype(sizeof(int64_t));
    scanBlanks();
}

void DSTextDataColumn::scanBlanks()
{
    const qint64 n = decodedRows();
    m_missingRows.release();
    const qint64 stored = std::min(m_offsetCount, n);
    for (qint64 i = 0; i < stored; ++i)
        if (!isTextOffset(storedOffset(i)) && !ds_mark_nan_row(m_missingRows, n, i))
            return;
    ds_mark_nan_rows(m_missingRows, n, std::max<qint64>(stored, 0), n);
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

void DSTextDataColumn::releaseDecoded()
{
    decompressed_text = QByteArray();
    decompressed_offsets = QByteArray();
    m_offsetCount = 0;
    m_textsEdited = false;
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
    const qint64 n = decodedRows();
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
    noteFilled();
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

QByteArray DSTextDataColumn::importedArray(size_t key) const
{
    if (key == 0)
        return QByteArray::fromRawData(reinterpret_cast<const char *>(temp_offsets.data()),
                                       qsizetype(temp_offsets.used()) * qsizetype(sizeof(int64_t)));
    return QByteArray::fromRawData(temp_text.data(), qsizetype(temp_text.used()));
}

void DSTextDataColumn::releaseImportBuffers()
{
    temp_text.release();
    temp_offsets.release();
}

std::optional<QByteArray> DSTextDataColumn::editedArray(size_t key) const
{
    if (key == 0)
        return decompressed_offsets;
    return m_textsEdited ? std::optional<QByteArray>(decompressed_text) : std::nullopt;
}

std::optional<std::vector<int64_t>> DSTextDataColumn::loadOffsets(qint64 n)
{
    if (!beginRowChange())
        return std::nullopt;
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
        ds_deflate_stored_array(QByteArray::fromRawData(reinterpret_cast<const char *>(offsets.data()),
                                                        qsizetype(offsets.size() * sizeof(int64_t))));
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
    int64_t old = -1;
    const auto set = [this, row](int64_t value) {
        std::memcpy(decompressed_offsets.data() + row * qsizetype(sizeof value), &value, sizeof value);
        markMissing(row, !isTextOffset(value));
    };
    const auto write = [&] {
        ensureDecoded();
        if (row >= m_offsetCount) {
            // An edit past the stored rows: the rows up to it are blank.
            const qint64 n = std::max(decodedRows(), row + 1);
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
        std::memcpy(&old, decompressed_offsets.constData() + row * qsizetype(sizeof old), sizeof old);
        set(offset);
        return true;
    };
    return DSStoredColumn::editCell(write, [&] { set(old); }, [&](DSUndoManager *undo) {
        undo->registerUndo([this, row, old] { editOffset(row, old); }, qint64(sizeof row + sizeof old));
    });
}
