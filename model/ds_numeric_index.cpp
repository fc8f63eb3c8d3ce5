#include "model/ds_numeric_index.h"

#include "model/util/ds_colors.h"
#include "model/util/ds_sort.h"
#include "platform/dispatch/ds_parallel_for.h"

#include <algorithm>
#include <bit>
#include <cmath>
#include <cstdlib>
#include <limits>
#include <new>
#include <vector>

namespace {

const double nan_value = std::numeric_limits<double>::quiet_NaN();

// Whole values spanning fewer slots than this (NaN taking the last one) are
// indexed by a presence table.
constexpr int64_t presence_slots = 8192;
// Slots a chunk's hash set starts with.
constexpr int64_t initial_slots = 1024;
// A chunk whose hash set collects more distinct values than a quarter of
// its rows, or than the largest limit, has the index built by sorting all
// values instead: the keys of the sets would cost nearly a sort themselves.
constexpr int64_t least_distinct_limit = 1024;
constexpr int64_t most_distinct_limit = int64_t(1) << 16;
// Counters the chunks of a weighted count may hold together: a column with
// many distinct values is counted in fewer chunks rather than in 24 arrays
// as long as itself.
constexpr int64_t counter_budget = int64_t(1) << 22;
// An index of this many entries no longer sits in the caches: positions are
// then found by sorting the values and walking the index beside them rather
// than by one binary search per row.
constexpr int64_t large_index = int64_t(1) << 20;

inline bool is_whole(double v)
{
    // Range first: converting an out-of-range double is undefined.
    return v >= -9223372036854775808.0 && v < 9223372036854775808.0 && v == double(int64_t(v));
}

inline uint64_t bits_of(double v)
{
    return std::bit_cast<uint64_t>(v);
}

// What one pass over the values tells about them.
struct value_scan {
    int64_t present = 0;  // values that are not NaN
    bool any_nan = false;
    bool all_whole = true;
    int64_t lo = INT64_MAX, hi = INT64_MIN;  // extremes while all are whole

