#include "platform/dispatch/ds_parallel_for.h"

#include <gtest/gtest.h>

#include <tbb/task_arena.h>

#include <atomic>
#include <cmath>
#include <cstdint>
#include <thread>
#include <vector>

namespace {

struct Bounds {
    int64_t first;
    int64_t end;
    bool operator==(const Bounds &) const = default;
};

// Every chunk writes only its own slot, so no lock is needed.
std::vector<Bounds> record_plain(uint64_t n, uint64_t count)
{
    std::vector<Bounds> seen(n, Bounds{-1, -1});
    std::vector<std::atomic<int>> calls(n);
    ds_parallel_for(n, count, [&](uint64_t i, int64_t first, int64_t end) {
        seen[i] = {first, end};
        calls[i]++;
    });
    for (uint64_t i = 0; i < n; ++i)
        EXPECT_EQ(calls[i].load(), 1) << "chunk " << i;
    return seen;
}

std::vector<Bounds> record_aligned(uint64_t n, uint64_t count, uint64_t align)
{
    std::vector<Bounds> seen(n, Bounds{-1, -1});
    ds_parallel_for_aligned(n, count, align, [&](uint64_t i, int64_t first, int64_t end) {
        seen[i] = {first, end};
    });
    return seen;
}

struct ChunkCase {
    uint64_t align;  // 0: the plain loop
    uint64_t count;
    uint64_t chunk;
    Bounds expected;
};

TEST(ParallelFor, ChunkBounds)
{
    const ChunkCase cases[] = {
        {0, 0, 0, {0, 0}},
        {0, 0, 23, {0, 0}},
        {0, 10, 0, {0, 1}},
        {0, 10, 9, {9, 10}},
        {0, 10, 10, {10, 10}},
        {0, 10, 23, {23, 10}},
        {0, 100, 0, {0, 5}},
        {0, 100, 19, {95, 100}},
        {0, 100, 20, {100, 100}},
        {0, 100, 23, {115, 100}},
        {0, 100000, 23, {95841, 100000}},
        {512, 512, 0, {0, 0}},
        {512, 512, 22, {0, 0}},
        {512, 512, 23, {0, 512}},
        {512, 100000, 0, {0, 4096}},
        {512, 100000, 1, {4096, 8192}},
        {512, 100000, 23, {95744, 100000}},
    };
    for (const ChunkCase &c : cases) {
        const auto seen = c.align ? record_aligned(24, c.count, c.align) : record_plain(24, c.count);
        EXPECT_EQ(seen[c.chunk], c.expected)
            << "align " << c.align << " count " << c.count << " chunk " << c.chunk;
    }
}

// Below the alignment the body runs once, on the calling thread.
TEST(ParallelFor, AlignedBelowAlignmentRunsInline)
{
    const auto caller = std::this_thread::get_id();
    int calls = 0;
    ds_parallel_for_aligned(24, 511, 512, [&](uint64_t i, int64_t first, int64_t end) {
        ++calls;
        EXPECT_EQ(std::this_thread::get_id(), caller);
        EXPECT_EQ(i, 0u);
        EXPECT_EQ(first, 0);
        EXPECT_EQ(end, 511);
    });
    EXPECT_EQ(calls, 1);
}

// Chunks must tile [0, count) in order, start on the alignment and never
// lose the last rows, also for counts whose last chunk would end past 2^31.
TEST(ParallelFor, AlignedChunksTileTheRange)
{
    const uint64_t counts[] = {512, 513, 1023, 4096, 100000, 1000003, 2147483647u, 2147483640u};
    const uint64_t aligns[] = {1, 64, 512};
    for (uint64_t count : counts)
        for (uint64_t align : aligns) {
            const auto seen = record_aligned(24, count, align);
            int64_t next = 0;
            for (uint64_t i = 0; i < seen.size(); ++i) {
                EXPECT_EQ(seen[i].first, next) << count << "/" << align << " chunk " << i;
                EXPECT_EQ(seen[i].first % int64_t(align), 0);
                EXPECT_LE(seen[i].first, seen[i].end);
                next = seen[i].end;
            }
            EXPECT_EQ(next, int64_t(count)) << count << "/" << align;
        }
}

TEST(ParallelFor, PlainChunksCoverLargeCounts)
{
    for (uint64_t count : {uint64_t(2147483647u), uint64_t(2147483630u)}) {
        const auto seen = record_plain(24, count);
        int64_t covered = 0;
        for (const Bounds &b : seen)
            covered += std::max<int64_t>(0, b.end - b.first);
        EXPECT_EQ(covered, int64_t(count));
        EXPECT_EQ(seen.back().end, int64_t(count));
    }
}

TEST(ParallelFor, ZeroChunksRunNothing)
{
    int calls = 0;
    ds_parallel_for(0, 100, [&](uint64_t, int64_t, int64_t) { ++calls; });
    ds_parallel_for_aligned(0, 100, 512, [&](uint64_t, int64_t, int64_t) { ++calls; });
    EXPECT_EQ(calls, 0);
}

// A mask writer sets the bit of every row whose value is odd. Each chunk
// writes whole bytes, so it relies on the alignment to own its bytes.
void write_mask_chunk(const std::vector<int32_t> &values, std::vector<uint8_t> &mask,
                      int64_t first, int64_t end)
{
    for (int64_t byte = first / 8; byte * 8 < end; ++byte) {
        uint8_t bits = 0;
        for (int64_t row = byte * 8; row < std::min(end, byte * 8 + 8); ++row)
            if (values[row] & 1)
                bits |= uint8_t(1u << (row % 8));
        mask[byte] = bits;
    }
}

TEST(ParallelFor, ParallelMaskEqualsSerialMask)
{
    for (uint64_t count : {0u, 1u, 511u, 512u, 513u, 1000003u}) {
        std::vector<int32_t> values(count);
        uint32_t state = 12345;
        for (auto &v : values) {
            state = state * 1664525u + 1013904223u;
            v = int32_t(state >> 8);
        }
        std::vector<uint8_t> serial((count + 7) / 8, 0xAA), parallel((count + 7) / 8, 0x55);
        write_mask_chunk(values, serial, 0, int64_t(count));
        ds_parallel_for_aligned(ds_row_chunks, count, ds_mask_alignment,
                                [&](uint64_t, int64_t first, int64_t end) {
                                    write_mask_chunk(values, parallel, first, end);
                                });
        EXPECT_EQ(parallel, serial) << "count " << count;
        if (count % 8 != 0) {
            EXPECT_EQ(parallel.back() >> (count % 8), 0) << "tail bits of count " << count;
        }
    }
}

// Partial sums kept per chunk and added in chunk order do not depend on how
// many threads ran the chunks.
double chunked_sum(const std::vector<double> &values)
{
    double partial[ds_row_chunks] = {};
    ds_parallel_for(ds_row_chunks, values.size(), [&](uint64_t i, int64_t first, int64_t end) {
        double s = 0;
        for (int64_t r = first; r < end; ++r)
            s += values[r];
        partial[i] = s;
    });
    double total = 0;
    for (double p : partial)
        total += p;
    return total;
}

TEST(ParallelFor, ChunkOrderSumsAreIdenticalOnAnyCoreCount)
{
    std::vector<double> values(200003);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = std::sin(double(i)) * 1e6 + 1.0 / double(i + 1);
    double by_thread_count[3];
    const int threads[] = {1, 2, 8};
    for (int t = 0; t < 3; ++t) {
        tbb::task_arena arena(threads[t]);
        arena.execute([&] { by_thread_count[t] = chunked_sum(values); });
    }
    EXPECT_EQ(by_thread_count[0], by_thread_count[1]);
    EXPECT_EQ(by_thread_count[0], by_thread_count[2]);
}

TEST(ParallelFor, DispatchApplyRunsEachIndexOnce)
{
    for (uint64_t n : {0u, 1u, 2u, 24u, 1000u}) {
        std::vector<std::atomic<int>> calls(n);
        ds_dispatch_apply(n, [&](uint64_t i) { calls[i]++; });
        for (uint64_t i = 0; i < n; ++i)
            EXPECT_EQ(calls[i].load(), 1);
    }
}

}  // namespace
