#pragma once
// The rows of the descriptive-statistics fixture, made from the recipe that
// fixtures/make_numstats_data.py follows for R (see there), so the test and
// R see the same numbers without a data file.

#include <cmath>
#include <cstdint>
#include <limits>
#include <vector>

struct numstats_rows {
    std::vector<double> x, y, z, k;
    std::vector<int32_t> w, g;
    std::vector<uint8_t> mask;        // the row mask, bit i of byte i / 8
    std::vector<uint8_t> x_missing;   // NaN or flagged
    std::vector<uint8_t> y_missing;   // flagged
    std::vector<uint8_t> z_missing;   // NaN
};

inline uint64_t numstats_splitmix64(uint64_t x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

inline numstats_rows make_numstats_rows(int64_t n)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    auto draw = [](int64_t i, uint64_t s) { return numstats_splitmix64(uint64_t(i) + (s << 40)); };
    auto uniform = [&](int64_t i, uint64_t s) { return double(draw(i, s) >> 11) * 0x1.0p-53; };
    auto set_bit = [](std::vector<uint8_t> &bits, int64_t i) { bits[size_t(i / 8)] |= uint8_t(1u << (i % 8)); };

    numstats_rows r;
    const size_t bytes = size_t((n + 7) / 8);
    r.mask.assign(bytes, 0);
    r.x_missing.assign(bytes, 0);
    r.y_missing.assign(bytes, 0);
    r.z_missing.assign(bytes, 0);
    for (int64_t i = 0; i < n; ++i) {
        double x = (uniform(i, 0) - 0.5) * 1000.0;
        if (uniform(i, 1) < 0.02)
            x = nan;
        double z = (uniform(i, 2) - 0.5) * 100.0;
        if (uniform(i, 3) < 0.02)
            z = nan;
        double noise = 0;
        for (uint64_t s = 10; s < 22; ++s)
            noise = noise + uniform(i, s);
        double k = std::floor(uniform(i, 4) * 201.0) / 4.0;
        if (uniform(i, 5) < 0.01)
            k = nan;
        const bool flagged = draw(i, 8) % 100 == 0;
        r.x.push_back(x);
        r.y.push_back(1e9 + (noise - 6.0));
        r.z.push_back(z);
        r.k.push_back(k);
        r.w.push_back(int32_t(draw(i, 6) % 6));
        r.g.push_back(int32_t(draw(i, 9) % 9) - 1);
        if (draw(i, 7) % 10 < 7)
            set_bit(r.mask, i);
        if (std::isnan(x) || flagged)
            set_bit(r.x_missing, i);
        if (flagged)
            set_bit(r.y_missing, i);
        if (std::isnan(z))
            set_bit(r.z_missing, i);
    }
    return r;
}
