#pragma once

#include <QByteArray>

#include <cstdint>

// The longest compact integer sequence (R's 1:n stored as its bounds) a file
// may hold: librdata writes it out into one allocation it never checks.
inline constexpr int64_t ds_rdata_max_sequence = int64_t(1) << 28;

// How deeply objects may nest: librdata reads them by recursion on the
// importing thread's stack.
inline constexpr int ds_rdata_max_depth = 2000;

// Walks the bytes of an R file (inflated) along the very path librdata's
// reader takes, and answers whether librdata may be handed them: false for
// a file that ends early, names an unknown reference, holds a negative or
// oversized length (one the rest of the file cannot hold), nests deeper
// than ds_rdata_max_depth, holds a compact integer sequence that is not a
// whole count up to ds_rdata_max_sequence of 32-bit values or a deferred
// text librdata would write unlike R, or declares a stateful encoding.
// Reads only; allocates no more than the names it meets.
bool ds_rdata_check(const QByteArray &bytes);
