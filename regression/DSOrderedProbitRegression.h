#pragma once

#include "model/util/ds_distribution.h"
#include "regression/DSOrderedChoiceRegression.h"

class DSOrderedProbitRegression : public DSOrderedChoiceRegression
{
public:
    QString name() const override { return QStringLiteral("ordered probit"); }
    VRWRegressionModel VRWRegressionModelForOutcome(const DSOutcomeVariable *) const override { return 14; }
    double CDFValue(double x) const override { return ds_normal_cdf(x); }
    double PDFValue(double x) const override { return ds_normal_pdf(x); }
    QString CDFSymbol() const override { return QStringLiteral("Φ"); }
};