    void merge(const value_scan &o)
    {
        present += o.present;
        any_nan = any_nan || o.any_nan;
        all_whole = all_whole && o.all_whole;
        lo = std::min(lo, o.lo);
        hi = std::max(hi, o.hi);
    }
    bool fits_presence_table() const
    {
        return present > 0 && all_whole && hi - lo + 2 <= presence_slots;
    }
};

value_scan scan_range(const double *values, int64_t first, int64_t end)
{
    value_scan s;
    for (int64_t i = first; i < end; ++i) {
        const double v = values[i];
        if (std::isnan(v)) {
            s.any_nan = true;
            continue;
        }
        ++s.present;
        if (!s.all_whole)
            continue;
        if (!is_whole(v)) {
            s.all_whole = false;
            continue;
        }
        s.lo = std::min(s.lo, int64_t(v));
        s.hi = std::max(s.hi, int64_t(v));
    }
    return s;
}

value_scan scan_values(const double *values, int64_t count)
{
    value_scan partial[ds_row_chunks];
    ds_parallel_for(ds_row_chunks, uint64_t(count), [&](uint64_t c, int64_t first, int64_t end) {
        partial[c] = scan_range(values, first, end);
    });
    value_scan all;
    for (uint64_t c = 0; c < ds_row_chunks; ++c)
        all.merge(partial[c]);
    return all;
}

// Writes length - 1 (the NaN entry) as the position of every NaN row.
void place_nan_rows(const double *values, int64_t count, int64_t length, int32_t *positions)
{
    ds_parallel_for(ds_row_chunks, uint64_t(count), [&](uint64_t, int64_t first, int64_t end) {
        for (int64_t i = first; i < end; ++i)
            if (std::isnan(values[i]))
                positions[i] = int32_t(length - 1);
    });
}

// The presence table: one flag per whole number of [lo, hi] in each chunk.
// The zero entry keeps the sign of the first zero in row order.
int64_t build_by_presence(const double *values, int64_t count, const value_scan &scan,
                          ds_index_reserve reserve, int32_t *positions)
{
    const int64_t span = scan.hi - scan.lo + 1;
    std::vector<uint8_t> flags(ds_row_chunks * size_t(span), 0);
    int first_zero[ds_row_chunks] = {};  // 0 none, 1 +0, 2 -0
    ds_parallel_for(ds_row_chunks, uint64_t(count), [&](uint64_t c, int64_t first, int64_t end) {
        uint8_t *mine = flags.data() + c * size_t(span);
        for (int64_t i = first; i < end; ++i) {
            const double v = values[i];
            if (std::isnan(v))
                continue;
            mine[int64_t(v) - scan.lo] = 1;
            if (v == 0 && !first_zero[c])
                first_zero[c] = std::signbit(v) ? 2 : 1;
        }
    });
    bool negative_zero = false;
    for (uint64_t c = 0; c < ds_row_chunks; ++c)
        if (first_zero[c]) {
            negative_zero = first_zero[c] == 2;
            break;
        }

    // slot_position[s]: the entry of the whole number lo + s.
    std::vector<int32_t> slot_position(size_t(span), -1);
    int64_t length = 0;
    for (int64_t s = 0; s < span; ++s) {
        bool present = false;
        for (uint64_t c = 0; c < ds_row_chunks && !present; ++c)
            present = flags[c * size_t(span) + size_t(s)];
        if (present)
            slot_position[size_t(s)] = int32_t(length++);
    }
    double *entries = reserve(length + scan.any_nan);
    if (!entries)
        return 0;
    for (int64_t s = 0; s < span; ++s)
        if (slot_position[size_t(s)] >= 0) {
            const int64_t whole = scan.lo + s;
            entries[slot_position[size_t(s)]] = whole == 0 && negative_zero ? -0.0 : double(whole);
        }
    if (scan.any_nan)
        entries[length++] = nan_value;

    if (positions)
        ds_parallel_for(ds_row_chunks, uint64_t(count), [&](uint64_t, int64_t first, int64_t end) {
            for (int64_t i = first; i < end; ++i) {
                const double v = values[i];
                positions[i] = std::isnan(v) ? int32_t(length - 1)
                                             : slot_position[size_t(int64_t(v) - scan.lo)];
            }
        });
    return length;
}

// An open-addressing set of non-NaN doubles keyed by their bits; the bits of
// the canonical NaN mark an empty slot.
class bit_set {
public:
    static constexpr uint64_t empty = 0x7ff8000000000000ULL;

    bit_set() : slots_(initial_slots, empty) {}
    int64_t size() const { return size_; }

    void insert(uint64_t key)
    {
        if (2 * (size_ + 1) > int64_t(slots_.size()))
            grow();
        place(key);
    }

    void append_keys(std::vector<double> &out) const
    {
        for (uint64_t key : slots_)
            if (key != empty)
                out.push_back(std::bit_cast<double>(key));
    }

private:
    static uint64_t mix(uint64_t x)
    {
        x ^= x >> 33;
        x *= 0xff51afd7ed558ccdULL;
        x ^= x >> 33;
        return x;
    }

    void place(uint64_t key)
    {
        const size_t mask = slots_.size() - 1;
        for (size_t i = size_t(mix(key)) & mask;; i = (i + 1) & mask) {
            if (slots_[i] == key)
                return;
            if (slots_[i] == empty) {
                slots_[i] = key;
                ++size_;
                return;
            }
        }
    }

    void grow()
    {
        std::vector<uint64_t> old(slots_.size() * 2, empty);
        old.swap(slots_);
        size_ = 0;
        for (uint64_t key : old)
            if (key != empty)
                place(key);
    }

