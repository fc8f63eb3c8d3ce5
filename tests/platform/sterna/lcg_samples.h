// The samples of fixtures/lcg_samples.R, made here bit for bit: the
// Park-Miller sequence, and the same shapes from its uniforms.
#pragma once

#include <cmath>
#include <cstdint>
#include <string>
#include <vector>

inline std::vector<double> lcgUniforms(int64_t count, int64_t seed)
{
    constexpr int64_t modulus = 2147483647;
    std::vector<double> u(static_cast<size_t>(count));
    int64_t x = seed;
    for (double &value : u) {
        x = 16807 * x % modulus;
        value = double(x) / double(modulus);
    }
    return u;
}

inline std::vector<double> lcgSample(const std::string &shape, int64_t n, int64_t seed)
{
    if (shape == "normal") {
        const std::vector<double> u = lcgUniforms(12 * n, seed);
        std::vector<double> x(static_cast<size_t>(n));
        for (int64_t i = 0; i < n; ++i) {
            long double sum = 0;  // as R's colSums
            for (int k = 0; k < 12; ++k)
                sum += u[size_t(12 * i + k)];
            x[size_t(i)] = double(sum) - 6;
        }
        return x;
    }
    std::vector<double> x = lcgUniforms(n, seed);
    for (double &v : x) {
        if (shape == "exponential")
            v = -std::log(v);
        else if (shape == "cubic")
            v = std::pow(v - 0.5, 3.0);
        else if (shape == "rounded")
            v = std::nearbyint(10 * v);
    }
    return x;
}
