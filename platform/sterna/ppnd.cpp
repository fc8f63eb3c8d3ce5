// The inverse standard normal distribution function, Wichura's algorithm
// AS 241 (PPND16, Applied Statistics 37, 1988): rational approximations in
// three regions, accurate to about 1 part in 10^16.
#include "platform/sterna/sterna.h"
#include "platform/sterna/sterna_internal.h"

#include <cmath>

namespace {

// Horner evaluation of c[0] + c[1] r + ... + c[7] r^7.
double polynomial(const double (&c)[8], double r)
{
    double sum = c[7];
    for (int i = 6; i >= 0; --i)
        sum = sum * r + c[i];
    return sum;
}

// p close to 1/2: |p - 1/2| <= 0.425.
const double a[8] = {3.3871328727963666080e0, 1.3314166789178437745e+2, 1.9715909503065514427e+3,
                     1.3731693765509461125e+4, 4.5921953931549871457e+4, 6.7265770927008700853e+4,
                     3.3430575583588128105e+4, 2.5090809287301226727e+3};
const double b[8] = {1.0, 4.2313330701600911252e+1, 6.8718700749205790830e+2, 5.3941960214247511077e+3,
                     2.1213794301586595867e+4, 3.9307895800092710610e+4, 2.8729085735721942674e+4,
                     5.2264952788528545610e+3};
// p not close to 0, 1/2 or 1: sqrt(-ln min(p, 1 - p)) <= 5.
const double c[8] = {1.42343711074968357734e0, 4.63033784615654529590e0, 5.76949722146069140550e0,
                     3.64784832476320460504e0, 1.27045825245236838258e0, 2.41780725177450611770e-1,
                     2.27238449892691845833e-2, 7.74545014278341407640e-4};
const double d[8] = {1.0, 2.05319162663775882187e0, 1.67638483018380384940e0, 6.89767334985100004550e-1,
                     1.48103976427480074590e-1, 1.51986665636164571966e-2, 5.47593808499534494600e-4,
                     1.05075007164441684324e-9};
// p near 0 or 1.
const double e[8] = {6.65790464350110377720e0, 5.46378491116411436990e0, 1.78482653991729133580e0,
                     2.96560571828504891230e-1, 2.65321895265761230930e-2, 1.24266094738807843860e-3,
                     2.71155556874348757815e-5, 2.01033439929228813265e-7};
const double f[8] = {1.0, 5.99832206555887937690e-1, 1.36929880922735805310e-1, 1.48753612908506148525e-2,
                     7.86869131145613259100e-4, 1.84631831751005468180e-5, 1.42151175831644588870e-7,
                     2.04426310338993978564e-15};

}  // namespace

double ppnd(double p, int *fault) noexcept
{
    // The published routine answers 0 with its fault flag outside (0, 1);
    // here the ends give the infinite quantiles, so that a critical value at
    // a level of 0 or 1 still orders correctly against every statistic.
    const bool inside = p > 0 && p < 1;
    if (fault)
        *fault = inside ? 0 : 1;
    if (!inside)
        return p == 0 ? -sterna::infinite : p == 1 ? sterna::infinite : sterna::not_a_number;

    const double q = p - 0.5;
    if (std::fabs(q) <= 0.425) {
        const double r = 0.180625 - q * q;
        return q * polynomial(a, r) / polynomial(b, r);
    }
    double r = std::sqrt(-std::log(q < 0 ? p : 1 - p));
    double z;
    if (r <= 5) {
        r -= 1.6;
        z = polynomial(c, r) / polynomial(d, r);
    } else {
        r -= 5;
        z = polynomial(e, r) / polynomial(f, r);
    }
    return q < 0 ? -z : z;
}
