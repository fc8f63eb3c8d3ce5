#pragma once

#include "model/util/ds_distribution.h"
#include "regression/DSBinaryRegression.h"

class DSLogisticRegression : public DSBinaryRegression
{
public:
    QString name() const override { return QStringLiteral("logit"); }
    VRWRegressionModel VRWRegressionModelForOutcome(const DSOutcomeVariable *) const override { return 5; }
    bool coefficientsCanBeExpressedAsOddsRatios() const override { return true; }
    double CDFValue(double x) const override { return ds_logistic_cdf(x); }
};
