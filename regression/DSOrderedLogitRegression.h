#pragma once

#include "model/util/ds_distribution.h"
#include "regression/DSOrderedChoiceRegression.h"

class DSOrderedLogitRegression : public DSOrderedChoiceRegression
{
public:
    QString name() const override { return QStringLiteral("ordered logit"); }
    VRWRegressionModel VRWRegressionModelForOutcome(const DSOutcomeVariable *) const override { return 13; }
    double CDFValue(double x) const override { return ds_logistic_cdf(x); }
    double PDFValue(double x) const override { return ds_logistic_pdf(x); }
    QString CDFSymbol() const override { return QStringLiteral("Λ"); }
};
