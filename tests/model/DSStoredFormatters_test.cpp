#include "model/DSNumberFormatter.h"
#include "model/DSTextFormatter.h"
#include "model/ds_register_formatter_classes.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSObjectPool.h"
#include "platform/store/DSPersistentStore.h"
#include "tests/support/ds_qt_printers.h"

#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

class StoredFormatters : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        ds_register_formatter_classes();
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    }

    std::shared_ptr<const DSManagedObjectModel> model()
    {
        DSStoreError error;
        auto m = DSManagedObjectModel::modelNamed(QStringLiteral("DSDataModel006"), &error);
        EXPECT_TRUE(m) << error.message().toStdString();
        return m;
    }
};

TEST_F(StoredFormatters, NumberFormatterStartsFromTheModelsDefaults)
{
    DSManagedObjectContext context(model());
    auto *f = context.insertNewObject<DSNumberFormatter>(QStringLiteral("DSNumberFormatter"));
    ASSERT_TRUE(f);
    EXPECT_EQ(f->format(), ds_number_format_s{});
    EXPECT_EQ(f->resolutionScheme(), 0);
    EXPECT_EQ(f->NSNumberFormatter()->stringFromNumber(1234.5678), "1,234.568");
    EXPECT_EQ(f->ExcelFormatString(), "#,##0.###");
}

TEST_F(StoredFormatters, SpreadsheetCodesWriteOnlyWhatTheyChangeAndUndo)
{
    DSManagedObjectContext context(model());
    auto *f = context.insertNewObject<DSNumberFormatter>(QStringLiteral("DSNumberFormatter"));
    context.processPendingChanges();
    context.undoManager()->removeAllActions();

    f->setExcelFormatString("General"); // changes nothing, so records nothing
    context.processPendingChanges();
    EXPECT_FALSE(context.undoManager()->canUndo());

    f->setExcelFormatString("0.00%");
    context.processPendingChanges();
    EXPECT_EQ(f->number_style(), 3);
    EXPECT_EQ(f->minimum_fractional_digits(), 2);
    EXPECT_TRUE(f->apply_minimum_fractional_digits());
    EXPECT_EQ(f->maximum_fractional_digits(), 2);
    EXPECT_EQ(f->NSNumberFormatter()->stringFromNumber(0.1234), "12.34%");
    EXPECT_EQ(f->ExcelFormatString(), "#,##0.00%");
    EXPECT_EQ(f->ExcelFormatStringForIntegers(), "#,##0.00%");
    EXPECT_EQ(f->ExcelFormatStringRHS(), "00");

    context.undoManager()->undo();
    EXPECT_EQ(f->format(), ds_number_format_s{});

    f->setExcelFormatString("[h]:mm:ss");
    f->setDuration_units_style(1);
    EXPECT_EQ(f->resolutionScheme(), 2);
    EXPECT_EQ(f->NSNumberFormatter()->stringFromNumber(90061), "1d 1h 1m 1s");
    f->setDuration_allowed_units(DSDurationFormatter::HourUnit | DSDurationFormatter::MinuteUnit);
    EXPECT_EQ(f->resolutionScheme(), 1);
    EXPECT_EQ(f->ExcelFormatString(), "[h]:mm:ss");
}

TEST_F(StoredFormatters, TextFormatterKeepsItsLocaleWhileLive)
{
    QTemporaryDir dir;
    const QString file = dir.filePath("Storage-006.sqlite");
    DSStoreError error;
    {
        DSManagedObjectContext context(model());
        ASSERT_TRUE(context.addPersistentStore(file, DSStoreOptions(), &error));
        auto *f = context.insertNewObject<DSTextFormatter>(QStringLiteral("DSTextFormatter"));
        ASSERT_TRUE(f);
        EXPECT_TRUE(f->hasLocale());
        EXPECT_EQ(f->formatAndTruncateString("one two three four"), "one two three four");
        f->setApply_word_limit(true);
        f->setWord_limit(2);
        f->setApply_case_transformation(true);
        f->setCase_transformation(1);
        EXPECT_EQ(f->formatAndTruncateString("one two three"), QString::fromUtf8("ONE TWO\u2026"));
        EXPECT_EQ(f->formatString("one two three"), "ONE TWO THREE");
        EXPECT_EQ(f->formatAndTruncateRange(DSRange("a b c", "x y z")), QString::fromUtf8("A B\u2026 \u2014 X Y\u2026"));
        ASSERT_TRUE(context.save(&error)) << error.message().toStdString();
        ASSERT_TRUE(context.removePersistentStore(&error));
        EXPECT_FALSE(f->hasLocale()) << "a fault lets go of its locale";
    }
    DSManagedObjectContext reopened(model());
    ASSERT_TRUE(reopened.addPersistentStore(file, DSStoreOptions(), &error)) << error.message().toStdString();
    const DSObjectList loaded = reopened.objectsOfEntity(QStringLiteral("DSTextFormatter"));
    ASSERT_EQ(loaded.size(), 1);
    auto *f = ds_object_cast<DSTextFormatter>(loaded.first());
    ASSERT_TRUE(f);
    EXPECT_TRUE(f->hasLocale());
    EXPECT_EQ(f->word_limit(), 2);
    EXPECT_EQ(f->formatAndTruncateString("one two three"), QString::fromUtf8("ONE TWO\u2026"));
}

TEST_F(StoredFormatters, FormattersLiveInPoolsToo)
{
    DSObjectPool pool(model());
    auto *number = pool.insertNewObject<DSNumberFormatter>(QStringLiteral("DSNumberFormatter"));
    auto *text = pool.insertNewObject<DSTextFormatter>(QStringLiteral("DSTextFormatter"));
    ASSERT_TRUE(number && text);
    number->setExcelFormatString("$#,##0.00_);($#,##0.00)");
    EXPECT_EQ(number->number_style(), 2);
    EXPECT_EQ(number->ExcelFormatString(), "$#,##0.00");
    EXPECT_EQ(text->formatAndTruncateString("abc"), "abc");
}

} // namespace
