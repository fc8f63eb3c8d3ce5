// Fits on a million rows: logit, probit and Poisson with 20 regressors and
// linear with 50 (plus the constant), loading timed apart from the fit, and
// the estimates compared with R's and statsmodels' on the same data.
//
//   vrw_models_bench --write-data DIR   writes the data (raw doubles)
//   VRW_BENCH_DATA=DIR vrw_models_bench  times the fits; run through
//                                        models_bench.sh, which times R and
//                                        statsmodels first
#include "varrow/varrow.h"

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <map>
#include <memory>
#include <random>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr int kRows = 1000000;
constexpr int kColumns = 50;       // regressors in the file; the first 20 serve the others

struct Model {
    const char *name;
    VRWRegressionModel code;
    int regressors;
    uint32_t options;
};

const Model kModels[] = {
    {"logit", VRW_MODEL_LOGIT, 20, 0},
    {"probit", VRW_MODEL_PROBIT, 20, 0},
    {"poisson", VRW_MODEL_POISSON, 20, 0},
    {"linear", VRW_MODEL_LINEAR, 50, 1},
};

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string data_dir()
{
    const char *dir = std::getenv("VRW_BENCH_DATA");
    return dir ? dir : ".";
}

bool write_doubles(const std::string &path, const std::vector<double> &values)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(values.data()),
              (std::streamsize)(values.size() * sizeof(double)));
    return (bool)out;
}

// An array the file fills (not zeroed first: R and numpy write their
// arrays once too).
using Doubles = std::unique_ptr<double[]>;

bool read_doubles(const std::string &path, Doubles &values, size_t n)
{
    values.reset(new double[n]);
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char *>(values.get()), (std::streamsize)(n * sizeof(double)));
    return (bool)in;
}

// The coefficient of regressor j (0 = constant) of the simulated models.
double true_coefficient(int j)
{
    return j == 0 ? 0.2 : 0.1 * (j % 7 - 3) + 0.05;
}

double normal_lower(double t)
{
    return 0.5 * std::erfc(-t / std::sqrt(2.0));
}

int write_data(const std::string &dir)
{
    std::mt19937_64 random(20240611);
    std::normal_distribution<double> normal;
    std::uniform_real_distribution<double> uniform;
    std::vector<double> x((size_t)kRows * kColumns);
    for (double &v : x)
        v = normal(random);
    std::map<std::string, std::vector<double>> outcomes;
    for (const char *name : {"logit", "probit", "poisson", "linear"})
        outcomes[name].resize(kRows);
    for (size_t r = 0; r < (size_t)kRows; r++) {
        double eta20 = true_coefficient(0), eta50 = true_coefficient(0);
        for (int j = 0; j < kColumns; j++) {
            double term = true_coefficient(j + 1) * x[(size_t)j * kRows + r];
            eta50 += term;
            if (j < 20)
                eta20 += term;
        }
        outcomes["logit"][r] = uniform(random) < 1 / (1 + std::exp(-eta20)) ? 1 : 0;
        outcomes["probit"][r] = uniform(random) < normal_lower(eta20) ? 1 : 0;
        std::poisson_distribution<int> counts(std::exp(0.5 * eta20));
        outcomes["poisson"][r] = counts(random);
        outcomes["linear"][r] = eta50 + normal(random);
    }
    bool ok = write_doubles(dir + "/x.bin", x);
    for (const auto &[name, y] : outcomes)
        ok = ok && write_doubles(dir + "/y_" + name + ".bin", y);
    std::printf("%s %d rows x %d regressors to %s\n", ok ? "wrote" : "FAILED to write", kRows,
                kColumns, dir.c_str());
    return ok ? 0 : 1;
}

// Coefficients and standard errors another program wrote (name,coefficient,
// standard_error a line), empty when it has not run.
struct Peer {
    std::vector<double> coefficients, standard_errors;
};

Peer read_peer(const std::string &path)
{
    Peer peer;
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::stringstream fields(line);
        std::string name, b, se;
        std::getline(fields, name, ',');
        std::getline(fields, b, ',');
        std::getline(fields, se, ',');
        peer.coefficients.push_back(std::stod(b));
        peer.standard_errors.push_back(std::stod(se));
    }
    return peer;
}

double max_relative_difference(const std::vector<double> &ours, const std::vector<double> &theirs)
{
    if (theirs.size() != ours.size())
        return NAN;
    double worst = 0;
    for (size_t i = 0; i < ours.size(); i++)
        worst = std::max(worst, std::fabs(ours[i] - theirs[i]) / std::fabs(theirs[i]));
    return worst;
}

struct Bench {
    VRWContext_s *context = nullptr;
};

