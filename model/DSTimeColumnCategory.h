#pragma once

#include "model/DSColumnCategory.h"

#include <cmath>
#include <memory>

class DSPlatformDateFormatter;

// One period of a time column as a summary shows it: its start (seconds
// since 2001-01-01 GMT; NaN for the missing entry), its length, a calendar
// code (a year, month or weekday number; -1 for the missing entry), the
// confidence bounds of its count, and the date formatter of the summary,
// which its categories share and keep for their lifetime.
class DSTimeColumnCategory : public DSColumnCategory
{
public:
    explicit DSTimeColumnCategory(std::shared_ptr<const DSPlatformDateFormatter> formatter)
        : m_formatter(std::move(formatter))
    {
    }

    double value() const { return m_value; }
    void setValue(double start) { m_value = start; }
    bool hasValue() const { return !std::isnan(m_value); }
    double interval() const { return m_interval; }
    void setInterval(double seconds) { m_interval = seconds; }
    qint64 integerValue() const { return m_integerValue; }
    void setIntegerValue(qint64 code) { m_integerValue = code; }
    double count_lower_ci() const { return m_countLowerCI; }
    void setCount_lower_ci(double bound) { m_countLowerCI = bound; }
    double count_upper_ci() const { return m_countUpperCI; }
    void setCount_upper_ci(double bound) { m_countUpperCI = bound; }
    const DSPlatformDateFormatter *formatter() const { return m_formatter.get(); }

    // The label; else "Missing" without a start; else the formatted start,
    // joined as "start - last" to the period's last second when the period
    // has a length and the two texts differ.
    QString longValue() const override;
    // The hue of the start's seconds (0 without a start, whose hue is 0.3).
    double hue() const override;

private:
    std::shared_ptr<const DSPlatformDateFormatter> m_formatter;
    double m_value = NAN;
    double m_interval = 0;
    qint64 m_integerValue = 0;
    double m_countLowerCI = NAN;
    double m_countUpperCI = NAN;
};
