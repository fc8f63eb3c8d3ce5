#include "regression/DSRegression.h"

#include "model/DSColumnCategory.h"
#include "model/DSNumericColumn.h"
#include "model/DSTable.h"
#include "regression/DSExplanatoryVariable.h"
#include "regression/DSOutcomeVariable.h"
#include "regression/DSPrediction.h"
#include "model/util/ds_labels.h"
#include "regression/DSBinaryLinearRegression.h"
#include "regression/DSCoxRegression.h"
#include "regression/DSGeometricRegression.h"
#include "regression/DSLogLinearRegression.h"
#include "regression/DSLogisticRegression.h"
#include "regression/DSMultinomialLogitRegression.h"
#include "regression/DSNegativeBinomialRegression.h"
#include "regression/DSOrderedLogitRegression.h"
#include "regression/DSOrderedProbitRegression.h"
#include "regression/DSPoissonRegression.h"
#include "regression/DSProbitRegression.h"
#include "regression/DSRegressionModel.h"
#include "regression/DSRegressionPostEstimator.h"
#include "regression/ds_load_vrw_programs.h"

#include <QtDebug>

#include <algorithm>
#include <chrono>
#include <cmath>
#include <limits>
#include <new>
#include <numeric>

namespace {

// The first row whose frequency weight is too large to be counted (above
// 2^31 - 1, where the table's counts would leave the row out); -1 when
// there is none.
qint64 firstUncountableWeight(DSTable *table)
{
    if (!table || !table->isFrequencyWeighted())
        return -1;
    auto *numeric = dynamic_cast<DSNumericColumn *>(table->frequency_weights_column());
    const double *values = nullptr;
    const qint64 count = numeric ? std::min(numeric->getValues(&values), table->num_records()) : 0;
    for (qint64 r = 0; values && r < count; ++r)
        if (values[r] > double(std::numeric_limits<int32_t>::max()))
            return r;
    return -1;
}

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr int64_t kMaxIterations = 40;
constexpr int32_t kMulticollinearStatus = 4000;

// Wall-clock milliseconds, to the microsecond.
double now_ms()
{
    using namespace std::chrono;
    return double(duration_cast<microseconds>(system_clock::now().time_since_epoch()).count()) / 1000.0;
}

// Grows a result block to hold n doubles; only a smaller one is reallocated.
bool grow(std::vector<double> &block, int64_t n)
{
    try {
        if (int64_t(block.size()) < n)
            block.resize(size_t(n));
        return true;
    } catch (const std::bad_alloc &) {
        return false;
    }
}

} // namespace

DSRegression::DSRegression()
    : m_tss(kNaN)
    , m_rss(kNaN)
    , m_logLikelihood(kNaN)
{
    m_constant.label = QStringLiteral("constant");
    m_constant.is_constant = true;
}

DSRegression::~DSRegression() = default;

std::unique_ptr<DSRegression> DSRegression::regressionForOutcome(const DSOutcomeVariable *outcome)
{
    if (!outcome)
        return nullptr;
    if (outcome->is_binary_response()) {
        switch (outcome->binary_model()) {
        case DSOutcomeModelLinearProbability:
            return std::make_unique<DSBinaryLinearRegression>();
        case DSOutcomeModelLogit:
            return std::make_unique<DSLogisticRegression>();
        case DSOutcomeModelProbit:
            return std::make_unique<DSProbitRegression>();
        default:
            return nullptr;
        }
    }
    if (outcome->treat_as_categories()) {
        switch (outcome->category_model()) {
        case DSOutcomeModelMultinomialLogit:
            return std::make_unique<DSMultinomialLogitRegression>();
        case DSOutcomeModelOrderedLogit:
            return std::make_unique<DSOrderedLogitRegression>();
        case DSOutcomeModelOrderedProbit:
            return std::make_unique<DSOrderedProbitRegression>();
        default:
            return nullptr;
        }
    }
    switch (outcome->cardinal_model()) {
    case DSOutcomeModelLinear:
        return std::make_unique<DSLinearRegression>();
    case DSOutcomeModelLogLinear:
        return std::make_unique<DSLogLinearRegression>();
    case DSOutcomeModelPoisson:
        return std::make_unique<DSPoissonRegression>();
    case DSOutcomeModelGeometric:
        return std::make_unique<DSGeometricRegression>();
    case DSOutcomeModelNegativeBinomial:
        return std::make_unique<DSNegativeBinomialRegression>();
    case DSOutcomeModelCox:
        return std::make_unique<DSCoxRegression>();
    default:
        return nullptr;
    }
}

