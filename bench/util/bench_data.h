#pragma once
// The data every benchmark here shares with numpy_peers.py: value i comes
// from splitmix64(i), so both programs time the same numbers.

#include <cstddef>
#include <cstdint>
#include <vector>

inline uint64_t bench_splitmix64(uint64_t x)
{
    x += 0x9e3779b97f4a7c15ULL;
    x = (x ^ (x >> 30)) * 0xbf58476d1ce4e5b9ULL;
    x = (x ^ (x >> 27)) * 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
}

// Doubles spread over [-500000, 500000).
inline std::vector<double> bench_values(int64_t n)
{
    std::vector<double> v(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i)
        v[i] = (double(bench_splitmix64(uint64_t(i)) >> 11) * 0x1.0p-53 - 0.5) * 1e6;
    return v;
}

// Frequency weights 0 to 9.
inline std::vector<int32_t> bench_weights(int64_t n)
{
    std::vector<int32_t> w(static_cast<size_t>(n));
    for (int64_t i = 0; i < n; ++i)
        w[i] = int32_t(bench_splitmix64(uint64_t(i) + (uint64_t(1) << 40)) % 10);
    return w;
}
