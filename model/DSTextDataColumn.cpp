#include "model/DSTextDataColumn.h"

#include "model/ds_compression.h"
#include "model/ds_row_mask.h"
#include "platform/store/DSEntityDescription.h"

#include <algorithm>
#include <bit>
#include <cstring>

// The stored offsets are the machine's 64-bit integers as they are.
static_assert(std::endian::native == std::endian::little, "stored offsets are little-endian integers");

namespace {

const QString k_text_values = QStringLiteral("text_values");
const QString k_text_offsets = QStringLiteral("text_offsets");
constexpr qint64 first_import_buffer = 4096;

// The inflated attribute, or empty data when it does not inflate.
QByteArray inflated(const QByteArray &stored)
{
    return zlibInflate(stored).value_or(QByteArray());
}

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

void DSTextDataColumn::didTurnIntoFault()
{
    temp_text.release();
    temp_offsets.release();
    teardown();
    DSTextColumn::didTurnIntoFault();
}

void DSTextDataColumn::setup()
{
    m_decodedTextFrom = text_values();
    m_decodedOffsetsFrom = text_offsets();
    m_decodedRows = tableRowCount();
    decompressed_text = inflated(m_decodedTextFrom);
    decompressed_offsets = inflated(m_decodedOffsetsFrom);
    m_offsetCount = decompressed_offsets.size() / qsizetype(sizeof(int64_t));
    m_decoded = true;

    const qint64 n = m_decodedRows;
    const qint64 textBytes = decompressed_text.size();
    temp_blank_mask.release();
    for (qint64 i = 0; i < n; ++i) {
        const int64_t offset = i < m_offsetCount ? storedOffset(i) : -1;
        if (offset >= 0 && offset < textBytes)
            continue;
        if (temp_blank_mask.isEmpty()) {
            if (!temp_blank_mask.reserve(ds_mask_bytes(n))) {
                qCritical("Error in malloc()");
                return;
            }
            std::memset(temp_blank_mask.data(), 0, size_t(ds_mask_bytes(n)));
            temp_blank_mask.setUsed(ds_mask_bytes(n));
        }
        ds_mask_set(temp_blank_mask.data(), i);
    }
}

void DSTextDataColumn::teardown()
{
    decompressed_text = QByteArray();
    decompressed_offsets = QByteArray();
    m_decodedTextFrom = QByteArray();
    m_decodedOffsetsFrom = QByteArray();
    m_offsetCount = 0;
    m_decoded = false;
    temp_blank_mask.release();
    purgeIndex();
    purgeStats();
}

void DSTextDataColumn::ensureDecoded()
{
    if (m_decoded) {
        const QByteArray texts = text_values(), offsets = text_offsets();
        const auto same = [](const QByteArray &a, const QByteArray &b) {
            return a.constData() == b.constData() && a.size() == b.size();
        };
        if (same(texts, m_decodedTextFrom) && same(offsets, m_decodedOffsetsFrom) && tableRowCount() == m_decodedRows)
            return;
        // Undo, redo or a decoded copy replaced the data, or the table's rows
        // changed: what was decoded describes the old state.
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
    const uint8_t *blank = temp_blank_mask.data();
    for (qint64 b = offset / 8, end = std::min(length, temp_blank_mask.used()); blank && b < end; ++b)
        mask[b] |= blank[b];
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
    const std::optional<QByteArray> texts = deflated(temp_text.data(), temp_text.used());
    const std::optional<QByteArray> offsets =
        deflated(reinterpret_cast<const char *>(temp_offsets.data()), temp_offsets.used() * qint64(sizeof(int64_t)));
    if (!texts || !offsets)
        return false;
    setPrimitiveValue(*texts, k_text_values);
    setPrimitiveValue(*offsets, k_text_offsets);
    temp_text.release();
    temp_offsets.release();
    teardown();
    return true;
}

std::optional<std::vector<int64_t>> DSTextDataColumn::loadOffsets(qint64 n)
{
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

bool DSTextDataColumn::storeEdit(const std::vector<int64_t> &offsets, const QByteArray *texts)
{
    const std::optional<QByteArray> storedOffsets =
        deflated(reinterpret_cast<const char *>(offsets.data()), qint64(offsets.size() * sizeof(int64_t)));
    const std::optional<QByteArray> storedTexts = texts ? deflated(texts->constData(), texts->size()) : std::nullopt;
    if (!storedOffsets || (texts && !storedTexts)) {
        qCritical("Error compressing data");
        return false;
    }
    if (storedTexts)
        setPrimitiveValue(*storedTexts, k_text_values);
    setPrimitiveValue(*storedOffsets, k_text_offsets);
    teardown();
    recursivePurge();
    return true;
}

void DSTextDataColumn::dropRows(const DSIndexSet &rows)
{
    const qint64 n = tableRowCount();
    std::optional<std::vector<int64_t>> offsets = loadOffsets(n);
    if (!offsets)
        return;
    std::vector<int64_t> kept;
    kept.reserve(offsets->size());
    for (qint64 row = 0; row < n; ++row)
        if (!rows.count(row))
            kept.push_back((*offsets)[size_t(row)]);
    storeEdit(kept, nullptr);
}

void DSTextDataColumn::addRows(qint64 n)
{
    if (std::optional<std::vector<int64_t>> offsets = loadOffsets(tableRowCount() + std::max<qint64>(n, 0)))
        storeEdit(*offsets, nullptr);
}

bool DSTextDataColumn::replaceTextValueAtIndex(qint64 row, const char *text)
{
    const qint64 n = tableRowCount();
    if (row < 0 || row >= n)
        return false;
    std::optional<std::vector<int64_t>> offsets = loadOffsets(n);
    if (!offsets)
        return false;
    if (ds_text_blank(text)) {
        (*offsets)[size_t(row)] = -1;
        return storeEdit(*offsets, nullptr);
    }
    // The old texts stay: other rows, and undo, still point into them.
    QByteArray texts = decompressed_text;
    (*offsets)[size_t(row)] = texts.size();
    texts.append(text, qsizetype(std::strlen(text)) + 1);
    return storeEdit(*offsets, &texts);
}
