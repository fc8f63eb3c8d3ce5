#include "model/ds_text_index.h"

#include "model/util/ck_hash_table.h"
#include "model/util/ds_row_weight.h"
#include "model/util/ds_sort.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <vector>

namespace {

// Slots and key bytes a hash set of texts starts with; it doubles as it
// fills, so a column of few distinct texts keeps a set that sits in the
// caches however many rows it has.
constexpr uint64_t initial_slots = 1024;
constexpr uint64_t key_bytes_per_slot = 32;
// Counters the chunks of a count may hold together (as for numeric counts).
constexpr int64_t counter_budget = int64_t(1) << 22;
constexpr int64_t count_chunks = 16;

struct hash_deleter {
    void operator()(ck_hash_table_s *table) const { ck_hash_free(table); }
};
using hash_ptr = std::unique_ptr<ck_hash_table_s, hash_deleter>;

// What one pass over the rows tells about them.
struct text_scan {
    bool any_blank = false;
    bool all_one_byte = true;  // every non-blank text is one byte long
};

text_scan scan_rows(const char *const *rows, int64_t count)
{
    text_scan partial[ds_row_chunks];
    ds_parallel_for(ds_row_chunks, uint64_t(count), [&](uint64_t c, int64_t first, int64_t end) {
        text_scan s;
        for (int64_t i = first; i < end; ++i) {
            const char *t = rows[i];
            if (ds_text_blank(t))
                s.any_blank = true;
            else if (t[1] != '\0')
                s.all_one_byte = false;
        }
        partial[c] = s;
    });
    text_scan all;
    for (const text_scan &s : partial) {
        all.any_blank = all.any_blank || s.any_blank;
        all.all_one_byte = all.all_one_byte && s.all_one_byte;
    }
    return all;
}

// The first row holding each byte, in row order: 256 entries, NULL for a
// byte no row holds.
void first_rows_by_byte(const char *const *rows, int64_t count, const char *first[256])
{
    std::vector<const char *> partial(ds_row_chunks * 256, nullptr);
    ds_parallel_for(ds_row_chunks, uint64_t(count), [&](uint64_t c, int64_t from, int64_t end) {
        const char **mine = partial.data() + c * 256;
        for (int64_t i = from; i < end; ++i)
            if (const char *t = rows[i]; !ds_text_blank(t) && !mine[uint8_t(*t)])
                mine[uint8_t(*t)] = t;
    });
    std::fill_n(first, 256, nullptr);
    for (uint64_t c = 0; c < ds_row_chunks; ++c)
        for (int b = 0; b < 256; ++b)
            if (!first[b])
                first[b] = partial[c * 256 + size_t(b)];
}

// Appends to out each text of texts that the set does not hold yet, in the
// given order, inserting it. False when memory runs out.
template <class Texts>
bool collect_distinct(const Texts &texts, ck_hash_table_s *set, std::vector<const char *> &out)
{
    for (const char *t : texts) {
        if (ds_text_blank(t))
            continue;
        const uint64_t length = std::strlen(t);
        if (ck_hash_lookup(t, length, set))
            continue;
        if (!ck_hash_insert(t, length, 1, set))
            return false;
        out.push_back(t);
    }
    return true;
}

// The distinct non-blank texts of the rows, each as the pointer of its
// first row, in order of first appearance: every chunk of rows collects its
// own, then the chunks' lists are merged in chunk order. False when memory
// runs out.
bool distinct_texts(const char *const *rows, int64_t count, std::vector<const char *> &out)
{
    std::vector<const char *> partial[ds_row_chunks];
    bool failed[ds_row_chunks] = {};
    try {
        ds_parallel_for(ds_row_chunks, uint64_t(count), [&](uint64_t c, int64_t first, int64_t end) {
            if (first >= end)
                return;
            hash_ptr set(ck_hash_create(initial_slots, key_bytes_per_slot));
            if (!set) {
                failed[c] = true;
                return;
            }
            try {
                failed[c] = !collect_distinct(std::span(rows + first, size_t(end - first)), set.get(), partial[c]);
            } catch (const std::bad_alloc &) {
                failed[c] = true;
            }
        });
        if (std::find(std::begin(failed), std::end(failed), true) != std::end(failed))
            return false;
        size_t most = 0;
        for (const auto &texts : partial)
            most = std::max(most, texts.size());
        hash_ptr merged(ck_hash_create(std::max<uint64_t>(initial_slots, 2 * most), key_bytes_per_slot));
        if (!merged)
            return false;
        out.reserve(most);
        for (const auto &texts : partial)
            if (!collect_distinct(texts, merged.get(), out))
                return false;
    } catch (const std::bad_alloc &) {
        return false;
    }
    return true;
}

// Byte order, NULL last: the comparator of every text index.
bool text_before(const char *a, const char *b)
{
    return ds_compare_strings(&a, &b) < 0;
}

} // namespace

int64_t ds_text_index_build(const char *const *rows, int64_t count, ds_text_index_reserve reserve)
{
    if (count <= 0)
        return 0;
    const text_scan scan = scan_rows(rows, count);
    std::vector<const char *> texts;
    if (scan.all_one_byte) {
        const char *first[256];
        first_rows_by_byte(rows, count, first);
        for (const char *t : first)
            if (t)
                texts.push_back(t);
    } else if (!distinct_texts(rows, count, texts)) {
        return -1;
    }
    std::sort(texts.begin(), texts.end(), text_before);
    const int64_t length = int64_t(texts.size()) + (scan.any_blank ? 1 : 0);
    const char **index = reserve(length);
    if (!index)
        return -1;
    std::copy(texts.begin(), texts.end(), index);
    if (scan.any_blank)
        index[length - 1] = nullptr;
    return length;
}

