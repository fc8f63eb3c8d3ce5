#include "derived/DSTextStackedColumn.h"

#include "derived/DSTextTupleColumn.h"
#include "model/util/ds_sort.h"

#include <algorithm>
#include <cstring>

namespace {

// The rows an input's own index and counts describe; -1 for a tuple
// column, whose index lists every combination, held by its rows or not.
qint64 summarisedTextRows(DSColumn *column)
{
    if (dynamic_cast<DSTextTupleColumn *>(column))
        return -1;
    const char *const *texts = nullptr;
    return static_cast<DSTextColumn *>(column)->getTextValues(&texts);
}

bool textBefore(const char *a, const char *b)
{
    return ds_compare_strings(&a, &b) < 0;
}

} // namespace

QList<DSStackedTable::Source> DSTextStackedColumn::sources() const
{
    auto *stacked = dynamic_cast<DSStackedTable *>(table());
    return stacked ? stacked->sources([this](const DSTable *t) {
        return dynamic_cast<DSTextColumn *>(inputColumnForTable(t));
    })
                   : QList<DSStackedTable::Source>();
}

qint64 DSTextStackedColumn::getTextValues(const char *const **out, qint64 offset, qint64 limit)
{
    auto *stacked = dynamic_cast<DSStackedTable *>(table());
    offset = std::max<qint64>(offset, 0);
    const qint64 c = stacked ? rowsInRange(offset, limit) : 0;
    if (out)
        *out = nullptr;
    if (c <= 0)
        return 0;
    m_texts.assign(size_t(c), nullptr);
    for (const DSStackedTable::Part &part : stacked->partsOfRange(offset, c)) {
        auto *input = dynamic_cast<DSTextColumn *>(inputColumnForTable(part.table));
        const char *const *texts = nullptr;
        const qint64 n = input ? std::min(input->getTextValues(&texts, part.first, part.rows), part.rows) : 0;
        if (texts && n > 0)
            std::copy(texts, texts + n, m_texts.begin() + part.position);
    }
    if (out)
        *out = m_texts.data();
    return c;
}

qint64 DSTextStackedColumn::getMissingMask(const uint8_t **out, qint64 offset, qint64 limit)
{
    offset = std::max<qint64>(offset, 0);
    auto *stacked = dynamic_cast<DSStackedTable *>(table());
    const qint64 c = stacked ? rowsInRange(offset, limit) : 0;
    const qint64 length = c > 0 ? setupMissingMask(offset, limit) : 0;
    if (length)
        stacked->markMissingRows(sharedMissingMask(), offset, c, [this](const DSTable *t) {
            return dynamic_cast<DSTextColumn *>(inputColumnForTable(t));
        });
    if (out)
        *out = length ? missingMask() : nullptr;
    return length;
}

qint64 DSTextStackedColumn::getIndex(const char *const **out)
{
    const QList<DSStackedTable::Source> found = sources();
    if (!DSStackedTable::inputsCoverTheirRows(found, summarisedTextRows))
        return getUncachedIndex(out);
    std::vector<const char *> entries;
    bool blank = false;
    for (const DSStackedTable::Source &s : found) {
        const char *const *index = nullptr;
        const qint64 n = s.input ? static_cast<DSTextColumn *>(s.input)->getIndex(&index) : 0;
        blank = blank || !s.input || (index && n > 0 && !index[n - 1]);
        if (index && n > 0)
            entries.insert(entries.end(), index, index + n - (index[n - 1] ? 0 : 1));
    }
    std::sort(entries.begin(), entries.end(), textBefore);
    const qint64 distinct = ds_unique(entries.data(), qint64(entries.size()), sizeof(const char *), ds_compare_strings);
    const qint64 length = distinct + (blank ? 1 : 0);
    // A first index block holds 1,024 entries, as the rows' own.
    const char **index = temp_index.reserve(std::max<qint64>(length, 1024));
    if (!index)
        return getUncachedIndex(out);
    std::copy(entries.begin(), entries.begin() + distinct, index);
    if (blank)
        index[distinct] = nullptr;
    temp_index.setUsed(length);
    if (out)
        *out = length > 0 ? index : nullptr;
    return length;
}

