#include "model/ds_text_format.h"
#include "tests/support/ds_qt_printers.h"

#include <gtest/gtest.h>

namespace {

const QLocale kUS(QLocale::English, QLocale::UnitedStates);

TEST(TextFormat, CaseAndLimits)
{
    enum Limit { None, Words, Characters };
    const struct
    {
        const char *text;
        int caseTransformation; // 99: none applied
        Limit limit;
        int count;
        bool ellipses;
        const char *result;
    } cases[] = {
        {"one two three", 99, Words, 2, true, "one two\u2026"},
        {"one two three", 99, Characters, 3, false, "one"},
        {"one two three", 99, Characters, 3, true, "one\u2026"},
        {"one two", 99, Words, 2, true, "one two"},
        {"one two.", 99, Words, 2, true, "one two\u2026"},
        {"one, two", 99, Words, 5, true, "one, two"},
        {"one two", 99, Characters, 7, true, "one two"},
        {"hello wORLD", 0, None, 0, true, "Hello World"},
        {"hello world", 1, None, 0, true, "HELLO WORLD"},
        {"Hello World", -1, None, 0, true, "hello world"},
        {"Hello World", 5, None, 0, true, "Hello World"},
        {"istanbul", 1, None, 0, true, "ISTANBUL"},
        {"ab\U0001F600cd", 99, Characters, 3, false, "ab"},
        {"abc", 99, Characters, -2, false, ""},
        {"one two", 99, Words, 0, true, "one two"},
    };
    for (const auto &c : cases) {
        ds_text_format_s f;
        f.apply_case_transformation = c.caseTransformation != 99;
        f.case_transformation = c.caseTransformation;
        f.apply_word_limit = c.limit == Words;
        f.word_limit = c.count;
        f.apply_character_limit = c.limit == Characters;
        f.character_limit = c.count;
        f.add_ellipses = c.ellipses;
        DSWordTokenizer tokenizer(kUS);
        EXPECT_EQ(ds_text_format_and_truncate(f, QString::fromUtf8(c.text), tokenizer), QString::fromUtf8(c.result))
            << c.text;
    }
}

TEST(TextFormat, CaseAloneAndRanges)
{
    ds_text_format_s f;
    f.apply_case_transformation = true;
    f.case_transformation = 1;
    f.apply_character_limit = true;
    f.character_limit = 3;
    DSWordTokenizer tokenizer(kUS);
    EXPECT_EQ(ds_text_format_string(f, "abcdef", tokenizer), "ABCDEF");
    EXPECT_TRUE(ds_text_format_string(f, QString(), tokenizer).isNull());
    EXPECT_EQ(ds_text_format_and_truncate_range(f, DSRange("apple", "banana"), tokenizer),
              QString::fromUtf8("APP\u2026 \u2014 BAN\u2026"));
    EXPECT_EQ(ds_text_format_and_truncate_range(f, DSRange("kiwi", "kiwi"), tokenizer), QString::fromUtf8("KIW\u2026"));
    DSWordTokenizer turkish(QLocale(QLocale::Turkish, QLocale::Turkey));
    EXPECT_EQ(ds_text_format_string(f, "istanbul", turkish), QString::fromUtf8("\u0130STANBUL"));
}

TEST(TextFormat, TruncatingWords)
{
    DSWordTokenizer tokenizer(kUS);
    QString text = "alpha beta gamma";
    EXPECT_EQ(ds_truncate_words(text, 2, tokenizer), 1);
    EXPECT_EQ(text, "alpha beta");
    EXPECT_EQ(ds_truncate_words(text, 2, tokenizer), 0);
    EXPECT_EQ(ds_truncate_words(text, 5, tokenizer), 0);
    EXPECT_EQ(text, "alpha beta");
    EXPECT_EQ(ds_ellipsis(), QString::fromUtf8("\u2026 "));
}

} // namespace
