// Fits on a million rows: logit, probit and Poisson with 20 regressors and
// linear with 50 (plus the constant); on a hundred thousand rows Cox
// proportional hazards and a multinomial logit of 5 choices with 10. Loading
// is timed apart from the fit, the build of the model's kernel families from
// PoCL's cache apart from both, and the estimates are compared with R's and
// statsmodels' on the same data.
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
// The Cox model and the multinomial logit: the first rows of the first
// columns, in a file of their own.
constexpr int kSmallRows = 100000;
constexpr int kSmallColumns = 10;
constexpr int kChoices = 5;

struct Model {
    const char *name;
    VRWRegressionModel code;
    int regressors;
    uint32_t options;
    int rows;
    int choices;                   // the multinomial logit's; 0 otherwise
};

const Model kModels[] = {
    {"logit", VRW_MODEL_LOGIT, 20, 0, kRows, 0},
    {"probit", VRW_MODEL_PROBIT, 20, 0, kRows, 0},
    {"poisson", VRW_MODEL_POISSON, 20, 0, kRows, 0},
    {"linear", VRW_MODEL_LINEAR, 50, 1, kRows, 0},
    {"cox", VRW_MODEL_COX_PROPORTIONAL_HAZARDS, 10, 0, kSmallRows, 0},
    {"mlogit", VRW_MODEL_MULTINOMIAL_LOGIT, 10, 0, kSmallRows, kChoices},
};

// The regressors' file of a model and its column count.
std::pair<std::string, int> regressor_file(const Model &model)
{
    if (model.rows == kRows)
        return {"x.bin", kColumns};
    return {"x_small.bin", kSmallColumns};
}

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

// The coefficient of regressor j (0 = constant) of choice c of the
// multinomial logit, choice 0 the base.
double choice_coefficient(int c, int j)
{
    return c == 0 ? 0.0 : 0.1 * ((j + 3 * c) % 7 - 3) + 0.03 * c;
}

double normal_lower(double t)
{
    return 0.5 * std::erfc(-t / std::sqrt(2.0));
}

