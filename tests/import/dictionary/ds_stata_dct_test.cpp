#include "import/dictionary/ds_stata_dct.h"

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
    dct_add_variable("a", 0, 0, 2, 5, d.get());
    dct_add_variable("a", 1, 3, 4, 1, d.get());
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

TEST(DctHandlersTest, LabelOf79BytesIsKeptAndOf80Dropped)
{
    Dct d = newDct();
    std::string name32(32, 'n');
    dct_add_variable(name32.c_str(), 0, 0, 1, 5, d.get());
    dct_add_variable("a", 0, 0, 1, 5, d.get());
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
    dct_merge_variable("x", -1, -1, 7, -1, d.get());
    dct_merge_variable("x", 1, 4, 0, 1, d.get());
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

} // namespace
