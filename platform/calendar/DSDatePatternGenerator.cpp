#include "platform/calendar/DSDatePatternGenerator.h"

#include "platform/calendar/ds_icu_calendar.h"

#include <unicode/dtptngen.h>

DSDatePatternGenerator::DSDatePatternGenerator(const QLocale &locale)
{
    UErrorCode status = U_ZERO_ERROR;
    m_generator.reset(icu::DateTimePatternGenerator::createInstance(ds_icu_gregorian_locale(locale), status));
    if (U_FAILURE(status))
        m_generator.reset();
}

DSDatePatternGenerator::~DSDatePatternGenerator() = default;

QString DSDatePatternGenerator::bestPattern(const QString &skeleton) const
{
    if (!m_generator)
        return QString();
    UErrorCode status = U_ZERO_ERROR;
    const icu::UnicodeString pattern = m_generator->getBestPattern(ds_unicode(skeleton), status);
    if (U_FAILURE(status))
        return QString();
    return ds_qstring(pattern);
}
