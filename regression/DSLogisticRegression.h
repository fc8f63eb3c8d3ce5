#pragma once

#include "model/util/ds_distribution.h"
#include "model/util/ds_labels.h"
#include "regression/DSBinaryRegression.h"

class DSLogisticRegression : public DSBinaryRegression
{
public:
    QString name() const override { return QStringLiteral("logit"); }
    VRWRegressionModel VRWRegressionModelForOutcome(const DSOutcomeVariable *) const override { return 5; }
    bool coefficientsCanBeExpressedAsOddsRatios() const override { return true; }
    double CDFValue(double x) const override { return ds_logistic_cdf(x); }
    // "1/(1 + exp(x))" with x = -f (f for the base category), or
    // "1/(1 + e)" with e = exp(x) while odds ratios show.
    QString explanationForPredictedValue(double, const DSPredictionQuery &query,
                                         const DSPlatformNumberFormatter *formatter) const override
    {
        const double x = shouldInvertPrediction(query) ? query.fitted : -query.fitted;
        if (displaysOddsRatios(query.outcome()))
            return QStringLiteral("1/(1 + %1)").arg(ds_format_number(formatter, std::exp(x)));
        return QStringLiteral("1/(1 + exp(%1))").arg(ds_format_number(formatter, x));
    }
};
