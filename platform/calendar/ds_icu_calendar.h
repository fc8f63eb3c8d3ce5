#pragma once

#include "platform/format/ds_icu.h"

// The ICU locale of a Qt locale with its calendar fixed to Gregorian: every
// date this application writes is Gregorian, whatever the locale prefers.
inline icu::Locale ds_icu_gregorian_locale(const QLocale &locale)
{
    icu::Locale icuLocale = ds_icu_locale(locale);
    UErrorCode status = U_ZERO_ERROR;
    icuLocale.setKeywordValue("calendar", "gregorian", status);
    return icuLocale;
}