void DSRegression::purgeEstimates(const QList<DSExplanatoryVariable *> &variables)
{
    for (DSExplanatoryVariable *variable : variables)
        variable->purgeEstimates();
}

uint32_t DSRegression::estimationOptionsForModel(const DSRegressionModel *model) const
{
    uint32_t options = 0;
    if (model->robust_standard_errors()) {
        options |= 4;
        // Clusters are the panels, which the model groups its rows by
        // whenever it clusters.
        if (model->hasClusteredErrors())
            options |= 8;
    }
    if (model->hasFixedEffects())
        options |= 16;
    else if (!model->include_constant())
        options |= 32;
    return options;
}

double DSRegression::unadjustedRSquared() const
{
    return kNaN;
}

double DSRegression::adjustedRSquared() const
{
    return kNaN;
}

double DSRegression::linearUnadjustedRSquared(const DSRegression &r)
{
    return 1 - r.m_rss / r.m_tss;
}

double DSRegression::linearAdjustedRSquared(const DSRegression &r)
{
    return 1 - double(r.m_observations - 1) * r.m_rss / (double(r.m_df) * r.m_tss);
}

const DSOutcomeVariable *DSPredictionQuery::outcome() const
{
    return prediction ? prediction->outcome_variable() : nullptr;
}

int64_t DSPredictionQuery::stratum() const
{
    return prediction ? prediction->outcome_stratum() : 0;
}

bool DSRegression::displaysOddsRatios(const DSOutcomeVariable *outcome) const
{
    const DSRegressionModel *model = outcome ? outcome->model() : nullptr;
    return coefficientsCanBeExpressedAsOddsRatios() && model && model->report_odds_ratios();
}

QString DSRegression::explanationForPredictedValue(double, const DSPredictionQuery &query,
                                                   const DSPlatformNumberFormatter *formatter) const
{
    if (!isMeanExponentiated() || displaysOddsRatios(query.outcome()))
        return QString();
    return QStringLiteral("exp(%1)").arg(ds_format_number(formatter, query.fitted));
}

double DSRegression::predictedValue(const DSPredictionQuery &query) const
{
    return isMeanExponentiated() ? std::exp(query.fitted) : query.fitted;
}

std::optional<DSRange> DSRegression::predictedRange(const DSPredictionQuery &, double) const
{
    return std::nullopt;
}

double DSRegression::gradientVariance(const double *gradient, int64_t length) const
{
    return m_postEstimator ? m_postEstimator->varianceForGradientVector(gradient, length) : kNaN;
}

double DSRegression::rowVariance(const DSPredictionQuery &query) const
{
    return gradientVariance(query.row, query.length);
}

double DSRegression::predictedValueAt(const DSPredictionQuery &query, double fitted) const
{
    DSPredictionQuery moved = query;
    moved.fitted = fitted;
    return predictedValue(moved);
}

DSRange DSRegression::numberRange(double a, double b)
{
    return DSRange(QVariant(std::min(a, b)), QVariant(std::max(a, b)));
}

double DSRegression::constantCoefficientAtIndex(qint64 set) const
{
    return m_constant.coefficientForCoefficientSet(set);
}

double DSRegression::constantStandardErrorAtIndex(qint64 set) const
{
    return m_constant.standardErrorForCoefficientSet(set);
}

