#pragma once

#include "model/DSRange.h"
#include "model/util/DSWordTokenizer.h"

#include <QString>

// How a column's texts are shown: the attributes of the stored text format,
// with the defaults a new column gets. The stored entity reads them into this
// record and formats through the functions below.
struct ds_text_format_s
{
    bool apply_case_transformation = false;
    // 0 capitalise each word, 1 upper case, -1 lower case.
    int case_transformation = 0;
    bool apply_word_limit = false;
    int word_limit = 3;
    bool apply_character_limit = false;
    // UTF-16 code units.
    int character_limit = 20;
    // Append "…" when a limit cut the text.
    bool add_ellipses = true;
};

// The case transformation alone, in the tokenizer's locale; a null QString
// for a null one.
QString ds_text_format_string(const ds_text_format_s &format, const QString &text, DSWordTokenizer &tokenizer);

// The case transformation, then the character limit, then the word limit,
// then "…" when either cut something. A character limit never splits a
// surrogate pair: the cut comes before it. Negative limits count as 0.
QString ds_text_format_and_truncate(const ds_text_format_s &format, const QString &text,
                                    DSWordTokenizer &tokenizer);

// One formatted text when both ends of the range are the same text, else
// "first — last", each end formatted and cut.
QString ds_text_format_and_truncate_range(const ds_text_format_s &format, const DSRange &range,
                                          DSWordTokenizer &tokenizer);
