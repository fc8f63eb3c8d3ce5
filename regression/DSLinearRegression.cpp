#include "regression/DSLinearRegression.h"

#include "model/util/ds_labels.h"
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

QString DSLinearRegression::linearExplanation(const DSRegression &r, double fitted,
                                              const DSPlatformNumberFormatter *formatter)
{
    const double constant = r.constantCoefficientAtIndex(0);
    return QStringLiteral("%1 + %2").arg(ds_format_number(formatter, constant),
                                         ds_format_number(formatter, fitted - constant));
}

QString DSLinearRegression::explanationForPredictedValue(double, const DSPredictionQuery &query,
                                                         const DSPlatformNumberFormatter *formatter) const
{
    return linearExplanation(*this, query.fitted, formatter);
}

std::optional<DSRange> DSLinearRegression::predictedRange(const DSPredictionQuery &query, double significance) const
{
    const double h = criticalT(significance) * std::sqrt(rowVariance(query) + residual_sum_of_squares() / double(df()));
    return numberRange(predictedValueAt(query, query.fitted - h), predictedValueAt(query, query.fitted + h));
}