    std::vector<uint64_t> slots_;
    int64_t size_ = 0;
};

// Within the run of zeros of ascending values, puts every -0 before every
// +0, each sign keeping its order (and its rows, when rows is not NULL).
void split_zeros(double *values, int32_t *rows, int64_t count)
{
    const auto run = std::equal_range(values, values + count, 0.0);
    const int64_t first = run.first - values, end = run.second - values;
    int64_t negatives = 0;
    for (int64_t i = first; i < end; ++i)
        negatives += std::signbit(values[i]);
    if (negatives == 0 || negatives == end - first)
        return;
    if (rows) {
        std::vector<int32_t> ordered;
        ordered.reserve(size_t(end - first));
        for (int sign = 1; sign >= 0; --sign)
            for (int64_t i = first; i < end; ++i)
                if (std::signbit(values[i]) == bool(sign))
                    ordered.push_back(rows[i]);
        std::copy(ordered.begin(), ordered.end(), rows + first);
    }
    std::fill(values + first, values + first + negatives, -0.0);
    std::fill(values + first + negatives, values + end, 0.0);
}

// The distinct values of ascending values (zeros split by sign) into the
// index, NaN appended when with_nan; when rows is not NULL, the position of
// each value's entry goes to positions[rows[i]]. Runs of equal bits are
// found in 24 chunks: each counts the runs that start in it, then writes
// from the count of the chunks before it.
int64_t index_sorted(const double *sorted, const int32_t *rows, int64_t count, bool with_nan,
                     ds_index_reserve reserve, int32_t *positions)
{
    auto starts_run = [&](int64_t i) { return i == 0 || bits_of(sorted[i]) != bits_of(sorted[i - 1]); };
    int64_t starts[ds_row_chunks] = {};
    ds_parallel_for(ds_row_chunks, uint64_t(count), [&](uint64_t c, int64_t first, int64_t end) {
        for (int64_t i = first; i < end; ++i)
            starts[c] += starts_run(i);
    });
    int64_t before[ds_row_chunks], length = 0;
    for (uint64_t c = 0; c < ds_row_chunks; ++c) {
        before[c] = length;
        length += starts[c];
    }
    double *entries = reserve(length + with_nan);
    if (!entries)
        return 0;
    ds_parallel_for(ds_row_chunks, uint64_t(count), [&](uint64_t c, int64_t first, int64_t end) {
        int64_t p = before[c] - 1;
        for (int64_t i = first; i < end; ++i) {
            if (starts_run(i))
                entries[++p] = sorted[i];
            if (rows)
                positions[rows[i]] = int32_t(p);
        }
    });
    if (with_nan)
        entries[length++] = nan_value;
    return length;
}

// Few distinct values: each chunk collects its own set, and the sets' keys
// are sorted together. Returns -1 when a chunk finds too many distinct
// values for this to pay (nothing is written then).
int64_t build_by_hashing(const double *values, int64_t count, const value_scan &scan,
                         ds_index_reserve reserve, int32_t *positions)
{
    std::vector<bit_set> sets(ds_row_chunks);
    bool too_many[ds_row_chunks] = {};
    ds_parallel_for(ds_row_chunks, uint64_t(count), [&](uint64_t c, int64_t first, int64_t end) {
        const int64_t limit = std::clamp((end - first) / 4, least_distinct_limit, most_distinct_limit);
        for (int64_t i = first; i < end; ++i) {
            if (std::isnan(values[i]))
                continue;
            sets[c].insert(bits_of(values[i]));
            if (sets[c].size() > limit) {
                too_many[c] = true;
                return;
            }
        }
    });
    if (std::find(too_many, too_many + ds_row_chunks, true) != too_many + ds_row_chunks)
        return -1;
    std::vector<double> keys;
    for (const bit_set &set : sets)
        set.append_keys(keys);
    sets.clear();
    ds_sort(keys.data(), nullptr, int64_t(keys.size()));
    split_zeros(keys.data(), nullptr, int64_t(keys.size()));
    double *entries = nullptr;
    const int64_t length = index_sorted(keys.data(), nullptr, int64_t(keys.size()), scan.any_nan,
                                        [&](int64_t n) { return entries = reserve(n); }, nullptr);
    if (length > 0 && positions)
        ds_numeric_index_positions(entries, length, values, count, positions);
    return length;
}

// The values that are not NaN, in row order, with their row numbers when
// asked for.
struct present_values {
    std::vector<double> sorted;  // sorted by the caller
    std::vector<int32_t> rows;