double DSRegression::nuisanceCoefficientAtIndex(qint64 i) const
{
    return DSRegressionEstimate::elementAt(m_nuisance, i, kNaN);
}

double DSRegression::nuisanceStandardErrorAtIndex(qint64 i) const
{
    return DSRegressionEstimate::elementAt(m_nuisanceErrors, i, kNaN);
}

void DSRegression::configureVRWRegression(VRWRegression_s *record, DSOutcomeVariable *outcome, int64_t)
{
    vrw_set_reg_omitted_dependent_value(record, double(outcome->base_category()));
    const std::vector<double> &lookup = outcome->category_lookup();
    if (!lookup.empty())
        vrw_set_reg_dependent_values(record, lookup.data(), uint32_t(outcome->category_count()));
    if (outcome->weight_buf())
        vrw_set_reg_analytic_weights(record, outcome->weight_buf());
    if (outcome->exposure_buf())
        vrw_set_reg_exposures(record, outcome->exposure_buf());
}

void DSRegression::extractCategoryCounts(const int64_t *counts, const double *logLikelihoods,
                                         DSOutcomeVariable *outcome)
{
    for (qint64 i = 0; i < outcome->category_count(); ++i)
        if (const auto category = outcome->categoryAtIndex(i)) {
            category->setTemp_log_likelihood(logLikelihoods[i]);
            category->setCount(counts[i]);
        }
}

void DSRegression::extractNuisanceParameters(const double *values, const double *errors, int64_t count,
                                             DSOutcomeVariable *)
{
    m_nuisance.assign(values, values + count);
    m_nuisanceErrors.assign(errors, errors + count);
}

double DSRegression::totalWeight(VRWContext_s *context, const VRWMatrixBuffer_s *data,
                                 const VRWVectorBuffer_s *frequencyWeights)
{
    if (!frequencyWeights || !data || data->observations <= 0)
        return 0;
    std::vector<double> weights(size_t(data->observations));
    if (vrw_read_data_buffer(context, data, frequencyWeights->data, 0, weights.data()) != 0)
        return kNaN;
    return std::accumulate(weights.begin(), weights.end(), 0.0);
}

VRWVectorBuffer_s *DSRegression::weightsWithoutEventlessPanels(VRWContext_s *context, const VRWMatrixBuffer_s *data,
                                                               const VRWVectorBuffer_s *frequencyWeights,
                                                               const DSRegressionModel *model, int32_t dependent)
{
    const std::vector<int32_t> &sizes = model->temp_panel_sizes();
    const size_t rows = size_t(std::max<int32_t>(data->observations, 0));
    if (!frequencyWeights || sizes.empty() || rows == 0)
        return nullptr;
    std::vector<double> weights(rows), counts(rows);
    if (vrw_read_data_buffer(context, data, frequencyWeights->data, 0, weights.data()) != 0
        || vrw_read_data_buffer(context, data, data->data, dependent, counts.data()) != 0)
        return nullptr;
    size_t start = 0;
    for (const int32_t size : sizes) {
        const size_t end = std::min(rows, start + size_t(std::max<int32_t>(size, 0)));
        bool weighted = false, events = false;
        for (size_t i = start; i < end; ++i)
            if (weights[i] > 0) {
                weighted = true;
                events = events || counts[i] != 0;
            }
        if (weighted && !events) {
            std::fill(weights.begin() + qsizetype(start), weights.begin() + qsizetype(end), 0.0);
            ++m_droppedPanels;
        }
        start = end;
    }
    if (m_droppedPanels == 0)
        return nullptr;
    int32_t status = 0;
    VRWVectorBuffer_s *vector = vrw_load_unbalanced_panel_float_vector(
        context, weights.data(), uint32_t(rows), sizes.data(), int32_t(sizes.size()), &status);
    if (status != 0) {
        vrw_unload_vector(vector);
        m_droppedPanels = 0;
        return nullptr;
    }
    return vector;
}

