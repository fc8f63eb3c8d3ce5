#pragma once

#include "platform/format/DSPlatformNumberFormatter.h"

#include <QVariantList>
#include <QVariantMap>

// Compact numbers for axis labels: 1234 as "1.234K" and 5,600,000 as "5.6M",
// by the locale's patterns from the resource "patterns.plist". Percent and
// scientific styles, and values below the smallest pattern, format as the
// base formatter does.
//
// The pattern dictionary maps locale identifiers ("en", "de_CH", and "root"
// as the last resort) to lists of entries ordered from the smallest type up,
// each a dictionary of "pattern" (a number pattern with one run of "0", such
// as "00K"), "count" (a plural category; only "other" is used) and "type"
// (a power of ten in digits, such as "10000").
class DSShortNumberFormatter : public DSPlatformNumberFormatter
{
public:
    // Patterns from the application resource, read once per process.
    explicit DSShortNumberFormatter(int style = DecimalStyle, const QLocale &locale = QLocale());
    DSShortNumberFormatter(const QVariantMap &patternDict, int style, const QLocale &locale);

    std::unique_ptr<DSPlatformNumberFormatter> clone() const override;
    QString stringFromNumber(double value) const override;

    // The entries for `locale`: those of its full identifier, else of its
    // language, else of "root".
    QVariantList patternsForLocale(const QLocale &locale) const;

    const QVariantMap &pattern_dict() const { return m_patternDict; }

    // The dictionary in the application resource; empty when it is missing.
    static const QVariantMap &resourcePatterns();

private:
    QVariantMap m_patternDict;
};