    // False when memory runs out.
    bool gather(const double *values, int64_t count, bool with_rows)
    {
        int64_t present[ds_row_chunks] = {};
        ds_parallel_for(ds_row_chunks, uint64_t(count), [&](uint64_t c, int64_t first, int64_t end) {
            for (int64_t i = first; i < end; ++i)
                present[c] += !std::isnan(values[i]);
        });
        int64_t offset[ds_row_chunks], total = 0;
        for (uint64_t c = 0; c < ds_row_chunks; ++c) {
            offset[c] = total;
            total += present[c];
        }
        try {
            sorted.resize(size_t(total));
            rows.resize(with_rows ? size_t(total) : 0);
        } catch (const std::bad_alloc &) {
            return false;
        }
        ds_parallel_for(ds_row_chunks, uint64_t(count), [&](uint64_t c, int64_t first, int64_t end) {
            int64_t at = offset[c];
            for (int64_t i = first; i < end; ++i) {
                if (std::isnan(values[i]))
                    continue;
                sorted[size_t(at)] = values[i];
                if (with_rows)
                    rows[size_t(at)] = int32_t(i);
                ++at;
            }
        });
        return true;
    }
    int64_t size() const { return int64_t(sorted.size()); }
    int32_t *row_numbers() { return rows.empty() ? nullptr : rows.data(); }
};

// Many distinct values: sort a copy of them (with their rows when positions
// are wanted), then read the index and the positions off the sorted order.
int64_t build_by_sorting(const double *values, int64_t count, bool any_nan,
                         ds_index_reserve reserve, int32_t *positions)
{
    present_values present;
    if (!present.gather(values, count, positions != nullptr))
        return 0;
    ds_sort(present.sorted.data(), present.row_numbers(), present.size());
    split_zeros(present.sorted.data(), present.row_numbers(), present.size());
    const int64_t length = index_sorted(present.sorted.data(), present.row_numbers(), present.size(),
                                        any_nan, reserve, positions);
    if (length > 0 && positions && any_nan)
        place_nan_rows(values, count, length, positions);
    return length;
}

// Two new malloc'd arrays of n values and n weights for the caller to free;
// false, with both NULL, when memory runs out.
bool allocate_pair(int64_t n, double **values, int32_t **weights)
{
    *values = static_cast<double *>(std::malloc(size_t(n) * sizeof(double)));
    *weights = static_cast<int32_t *>(std::malloc(size_t(n) * sizeof(int32_t)));
    if (*values && *weights)
        return true;
    std::free(*values);
    std::free(*weights);
    *values = nullptr;
    *weights = nullptr;
    return false;
}

// The position among the first searched entries of an ascending index: the
// largest p with index[p] <= v, or 0 when v lies below them all.
inline int64_t search_index(const double *index, int64_t searched, double v)
{
    const double *base = index;
    for (int64_t n = searched; n > 1;) {
        const int64_t half = n / 2;
        base = base[half] <= v ? base + half : base;
        n -= half;
    }
    return base - index;
}

}  // namespace

