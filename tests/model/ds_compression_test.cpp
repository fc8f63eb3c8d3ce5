#include "model/ds_compression.h"

#include "model/DSColumnBuffer.h"

#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>
#include <random>

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
