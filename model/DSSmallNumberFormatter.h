#pragma once

#include "platform/format/DSPlatformNumberFormatter.h"

// Keeps values smaller than the shown precision readable, in the decimal
// style: a value within 10^-k of the central value (k the maximum fraction
// digits) is written in scientific notation ("4E-4", or "1+2E-4" around a
// central value of 1) or as a bound ("<0.001", ">-0.001") instead of as
// zero. Everything else formats as the base formatter does.
class DSSmallNumberFormatter : public DSPlatformNumberFormatter
{
public:
    explicit DSSmallNumberFormatter(int style = DecimalStyle, const QLocale &locale = QLocale());
    DSSmallNumberFormatter(const DSSmallNumberFormatter &other);
    DSSmallNumberFormatter &operator=(const DSSmallNumberFormatter &other);

    std::unique_ptr<DSPlatformNumberFormatter> clone() const override;
    QString stringFromNumber(double value) const override;

    double centralValue() const { return m_center; }
    void setCentralValue(double center) { m_center = center; }
    bool usesScientificFormatter() const { return m_useSmallFormatter; }
    void setUsesScientificFormatter(bool uses) { m_useSmallFormatter = uses; }
    bool showsUnrepresentableNumber() const { return m_showUnrepresentable; }
    void setShowsUnrepresentableNumber(bool shows) { m_showUnrepresentable = shows; }

    // Also set on the scientific formatter.
    void setLocale(const QLocale &locale) override;
    void setMinimumFractionDigits(int digits) override;
    void setMaximumFractionDigits(int digits) override;

private:
    std::unique_ptr<DSPlatformNumberFormatter> m_smallFormatter;
    double m_center = 0;
    bool m_useSmallFormatter = false;
    bool m_showUnrepresentable = false;
};
