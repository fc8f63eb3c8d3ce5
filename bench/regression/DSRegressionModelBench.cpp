// A logit of 1,000,000 rows on 20 stored numeric columns of a document,
// from the columns to the estimates: the model's data matrix built from the
// columns straight into the library's mapping of its device buffer (the
// load), the model mask and frequency weights, the kernels built from PoCL's
// cache and the fit; each step timed on its own. The estimates are compared
// with statsmodels' Logit on the same data (model_bench.py).
//
//   VRW_BENCH_DATA=DIR regression_model_bench   run through model_bench.sh,
//                                               which writes the data once
//                                               and times statsmodels first
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/ds_application_defaults.h"
#include "app/ds_register_model_classes.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "regression/DSExplanatoryColumnVariable.h"
#include "regression/DSOutcomeVariable.h"
#include "regression/DSRegressionModel.h"
#include "varrow/varrow.h"

#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <memory>
#include <sstream>
#include <string>
#include <vector>

namespace {

constexpr qint64 kRows = 1000000;
constexpr int kRegressors = 20;

double seconds_since(std::chrono::steady_clock::time_point start)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

std::string data_dir()
{
    const char *dir = std::getenv("VRW_BENCH_DATA");
    return dir ? dir : ".";
}

// The first n doubles of a file; empty when it is shorter.
std::vector<double> read_doubles(const std::string &path, size_t n)
{
    std::vector<double> values(n);
    std::ifstream in(path, std::ios::binary);
    in.read(reinterpret_cast<char *>(values.data()), std::streamsize(n * sizeof(double)));
    return in ? values : std::vector<double>();
}

// Coefficients statsmodels wrote (name,coefficient,standard_error a line).
std::vector<double> read_peer(const std::string &path, std::vector<double> *errors)
{
    std::vector<double> coefficients;
    std::ifstream in(path);
    std::string line;
    std::getline(in, line);
    while (std::getline(in, line)) {
        std::stringstream fields(line);
        std::string name, b, se;
        std::getline(fields, name, ',');
        std::getline(fields, b, ',');
        std::getline(fields, se, ',');
        coefficients.push_back(std::stod(b));
        errors->push_back(std::stod(se));
    }
    return coefficients;
}

double max_relative_difference(const std::vector<double> &ours, const std::vector<double> &theirs)
{
    if (ours.size() != theirs.size())
        return NAN;
    double worst = 0;
    for (size_t i = 0; i < ours.size(); ++i)
        worst = std::max(worst, std::fabs(ours[i] - theirs[i]) / std::fabs(theirs[i]));
    return worst;
}

bool build_families(VRWContext_s *context, uint32_t mask)
{
    const uint32_t missing = mask & ~context->loaded_family_mask;
    if (missing == 0)
        return true;
    int32_t status = 0;
    VRWCode_s *code = vrw_compile_code(context, VRW_BENCH_KERNEL_DIR, missing, &status, 0, nullptr, nullptr);
    const bool built = code && vrw_load_code(context, code) == 0;
    vrw_release_code(code);
    return built;
}

// A document table of the data's 20 regressors and logit outcome as stored
// columns whose values are decoded (as after their first read), a model of
// all of them, and the application's context with its common kernels.
struct Document
{
    std::unique_ptr<DSManagedObjectContext> context;
    DSRegressionModel *model = nullptr;
    DSOutcomeVariable *outcome = nullptr;
    VRWContext_s *vrw = nullptr;
    bool ok = false;

