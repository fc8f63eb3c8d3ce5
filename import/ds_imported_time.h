#pragma once

// The largest magnitude of an absolute time (about three million years)
// that an importer keeps as a time: the calendar fields of a time far
// beyond it overflow when the column computes them. Readers make such a
// value missing.
inline constexpr double kDSMaxImportedTime = 1e14;
