#include "regression/DSBinaryLinearRegression.h"

#include "platform/sterna/sterna.h"

#include <cmath>

std::optional<DSRange> DSBinaryLinearRegression::predictedRange(const DSPredictionQuery &query,
                                                                double significance) const
{
    const double h = ds_critical_value_t(significance, df()) * std::sqrt(rowVariance(query));
    return numberRange(predictedValueAt(query, query.fitted - h), predictedValueAt(query, query.fitted + h));
}
