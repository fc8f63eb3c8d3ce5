#include "model/ds_compression.h"

#include "model/DSColumnBuffer.h"
#include "model/DSCompressDataTransformer.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <atomic>
#include <random>

// The largest block this program asks malloc or realloc for while a call
// runs: both are replaced by forwarders to glibc's own. A sanitizer brings
// its own allocator, and then nothing is measured.
#if !defined(__SANITIZE_ADDRESS__) && !defined(__SANITIZE_THREAD__)
#define DS_MEASURES_ALLOCATIONS 1

namespace {
std::atomic<bool> s_watching{false};
std::atomic<size_t> s_largest{0};

void noteRequest(size_t bytes) noexcept
{
    if (!s_watching.load(std::memory_order_relaxed))
        return;
    size_t largest = s_largest.load(std::memory_order_relaxed);
    while (bytes > largest && !s_largest.compare_exchange_weak(largest, bytes, std::memory_order_relaxed)) {
    }
}
} // namespace

extern "C" void *__libc_malloc(size_t bytes);
extern "C" void *__libc_realloc(void *block, size_t bytes);

extern "C" void *malloc(size_t bytes) noexcept
{
    noteRequest(bytes);
    return __libc_malloc(bytes);
}

extern "C" void *realloc(void *block, size_t bytes) noexcept
{
    noteRequest(bytes);
    return __libc_realloc(block, bytes);
}

template <class F>
size_t largestAllocationDuring(F call)
{
    s_largest = 0;
    s_watching = true;
    call();
    s_watching = false;
    return s_largest;
}
#endif

namespace {

QByteArray randomDoubles(qsizetype n)
{
    std::mt19937_64 rng(42);
    std::normal_distribution<double> normal(100.0, 15.0);
    QByteArray bytes(n * qsizetype(sizeof(double)), Qt::Uninitialized);
    auto *values = reinterpret_cast<double *>(bytes.data());
    for (qsizetype i = 0; i < n; ++i)
        values[i] = std::round(normal(rng) * 100) / 100;
    return bytes;
}

QByteArray run(const QString &program, const QStringList &args, const QByteArray &input)
{
    QProcess process;
    process.start(program, args);
    process.write(input);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
}

} // namespace

TEST(Compression, MillionDoublesRoundTripExactly)
{
    const QByteArray values = randomDoubles(1000000);
    const auto deflated = zlibDeflate(values);
    ASSERT_TRUE(deflated);
    EXPECT_LT(deflated->size(), values.size());
    const auto inflated = zlibInflate(*deflated);
    ASSERT_TRUE(inflated);
    EXPECT_EQ(inflated->size(), 8000000);
    EXPECT_EQ(*inflated, values);

    const auto viaGzip = gzipInflate(*deflated);
    ASSERT_TRUE(viaGzip);
    EXPECT_EQ(*viaGzip, values);
}

TEST(Compression, EmptyInputComesBackAsItIs)
{
    const QByteArray empty("");
    for (auto op : {zlibDeflate, zlibInflate, gzipDeflate, gzipInflate}) {
        const auto result = op(empty);
        ASSERT_TRUE(result);
        EXPECT_TRUE(result->isEmpty());
    }
}

TEST(Compression, DamagedInputGivesNothing)
{
    const QByteArray stream = *zlibDeflate(randomDoubles(10000));
    const QByteArray gz = *gzipDeflate(randomDoubles(10000));
    struct Case { const char *what; QByteArray bytes; };
    const Case cases[] = {
        {"one byte", QByteArray(1, 'x')},
        {"one zero byte", QByteArray(1, '\0')},
        {"cut in half", stream.left(stream.size() / 2)},
        {"missing its checksum", stream.chopped(4)},
        {"cut gzip", gz.left(gz.size() - 9)},
        {"plain text", QByteArray("this is not a compressed stream at all")},
    };
    for (const Case &c : cases) {
        EXPECT_FALSE(zlibInflate(c.bytes)) << c.what;
        EXPECT_FALSE(gzipInflate(c.bytes)) << c.what;
    }
    QByteArray flipped = stream;
    flipped[flipped.size() / 2] = char(flipped[flipped.size() / 2] ^ 0x55);
    EXPECT_FALSE(zlibInflate(flipped));
}

