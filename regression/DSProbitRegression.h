#pragma once

#include "model/util/ds_distribution.h"
#include "model/util/ds_labels.h"
#include "regression/DSBinaryRegression.h"

class DSProbitRegression : public DSBinaryRegression
{
public:
    QString name() const override { return QStringLiteral("probit"); }
    VRWRegressionModel VRWRegressionModelForOutcome(const DSOutcomeVariable *) const override { return 6; }
    double CDFValue(double x) const override { return ds_normal_cdf(x); }
    // "Φ(f)", or "Φ(-f)" for the base category.
    QString explanationForPredictedValue(double, const DSPredictionQuery &query,
                                         const DSPlatformNumberFormatter *formatter) const override
    {
        const double x = shouldInvertPrediction(query) ? -query.fitted : query.fitted;
        return QStringLiteral("Φ(%1)").arg(ds_format_number(formatter, x));
    }

};
