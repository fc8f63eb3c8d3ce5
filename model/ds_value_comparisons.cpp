#include "model/ds_value_comparisons.h"

#include "model/ds_row_mask.h"

#include <algorithm>
#include <cmath>

void ds_mark_comparison(uint8_t *mask, qint64 offset, const double *v, qint64 count, DSPredicateOperatorType type,
                        double x)
{
    switch (type) {
    case DSPredicateOperatorType::LessThan:
        return ds_mark_rows(mask, offset, count, [v, x](int64_t i) { return v[i] < x; });
    case DSPredicateOperatorType::LessThanOrEqualTo:
        return ds_mark_rows(mask, offset, count, [v, x](int64_t i) { return v[i] <= x; });
    case DSPredicateOperatorType::GreaterThan:
        return ds_mark_rows(mask, offset, count, [v, x](int64_t i) { return v[i] > x; });
    case DSPredicateOperatorType::GreaterThanOrEqualTo:
        return ds_mark_rows(mask, offset, count, [v, x](int64_t i) { return v[i] >= x; });
    case DSPredicateOperatorType::NotEqualTo:
        return ds_mark_rows(mask, offset, count, [v, x](int64_t i) { return !(v[i] == x); });
    default:
        return;
    }
}

void ds_mark_equal_rows(uint8_t *mask, qint64 offset, const double *v, qint64 count, std::vector<double> operands)
{
    operands.erase(std::remove_if(operands.begin(), operands.end(), [](double x) { return std::isnan(x); }),
                   operands.end());
    if (operands.empty())
        return;
    if (operands.size() >= 4) {
        std::sort(operands.begin(), operands.end());
        const double *first = operands.data(), *last = first + operands.size();
        ds_mark_rows(mask, offset, count, [v, first, last](int64_t i) { return std::binary_search(first, last, v[i]); });
        return;
    }
    ds_mark_rows(mask, offset, count, [v, &operands](int64_t i) {
        for (double x : operands)
            if (v[i] == x)
                return true;
        return false;
    });
}
