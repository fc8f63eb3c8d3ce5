#include "model/util/DSWordTokenizer.h"

#include "platform/format/ds_icu.h"

#include <unicode/brkiter.h>

DSWordTokenizer::DSWordTokenizer(const QLocale &locale) : m_locale(locale)
{
    UErrorCode status = U_ZERO_ERROR;
    m_iterator.reset(icu::BreakIterator::createWordInstance(ds_icu_locale(locale), status));
    if (U_FAILURE(status))
        m_iterator.reset();
}

DSWordTokenizer::~DSWordTokenizer() = default;

qsizetype DSWordTokenizer::endOfWord(const QString &text, int n)
{
    if (!m_iterator || n < 1)
        return -1;
    const icu::UnicodeString source = ds_unicode(text);
    m_iterator->setText(source);
    int words = 0;
    for (int32_t end = m_iterator->next(); end != icu::BreakIterator::DONE; end = m_iterator->next()) {
        if (m_iterator->getRuleStatus() >= UBRK_WORD_NONE_LIMIT && ++words == n)
            return end;
    }
    return -1;
}

int ds_truncate_words(QString &text, int n, DSWordTokenizer &tokenizer)
{
    const qsizetype end = tokenizer.endOfWord(text, n);
    if (end < 0 || end >= text.size())
        return 0;
    text.truncate(end);
    return 1;
}

QString ds_ellipsis()
{
    return QStringLiteral("\u2026 ");
}
