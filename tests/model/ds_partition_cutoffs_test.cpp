#include "model/ds_partition_cutoffs.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

namespace {

using Texts = std::vector<std::string_view>;

TEST(ds_partition_cutoffs, FixedWidthKeepsInnerGridLines)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    struct Case
    {
        double lowest, highest;
        int level;
        std::vector<double> cuts;
        double resolution;  // NaN: none
    } cases[] = {
        {0, 10, 2, {2, 4, 6, 8}, 2},  // not 0 or 10: the ends are no cut values
        {0, 10, 1, {5}, 5},
        {0.5, 9, 2, {1, 2, 3, 4, 5, 6, 7, 8}, 1},
        {5, 5, 1, {}, nan},
        {nan, 10, 1, {}, nan},
        {0, nan, 1, {}, nan},
    };
    for (const Case &c : cases) {
        double resolution = -1;
        EXPECT_EQ(ds_fixed_width_cutoffs(c.lowest, c.highest, c.level, 0, &resolution), c.cuts)
            << c.lowest << " to " << c.highest;
        if (std::isnan(c.resolution))
            EXPECT_TRUE(std::isnan(resolution));
        else
            EXPECT_EQ(resolution, c.resolution);
    }
    // A finer level cuts finer, and every cut stays inside the range.
    const std::vector<double> fine = ds_fixed_width_cutoffs(0.3, 9.7, 3, 0, nullptr);
    EXPECT_GT(fine.size(), 4u);
    for (double x : fine)
        EXPECT_TRUE(x >= 0.3 && x <= 9.7) << x;
}

TEST(ds_partition_cutoffs, CustomTextsBisectInByteOrder)
{
    const Texts fruit = {"apple", "kiwi", "melon", "pear"};
    struct Case
    {
        Texts sorted, custom;
        std::vector<int64_t> positions;
    } cases[] = {
        {fruit, {"m"}, {2}},
        {fruit, {"zebra"}, {3}},  // the last text, not past it
        {fruit, {"a", "kiwi", "kiwi"}, {0, 1, 1}},  // stored order, duplicates kept
        {fruit, {}, {}},
        {{}, {"m"}, {}},
        // Byte order: capitals sort before every lower-case letter, as the
        // index sorts them, whatever the locale would say.
        {{"Zoo", "apple", "zebra"}, {"b"}, {2}},
        {{"only"}, {"a", "z"}, {0, 0}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ds_custom_text_cutoffs(c.sorted, c.custom), c.positions);
}

TEST(ds_partition_cutoffs, CommonPrefixCutsWhereTheLeadingBytesChange)
{
    const Texts fruit = {"apple", "avocado", "banana", "blueberry", "cherry"};
    struct Case
    {
        Texts sorted;
        int64_t length;
        std::vector<int64_t> positions;
    } cases[] = {
        {fruit, 1, {2, 4}},
        {fruit, 0, {}},
        {fruit, 2, {1, 2, 3, 4}},
        {{"ap", "app", "apple"}, 3, {1}},  // a shorter text ends its prefix early
        {{}, 1, {}},
        // Bytes, not characters: é is two bytes, so length 1 sees one group.
        {{"\xc3\xa9t\xc3\xa9", "\xc3\xa9x"}, 1, {}},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ds_common_prefix_cutoffs(c.sorted, c.length), c.positions) << c.length;
}

}  // namespace
