#include "model/util/ds_decimal.h"

#include <algorithm>
#include <cmath>
#include <iterator>

namespace {

struct Rung {
    int64_t scalar, mantissa;
};

constexpr int64_t minute = ds_seconds_per_minute, hour = ds_seconds_per_hour,
                  day = ds_seconds_per_day, week = ds_seconds_per_week;

// The widths of exponent 0 from fine to coarse. Below the first the ladder
// goes on with half a second (exponent -1), above the last with ten days or
// ten weeks (exponent 1), by the number rule.
constexpr Rung days_ladder[] = {
    {1, 1},      {1, 2},      {1, 5},       {1, 10},      {1, 30},     {minute, 1},
    {minute, 2}, {minute, 5}, {minute, 10}, {minute, 30}, {hour, 1},   {hour, 2},
    {hour, 4},   {hour, 12},  {day, 1},     {day, 2},     {day, 5},
};
constexpr Rung weeks_ladder[] = {
    {1, 1},      {1, 2},      {1, 5},       {1, 10},      {1, 30},   {minute, 1},
    {minute, 2}, {minute, 5}, {minute, 10}, {minute, 30}, {hour, 1}, {hour, 2},
    {hour, 4},   {hour, 12},  {day, 1},     {week, 1},    {week, 2}, {week, 5},
};

ds_decimal_s number_finer(ds_decimal_s w)
{
    switch (w.mantissa) {
    case 5: return {w.scalar, 2, w.exponent};
    case 2: return {w.scalar, 1, w.exponent};
    case 1: return {w.scalar, 5, w.exponent - 1};
    default: return w;
    }
}

ds_decimal_s number_coarser(ds_decimal_s w)
{
    switch (w.mantissa) {
    case 1: return {w.scalar, 2, w.exponent};
    case 2: return {w.scalar, 5, w.exponent};
    case 4:
    case 5: return {w.scalar, 1, w.exponent + 1};
    default: return w;
    }
}

// Steps along the time ladder of the scheme; widths off the ladder, and every
// exponent but 0, follow the number rule.
ds_decimal_s time_step(unsigned scheme, ds_decimal_s w, bool coarser)
{
    const Rung *begin = scheme == 1 ? std::begin(days_ladder) : std::begin(weeks_ladder);
    const Rung *end = scheme == 1 ? std::end(days_ladder) : std::end(weeks_ladder);
    const Rung *at = std::find_if(begin, end, [&](const Rung &r) {
        return r.scalar == w.scalar && r.mantissa == w.mantissa;
    });
    if (w.exponent != 0 || at == end)
        return coarser ? number_coarser(w) : number_finer(w);
    if (!coarser)
        return at == begin ? ds_decimal_s{1, 5, -1} : ds_decimal_s{at[-1].scalar, at[-1].mantissa, 0};
    if (at + 1 == end)
        return {at->scalar, 1, 1};
    return {at[1].scalar, at[1].mantissa, 0};
}

bool one_two_five(int64_t m)
{
    return m == 1 || m == 2 || m == 5;
}

int64_t ceil_log10(double x)
{
    return int64_t(std::ceil(std::log10(x)));
}

}  // namespace

double ds_resolution_size(unsigned, ds_decimal_s width)
{
    return std::pow(10.0, double(width.exponent)) * double(width.scalar * width.mantissa);
}

ds_decimal_s ds_resolution_finer(unsigned scheme, ds_decimal_s width)
{
    if (scheme == 0)
        return number_finer(width);
    if (scheme == 1 || scheme == 2)
        return time_step(scheme, width, false);
    return width;
}

ds_decimal_s ds_resolution_coarser(unsigned scheme, ds_decimal_s width)
{
    if (scheme == 0)
        return number_coarser(width);
    if (scheme == 1 || scheme == 2)
        return time_step(scheme, width, true);
    return width;
}

bool ds_resolution_allowed(unsigned scheme, ds_decimal_s w)
{
    const int64_t m = w.mantissa;
    if (scheme == 0)
        return one_two_five(m);
    if (scheme != 1 && scheme != 2)
        return false;
    if (w.exponent != 0) {
        const bool unit = (w.scalar == 1 && w.exponent < 0) ||
                          (w.exponent > 0 && w.scalar == (scheme == 1 ? day : week));
        return unit && one_two_five(m);
    }
    switch (w.scalar) {
    case 1:
    case minute: return one_two_five(m) || m == 10 || m == 30;
    case hour: return m == 1 || m == 2 || m == 4 || m == 12;
    case day: return scheme == 2 ? m == 1 : one_two_five(m);
    case week: return one_two_five(m);
    default: return false;
    }
}

ds_decimal_s ds_resolution_initial(unsigned scheme, double minimum, double maximum)
{
    const double range = maximum - minimum;
    // log10 of an empty or non-finite range has no whole ceiling.
    if (!(range > 0) || !std::isfinite(range) || scheme > 2)
        return {1, 1, 0};
    if (scheme == 0 || range < 1)
        return {1, 1, ceil_log10(range)};
    const int64_t unit = scheme == 1 ? day : week;
    if (range <= double(unit))
        return {unit, 1, 0};
    return {unit, 1, ceil_log10(maximum / double(unit) - minimum / double(unit))};
}

int64_t ds_nice_resolution(int level, int64_t min_bins, unsigned scheme, double *minimum,
                           double *maximum, ds_decimal_s *out_width)
{
    if (!std::isfinite(*minimum) || !std::isfinite(*maximum)) {
        if (out_width)
            out_width->scalar = 0;
        return 0;
    }
    double lo = *minimum, hi = *maximum;
    if (lo == hi) {
        if (lo == 0) {
            lo = -1;
            hi = 1;
        } else if (lo < 0) {
            lo = 2 * lo;
            hi = 0;
        } else {
            hi = 2 * hi;
            lo = 0;
        }
    }
    auto grid_of = [&](ds_decimal_s w) {
        return ds_resolution_size(scheme, w.mantissa == 5 ? ds_resolution_coarser(scheme, w) : w);
    };
    ds_decimal_s width = ds_resolution_initial(scheme, lo, hi), counted = width;
    bool snapped = false;
    int64_t bins = 0;
    // A ladder that stops stepping (an unknown scheme), or a request for more
    // bins than doubles can tell apart, must not loop forever: about three
    // steps a decade over the whole range of doubles is the most there is.
    for (int steps = 0; steps < 2200; ++steps) {
        double first = lo, last = hi;
        if (!snapped) {
            const double grid = grid_of(width);
            first = std::floor(lo / grid) * grid;
            last = (std::floor(hi / grid) + 1) * grid;
        }
        const double exact = (last - first) / ds_resolution_size(scheme, width);
        if (!std::isfinite(exact) || exact > 9.0e18)
            break;
        bins = std::lround(exact);
        counted = width;
        if (bins > min_bins) {
            if (!snapped) {
                *minimum = lo = first;
                *maximum = hi = last;
                snapped = true;
            }
            if (level < 2)
                break;
            --level;
        }
        const ds_decimal_s finer = ds_resolution_finer(scheme, width);
        if (finer == width)
            break;
        width = finer;
    }
    if (out_width)
        *out_width = counted;
    return bins;
}
