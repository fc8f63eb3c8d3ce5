#include "model/util/ds_sort.h"

#include "model/util/ds_integer_range.h"
#include "platform/dispatch/ds_parallel_for.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <memory>
#include <new>
#include <utility>
#include <vector>

namespace {

constexpr int64_t serial_limit = 4096;      // below: one chunk, calling thread
constexpr int64_t counting_span = 8192;     // integer chunks spanning less are counted
constexpr int64_t insertion_limit = 32;     // below: insertion sort
constexpr int64_t segments_per_pass = 64;   // merge pieces a pass is cut into

// One place moved as a pair: a value and, when there are companions, its
// companion. WithCompanions = false compiles the companion moves away.
template <bool WithCompanions>
struct Columns {
    double *v;
    int32_t *c;

    void set(int64_t to, const Columns &from, int64_t at) const
    {
        v[to] = from.v[at];
        if constexpr (WithCompanions)
            c[to] = from.c[at];
    }
    void copy(int64_t to, const Columns &from, int64_t at, int64_t n) const
    {
        if (n <= 0)
            return;
        std::memcpy(v + to, from.v + at, size_t(n) * sizeof(double));
        if constexpr (WithCompanions)
            std::memcpy(c + to, from.c + at, size_t(n) * sizeof(int32_t));
    }
    Columns offset(int64_t by) const { return {v + by, WithCompanions ? c + by : c}; }
};

// Orders doubles as their ascending numeric order, with -0.0 equal to +0.0
// so that a stable sort keeps the two in their original order.
inline uint64_t radix_key(double x)
{
    if (x == 0)
        x = 0.0;
    uint64_t u;
    std::memcpy(&u, &x, sizeof u);
    return (u >> 63) ? ~u : u | (uint64_t(1) << 63);
}

template <bool C>
void insertion_sort(Columns<C> a, int64_t n)
{
    for (int64_t i = 1; i < n; ++i) {
        const double x = a.v[i];
        int32_t xc = 0;
        if constexpr (C)
            xc = a.c[i];
        int64_t j = i;
        for (; j > 0 && x < a.v[j - 1]; --j)
            a.set(j, a, j - 1);
        a.v[j] = x;
        if constexpr (C)
            a.c[j] = xc;
    }
}

// Stable least-significant-digit radix sort on the 8 bytes of the keys,
// skipping the bytes that all values share. scratch has n places.
template <bool C>
void radix_sort(Columns<C> a, Columns<C> scratch, int64_t n)
{
    uint64_t histogram[8][256] = {};
    for (int64_t i = 0; i < n; ++i) {
        const uint64_t k = radix_key(a.v[i]);
        for (int d = 0; d < 8; ++d)
            histogram[d][(k >> (8 * d)) & 0xff]++;
    }
    Columns<C> src = a, dst = scratch;
    for (int d = 0; d < 8; ++d) {
        uint64_t *h = histogram[d];
        if (std::any_of(h, h + 256, [&](uint64_t x) { return x == uint64_t(n); }))
            continue;
        uint64_t offset[256];
        uint64_t sum = 0;
        for (int b = 0; b < 256; ++b) {
            offset[b] = sum;
            sum += h[b];
        }
        for (int64_t i = 0; i < n; ++i)
            dst.set(int64_t(offset[(radix_key(src.v[i]) >> (8 * d)) & 0xff]++), src, i);
        std::swap(src, dst);
    }
    if (src.v != a.v)
        a.copy(0, src, 0, n);
}

// Counting sort of whole numbers in [lo, hi]: companions are placed stably
// by the prefix sums of the counts; without them the values are rewritten
// from the counters.
template <bool C>
void counting_sort(Columns<C> a, Columns<C> scratch, int64_t n, int32_t lo, int32_t hi)
{
    std::vector<int64_t> counts(size_t(int64_t(hi) - lo + 1), 0);
    for (int64_t i = 0; i < n; ++i)
        counts[size_t(int64_t(a.v[i]) - lo)]++;
    if constexpr (!C) {
        int64_t at = 0;
        for (size_t k = 0; k < counts.size(); ++k)
            for (int64_t m = counts[k]; m > 0; --m)
                a.v[at++] = double(int64_t(lo) + int64_t(k));
    } else {
        int64_t sum = 0;
        for (int64_t &x : counts)
            sum += std::exchange(x, sum);
        for (int64_t i = 0; i < n; ++i)
            scratch.set(counts[size_t(int64_t(a.v[i]) - lo)]++, a, i);
        a.copy(0, scratch, 0, n);
    }
}

// Sorts one chunk stably, using scratch (n places) as working space.
template <bool C>
void sort_chunk(Columns<C> a, Columns<C> scratch, int64_t n)
{
    if (std::is_sorted(a.v, a.v + n))
        return;
    int32_t lo, hi;
    if (n < insertion_limit)
        insertion_sort(a, n);
    else if (ds_integer_range(a.v, n, counting_span, &lo, &hi))
        counting_sort(a, scratch, n, lo, hi);
    else
        radix_sort(a, scratch, n);
}

// How many of the first d places of the stable merge of a[0, na) and
// b[0, nb) come from a (equal values: a's first).
int64_t co_rank(int64_t d, const double *a, int64_t na, const double *b, int64_t nb)
{
    int64_t lo = std::max<int64_t>(0, d - nb), hi = std::min(d, na);
    while (lo < hi) {
        const int64_t mid = lo + (hi - lo) / 2;
        if (a[mid] <= b[d - mid - 1])
            lo = mid + 1;
        else
            hi = mid;
    }
    return lo;
}

// Writes places [d0, d1) of the stable merge of the runs a (na places) and
// b (nb places) to out, whose place 0 is the merge's first.
template <bool C>
void merge_piece(Columns<C> a, int64_t na, Columns<C> b, int64_t nb, Columns<C> out,
                 int64_t d0, int64_t d1)
{
    int64_t i = co_rank(d0, a.v, na, b.v, nb), j = d0 - i;
    const int64_t i1 = co_rank(d1, a.v, na, b.v, nb), j1 = d1 - i1;
    int64_t k = d0;
    while (i < i1 && j < j1) {
        const bool right = b.v[j] < a.v[i];
        out.v[k] = right ? b.v[j] : a.v[i];
        if constexpr (C)
            out.c[k] = right ? b.c[j] : a.c[i];
        i += !right;
        j += right;
        ++k;
    }
    out.copy(k, a, i, i1 - i);
    out.copy(k + (i1 - i), b, j, j1 - j);
}

template <bool C>
void parallel_sort(Columns<C> a, Columns<C> scratch, int64_t count)
{
    const int64_t chunks = ds_sort_chunk_count(count);
    const int64_t length = (count + chunks - 1) / chunks;
    auto bound = [&](int64_t chunk) { return std::min(count, chunk * length); };

    ds_dispatch_apply(uint64_t(chunks), [&](uint64_t j) {
        const int64_t first = bound(int64_t(j));
        sort_chunk(a.offset(first), scratch.offset(first), bound(int64_t(j) + 1) - first);
    });

    // log2(chunks) passes, an even number, so the last writes into a.
    Columns<C> src = a, dst = scratch;
    for (int64_t run = 1; run < chunks; run *= 2) {
        const int64_t pairs = chunks / (2 * run);
        const int64_t segments = std::max<int64_t>(1, segments_per_pass / pairs);
        ds_dispatch_apply(uint64_t(pairs * segments), [&](uint64_t piece) {
            const int64_t pair = int64_t(piece) / segments, segment = int64_t(piece) % segments;
            const int64_t left = bound(2 * pair * run), middle = bound((2 * pair + 1) * run),
                          right = bound((2 * pair + 2) * run);
            const int64_t total = right - left;
            merge_piece(src.offset(left), middle - left, src.offset(middle), right - middle,
                        dst.offset(left), total * segment / segments, total * (segment + 1) / segments);
        });
        std::swap(src, dst);
    }
}

template <bool C>
void sort_with_scratch(Columns<C> a, int64_t count)
{
    std::unique_ptr<double[]> values(new (std::nothrow) double[size_t(count)]);
    std::unique_ptr<int32_t[]> companions(C ? new (std::nothrow) int32_t[size_t(count)] : nullptr);
    if (!values || (C && !companions)) {
        // Out of memory: still sort, in place and without stability.
        ds_quicksort_range(a.v, a.c, count);
        return;
    }
    const Columns<C> scratch{values.get(), companions.get()};
    if (count < serial_limit)
        sort_chunk(a, scratch, count);
    else
        parallel_sort(a, scratch, count);
}

// The partition of ds_quicksort: the pivot leaves a hole that the scans
// fill from either side. Both scans stop at values equal to the pivot, so a
// run of equal values splits evenly instead of degrading to n^2.
template <bool C>
int64_t partition(Columns<C> a, int64_t lo, int64_t hi)
{
    const double pivot = a.v[lo];
    int32_t pivot_companion = 0;
    if constexpr (C)
        pivot_companion = a.c[lo];
    while (lo < hi) {
        while (lo < hi && a.v[hi] > pivot)
            --hi;
        if (lo < hi)
            a.set(lo++, a, hi);
        while (lo < hi && a.v[lo] < pivot)
            ++lo;
        if (lo < hi)
            a.set(hi--, a, lo);
    }
    a.v[lo] = pivot;
    if constexpr (C)
        a.c[lo] = pivot_companion;
    return lo;
}

template <bool C>
void swap_places(Columns<C> a, int64_t i, int64_t j)
{
    std::swap(a.v[i], a.v[j]);
    if constexpr (C)
        std::swap(a.c[i], a.c[j]);
}

// Moves the median of the first, middle and last values to the front, where
// the partition takes its pivot; sorted and reversed input stay n log n.
template <bool C>
void median_of_three_to_front(Columns<C> a, int64_t lo, int64_t hi)
{
    const int64_t mid = lo + (hi - lo) / 2;
    if (a.v[mid] < a.v[lo])
        swap_places(a, mid, lo);
    if (a.v[hi] < a.v[lo])
        swap_places(a, hi, lo);
    if (a.v[hi] < a.v[mid])
        swap_places(a, hi, mid);
    swap_places(a, lo, mid);
}

template <bool C>
void quicksort(Columns<C> a, int64_t count)
{
    // Taking the smaller part first bounds the depth by log2(count) < 64.
    struct Range {
        int64_t begin, end;
    } stack[128];
    int top = 0;
    stack[top++] = {0, count};
    while (top > 0) {
        const Range r = stack[--top];
        const int64_t n = r.end - r.begin;
        if (n < 2)
            continue;
        if (n < insertion_limit) {
            insertion_sort(a.offset(r.begin), n);
            continue;
        }
        median_of_three_to_front(a, r.begin, r.end - 1);
        const int64_t p = partition(a, r.begin, r.end - 1);
        const Range left{r.begin, p}, right{p + 1, r.end};
        const bool left_smaller = left.end - left.begin < right.end - right.begin;
        stack[top++] = left_smaller ? right : left;
        stack[top++] = left_smaller ? left : right;
    }
}

}  // namespace

