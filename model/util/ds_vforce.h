#pragma once
// Element-wise operations over arrays of doubles, in the shape of the
// platform's vector routines (the result first, then the operands) but with
// 64-bit counts, so a column of more than 2^31 - 1 rows needs no splitting.
//
// Each is a plain loop that the compiler vectorises: divisions, roots and
// roundings inline, the logarithms through glibc's vector functions
// (libmvec), in versions for AVX-512, AVX2 and the baseline chosen when the
// program starts. The logarithms may differ from the scalar libm ones by up
// to 4 units in the last place (2 measured); powers of ten stay exact. IEEE
// special cases are those of the scalar functions: log of 0 is -infinity,
// of a negative number or NaN is NaN, x / 0 is plus or minus infinity and
// 0 / 0 NaN.
//
// The result may be the same array as an operand (the loops read element i
// before writing it); partly overlapping arrays are not allowed. A count of
// 0 or below does nothing.

#include <cstdint>

void vvdiv(double *y, const double *a, const double *b, int64_t n);  // a / b
void vvrec(double *y, const double *x, int64_t n);                   // 1 / x
void vvsqrt(double *y, const double *x, int64_t n);
void vvrsqrt(double *y, const double *x, int64_t n);                 // 1 / sqrt(x)
void vvlog(double *y, const double *x, int64_t n);                   // natural logarithm
void vvlog2(double *y, const double *x, int64_t n);
void vvlog10(double *y, const double *x, int64_t n);
void vvlog1p(double *y, const double *x, int64_t n);                 // ln(1 + x)
void vvint(double *y, const double *x, int64_t n);                   // toward zero
void vvnint(double *y, const double *x, int64_t n);                  // nearest, halves to even
void vvceil(double *y, const double *x, int64_t n);
void vvfloor(double *y, const double *x, int64_t n);
void vvfabs(double *y, const double *x, int64_t n);
