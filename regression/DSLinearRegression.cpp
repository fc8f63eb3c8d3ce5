#include "regression/DSLinearRegression.h"

#include "platform/sterna/sterna.h"

#include <cmath>

double DSLinearRegression::criticalT(double significance) const
{
    if (std::isnan(m_lastT) || significance != m_lastTSignificance || df() != m_lastTDf) {
        m_lastT = ds_critical_value_t(significance, df());
        m_lastTSignificance = significance;
        m_lastTDf = df();
        ++m_tComputations;
    }
    return m_lastT;
}

std::optional<DSRange> DSLinearRegression::predictedRange(const DSPredictionQuery &query, double significance) const
{
    const double h = criticalT(significance) * std::sqrt(rowVariance(query) + residual_sum_of_squares() / double(df()));
    return numberRange(predictedValueAt(query, query.fitted - h), predictedValueAt(query, query.fitted + h));
}
