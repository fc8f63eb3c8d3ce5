// The outcome's result columns and result rows, kept apart from its
// set-up and data code.
#include "regression/DSOutcomeVariable.h"

#include "model/DSColumn.h"
#include "model/DSColumnCategory.h"
#include "model/DSNumberFormatter.h"
#include "model/DSNumericDataColumn.h"
#include "model/ds_row_mask.h"
#include "platform/sterna/sterna.h"
#include "platform/store/DSManagedObjectContext.h"
#include "regression/DSCoxRegression.h"
#include "regression/DSRegression.h"
#include "regression/DSRegressionModel.h"

#include <cmath>

namespace {

QString modelName(const DSRegression *regression)
{
    return regression ? regression->name() : QString();
}

// A successful fit's regression; none otherwise, so that nothing is made
// from a failed one.
const DSRegression *successfulFit(const DSOutcomeVariable *outcome)
{
    const DSRegression *r = outcome->temp_regression();
    return r && r->error_code() == 0 && r->post_estimator() ? r : nullptr;
}

} // namespace

DSNumericDataColumn *DSOutcomeVariable::insertNumericColumnFromBuffer(const double *values, qint64 rows,
                                                                      const uint8_t *mask, qint64 length)
{
    DSManagedObjectContext *context = managedObjectContext();
    auto *column = context ? context->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"))
                           : nullptr;
    if (!column)
        return nullptr;
    // Its formatters exist before a table takes it, so the makers can set them.
    column->makeDependencies();
    for (qint64 i = 0; i < rows; ++i)
        column->appendValue(length > 0 && i / 8 < length && ds_mask_test(mask, i) ? values[i] : NAN);
    column->save();
    return column;
}

QList<DSNumericDataColumn *> DSOutcomeVariable::insertColumnsFromResidualsForMask(const uint8_t *mask, qint64 length)
{
    const DSRegression *r = successfulFit(this);
    DSRegressionModel *owner = model();
    if (!r || !owner || !column())
        return {};
    const qint64 n = r->residuals_count();
    const uint8_t *modelMask = nullptr;
    const qint64 bytes = getModelMask(&modelMask, mask, length);
    const QString columnName = column()->name();
    QList<DSNumericDataColumn *> made;
    auto make = [&](qint64 block, const QString &name) {
        if (int64_t(r->residual_values().size()) < (block + 1) * n)
            return;
        if (DSNumericDataColumn *c = insertNumericColumnFromBuffer(r->residual_values().data() + block * n, n,
                                                                   modelMask, bytes)) {
            c->setName(name);
            made << c;
        }
    };
    if (!hasMultipleCoefficientSets()) {
        const CategoryRef other = is_binary_response() ? nonBaseCategory() : nullptr;
        make(0, other ? QStringLiteral("residual %1 = %2 (%3)").arg(columnName, other->longValue(), modelName(r))
                      : QStringLiteral("residual %1 (%2)").arg(columnName, modelName(r)));
        return made;
    }
    for (qint64 i = 0; i < category_count(); ++i) {
        const QString label = categoryAtIndex(i)->longValue();
        make(i, doCause() ? QStringLiteral("residual %1 [%2 = %3] (%4)")
                                .arg(columnName, cause_column()->name(), label, modelName(r))
                          : QStringLiteral("residual %1 = %2 (%3)").arg(columnName, label, modelName(r)));
    }
    return made;
}

