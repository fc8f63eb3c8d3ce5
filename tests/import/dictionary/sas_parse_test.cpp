#include "import/dictionary/sas_parse.h"

#include "import/dictionary/ds_stata_dct.h"
#include "import/dictionary/ds_value_labels.h"

#include "callback_trace.h"
#include "parse_log.h"

#include <gtest/gtest.h>
#include <string>

namespace {

struct SasCase {
    std::string text;
    // The callbacks in order, then the log line of a failure after " | ".
    std::string expected;
};

std::string run(const std::string &text)
{
    ParseLog log;
    std::string trace;
    unsigned line = 0;
    int result = sas_parse(text.data(), text.size(), &trace, traceInfileOption, traceVariable, traceVariableLabel,
                           traceValueLabel, traceVariableFormat, &line);
    if (result)
        trace += " | " + log.text() + " | " + std::to_string(line);
    return trace;
}

std::string error(int line, int column, const char *byte)
{
    return parseError("SAS", line, column, byte);
}

// Where a single-line text fails: its 1-based column of `at` (the n-th
// occurrence of that string).
std::string errorAt(const std::string &text, const std::string &at, int nth = 1)
{
    size_t pos = std::string::npos;
    for (int i = 0; i < nth; i++)
        pos = text.find(at, pos + 1);
    return error(1, int(pos) + 1, std::string(1, text[pos]).c_str());
}

std::string errorAtEnd(const std::string &text)
{
    return error(1, int(text.size()) + 1, "\\0");
}

class SasParseTest : public testing::TestWithParam<SasCase> {};

TEST_P(SasParseTest, ReportsInOrderOrFailsAtTheByte)
{
    EXPECT_EQ(run(GetParam().text), GetParam().expected);
}

INSTANTIATE_TEST_SUITE_P(Statements, SasParseTest, testing::Values(
    SasCase{"", ""},
    SasCase{" \n/* c */\n* star;\n", ""},
    SasCase{"DATA d; INFILE 'in.dat' FIRSTOBS=2 DLM='09'x LRECL=200 MISSOVER; RUN;", "opt(1,2) opt(2,9)"},
    SasCase{"INFILE f dlm='2c'x;", "opt(2,44)"},
    SasCase{"INFILE f dlm='09'X;", error(1, 18, "X")},
    SasCase{"INFILE f dlm='zz'x;", errorAt("INFILE f dlm='zz'x;", "x")},
    SasCase{"INFILE; INFILE f;", ""},
    SasCase{"OPTIONS NOCENTER LS=80;", ""},
    SasCase{"OPTIONS FIRSTOBS=3;", "opt(1,3)"},
    SasCase{"OPTIONS;", errorAt("OPTIONS;", ";")},
    SasCase{"PROC PRINT DATA=x (OBS=10 FIRSTOBS=2);", "opt(1,2)"},
    SasCase{"PROC PRINT DATA=x(OBS=10);", errorAt("PROC PRINT DATA=x(OBS=10);", "(")},
    SasCase{"PROC PRINT;", errorAt("PROC PRINT;", ";")},
    SasCase{"PROC CONTENTS;", errorAt("PROC CONTENTS;", ";")},
    SasCase{"LIBNAME lib 'data'; LIBNAME lib CLEAR; LIBNAME lib _ALL_ LIST;", ""},
    SasCase{"LIBNAME lib;", errorAt("LIBNAME lib;", ";")},
    SasCase{"FILENAME in 'data.txt';", ""},
    SasCase{"FILENAME in 'data.txt' LRECL=5;", errorAt("FILENAME in 'data.txt' LRECL=5;", "LRECL")},
    SasCase{"DATA a1.b; DATA ab.1; DATA x y; DATA &m.;", ""},
    SasCase{"DATA;", errorAt("DATA;", ";")},
    SasCase{"DATA a.1;", errorAt("DATA a.1;", "1")},
    SasCase{"DATA x(keep=a);", errorAt("DATA x(keep=a);", "(")},
    SasCase{"DATA _null_;", errorAt("DATA _null_;", "_")},
    SasCase{"IF x THEN DELETE;", ""},
    SasCase{"IF x = 1 THEN DELETE;", error(1, 6, "=")},
    SasCase{"%LET n = abc;", ""},
    SasCase{"%LET n=5;", errorAt("%LET n=5;", "5")},
    SasCase{"* note; DATA x;\n", ""},
    SasCase{"* note;", errorAtEnd("* note;")},
    SasCase{"/* a\nb */ RUN;", ""},
    SasCase{"/* a", errorAtEnd("/* a")},
    SasCase{"PROC FORMAT;", errorAtEnd("PROC FORMAT;")},
    SasCase{"PROC FORMAT;\n", ""},
    SasCase{"TITLE 'x';", error(1, 1, "T")},
    SasCase{"QUIT;", error(1, 1, "Q")},
    SasCase{"PROC SORT;", errorAt("PROC SORT;", "S")},
    SasCase{"RUN;\rX", error(1, 6, "X")},
    SasCase{"LABEL a='one\ntwo\nthr' ?;", "a=one\ntwo\nthr" + error(3, 6, "?")},
    SasCase{"RUN;", ""},
    SasCase{"INFILE f dlm=',';", "opt(2,44)"},
    SasCase{"INFILE f dlm='7fffffff'x;", "opt(2,2147483647)"},
    SasCase{"INFILE f dlm='80000000'x;", error(1, 22, "0")},
    SasCase{"INFILE f dlm='800000000';", ""},
    SasCase{"INFILE f firstobs=&n;", ""}));

INSTANTIATE_TEST_SUITE_P(Variables, SasParseTest, testing::Values(
    SasCase{"INPUT #2 age 1-3 @5 name $10. score 20-22;", "age(1,0,3,5) name(1,4,10,1) score(1,19,3,5)"},
    SasCase{"INPUT id 1-4 name $ 8-20 x 1-3;", "id(0,0,4,5) name(0,7,13,1) x(0,0,3,5)"},
    SasCase{"INPUT id 1-4 sex $ 6;", "id(0,0,4,5)" + errorAt("INPUT id 1-4 sex $ 6;", ";")},
    // List input is refused at its first name (it would fill the wrong columns).
    SasCase{"INPUT a b $ c;", errorAt("INPUT a b $ c;", "a")},
    SasCase{"INPUT id 1-3 sex $ age;", "id(0,0,3,5)" + errorAt("INPUT id 1-3 sex $ age;", "s")},
    SasCase{"INPUT id 1-3 age;", "id(0,0,3,5)" + errorAt("INPUT id 1-3 age;", "a")},
    SasCase{"INPUT @1 x 5.2 @7 y $3.;", "x(0,0,5,5) y(0,6,3,1)"},
    SasCase{"INPUT #2 a 1-2; INPUT b 3-4;", "a(1,0,2,5) b(0,2,2,5)"},
    SasCase{"INPUT a 5-3;", "a(0,4,-1,5)"},
    SasCase{"INPUT ABC 1-3;", "abc(0,0,3,5)"},
    SasCase{"INPUT " + std::string(40, 'N') + " 1-3;", std::string(31, 'n') + "(0,0,3,5)"},
    SasCase{"LENGTH city $ 20 zip 5;", "city(-1,-1,20,1) zip(-1,-1,5,5)"},
    SasCase{"LABEL AGE = 'Age in years' Sex='Sex';", "age=Age in years sex=Sex"},
    SasCase{"ATTRIB Income LENGTH=8 LABEL='Income';", "income(-1,-1,8,5) income=Income"},
    SasCase{"ATTRIB a LABEL='x' b LENGTH=3;", "a=x" + errorAt("ATTRIB a LABEL='x' b LENGTH=3;", "b")},
    SasCase{"FORMAT sex $sexfmt. age 3. inc dollar12.;", "sex:$sexfmt inc:dollar12"},
    SasCase{"FORMAT a b fmt.;", errorAt("FORMAT a b fmt.;", " ", 3)},
    SasCase{"PROC FORMAT; VALUE $sexfmt 'M'='Male' 'F'='Female'; VALUE agefmt 0 - 2 = 'infant' 3='child' "
            "OTHER='adult'; RUN;",
            "[$sexfmt,'M',1,Male] [$sexfmt,'F',1,Female] [agefmt,0,5,infant] [agefmt,1,5,infant] "
            "[agefmt,2,5,infant] [agefmt,3,5,child] [agefmt,'OTHER',1,adult]"},
    SasCase{"VALUE x -2='neg' 1 - 1='one';", "[x,-2,5,neg] [x,1,5,one]"},
    SasCase{"VALUE x 3 - 1='none';", ""},
    SasCase{"VALUE x 1-3='a';", errorAt("VALUE x 1-3='a';", "-")},
    SasCase{"VALUE x 1 -3='a';", errorAt("VALUE x 1 -3='a';", "3")},
    SasCase{"VALUE x 1.5='a';", errorAt("VALUE x 1.5='a';", ".")},
    SasCase{"VALUE x .='a';", errorAt("VALUE x .='a';", ".")},
    SasCase{"VALUE x LOW - 5='a';", errorAt("VALUE x LOW - 5='a';", "-")},
    SasCase{"VALUE x (MIN=1) 1='a';", "[x,1,5,a]"},
    SasCase{"VALUE x (MIN=1 ) 1='a';", errorAt("VALUE x (MIN=1 ) 1='a';", ")")},
    SasCase{"VALUE x '" + std::string(40, 'v') + "'='a';", "[x,'" + std::string(31, 'v') + "',1,a]"},
    SasCase{"VALUE x 1 - 2000000000='a';", errorAt("VALUE x 1 - 2000000000='a';", "=")},
    SasCase{"VALUE x 99999999999='a';", errorAt("VALUE x 99999999999='a';", "9", 10)},
    SasCase{"VALUE x 2147483646 - 2147483647='m';", "[x,2147483646,5,m] [x,2147483647,5,m]"}));

// Two full ranges reach the parse's budget of range labels exactly; a third
// fails at its end, after the two made their labels.
TEST(SasParseTest, RangesTogetherMakeAtMostTwoMillionLabels)
{
    ParseLog log;
    std::string text = "PROC FORMAT;\n";
    for (int i = 0; i < 2; i++)
        text += "VALUE f 1 - 1000000='a' 0='b';\n";
    int64_t calls = 0;
    EXPECT_EQ(sas_parse(text.data(), text.size(), &calls, nullptr, nullptr, nullptr, countingLabel, nullptr, nullptr),
              0);
    EXPECT_EQ(calls, 2000002);
    text += "VALUE g 5 - 5='c';\n";
    calls = 0;
    unsigned line = 0;
    EXPECT_EQ(sas_parse(text.data(), text.size(), &calls, nullptr, nullptr, nullptr, countingLabel, nullptr, &line),
              1);
    EXPECT_EQ(calls, 2000002);
    EXPECT_EQ(log.text(), "Error parsing SAS file around line #4, col #14 (=)");
    EXPECT_EQ(line, 4u);
}

TEST(SasParseTest, HandlersFillTheRecordAndTheLabels)
{
    std::string text = "DATA d; INFILE 'd.txt' dlm='09'x firstobs=2;\nINPUT #2 a 1-2 b $ 3-5;\n"
                       "LENGTH a 4; LABEL b='Bee';\nFORMAT a afmt.;\nPROC FORMAT; VALUE afmt 1='low' 1='one';\nRUN;\n";
    ds_stata_dct_s *dct = dct_dictionary_new();
    ASSERT_EQ(sas_parse(text.data(), text.size(), dct, dct_set_infile_option, dct_merge_variable,
                        dct_merge_variable_label, nullptr, nullptr, nullptr),
              0);
    EXPECT_EQ(dct->delimiter, '\t');
    EXPECT_EQ(dct->first_line, 2);
    ASSERT_EQ(dct->num_entries, 2);
    EXPECT_EQ(dct->entries[0].line, 1);
    EXPECT_EQ(dct->entries[0].width, 4);
    EXPECT_EQ(dct->entries[0].type, 3);
    EXPECT_EQ(dct->entries[1].start, 2);
    EXPECT_EQ(dct->entries[1].type, 1);
    EXPECT_STREQ(dct->entries[1].label, "Bee");
    dct_dictionary_free(dct);

    ds_value_labels labels;
    QMap<QString, QString> formats;
    ASSERT_EQ(sas_parse(text.data(), text.size(), &labels, nullptr, nullptr, nullptr, format_value_labels_add, nullptr,
                        nullptr),
              0);
    ASSERT_EQ(sas_parse(text.data(), text.size(), &formats, nullptr, nullptr, nullptr, nullptr, variable_format_set,
                        nullptr),
              0);
    EXPECT_EQ(labels.value("afmt").value(QCborValue(1.0)), "one");
    EXPECT_EQ(formats.value("a"), "afmt");
}

} // namespace
