#include "model/DSShortNumberFormatter.h"

#include "model/util/ds_xml_property_list.h"
#include "model/util/ds_resources.h"

#include <QFile>
#include <cmath>

namespace {

// `pattern` with its run of `zeros` "0" characters, from the first "0",
// replaced by `format`.
QString replaceZeros(QString pattern, qsizetype zeros, const QString &format)
{
    const qsizetype first = pattern.indexOf(QLatin1Char('0'));
    return pattern.replace(first, zeros, format);
}

} // namespace

DSShortNumberFormatter::DSShortNumberFormatter(int style, const QLocale &locale)
    : DSShortNumberFormatter(resourcePatterns(), style, locale)
{
}

DSShortNumberFormatter::DSShortNumberFormatter(const QVariantMap &patternDict, int style, const QLocale &locale)
    : DSPlatformNumberFormatter(style, locale), m_patternDict(patternDict)
{
}

const QVariantMap &DSShortNumberFormatter::resourcePatterns()
{
    static const QVariantMap patterns = [] {
        QFile file(ds_resource_path(QStringLiteral("patterns.plist")));
        if (!file.open(QIODevice::ReadOnly))
            return QVariantMap();
        return ds_read_xml_property_list(file.readAll()).toMap();
    }();
    return patterns;
}

std::unique_ptr<DSPlatformNumberFormatter> DSShortNumberFormatter::clone() const
{
    return std::make_unique<DSShortNumberFormatter>(*this);
}

QVariantList DSShortNumberFormatter::patternsForLocale(const QLocale &locale) const
{
    const QString identifier = locale.name();
    for (const QString &key : {identifier, identifier.section(QLatin1Char('_'), 0, 0), QStringLiteral("root")}) {
        const auto it = m_patternDict.constFind(key);
        if (it != m_patternDict.constEnd())
            return it->toList();
    }
    return {};
}

// Works on a copy of the base formatter so that every call starts from the
// same formats and scale, and the formatter itself never changes.
QString DSShortNumberFormatter::stringFromNumber(double value) const
{
    if (numberStyle() == PercentStyle || numberStyle() == ScientificStyle)
        return DSPlatformNumberFormatter::stringFromNumber(value);
    DSPlatformNumberFormatter work(*this);
    const QString positive = positiveFormat(), negative = negativeFormat();
    for (const QVariant &item : patternsForLocale(locale())) {
        const QVariantMap entry = item.toMap();
        const QString type = entry.value(QStringLiteral("type")).toString();
        const QString pattern = entry.value(QStringLiteral("pattern")).toString();
        const qsizetype zeros = pattern.count(QLatin1Char('0'));
        if (entry.value(QStringLiteral("count")).toString() != QLatin1String("other") || zeros == 0
            || !(type.toDouble() <= std::fabs(value)))
            continue;
        work.setMultiplier(std::pow(10.0, -double(type.size() - zeros)));
        work.setPositiveFormat(replaceZeros(pattern, zeros, positive));
        work.setNegativeFormat(replaceZeros(pattern, zeros, negative));
    }
    return work.DSPlatformNumberFormatter::stringFromNumber(value);
}
