#include "regression/DSCountRegression.h"

#include "platform/sterna/sterna.h"

#include <algorithm>
#include <cmath>

std::optional<DSRange> DSCountRegression::predictedRange(const DSPredictionQuery &query, double significance) const
{
    const double mu = std::exp(query.fitted);
    const double h = ds_critical_value_z_score(significance)
        * std::sqrt(mu * mu * rowVariance(query) + conditionalVarianceForMean(mu));
    return numberRange(std::max(0.0, mu - h), mu + h);
}
