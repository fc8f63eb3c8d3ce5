#pragma once
// Round bin widths: 1, 2 or 5 times a power of ten, or round time spans, and
// the search for the width that cuts a range into a wanted number of bins.
//
// Resolution schemes: 0 numbers; 1 days (time spans whose coarsest steps are
// multiples of days); 2 weeks (multiples of weeks). Any other scheme leaves
// widths unchanged when stepping.

#include <cstdint>

// A width of scalar x mantissa x 10^exponent.
struct ds_decimal_s {
    int64_t scalar;    // 1 (a number or one second), 60, 3600, 86400 or 604800
    int64_t mantissa;  // 1, 2 or 5; time spans also 4, 10, 12 and 30
    int64_t exponent;  // power of ten
    bool operator==(const ds_decimal_s &) const = default;
};

inline constexpr int64_t ds_seconds_per_minute = 60;
inline constexpr int64_t ds_seconds_per_hour = 3600;
inline constexpr int64_t ds_seconds_per_day = 86400;
inline constexpr int64_t ds_seconds_per_week = 604800;

// The width in the values' units: pow(10, exponent) x (scalar x mantissa).
double ds_resolution_size(unsigned scheme, ds_decimal_s width);

// The next finer and coarser widths of the scheme's ladder.
ds_decimal_s ds_resolution_finer(unsigned scheme, ds_decimal_s width);
ds_decimal_s ds_resolution_coarser(unsigned scheme, ds_decimal_s width);

// Whether the width is one of the scheme's widths.
bool ds_resolution_allowed(unsigned scheme, ds_decimal_s width);

// The width a search over [minimum, maximum] starts from. An empty, reversed
// or non-finite range starts from {1, 1, 0}.
ds_decimal_s ds_resolution_initial(unsigned scheme, double minimum, double maximum);

// The first width of the ladder giving more than min_bins bins over
// [*minimum, *maximum], stepped level - 1 times finer. The bounds are snapped
// outward, once, to the grid of the first width that qualifies and written
// back. An empty range is widened first ([0, 0] to [-1, 1], [v, v] to
// [2v, 0] or [0, 2v]). Returns the number of bins and writes the width to
// out_width when it is not NULL. A NaN or infinite bound returns 0 with a
// width whose scalar is 0, the bounds untouched.
int64_t ds_nice_resolution(int level, int64_t min_bins, unsigned scheme, double *minimum,
                           double *maximum, ds_decimal_s *out_width);
