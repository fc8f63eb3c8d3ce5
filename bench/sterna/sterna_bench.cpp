// Time of the distribution functions per call, and of the statistics on
// large samples. time_peers.R and time_peers.py time R and scipy on the same
// work.
#include "platform/sterna/sterna.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <random>
#include <vector>

namespace {

std::vector<double> sortedNormalSample(int64_t n)
{
    std::mt19937_64 random(1);
    std::normal_distribution<double> normal(0, 1);
    std::vector<double> x(static_cast<size_t>(n));
    for (double &v : x)
        v = normal(random);
    std::sort(x.begin(), x.end());
    return x;
}

void pValueT(benchmark::State &state)
{
    double t = 0.5;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ds_p_value_t(t, 30, 0));
        t += 1e-9;
    }
}
BENCHMARK(pValueT);

void pValueF(benchmark::State &state)
{
    double f = 2.5;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ds_p_value_f(f, 3, 200));
        f += 1e-9;
    }
}
BENCHMARK(pValueF);

void criticalValueF(benchmark::State &state)
{
    double level = 0.05;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ds_critical_value_f(level, 3, 200));
        level += 1e-12;
    }
}
BENCHMARK(criticalValueF);

void ppndCall(benchmark::State &state)
{
    double p = 0.025;
    for (auto _ : state) {
        benchmark::DoNotOptimize(ppnd(p, nullptr));
        p += 1e-12;
    }
}
BENCHMARK(ppndCall);

// Tail of D_n at the 5% and 0.1% points (body: Pelz-Good or the exact
// matrix; tail: Smirnov's sum).
void pValueKolmogorovSmirnov(benchmark::State &state)
{
    const int64_t n = state.range(0);
    const double d = ds_critical_value_kolmogorov_smirnov(state.range(1) / 1000.0, n);
    for (auto _ : state)
        benchmark::DoNotOptimize(ds_p_value_kolmogorov_smirnov(d, n));
}
BENCHMARK(pValueKolmogorovSmirnov)->ArgsProduct({{100, 1000, 1000000}, {50, 1}})->Unit(benchmark::kMicrosecond);

void criticalValueKolmogorovSmirnov(benchmark::State &state)
{
    const int64_t n = state.range(0);
    for (auto _ : state)
        benchmark::DoNotOptimize(ds_critical_value_kolmogorov_smirnov(0.05, n));
}
BENCHMARK(criticalValueKolmogorovSmirnov)->Arg(100)->Arg(1000)->Arg(1000000)->Unit(benchmark::kMicrosecond);

void kieferTail(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ds_p_value_kolmogorov_smirnov_k_sample(3.0, double(state.range(0))));
}
BENCHMARK(kieferTail)->Arg(1)->Arg(3)->Arg(15)->Unit(benchmark::kMicrosecond);

void kieferCriticalValue(benchmark::State &state)
{
    for (auto _ : state)
        benchmark::DoNotOptimize(ds_critical_value_kolmogorov_smirnov_k_sample(0.05, double(state.range(0))));
}
BENCHMARK(kieferCriticalValue)->Arg(3)->Arg(15)->Unit(benchmark::kMicrosecond);

void shapiroWilk(benchmark::State &state)
{
    const std::vector<double> x = sortedNormalSample(state.range(0));
    for (auto _ : state) {
        const double w = ds_shapiro_wilk(x.data(), nullptr, int64_t(x.size()));
        benchmark::DoNotOptimize(ds_p_value_shapiro_wilk(w, int64_t(x.size())));
    }
}
BENCHMARK(shapiroWilk)->Arg(50)->Arg(5000)->Unit(benchmark::kMicrosecond);

void kolmogorovSmirnovNormalStatistic(benchmark::State &state)
{
    const std::vector<double> x = sortedNormalSample(state.range(0));
    for (auto _ : state)
        benchmark::DoNotOptimize(ds_kolmogorov_smirnov_normal(x.data(), nullptr, int64_t(x.size()), 0, 1));
}
BENCHMARK(kolmogorovSmirnovNormalStatistic)->Arg(1000000)->Unit(benchmark::kMillisecond);

void kSampleStatistic(benchmark::State &state)
{
    const std::vector<double> x = sortedNormalSample(state.range(0));
    std::vector<int32_t> groups(x.size());
    std::mt19937_64 random(2);
    for (int32_t &g : groups)
        g = int32_t(random() % 4);
    for (auto _ : state)
        benchmark::DoNotOptimize(ds_kolmogorov_smirnov_k_sample(x.data(), groups.data(), nullptr, int64_t(x.size()), 4));
}
BENCHMARK(kSampleStatistic)->Arg(1000000)->Unit(benchmark::kMillisecond);

}  // namespace

BENCHMARK_MAIN();