QString DSRegression::nameOfListedColumn(int64_t position, const QList<DSExplanatoryVariable *> &variables,
                                         bool constant)
{
    int64_t first = constant ? 1 : 0;
    for (DSExplanatoryVariable *variable : variables) {
        const int64_t n = variable->cachedNumberOfRegressors();
        if (position < first + n) {
            if (const DSRegressionEstimate *estimate =
                    variable->estimateAtIndex(position - first, DSEstimateExcludeByDesign))
                return estimate->name();
            return variable->name();
        }
        first += n;
    }
    return QStringLiteral("constant");
}

int64_t DSRegression::fail(int64_t code, const QList<DSExplanatoryVariable *> &variables, bool purge)
{
    m_observations = 0;
    m_rss = m_logLikelihood = m_tss = kNaN;
    m_runningTime = now_ms() - m_startTime;
    if (purge)
        purgeEstimates(variables);
    m_errorCode = code;
    return code;
}

int64_t DSRegression::runRegressionForOutcome(DSOutcomeVariable *outcome, const VRWMatrixBuffer_s *data,
                                              const VRWVectorBuffer_s *frequencyWeights, VRWContext_s *context,
                                              DSError *error)
{
    m_startTime = now_ms();
    VRWIterationLog log = {};
    double rss = kNaN, tss = kNaN, logLikelihood = kNaN;
    int64_t observations = 0, freeParameters = 0;
    DSRegressionModel *model = outcome->model();
    const int64_t rows = model && model->table() ? model->table()->num_records() : 0;
    for (qint64 i = 0; i < outcome->category_count(); ++i)
        if (const auto category = outcome->categoryAtIndex(i)) {
            category->setTemp_log_likelihood(kNaN);
            category->setCount(0);
        }
    if (!data || !model) {
        if (error)
            *error = ds_make_error(1, QStringLiteral("No data! Try using a broader set of filters, or delete "
                                                     "variables that have a lot of missing values."));
        return fail(DSRegressionErrorNoData, {}, false);
    }
    // Such a row would silently leave the fit and an outcome's categories
    // with it; the user hears which row it is.
    if (const qint64 row = firstUncountableWeight(model->table()); row >= 0) {
        if (error)
            *error = ds_make_error(0, QStringLiteral("Frequency weights above 2,147,483,647 cannot be counted: row %1 "
                                                     "of %2 holds one.")
                                          .arg(row + 1)
                                          .arg(model->table()->frequency_weights_column()->name()));
        return fail(DSRegressionErrorOther, model->sortedIncludedExplanatoryVariables(), true);
    }

    const int64_t S = numberOfCoefficientSetsForOutcome(outcome);
    const int64_t P = numberOfPredictedValueSetsForOutcome(outcome);
    const int64_t K = S * model->numberOfIncludedRegressors();
    const int64_t N = numberOfNuisanceParametersForOutcome(outcome);
    const int64_t panels = data->panel_count;
    const bool fixedEffects = panels > 0 && model->fixed_effects();
    const bool constant = model->hasConstantTerm();
    m_constant.coefficients.clear();
    m_constant.std_errors.clear();
    m_nuisance.clear();
    m_nuisanceErrors.clear();
    const QList<DSExplanatoryVariable *> variables = model->sortedIncludedExplanatoryVariables();

    std::vector<int32_t> columns(size_t(std::max<int32_t>(data->columns, 0)) + 1);
    int64_t listed = 0;
    if (constant)
        columns[size_t(listed++)] = 0;
    for (DSExplanatoryVariable *variable : variables)
        listed += variable->populateIndependentColumnsBuffer(columns.data() + listed);
    if (K == 0)
        return fail(DSRegressionErrorNothingToEstimate, variables, true);
    // Every row left out (its outcome missing, filtered, weighing 0): the
    // library would fit zeros to nothing and call it a success.
    if (frequencyWeights && data->observations > 0 && totalWeight(context, data, frequencyWeights) == 0) {
        if (error)
            *error = ds_make_error(0, QStringLiteral("No observations"));
        return fail(DSRegressionErrorNoData, variables, true);
    }

    // Panels a fixed-effects fit cannot use leave it through zero weights.
    m_droppedPanels = 0;
    std::unique_ptr<VRWVectorBuffer_s, decltype(&vrw_unload_vector)> kept(nullptr, &vrw_unload_vector);
    if (fixedEffects && dropsPanelsWithoutEvents()) {
        kept.reset(weightsWithoutEventlessPanels(context, data, frequencyWeights, model,
                                                 int32_t(outcome->temp_matrix_col_range().location)));
        if (kept)
            frequencyWeights = kept.get();
    }

    std::vector<double> coefficients, errors, variance, fixedEffectValues, nuisance, nuisanceErrors;
    std::vector<int64_t> multicollinear;
    try {
        coefficients.assign(size_t(K), kNaN);
        errors.assign(size_t(K), kNaN);
        variance.assign(size_t((K + N) * (K + N)), 0.0);
        multicollinear.assign(size_t(K), 0);
        if (fixedEffects)
            fixedEffectValues.assign(size_t(panels * S), kNaN);
        nuisance.assign(size_t(N), kNaN);
        nuisanceErrors.assign(size_t(N), kNaN);
    } catch (const std::bad_alloc &) {
        return fail(DSRegressionErrorOutOfMemory, variables, true);
    }
    if (!grow(m_residuals, S * rows) || !grow(m_predicted, P * rows))
        return fail(DSRegressionErrorOutOfMemory, variables, true);

    const QList<QList<int64_t>> tests = testRestrictionsForVariables(variables, outcome, constant, K);
    const size_t categories = size_t(std::max<qint64>(outcome->category_count(), 0));
    std::vector<double> categoryLogLikelihoods(categories + 1, 0.0);
    std::vector<int64_t> categoryCounts(categories + 1, 0);

    VRWRegression_s *record = vrw_init_regression(context, VRWRegressionModelForOutcome(outcome));
    if (!record)
        return fail(DSRegressionErrorOutOfMemory, variables, true);
    configureVRWRegression(record, outcome, rows);
    vrw_set_reg_out_nuisance_coefficients(record, N > 0 ? nuisance.data() : nullptr);
    vrw_set_reg_out_nuisance_standard_errors(record, N > 0 ? nuisanceErrors.data() : nullptr);
    vrw_set_reg_out_per_choice_log_likelihood(record, categoryLogLikelihoods.data());
    vrw_set_reg_out_per_cause_log_likelihood(record, categoryLogLikelihoods.data());
    vrw_set_reg_out_per_choice_observation_count(record, categoryCounts.data());
    vrw_set_reg_out_per_cause_observation_count(record, categoryCounts.data());
    vrw_set_reg_data(record, data);
    vrw_set_reg_frequency_weights(record, frequencyWeights);
    vrw_set_reg_dependent_column(record, int32_t(outcome->temp_matrix_col_range().location));
    vrw_set_reg_constant_column(record, constant ? 0 : -1);
    vrw_set_reg_independent_columns(record, columns.data(), listed);
    vrw_set_reg_options(record, estimationOptionsForModel(model));
    vrw_set_reg_out_coefficients(record, coefficients.data());
    vrw_set_reg_out_standard_errors(record, errors.data());
    vrw_set_reg_out_variance_matrix(record, variance.data());
    vrw_set_reg_out_fixed_effects(record, fixedEffects ? fixedEffectValues.data() : nullptr);
    vrw_set_reg_out_free_parameter_count(record, &freeParameters);
    vrw_set_reg_out_residuals(record, m_residuals.data());
    vrw_set_reg_out_predicted_values(record, m_predicted.data());
    vrw_set_reg_out_log_likelihood(record, &logLikelihood);
    vrw_set_reg_out_residual_sum_of_squares(record, &rss);
    vrw_set_reg_out_total_sum_of_squares(record, &tss);
    vrw_set_reg_out_observation_count(record, &observations);
    vrw_set_reg_out_multicollinear_sets(record, multicollinear.data());

    if (ds_load_vrw_programs(record->family_mask, context, error) != 0) {
        vrw_free_regression(record);
        return fail(DSRegressionErrorKernelPrograms, variables, true);
    }
    const VRWStatus status = vrw_run_regression(record, log);
    vrw_free_regression(record);
    if (status == kMulticollinearStatus) {
        extractMultiCollinearSets(multicollinear.data(), outcome, variables, constant);
        return fail(DSRegressionErrorRedundantRegressors, variables, true);
    }
    if (status != 0) {
        // Too few rows make the library fail in one way or another; the user
        // hears why instead of a bare failure.
        const double weight = totalWeight(context, data, frequencyWeights);
        if (weight <= double(K)) {
            if (error)
                *error = ds_make_error(0, weight > 0 ? QStringLiteral("Not enough observations")
                                                     : QStringLiteral("No observations"));
            return fail(weight > 0 ? DSRegressionErrorTooFewObservations : DSRegressionErrorNoData, variables,
                        true);
        }
        qWarning("Error during regression: %d", int(status));
        if (error)
            *error = ds_make_error(0, QStringLiteral("Error during regression"));
        return fail(DSRegressionErrorOther, variables, true);
    }
    // A fit that needed every allowed iteration is not trusted to have converged.
    if (log[VRW_ITERATION_LOG_WORDS - 1].count == kMaxIterations) {
        qWarning("Warning: reached max iterations without converging");
        for (int i = 0; i < kMaxIterations; ++i) {
            qWarning("Absolute error in iteration #%d: %lf", i, log[40 + i].value);
            qWarning("Relative error in iteration #%d: %lf", i, log[80 + i].value);
        }
        if (error)
            *error = ds_make_error(0, QStringLiteral("Error during regression"));
        return fail(DSRegressionErrorNoConvergence, variables, true);
    }

    const FitView view{context, data, frequencyWeights, int32_t(outcome->temp_matrix_col_range().location),
                       columns.data(), listed, coefficients.data(), errors.data(), constant, fixedEffects};
    if (const std::optional<int64_t> column = separatingColumn(view)) {
        if (error)
            *error = ds_make_error(0, QStringLiteral("%1 predicts %2 perfectly: its coefficient has no finite "
                                                     "estimate. Leave it out or merge the rows it singles out.")
                                          .arg(nameOfListedColumn(*column, variables, constant), outcome->name()));
        return fail(DSRegressionErrorSeparation, variables, true);
    }

    const double end = now_ms();
    m_df = observations - freeParameters;
    m_observations = observations;
    m_residualsCount = data->observations;
    m_tss = tss;
    m_rss = rss;
    m_logLikelihood = logLikelihood;
    m_runningTime = end - m_startTime;
    m_errorCode = DSRegressionErrorNone;
    m_postEstimator = std::make_shared<DSRegressionPostEstimator>();
    m_postEstimator->setCoefficients(coefficients.data(), K, nuisance.data(), N, variance.data());
    extractCoefficients(coefficients.data(), errors.data(), fixedEffects ? fixedEffectValues.data() : nullptr,
                        panels, outcome, variables);
    extractMultiCollinearSets(multicollinear.data(), outcome, variables, constant);
    if (N > 0)
        extractNuisanceParameters(nuisance.data(), nuisanceErrors.data(), N, outcome);
    extractCategoryCounts(categoryCounts.data(), categoryLogLikelihoods.data(), outcome);
    if (!tests.isEmpty())
        extractWaldStatisticsFromTests(tests, outcome, variables);
    if (panels > 0) {
        unsortBlocks(m_residuals, S, model, fixedEffects ? fixedEffectValues.data() : nullptr);
        unsortBlocks(m_predicted, P, model, fixedEffects ? fixedEffectValues.data() : nullptr);
    }
    return DSRegressionErrorNone;
}

