#include "ColumnsTestSupport.h"

#include "model/DSColumnSummary.h"
#include "model/DSDataRoot.h"
#include "model/DSStatDocument.h"
#include "model/ds_compression.h"
#include "model/ds_row_mask.h"
#include "platform/predicate/DSPredicate.h"
#include "platform/store/DSObjectPool.h"
#include "platform/store/DSUndoManager.h"

#include <QCryptographicHash>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <thread>

namespace {

const double inf = std::numeric_limits<double>::infinity();
// Quiet NaNs with payloads other than the default one.
const double nanA = ds_from_bits(0x7ff8000000000123ull);
const double nanB = ds_from_bits(0xfff8000000abcdefull);

std::vector<double> valuesOf(DSNumericColumn *column)
{
    const double *v = nullptr;
    const qint64 n = column->getValues(&v);
    return n ? std::vector<double>(v, v + n) : std::vector<double>();
}

// Values compared bit for bit, NaN payloads included.
std::vector<uint64_t> bitsOf(const std::vector<double> &values)
{
    std::vector<uint64_t> bits;
    for (double x : values)
        bits.push_back(ds_bits(x));
    return bits;
}

std::vector<bool> maskBits(const uint8_t *mask, qint64 length, qint64 rows)
{
    std::vector<bool> bits;
    for (qint64 r = 0; r < rows; ++r)
        bits.push_back(ds_bit(mask, length, r));
    return bits;
}

class DSNumericDataColumnTest : public ::testing::Test, public ColumnsFixture
{
protected:
    // The stored column's missing rows under its predicate, as a plain list.
    static std::vector<bool> missingRows(DSColumn *column, qint64 rows)
    {
        const uint8_t *mask = nullptr;
        const qint64 length = column->getMissingMask(&mask);
        return maskBits(mask, length, rows);
    }
};

TEST_F(DSNumericDataColumnTest, AFreshColumnHasNoValues)
{
    table()->setNum_records(5);
    auto *x = addColumnOfEntity<ProbedDataColumn>("DSNumericDataColumn", QStringLiteral("new"));
    EXPECT_TRUE(x->values().isEmpty());
    EXPECT_FALSE(x->treat_as_categories());
    EXPECT_EQ(valuesOf(x).size(), 0u);
    EXPECT_TRUE(x->containsOnlyIntegers());
    EXPECT_EQ(missingRows(x, 5), std::vector<bool>(5, true)) << "every row past the stored values is missing";
    EXPECT_TRUE(x->isEditable());
}

TEST_F(DSNumericDataColumnTest, AppendingDoublesTheBuffer)
{
    auto *x = addColumnOfEntity<ProbedDataColumn>("DSNumericDataColumn", QStringLiteral("x"));
    for (int i = 0; i < 4096; ++i)
        ASSERT_TRUE(x->appendValue(i));
    EXPECT_EQ(x->temp_values_capacity(), 4096);
    ASSERT_TRUE(x->appendValue(4096));
    EXPECT_EQ(x->temp_values_capacity(), 8192) << "the 4,097th append";
    EXPECT_EQ(x->temp_values_used(), 4097);
    ASSERT_TRUE(x->appendValue(inf));
    ASSERT_TRUE(x->appendValue(-inf));
    table()->setNum_records(4099);
    ASSERT_TRUE(x->saveAfterImport());
    EXPECT_EQ(x->temp_values_used(), 0) << "the buffer is emptied";
    const std::vector<double> v = valuesOf(x);
    ASSERT_EQ(v.size(), 4099u);
    EXPECT_EQ(v[4096], 4096);
    EXPECT_TRUE(std::isnan(v[4097]) && std::isnan(v[4098])) << "infinities are appended as NaN";
}

TEST_F(DSNumericDataColumnTest, TreatAsCategoriesAfterImport)
{
    struct Case {
        const char *what;
        std::vector<double> values;
        bool before, after;
    };
    const Case cases[] = {
        {"1, 2, NaN, 1", {1, 2, NAN, 1}, false, true},
        {"1, 2, 3", {1, 2, 3}, false, false},
        {"none", {}, false, true},
        {"all NaN", {NAN, nanA, nanB}, false, true},
        {"NaN payloads are one missing value", {1, nanA, 2, nanB, NAN}, false, true},
        {"already categories", {1, 2, 3}, true, true},
        {"a third value late", {5, 5, 7, 5, 7, 9}, false, false},
    };
    for (const Case &c : cases) {
        ColumnsFixture fixture;
        fixture.table()->setNum_records(8);
        auto *x = fixture.addColumnOfEntity<ProbedDataColumn>("DSNumericDataColumn", QStringLiteral("x"));
        x->setTreat_as_categories(c.before);
        for (double v : c.values)
            x->appendValue(v);
        ASSERT_TRUE(x->saveAfterImport()) << c.what;
        EXPECT_EQ(x->treat_as_categories(), c.after) << c.what;
        EXPECT_EQ(valuesOf(x).size(), 8u) << c.what << ": filled up to the table's rows";
    }
}

TEST_F(DSNumericDataColumnTest, DecodingFindsMissingRowsAndWholeNumbers)
{
    struct Case {
        const char *what;
        std::vector<double> values;
        qint64 rows;
        std::vector<bool> missing;  // empty: no mask
        bool integers;
    };
    const Case cases[] = {
        {"whole numbers", {1, -2, 0, 1e15}, 4, {}, true},
        {"a fraction", {1, 2.5}, 2, {}, false},
        {"NaN payloads", {nanA, 1, nanB}, 3, {true, false, true}, true},
        {"fewer values than rows", {1, 2}, 4, {false, false, true, true}, true},
        {"2^63 is not whole", {0x1p63}, 1, {}, false},
        {"just below 2^63 is", {0x1p62}, 1, {}, true},
    };
    for (const Case &c : cases) {
        ColumnsFixture fixture;
        ProbedDataColumn *x = fixture.addColumn(c.values);
        fixture.table()->setNum_records(c.rows);
        EXPECT_EQ(x->containsOnlyIntegers(), c.integers) << c.what;
        EXPECT_TRUE(x->isDecoded()) << c.what;
        const uint8_t *mask = nullptr;
        const qint64 length = x->getMissingMask(&mask, 1, 1);
        if (c.missing.empty()) {
            EXPECT_EQ(mask, nullptr) << c.what;
            EXPECT_EQ(length, 0) << c.what;
        } else {
            EXPECT_EQ(length, ds_mask_bytes(c.rows)) << c.what << ": the whole mask whatever the range";
            EXPECT_EQ(maskBits(mask, length, c.rows), c.missing) << c.what;
        }
    }
}

TEST_F(DSNumericDataColumnTest, DataThatDoesNotInflateReadsAsNoValues)
{
    ProbedDataColumn *x = addColumn({1, 2, 3});
    x->setPrimitiveValue(QByteArray("not a zlib stream"), QStringLiteral("values"));
    EXPECT_EQ(valuesOf(x).size(), 0u);
    EXPECT_EQ(missingRows(x, 3), std::vector<bool>(3, true));
}

// A column in a table reads its stored array whole or not at all: data
// that holds more values than the table has rows (1 MiB of zeros for 10
// rows, refused while inflating, or just one value too many), that goes on
// after its stream, that is not a whole number of doubles or not a stream
// is damaged: every row missing, no edit taken (rows added or dropped,
// cells), the stored bytes as they were. Fewer values than rows is sound:
// the rows past them are missing. Outside a table a column reads all it
// holds.
TEST_F(DSNumericDataColumnTest, DataThatDoesNotReadBackWholeIsDamaged)
{
    const auto stream = [](qsizetype count) {
        const std::vector<double> values(size_t(count), 2.5);
        return *zlibDeflate(QByteArray(reinterpret_cast<const char *>(values.data()), count * qsizetype(sizeof(double))));
    };
    struct Case {
        const char *what;
        QByteArray stored;
        qsizetype values;  // -1: damaged
    };
    const Case cases[] = {
        {"as many values as rows", stream(10), 10},
        {"fewer values than rows", stream(4), 4},
        {"one value more", stream(11), -1},
        {"1 MiB of zeros", *zlibDeflate(QByteArray(1 << 20, '\0')), -1},
        {"a byte after the stream", stream(10) + "x", -1},
        {"not whole doubles", *zlibDeflate(QByteArray(79, 'a')), -1},
        {"not a stream", QByteArray("garbage"), -1},
    };
    for (const Case &c : cases) {
        ColumnsFixture fixture;
        ProbedDataColumn *x = fixture.addColumn(std::vector<double>(10, 1.0));
        x->setPrimitiveValue(c.stored, QStringLiteral("values"));
        const bool damaged = c.values < 0;
        EXPECT_EQ(x->isDamaged(), damaged) << c.what;
        EXPECT_EQ(x->isEditable(), !damaged) << c.what;
        EXPECT_EQ(valuesOf(x), std::vector<double>(size_t(std::max<qsizetype>(c.values, 0)), 2.5)) << c.what;
        std::vector<bool> missing(10, true);
        std::fill_n(missing.begin(), std::max<qsizetype>(c.values, 0), false);
        EXPECT_EQ(missingRows(x, 10), missing) << c.what;
        EXPECT_EQ(x->replaceNumericValueAtIndex(9, 7), !damaged) << c.what;
        if (damaged) {
            x->addRows(2);
            x->dropRows({0, 1});
            EXPECT_EQ(x->values(), c.stored) << c.what;
            EXPECT_TRUE(valuesOf(x).empty()) << c.what;
        } else {
            const std::vector<double> edited = valuesOf(x);
            ASSERT_EQ(edited.size(), 10u) << c.what;
            EXPECT_EQ(edited[9], 7) << c.what;
            EXPECT_EQ(edited[0], 2.5) << c.what;
        }
    }
    ColumnsFixture fixture;
    ProbedDataColumn *loose = fixture.addColumn({1});
    loose->setTable(nullptr);
    loose->setPrimitiveValue(stream(11), QStringLiteral("values"));
    EXPECT_EQ(valuesOf(loose).size(), 11u);
}

// The predicate "value < 0 OR value == 99" marks exactly those rows (and
// NaN rows are missing anyway), in 24 chunks whose result equals a serial
// reference on random data of odd lengths and for ranges that start inside
// a byte.
TEST_F(DSNumericDataColumnTest, PredicateMarksEqualASerialReference)
{
    std::mt19937_64 random(20240607);
    const double pool[] = {-1.5, -0.0, 0.0, 99, 98.999, 5, NAN, nanA, -1e300, 100};
    for (qint64 rows : {1, 7, 511, 513, 4097, 12289, 100001}) {
        std::vector<double> values(static_cast<size_t>(rows));
        for (double &x : values)
            x = pool[random() % std::size(pool)];
        ColumnsFixture fixture;
        ProbedDataColumn *x = fixture.addColumn(values);
        usePredicate(x, "value < 0 OR value == 99");
        std::vector<bool> reference(static_cast<size_t>(rows));
        for (qint64 r = 0; r < rows; ++r)
            reference[size_t(r)] = std::isnan(values[size_t(r)]) || values[size_t(r)] < 0 || values[size_t(r)] == 99;
        EXPECT_EQ(missingRows(x, rows), reference) << rows << " rows";

        for (qint64 offset : {qint64(0), qint64(3), qint64(517), rows / 2 + 1}) {
            const qint64 limit = rows - offset;
            if (limit <= 0)
                continue;
            const uint8_t *mask = nullptr;
            const qint64 length = x->getMissingMask(&mask, offset, limit);
            ASSERT_EQ(length, ds_mask_bytes(rows));
            for (qint64 r = offset; r < rows; ++r)
                ASSERT_EQ(ds_bit(mask, length, r), reference[size_t(r)]) << rows << " rows from " << offset << ", row " << r;
        }
        // The predicate switched off: the NaN mask alone.
        x->setApply_missing_values_predicate(false);
        for (qint64 r = 0; r < rows; ++r)
            reference[size_t(r)] = std::isnan(values[size_t(r)]);
        EXPECT_EQ(missingRows(x, rows), reference) << rows << " rows, predicate off";
    }
}

TEST_F(DSNumericDataColumnTest, PredicateCases)
{
    const std::vector<double> values = {-3, 0, 1, 2, 3, 99, NAN, 7};
    struct Case {
        const char *predicate;
        std::vector<int> missing;  // rows besides the NaN row 6
    };
    const Case cases[] = {
        {"value < 0 OR value == 99", {0, 5}},
        {"value <= 1", {0, 1, 2}},
        {"value > 3", {5, 7}},
        {"value >= 3", {4, 5, 7}},
        {"value != 2", {0, 1, 2, 4, 5, 7}},
        {"value == 1 OR value == 2", {2, 3}},
        {"value == 1 OR value == 2 OR value == 3 OR value == 99", {2, 3, 4, 5}},   // binary search
        {"value == 1 OR value == 2 OR value == 3 OR value == NAN", {2, 3, 4}},      // NaN operands match nothing
        {"value == \"\" OR value < \"\"", {}},                                       // empty operands are skipped
        {"value == \"3\"", {4}},                                                     // a text holding a number
        {"value BEGINSWITH 3", {}},                                                  // no such operator for values
        {"age < 100", {}},                                                           // another field
        {"value > 2 AND value < 0", {4, 5, 7, 0}},                                   // every subpredicate marks on its own
        {"label == \"N/A\"", {5}},
        {"label BEGINSWITH \"dk\"", {0}},
        {"label ENDSWITH \"KNOW\"", {0}},
        {"label ENDSWITH \"xyz\"", {}},                                              // longer than the label "na"
        {"label CONTAINS \"/\"", {5}},
        {"label == \"na\" OR value == 7", {1, 7}},
        {"label LIKE \"n*\"", {}},
    };
    for (const Case &c : cases) {
        ColumnsFixture fixture;
        ProbedDataColumn *x = fixture.addColumn(values);
        x->setCategoryLabel(QStringLiteral("n/a"), QCborValue(99.0));
        x->setCategoryLabel(QStringLiteral("DK - don't know"), QCborValue(-3.0));
        x->setCategoryLabel(QStringLiteral("na"), QCborValue(0.0));
        x->setCategoryLabel(QStringLiteral("xyz"), QCborValue(NAN));  // a NaN key picks nothing
        usePredicate(x, c.predicate);
        std::vector<bool> expected(values.size(), false);
        expected[6] = true;
        for (int r : c.missing)
            expected[size_t(r)] = true;
        EXPECT_EQ(missingRows(x, qint64(values.size())), expected) << c.predicate;
    }
}

// Four or more equal operands take the binary search; it marks what the
// linear test marks.
TEST_F(DSNumericDataColumnTest, BinarySearchAgreesWithLinearTest)
{
    std::mt19937_64 random(7);
    std::vector<double> values(3001);
    for (double &x : values)
        x = double(int(random() % 40) - 20) / 2;
    ColumnsFixture fixture;
    ProbedDataColumn *x = fixture.addColumn(values);
    const std::vector<double> operands = {-3.5, 0, 4, 9.5, -0.0, 12};
    std::vector<bool> linear(values.size(), false);
    for (size_t k = 0; k < operands.size(); k += 3) {
        QString text;
        for (size_t j = k; j < std::min(operands.size(), k + 3); ++j)
            text += (text.isEmpty() ? QString() : QStringLiteral(" OR ")) + QStringLiteral("value == %1").arg(operands[j]);
        usePredicate(x, text.toUtf8().constData());
        const std::vector<bool> part = missingRows(x, qint64(values.size()));
        for (size_t r = 0; r < part.size(); ++r)
            linear[r] = linear[r] || part[r];
    }
    QString all;
    for (double v : operands)
        all += (all.isEmpty() ? QString() : QStringLiteral(" OR ")) + QStringLiteral("value == %1").arg(v);
    usePredicate(x, all.toUtf8().constData());
    EXPECT_EQ(missingRows(x, qint64(values.size())), linear);
}

TEST_F(DSNumericDataColumnTest, EditsKeepTheRowsInOrder)
{
    struct Case {
        const char *what;
        std::vector<double> stored;
        qint64 rows;
        std::function<void(ProbedDataColumn *, DSDataTable *)> edit;
        std::vector<double> expected;
        bool tableKeepsUp = true;  // the table's row count is the values' afterwards
    };
    const Case cases[] = {
        {"drop {0, 2} of 5", {10, 11, 12, 13, 14}, 5,
         [](ProbedDataColumn *x, DSDataTable *t) { t->dropRows({0, 2}); Q_UNUSED(x); }, {11, 13, 14}},
        {"drop the last of fewer values", {10, 11}, 4,
         [](ProbedDataColumn *, DSDataTable *t) { t->dropRows({3}); }, {10, 11, NAN}},
        {"drop rows the table lacks", {10, 11, 12}, 3,
         [](ProbedDataColumn *x, DSDataTable *) { x->dropRows({1, 7, -2}); }, {10, 12}, false},
        // The table counts only the rows it has, so its count stays that of the values.
        {"the table drops rows it lacks", {10, 11, 12}, 3,
         [](ProbedDataColumn *, DSDataTable *t) { t->dropRows({1, 7, -2}); }, {10, 12}},
        {"the table adds no rows for a negative count", {10, 11}, 2,
         [](ProbedDataColumn *, DSDataTable *t) { t->addRows(-5); }, {10, 11}},
        {"add 3 to 5", {10, 11, 12, 13, 14}, 5,
         [](ProbedDataColumn *, DSDataTable *t) { t->addRows(3); }, {10, 11, 12, 13, 14, NAN, NAN, NAN}},
        {"replace with +inf", {1, 2, 3}, 3,
         [](ProbedDataColumn *x, DSDataTable *) { EXPECT_TRUE(x->replaceNumericValueAtIndex(1, inf)); }, {1, inf, 3}},
        {"replace past the values", {1}, 3,
         [](ProbedDataColumn *x, DSDataTable *) { EXPECT_TRUE(x->replaceNumericValueAtIndex(2, -inf)); }, {1, NAN, -inf}},
        {"replace outside the table", {1, 2}, 2,
         [](ProbedDataColumn *x, DSDataTable *) { EXPECT_FALSE(x->replaceNumericValueAtIndex(2, 5)); }, {1, 2}},
    };
    for (const Case &c : cases) {
        ColumnsFixture fixture;
        ProbedDataColumn *x = fixture.addColumn(c.stored);
        fixture.table()->setNum_records(c.rows);
        c.edit(x, fixture.table());
        const std::vector<double> v = valuesOf(x);
        ASSERT_EQ(v.size(), c.expected.size()) << c.what;
        if (c.tableKeepsUp) {
            EXPECT_EQ(fixture.table()->num_records(), qint64(c.expected.size())) << c.what;
        }
        for (size_t i = 0; i < v.size(); ++i)
            EXPECT_TRUE(ds_bits(v[i]) == ds_bits(c.expected[i]) || (std::isnan(v[i]) && std::isnan(c.expected[i])))
                << c.what << " row " << i;
    }
    ColumnsFixture fixture;
    fixture.table()->setNum_records(2);
    auto *created = fixture.addColumnOfEntity<ProbedDataColumn>("DSNumericDataColumn", QStringLiteral("new"));
    created->setTable(nullptr);
    created->addRows(3);  // a new column before it joins its table
    EXPECT_EQ(QByteArray(zlibInflate(created->values()).value_or(QByteArray())).size(), 24);
}

// Every edit purges the column's caches and everything derived from it, and
// undoing an edit gives the old values back to the next reader.
TEST_F(DSNumericDataColumnTest, EditsPurgeEverythingDerived)
{
    const std::function<void(ProbedDataColumn *, DSDataTable *)> edits[] = {
        [](ProbedDataColumn *x, DSDataTable *) { x->replaceNumericValueAtIndex(0, 9); },
        [](ProbedDataColumn *x, DSDataTable *) { x->dropRows({1}); },
        [](ProbedDataColumn *x, DSDataTable *) { x->addRows(2); },
    };
    int which = 0;
    for (const auto &edit : edits) {
        ColumnsFixture fixture;
        ProbedDataColumn *x = fixture.addColumn({1, 2, 4}, QStringLiteral("x"));
        ProbedDataColumn *y = fixture.addColumn({1, 1, 1}, QStringLiteral("y"));
        auto *d = fixture.addColumnOfEntity<TestDivisionColumn>("DSTestDivisionColumn", QStringLiteral("d"));
        d->addInputColumn(x);
        d->addInputColumn(y);
        auto *e = fixture.addColumnOfEntity<TestDivisionColumn>("DSTestDivisionColumn", QStringLiteral("e"));
        e->addInputColumn(d);
        e->addInputColumn(y);
        fixture.endEvent();
        ds_stats_s stats;
        stats.count = 3;
        for (DSColumn *column : QList<DSColumn *>{x, d, e}) {
            column->setTemp_stats_minmax(stats);
            column->setTemp_summary(std::make_shared<DSColumnSummary>());
        }
        ASSERT_EQ(valuesOf(x)[0], 1);
        x->cacheIndex();
        d->cacheIndex();
        e->cacheIndex();

        edit(x, fixture.table());
        fixture.endEvent();
        for (DSColumn *column : QList<DSColumn *>{x, d, e}) {
            EXPECT_EQ(column->temp_stats_minmax().count, -1) << which << " " << column->name().toStdString();
            EXPECT_EQ(column->temp_summary(), nullptr) << which;
        }
        EXPECT_FALSE(x->hasIndex()) << which;
        EXPECT_FALSE(d->hasIndex()) << which;
        EXPECT_FALSE(e->hasIndex()) << which;

        // Undo puts the old stored data back; the next reader decodes it.
        valuesOf(x);
        x->cacheIndex();
        fixture.context().undoManager()->undo();
        EXPECT_EQ(valuesOf(x), (std::vector<double>{1, 2, 4})) << which;
        EXPECT_FALSE(x->hasIndex()) << which << ": the stale index went with the stale values";
        ++which;
    }
}

// Pointers handed out stay readable through the next request: x / x, and a
// derived column asked for a larger range after a smaller one (run under
// AddressSanitizer, a read of freed memory fails the test).
TEST_F(DSNumericDataColumnTest, DoubleRequestsReadNoFreedMemory)
{
    std::vector<double> values(5000);
    for (size_t i = 0; i < values.size(); ++i)
        values[i] = double(i % 17) - 3;
    ProbedDataColumn *x = addColumn(values);
    usePredicate(x, "value < 0");
    auto *ratio = addColumnOfEntity<TestDivisionColumn>("DSTestDivisionColumn", QStringLiteral("x/x"));
    ratio->addInputColumn(x);
    ratio->addInputColumn(x);

    const double *small = nullptr, *large = nullptr;
    ASSERT_EQ(ratio->getValues(&small, 0, 10), 10);
    ASSERT_EQ(ratio->getValues(&large, 0, 5000), 5000);
    for (int i = 0; i < 10; ++i)
        EXPECT_TRUE(small[i] == 1.0 || (i == 3 && std::isnan(small[i]))) << i;
    EXPECT_EQ(large[4], 1.0);

    const uint8_t *first = nullptr, *second = nullptr;
    const qint64 a = x->getMissingMask(&first, 0, 8);
    const qint64 b = x->getMissingMask(&second, 0, 5000);
    EXPECT_EQ(first[0], second[0]);
    EXPECT_EQ(a, 1);
    EXPECT_EQ(b, 625);
    const uint8_t *ratioMask = nullptr;
    const qint64 c = ratio->getMissingMask(&ratioMask, 0, 5000);  // 0 / 0 rows are NaN
    ASSERT_EQ(c, 625);
    EXPECT_TRUE(ds_bit(ratioMask, c, 3)) << "0 / 0";
    EXPECT_FALSE(ds_bit(ratioMask, c, 4));

    const double *p = nullptr, *q = nullptr;
    x->getValues(&p);
    x->getValues(&q, 100, 10);
    EXPECT_EQ(p + 100, q) << "ranges of a stored column point into the decoded array";
    EXPECT_EQ(x->numberValueAtOffset(4).value(), 1.0);
    EXPECT_FALSE(x->numberValueAtOffset(5000).has_value());
}

// saveAfterImport stops at a failed append instead of looping for ever; the
// rows it could not append read as missing.
TEST_F(DSNumericDataColumnTest, FailedAllocationsEndTheImport)
{
    ds_column_allocator_s &allocator = ds_column_allocator();
    const ds_column_allocator_s saved = allocator;
    static int failAbove;
    allocator.reallocate = [](void *block, size_t bytes) -> void * {
        return bytes > size_t(failAbove) ? nullptr : std::realloc(block, bytes);
    };
    failAbove = 8192 * 8;
    table()->setNum_records(10000);
    auto *x = addColumnOfEntity<ProbedDataColumn>("DSNumericDataColumn", QStringLiteral("x"));
    x->appendValue(1);
    x->appendValue(2);
    EXPECT_FALSE(x->saveAfterImport());
    allocator = saved;
    const std::vector<double> v = valuesOf(x);
    EXPECT_EQ(v.size(), 8192u) << "what was appended is kept";
    EXPECT_EQ(missingRows(x, 10000)[9999], true);

    allocator.allocate = [](size_t) -> void * { return nullptr; };
    auto *y = addColumnOfEntity<ProbedDataColumn>("DSNumericDataColumn", QStringLiteral("y"));
    EXPECT_FALSE(y->appendValue(1)) << "no first buffer";
    allocator = saved;
    EXPECT_TRUE(y->appendValue(1));
}

// An edit whose array cannot be compressed says so and changes nothing: the
// stored bytes and the values read are the old ones, and no edited array
// waits in the buffer for a later save.
TEST_F(DSNumericDataColumnTest, AnEditWithoutMemoryChangesNothing)
{
    ProbedDataColumn *x = addColumn({1, 2, 3});
    endEvent();
    const QByteArray stored = x->values();
    ASSERT_EQ(valuesOf(x), (std::vector<double>{1, 2, 3}));

    ds_column_allocator_s &allocator = ds_column_allocator();
    const ds_column_allocator_s saved = allocator;
    // Not even the three-double edited array is granted.
    allocator.allocate = [](size_t) -> void * { return nullptr; };
    const bool replaced = x->replaceNumericValueAtIndex(1, 9);
    allocator = saved;

    EXPECT_FALSE(replaced);
    EXPECT_FALSE(x->hasUnsavedEdits());
    EXPECT_EQ(x->values(), stored);
    EXPECT_EQ(valuesOf(x), (std::vector<double>{1, 2, 3}));
    EXPECT_TRUE(x->replaceNumericValueAtIndex(1, 9)) << "with memory again";
    EXPECT_EQ(valuesOf(x), (std::vector<double>{1, 9, 3}));
    EXPECT_EQ(x->values(), stored) << "an edit waits for the save";
    EXPECT_TRUE(x->hasUnsavedEdits());
}

// An import fills columns of a pool on its own thread, touching nothing
// but the columns; finishing them as parallel tasks stores exactly the
// bytes that finishing them one by one stores.
TEST_F(DSNumericDataColumnTest, ImportThreadAndParallelFinishing)
{
    const auto build = [](DSObjectPool &pool, QList<DSDataColumn *> *columns, qint64 rows) {
        auto *t = pool.insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        for (int c = 0; c < 12; ++c) {
            auto *column = pool.insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
            column->setName(QStringLiteral("c%1").arg(c));
            t->insertNewColumns({column}, c);
            std::mt19937_64 random{uint64_t(c)};
            for (qint64 r = 0; r < rows - c * 100; ++r)
                column->appendValue(c % 3 == 0 ? double(random() % 2) : double(random() % 1000) / 8);
            columns->append(column);
        }
        t->setNum_records(rows);
    };
    DSObjectPool serialPool(ds_columns_test_model()), parallelPool(ds_columns_test_model());
    QList<DSDataColumn *> serial, parallel;
    build(serialPool, &serial, 30000);
    std::thread importer([&] { build(parallelPool, &parallel, 30000); });
    importer.join();
    for (DSDataColumn *column : serial)
        ASSERT_TRUE(column->saveAfterImport());
    ASSERT_TRUE(DSDataColumn::saveAfterImport(parallel));
    for (qsizetype c = 0; c < serial.size(); ++c) {
        auto *a = dynamic_cast<DSNumericDataColumn *>(serial[c]);
        auto *b = dynamic_cast<DSNumericDataColumn *>(parallel[c]);
        EXPECT_EQ(a->values(), b->values()) << c;
        EXPECT_EQ(a->treat_as_categories(), b->treat_as_categories()) << c;
        EXPECT_EQ(b->treat_as_categories(), c % 3 == 0) << c;
        EXPECT_EQ(valuesOf(b).size(), 30000u);
    }
}

// Saved and reopened in a new process, the values are bit-identical:
// infinities appended during an import were stored as NaN, an edited
// infinity stays, NaN payloads and -0 survive.
TEST_F(DSNumericDataColumnTest, SaveAndReopenInANewProcess)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("values.ostrel"));
    const std::vector<double> appended = {1.5, inf, -inf, nanA, nanB, -0.0, 0x1p-1074, -1e308, 42, NAN};
    std::vector<double> expected = appended;
    expected[1] = expected[2] = std::numeric_limits<double>::quiet_NaN();
    expected[8] = inf;
    QByteArray storedBytes;
    {
        DSStatDocument document;
        ASSERT_TRUE(document.initWithType(DSStatDocument::nativeType));
        auto *t = ds_object_cast<DSDataTable>(document.active_table());
        auto *x = document.managedObjectContext()->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
        x->setName(QStringLiteral("x"));
        t->insertNewColumns({x}, 0);
        for (double v : appended)
            x->appendValue(v);
        t->setNum_records(qint64(appended.size()) + 2);
        ASSERT_TRUE(x->saveAfterImport());
        ASSERT_TRUE(x->replaceNumericValueAtIndex(8, inf));
        expected.push_back(std::numeric_limits<double>::quiet_NaN());
        expected.push_back(std::numeric_limits<double>::quiet_NaN());
        // An edit past the row count the column was stored with.
        x->addRows(1);
        t->setNum_records(qint64(appended.size()) + 3);
        ASSERT_TRUE(x->replaceNumericValueAtIndex(12, nanB));
        ASSERT_TRUE(x->replaceNumericValueAtIndex(10, -inf));
        expected.push_back(nanB);
        expected[10] = -inf;
        ASSERT_EQ(bitsOf(valuesOf(x)), bitsOf(expected));
        EXPECT_TRUE(x->hasUnsavedEdits());
        DSError error;
        ASSERT_TRUE(document.writeSafelyToURL(QUrl::fromLocalFile(path), DSStatDocument::nativeType,
                                              DSSaveOperation::SaveAs, &error))
            << error.localizedDescription.toStdString();
        EXPECT_FALSE(x->hasUnsavedEdits());
        ASSERT_EQ(bitsOf(valuesOf(x)), bitsOf(expected)) << "the saved array stays decoded";
        storedBytes = x->values();
    }
    const ChildResult child = ds_run_child(QStringLiteral("values"), {path});
    ASSERT_EQ(child.exitCode, 0);
    QStringList bits;
    for (double v : expected)
        bits << QString::number(ds_bits(v), 16);
    const QString digest = QString::fromLatin1(QCryptographicHash::hash(storedBytes, QCryptographicHash::Sha256).toHex());
    EXPECT_EQ(child.output, QStringLiteral("rows 13\nx %1 13: %2").arg(digest, bits.join(QLatin1Char(' '))));
}