    Document()
    {
        ds_register_application_defaults();
        ds_register_model_classes();
        const std::vector<double> x = read_doubles(data_dir() + "/x.bin", size_t(kRows) * kRegressors);
        const std::vector<double> y = read_doubles(data_dir() + "/y_logit.bin", size_t(kRows));
        if (x.empty() || y.empty())
            return;
        context = std::make_unique<DSManagedObjectContext>(DSManagedObjectModel::modelNamed(QStringLiteral("DSDataModel006")));
        context->setUndoManager(nullptr);
        auto *table = context->insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        table->setNum_records(kRows);
        QList<DSDataColumn *> stored;
        QList<DSColumn *> columns;
        for (int c = 0; c <= kRegressors; ++c) {
            auto *column = context->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
            column->setName(c < kRegressors ? QStringLiteral("x%1").arg(c + 1) : QStringLiteral("y"));
            table->insertNewColumns({column}, c);
            const double *values = c < kRegressors ? x.data() + size_t(c) * kRows : y.data();
            for (qint64 r = 0; r < kRows; ++r)
                column->appendValue(values[r]);
            stored.append(column);
            columns.append(column);
        }
        DSDataColumn::saveAfterImport(stored);
        for (DSColumn *column : columns) {
            const double *values = nullptr;
            static_cast<DSNumericColumn *>(column)->getValues(&values);
        }
        model = context->insertNewObject<DSRegressionModel>(QStringLiteral("DSRegressionModel"));
        table->insertRegressionModel(model, 0);
        model->setTable(table);
        for (int c = 0; c < kRegressors; ++c)
            model->insertNewExplanatoryVariableWithColumn(columns[c]);
        outcome = context->insertNewObject<DSOutcomeVariable>(QStringLiteral("DSOutcomeVariable"));
        outcome->setColumn(columns[kRegressors]);
        outcome->setTreat_as_categories(columns[kRegressors]->treat_as_categories());
        model->insertOutcomeVariable(outcome, 0);
        outcome->setModel(model);
        int32_t status = 0;
        vrw = vrw_context_init(CL_DEVICE_TYPE_CPU, &status);
        ok = vrw && build_families(vrw, VRW_FAMILY_COMMON);
    }
    ~Document()
    {
        if (model)
            model->unloadDataMatrix();
        if (outcome)
            outcome->unloadBuffers();
        vrw_context_free(vrw);
    }
};

Document &document()
{
    static Document d;
    return d;
}

void BM_LogitFromColumns(benchmark::State &state)
{
    Document &d = document();
    if (!d.ok) {
        state.SkipWithError("no data or no context: run through model_bench.sh");
        return;
    }
    const qint64 k = kRegressors + 1;
    std::vector<double> coefficients(static_cast<size_t>(k)), errors(static_cast<size_t>(k));
    double load_s = 0, weights_s = 0, kernels_s = 0, fit_s = 0;
    int32_t status = 0;
    VRWIterationLog log = {};
    for (auto _ : state) {
        d.model->unloadDataMatrix();
        auto start = std::chrono::steady_clock::now();
        status = d.model->rebuildDataMatrix(d.vrw);
        load_s = seconds_since(start);

        start = std::chrono::steady_clock::now();
        const uint8_t *mask = nullptr;
        const qint64 length = d.outcome->getModelMask(&mask, nullptr, 0);
        VRWVectorBuffer_s *weights = d.model->frequencyBufferForMask(mask, length, d.vrw);
        weights_s = seconds_since(start);

        start = std::chrono::steady_clock::now();
        VRWRegression_s *r = vrw_init_regression(d.vrw, VRW_MODEL_LOGIT);
        const bool built = build_families(d.vrw, r->family_mask);
        kernels_s = seconds_since(start);

        start = std::chrono::steady_clock::now();
        std::vector<int32_t> columns{0};
        for (DSExplanatoryVariable *variable : d.model->sortedIncludedExplanatoryVariables()) {
            std::vector<int32_t> listed(size_t(variable->temp_matrix_col_range().length));
            listed.resize(size_t(variable->populateIndependentColumnsBuffer(listed.data())));
            columns.insert(columns.end(), listed.begin(), listed.end());
        }
        vrw_set_reg_data(r, d.model->data_buf());
        vrw_set_reg_frequency_weights(r, weights);
        vrw_set_reg_dependent_column(r, int32_t(d.outcome->temp_matrix_col_range().location));
        vrw_set_reg_dependent_value_of_interest(r, 1.0);
        vrw_set_reg_constant_column(r, 0);
        vrw_set_reg_independent_columns(r, columns.data(), int32_t(columns.size()));
        vrw_set_reg_out_coefficients(r, coefficients.data());
        vrw_set_reg_out_standard_errors(r, errors.data());
        if (status == 0)
            status = built ? vrw_run_regression(r, log) : VRW_KERNEL_NOT_LOADED;
        vrw_free_regression(r);
        vrw_unload_vector(weights);
        fit_s = seconds_since(start);
        state.SetIterationTime(load_s + weights_s + kernels_s + fit_s);
    }
    if (status != 0)
        state.SkipWithError(("fit failed: " + std::to_string(status)).c_str());
    state.counters["load_s"] = load_s;       // columns to device matrix: built in the library's mapping
    state.counters["weights_s"] = weights_s; // the model mask and the frequency weights
    state.counters["kernels_s"] = kernels_s;
    state.counters["fit_s"] = fit_s;
    state.counters["iterations"] = double(log[VRW_ITERATION_LOG_COUNT].count);
    std::vector<double> sm_errors;
    const std::vector<double> sm = read_peer(data_dir() + "/sm_model_logit.csv", &sm_errors);
    state.counters["vs_sm_b"] = max_relative_difference(coefficients, sm);
    state.counters["vs_sm_se"] = max_relative_difference(errors, sm_errors);
}

BENCHMARK(BM_LogitFromColumns)->Iterations(3)->UseManualTime()->Unit(benchmark::kMillisecond);

// The load alone, ten times: columns to device matrix; min_s is the
// quickest, the figure least disturbed by other work on the machine.
void BM_DataMatrixLoad(benchmark::State &state)
{
    Document &d = document();
    if (!d.ok) {
        state.SkipWithError("no data or no context: run through model_bench.sh");
        return;
    }
    double fastest = INFINITY;
    for (auto _ : state) {
        d.model->unloadDataMatrix();
        const auto start = std::chrono::steady_clock::now();
        if (d.model->rebuildDataMatrix(d.vrw) != 0)
            state.SkipWithError("load failed");
        const double s = seconds_since(start);
        fastest = std::min(fastest, s);
        state.SetIterationTime(s);
    }
    state.counters["min_s"] = fastest;
}
BENCHMARK(BM_DataMatrixLoad)->Iterations(10)->UseManualTime()->Unit(benchmark::kMillisecond);

} // namespace

BENCHMARK_MAIN();
