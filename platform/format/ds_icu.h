#pragma once

#include <QLocale>
#include <QString>
#include <unicode/locid.h>
#include <unicode/unistr.h>

// Conversions between Qt's strings and locales and ICU's, for the stand-ins
// that format numbers, dates and words on ICU.

inline QString ds_qstring(const icu::UnicodeString &s)
{
    return QString(reinterpret_cast<const QChar *>(s.getBuffer()), s.length());
}

inline icu::UnicodeString ds_unicode(const QString &s)
{
    return icu::UnicodeString(reinterpret_cast<const char16_t *>(s.utf16()), int32_t(s.size()));
}

// The ICU locale of a Qt locale; the "C" locale becomes ICU's POSIX English.
inline icu::Locale ds_icu_locale(const QLocale &locale)
{
    if (locale.language() == QLocale::C)
        return icu::Locale("en_US_POSIX");
    return icu::Locale(locale.name().toUtf8().constData());
}
