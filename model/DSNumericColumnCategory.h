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

    // The label, else "Missing" for NaN, else the formatted value.
    QString longValue() const override;
    // The label or "Missing" through the column's text formatter; else the
    // formatted value, not cut.
    QString formattedValue() const override;
    // With a label: the table's colour of the label, else the label's hue;
    // without: the hue of the number.
    double hue() const override;

private:
    QString formattedNumber() const;

    std::shared_ptr<const DSDurationFormatter> m_formatter;
    double m_value = NAN;
};