void ds_quicksort_range(double *values, int32_t *companions, int64_t count)
{
    if (companions)
        quicksort(Columns<true>{values, companions}, count);
    else
        quicksort(Columns<false>{values, nullptr}, count);
}

void ds_quicksort(double *values, int32_t *companions, int32_t count)
{
    ds_quicksort_range(values, companions, count);
}

int64_t ds_sort_chunk_count(int64_t count)
{
    if (count < serial_limit)
        return 1;
    if (count <= 16777216)
        return 16;
    if (count <= 67108864)
        return 64;
    return 256;
}

void ds_sort(double *values, int32_t *companions, int64_t count)
{
    if (count < 2)
        return;
    if (count < insertion_limit) {
        if (companions)
            insertion_sort(Columns<true>{values, companions}, count);
        else
            insertion_sort(Columns<false>{values, nullptr}, count);
        return;
    }
    if (companions)
        sort_with_scratch(Columns<true>{values, companions}, count);
    else
        sort_with_scratch(Columns<false>{values, nullptr}, count);
}

static inline int compare_values(double a, double b)
{
    if (std::isnan(a))
        return std::isnan(b) ? 0 : 1;
    if (std::isnan(b))
        return -1;
    return (a > b) - (a < b);
}

int ds_compare_doubles(const void *a, const void *b)
{
    return compare_values(*static_cast<const double *>(a), *static_cast<const double *>(b));
}

int ds_compare_value_records(const void *a, const void *b)
{
    double x, y;
    std::memcpy(&x, a, sizeof x);
    std::memcpy(&y, b, sizeof y);
    return compare_values(x, y);
}

int ds_compare_strings(const void *a, const void *b)
{
    const char *x = *static_cast<const char *const *>(a);
    const char *y = *static_cast<const char *const *>(b);
    if (!x)
        return y ? 1 : 0;
    if (!y)
        return -1;
    const int r = std::strcmp(x, y);
    return (r > 0) - (r < 0);
}

int64_t ds_unique(void *elements, int64_t count, size_t element_size,
                  int (*compare)(const void *, const void *))
{
    if (count <= 0)
        return 0;
    auto *bytes = static_cast<unsigned char *>(elements);
    int64_t kept = 1;
    for (int64_t i = 1; i < count; ++i) {
        unsigned char *element = bytes + size_t(i) * element_size;
        unsigned char *last = bytes + size_t(kept - 1) * element_size;
        if (compare(last, element) != 0) {
            if (kept != i)
                std::memcpy(bytes + size_t(kept) * element_size, element, element_size);
            ++kept;
        }
    }
    return kept;
}