// A hundred cell edits of a 1,000,000-row column, each its own undo step,
// then a hundred undos: the values come back bit for bit, and the undo
// records hold cells, not arrays (one copy of the column is 8 MB).
TEST_F(DSNumericDataColumnTest, HundredEditsThenHundredUndos)
{
    std::vector<double> original(1'000'000);
    std::mt19937_64 random(5);
    for (double &v : original)
        v = double(random() % 100000) / 100;
    original[7] = nanA;
    original[999'999] = nanB;
    EditedDocument d(original);
    DSUndoManager *undo = d.document.managedObjectContext()->undoManager();
    ASSERT_TRUE(undo);
    const qint64 before = undo->heldBytes();
    std::vector<double> edited = original;
    for (int i = 0; i < 100; ++i) {
        const qint64 row = qint64((uint64_t(i) * 7919 * 7919) % original.size());
        const double value = i % 3 == 0 ? nanB : i % 3 == 1 ? inf : i + 0.25;
        undo->beginUndoGrouping();
        ASSERT_TRUE(d.x->replaceNumericValueAtIndex(row, value));
        undo->endUndoGrouping();
        edited[size_t(row)] = value;
    }
    EXPECT_EQ(bitsOf(valuesOf(d.x)), bitsOf(edited));
    EXPECT_LT(undo->heldBytes() - before, 1'000'000) << "a hundred cell records";
    for (int i = 0; i < 100; ++i)
        undo->undo();
    EXPECT_EQ(bitsOf(valuesOf(d.x)), bitsOf(original));
    EXPECT_LT(undo->heldBytes() - before, 1'000'000) << "and their redo records";
    undo->redo();
    EXPECT_NE(bitsOf(valuesOf(d.x)), bitsOf(original)) << "redo edits again";
}

// Deflating the edited column fails at save: the save reports it, the
// package on disk keeps its bytes, and the edit still reads back and is
// saved by the next save.
TEST_F(DSNumericDataColumnTest, AFailedDeflateFailsTheSave)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("edited.ostrel"));
    EditedDocument d({1, 2, 3, 4});
    DSError error;
    ASSERT_TRUE(d.save(path, DSSaveOperation::SaveAs, &error)) << error.localizedDescription.toStdString();
    const QMap<QString, QByteArray> onDisk = ds_package_files(path);
    ASSERT_FALSE(onDisk.isEmpty());

    ASSERT_TRUE(d.x->replaceNumericValueAtIndex(2, nanA));
    EXPECT_FALSE(d.saveWithoutMemory(path, &error));
    EXPECT_FALSE(error.localizedDescription.isEmpty());
    EXPECT_EQ(ds_package_files(path), onDisk);
    EXPECT_EQ(bitsOf(valuesOf(d.x)), bitsOf({1, 2, nanA, 4}));
    EXPECT_TRUE(d.x->hasUnsavedEdits());
    EXPECT_TRUE(d.document.managedObjectContext()->hasChanges());

    ASSERT_TRUE(d.save(path, DSSaveOperation::Save, &error)) << error.localizedDescription.toStdString();
    EXPECT_FALSE(d.x->hasUnsavedEdits());
    const QByteArray stored = zlibInflate(d.x->values()).value_or(QByteArray());
    ASSERT_EQ(stored.size(), 4 * qsizetype(sizeof(double)));
    std::vector<double> inflated(4);
    std::memcpy(inflated.data(), stored.constData(), size_t(stored.size()));
    EXPECT_EQ(bitsOf(inflated), bitsOf({1, 2, nanA, 4})) << "the stored array holds the edit";
}

} // namespace

// A copy is encoded from the stored attributes; an edit that only the next
// save would store must still reach it, and leave the original unsaved.
TEST_F(DSNumericDataColumnTest, ACopyTakesUnsavedEdits)
{
    EditedDocument d({1, 2, 3});
    ASSERT_TRUE(d.x->replaceNumericValueAtIndex(1, nanB));
    ASSERT_TRUE(d.x->hasUnsavedEdits());
    auto *copy = ds_object_cast<DSNumericDataColumn>(d.document.data_root()->duplicateManagedObject(d.x));
    ASSERT_TRUE(copy);
    EXPECT_EQ(bitsOf(valuesOf(copy)), bitsOf({1, nanB, 3}));
    EXPECT_TRUE(d.x->hasUnsavedEdits());
    EXPECT_EQ(bitsOf(valuesOf(d.x)), bitsOf({1, nanB, 3}));
}
