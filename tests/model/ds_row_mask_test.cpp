// The parallel mask writer every missing-values predicate uses: for ranges
// of any length starting at any row it sets exactly the bits a serial loop
// sets, leaves every other bit as it was, and (run under ThreadSanitizer) no
// two chunks write one byte.
#include "model/ds_row_mask.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

namespace {

TEST(RowMask, ParallelMarksEqualASerialLoop)
{
    const int64_t counts[] = {0, 1, 511, 512, 513, 1000003};
    const int64_t offsets[] = {0, 3, 8, 509, 517, 4101};
    for (int64_t count : counts) {
        std::mt19937_64 random(uint64_t(count) * 7 + 1);
        std::vector<uint8_t> picked(static_cast<size_t>(count));
        for (uint8_t &p : picked)
            p = random() % 3 == 0;
        for (int64_t offset : offsets) {
            const int64_t bytes = ds_mask_bytes(offset + count) + 1;  // one byte past the range
            for (const bool fresh : {true, false}) {
                std::vector<uint8_t> before(static_cast<size_t>(bytes), 0);
                if (!fresh)
                    for (uint8_t &b : before)
                        b = uint8_t(random());
                std::vector<uint8_t> expected = before;
                for (int64_t i = 0; i < count; ++i)
                    if (picked[size_t(i)])
                        ds_mask_set(expected.data(), offset + i);

                std::vector<uint8_t> mask = before;
                ds_mark_rows(mask.data(), offset, count, [&](int64_t i) { return picked[size_t(i)] != 0; });
                ASSERT_EQ(mask, expected) << count << " rows from " << offset << (fresh ? "" : ", over other bits");
                if (fresh && (offset + count) % 8 != 0) {
                    EXPECT_EQ(mask[size_t((offset + count) / 8)] >> ((offset + count) % 8), 0)
                        << "tail bits of " << count << " rows from " << offset;
                }
            }
        }
    }
}

} // namespace