// A stream is read to its checksum and no further: bytes after a zlib
// stream are damage, not padding; a gzip file of several members (`cat a.gz
// b.gz`, as gzip itself writes with -c twice) reads as their bytes in order,
// but what follows a member must be another member.
TEST(Compression, StreamsEndAtTheirChecksum)
{
    const QByteArray a = randomDoubles(3000), b = randomDoubles(2000);
    const QByteArray stream = *zlibDeflate(a);
    const QByteArray members = run("gzip", {"-c"}, a) + run("gzip", {"-c"}, b);
    struct Case {
        const char *what;
        std::optional<QByteArray> (*inflate)(const QByteArray &);
        QByteArray bytes;
        std::optional<QByteArray> expected;
    };
    const Case cases[] = {
        {"zlib stream", zlibInflate, stream, a},
        {"zlib stream and one zero byte", zlibInflate, stream + QByteArray(1, '\0'), std::nullopt},
        {"zlib stream and a second stream", zlibInflate, stream + stream, std::nullopt},
        {"zlib stream read as gzip, trailing byte", gzipInflate, stream + "x", std::nullopt},
        {"two gzip members", gzipInflate, members, a + b},
        {"two gzip members and garbage", gzipInflate, members + "garbage", std::nullopt},
        {"a gzip member and half of another", gzipInflate, members.left(members.size() - 100), std::nullopt},
        {"a zlib stream then a gzip member", gzipInflate, stream + run("gzip", {"-c"}, b), std::nullopt},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.inflate(c.bytes), c.expected) << c.what;
    EXPECT_FALSE(zlibInflate(stream + "x", 1 << 20)) << "with a limit as without";
}

// A limit lets through a stream that inflates to the limit or less, and
// refuses one that holds a byte more, damaged data whatever the limit, and
// a small stream of 1 MiB of zeros that a 10-row column has no room for.
TEST(Compression, InflatingStopsAtTheLimit)
{
    const QByteArray values = randomDoubles(1000);  // 8,000 bytes
    const QByteArray stream = *zlibDeflate(values), gz = *gzipDeflate(values);
    const QByteArray zeros(1 << 20, '\0');
    const QByteArray bomb = *zlibDeflate(zeros);
    ASSERT_LT(bomb.size(), 2000);
    // zlib.compress(b"") of Python: a whole stream of no bytes.
    const QByteArray emptyStream = QByteArray::fromHex("789c030000000001");
    struct Case {
        const char *what;
        std::optional<QByteArray> (*inflate)(const QByteArray &, qsizetype);
        QByteArray stream;
        qsizetype limit;
        std::optional<QByteArray> expected;
    };
    const Case cases[] = {
        {"exactly the limit", zlibInflate, stream, 8000, values},
        {"one byte over", zlibInflate, stream, 7999, std::nullopt},
        {"no room", zlibInflate, stream, 0, std::nullopt},
        {"a negative limit", zlibInflate, stream, -8, std::nullopt},
        {"ample room", zlibInflate, stream, qsizetype(1) << 40, values},
        {"gzip, exactly the limit", gzipInflate, gz, 8000, values},
        {"gzip, one byte over", gzipInflate, gz, 7999, std::nullopt},
        {"cut in half, ample room", zlibInflate, stream.left(stream.size() / 2), 1 << 20, std::nullopt},
        {"a stream of no bytes, no room", zlibInflate, emptyStream, 0, QByteArray()},
        {"no data, no room", zlibInflate, QByteArray(""), 0, QByteArray("")},
        {"1 MiB of zeros for 10 rows", zlibInflate, bomb, 80, std::nullopt},
        {"1 MiB of zeros, room for them", zlibInflate, bomb, 1 << 20, zeros},
    };
    for (const Case &c : cases)
        EXPECT_EQ(c.inflate(c.stream, c.limit), c.expected) << c.what;
}