int64_t ds_numeric_index_build(const double *values, int64_t count, ds_index_reserve reserve,
                               int32_t *positions)
{
    const value_scan scan = scan_values(values, std::max<int64_t>(count, 0));
    if (scan.present == 0) {
        double *entries = reserve(1);
        if (!entries)
            return 0;
        entries[0] = nan_value;
        if (positions)
            std::fill(positions, positions + std::max<int64_t>(count, 0), 0);
        return 1;
    }
    try {
        if (scan.fits_presence_table())
            return build_by_presence(values, count, scan, reserve, positions);
        const int64_t length = build_by_hashing(values, count, scan, reserve, positions);
        if (length >= 0)
            return length;
        return build_by_sorting(values, count, scan.any_nan, reserve, positions);
    } catch (const std::bad_alloc &) {
        return 0;
    }
}

bool ds_numeric_index_joins_zeros(const double *values, int64_t count)
{
    return scan_values(values, std::max<int64_t>(count, 0)).fits_presence_table();
}

int64_t ds_numeric_sequential_index(uint64_t location, uint64_t length, bool with_nan,
                                    ds_index_reserve reserve)
{
    const int64_t whole = length == 0 ? 0 : int64_t(length) + 1;
    double *entries = whole + with_nan > 0 ? reserve(whole + with_nan) : nullptr;
    if (!entries)
        return 0;
    for (int64_t i = 0; i < whole; ++i)
        entries[i] = double(location + uint64_t(i));
    if (with_nan)
        entries[whole] = nan_value;
    return whole + with_nan;
}

int64_t ds_numeric_unique_count(const double *values, int64_t count)
{
    std::vector<double> index;
    try {
        const int64_t length = ds_numeric_index_build(values, count, [&](int64_t n) {
            index.resize(size_t(n));
            return index.data();
        }, nullptr);
        return length > 0 ? length : -1;
    } catch (const std::bad_alloc &) {
        return -1;
    }
}

void ds_numeric_index_positions(const double *index, int64_t length, const double *values,
                                int64_t count, int32_t *positions)
{
    if (length <= 0 || count <= 0)
        return;
    const int64_t searched = std::isnan(index[length - 1]) ? length - 1 : length;
    // The -0 entry right before a +0 entry, if the index tells zeros apart.
    int64_t negative_zero = -1;
    for (int64_t p = 0; p + 1 < searched; ++p)
        if (index[p] == 0 && std::signbit(index[p]) && index[p + 1] == 0 && !std::signbit(index[p + 1]))
            negative_zero = p;
    // The entry of v when the largest entry not above it is entry p.
    auto position = [&](double v, int64_t p) {
        return int32_t(p == negative_zero + 1 && negative_zero >= 0 && v == 0 && std::signbit(v) ? negative_zero : p);
    };

    present_values present;
    if (searched >= large_index && present.gather(values, count, true)) {
        ds_sort(present.sorted.data(), present.row_numbers(), present.size());
        const double *sorted = present.sorted.data();
        const int32_t *rows = present.rows.data();
        ds_parallel_for(ds_row_chunks, uint64_t(present.size()), [&](uint64_t, int64_t first, int64_t end) {
            if (first >= end)
                return;
            int64_t p = search_index(index, searched, sorted[first]);
            for (int64_t i = first; i < end; ++i) {
                while (p + 1 < searched && index[p + 1] <= sorted[i])
                    ++p;
                positions[rows[i]] = position(sorted[i], p);
            }
        });
        if (present.size() < count)
            place_nan_rows(values, count, length, positions);
        return;
    }
    ds_parallel_for(ds_row_chunks, uint64_t(count), [&](uint64_t, int64_t first, int64_t end) {
        for (int64_t i = first; i < end; ++i) {
            const double v = values[i];
            positions[i] = std::isnan(v) ? int32_t(length - 1) : position(v, search_index(index, searched, v));
        }
    });
}

