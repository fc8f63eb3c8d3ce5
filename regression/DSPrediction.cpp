#include "regression/DSPrediction.h"

#include "model/DSTable.h"
#include "regression/DSExplanatoryColumnVariable.h"
#include "regression/DSExplanatoryInteractionVariable.h"
#include "regression/DSOutcomeVariable.h"
#include "regression/DSPredictionAssumption.h"
#include "regression/DSRegression.h"
#include "regression/DSRegressionModel.h"
#include "regression/DSRegressionPostEstimator.h"

#include <QHash>

#include <algorithm>
#include <cmath>

namespace {

const QString k_assumptions = QStringLiteral("prediction_assumptions");
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();

// Writes q[p] = x when p lies in the block of `room` entries.
void put(double *q, qint64 room, qint64 p, double x)
{
    if (p >= 0 && p < room)
        q[p] = x;
}

} // namespace

DSRegressionModel *DSPrediction::model() const
{
    return ds_object_cast<DSRegressionModel>(objectForKey(QStringLiteral("model")));
}

void DSPrediction::setModel(DSRegressionModel *model)
{
    setObject(model, QStringLiteral("model"));
}

DSOutcomeVariable *DSPrediction::outcome_variable() const
{
    return ds_object_cast<DSOutcomeVariable>(objectForKey(QStringLiteral("outcome_variable")));
}

void DSPrediction::setOutcome_variable(DSOutcomeVariable *outcome)
{
    setObject(outcome, QStringLiteral("outcome_variable"));
}

QList<DSPredictionAssumption *> DSPrediction::prediction_assumptions() const
{
    return ds_objects_cast<DSPredictionAssumption>(objectsForKey(k_assumptions));
}

void DSPrediction::addPrediction_assumptionsObject(DSPredictionAssumption *assumption)
{
    addObject(assumption, k_assumptions);
}

DSPredictionAssumption *DSPrediction::assumptionForVariable(const DSExplanatoryVariable *variable) const
{
    if (!variable)
        return nullptr;
    for (DSPredictionAssumption *assumption : prediction_assumptions())
        if (assumption->explanatory_variable() == variable)
            return assumption;
    return nullptr;
}

DSPredictionAssumption *DSPrediction::active_assumption() const
{
    return assumptionForVariable(m_activeExplanatory);
}

QList<DSPredictionAssumption *> DSPrediction::sortedPredictionAssumptions() const
{
    QList<DSPredictionAssumption *> sorted = prediction_assumptions();
    auto key = [](const DSPredictionAssumption *a) {
        const DSExplanatoryColumnVariable *v = a->explanatory_variable();
        return v ? v->index() : std::numeric_limits<qint64>::max();
    };
    std::stable_sort(sorted.begin(), sorted.end(),
                     [&](const DSPredictionAssumption *a, const DSPredictionAssumption *b) { return key(a) < key(b); });
    return sorted;
}

void DSPrediction::createMissingPredictionAssumptions()
{
    DSRegressionModel *owner = model();
    if (!owner)
        return;
    for (DSExplanatoryVariable *variable : owner->sortedExplanatoryVariables()) {
        auto *column = dynamic_cast<DSExplanatoryColumnVariable *>(variable);
        if (!column || !column->is_included() || assumptionForVariable(column))
            continue;
        auto *assumption
            = ds_object_cast<DSPredictionAssumption>(insertNewObjectOfEntity(QStringLiteral("DSPredictionAssumption")));
        if (!assumption)
            return;
        assumption->setPrediction(this);
        assumption->setExplanatory_variable(column);
        addPrediction_assumptionsObject(assumption);
    }
}

double DSPrediction::valueOf(const DSExplanatoryColumnVariable *variable, const DSPredictionOverride &change) const
{
    if (variable && variable == change.variable)
        return change.value;
    const DSPredictionAssumption *assumption = assumptionForVariable(variable);
    return assumption ? assumption->temp_numeric_value() : 0.0;
}

// The assumed category (a position among the estimates not omitted for lack
// of data) as a position among the estimates the flags keep; -1 when that
// estimate is skipped, absent, or the variable has no assumption.
qint64 DSPrediction::categoryPositionOf(DSExplanatoryColumnVariable *variable, const DSPredictionOverride &change,
                                        int excluding) const
{
    const DSPredictionAssumption *assumption = assumptionForVariable(variable);
    if (!variable || (!assumption && variable != change.variable))
        return -1;
    const qint64 category = variable == change.variable ? change.category : assumption->category_value();
    const DSRegressionEstimate *estimate = variable->estimateAtIndex(category, DSEstimateExcludeLackOfData);
    return estimate ? variable->indexOfEstimate(estimate, excluding) : -1;
}

// With categories: 1.0 at the assumed category's regressor (none for the
// omitted one); else the value and its powers.
qint64 DSPrediction::writeColumnBlock(DSExplanatoryColumnVariable *variable, double *q, qint64 room,
                                      const DSPredictionOverride &change) const
{
    const qint64 length = std::min(variable->cachedNumberOfRegressors(), room);
    if (variable->hasCategories()) {
        put(q, length, categoryPositionOf(variable, change, DSEstimateExcludeByDesign), 1.0);
        return length;
    }
    const double x = valueOf(variable, change);
    for (qint64 j = 0; j < length; ++j)
        q[j] = std::pow(x, double(j + 1));
    return length;
}

