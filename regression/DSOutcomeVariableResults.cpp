// The outcome's result columns and result rows, kept apart from its
// set-up and data code.
#include "regression/DSOutcomeVariable.h"

#include "model/DSColumn.h"
#include "model/DSColumnCategory.h"
#include "model/DSNumberFormatter.h"
#include "model/DSDate.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "model/ds_time_units.h"
#include "model/ds_row_mask.h"
#include "platform/sterna/sterna.h"
#include "platform/store/DSManagedObjectContext.h"
#include "regression/DSCoxRegression.h"
#include "regression/DSRegression.h"
#include "regression/DSRegressionModel.h"

#include <algorithm>
#include <cmath>

namespace {

constexpr double kLastSecondOfDay = 86399;

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

namespace {

bool inMask(const uint8_t *mask, qint64 length, qint64 i)
{
    return length > 0 && i / 8 < length && ds_mask_test(mask, i);
}

// A new stored column of the entity with its formatters made, so that the
// makers can set them before a table takes it; null without a context.
template <class T>
T *insertColumn(const DSOutcomeVariable *outcome, const QString &entity)
{
    DSManagedObjectContext *context = outcome->managedObjectContext();
    T *column = context ? context->insertNewObject<T>(entity) : nullptr;
    if (column)
        column->makeDependencies();
    return column;
}

// Model units times the divisor floored to the unit, as one time a row.
DSTimeDataColumn *insertTimes(const DSOutcomeVariable *outcome, const double *values, qint64 rows,
                              const uint8_t *mask, qint64 length, bool timeOfDay)
{
    auto *column = insertColumn<DSTimeDataColumn>(outcome, QStringLiteral("DSTimeDataColumn"));
    if (!column)
        return nullptr;
    if (timeOfDay)
        column->setRelative_time_unit(1);
    for (qint64 i = 0; i < rows; ++i) {
        double interval = 0;
        double time = NAN;
        if (inMask(mask, length, i)) {
            const double seconds = values[i] * outcome->temp_time_divisor();
            time = ds_time_floor(timeOfDay ? ds_time_unit_second : ds_time_unit_day, &interval, seconds);
            // A prediction past the end of the day is the day's last second.
            if (timeOfDay)
                time = std::clamp(time, 0.0, kLastSecondOfDay);
        }
        column->appendTimeValue(time, std::isnan(time) ? 0 : interval);
    }
    column->save();
    return column;
}

} // namespace

DSNumericDataColumn *DSOutcomeVariable::insertNumericColumnFromBuffer(const double *values, qint64 rows,
                                                                      const uint8_t *mask, qint64 length)
{
    auto *column = insertColumn<DSNumericDataColumn>(this, QStringLiteral("DSNumericDataColumn"));
    if (!column)
        return nullptr;
    for (qint64 i = 0; i < rows; ++i)
        column->appendValue(inMask(mask, length, i) ? values[i] : NAN);
    column->save();
    return column;
}

DSTimeDataColumn *DSOutcomeVariable::insertDateColumnFromBuffer(const double *values, qint64 rows,
                                                                const uint8_t *mask, qint64 length)
{
    return insertTimes(this, values, rows, mask, length, false);
}

DSTimeDataColumn *DSOutcomeVariable::insertTimeOfDayColumnFromBuffer(const double *values, qint64 rows,
                                                                     const uint8_t *mask, qint64 length)
{
    return insertTimes(this, values, rows, mask, length, true);
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

// One column of a predicted-value block in the outcome column's kind: its
// times, or numbers in its number format.
DSColumn *DSOutcomeVariable::insertPredictedColumn(const double *values, qint64 rows, const uint8_t *mask,
                                                   qint64 length)
{
    if (auto *times = dynamic_cast<DSTimeColumn *>(column()))
        return times->isTimeOfDay() ? insertTimeOfDayColumnFromBuffer(values, rows, mask, length)
                                    : insertDateColumnFromBuffer(values, rows, mask, length);
    DSNumericDataColumn *made = insertNumericColumnFromBuffer(values, rows, mask, length);
    const auto *numbers = dynamic_cast<DSNumericColumn *>(column());
    if (made && numbers && numbers->number_formatter() && made->number_formatter())
        made->number_formatter()->decodeAttributes(numbers->number_formatter()->encodedManagedObject());
    return made;
}

QList<DSColumn *> DSOutcomeVariable::insertColumnsFromPredictedValuesForMask(const uint8_t *mask, qint64 length)
{
    const DSRegression *r = successfulFit(this);
    if (!r || !model() || !column())
        return {};
    const qint64 n = r->residuals_count();
    const uint8_t *predictionMask = nullptr;
    const qint64 bytes = getPredictionMask(&predictionMask, mask, length);
    const QString columnName = column()->name();
    QList<DSColumn *> made;
    auto block = [&](qint64 b) -> const double * {
        return int64_t(r->predicted_values().size()) < (b + 1) * n ? nullptr : r->predicted_values().data() + b * n;
    };
    auto make = [&](qint64 b, const QString &name) {
        DSColumn *c = block(b) ? insertPredictedColumn(block(b), n, predictionMask, bytes) : nullptr;
        if (c) {
            c->setName(name);
            made << c;
        }
    };
    if (treat_as_categories()) {
        qint64 k = 0;
        for (qint64 i = 0; i < category_count(); ++i) {
            // Of two categories only the non-base one's chance is modelled.
            if (category_count() == 2 && category_lookup()[size_t(i)] == double(base_category()))
                continue;
            DSNumericDataColumn *c = block(k) ? insertNumericColumnFromBuffer(block(k), n, predictionMask, bytes)
                                              : nullptr;
            ++k;
            if (!c)
                continue;
            c->setName(QStringLiteral("predicted chance %1 = %2 (%3)")
                           .arg(columnName, categoryAtIndex(i)->longValue(), modelName(r)));
            made << c;
            if (DSNumberFormatter *formatter = c->number_formatter()) {
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

DSDate DSOutcomeVariable::failureDate(double t, bool timeOfDay) const
{
    double interval = 0;
    const double start = ds_time_floor(timeOfDay ? ds_time_unit_minute : ds_time_unit_day, &interval,
                                       t * temp_time_divisor());
    return timeOfDay ? DSDate::dateWithTimeIntervalSinceMidnight(start, interval)
                     : DSDate::dateWithTimeIntervalSinceReferenceDate(start, interval);
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
    const auto *timeColumn = dynamic_cast<const DSTimeColumn *>(column());
    for (int64_t i = 0; i < count; ++i) {
        const QVariant t = timeColumn ? QVariant::fromValue(failureDate(times[i], timeColumn->isTimeOfDay()))
                                      : QVariant(times[i]);
        rows << QVariantList{t, hazard[i], std::exp(-std::exp(x) * hazard[i])};
    }
    return rows;
}
