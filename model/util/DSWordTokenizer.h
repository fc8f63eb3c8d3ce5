#pragma once

#include <QLocale>
#include <QString>
#include <memory>
#include <unicode/uversion.h>

U_NAMESPACE_BEGIN
class BreakIterator;
U_NAMESPACE_END

// Finds the words of a text by the word rules of a locale (ICU's word break
// iterator): runs of spaces and punctuation are not words. Making one is
// costly, so owners keep theirs. One thread at a time.
class DSWordTokenizer
{
public:
    explicit DSWordTokenizer(const QLocale &locale = QLocale());
    ~DSWordTokenizer();
    DSWordTokenizer(const DSWordTokenizer &) = delete;
    DSWordTokenizer &operator=(const DSWordTokenizer &) = delete;

    const QLocale &locale() const { return m_locale; }

    // The UTF-16 offset just after the n-th word (counting from 1) of
    // `text`, or -1 when the text has fewer than n words or n is below 1.
    qsizetype endOfWord(const QString &text, int n);

private:
    QLocale m_locale;
    std::unique_ptr<icu::BreakIterator> m_iterator;
};

// Cuts `text` right after its n-th word when more text follows it, and
// answers 1; answers 0 and leaves the text alone otherwise (fewer than n
// words, nothing after the n-th, n below 1).
int ds_truncate_words(QString &text, int n, DSWordTokenizer &tokenizer);

// "… " (an ellipsis and a space), for callers that append it to a cut text.
QString ds_ellipsis();
