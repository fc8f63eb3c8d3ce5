// Whole fits of logit, probit, Poisson, linear and negative binomial on 20
// regressors and a constant, timed as the application runs them from data
// already in memory: the start (the context and its kernel families built
// from PoCL's cache), the load of the data matrix, and the fit. Each
// repetition starts afresh, so the first one in a process is the first fit
// at its row count; whole_fit_bench.sh runs statsmodels on the same data
// beside it and prints the ratios.
//
//   vrw_whole_fit_bench --write-data DIR ROWS  writes x_ROWS.bin and y_<model>_ROWS.bin
//   VRW_BENCH_DATA=DIR VRW_BENCH_ROWS=ROWS vrw_whole_fit_bench --benchmark_repetitions=3
#include "varrow/varrow.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {

constexpr int kRegressors = 20;

struct Model {
    const char *name;
    VRWRegressionModel code;
};

const Model kModels[] = {
    {"logit", VRW_MODEL_LOGIT},
    {"probit", VRW_MODEL_PROBIT},
    {"poisson", VRW_MODEL_POISSON},
    {"linear", VRW_MODEL_LINEAR},
    {"negbin", VRW_MODEL_NEGATIVE_BINOMIAL},
};

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string data_path(const std::string &dir, const std::string &stem, long rows)
{
    return dir + "/" + stem + "_" + std::to_string(rows) + ".bin";
}

bool write_doubles(const std::string &path, const std::vector<double> &values)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(values.data()),
              (std::streamsize)(values.size() * sizeof(double)));
    return (bool)out;
}

bool read_doubles(const std::string &path, std::vector<double> &values, size_t n)
{
    values.resize(n);
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char *>(values.data()), (std::streamsize)(n * sizeof(double)));
    return (bool)in;
}

double true_coefficient(int j)
{
    return j == 0 ? 0.2 : 0.1 * (j % 7 - 3) + 0.05;
}

// Correlated regressors (each a mix of its own normal and a shared one) and
// one outcome a model, column-major.
int write_data(const std::string &dir, long rows)
{
    std::mt19937_64 random(20261210);
    std::normal_distribution<double> normal;
    std::uniform_real_distribution<double> uniform;
    size_t n = (size_t)rows;
    std::vector<double> x(n * kRegressors), shared(n);
    for (double &v : shared)
        v = normal(random);
    for (size_t j = 0; j < (size_t)kRegressors; j++)
        for (size_t r = 0; r < n; r++)
            x[j * n + r] = 0.8 * normal(random) + 0.6 * shared[r];
    std::vector<std::vector<double>> y(std::size(kModels), std::vector<double>(n));
    for (size_t r = 0; r < n; r++) {
        double eta = true_coefficient(0);
        for (int j = 0; j < kRegressors; j++)
            eta += 0.5 * true_coefficient(j + 1) * x[(size_t)j * n + r];
        y[0][r] = uniform(random) < 1 / (1 + std::exp(-eta)) ? 1 : 0;
        y[1][r] = uniform(random) < 0.5 * std::erfc(-eta / std::sqrt(2.0)) ? 1 : 0;
        y[2][r] = std::poisson_distribution<int>(std::exp(0.5 * eta))(random);
        y[3][r] = eta + normal(random);
        // Negative binomial with theta 2: Poisson of a gamma-mixed mean.
        double mean = std::exp(0.5 * eta) * std::gamma_distribution<double>(2.0, 0.5)(random);
        y[4][r] = std::poisson_distribution<int>(mean)(random);
    }
    bool ok = write_doubles(data_path(dir, "x", rows), x);
    for (size_t m = 0; m < std::size(kModels); m++)
        ok = ok && write_doubles(data_path(dir, std::string("y_") + kModels[m].name, rows), y[m]);
    std::printf("%s %ld rows x %d regressors to %s\n", ok ? "wrote" : "FAILED to write", rows,
                kRegressors, dir.c_str());
    return ok ? 0 : 1;
}

long bench_rows()
{
    const char *rows = std::getenv("VRW_BENCH_ROWS");
    return rows ? std::atol(rows) : 1000000;
}

