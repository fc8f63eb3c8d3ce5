#include "model/DSTextFormatter.h"

ds_text_format_s DSTextFormatter::format() const
{
    ds_text_format_s f;
    f.apply_case_transformation = apply_case_transformation();
    f.case_transformation = case_transformation();
    f.apply_word_limit = apply_word_limit();
    f.word_limit = word_limit();
    f.apply_character_limit = apply_character_limit();
    f.character_limit = character_limit();
    f.add_ellipses = add_ellipses();
    return f;
}

void DSTextFormatter::setupLocale()
{
    m_tokenizer = std::make_unique<DSWordTokenizer>(QLocale());
}

DSWordTokenizer &DSTextFormatter::tokenizer()
{
    if (!m_tokenizer)
        setupLocale();
    return *m_tokenizer;
}

QString DSTextFormatter::formatString(const QString &text)
{
    return ds_text_format_string(format(), text, tokenizer());
}

QString DSTextFormatter::formatAndTruncateString(const QString &text)
{
    return ds_text_format_and_truncate(format(), text, tokenizer());
}

QString DSTextFormatter::formatAndTruncateRange(const DSRange &range)
{
    return ds_text_format_and_truncate_range(format(), range, tokenizer());
}

void DSTextFormatter::awakeFromInsert()
{
    DSManagedObject::awakeFromInsert();
    setupLocale();
}

void DSTextFormatter::awakeFromFetch()
{
    DSManagedObject::awakeFromFetch();
    setupLocale();
}

void DSTextFormatter::didTurnIntoFault()
{
    DSManagedObject::didTurnIntoFault();
    m_tokenizer.reset();
}
