#include "regression/DSMultinomialLogitRegression.h"

#include "model/util/ds_labels.h"
#include "platform/sterna/sterna.h"
#include "regression/DSPrediction.h"
#include "regression/DSRegressionPostEstimator.h"

#include <algorithm>
#include <cmath>

std::vector<double> DSMultinomialLogitRegression::categoryFittedValues(const DSPredictionQuery &query,
                                                                       bool unchanged) const
{
    std::vector<double> u;
    const DSOutcomeVariable *outcome = query.outcome();
    if (!post_estimator() || !outcome)
        return u;
    const DSPredictionOverride none;
    const DSPredictionOverride &change = unchanged || !query.change ? none : *query.change;
    for (qint64 i = 0; i < outcome->category_count(); ++i)
        u.push_back(query.prediction->fittedValueForCoefficientSet(outcome->coefficientSetForCategoryIndex(i), change));
    return u;
}

double DSMultinomialLogitRegression::predictedValue(const DSPredictionQuery &query) const
{
    double sum = 0;
    for (double u : categoryFittedValues(query))
        sum += std::exp(u);
    return std::exp(query.fitted) / sum;
}

std::optional<DSRange> DSMultinomialLogitRegression::predictedRange(const DSPredictionQuery &query,
                                                                    double significance) const
{
    const std::vector<double> u = categoryFittedValues(query);
    const int64_t m = int64_t(u.size()), n = query.length, k = query.outcomeCategory;
    if (k < 0 || k >= m)
        return std::nullopt;
    double sum = 0;
    for (double value : u)
        sum += std::exp(value);
    std::vector<double> p(u.size()), gradient(size_t(m * n));
    for (int64_t i = 0; i < m; ++i)
        p[size_t(i)] = std::exp(u[size_t(i)]) / sum;
    const double pk = p[size_t(k)];
    for (int64_t i = 0; i < m; ++i) {
        const double scale = i == k ? pk * (1 - pk) : -p[size_t(i)] * pk;
        for (int64_t j = 0; j < n; ++j)
            gradient[size_t(i * n + j)] = query.row[j] * scale;
    }
    const double h = ds_critical_value_z_score(significance) * std::sqrt(gradientVariance(gradient.data(), m * n));
    return numberRange(std::max(0.0, pk - h), std::min(1.0, pk + h));
}

QString DSMultinomialLogitRegression::explanationForPredictedValue(double, const DSPredictionQuery &query,
                                                                   const DSPlatformNumberFormatter *formatter) const
{
    const bool odds = displaysOddsRatios(query.outcome());
    auto number = [formatter](double x) { return ds_format_number(formatter, x); };
    QStringList terms;
    for (double u : categoryFittedValues(query, true)) {
        if (u == 0)
            terms << QStringLiteral("1");
        else if (!(std::isinf(u) && u < 0))
            terms << (odds ? number(std::exp(u)) : QStringLiteral("exp(%1)").arg(number(u)));
    }
    const QString sum = terms.join(QStringLiteral(" + "));
    if (odds)
        return QStringLiteral("%1 / (%2)").arg(number(std::exp(query.fitted)), sum);
    return QStringLiteral("exp(%1) / (%2)").arg(number(query.fitted), sum);
}
