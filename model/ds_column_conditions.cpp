#include "model/ds_column_conditions.h"

#include "model/ds_row_mask.h"

#include <algorithm>
#include <cmath>
#include <cstring>

namespace {

// Runs apply with the matching test of the operator, chosen once; NO for
// an operator the kind does not honour.
struct ValueTest {
    template <class Apply>
    bool operator()(int64_t op, const double *v, double r, const Apply &apply) const
    {
        switch (op) {
        case ds_condition_less:
            return apply([v, r](int64_t i) { return v[i] < r; }), true;
        case ds_condition_less_or_equal:
            return apply([v, r](int64_t i) { return v[i] <= r; }), true;
        case ds_condition_greater:
            return apply([v, r](int64_t i) { return v[i] > r; }), true;
        case ds_condition_greater_or_equal:
            return apply([v, r](int64_t i) { return v[i] >= r; }), true;
        case ds_condition_equal:
            return apply([v, r](int64_t i) { return v[i] == r; }), true;
        case ds_condition_not_equal:
            return apply([v, r](int64_t i) { return !(v[i] == r); }), true;
        default:
            return false;
        }
    }
};

inline unsigned char folded(unsigned char c)
{
    return c >= 'A' && c <= 'Z' ? c + ('a' - 'A') : c;
}

bool equalFolded(const char *a, const char *b, size_t n)
{
    for (size_t k = 0; k < n; ++k)
        if (folded(a[k]) != folded(b[k]))
            return false;
    return true;
}

bool containsFolded(const char *text, size_t length, const char *part, size_t n)
{
    for (size_t k = 0; k + n <= length; ++k)
        if (equalFolded(text + k, part, n))
            return true;
    return false;
}

// As ValueTest, for texts.
struct TextTest {
    template <class Apply>
    bool operator()(int64_t op, const char *const *t, const char *rhs, const Apply &apply) const
    {
        const size_t n = std::strlen(rhs);
        switch (op) {
        case ds_condition_equal:
            return apply([=](int64_t i) { return t[i] && std::strlen(t[i]) == n && equalFolded(t[i], rhs, n); }), true;
        case ds_condition_not_equal:
            return apply([=](int64_t i) { return t[i] && !(std::strlen(t[i]) == n && equalFolded(t[i], rhs, n)); }),
                   true;
        case ds_condition_begins_with:
            return apply([=](int64_t i) { return t[i] && strnlen(t[i], n) == n && equalFolded(t[i], rhs, n); }), true;
        case ds_condition_ends_with:
            return apply([=](int64_t i) {
                       if (!t[i])
                           return false;
                       const size_t length = std::strlen(t[i]);
                       return length >= n && equalFolded(t[i] + length - n, rhs, n);
                   }),
                   true;
        case ds_condition_contains:
            return apply([=](int64_t i) { return t[i] && containsFolded(t[i], std::strlen(t[i]), rhs, n); }), true;
        default:
            return false;
        }
    }
};

// The delivered part of the range: no more than limit values.
int64_t deliveredCount(const void *values, int64_t count, int64_t limit)
{
    return values ? std::clamp<int64_t>(count, 0, std::max<int64_t>(limit, 0)) : 0;
}

template <class WithTest, class Source, class Rhs>
void setMatching(uint8_t *mask, int64_t offset, int64_t limit, Source source, int64_t count, int64_t op, Rhs rhs,
                 const WithTest &withTest)
{
    const int64_t n = deliveredCount(source, count, limit);
    if (n == 0)
        return;
    withTest(op, source, rhs, [&](const auto &matches) { ds_mark_rows(mask, offset, n, matches); });
}

template <class WithTest, class Source, class Rhs>
void clearUnmatching(uint8_t *mask, int64_t offset, int64_t limit, Source source, int64_t count, int64_t op, Rhs rhs,
                     const WithTest &withTest)
{
    const int64_t n = deliveredCount(source, count, limit);
    const auto keepMatching = [&](const auto &matches) {
        ds_unmark_rows(mask, offset, n, matches);
        ds_clear_rows(mask, offset + n, offset + limit);
    };
    if (n == 0) {
        // Only an honoured operator judges the rows, even when there are none.
        withTest(op, source, rhs, [&](const auto &) { ds_clear_rows(mask, offset, offset + limit); });
        return;
    }
    withTest(op, source, rhs, keepMatching);
}

// The bits of byte b that belong to rows [first, end).
uint8_t rangeBits(int64_t b, int64_t first, int64_t end)
{
    const int64_t lo = std::max<int64_t>(first - b * 8, 0), hi = std::min<int64_t>(end - b * 8, 8);
    return lo >= hi ? 0 : uint8_t(((1u << hi) - 1) & ~((1u << lo) - 1));
}

// The matching rows of byte b.
uint8_t matchingBits(int64_t b, const uint8_t *values, const uint8_t *missing, int64_t length, bool rhs)
{
    if (!values || b >= length)
        return 0;
    return uint8_t((rhs ? values[b] : ~values[b]) & (missing ? ~missing[b] : 0xFF));
}

} // namespace

void ds_condition_set_values(uint8_t *mask, int64_t offset, int64_t limit, const double *values, int64_t count,
                             int64_t op, double rhs)
{
    if (!std::isnan(rhs))
        setMatching(mask, offset, limit, values, count, op, rhs, ValueTest());
}

void ds_condition_clear_values(uint8_t *mask, int64_t offset, int64_t limit, const double *values, int64_t count,
                               int64_t op, double rhs)
{
    if (!std::isnan(rhs))
        clearUnmatching(mask, offset, limit, values, count, op, rhs, ValueTest());
}

void ds_condition_set_texts(uint8_t *mask, int64_t offset, int64_t limit, const char *const *texts, int64_t count,
                            int64_t op, const char *rhs)
{
    if (rhs)
        setMatching(mask, offset, limit, texts, count, op, rhs, TextTest());
}

void ds_condition_clear_texts(uint8_t *mask, int64_t offset, int64_t limit, const char *const *texts, int64_t count,
                              int64_t op, const char *rhs)
{
    if (rhs)
        clearUnmatching(mask, offset, limit, texts, count, op, rhs, TextTest());
}

void ds_condition_set_bits(uint8_t *mask, int64_t offset, int64_t limit, const uint8_t *values, const uint8_t *missing,
                           int64_t length, bool rhs)
{
    const int64_t end = offset + std::max<int64_t>(limit, 0);
    for (int64_t b = offset / 8; b * 8 < end; ++b)
        mask[b] |= uint8_t(matchingBits(b, values, missing, length, rhs) & rangeBits(b, offset, end));
}

void ds_condition_clear_bits(uint8_t *mask, int64_t offset, int64_t limit, const uint8_t *values,
                             const uint8_t *missing, int64_t length, bool rhs)
{
    const int64_t end = offset + std::max<int64_t>(limit, 0);
    for (int64_t b = offset / 8; b * 8 < end; ++b)
        mask[b] &= uint8_t(~rangeBits(b, offset, end) | matchingBits(b, values, missing, length, rhs));
}
