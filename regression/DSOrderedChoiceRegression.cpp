#include "regression/DSOrderedChoiceRegression.h"

#include "model/DSColumnCategory.h"
#include "regression/DSOutcomeVariable.h"

int64_t DSOrderedChoiceRegression::numberOfNuisanceParametersForOutcome(const DSOutcomeVariable *outcome) const
{
    return outcome->category_count() + 1;
}

int64_t DSOrderedChoiceRegression::numberOfPredictedValueSetsForOutcome(const DSOutcomeVariable *outcome) const
{
    return outcome->category_count();
}

void DSOrderedChoiceRegression::extractNuisanceParameters(const double *values, const double *errors,
                                                          int64_t count, DSOutcomeVariable *outcome)
{
    for (qint64 i = 0; i < outcome->category_count() && i + 1 < count; ++i)
        if (const auto category = outcome->categoryAtIndex(i)) {
            category->setTemp_coefficient(values[i + 1]);
            category->setTemp_std_error(errors[i + 1]);
        }
}
