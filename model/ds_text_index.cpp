#include "model/ds_text_index.h"

#include "model/util/ds_row_weight.h"
#include "model/util/ds_sort.h"
#include "model/util/ds_text_table.h"

#include <algorithm>
#include <cstring>
#include <memory>
#include <new>
#include <span>
#include <vector>

namespace {

// Counters the chunks of a count may hold together (as for numeric counts).
constexpr int64_t counter_budget = int64_t(1) << 22;
constexpr int64_t count_chunks = 16;

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

// The distinct texts of a column's rows, found by hashing: each chunk of
// rows collects its own texts into a table (giving each row its chunk's id
// of its text); then neighbouring tables merge in parallel steps, each
// table taking in the one after it (0 takes 1, 2 takes 3, ...; then 0
// takes 2, ...), so that table 0 ends up with every text, each id standing
// for the text's first appearance in row order.
// Chunks of rows that collect texts: fewer than the row loops' 24, since
// with many distinct texts every chunk's table holds nearly all of them and
// each table costs its inserts again when merged.
constexpr uint64_t collect_chunks = 8;

struct hashed_texts {
    std::vector<ds_text_table> tables;
    std::vector<std::vector<int32_t>> to_all;  // chunk c's id -> id in all()

    // Collects the rows; local[i] (when given) receives row i's chunk id, -1
    // for a blank row. Throws std::bad_alloc when memory runs out.
    hashed_texts(const char *const *rows, int64_t count, int32_t *local) : tables(collect_chunks), to_all(collect_chunks)
    {
        bool failed[collect_chunks] = {};
        ds_parallel_for(collect_chunks, uint64_t(count), [&](uint64_t c, int64_t first, int64_t end) {
            try {
                // Sized for a good share of the rows' texts at once, so that
                // tables of many texts rarely grow.
                tables[c] = ds_text_table(std::min<int64_t>((end - first) / 8, 16384));
                ds_text_table &table = tables[c];
                // The table is far larger than the caches when texts are
                // many: rows are hashed a few ahead and their slots fetched
                // while earlier rows are inserted.
                constexpr int64_t ahead = 16;
                struct hashed_row {
                    const char *text;
                    uint64_t length, hash;
                } ring[ahead];
                const auto prepare = [&](int64_t i) {
                    const char *t = rows[i];
                    if (ds_text_blank(t))
                        return hashed_row{nullptr, 0, 0};
                    const uint64_t length = std::strlen(t);
                    const hashed_row row{t, length, ds_text_table::hash(t, length)};
                    table.prefetch(row.hash);
                    return row;
                };
                for (int64_t i = first; i < std::min(end, first + ahead); ++i)
                    ring[(i - first) % ahead] = prepare(i);
                for (int64_t i = first; i < end; ++i) {
                    hashed_row &slot = ring[(i - first) % ahead];
                    const hashed_row row = slot;
                    if (i + ahead < end)
                        slot = prepare(i + ahead);
                    const int32_t id = row.text ? table.insert(row.text, row.length, row.hash) : -1;
                    if (local)
                        local[i] = id;
                }
                to_all[c].resize(size_t(table.size()));
                for (int32_t id = 0; id < table.size(); ++id)
                    to_all[c][size_t(id)] = id;
            } catch (const std::bad_alloc &) {
                failed[c] = true;
            }
        });
        throw_if_any(failed);
        // owner[c]: the table that holds chunk c's texts now.
        std::vector<uint64_t> owner(collect_chunks);
        for (uint64_t c = 0; c < collect_chunks; ++c)
            owner[c] = c;
        for (uint64_t step = 1; step < collect_chunks; step *= 2) {
            const uint64_t pairs = (collect_chunks - step + 2 * step - 1) / (2 * step);
            std::vector<std::vector<int32_t>> taken(collect_chunks);
            ds_dispatch_apply(pairs, [&](uint64_t p) {
                const uint64_t into = p * 2 * step, from = into + step;
                try {
                    const ds_text_table &source = tables[from];
                    taken[from].resize(size_t(source.size()));
                    for (int32_t id = 0; id < source.size(); ++id)
                        taken[from][size_t(id)] = tables[into].insert(source.text(id), source.length(id), source.hashOf(id));
                    tables[from] = ds_text_table(1);
                } catch (const std::bad_alloc &) {
                    failed[into] = true;
                }
            });
            throw_if_any(failed);
            ds_dispatch_apply(collect_chunks, [&](uint64_t c) {
                const uint64_t from = owner[c];
                if (from % (2 * step) != step)
                    return;
                for (int32_t &id : to_all[c])
                    id = taken[from][size_t(id)];
                owner[c] = from - step;
            });
        }
    }

