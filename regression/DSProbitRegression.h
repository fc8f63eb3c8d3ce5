#pragma once

#include "model/util/ds_distribution.h"
#include "regression/DSBinaryRegression.h"

class DSProbitRegression : public DSBinaryRegression
{
public:
    QString name() const override { return QStringLiteral("probit"); }
    VRWRegressionModel VRWRegressionModelForOutcome(const DSOutcomeVariable *) const override { return 6; }
    double CDFValue(double x) const override { return ds_normal_cdf(x); }

};