// A refused stream never had more output memory than the limit: the
// largest block is zlib's own 32 KiB window for a limit of 80 bytes, and
// the limit itself (and its header) for a limit past the window.
TEST(Compression, RefusedStreamsNeverHoldMoreThanTheLimit)
{
#ifdef DS_MEASURES_ALLOCATIONS
    const QByteArray bomb = *zlibDeflate(QByteArray(1 << 20, '\0'));
    struct Case {
        qsizetype limit;  // 0: none
        size_t atLeast, atMost;
    };
    const Case cases[] = {
        {0, 1 << 20, SIZE_MAX},  // without a limit every byte is held
        {80, 0, 32768 + 64},
        {256 << 10, 0, (256 << 10) + 64},
    };
    for (const Case &c : cases) {
        std::optional<QByteArray> inflated;
        const size_t largest = largestAllocationDuring([&] {
            inflated = c.limit ? zlibInflate(bomb, c.limit) : zlibInflate(bomb);
        });
        EXPECT_EQ(inflated.has_value(), c.limit == 0) << c.limit;
        EXPECT_GE(largest, c.atLeast) << c.limit;
        EXPECT_LE(largest, c.atMost) << c.limit;
    }
#else
    GTEST_SKIP() << "allocations are not measured under a sanitizer";
#endif
}

// Without working memory a stream does not start, and nothing partial comes back.
TEST(Compression, NoMemoryGivesNothing)
{
    const QByteArray values = randomDoubles(1000);
    const QByteArray stream = *zlibDeflate(values), gz = *gzipDeflate(values);
    ds_column_allocator_s &allocator = ds_column_allocator();
    const ds_column_allocator_s saved = allocator;
    allocator.allocate = [](size_t) -> void * { return nullptr; };
    EXPECT_FALSE(zlibDeflate(values));
    EXPECT_FALSE(gzipDeflate(values));
    EXPECT_FALSE(zlibInflate(stream));
    EXPECT_FALSE(gzipInflate(gz));
    allocator = saved;
    EXPECT_EQ(zlibInflate(stream), values);
}

TEST(Compression, StreamsOfOtherProgramsInflate)
{
    const QByteArray values = randomDoubles(50000);
    const QByteArray fromGzip = run("gzip", {"-c"}, values);
    const auto inflated = gzipInflate(fromGzip);
    ASSERT_TRUE(inflated);
    EXPECT_EQ(*inflated, values);
    EXPECT_FALSE(zlibInflate(fromGzip)) << "a gzip header is not a zlib header";

    const QByteArray fromPython = run("/usr/bin/python3",
        {"-c", "import sys, zlib; sys.stdout.buffer.write(zlib.compress(sys.stdin.buffer.read(), 9))"},
        values);
    const auto inflatedPython = zlibInflate(fromPython);
    ASSERT_TRUE(inflatedPython);
    EXPECT_EQ(*inflatedPython, values);
}

TEST(Compression, OtherProgramsReadOurStreams)
{
    const QByteArray values = randomDoubles(50000);
    const QByteArray byPython = run("/usr/bin/python3",
        {"-c", "import sys, zlib; sys.stdout.buffer.write(zlib.decompress(sys.stdin.buffer.read()))"},
        *zlibDeflate(values));
    EXPECT_EQ(byPython, values);

    const QByteArray byGzip = run("gzip", {"-dc"}, *gzipDeflate(values));
    EXPECT_EQ(byGzip, values);
}

// The store's named transformer is deflate forward and inflate in reverse.
TEST(DSCompressDataTransformer, RegisteredUnderItsNameAsDeflateAndInflate)
{
    DSCompressDataTransformer::registerTransformer();
    const auto transformer = DSValueTransformer::valueTransformerForName(QStringLiteral("DSCompressDataTransformer"));
    ASSERT_TRUE(transformer);
    const QByteArray value(10000, 'q');
    const std::optional<QByteArray> stored = transformer->transformedValue(value);
    ASSERT_TRUE(stored);
    EXPECT_EQ(*stored, *zlibDeflate(value));
    EXPECT_EQ(transformer->reverseTransformedValue(*stored), value);
    EXPECT_EQ(transformer->transformedValue(QByteArray()), QByteArray());
    EXPECT_FALSE(transformer->reverseTransformedValue(stored->left(stored->size() / 2)));
}