void DSRegression::extractCoefficients(const double *coefficients, const double *errors, const double *fixedEffects,
                                       int64_t panels, const DSOutcomeVariable *outcome,
                                       const QList<DSExplanatoryVariable *> &variables)
{
    const DSRegressionModel *model = outcome->model();
    const bool constant = model->hasConstantTerm();
    const bool fixed = panels > 0 && model->fixed_effects();
    const int64_t S = numberOfCoefficientSetsForOutcome(outcome);
    int64_t b = 0;
    for (int64_t s = 0; s < S; ++s) {
        if (constant) {
            m_constant.coefficients.push_back(coefficients[b]);
            m_constant.std_errors.push_back(errors[b]);
            ++b;
        } else if (fixed) {
            // The constant of a fixed-effects fit is the panels' mean effect.
            double sum = 0;
            int64_t n = 0;
            for (int64_t p = 0; fixedEffects && p < panels; ++p)
                if (!std::isnan(fixedEffects[s * panels + p])) {
                    sum += fixedEffects[s * panels + p];
                    ++n;
                }
            m_constant.coefficients.push_back(n > 0 ? sum / double(n) : kNaN);
            m_constant.std_errors.push_back(kNaN);
        }
        for (DSExplanatoryVariable *variable : variables) {
            const int64_t n = variable->cachedNumberOfRegressors();
            variable->setTemp_std_errors(errors + b, n, s, outcome->coefficient_offset());
            variable->setTemp_coefficients(coefficients + b, n, s, outcome->coefficient_offset());
            b += n;
        }
    }
    m_constant.is_omitted_due_to_fixed_effects = fixed;
    m_constant.is_omitted_constant = !model->include_constant() && !fixed;
    int64_t position = constant ? 1 : 0;
    for (DSExplanatoryVariable *variable : variables) {
        const int64_t n = variable->cachedNumberOfRegressors();
        variable->setCoefficientIndexes(position, n);
        position += n;
    }
}

