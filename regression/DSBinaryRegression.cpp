#include "regression/DSBinaryRegression.h"

#include "model/DSColumnCategory.h"
#include "model/DSIndicatorColumn.h"
#include "platform/sterna/sterna.h"
#include "regression/DSOutcomeVariable.h"

#include <algorithm>
#include <cmath>

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
