// Build times of the kernel families, the first run of a kernel (PoCL
// compiles its work-group code then) and the aggregates on a million rows.
// Run through build_times.sh, which runs it once without PoCL's kernel cache
// (cold) and once with a filled cache (warm).
#include "varrow/varrow.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <random>
#include <vector>

namespace {

VRWContext_s *make_context()
{
    int32_t status = 0;
    VRWContext_s *context = vrw_context_init(CL_DEVICE_TYPE_CPU, &status);
    if (!context)
        std::fprintf(stderr, "no OpenCL CPU device: %d\n", status);
    return context;
}

bool load(VRWContext_s *context, uint32_t families)
{
    int32_t status = 0;
    VRWCode_s *code = vrw_compile_code(context, VRW_BENCH_KERNEL_DIR, families, &status, 0,
                                       nullptr, nullptr);
    if (!code)
        return false;
    status = vrw_load_code(context, code);
    vrw_release_code(code);
    return status == 0;
}

void BM_BuildFamily(benchmark::State &state)
{
    VRWContext_s *context = make_context();
    uint32_t family = (uint32_t)state.range(0);
    for (auto _ : state) {
        if (!load(context, family)) {
            state.SkipWithError("build failed");
            break;
        }
        state.PauseTiming();
        vrw_release_kernels(context);
        state.ResumeTiming();
    }
    vrw_context_free(context);
}
BENCHMARK(BM_BuildFamily)
    ->ArgName("family")
    ->Arg(0x1)->Arg(0x2)->Arg(0x4)->Arg(0x8)->Arg(0x10)->Arg(0x20)->Arg(0x40)->Arg(0x80)
    ->Arg(0x100)
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond);

struct Data {
    std::vector<double> column, weights;
};

Data make_data(int rows)
{
    std::mt19937_64 random(5);
    std::normal_distribution<double> normal(1e6, 1.0);
    Data d{std::vector<double>(rows), std::vector<double>(rows)};
    for (int r = 0; r < rows; r++) {
        d.column[r] = normal(random);
        d.weights[r] = (double)(random() % 4);
    }
    return d;
}

// The first call of a kernel in a new context, after its family is built:
// the cost a user's first fit pays on top of the build.
void BM_FirstAggregateRun(benchmark::State &state)
{
    Data d = make_data(1024);
    for (auto _ : state) {
        state.PauseTiming();
        VRWContext_s *context = make_context();
        load(context, 0x80);
        int32_t status = 0;
        VRWMatrixBuffer_s *m = vrw_load_matrix(context, d.column.data(), 1024, 1, &status);
        VRWVectorBuffer_s *w = vrw_load_float_vector(context, d.weights.data(), 1024, &status);
        state.ResumeTiming();
        benchmark::DoNotOptimize(vrw_compute_column_centered_sum_of_squares(context, m, w, 0,
                                                                            &status));
        state.PauseTiming();
        vrw_unload_matrix(m);
        vrw_unload_vector(w);
        vrw_context_free(context);
        state.ResumeTiming();
    }
}
BENCHMARK(BM_FirstAggregateRun)->Iterations(2)->Unit(benchmark::kMillisecond);

void BM_Aggregate(benchmark::State &state)
{
    const int rows = (int)state.range(0);
    Data d = make_data(rows);
    VRWContext_s *context = make_context();
    load(context, 0x80);
    int32_t status = 0;
    VRWMatrixBuffer_s *m = vrw_load_matrix(context, d.column.data(), rows, 1, &status);
    VRWVectorBuffer_s *w = vrw_load_float_vector(context, d.weights.data(), rows, &status);
    vrw_compute_column_centered_sum_of_squares(context, m, w, 0, &status);
    for (auto _ : state)
        benchmark::DoNotOptimize(vrw_compute_column_centered_sum_of_squares(context, m, w, 0,
                                                                            &status));
    state.SetItemsProcessed(state.iterations() * rows);
    vrw_unload_matrix(m);
    vrw_unload_vector(w);
    vrw_context_free(context);
}
BENCHMARK(BM_Aggregate)->ArgName("rows")->Arg(1000000)->Unit(benchmark::kMillisecond);

// Linear predictors of a million rows over twenty regressors.
void BM_FittedValues(benchmark::State &state)
{
    const int rows = 1000000, k = 20;
    std::vector<double> data((size_t)rows * k);
    std::mt19937_64 random(9);
    std::normal_distribution<double> normal;
    for (double &v : data)
        v = normal(random);
    std::vector<int32_t> columns(k);
    std::vector<double> estimates(k);
    for (int j = 0; j < k; j++) {
        columns[j] = j;
        estimates[j] = 0.1 * j;
    }
    VRWContext_s *context = make_context();
    load(context, 0x80);
    int32_t status = 0;
    VRWMatrixBuffer_s *m = vrw_load_matrix(context, data.data(), rows, k, &status);
    VRWMleBuffers_s *b = vrw_create_mle_buffers(context, columns.data(), k, nullptr, k, nullptr, 0,
                                                nullptr, 0, 0, 0, nullptr, 0, m->blocks, &status);
    vrw_write_fp_buffer(context, b->estimates, k, estimates.data());
    VRWKernelRun_s run{};
    vrw_fitted_kernel_run_init(&run, context, m, nullptr, b, b->fitted);
    for (auto _ : state) {
        vrw_run_kernels(context, &run, 1);
        clFinish(context->queue);
    }
    state.SetItemsProcessed(state.iterations() * rows);
    vrw_free_mle_buffers(b);
    vrw_unload_matrix(m);
    vrw_context_free(context);
}
BENCHMARK(BM_FittedValues)->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
