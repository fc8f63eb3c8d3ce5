#pragma once

#include "model/DSRange.h"
#include "model/ds_text_format.h"
#include "platform/store/DSManagedObject.h"

#include <memory>

// The stored text format of a column (entity "DSTextFormatter"): a case
// transformation and limits on words and characters, with an ellipsis for
// cut texts. Keeps, never stored, the user's locale and a word tokenizer for
// it: made when the object is inserted or loaded, dropped when it turns into
// a fault, and made again by the formatting calls when missing.
class DSTextFormatter : public DSManagedObject
{
public:
    bool apply_case_transformation() const { return boolForKey(QStringLiteral("apply_case_transformation")); }
    void setApply_case_transformation(bool apply)
    {
        setPrimitiveValue(apply, QStringLiteral("apply_case_transformation"));
    }
    int case_transformation() const { return int(integerForKey(QStringLiteral("case_transformation"))); }
    void setCase_transformation(int transformation)
    {
        setPrimitiveValue(transformation, QStringLiteral("case_transformation"));
    }
    bool apply_word_limit() const { return boolForKey(QStringLiteral("apply_word_limit")); }
    void setApply_word_limit(bool apply) { setPrimitiveValue(apply, QStringLiteral("apply_word_limit")); }
    int word_limit() const { return int(integerForKey(QStringLiteral("word_limit"))); }
    void setWord_limit(int limit) { setPrimitiveValue(limit, QStringLiteral("word_limit")); }
    bool apply_character_limit() const { return boolForKey(QStringLiteral("apply_character_limit")); }
    void setApply_character_limit(bool apply) { setPrimitiveValue(apply, QStringLiteral("apply_character_limit")); }
    int character_limit() const { return int(integerForKey(QStringLiteral("character_limit"))); }
    void setCharacter_limit(int limit) { setPrimitiveValue(limit, QStringLiteral("character_limit")); }
    bool add_ellipses() const { return boolForKey(QStringLiteral("add_ellipses")); }
    void setAdd_ellipses(bool add) { setPrimitiveValue(add, QStringLiteral("add_ellipses")); }

    // All attributes at once.
    ds_text_format_s format() const;

    // The case transformation alone; a null QString for a null one.
    QString formatString(const QString &text);
    // The case transformation, then the limits and the ellipsis.
    QString formatAndTruncateString(const QString &text);
    // One formatted text for a range of equal ends, else "first — last".
    QString formatAndTruncateRange(const DSRange &range);

    // Makes the locale and the tokenizer (the user's current locale).
    void setupLocale();
    // Whether the transient locale and tokenizer are made.
    bool hasLocale() const { return m_tokenizer != nullptr; }

    void awakeFromInsert() override;
    void awakeFromFetch() override;
    void didTurnIntoFault() override;

private:
    DSWordTokenizer &tokenizer();

    std::unique_ptr<DSWordTokenizer> m_tokenizer;
};