// The data matrix of a model as the application hands it over: the
// constant, the regressors and the outcome, column after column, read
// before any timing. Empty when a file is missing.
std::vector<double> host_matrix(const Model &model, long rows)
{
    const char *dir = std::getenv("VRW_BENCH_DATA");
    std::string d = dir ? dir : ".";
    size_t n = (size_t)rows;
    std::vector<double> x, y, host;
    if (!read_doubles(data_path(d, "x", rows), x, n * kRegressors)
        || !read_doubles(data_path(d, std::string("y_") + model.name, rows), y, n))
        return host;
    host.assign(n, 1.0);
    host.insert(host.end(), x.begin(), x.end());
    host.insert(host.end(), y.begin(), y.end());
    return host;
}

bool build(VRWContext_s *context, uint32_t mask)
{
    int32_t status = 0;
    VRWCode_s *code = vrw_compile_code(context, VRW_BENCH_KERNEL_DIR, mask, &status, 0, nullptr,
                                       nullptr);
    bool built = code && vrw_load_code(context, code) == 0;
    vrw_release_code(code);
    return built;
}

void BM_Whole(benchmark::State &state, const Model &model)
{
    long rows = bench_rows();
    std::vector<double> host = host_matrix(model, rows);
    if (host.empty()) {
        state.SkipWithError("no data: run with --write-data first");
        return;
    }
    const int k = kRegressors + 1;
    std::vector<int32_t> columns(k);
    for (int j = 0; j < k; j++)
        columns[j] = j;
    std::vector<double> coefficients(k);
    double start_s = 0, load_s = 0, fit_s = 0;
    int32_t status = 0;
    VRWIterationLog log = {};
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        VRWContext_s *context = vrw_context_init(CL_DEVICE_TYPE_CPU, &status);
        VRWRegression_s *r = context ? vrw_init_regression(context, model.code) : nullptr;
        bool built = r && build(context, r->family_mask | VRW_FAMILY_COMMON);
        start_s = seconds_since(start);

        start = std::chrono::steady_clock::now();
        VRWMatrixBuffer_s *matrix =
            built ? vrw_load_matrix(context, host.data(), (int32_t)rows, k + 1, &status) : nullptr;
        VRWVectorBuffer_s *weights =
            matrix ? vrw_load_ones_vector(context, (uint32_t)rows, &status) : nullptr;
        load_s = seconds_since(start);

        start = std::chrono::steady_clock::now();
        if (weights) {
            vrw_set_reg_data(r, matrix);
            vrw_set_reg_frequency_weights(r, weights);
            vrw_set_reg_dependent_column(r, k);
            vrw_set_reg_dependent_value_of_interest(r, 1.0);
            vrw_set_reg_constant_column(r, 0);
            vrw_set_reg_independent_columns(r, columns.data(), k);
            vrw_set_reg_out_coefficients(r, coefficients.data());
            status = vrw_run_regression(r, log);
        } else if (status == 0) {
            status = VRW_KERNEL_NOT_LOADED;
        }
        fit_s = seconds_since(start);
        vrw_free_regression(r);
        vrw_unload_vector(weights);
        vrw_unload_matrix(matrix);
        vrw_context_free(context);
        state.SetIterationTime(start_s + load_s + fit_s);
    }
    if (status != 0)
        state.SkipWithError(("fit failed: " + std::to_string(status)).c_str());
    state.counters["rows"] = (double)rows;
    state.counters["start_s"] = start_s;
    state.counters["load_s"] = load_s;
    state.counters["fit_s"] = fit_s;
    state.counters["iterations"] = (double)log[VRW_ITERATION_LOG_COUNT].count;
    state.counters["b1"] = coefficients[1];
}

double minimum(const std::vector<double> &v)
{
    return *std::min_element(v.begin(), v.end());
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 4 && std::strcmp(argv[1], "--write-data") == 0)
        return write_data(argv[2], std::atol(argv[3]));
    for (const Model &model : kModels)
        benchmark::RegisterBenchmark((std::string("Whole/") + model.name).c_str(), BM_Whole,
                                     model)
            ->Iterations(1)
            ->UseManualTime()
            ->ComputeStatistics("min", minimum)
            ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    // The OpenCL platform's first start (the driver loaded, the device
    // probed) happens once a process, before the application's first fit:
    // done here, it leaves the first repetition comparable with the others.
    int32_t status = 0;
    vrw_context_free(vrw_context_init(CL_DEVICE_TYPE_CPU, &status));
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
