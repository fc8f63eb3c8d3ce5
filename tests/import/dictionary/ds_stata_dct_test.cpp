#include "import/dictionary/ds_stata_dct.h"

#include "import/dictionary/dct_parse.h"
#include "import/dictionary/sas_parse.h"
#include "import/dictionary/sps_parse.h"
#include "model/DSColumnBuffer.h"

#include "parse_log.h"

#include <functional>
#include <gtest/gtest.h>
#include <memory>
#include <string>

namespace {

using Dct = std::unique_ptr<ds_stata_dct_s, decltype(&dct_dictionary_free)>;

Dct newDct()
{
    return Dct(dct_dictionary_new(), dct_dictionary_free);
}

TEST(DctHandlersTest, NameListedTwiceGivesTwoEntriesAndTheFirstGetsTheLabel)
{
    Dct d = newDct();
    dct_add_variable("a", 0, 0, 2, 5, 0, d.get());
    dct_add_variable("a", 1, 3, 4, 1, 0, d.get());
    dct_set_variable_label("a", "first", d.get());
    dct_set_variable_label("none", "lost", d.get());
    ASSERT_EQ(d->num_entries, 2);
    EXPECT_STREQ(d->entries[0].label, "first");
    EXPECT_STREQ(d->entries[1].label, "");
    EXPECT_EQ(d->entries[0].type, 3);
    EXPECT_EQ(d->entries[1].type, 1);
    EXPECT_EQ(d->entries[1].start, 3);
    EXPECT_EQ(d->entries[1].decimal_char, '.');
}

// Lookups by name through the index as it grows: every name finds its
// first entry, also names appended between lookups and names listed twice.
TEST(DctHandlersTest, LookupsFindTheFirstEntryOfEachNameAsTheRecordGrows)
{
    Dct d = newDct();
    const int n = 3000;
    for (int i = 0; i < n; i++) {
        dct_add_variable(("v" + std::to_string(i % 1000)).c_str(), 0, i, 1, 5, 0, d.get());
        dct_merge_variable(("w" + std::to_string(i)).c_str(), -1, -1, i + 1, -1, 0, d.get());
        if (i % 7 == 0)
            dct_set_variable_label(("v" + std::to_string(i % 1000)).c_str(), std::to_string(i).c_str(), d.get());
    }
    ASSERT_EQ(d->num_entries, 2 * n);
    for (int i = 0; i < n; i++) {
        dct_merge_variable(("w" + std::to_string(i)).c_str(), 1, 2, 0, 1, 0, d.get());
        dct_set_variable_label(("v" + std::to_string(i % 1000)).c_str(), ("L" + std::to_string(i)).c_str(), d.get());
    }
    ASSERT_EQ(d->num_entries, 2 * n) << "no name was added twice";
    for (int i = 0; i < 2 * n; i++) {
        const ds_stata_dct_entry_s &e = d->entries[i];
        SCOPED_TRACE(e.name);
        if (e.name[0] == 'w') {
            EXPECT_EQ(e.width, i / 2 + 1);
            EXPECT_EQ(e.line, 1);
        } else if (i / 2 < 1000) {
            EXPECT_EQ(e.label, "L" + std::to_string(i / 2 + 2000)) << "the last label, on the first entry";
        } else {
            EXPECT_STREQ(e.label, "");
        }
    }
}

TEST(DctHandlersTest, LabelOf79BytesIsKeptAndOf80Dropped)
{
    Dct d = newDct();
    std::string name32(32, 'n');
    dct_add_variable(name32.c_str(), 0, 0, 1, 5, 0, d.get());
    dct_add_variable("a", 0, 0, 1, 5, 0, d.get());
    dct_set_variable_label("a", std::string(79, 'x').c_str(), d.get());
    dct_set_variable_label("a", std::string(80, 'y').c_str(), d.get());
    dct_merge_variable_label("b", std::string(80, 'y').c_str(), d.get());
    EXPECT_STREQ(d->entries[0].name, "");
    EXPECT_EQ(std::string(d->entries[1].label), std::string(79, 'x'));
    ASSERT_EQ(d->num_entries, 3);
    EXPECT_STREQ(d->entries[2].label, "");
    EXPECT_EQ(d->entries[2].type, 0);
    EXPECT_EQ(d->entries[2].decimal_char, 0);
}

TEST(DctHandlersTest, MergeTwiceKeepsTheFirstWidth)
{
    Dct d = newDct();
    dct_merge_variable("x", -1, -1, 7, -1, 0, d.get());
    dct_merge_variable("x", 1, 4, 0, 1, 0, d.get());
    ASSERT_EQ(d->num_entries, 1);
    const ds_stata_dct_entry_s &e = d->entries[0];
    EXPECT_EQ(e.line, 1);
    EXPECT_EQ(e.start, 4);
    EXPECT_EQ(e.width, 7);
    EXPECT_EQ(e.type, 1);
    EXPECT_EQ(e.decimal_char, '.');
}

TEST(DctHandlersTest, InfileOptionsSetFirstLineAndDelimiter)
{
    Dct d = newDct();
    dct_set_infile_option(1, 3, d.get());
    dct_set_infile_option(2, 0x109, d.get());
    dct_set_infile_option(7, 5, d.get());
    EXPECT_EQ(d->first_line, 3);
    EXPECT_EQ(d->delimiter, '\t');
    EXPECT_EQ(d->lines_per_obs, 1);
}

// Grants the next `allowed` growths of a record, then refuses every one.
class RefusedGrowth {
public:
    explicit RefusedGrowth(int allowed) : saved_(ds_column_allocator())
    {
        left() = allowed;
        ds_column_allocator().reallocate = [](void *block, size_t bytes) -> void * {
            return left()-- > 0 ? std::realloc(block, bytes) : nullptr;
        };
    }
    ~RefusedGrowth() { ds_column_allocator() = saved_; }

private:
    static int &left()
    {
        static int n;
        return n;
    }
    ds_column_allocator_s saved_;
};

struct GrowthCase {
    const char *kind;
    // Parses a text of three variables into a record; returns the parse's
    // result and leaves the record (or none) in `*dct`.
    std::function<int(ds_stata_dct_s **dct, unsigned *line)> parse;
};

// Each entry the parse appends grows the array once: the growth that fails
// ends the parse with 1 and only "Error in realloc()" logged, the error line
// untouched, the entries before it kept (the command files) or everything
// freed (the dictionary, which the address sanitizer checks for leaks).
TEST(DctHandlersTest, RefusedGrowthEndsEachParseInACleanError)
{
    static const std::string dct = "dictionary {\na %1f\nb %1f\nc %1f\n}\n";
    static const std::string sps = "DATA LIST FIXED /1 a 1 b 2 c 3.\nVARIABLE LABELS c 'C'.\n";
    static const std::string sas = "INPUT a 1-1 b 2-2 c 3-3;\nLABEL c='C';\n";
    const GrowthCase cases[] = {
        {".dct",
         [](ds_stata_dct_s **d, unsigned *line) {
             *d = dct_parse(dct.data(), dct.size(), line);
             return *d ? 0 : 1;
         }},
        {"SPSS",
         [](ds_stata_dct_s **d, unsigned *line) {
             *d = dct_dictionary_new();
             return sps_parse(sps.data(), sps.size(), *d, dct_add_variable, dct_set_variable_label, nullptr, line);
         }},
        {"SAS",
         [](ds_stata_dct_s **d, unsigned *line) {
             *d = dct_dictionary_new();
             return sas_parse(sas.data(), sas.size(), *d, dct_set_infile_option, dct_merge_variable,
                              dct_merge_variable_label, nullptr, nullptr, line);
         }},
    };
    for (const GrowthCase &c : cases) {
        for (int allowed = 0; allowed <= 3; allowed++) {
            SCOPED_TRACE(std::string(c.kind) + ", growths granted: " + std::to_string(allowed));
            ParseLog log;
            ds_stata_dct_s *d = nullptr;
            unsigned line = 0;
            int result;
            {
                RefusedGrowth refused(allowed);
                result = c.parse(&d, &line);
            }
            Dct owned(d, dct_dictionary_free);
            EXPECT_EQ(line, 0u);
            if (allowed == 3) {
                EXPECT_EQ(result, 0);
                ASSERT_TRUE(d);
                EXPECT_EQ(d->num_entries, 3);
                EXPECT_STREQ(d->entries[2].name, "c");
                continue;
            }
            EXPECT_EQ(result, 1);
            EXPECT_EQ(log.text(), "Error in realloc()");
            if (std::string(c.kind) == ".dct") {
                EXPECT_FALSE(d);
            } else {
                ASSERT_TRUE(d);
                EXPECT_EQ(d->num_entries, allowed);
                for (int32_t i = 0; i < d->num_entries; i++)
                    EXPECT_STREQ(d->entries[i].label, "");
            }
        }
    }
}

} // namespace