QList<DSNumericDataColumn *> DSOutcomeVariable::insertColumnsFromPredictedValuesForMask(const uint8_t *mask,
                                                                                        qint64 length)
{
    const DSRegression *r = successfulFit(this);
    if (!r || !model() || !column())
        return {};
    const qint64 n = r->residuals_count();
    const uint8_t *predictionMask = nullptr;
    const qint64 bytes = getPredictionMask(&predictionMask, mask, length);
    const QString columnName = column()->name();
    QList<DSNumericDataColumn *> made;
    auto make = [&](qint64 block, const QString &name) -> DSNumericDataColumn * {
        if (int64_t(r->predicted_values().size()) < (block + 1) * n)
            return nullptr;
        DSNumericDataColumn *c = insertNumericColumnFromBuffer(r->predicted_values().data() + block * n, n,
                                                               predictionMask, bytes);
        if (c) {
            c->setName(name);
            made << c;
        }
        return c;
    };
    if (treat_as_categories()) {
        qint64 k = 0;
        for (qint64 i = 0; i < category_count(); ++i) {
            // Of two categories only the non-base one's chance is modelled.
            if (category_count() == 2 && category_lookup()[size_t(i)] == double(base_category()))
                continue;
            DSNumericDataColumn *c = make(
                k++, QStringLiteral("predicted chance %1 = %2 (%3)")
                         .arg(columnName, categoryAtIndex(i)->longValue(), modelName(r)));
            if (DSNumberFormatter *formatter = c ? c->number_formatter() : nullptr) {
                formatter->setNumber_style(3);
                formatter->setMaximum_fractional_digits(1);
                formatter->setMinimum_fractional_digits(1);
                formatter->setApply_minimum_fractional_digits(true);
            }
        }
        return made;
    }
    if (!doCause()) {
        make(0, QStringLiteral("predicted %1 (%2)").arg(columnName, modelName(r)));
        return made;
    }
    for (qint64 i = 0; i < category_count(); ++i)
        make(i, QStringLiteral("predicted %1 [%2 = %3] (%4)")
                    .arg(columnName, cause_column()->name(), categoryAtIndex(i)->longValue(), modelName(r)));
    return made;
}

QList<QVariantList> DSOutcomeVariable::constantInfoForCoefficientSet(qint64 set, const QString &outcomeName,
                                                                     qint64 distribution, qint64 df) const
{
    const DSRegression *r = temp_regression();
    const qint64 relative = set - coefficient_offset();
    double b = r ? r->constantCoefficientAtIndex(relative) : NAN;
    double se = r ? r->constantStandardErrorAtIndex(relative) : NAN;
    const double z = b / se;
    const double p = distribution & DSCoefficientDistributionT    ? ds_p_value_t(z, df, 0)
                     : distribution & DSCoefficientDistributionNormal ? ds_p_value_normal(z, 0)
                                                                      : NAN;
    if (distribution & DSCoefficientDistributionOddsRatios) {
        b = std::exp(b);
        se *= b;
    }
    return {QVariantList{outcomeName, QStringLiteral("constant"), b, se, z, p}};
}

QList<QVariantList> DSOutcomeVariable::nuisanceInfoForCoefficientSet(qint64, const QString &outcomeName, qint64,
                                                                     qint64) const
{
    const DSRegression *r = temp_regression();
    if (!r || treat_as_categories() || cardinal_model() != DSOutcomeModelNegativeBinomial)
        return {};
    return {QVariantList{outcomeName, QStringLiteral("dispersion"), r->nuisanceCoefficientAtIndex(0),
                         r->nuisanceStandardErrorAtIndex(0), double(NAN), double(NAN)}};
}

QList<QVariantList> DSOutcomeVariable::predictionDistributionInfoForFittedValue(double x, qint64 stratum,
                                                                                qint64 cause) const
{
    const auto *cox = dynamic_cast<const DSCoxRegression *>(temp_regression());
    if (!cox || !column())
        return {};
    QList<QVariantList> rows{
        {column()->name(), QStringLiteral("cumulative baseline hazard rate"), QStringLiteral("survival rate")}};
    const double *times = nullptr;
    const double *hazard = nullptr;
    const int64_t count = cox->getFailureTimes(&times, stratum, cause);
    cox->getHazardFunction(&hazard, stratum, cause);
    for (int64_t i = 0; i < count; ++i)
        rows << QVariantList{times[i], hazard[i], std::exp(-std::exp(x) * hazard[i])};
    return rows;
}
