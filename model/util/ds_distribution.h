#pragma once
// The link functions and densities the regression classes evaluate per row.

#include <cmath>

inline double ds_logistic_cdf(double x)
{
    return 1.0 / (std::exp(-x) + 1.0);
}

inline double ds_logistic_pdf(double x)
{
    const double p = ds_logistic_cdf(x);
    return (1.0 - p) * p;
}

inline double ds_normal_cdf(double x)
{
    return std::erfc(x * -0.7071067811865476) * 0.5;
}

inline double ds_normal_pdf(double x)
{
    return std::exp(-0.5 * x * x) * 0.3989422804014326;
}
