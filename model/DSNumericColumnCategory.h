#pragma once

#include "model/DSColumnCategory.h"
#include "model/DSDurationFormatter.h"

#include <cmath>
#include <memory>

// One distinct value of a numeric column as a summary shows it: the value
// (NaN for the missing entry) and the column's number formatter, which the
// categories of one summary share and keep for their lifetime.
class DSNumericColumnCategory : public DSColumnCategory
{
public:
    explicit DSNumericColumnCategory(std::shared_ptr<const DSDurationFormatter> formatter)
        : m_formatter(std::move(formatter))
    {
    }

    double value() const { return m_value; }
    void setValue(double value) { m_value = value; }
    // The number formatter given at construction; may be null.
    const DSDurationFormatter *formatter() const { return m_formatter.get(); }

private:
    std::shared_ptr<const DSDurationFormatter> m_formatter;
    double m_value = NAN;
};
