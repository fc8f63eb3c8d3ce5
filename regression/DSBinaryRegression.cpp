#include "regression/DSBinaryRegression.h"

#include "model/DSColumnCategory.h"
#include "model/DSIndicatorColumn.h"
#include "platform/sterna/sterna.h"
#include "regression/DSOutcomeVariable.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

bool DSBinaryRegression::shouldInvertPrediction(const DSPredictionQuery &query) const
{
    const DSOutcomeVariable *outcome = query.outcome();
    return outcome && outcome->treat_as_categories() && query.outcomeCategory == outcome->base_category();
}

double DSBinaryRegression::predictedValue(const DSPredictionQuery &query) const
{
    const double p = std::clamp(CDFValue(query.fitted), 0.0, 1.0);
    return shouldInvertPrediction(query) ? 1 - p : p;
}

std::optional<DSRange> DSBinaryRegression::predictedRange(const DSPredictionQuery &query, double significance) const
{
    const double h = ds_critical_value_z_score(significance) * std::sqrt(rowVariance(query));
    return numberRange(predictedValueAt(query, query.fitted - h), predictedValueAt(query, query.fitted + h));
}

void DSBinaryRegression::configureVRWRegression(VRWRegression_s *record, DSOutcomeVariable *outcome, int64_t rows)
{
    // The matrix holds an indicator as 0/1 and a categorical column as its
    // index bins, so the value of interest is the non-base category's bin.
    double value = 1.0;
    if (outcome->treat_as_categories() && !dynamic_cast<DSIndicatorColumn *>(outcome->column())) {
        const std::vector<double> &lookup = outcome->category_lookup();
        for (qint64 i = 0; i < outcome->category_count() && i < qint64(lookup.size()); ++i)
            if (lookup[size_t(i)] != double(outcome->base_category())) {
                value = lookup[size_t(i)];
                break;
            }
    }
    m_valueOfInterest = value;
    vrw_set_reg_dependent_value_of_interest(record, value);
    DSRegression::configureVRWRegression(record, outcome, rows);
}

void DSBinaryRegression::extractCategoryCounts(const int64_t *counts, const double *, DSOutcomeVariable *outcome)
{
    if (const auto base = outcome->baseCategory())
        base->setCount(counts[0]);
    if (const auto other = outcome->nonBaseCategory())
        other->setCount(counts[1]);
}

std::optional<int64_t> DSBinaryRegression::separatingColumn(const FitView &fit) const
{
    if (fit.fixedEffects || !fit.data || !fit.frequencyWeights || fit.data->observations <= 0)
        return std::nullopt;
    const size_t rows = size_t(fit.data->observations);
    std::vector<double> weights(rows), y(rows), x(rows), eta(rows, 0.0);
    if (vrw_read_data_buffer(fit.context, fit.data, fit.frequencyWeights->data, 0, weights.data()) != 0
        || vrw_read_data_buffer(fit.context, fit.data, fit.data->data, fit.dependentColumn, y.data()) != 0)
        return std::nullopt;
    const double inf = std::numeric_limits<double>::infinity();
    std::optional<int64_t> separating, diverging;
    double widest = 25;
    for (int64_t j = 0; j < fit.listed; ++j) {
        if (vrw_read_data_buffer(fit.context, fit.data, fit.data->data, fit.columns[j], x.data()) != 0)
            return std::nullopt;
        // The least and greatest value among the rows of each outcome.
        double low[2] = {inf, inf}, high[2] = {-inf, -inf};
        for (size_t i = 0; i < rows; ++i) {
            if (!(weights[i] > 0))
                continue;
            const int c = y[i] == m_valueOfInterest;
            low[c] = std::min(low[c], x[i]);
            high[c] = std::max(high[c], x[i]);
            eta[i] += x[i] * fit.coefficients[j];
        }
        if (low[0] > high[0] || low[1] > high[1])
            return std::nullopt; // one outcome only: nothing to separate
        if ((fit.constant && j == 0) || std::min(low[0], low[1]) == std::max(high[0], high[1]))
            continue;
        // Without a constant the split must fall at 0, where the odds stay even.
        const bool splits = fit.constant ? high[0] <= low[1] || high[1] <= low[0]
                                         : (high[0] <= 0 && 0 <= low[1]) || (high[1] <= 0 && 0 <= low[0]);
        if (splits && !separating)
            separating = j;
        const double spread = std::fabs(fit.coefficients[j]) * (std::max(high[0], high[1]) - std::min(low[0], low[1]));
        if (spread > widest && !(std::fabs(fit.coefficients[j]) > fit.errors[j])) {
            widest = spread;
            diverging = j;
        }
    }
    if (separating || !diverging)
        return separating;
    for (size_t i = 0; i < rows; ++i)
        if (weights[i] > 0) {
            const double p = CDFValue(eta[i]);
            if (p < 1e-10 || p > 1 - 1e-10)
                return diverging;
        }
    return std::nullopt;
}
