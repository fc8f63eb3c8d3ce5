// The named states of a stored column: the moves of an edit, a save and a
// fault along a document's life, and the wrong moves a debug build stops at
// before they change anything (death tests).
#include "ColumnsTestSupport.h"

#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "model/DSStoredColumnState.h"
#include "platform/store/DSObjectFactory.h"

#include <gtest/gtest.h>

namespace {

using S = DSStoredColumnState;

// A column whose statistics purge, once armed, turns it into a fault: the
// purge every cell edit makes then faults the column while its edit is
// under way.
class FaultingColumn : public DSNumericDataColumn
{
public:
    void purgeStats() override
    {
        DSNumericDataColumn::purgeStats();
        if (std::exchange(faultOnPurge, false))
            didTurnIntoFault();
    }
    bool faultOnPurge = false;
};

class DSStoredColumnStateTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite() { ds_columns_test_setup(); }
};

TEST_F(DSStoredColumnStateTest, AColumnMovesThroughItsStatesAsADocumentUsesIt)
{
    ColumnsFixture tables;
    tables.table()->setNum_records(3);
    auto *column = tables.addColumnOfEntity<DSNumericDataColumn>("DSNumericDataColumn", QStringLiteral("x"));
    EXPECT_EQ(column->storedState(), S::Importing) << "nothing stored yet";
    for (double x : {1.0, 2.0, 3.0})
        ASSERT_TRUE(column->appendValue(x));
    EXPECT_EQ(column->storedState(), S::Importing);
    ASSERT_TRUE(column->save());
    EXPECT_EQ(column->storedState(), S::Encoded);
    const double *values = nullptr;
    ASSERT_EQ(column->getValues(&values), 3);
    EXPECT_EQ(column->storedState(), S::Decoded);
    ASSERT_TRUE(column->replaceNumericValueAtIndex(1, 7));
    EXPECT_EQ(column->storedState(), S::Edited);
    ASSERT_TRUE(column->prepareForSave());
    EXPECT_EQ(column->storedState(), S::Saving);
    column->commitSavePreparation();
    EXPECT_EQ(column->storedState(), S::Decoded) << "the edited array is the decoded data of what is stored";
    column->teardown();
    EXPECT_EQ(column->storedState(), S::Encoded);
    ASSERT_EQ(column->getValues(&values), 3);
    EXPECT_EQ(values[1], 7);
}

TEST_F(DSStoredColumnStateTest, TheMovesEachStateAllows)
{
    struct Case
    {
        S from;
        DSStoredColumnMove move;
        bool allowed;
    };
    const Case cases[] = {
        {S::Importing, DSStoredColumnMove::Save, true},    {S::Encoded, DSStoredColumnMove::Save, false},
        {S::Decoded, DSStoredColumnMove::Save, false},     {S::Edited, DSStoredColumnMove::Save, false},
        {S::Saving, DSStoredColumnMove::BeginEdit, false}, {S::Edited, DSStoredColumnMove::BeginEdit, true},
        {S::Encoded, DSStoredColumnMove::BeginEdit, true}, {S::Editing, DSStoredColumnMove::Fault, false},
        {S::Edited, DSStoredColumnMove::Fault, true},      {S::Saving, DSStoredColumnMove::FinishSave, true},
    };
    for (const Case &c : cases)
        EXPECT_EQ(ds_stored_column_allows(c.from, c.move), c.allowed) << int(c.from) << " " << int(c.move);
}

// The wrong moves stop only a build with assertions.
class DSStoredColumnStateDeathTest : public DSStoredColumnStateTest
{
protected:
    void SetUp() override
    {
#ifdef NDEBUG
        GTEST_SKIP() << "built without assertions";
#endif
    }
};

const char *const k_wrongMove = "a stored column made a move its state does not allow";