qint64 DSTextStackedColumn::getIndexedValues(const int32_t **out, qint64 *bins)
{
    // Index and positions from one pass over the rows just asked for: an
    // index kept from earlier requests may point at texts an input has
    // since made anew.
    const char *const *rows = nullptr;
    const qint64 count = getTextValues(&rows);
    int32_t *positions = count > 0 ? temp_indexed_values.reserve(count) : nullptr;
    const qint64 length =
        positions ? ds_text_index_build(
                        rows, count, [this](int64_t n) { return temp_index.reserve(std::max<int64_t>(n, 1024)); },
                        positions)
                  : 0;
    const bool built = length > 0;
    if (count > 0 && !built)
        qCritical("Error in malloc()");
    temp_index.setUsed(built ? length : 0);
    temp_indexed_values.setUsed(built ? count : 0);
    temp_indexed_values_bins = built ? length : 0;
    if (bins)
        *bins = temp_indexed_values_bins;
    if (out)
        *out = built ? positions : nullptr;
    return built ? count : 0;
}

qint64 DSTextStackedColumn::getCounts(const ds_txt_counts_s **out, const uint8_t *mask, qint64 length)
{
    auto *stacked = dynamic_cast<DSStackedTable *>(table());
    const QList<DSStackedTable::Source> found = sources();
    if (mask || !stacked || !stacked->weighsAsInputs(this, found) ||
        !DSStackedTable::inputsCoverTheirRows(found, summarisedTextRows))
        return DSTextColumn::getCounts(out, mask, length);
    std::vector<ds_txt_counts_s> entries;
    for (const DSStackedTable::Source &s : found) {
        const ds_txt_counts_s *theirs = nullptr;
        const qint64 n = s.input ? static_cast<DSTextColumn *>(s.input)->getCounts(&theirs, nullptr, 0) : 0;
        if (s.input && (!theirs || n <= 0))
            return DSTextColumn::getCounts(out, mask, length);
        entries.insert(entries.end(), theirs, theirs + n);
    }
    if (std::any_of(found.begin(), found.end(), [](const auto &s) { return !s.input; }))
        entries.push_back({nullptr, stacked->weightWithoutInput(found), 1});
    std::stable_sort(entries.begin(), entries.end(),
                     [](const ds_txt_counts_s &a, const ds_txt_counts_s &b) { return textBefore(a.text, b.text); });
    // Runs of one text become one entry: counts add up, missing when any is.
    qint64 merged = 0;
    for (size_t i = 0; i < entries.size(); ++i) {
        if (merged > 0 && ds_compare_strings(&entries[size_t(merged - 1)].text, &entries[i].text) == 0) {
            entries[size_t(merged - 1)].count += entries[i].count;
            entries[size_t(merged - 1)].missing |= entries[i].missing;
        } else {
            entries[size_t(merged++)] = entries[i];
        }
    }
    ds_txt_counts_s *counts = merged > 0 ? temp_counts.reserve(merged) : nullptr;
    if (!counts) {
        if (out)
            *out = nullptr;
        return 0;
    }
    std::copy(entries.begin(), entries.begin() + merged, counts);
    temp_counts.setUsed(merged);
    if (out)
        *out = counts;
    return merged;
}

quint64 DSTextStackedColumn::maximumTextValueLength()
{
    const QList<DSStackedTable::Source> found = sources();
    if (!DSStackedTable::inputsCoverTheirRows(found, summarisedTextRows))
        return DSTextColumn::maximumTextValueLength();
    quint64 longest = 0;
    for (const DSStackedTable::Source &s : found)
        if (s.input)
            longest = std::max(longest, static_cast<DSTextColumn *>(s.input)->maximumTextValueLength());
    return longest;
}