bool ds_numeric_index_counts(const double *index, int64_t length, const int32_t *positions,
                             const ds_numeric_rows_s *rows, const uint8_t *mask,
                             int64_t mask_length, ds_num_counts_s *out)
{
    if (length <= 0)
        return true;
    const uint64_t chunks = uint64_t(std::clamp<int64_t>(counter_budget / length, 1, ds_row_chunks));
    std::vector<int64_t> counts;
    std::vector<uint8_t> seen;
    try {
        counts.assign(chunks * size_t(length), 0);
        seen.assign(chunks * size_t(length), 0);
    } catch (const std::bad_alloc &) {
        return false;
    }
    ds_parallel_for(chunks, uint64_t(std::max<int64_t>(rows->count, 0)),
                    [&](uint64_t c, int64_t first, int64_t end) {
                        int64_t *my_counts = counts.data() + c * size_t(length);
                        uint8_t *my_seen = seen.data() + c * size_t(length);
                        for (int64_t row = first; row < end; ++row) {
                            const int32_t p = positions[row];
                            if (p < 0 || p >= length)
                                continue;
                            if (!ds_row_missing(*rows, row))
                                my_seen[p] = 1;
                            if (ds_row_admitted(mask, mask_length, row))
                                my_counts[p] += ds_row_frequency(*rows, row);
                        }
                    });
    for (int64_t p = 0; p < length; ++p) {
        out[p] = {index[p], 0, 1};
        for (uint64_t c = 0; c < chunks; ++c) {
            out[p].count += counts[c * size_t(length) + size_t(p)];
            if (seen[c * size_t(length) + size_t(p)])
                out[p].missing = 0;
        }
        if (std::isnan(index[p]))
            out[p].missing = 1;
    }
    return true;
}

int64_t ds_numeric_index_order(const double *index, int64_t length, const double *ordered,
                               int64_t ordered_count, int32_t *out)
{
    std::vector<uint8_t> placed(size_t(std::max<int64_t>(length, 0)), 0);
    const int64_t searched = length > 0 && std::isnan(index[length - 1]) ? length - 1 : length;
    int64_t next = 0;
    auto place = [&](int64_t p) {
        if (p >= 0 && p < length && !placed[size_t(p)]) {
            placed[size_t(p)] = 1;
            out[next++] = int32_t(p);
        }
    };
    for (int64_t i = 0; i < ordered_count; ++i) {
        const double v = ordered[i];
        if (std::isnan(v)) {
            if (searched < length)
                place(length - 1);
            continue;
        }
        if (searched == 0)
            continue;
        const int64_t p = search_index(index, searched, v);
        if (index[p] == v)
            place(p);
    }
    for (int64_t p = 0; p < length; ++p)
        place(p);
    return length;
}

void ds_numeric_index_hues(const double *index, int64_t length, double *out)
{
    unsigned char key[kDSDoubleKeyBytes];
    for (int64_t p = 0; p < length; ++p)
        out[p] = std::isnan(index[p]) ? nan_value : ds_hue_for_number(key, index[p]);
}

bool ds_numeric_all_whole(const ds_numeric_rows_s *rows)
{
    bool whole[ds_row_chunks];
    ds_parallel_for(ds_row_chunks, uint64_t(std::max<int64_t>(rows->count, 0)),
                    [&](uint64_t c, int64_t first, int64_t end) {
                        whole[c] = true;
                        for (int64_t row = first; row < end && whole[c]; ++row)
                            whole[c] = ds_row_missing(*rows, row) || is_whole(rows->values[row]);
                    });
    return std::all_of(whole, whole + ds_row_chunks, [](bool w) { return w; });
}

int64_t ds_numeric_present_count(const ds_numeric_rows_s *rows)
{
    int64_t present[ds_row_chunks] = {};
    ds_parallel_for(ds_row_chunks, uint64_t(std::max<int64_t>(rows->count, 0)),
                    [&](uint64_t c, int64_t first, int64_t end) {
                        for (int64_t row = first; row < end; ++row)
                            present[c] += !ds_row_missing(*rows, row);
                    });
    int64_t total = 0;
    for (int64_t p : present)
        total += p;
    return total;
}