// The cells of the inputs' categories (omitted cells skipped as the
// variable's columns skip them), the first input's value on the second's
// categories, or the product of the two values.
qint64 DSPrediction::writeInteractionBlock(DSExplanatoryInteractionVariable *interaction, double *q, qint64 room,
                                           const DSPredictionOverride &change) const
{
    DSExplanatoryColumnVariable *first = interaction->input1();
    DSExplanatoryColumnVariable *second = interaction->input2();
    const qint64 length = std::min(interaction->cachedNumberOfRegressors(), room);
    if (!first || !second)
        return length;
    if (first->hasCategories() && second->hasCategories()) {
        const qint64 h = categoryPositionOf(first, change, 0), l = categoryPositionOf(second, change, 0);
        const qint64 a = first->numberOfEstimatesExcluding(0), b = second->numberOfEstimatesExcluding(0);
        const qint64 o1 = first->omitted_category(), o2 = second->omitted_category();
        qint64 cell = 0;
        for (qint64 j = 0; j < a; ++j)
            for (qint64 k = 0; k < b; ++k) {
                if ((j == o1 && k == o2) || (j == o1 && second->is_included()) || (k == o2 && first->is_included()))
                    continue;
                put(q, length, cell++, j == h && k == l ? 1.0 : 0.0);
            }
        return length;
    }
    if (second->hasCategories()) {
        const int flags = first->is_included() ? DSEstimateExcludeByDesign : 0;
        put(q, length, categoryPositionOf(second, change, flags), valueOf(first, change));
        return length;
    }
    put(q, length, 0, valueOf(first, change) * valueOf(second, change));
    return length;
}

std::vector<double> DSPrediction::rowVector(const DSPredictionOverride &change) const
{
    DSRegressionModel *owner = model();
    const qint64 n = owner ? std::max<qint64>(owner->cachedNumberOfRegressors(), 0) : 0;
    std::vector<double> row(size_t(n), 0.0);
    if (!owner)
        return row;
    qint64 at = 0;
    if (owner->hasConstantTerm() && at < n)
        row[size_t(at++)] = 1.0;
    for (DSExplanatoryVariable *variable : owner->sortedIncludedExplanatoryVariables()) {
        if (auto *column = dynamic_cast<DSExplanatoryColumnVariable *>(variable))
            at += writeColumnBlock(column, row.data() + at, n - at, change);
        else if (auto *interaction = dynamic_cast<DSExplanatoryInteractionVariable *>(variable))
            at += writeInteractionBlock(interaction, row.data() + at, n - at, change);
    }
    return row;
}

double DSPrediction::fittedValueForCoefficientSet(qint64 set, const DSPredictionOverride &change) const
{
    const DSOutcomeVariable *outcome = outcome_variable();
    const DSRegression *regression = outcome ? outcome->temp_regression() : nullptr;
    if (!regression || !regression->post_estimator() || !model())
        return kNaN;
    const std::vector<double> row = rowVector(change);
    const qint64 n = qint64(row.size());
    const qint64 relative = set - outcome->coefficient_offset();
    double f = regression->post_estimator()->fittedValueForRowVector(row.data(), relative * n, n);
    // The constant of a fixed-effects fit is the mean panel effect.
    if (model()->hasFixedEffects())
        f += regression->constantCoefficientAtIndex(relative);
    return f;
}

double DSPrediction::predictedValueForFittedValue(double fitted, const DSPredictionOverride &change,
                                                  std::optional<qint64> outcomeCategory) const
{
    const DSOutcomeVariable *outcome = outcome_variable();
    const DSRegression *regression = outcome ? outcome->temp_regression() : nullptr;
    if (!regression)
        return kNaN;
    DSPredictionQuery query{this, fitted, outcomeCategory.value_or(outcome_category()), &change};
    return regression->predictedValue(query);
}

std::optional<DSRange> DSPrediction::predictedRangeForFittedValue(double fitted, const DSPredictionOverride &change,
                                                                  std::optional<qint64> outcomeCategory,
                                                                  std::optional<double> confidence) const
{
    const DSOutcomeVariable *outcome = outcome_variable();
    const DSRegression *regression = outcome ? outcome->temp_regression() : nullptr;
    if (!regression)
        return std::nullopt;
    const std::vector<double> row = rowVector(change);
    DSPredictionQuery query{this, fitted, outcomeCategory.value_or(outcome_category()), &change, row.data(),
                            qint64(row.size())};
    return regression->predictedRange(query, 1 - confidence.value_or(confidence_level()));
}

QString DSPrediction::explanationForPredictedValue(double value, double fitted,
                                                   const DSPlatformNumberFormatter *formatter) const
{
    const DSOutcomeVariable *outcome = outcome_variable();
    const DSRegression *regression = outcome ? outcome->temp_regression() : nullptr;
    if (!regression || !model() || model()->hasFixedEffects())
        return QString();
    DSPredictionQuery query{this, fitted, outcome_category()};
    return regression->explanationForPredictedValue(value, query, formatter);
}

void DSPrediction::prepareForDeletion()
{
    DSManagedObject::prepareForDeletion();
    if (DSRegressionModel *owner = model())
        owner->predictionWillBeDeleted(this);
}

DSObjectList DSPrediction::managedObjectDependencies()
{
    DSObjectList dependencies = DSManagedObject::managedObjectDependencies();
    for (DSPredictionAssumption *assumption : prediction_assumptions())
        dependencies += assumption->managedObjectDependencies();
    return dependencies;
}