// Whole days to failure of an exponential model with a baseline hazard of
// 1/100 a day (ties, as recorded times have), censored by an independent
// exponential time of mean 300 days; and each row's choice among kChoices.
void write_small_outcomes(const std::vector<double> &x, std::mt19937_64 &random,
                          std::map<std::string, std::vector<double>> &outcomes)
{
    std::uniform_real_distribution<double> uniform;
    for (const char *name : {"cox", "cox_censored", "mlogit"})
        outcomes[name].resize(kSmallRows);
    for (size_t r = 0; r < (size_t)kSmallRows; r++) {
        double eta = 0, chances[kChoices], total = 0;
        for (int j = 0; j < kSmallColumns; j++)
            eta += true_coefficient(j + 1) * x[(size_t)j * kRows + r];
        double failure = -std::log(uniform(random)) * 100 / std::exp(eta);
        double censoring = -std::log(uniform(random)) * 300;
        outcomes["cox"][r] = std::ceil(std::min(failure, censoring));
        outcomes["cox_censored"][r] = censoring < failure ? 1 : 0;
        for (int c = 0; c < kChoices; c++) {
            double v = choice_coefficient(c, 0);
            for (int j = 0; j < kSmallColumns; j++)
                v += choice_coefficient(c, j + 1) * x[(size_t)j * kRows + r];
            total += chances[c] = std::exp(v);
        }
        double u = uniform(random) * total;
        int choice = 0;
        while (choice < kChoices - 1 && (u -= chances[choice]) > 0)
            choice++;
        outcomes["mlogit"][r] = choice;
    }
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
    write_small_outcomes(x, random, outcomes);
    std::vector<double> small((size_t)kSmallRows * kSmallColumns);
    for (size_t j = 0; j < (size_t)kSmallColumns; j++)
        std::copy_n(x.begin() + (long)(j * kRows), kSmallRows, small.begin() + (long)(j * kSmallRows));
    bool ok = write_doubles(dir + "/x.bin", x) && write_doubles(dir + "/x_small.bin", small);
    for (const auto &[name, y] : outcomes)
        ok = ok && write_doubles(dir + "/y_" + name + ".bin", y);
    std::printf("%s %d rows x %d regressors (and %d x %d) to %s\n",
                ok ? "wrote" : "FAILED to write", kRows, kColumns, kSmallRows, kSmallColumns,
                dir.c_str());
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

// Entries both sides hold at 0 (the Cox model's constant, the base
// choice's coefficients) are left out.
double max_relative_difference(const std::vector<double> &ours, const std::vector<double> &theirs)
{
    if (theirs.size() != ours.size())
        return NAN;
    double worst = 0;
    for (size_t i = 0; i < ours.size(); i++)
        if (ours[i] != 0 || theirs[i] != 0)
            worst = std::max(worst, std::fabs(ours[i] - theirs[i]) / std::fabs(theirs[i]));
    return worst;
}

// Builds the families of the mask the context lacks, as the application
// does before a fit; false when they cannot be built.
bool build_families(VRWContext_s *context, uint32_t mask)
{
    uint32_t missing = mask & ~context->loaded_family_mask;
    if (missing == 0)
        return true;
    int32_t status = 0;
    VRWCode_s *code = vrw_compile_code(context, VRW_BENCH_KERNEL_DIR, missing, &status, 0,
                                       nullptr, nullptr);
    bool built = code && vrw_load_code(context, code) == 0;
    if (!built)
        std::fprintf(stderr, "kernel families 0x%x not built: %d\n", missing, status);
    vrw_release_code(code);
    return built;
}

// The context and the common family, made once as the application makes
// them at its start.
struct Bench {
    VRWContext_s *context = nullptr;
    double start_s = 0;
};

Bench &bench()
{
    static Bench b = [] {
        Bench made;
        auto start = std::chrono::steady_clock::now();
        int32_t status = 0;
        made.context = vrw_context_init(CL_DEVICE_TYPE_CPU, &status);
        if (!made.context || !build_families(made.context, VRW_FAMILY_COMMON))
            std::fprintf(stderr, "no context or common kernels: %d\n", status);
        made.start_s = seconds_since(start);
        return made;
    }();
    return b;
}

// The data and the outputs of one fit: the matrix the application would
// load (ones, the regressors, the outcome, column after column), the
// weights and, for the Cox model, the censoring marks.
struct Loaded {
    VRWMatrixBuffer_s *matrix = nullptr;
    VRWVectorBuffer_s *weights = nullptr, *censoring = nullptr;
    ~Loaded()
    {
        vrw_unload_vector(censoring);
        vrw_unload_vector(weights);
        vrw_unload_matrix(matrix);
    }
};

// Reads the model's files and loads them; false when a file is missing.
bool load(VRWContext_s *context, const Model &model, Loaded &loaded, double &file_s,
          double &library_load_s, int32_t &status)
{
    auto start = std::chrono::steady_clock::now();
    auto [x_file, x_columns] = regressor_file(model);
    size_t rows = (size_t)model.rows, k = (size_t)model.regressors + 1;
    Doubles x, y, censored;
    if (!read_doubles(data_dir() + "/" + x_file, x, rows * x_columns)
        || !read_doubles(data_dir() + "/y_" + model.name + ".bin", y, rows))
        return false;
    bool cox = model.code == VRW_MODEL_COX_PROPORTIONAL_HAZARDS;
    if (cox && !read_doubles(data_dir() + "/y_cox_censored.bin", censored, rows))
        return false;
    file_s = seconds_since(start);
    Doubles host(new double[rows * (k + 1)]);
    std::fill(host.get(), host.get() + rows, 1.0);
    std::copy(x.get(), x.get() + rows * (k - 1), host.get() + rows);
    std::copy(y.get(), y.get() + rows, host.get() + rows * k);
    x.reset();
    std::vector<int32_t> marks;
    if (cox)
        marks.assign(censored.get(), censored.get() + rows);
    auto library_start = std::chrono::steady_clock::now();
    loaded.matrix = vrw_load_matrix(context, host.get(), (int32_t)rows, (int32_t)k + 1, &status);
    loaded.weights = vrw_load_ones_vector(context, (uint32_t)rows, &status);
    if (cox)
        loaded.censoring = vrw_load_integer_vector(context, marks.data(), (uint32_t)rows,
                                                   &status);
    library_load_s = seconds_since(library_start);
    return true;
}

void BM_Fit(benchmark::State &state, const Model &model)
{
    Bench &b = bench();
    int k = model.regressors + 1;
    std::vector<int32_t> columns(k);
    for (int j = 0; j < k; j++)
        columns[j] = j;
    size_t sets = model.choices > 0 ? (size_t)model.choices : 1;
    std::vector<double> coefficients(sets * k), standard_errors(sets * k), choices(sets);
    for (size_t c = 0; c < sets; c++)
        choices[c] = (double)c;
    double file_s = 0, library_load_s = 0, load_s = 0, build_s = 0, fit_s = 0;
    double log_likelihood = NAN;
    int32_t status = 0;
    VRWIterationLog log = {};
    for (auto _ : state) {
        auto start = std::chrono::steady_clock::now();
        Loaded loaded;
        if (!load(b.context, model, loaded, file_s, library_load_s, status)) {
            state.SkipWithError("no data: run with --write-data first");
            return;
        }
        load_s = seconds_since(start);

        start = std::chrono::steady_clock::now();
        VRWRegression_s *r = vrw_init_regression(b.context, model.code);
        bool built = build_families(b.context, r->family_mask);
        build_s = seconds_since(start);
        start = std::chrono::steady_clock::now();
        vrw_set_reg_data(r, loaded.matrix);
        vrw_set_reg_frequency_weights(r, loaded.weights);
        vrw_set_reg_censoring(r, loaded.censoring);
        vrw_set_reg_dependent_column(r, k);
        vrw_set_reg_dependent_value_of_interest(r, 1.0);
        if (model.choices > 0) {
            vrw_set_reg_dependent_values(r, choices.data(), (uint32_t)model.choices);
            vrw_set_reg_omitted_dependent_value(r, 0.0);
        }
        vrw_set_reg_constant_column(r, 0);
        vrw_set_reg_independent_columns(r, columns.data(), k);
        vrw_set_reg_options(r, model.options);
        vrw_set_reg_out_coefficients(r, coefficients.data());
        vrw_set_reg_out_standard_errors(r, standard_errors.data());
        vrw_set_reg_out_log_likelihood(r, &log_likelihood);
        status = built ? vrw_run_regression(r, log) : VRW_KERNEL_NOT_LOADED;
        vrw_free_regression(r);
        fit_s = seconds_since(start);
        state.SetIterationTime(load_s + build_s + fit_s);
    }
    if (status != 0)
        state.SkipWithError(("fit failed: " + std::to_string(status)).c_str());
    state.counters["start_s"] = b.start_s; // the context and the common family, once
    state.counters["file_s"] = file_s;
    state.counters["vrw_load_s"] = library_load_s;
    state.counters["load_s"] = load_s; // the file read included
    state.counters["build_s"] = build_s;
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