int64_t ds_numeric_sort_present(const ds_numeric_rows_s *rows, double *out_values,
                                int32_t *out_rows)
{
    const uint64_t count = uint64_t(std::max<int64_t>(rows->count, 0));
    int64_t present[ds_row_chunks] = {};
    ds_parallel_for(ds_row_chunks, count, [&](uint64_t c, int64_t first, int64_t end) {
        for (int64_t row = first; row < end; ++row)
            present[c] += !ds_row_missing(*rows, row);
    });
    int64_t offset[ds_row_chunks], total = 0;
    for (uint64_t c = 0; c < ds_row_chunks; ++c) {
        offset[c] = total;
        total += present[c];
    }
    ds_parallel_for(ds_row_chunks, count, [&](uint64_t c, int64_t first, int64_t end) {
        int64_t at = offset[c];
        for (int64_t row = first; row < end; ++row) {
            if (ds_row_missing(*rows, row))
                continue;
            out_values[at] = rows->values[row];
            if (out_rows)
                out_rows[at] = int32_t(row);
            ++at;
        }
    });
    ds_sort(out_values, out_rows, total);
    return total;
}

int64_t ds_numeric_distinct_weights(const double *sorted, const int32_t *row_numbers,
                                    int64_t count, const int32_t *weights, int64_t num_weights,
                                    const uint8_t *mask, int64_t mask_length,
                                    double **out_values, int32_t **out_weights)
{
    *out_values = nullptr;
    *out_weights = nullptr;
    auto taken = [&](int64_t i) {
        return !row_numbers || ds_row_admitted(mask, mask_length, row_numbers[i]);
    };
    int64_t runs = 0;
    double last = nan_value;
    for (int64_t i = 0; i < count; ++i)
        if (taken(i)) {
            runs += runs == 0 || sorted[i] != last;
            last = sorted[i];
        }
    if (runs == 0)
        return 0;
    if (!allocate_pair(runs, out_values, out_weights))
        return 0;
    double *values = *out_values;
    int32_t *sums = *out_weights;
    int64_t k = -1, sum = 0;
    for (int64_t i = 0; i < count; ++i) {
        if (!taken(i))
            continue;
        if (k < 0 || sorted[i] != values[k]) {
            if (k >= 0)
                sums[k] = int32_t(std::min<int64_t>(sum, INT32_MAX));
            values[++k] = sorted[i];
            sum = 0;
        }
        sum += row_numbers ? ds_row_weight(row_numbers[i], weights, num_weights) : 1;
    }
    sums[k] = int32_t(std::min<int64_t>(sum, INT32_MAX));
    return runs;
}

int64_t ds_numeric_sorted_differences(const ds_numeric_rows_s *a, const ds_numeric_rows_s *b,
                                      int64_t num_records, const uint8_t *mask,
                                      int64_t mask_length, double **out_values,
                                      int32_t **out_weights)
{
    *out_values = nullptr;
    *out_weights = nullptr;
    if (a->count != b->count || a->count <= 0)
        return 0;
    const int64_t rows = std::min(num_records, a->count);
    // A difference of two infinities of one sign is NaN, which cannot be
    // sorted: such rows are left out like missing ones.
    auto used = [&](int64_t row) {
        return ds_row_admitted(mask, mask_length, row) && !ds_row_missing(*a, row) &&
               !ds_row_missing(*b, row) && !std::isnan(a->values[row] - b->values[row]);
    };
    int64_t c = 0;
    for (int64_t row = 0; row < rows; ++row)
        c += used(row);
    if (c == 0)
        return 0;
    if (!allocate_pair(c, out_values, out_weights))
        return 0;
    double *values = *out_values;
    int32_t *weights = *out_weights;
    int64_t at = 0;
    for (int64_t row = 0; row < rows; ++row)
        if (used(row)) {
            values[at] = a->values[row] - b->values[row];
            weights[at++] = ds_row_frequency(*a, row);
        }
    ds_sort(values, weights, c);
    return c;
}
