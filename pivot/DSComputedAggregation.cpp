#include "pivot/DSComputedAggregation.h"

#include "pivot/DSAggregationInput.h"
#include "pivot/DSComputeDifferenceAggregation.h"
#include "pivot/DSComputeDivisionAggregation.h"
#include "pivot/DSComputeProductAggregation.h"
#include "pivot/DSComputeSumAggregation.h"

#include <QStringList>

void DSComputedAggregation::recomputeValuesByIndex(const int32_t *, int64_t, int64_t, const int32_t *,
                                                   const uint8_t *, int64_t)
{
    for (DSAggregationInput *input : sortedInputs())
        input->resolveCategoryIndex();
}

QList<DSColumn *> DSComputedAggregation::insertDataTablesForPivot(DSPivot *pivot, DSManagedObjectContext *context)
{
    DSColumn *column = exportNumbers(pivot, context, name(), [this](int64_t v) { return doubleValueAtIndex(v); });
    if (!column)
        return {};
    takeNumberFormat(column);
    return {column};
}

QString DSComputedAggregation::joinedInputNames(const QString &separator) const
{
    QStringList names;
    for (const DSAggregationInput *input : sortedInputs()) {
        const QString name = input->name();
        if (name.isNull())
            return QString();
        names << name;
    }
    return names.join(separator);
}

double DSComputedAggregation::operand(int64_t i, int64_t g) const
{
    const DSAggregationInput *input = inputAtIndex(i);
    return input ? input->doubleValueAtIndex(g) : 0;
}

double DSComputeSumAggregation::doubleValueAtIndex(int64_t g)
{
    double sum = 0;
    for (const DSAggregationInput *input : sortedInputs())
        sum += input->doubleValueAtIndex(g);
    return sum;
}

double DSComputeProductAggregation::doubleValueAtIndex(int64_t g)
{
    double product = 1;
    for (const DSAggregationInput *input : sortedInputs())
        product *= input->doubleValueAtIndex(g);
    return product;
}

namespace {

// "%1 op %2" of the two operands' names; null when either has none.
QString binaryName(const DSAggregationInput *a, const DSAggregationInput *b, const QString &op)
{
    const QString left = a ? a->name() : QString(), right = b ? b->name() : QString();
    return left.isNull() || right.isNull() ? QString() : left + op + right;
}

} // namespace

QString DSComputeDifferenceAggregation::columnName() const
{
    return binaryName(inputAtIndex(0), inputAtIndex(1), QStringLiteral(" \u2212 "));
}

QString DSComputeDivisionAggregation::columnName() const
{
    return binaryName(inputAtIndex(0), inputAtIndex(1), QStringLiteral(" / "));
}
