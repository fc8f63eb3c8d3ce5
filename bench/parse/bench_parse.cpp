// Cell parsers and display formatters, per value. The importers call the
// parsers once per field, the grids the formatters once per visible cell.
#include "model/DSDurationFormatter.h"
#include "model/DSSmallNumberFormatter.h"
#include "model/util/ds_colors.h"
#include "model/util/ds_parse.h"

#include <benchmark/benchmark.h>
#include <random>
#include <string>
#include <vector>

namespace {

std::vector<std::string> texts(const char *kind)
{
    std::mt19937 rng(7);
    std::vector<std::string> out;
    char buffer[64];
    for (int i = 0; i < 4096; ++i) {
        const unsigned r = rng();
        if (std::string(kind) == "number")
            snprintf(buffer, sizeof buffer, "%u.%02u", r % 100000, r % 100);
        else if (std::string(kind) == "date")
            snprintf(buffer, sizeof buffer, "%u/%u/%u %u:%02u:%02u", 1 + r % 12, 1 + r % 28, 1950 + r % 70, r % 24,
                     r % 60, (r >> 8) % 60);
        else
            snprintf(buffer, sizeof buffer, "%uh %um %us", r % 100, r % 60, (r >> 8) % 60);
        out.emplace_back(buffer);
    }
    return out;
}

template <typename Parse>
void run(benchmark::State &state, const char *kind, Parse parse)
{
    const auto inputs = texts(kind);
    size_t i = 0;
    for (auto _ : state) {
        benchmark::DoNotOptimize(parse(inputs[i].c_str()));
        i = (i + 1) % inputs.size();
    }
    state.SetItemsProcessed(state.iterations());
}

void ParseNumber(benchmark::State &state)
{
    run(state, "number", [](const char *s) { return ds_parse_number(s, "$,"); });
}
void ParseDate(benchmark::State &state)
{
    run(state, "date", [](const char *s) { return ds_parse_date(s, nullptr); });
}
void ParseDuration(benchmark::State &state)
{
    run(state, "duration", [](const char *s) { return ds_parse_duration(s); });
}
void HueForText(benchmark::State &state)
{
    run(state, "date", [](const char *s) { return ds_hue_for_text(s); });
}

void FormatDecimal(benchmark::State &state)
{
    DSSmallNumberFormatter f(DSPlatformNumberFormatter::DecimalStyle, QLocale(QLocale::English, QLocale::UnitedStates));
    f.setUsesScientificFormatter(true);
    double x = 0.000123;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.stringFromNumber(x));
        x *= 1.37;
        if (x > 1e9)
            x = 0.000123;
    }
    state.SetItemsProcessed(state.iterations());
}

void FormatDuration(benchmark::State &state)
{
    DSDurationFormatter f(DSPlatformNumberFormatter::DurationStyle, QLocale(QLocale::English, QLocale::UnitedStates));
    double x = 0.5;
    for (auto _ : state) {
        benchmark::DoNotOptimize(f.stringFromNumber(x));
        x = x * 1.37 + 1;
        if (x > 1e7)
            x = 0.5;
    }
    state.SetItemsProcessed(state.iterations());
}

} // namespace

BENCHMARK(ParseNumber);
BENCHMARK(ParseDate);
BENCHMARK(ParseDuration);
BENCHMARK(HueForText);
BENCHMARK(FormatDecimal);
BENCHMARK(FormatDuration);
BENCHMARK_MAIN();
