#include "regression/DSOrderedChoiceRegression.h"

#include "model/DSColumnCategory.h"
#include "model/util/ds_labels.h"
#include "platform/sterna/sterna.h"
#include "regression/DSOutcomeVariable.h"
#include "regression/DSPrediction.h"

#include <algorithm>
#include <cmath>

int64_t DSOrderedChoiceRegression::numberOfNuisanceParametersForOutcome(const DSOutcomeVariable *outcome) const
{
    return outcome->category_count() + 1;
}

int64_t DSOrderedChoiceRegression::numberOfPredictedValueSetsForOutcome(const DSOutcomeVariable *outcome) const
{
    return outcome->category_count();
}

void DSOrderedChoiceRegression::extractNuisanceParameters(const double *values, const double *errors,
                                                          int64_t count, DSOutcomeVariable *outcome)
{
    for (qint64 i = 0; i < outcome->category_count() && i + 1 < count; ++i)
        if (const auto category = outcome->categoryAtIndex(i)) {
            category->setTemp_coefficient(values[i + 1]);
            category->setTemp_std_error(errors[i + 1]);
        }
}

std::optional<DSOrderedChoiceRegression::Cuts> DSOrderedChoiceRegression::cutsForCategory(
    const DSOutcomeVariable *outcome, int64_t k)
{
    if (!outcome || k < 0 || k >= outcome->category_count())
        return std::nullopt;
    Cuts cuts{outcome->categoryAtIndex(k)->temp_coefficient(), -INFINITY, k >= 1};
    if (cuts.hasPrevious)
        cuts.lo = outcome->categoryAtIndex(k - 1)->temp_coefficient();
    return cuts;
}

double DSOrderedChoiceRegression::predictedValue(const DSPredictionQuery &query) const
{
    const std::optional<Cuts> cuts = cutsForCategory(query.outcome(), query.outcomeCategory);
    if (!cuts)
        return std::numeric_limits<double>::quiet_NaN();
    const double f = query.fitted;
    if (std::isinf(cuts->hi) && cuts->hi > 0)
        return 1 - CDFValue(cuts->lo - f);
    return cuts->hasPrevious ? CDFValue(cuts->hi - f) - CDFValue(cuts->lo - f) : CDFValue(cuts->hi - f);
}

std::optional<DSRange> DSOrderedChoiceRegression::predictedRange(const DSPredictionQuery &query,
                                                                 double significance) const
{
    const std::optional<Cuts> cuts = cutsForCategory(query.outcome(), query.outcomeCategory);
    if (!cuts)
        return std::nullopt;
    const int64_t n = query.length, m = query.outcome()->category_count(), k = query.outcomeCategory;
    const double f = query.fitted;
    const bool finiteHi = !(std::isinf(cuts->hi) && cuts->hi > 0);
    const double dHi = finiteHi ? PDFValue(cuts->hi - f) : 0.0;
    const double dLo = cuts->hasPrevious ? PDFValue(cuts->lo - f) : 0.0;
    // Regressors, then the cut points as the library orders its nuisance
    // parameters (the lower bound of category 0 first).
    std::vector<double> gradient(size_t(n + m + 1), 0.0);
    for (int64_t j = 0; j < n; ++j)
        gradient[size_t(j)] = query.row[j] * (dLo - dHi);
    if (finiteHi)
        gradient[size_t(n + 1 + k)] = dHi;
    if (cuts->hasPrevious)
        gradient[size_t(n + k)] = -dLo;
    const double p = predictedValue(query);
    const double h = ds_critical_value_z_score(significance)
        * std::sqrt(gradientVariance(gradient.data(), int64_t(gradient.size())));
    return numberRange(std::max(0.0, p - h), std::min(1.0, p + h));
}

QString DSOrderedChoiceRegression::explanationForPredictedValue(double, const DSPredictionQuery &query,
                                                                const DSPlatformNumberFormatter *formatter) const
{
    const DSPrediction *prediction = query.prediction;
    const std::optional<Cuts> cuts = cutsForCategory(query.outcome(), prediction ? prediction->outcome_category() : -1);
    if (!cuts)
        return QString();
    auto number = [formatter](double x) { return ds_format_number(formatter, x); };
    auto term = [&](double cut) { return QStringLiteral("%1(%2 - %3)").arg(CDFSymbol(), number(cut), number(query.fitted)); };
    if (std::isinf(cuts->hi) && cuts->hi > 0)
        return QStringLiteral("1 - %1").arg(term(cuts->lo));
    if (!cuts->hasPrevious || (std::isinf(cuts->lo) && cuts->lo < 0))
        return term(cuts->hi);
    return QStringLiteral("%1 - %2").arg(term(cuts->hi), term(cuts->lo));
}
