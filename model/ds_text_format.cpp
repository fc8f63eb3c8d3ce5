#include "model/ds_text_format.h"

#include "platform/format/ds_icu.h"

#include <algorithm>

namespace {

QString transformCase(const QString &text, int transformation, const QLocale &locale)
{
    icu::UnicodeString s = ds_unicode(text);
    const icu::Locale icuLocale = ds_icu_locale(locale);
    switch (transformation) {
    case 0:
        s.toTitle(nullptr, icuLocale);
        break;
    case 1:
        s.toUpper(icuLocale);
        break;
    case -1:
        s.toLower(icuLocale);
        break;
    default:
        return text;
    }
    return ds_qstring(s);
}

} // namespace

QString ds_text_format_string(const ds_text_format_s &format, const QString &text, DSWordTokenizer &tokenizer)
{
    if (text.isNull() || !format.apply_case_transformation)
        return text;
    return transformCase(text, format.case_transformation, tokenizer.locale());
}

QString ds_text_format_and_truncate(const ds_text_format_s &format, const QString &text,
                                    DSWordTokenizer &tokenizer)
{
    QString result = ds_text_format_string(format, text, tokenizer);
    bool cut = false;
    const qsizetype limit = std::max(format.character_limit, 0);
    if (format.apply_character_limit && result.size() > limit) {
        const bool splitsPair = limit > 0 && result.at(limit - 1).isHighSurrogate();
        result.truncate(splitsPair ? limit - 1 : limit);
        cut = true;
    }
    if (format.apply_word_limit && ds_truncate_words(result, format.word_limit, tokenizer))
        cut = true;
    if (format.add_ellipses && cut)
        result += QChar(0x2026);
    return result;
}

QString ds_text_format_and_truncate_range(const ds_text_format_s &format, const DSRange &range,
                                          DSWordTokenizer &tokenizer)
{
    const QString first = range.firstValue().toString(), last = range.lastValue().toString();
    if (first == last)
        return ds_text_format_and_truncate(format, first, tokenizer);
    return ds_text_format_and_truncate(format, first, tokenizer) + QStringLiteral(" \u2014 ")
           + ds_text_format_and_truncate(format, last, tokenizer);
}
