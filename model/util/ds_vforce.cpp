#include "model/util/ds_vforce.h"

#include <cmath>

// The vector versions of these libm functions (glibc's libmvec): declared
// here because math.h declares them only under -ffast-math, which would also
// let the compiler assume that no value is NaN or infinite.
extern "C" {
#pragma omp declare simd notinbranch
double log(double);
#pragma omp declare simd notinbranch
double log2(double);
#pragma omp declare simd notinbranch
double log10(double);
#pragma omp declare simd notinbranch
double log1p(double);
}

// One version per instruction set, picked when the program loads. Not under
// ThreadSanitizer, which instruments the resolver that picks the version:
// it runs while the program is relocated, before the sanitizer's runtime is
// set up, and crashes there. Not under clang either (the fuzz build): clang
// 14 names only the clones and the resolver, so callers of the plain name
// fail to link.
#if defined(__SANITIZE_THREAD__) || defined(__clang__)
#define DS_VECTOR_CLONES
#else
#define DS_VECTOR_CLONES __attribute__((target_clones("avx512f", "avx2", "default")))
#endif

#define DS_ELEMENTWISE(name, expression)                       \
    DS_VECTOR_CLONES void name(double *y, const double *x, int64_t n) \
    {                                                          \
        _Pragma("omp simd") for (int64_t i = 0; i < n; ++i)    \
        {                                                      \
            const double v = x[i];                             \
            y[i] = (expression);                               \
        }                                                      \
    }

DS_VECTOR_CLONES void vvdiv(double *y, const double *a, const double *b, int64_t n)
{
#pragma omp simd
    for (int64_t i = 0; i < n; ++i)
        y[i] = a[i] / b[i];
}

DS_ELEMENTWISE(vvrec, 1.0 / v)
DS_ELEMENTWISE(vvsqrt, std::sqrt(v))
DS_ELEMENTWISE(vvrsqrt, 1.0 / std::sqrt(v))
DS_ELEMENTWISE(vvlog, log(v))
DS_ELEMENTWISE(vvlog2, log2(v))
DS_ELEMENTWISE(vvlog10, log10(v))
DS_ELEMENTWISE(vvlog1p, log1p(v))
DS_ELEMENTWISE(vvint, std::trunc(v))
DS_ELEMENTWISE(vvnint, std::nearbyint(v))
DS_ELEMENTWISE(vvceil, std::ceil(v))
DS_ELEMENTWISE(vvfloor, std::floor(v))
DS_ELEMENTWISE(vvfabs, std::fabs(v))
