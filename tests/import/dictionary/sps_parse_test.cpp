#include "import/dictionary/sps_parse.h"

#include "import/dictionary/ds_stata_dct.h"
#include "import/dictionary/ds_value_labels.h"

#include "callback_trace.h"
#include "parse_log.h"

#include <chrono>
#include <gtest/gtest.h>
#include <string>

namespace {

struct SpsCase {
    std::string text;
    // The callbacks in order, then the log line of a failure after " | ".
    std::string expected;
};

std::string run(const std::string &text)
{
    ParseLog log;
    std::string trace;
    unsigned line = 0;
    int result = sps_parse(text.data(), text.size(), &trace, traceVariable, traceVariableLabel, traceValueLabel, &line);
    if (result)
        trace += " | " + log.text() + " | " + std::to_string(line);
    return trace;
}

std::string error(int line, int column, const char *byte)
{
    return parseError("SPSS", line, column, byte);
}

std::string runMissing(const std::string &text)
{
    ParseLog log;
    std::string trace;
    unsigned line = 0;
    int result = sps_parse_missing_values(text.data(), text.size(), &trace, traceMissingValue, &line);
    if (result)
        trace += " | " + log.text() + " | " + std::to_string(line);
    return trace;
}

class SpsParseTest : public testing::TestWithParam<SpsCase> {};

TEST_P(SpsParseTest, ReportsInOrderOrFailsAtTheByte)
{
    EXPECT_EQ(run(GetParam().text), GetParam().expected);
}

const std::string dataList = "DATA LIST FILE='data.txt' RECORD=2\n"
                             "  /1 ID 1-5 NAME 7-20 (A) AGE 22-24\n"
                             "  /2 X 1 Y 3-4.\n";

INSTANTIATE_TEST_SUITE_P(Cases, SpsParseTest, testing::Values(
    SpsCase{"", ""},
    SpsCase{" \n\t/* c */ * star.\nCOMMENT text here.\nEXECUTE.LIST .", ""},
    SpsCase{dataList, "ID(0,0,5,5) NAME(0,6,14,1) AGE(0,21,3,5) X(1,0,1,5) Y(1,2,2,5)"},
    SpsCase{"DATA LIST FILE='data.txt' RECORDS=2\n  /1 ID 1-5 X 7.", error(1, 33, "S")},
    SpsCase{"DATA LIST FIXED /1 A 1-5 .", error(1, 26, ".")},
    SpsCase{"DATA LIST /1 A 1-5 B 6.", error(1, 11, "/")},
    SpsCase{"DATA LIST FIXED /2 A 1 B 2 / G 3 H 4.\nDATA LIST TABLE / I 5 J 6 (a3).",
            "A(1,0,1,5) B(1,1,1,5) G(1,2,1,5) H(1,3,1,5) I(1,4,1,5) J(1,5,1,1)"},
    SpsCase{"DATA LIST FIXED /0 A 0 B 5-1.", "A(-1,-1,1,5) B(-1,4,-3,5)"},
    // A number's format digits are its implied decimals; a text's are its width.
    SpsCase{"DATA LIST FIXED /1 ID 1-3 INCOME 5-13 (2) NAME 15-20 (A6).",
            "ID(0,0,3,5) INCOME(0,4,9,5,2) NAME(0,14,6,1)"},
    SpsCase{"VARIABLE LABELS A 'Label a' B \"Label b\".", "A=Label a B=Label b"},
    SpsCase{"VARIABLE LABEL A 'x' / B 'y'.", "A=x" + error(1, 22, "/")},
    SpsCase{"VALUE LABELS A B 1 'one' 2 'two' / G 'm' 'male'.",
            "[A,1,5,one] [B,1,5,one] [A,2,5,two] [B,2,5,two] [G,'m',1,male]"},
    SpsCase{"VALUE LABELS / A B 1 - 3 'low' -4 'neg'/.",
            "[A,1,5,low] [A,2,5,low] [A,3,5,low] [B,1,5,low] [B,2,5,low] [B,3,5,low] [A,-4,5,neg] [B,-4,5,neg]"},
    SpsCase{"VALUE LABELS A 3 - 1 'none'.", ""},
    SpsCase{"VALUE LABELS A 1-3 'x'.", error(1, 17, "-")},
    SpsCase{"VALUE LABELS A . 'missing' 1 'one'.", "[A,NaN,5,missing] [A,1,5,one]"},
    SpsCase{"VALUE LABELS A 1 'one'. 'two'.", "[A,1,5,one]" + error(1, 25, "'")},
    SpsCase{"VALUE LABELS A 1 'one'/ B 2 'two'.", "[A,1,5,one]" + error(1, 25, "B")},
    SpsCase{"comment text.", error(1, 1, "c")},
    SpsCase{"* note.", error(1, 8, "\\0")},
    SpsCase{"* note. more.\n* b. . \r\nEXECUTE.", ""},
    SpsCase{"SELECT IF .", error(1, 11, ".")},
    SpsCase{"SELECT IF  .", ""},
    SpsCase{"SELECT IF (age -1 x 'y')(b 2).", ""},
    SpsCase{"SELECT IF (age > 1).", error(1, 16, ">")},
    SpsCase{"EXECUTE.\rX", error(1, 10, "X")},
    SpsCase{"VARIABLE LABELS A 'line\ntwo\n'\n\n", "A=line\ntwo\n" + error(5, 1, "\\0")},
    SpsCase{"VARIABLE LABELS A 'x\ny'\nB 'z'\n12345?", "A=x\ny B=z" + error(4, 1, "1")},
    SpsCase{"VARIABLE LABELS A 'x\ny' B\n'z' C\n'w'  ? ", "A=x\ny B=z C=w" + error(4, 6, "?")},
    SpsCase{"DATA LIST FIXED /1 " + std::string(40, 'n') + " 1 B 2.", std::string(31, 'n') + "(0,0,1,5) B(0,1,1,5)"},
    SpsCase{"FILE HANDLE h /NAME='x.txt' /LRECL=80 /MODE=image.\nINPUT PROGRAM.\nEND INPUT PROGRAM.\n"
            "DISPLAY a b.\nSAVE OUTFILE = 'x.sav'.\nSAVE DICTIONARY'y'.\nSET x = 3.\nSET y='z'.",
            ""},
    SpsCase{"DATA LIST FIXED /1 A 2147483648 B 1.", error(1, 31, "8")},
    SpsCase{"DATA LIST FIXED /1 A 0-2147483647 B 1.", error(1, 34, " ")},
    SpsCase{"VALUE LABELS A 0 - 1000000 'a'.", error(1, 27, " ")},
    SpsCase{"VALUE LABELS A 1 - 2000000000 'a'.", error(1, 30, " ")},
    SpsCase{"VALUE LABELS A B C 1 - 1000000 'a'.", error(1, 31, " ")}));

// MISSING VALUES: every item once per variable of its list; the other
// parse reports nothing of it and still checks it.
class SpsMissingValuesTest : public testing::TestWithParam<SpsCase> {};

TEST_P(SpsMissingValuesTest, ReportsEachItemPerVariableOrFailsAtTheByte)
{
    EXPECT_EQ(runMissing(GetParam().text), GetParam().expected);
    const bool fails = GetParam().expected.find(" | ") != std::string::npos;
    EXPECT_EQ(run(GetParam().text).find(" | ") != std::string::npos, fails);
}

INSTANTIATE_TEST_SUITE_P(Cases, SpsMissingValuesTest, testing::Values(
    SpsCase{"MISSING VALUES A (9).", "A{9}"},
    SpsCase{"missing values A B (9, 99 -1.5) / S ('x' \"N/A\").",
            "A{9} B{9} A{99} B{99} A{-1.5} B{-1.5} S{'x'} S{'N/A'}"},
    SpsCase{"MISSING VALUES A (LO THRU -1, 999.5)\n  B (LOWEST THRU 0) C (150 THRU HI) D (1 THRU HIGHEST)"
            " E (2 THRU 5) F (.5).",
            "A{LO..-1} A{999.5} B{LO..0} C{150..HI} D{1..HI} E{2..5} F{0.5}"},
    SpsCase{"MISSING VALUES A ().", "A{}"},
    SpsCase{"DATA LIST FIXED /1 A 1 B 2.\nMISSING VALUES A(9)/B(8).\nEXECUTE.", "A{9} B{8}"},
    SpsCase{"MISSING VALUES A (LO).", error(1, 21, ")")},
    SpsCase{"MISSING VALUES A TO C (9).", error(1, 18, "T")},
    SpsCase{"MISSING VALUES ALL (9).", error(1, 16, "A")},
    SpsCase{"MISSING VALUES A (9 THRU).", error(1, 25, ")")},
    SpsCase{"MISSING VALUES A (9 TO 10).", error(1, 22, "O")},
    SpsCase{"MISSING VALUES A 9.", error(1, 18, "9")},
    SpsCase{"MISSING VALUES A (9)", "A{9}" + error(1, 21, "\\0")},
    SpsCase{"MISSING VALUES A (-).", error(1, 20, ")")}));

TEST(SpsParseTest, RangeLimitIsTheLastAccepted)
{
    std::string text = "VALUE LABELS A B 1 - 1000000 'a'.";
    int64_t calls = 0;
    EXPECT_EQ(sps_parse(text.data(), text.size(), &calls, nullptr, nullptr, countingLabel, nullptr), 0);
    EXPECT_EQ(calls, 2000000);
}

// Two variables with a full range each reach the parse's budget of range
// labels exactly; single values still count nothing against it, another
// range fails.
TEST(SpsParseTest, RangesTogetherMakeAtMostTwoMillionLabels)
{
    ParseLog log;
    const std::string full = "VALUE LABELS A B 1 - 1000000 'a' 0 'b'";
    int64_t calls = 0;
    std::string text = full + ".";
    EXPECT_EQ(sps_parse(text.data(), text.size(), &calls, nullptr, nullptr, countingLabel, nullptr), 0);
    EXPECT_EQ(calls, 2000002);
    calls = 0;
    text = full + " 7 - 7 'c'.";
    EXPECT_EQ(sps_parse(text.data(), text.size(), &calls, nullptr, nullptr, countingLabel, nullptr), 1);
    EXPECT_EQ(calls, 2000002);
    EXPECT_EQ(log.text(), "Error parsing SPSS file around line #1, col #" + std::to_string(full.size() + 7) + " ( )");
}

TEST(SpsParseTest, NullSlotsStillCheckTheText)
{
    ParseLog log;
    unsigned line = 0;
    std::string text = dataList + "VALUE LABELS A 1 'a'\n\n?";
    EXPECT_EQ(sps_parse(text.data(), text.size(), nullptr, nullptr, nullptr, nullptr, &line), 1);
    EXPECT_EQ(line, 6u);
}

TEST(SpsParseTest, HandlersFillTheRecordAndTheValueLabels)
{
    std::string text = "DATA LIST FIXED /1 A 1-2 B 3-4 (A) A 5.\n"
                       "VARIABLE LABELS A '" + std::string(79, 'x') + "' B '" + std::string(80, 'y') + "'.\n"
                       "VALUE LABELS A 1 'low' 1 'one' 'M' 'male'.\n";
    ds_stata_dct_s *dct = dct_dictionary_new();
    ASSERT_EQ(sps_parse(text.data(), text.size(), dct, dct_add_variable, dct_set_variable_label, nullptr, nullptr), 0);
    ASSERT_EQ(dct->num_entries, 3);
    EXPECT_EQ(std::string(dct->entries[0].label), std::string(79, 'x'));
    EXPECT_STREQ(dct->entries[1].label, "");
    EXPECT_STREQ(dct->entries[2].label, "");
    EXPECT_EQ(dct->entries[1].type, 1);
    EXPECT_EQ(dct->entries[2].type, 3);
    dct_dictionary_free(dct);

    ds_value_labels labels;
    ASSERT_EQ(sps_parse(text.data(), text.size(), &labels, nullptr, nullptr, value_labels_add, nullptr), 0);
    const auto &a = labels.value("A");
    ASSERT_EQ(a.size(), 2);
    EXPECT_EQ(a.value(QCborValue(1.0)), "one");
    EXPECT_EQ(a.value(QCborValue(QStringLiteral("M"))), "male");
    EXPECT_FALSE(a.contains(QCborValue(QStringLiteral("1"))));
    EXPECT_FALSE(a.contains(QCborValue(0.0)));
}

} // namespace