    const ds_text_table &all() const { return tables[0]; }

    static void throw_if_any(const bool (&failed)[collect_chunks])
    {
        if (std::find(std::begin(failed), std::end(failed), true) != std::end(failed))
            throw std::bad_alloc();
    }
};

// Byte order, NULL last: the comparator of every text index.
bool text_before(const char *a, const char *b)
{
    return ds_compare_strings(&a, &b) < 0;
}

} // namespace

int64_t ds_text_index_build(const char *const *rows, int64_t count, ds_text_index_reserve reserve,
                            int32_t *positions)
{
    if (count <= 0)
        return 0;
    const text_scan scan = scan_rows(rows, count);
    if (scan.all_one_byte) {
        const char *first[256];
        first_rows_by_byte(rows, count, first);
        std::vector<const char *> texts;
        for (const char *t : first)
            if (t)
                texts.push_back(t);
        // Bytes ascending are the one-byte texts in byte order.
        const int64_t length = int64_t(texts.size()) + (scan.any_blank ? 1 : 0);
        const char **index = reserve(length);
        if (!index)
            return -1;
        std::copy(texts.begin(), texts.end(), index);
        if (scan.any_blank)
            index[length - 1] = nullptr;
        if (positions && !ds_text_index_positions(index, length, rows, count, positions))
            return -1;
        return length;
    }
    try {
        const hashed_texts found(rows, count, positions);
        const int64_t distinct = found.all().size();
        std::vector<int32_t> order(static_cast<size_t>(distinct));
        for (int32_t id = 0; id < distinct; ++id)
            order[size_t(id)] = id;
        std::sort(order.begin(), order.end(),
                  [&](int32_t a, int32_t b) { return text_before(found.all().text(a), found.all().text(b)); });
        const int64_t length = distinct + (scan.any_blank ? 1 : 0);
        const char **index = reserve(length);
        if (!index)
            return -1;
        std::vector<int32_t> rank(static_cast<size_t>(distinct));
        for (int64_t p = 0; p < distinct; ++p) {
            index[p] = found.all().text(order[size_t(p)]);
            rank[size_t(order[size_t(p)])] = int32_t(p);
        }
        if (scan.any_blank)
            index[length - 1] = nullptr;
        if (positions) {
            // Each chunk turns its own ids into index positions; the chunks
            // are those the texts were collected in.
            std::vector<std::vector<int32_t>> position_of(found.to_all.size());
            for (size_t c = 0; c < found.to_all.size(); ++c)
                for (int32_t id : found.to_all[c])
                    position_of[c].push_back(rank[size_t(id)]);
            const int32_t blank = int32_t(length - 1);
            ds_parallel_for(uint64_t(found.to_all.size()), uint64_t(count), [&](uint64_t c, int64_t first, int64_t end) {
                const int32_t *mine = position_of[c].data();
                for (int64_t i = first; i < end; ++i)
                    positions[i] = positions[i] < 0 ? blank : mine[positions[i]];
            });
        }
        return length;
    } catch (const std::bad_alloc &) {
        return -1;
    }
}

int64_t ds_text_unique_count(const char *const *rows, int64_t count)
{
    if (count <= 0)
        return 0;
    const text_scan scan = scan_rows(rows, count);
    try {
        const hashed_texts found(rows, count, nullptr);
        return found.all().size() + (scan.any_blank ? 1 : 0);
    } catch (const std::bad_alloc &) {
        return -1;
    }
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
    try {
        // Ids in the table are index positions: the entries go in in order.
        ds_text_table table(length);
        for (int64_t p = 0; p < length; ++p)
            if (!ds_text_blank(index[p])) {
                const uint64_t n = std::strlen(index[p]);
                table.insert(index[p], n, ds_text_table::hash(index[p], n));
            }
        ds_parallel_for(ds_row_chunks, uint64_t(count), [&](uint64_t, int64_t first, int64_t end) {
            for (int64_t i = first; i < end; ++i) {
                const char *t = rows[i];
                if (ds_text_blank(t)) {
                    positions[i] = blank;
                    continue;
                }
                const uint64_t n = std::strlen(t);
                positions[i] = table.find(t, n, ds_text_table::hash(t, n));
            }
        });
    } catch (const std::bad_alloc &) {
        return false;
    }
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