Bench &bench()
{
    static Bench b = [] {
        Bench made;
        int32_t status = 0;
        made.context = vrw_context_init(CL_DEVICE_TYPE_CPU, &status);
        VRWCode_s *code = made.context ? vrw_compile_code(made.context, VRW_BENCH_KERNEL_DIR,
                                                          0x80 | 0x1 | 0x8 | 0x10, &status, 0,
                                                          nullptr, nullptr)
                                       : nullptr;
        if (!code || vrw_load_code(made.context, code) != 0)
            std::fprintf(stderr, "no context or kernels: %d\n", status);
        vrw_release_code(code);
        return made;
    }();
    return b;
}

void BM_Fit(benchmark::State &state, const Model &model)
{
    Bench &b = bench();
    int k = model.regressors + 1;
    std::vector<int32_t> columns(k);
    for (int j = 0; j < k; j++)
        columns[j] = j;
    std::vector<double> coefficients(k), standard_errors(k);
    double file_s = 0, library_load_s = 0, load_s = 0, fit_s = 0, log_likelihood = NAN;
    int32_t status = 0;
    VRWIterationLog log = {};
    for (auto _ : state) {
        // The file as R and statsmodels read it, then the matrix the
        // application would load: ones, the regressors, the outcome, column
        // after column.
        auto start = std::chrono::steady_clock::now();
        Doubles x, y;
        if (!read_doubles(data_dir() + "/x.bin", x, (size_t)kRows * kColumns)
            || !read_doubles(data_dir() + "/y_" + model.name + ".bin", y, kRows)) {
            state.SkipWithError("no data: run with --write-data first");
            return;
        }
        file_s = seconds_since(start);
        Doubles host(new double[(size_t)kRows * (k + 1)]);
        std::fill(host.get(), host.get() + kRows, 1.0);
        std::copy(x.get(), x.get() + (size_t)kRows * model.regressors, host.get() + kRows);
        std::copy(y.get(), y.get() + kRows, host.get() + (size_t)kRows * k);
        x.reset();
        auto library_start = std::chrono::steady_clock::now();
        VRWMatrixBuffer_s *matrix = vrw_load_matrix(b.context, host.get(), kRows, k + 1,
                                                    &status);
        VRWVectorBuffer_s *weights = vrw_load_ones_vector(b.context, kRows, &status);
        library_load_s = seconds_since(library_start);
        load_s = seconds_since(start);

        start = std::chrono::steady_clock::now();
        VRWRegression_s *r = vrw_init_regression(b.context, model.code);
        vrw_set_reg_data(r, matrix);
        vrw_set_reg_frequency_weights(r, weights);
        vrw_set_reg_dependent_column(r, k);
        vrw_set_reg_dependent_value_of_interest(r, 1.0);
        vrw_set_reg_constant_column(r, 0);
        vrw_set_reg_independent_columns(r, columns.data(), k);
        vrw_set_reg_options(r, model.options);
        vrw_set_reg_out_coefficients(r, coefficients.data());
        vrw_set_reg_out_standard_errors(r, standard_errors.data());
        vrw_set_reg_out_log_likelihood(r, &log_likelihood);
        status = vrw_run_regression(r, log);
        vrw_free_regression(r);
        fit_s = seconds_since(start);
        vrw_unload_vector(weights);
        vrw_unload_matrix(matrix);
        state.SetIterationTime(load_s + fit_s);
    }
    if (status != 0)
        state.SkipWithError(("fit failed: " + std::to_string(status)).c_str());
    state.counters["file_s"] = file_s;
    state.counters["vrw_load_s"] = library_load_s;
    state.counters["load_s"] = load_s; // the file read included
    state.counters["fit_s"] = fit_s;
    state.counters["iterations"] = (double)log[VRW_ITERATION_LOG_COUNT].count;
    Peer r_fit = read_peer(data_dir() + "/r_" + model.name + ".csv");
    Peer sm_fit = read_peer(data_dir() + "/sm_" + model.name + ".csv");
    state.counters["vs_R_b"] = max_relative_difference(coefficients, r_fit.coefficients);
    state.counters["vs_R_se"] = max_relative_difference(standard_errors, r_fit.standard_errors);
    state.counters["vs_sm_b"] = max_relative_difference(coefficients, sm_fit.coefficients);
    state.counters["vs_sm_se"] = max_relative_difference(standard_errors, sm_fit.standard_errors);
}

} // namespace

int main(int argc, char **argv)
{
    if (argc == 3 && std::strcmp(argv[1], "--write-data") == 0)
        return write_data(argv[2]);
    for (const Model &model : kModels)
        benchmark::RegisterBenchmark((std::string("Fit/") + model.name).c_str(), BM_Fit, model)
            ->Iterations(1)
            ->UseManualTime()
            ->Unit(benchmark::kMillisecond);
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    vrw_context_free(bench().context);
    return 0;
}
