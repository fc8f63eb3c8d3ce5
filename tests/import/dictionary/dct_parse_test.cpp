#include "import/dictionary/dct_parse.h"

#include "parse_log.h"

#include <gtest/gtest.h>
#include <string>

namespace {

struct DctCase {
    const char *text;
    // The record as "data|lines|lrecl|first" then one
    // " name(type,line,start,width,label,decimal)" per entry, or the log line.
    const char *expected;
};

std::string trace(const ds_stata_dct_s *d)
{
    std::string t = std::string(d->data_file) + "|" + std::to_string(d->lines_per_obs) + "|" +
                    std::to_string(d->record_length) + "|" + std::to_string(d->first_line);
    for (int32_t i = 0; i < d->num_entries; i++) {
        const ds_stata_dct_entry_s &e = d->entries[i];
        t += " " + std::string(e.name) + "(" + std::to_string(e.type) + "," + std::to_string(e.line) + "," +
             std::to_string(e.start) + "," + std::to_string(e.width) + "," + e.label + "," + e.decimal_char + ")";
    }
    return t;
}

std::string run(const std::string &text, unsigned *line)
{
    ParseLog log;
    ds_stata_dct_s *d = dct_parse(text.data(), text.size(), line);
    if (!d)
        return log.text();
    std::string t = trace(d);
    dct_dictionary_free(d);
    return t;
}

class DctParseTest : public testing::TestWithParam<DctCase> {};

TEST_P(DctParseTest, GivesRecordOrError)
{
    unsigned line = 0;
    EXPECT_EQ(run(GetParam().text, &line), GetParam().expected);
}

const std::string name33(33, 'n');
const std::string label80(80, 'l');

INSTANTIATE_TEST_SUITE_P(Cases, DctParseTest, testing::Values(
    DctCase{"dictionary {\n}", "|1|0|0"},
    DctCase{"dictionary {}", "|1|0|0"},
    DctCase{"infile dictionary using data.raw {\nint x %5f\nstr10 s %10s \"Name\"\n}\n",
            "data.raw|1|0|0 x(2,0,0,5,,.) s(1,0,5,10,Name,.)"},
    DctCase{"dictionary using \"my data.txt\" {\nbyte a\nlong b %2f\ndouble c %3g\nint\n}",
            "my data.txt|1|0|0 a(0,0,0,0,,.) b(3,0,0,2,,.) c(5,0,2,3,,.) int(4,0,5,0,,.)"},
    DctCase{"dictionary {\n_column(5) a %3f\n}", "|1|0|0 a(4,0,4,3,,.)"},
    DctCase{"dictionary {\n_lines(2)\na %3f\n_newline b %2f\n}", "|2|0|0 a(4,0,0,3,,.) b(4,1,3,2,,.)"},
    DctCase{"dictionary {\n_line(3) _lrecl(80) _firstlineoffile( 2 ) _newline(2)\na %8,2f\nb %8.2f\n}",
            "|1|80|2 a(4,4,0,8,,,) b(4,4,8,8,,.)"},
    DctCase{"dictionary {\n_column(0) _line(0) _lines(0)\na %1e\n}", "|0|0|0 a(4,-1,-1,1,,.)"},
    DctCase{"* note\n/* a\nb */dictionary {\r\n* note\n/* note */ a %5f\n}", "|1|0|0 a(4,0,0,5,,.)"},
    DctCase{"dictionary {\na %5f /* note */\n}", "Error parsing .dct file around line #2, col #7 (/)"},
    DctCase{"\ndictionary {\n}", "Error parsing .dct file around line #1, col #1 (\n)"},
    DctCase{" dictionary {\n}", "Error parsing .dct file around line #1, col #1 ( )"},
    DctCase{"dictionary{\n}", "Error parsing .dct file around line #1, col #11 ({)"},
    DctCase{"dictionary {\na %5f b %5f\n}", "Error parsing .dct file around line #2, col #7 (b)"},
    DctCase{"dictionary {\na \"x\" %5f\n}", "Error parsing .dct file around line #2, col #7 (%)"},
    DctCase{"dictionary {\na %5d\n}", "Error parsing .dct file around line #2, col #5 (d)"},
    DctCase{"dictionary {\n_skip(3)\n}", "Error parsing .dct file around line #2, col #2 (s)"},
    DctCase{"dictionary {\n_a %5f\n}", "Error parsing .dct file around line #2, col #2 (a)"},
    DctCase{"dictionary {\n1a %5f\n}", "Error parsing .dct file around line #2, col #1 (1)"},
    DctCase{"dictionary {\na %5f\rb\n}", "Error parsing .dct file around line #2, col #7 (b)"},
    DctCase{"", "Error parsing .dct file around line #1, col #1 (\\0)"},
    DctCase{"dictionary {\na %5f\n", "Error parsing .dct file around line #3, col #1 (\\0)"},
    DctCase{"dictionary {\n}\ngarbage dictionary {", "|1|0|0"},
    DctCase{"dictionary {\na \"x\ny\nz\"\n\n?\n}", "Error parsing .dct file around line #6, col #1 (?)"},
    DctCase{"dictionary {\n_column(2147483648)\n}", "Error parsing .dct file around line #2, col #18 (8)"},
    DctCase{"dictionary {\na %99999999999f\n}", "Error parsing .dct file around line #2, col #13 (9)"},
    DctCase{"dictionary {\n_column(2147483647) a %2f\n}", "Error parsing .dct file around line #2, col #26 (\n)"}));

TEST(DctParseTest, LongNameAndLabelLeaveTheirFieldsEmpty)
{
    unsigned line = 0;
    std::string text = "dictionary {\n" + name33 + " %1f \"" + label80 + "\"\nb %1f \"" + label80.substr(1) +
                       "l\"\nc \"" + label80 + "x\"\n}";
    EXPECT_EQ(run(text, &line), "|1|0|0 (4,0,0,1," + label80 + ",.) b(4,0,1,1," + label80 + ",.) c(4,0,2,0,,.)");
}

TEST(DctParseTest, WritesTheErrorLine)
{
    unsigned line = 0;
    run("dictionary {\n\n\n?", &line);
    EXPECT_EQ(line, 4u);
}

} // namespace