void DSRegression::extractMultiCollinearSets(const int64_t *sets, const DSOutcomeVariable *outcome,
                                             const QList<DSExplanatoryVariable *> &variables, bool constant)
{
    int64_t c = 0;
    for (int64_t s = 0; s < numberOfCoefficientSetsForOutcome(outcome); ++s) {
        if (constant)
            ++c;
        for (DSExplanatoryVariable *variable : variables) {
            const int64_t g = variable->cachedNumberOfRegressors();
            variable->setTemp_number_of_restrictions(g);
            variable->setTemp_multicollinear_sets(sets + c, g, outcome->coefficient_offset() + s);
            c += g;
        }
    }
}

bool DSRegression::isBaseSet(const DSOutcomeVariable *outcome, int64_t set, int64_t sets) const
{
    const std::vector<double> &lookup = outcome->category_lookup();
    return sets >= 2 && outcome->treat_as_categories() && set < int64_t(lookup.size())
        && lookup[size_t(set)] == double(outcome->base_category());
}

// In order: per non-base set, one list per categorical variable (its
// regressors in that set); with two sets or more, per categorical variable
// its regressors in every non-base set, then per regressor of every variable
// its position in every non-base set.
QList<QList<int64_t>> DSRegression::testRestrictionsForVariables(const QList<DSExplanatoryVariable *> &variables,
                                                                 const DSOutcomeVariable *outcome, bool constant,
                                                                 int64_t regressors) const
{
    const int64_t S = numberOfCoefficientSetsForOutcome(outcome);
    const int64_t R = S > 0 ? regressors / S : 0;
    QList<int64_t> offsets;
    int64_t offset = constant ? 1 : 0;
    for (DSExplanatoryVariable *variable : variables) {
        offsets << offset;
        offset += variable->cachedNumberOfRegressors();
    }
    QList<int64_t> sets;
    for (int64_t s = 0; s < S; ++s)
        if (!isBaseSet(outcome, s, S))
            sets << s;
    auto positions = [&](int64_t v, int64_t first, int64_t count, const QList<int64_t> &inSets) {
        QList<int64_t> list;
        for (int64_t s : inSets)
            for (int64_t k = first; k < first + count; ++k)
                list << s * R + offsets[v] + k;
        return list;
    };
    QList<QList<int64_t>> tests;
    for (int64_t s : sets)
        for (int64_t v = 0; v < variables.size(); ++v)
            if (variables[v]->hasCategories())
                tests << positions(v, 0, variables[v]->cachedNumberOfRegressors(), {s});
    if (S < 2)
        return tests;
    for (int64_t v = 0; v < variables.size(); ++v)
        if (variables[v]->hasCategories())
            tests << positions(v, 0, variables[v]->cachedNumberOfRegressors(), sets);
    for (int64_t v = 0; v < variables.size(); ++v)
        for (int64_t k = 0; k < variables[v]->cachedNumberOfRegressors(); ++k)
            tests << positions(v, k, 1, sets);
    return tests;
}