int64_t ds_text_unique_count(const char *const *rows, int64_t count)
{
    if (count <= 0)
        return 0;
    const text_scan scan = scan_rows(rows, count);
    std::vector<const char *> texts;
    if (!distinct_texts(rows, count, texts))
        return -1;
    return int64_t(texts.size()) + (scan.any_blank ? 1 : 0);
}

bool ds_text_index_positions(const char *const *index, int64_t length, const char *const *rows,
                             int64_t count, int32_t *positions)
{
    if (count <= 0)
        return true;
    const int32_t blank = int32_t(length - 1);
    const bool one_byte = std::all_of(index, index + length, [](const char *t) { return !t || !t[0] || !t[1]; });
    if (one_byte) {
        int32_t by_byte[256];
        std::fill_n(by_byte, 256, blank);
        for (int64_t p = 0; p < length; ++p)
            if (!ds_text_blank(index[p]))
                by_byte[uint8_t(*index[p])] = int32_t(p);
        ds_parallel_for(ds_row_chunks, uint64_t(count), [&](uint64_t, int64_t first, int64_t end) {
            for (int64_t i = first; i < end; ++i)
                positions[i] = ds_text_blank(rows[i]) ? blank : by_byte[uint8_t(*rows[i])];
        });
        return true;
    }
    hash_ptr table(ck_hash_create(uint64_t(std::max<int64_t>(2 * length, 1)), key_bytes_per_slot));
    if (!table)
        return false;
    for (int64_t p = 0; p < length; ++p)
        if (!ds_text_blank(index[p]) && !ck_hash_insert_string(index[p], uint64_t(p) + 1, table.get()))
            return false;
    const ck_hash_table_s *lookup = table.get();
    ds_parallel_for(ds_row_chunks, uint64_t(count), [&](uint64_t, int64_t first, int64_t end) {
        for (int64_t i = first; i < end; ++i) {
            const char *t = rows[i];
            positions[i] = ds_text_blank(t) ? blank : int32_t(ck_hash_lookup_string(t, lookup)) - 1;
        }
    });
    return true;
}

int64_t ds_text_count_chunks(int64_t length)
{
    return std::clamp<int64_t>(counter_budget / std::max<int64_t>(length, 1), 1, count_chunks);
}

bool ds_text_index_counts(const char *const *index, int64_t length, const ds_text_rows_s *rows,
                          const uint8_t *mask, int64_t mask_length, ds_txt_counts_s *out)
{
    if (length <= 0)
        return true;
    const int64_t chunks = ds_text_count_chunks(length);
    std::vector<int64_t> counts;
    std::vector<uint8_t> missing;
    try {
        counts.assign(size_t(chunks * length), 0);
        missing.assign(size_t(chunks * length), 0);
    } catch (const std::bad_alloc &) {
        return false;
    }
    const auto marked = [rows](int64_t row) {
        return rows->missing && rows->missing_length != 0 && (row >> 3) < rows->missing_length
               && (rows->missing[row >> 3] >> (row & 7)) & 1;
    };
    ds_parallel_for(uint64_t(chunks), uint64_t(std::max<int64_t>(rows->count, 0)),
                    [&](uint64_t c, int64_t first, int64_t end) {
                        int64_t *my_counts = counts.data() + c * size_t(length);
                        uint8_t *my_missing = missing.data() + c * size_t(length);
                        for (int64_t row = first; row < end; ++row) {
                            const int32_t p = rows->positions[row];
                            if (p < 0 || p >= length)
                                continue;
                            if (marked(row))
                                my_missing[p] = 1;
                            if (ds_row_admitted(mask, mask_length, row))
                                my_counts[p] += ds_row_weight(row, rows->weights, rows->num_weights);
                        }
                    });
    // Pairwise: chunk j takes in chunk j + half, halving until one is left;
    // each step's pairs are disjoint.
    for (int64_t half = chunks / 2 + chunks % 2, live = chunks; live > 1; live = half, half = half / 2 + half % 2) {
        ds_dispatch_apply(uint64_t(live - half), [&](uint64_t j) {
            int64_t *into = counts.data() + j * size_t(length);
            const int64_t *from = counts.data() + (j + uint64_t(half)) * size_t(length);
            uint8_t *into_missing = missing.data() + j * size_t(length);
            const uint8_t *from_missing = missing.data() + (j + uint64_t(half)) * size_t(length);
            for (int64_t p = 0; p < length; ++p) {
                into[p] += from[p];
                into_missing[p] |= from_missing[p];
            }
        });
    }
    for (int64_t p = 0; p < length; ++p)
        out[p] = {index[p], counts[size_t(p)], missing[size_t(p)] ? 1 : 0};
    return true;
}

uint64_t ds_text_index_max_length(const char *const *index, int64_t length)
{
    uint64_t longest = 0;
    for (int64_t p = 0; p < length; ++p)
        if (index[p])
            longest = std::max<uint64_t>(longest, std::strlen(index[p]));
    return longest;
}