TEST_F(DSStoredColumnStateDeathTest, AnEditDuringASaveStops)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ColumnsFixture tables;
    ProbedDataColumn *column = tables.addColumn({1, 2, 3});
    ASSERT_TRUE(column->replaceNumericValueAtIndex(0, 5));
    ASSERT_TRUE(column->prepareForSave());
    EXPECT_DEATH(column->replaceNumericValueAtIndex(1, 9), k_wrongMove);
}

TEST_F(DSStoredColumnStateDeathTest, AFaultDuringAnEditStops)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    DSObjectFactory::registerClass<FaultingColumn>(QStringLiteral("DSNumericDataColumn"));
    ColumnsFixture tables;
    tables.table()->setNum_records(2);
    auto *column = tables.addColumnOfEntity<FaultingColumn>("DSNumericDataColumn", QStringLiteral("x"));
    ASSERT_TRUE(column->appendValue(1));
    ASSERT_TRUE(column->appendValue(2));
    ASSERT_TRUE(column->save());
    column->faultOnPurge = true;
    EXPECT_DEATH(column->replaceNumericValueAtIndex(0, 5), k_wrongMove);
    ds_columns_test_setup();
}

TEST_F(DSStoredColumnStateDeathTest, ASaveOfANeverLoadedColumnStops)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ColumnsFixture tables;
    ProbedDataColumn *column = tables.addColumn({1, 2, 3});
    column->teardown();
    ASSERT_FALSE(column->values().isEmpty());
    // Saving now would store an empty array over the column's values.
    EXPECT_DEATH(column->save(), k_wrongMove);
}

TEST_F(DSStoredColumnStateDeathTest, ATextEditDuringASaveStops)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ColumnsFixture tables;
    DSTextDataColumn *column = tables.addTextColumn({"a", "b", "c"});
    ASSERT_TRUE(column->replaceTextValueAtIndex(0, "z"));
    EXPECT_EQ(column->storedState(), S::Edited);
    ASSERT_TRUE(column->prepareForSave());
    EXPECT_EQ(column->storedState(), S::Saving);
    EXPECT_DEATH(column->replaceTextValueAtIndex(1, "y"), k_wrongMove);
}

TEST_F(DSStoredColumnStateDeathTest, ASaveOfANeverLoadedTextColumnStops)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ColumnsFixture tables;
    DSTextDataColumn *column = tables.addTextColumn({"a", "b", "c"});
    column->teardown();
    EXPECT_EQ(column->storedState(), S::Encoded);
    EXPECT_DEATH(column->save(), k_wrongMove);
}

TEST_F(DSStoredColumnStateDeathTest, ASaveOfANeverLoadedTimeColumnStops)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ColumnsFixture tables;
    tables.table()->setNum_records(2);
    auto *column = tables.addColumnOfEntity<DSTimeDataColumn>("DSTimeDataColumn", QStringLiteral("t"));
    EXPECT_EQ(column->storedState(), S::Importing);
    ASSERT_TRUE(column->appendTimeValue(0, 86400));
    ASSERT_TRUE(column->appendTimeValue(86400, 86400));
    ASSERT_TRUE(column->save());
    EXPECT_EQ(column->storedState(), S::Encoded);
    EXPECT_DEATH(column->save(), k_wrongMove);
}

TEST_F(DSStoredColumnStateDeathTest, ATimeEditDuringASaveStops)
{
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    ColumnsFixture tables;
    tables.table()->setNum_records(2);
    auto *column = tables.addColumnOfEntity<DSTimeDataColumn>("DSTimeDataColumn", QStringLiteral("t"));
    ASSERT_TRUE(column->appendTimeValue(0, 86400));
    ASSERT_TRUE(column->appendTimeValue(86400, 86400));
    ASSERT_TRUE(column->save());
    ASSERT_TRUE(column->replaceTimeValueAtIndex(0, 3600, 60));
    EXPECT_EQ(column->storedState(), S::Edited);
    ASSERT_TRUE(column->prepareForSave());
    EXPECT_EQ(column->storedState(), S::Saving);
    EXPECT_DEATH(column->replaceTimeValueAtIndex(1, 7200, 60), k_wrongMove);
}

} // namespace