void DSRegression::extractWaldStatisticsFromTests(const QList<QList<int64_t>> &tests,
                                                  const DSOutcomeVariable *outcome,
                                                  const QList<DSExplanatoryVariable *> &variables)
{
    std::vector<double> W;
    std::vector<int64_t> q;
    for (const QList<int64_t> &test : tests) {
        int64_t df = 0;
        W.push_back(m_postEstimator->waldStatisticForNullHypothesis(DSVectorNullHypothesisZero, test, &df));
        q.push_back(df);
    }
    const int64_t S = numberOfCoefficientSetsForOutcome(outcome);
    size_t c = 0;
    for (int64_t s = 0; s < S; ++s) {
        if (isBaseSet(outcome, s, S))
            continue;
        for (DSExplanatoryVariable *variable : variables)
            if (variable->hasCategories() && c < W.size()) {
                variable->setTemp_wald_statistic(W[c], outcome->coefficient_offset() + s);
                variable->setTemp_number_of_restrictions(q[c]);
                ++c;
            } else if (!variable->hasCategories()) {
                variable->setTemp_number_of_restrictions(1);
            }
    }
    if (S < 2)
        return;
    for (DSExplanatoryVariable *variable : variables)
        if (variable->hasCategories() && c < W.size())
            variable->setTemp_multinomial_wald_statistic(W[c++], outcome->index());
    for (DSExplanatoryVariable *variable : variables) {
        const int64_t n = variable->cachedNumberOfRegressors();
        if (c + size_t(n) > W.size())
            break;
        variable->setIndividualWaldStatistics(W.data() + c, n, outcome->index());
        c += size_t(n);
    }
}

void DSRegression::unsortBlocks(std::vector<double> &blocks, int64_t blockCount, const DSRegressionModel *model,
                                const double *fixedEffects)
{
    const std::vector<int32_t> &lookup = model->temp_panel_lookup();
    const std::vector<int32_t> &sizes = model->temp_panel_sizes();
    const int64_t rows = int64_t(lookup.size());
    std::vector<double> sorted(blocks.size(), 0.0);
    for (int64_t b = 0; b < blockCount; ++b) {
        int64_t d = 0;
        for (size_t p = 0; p < sizes.size(); ++p) {
            const bool lost = fixedEffects && std::isnan(fixedEffects[p]);
            for (int64_t k = 0; k < sizes[p] && d + k < rows; ++k)
                sorted[size_t(b * rows + lookup[size_t(d + k)])] = lost ? kNaN : blocks[size_t(b * rows + d + k)];
            d += std::max<int32_t>(sizes[p], 0);
        }
    }
    blocks.swap(sorted);
}
