#include "regression/DSRegressionEstimate.h"

#include "model/DSTable.h"
#include "model/util/ds_colors.h"
#include "regression/DSExplanatoryVariable.h"
#include "regression/DSRegressionModel.h"

#include <cmath>

void DSRegressionEstimate::setElement(std::vector<double> &array, qint64 i, double value)
{
    if (i < 0)
        return;
    if (size_t(i) >= array.size())
        array.resize(size_t(i) + 1, NAN);
    array[size_t(i)] = value;
}

void DSRegressionEstimate::setElement(std::vector<int64_t> &array, qint64 i, int64_t value)
{
    if (i < 0)
        return;
    if (size_t(i) >= array.size())
        array.resize(size_t(i) + 1, 0);
    array[size_t(i)] = value;
}

double DSRegressionEstimate::elementAt(const std::vector<double> &array, qint64 i, double fallback)
{
    return i >= 0 && size_t(i) < array.size() ? array[size_t(i)] : fallback;
}

double DSRegressionEstimate::coefficientForCoefficientSet(qint64 set) const
{
    return is_omitted_by_design() ? 0.0 : elementAt(coefficients, set, NAN);
}

double DSRegressionEstimate::standardErrorForCoefficientSet(qint64 set) const
{
    return is_omitted_by_design() ? 0.0 : elementAt(std_errors, set, NAN);
}

double DSRegressionEstimate::waldStatisticForOutcomeIndex(qint64 outcomeIndex) const
{
    return elementAt(wald_statistics, outcomeIndex, NAN);
}

int64_t DSRegressionEstimate::multiCollinearSetForCoefficientSet(qint64 set) const
{
    return set >= 0 && size_t(set) < multicollinear_sets.size() ? multicollinear_sets[size_t(set)] : 0;
}

bool DSRegressionEstimate::is_omitted() const
{
    return is_omitted_by_design() || is_omitted_due_to_lack_of_data || is_omitted_due_to_fixed_effects;
}

bool DSRegressionEstimate::is_omitted_by_design() const
{
    return is_omitted_category || is_omitted_constant || is_omitted_interaction;
}

QString DSRegressionEstimate::longValue() const
{
    return label.isNull() ? value : label;
}

QString DSRegressionEstimate::name() const
{
    if (variable && variable->hasCategories())
        return QStringLiteral("[%1 = %2]").arg(variable->name(), longValue());
    if (!label.isNull())
        return label;
    return variable ? variable->name() : QString();
}

double DSRegressionEstimate::hue() const
{
    const QString text = longValue();
    const DSRegressionModel *model = variable ? variable->model() : nullptr;
    if (const DSTable *table = model ? model->table() : nullptr) {
        const QVariant stored = table->label_colors().value(text);
        if (stored.isValid())
            return stored.toDouble();
    }
    return ds_hue_for_text(text.isNull() ? nullptr : text.toUtf8().constData());
}
