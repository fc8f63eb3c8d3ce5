#pragma once

#include <gtest/gtest.h>

// Under a sanitizer every memory access is instrumented and a loop over
// millions of values runs 5 to 20 times slower. Cases that exist for their
// size (the chunking of tens of millions of rows) run in the plain build
// only; what a sanitizer looks for, the same code shows on smaller inputs.
#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
inline constexpr bool ds_test_under_sanitizer = true;
#else
inline constexpr bool ds_test_under_sanitizer = false;
#endif

#define DS_SKIP_UNDER_SANITIZER()                                                 \
    do {                                                                          \
        if (ds_test_under_sanitizer)                                              \
            GTEST_SKIP() << "a case for its size: the plain build runs it";       \
    } while (false)
