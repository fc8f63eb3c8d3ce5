#include "sheet_test_support.h"

#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "platform/predicate/DSCompoundPredicate.h"
#include "platform/store/DSManagedObjectContext.h"
#include "ui/DSPredicateEditor.h"
#include "ui/sheets/DSMissingValuesSheetDelegate.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QCborMap>
#include <QCheckBox>
#include <QDialog>
#include <QPushButton>
#include <QTest>

namespace {

using Op = DSPredicateOperatorType;

DSPredicatePtr valueIs(Op type, const DSPredicateValue &value)
{
    return DSPredicateEditorRowTemplate::comparison(QStringLiteral("value"), type, value);
}

DSPredicateValue number(double x)
{
    return DSPredicateValue::fromNumber(x);
}

class MissingValuesSheetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        document = showNewDocumentWindow(&host);
        ASSERT_TRUE(document);
        context = document->managedObjectContext();
        table = ds_object_cast<DSDataTable>(document->active_table());
        table->setNum_records(4);
        sheet = dynamic_cast<DSMissingValuesSheetDelegate *>(document->missing_values_sheet_delegate());
        ASSERT_TRUE(sheet);
        ASSERT_EQ(sheet->nibName(), QStringLiteral("MissingValuesSheet"));
    }

    void TearDown() override
    {
        if (sheet->isShown())
            sheet->closeSheet(nullptr);
        document.reset();
    }

    DSNumericDataColumn *numericColumn(const std::vector<double> &values, bool categories)
    {
        auto *column = context->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
        column->setName(QStringLiteral("code"));
        table->insertNewColumns({column}, table->columns().size());
        for (double x : values)
            column->appendValue(x);
        column->saveAfterImport();
        column->setTreat_as_categories(categories);
        context->processPendingChanges();
        return column;
    }

    DSColumn *textColumn(const std::vector<const char *> &texts, const QCborMap &labels)
    {
        auto *column = context->insertNewObject<DSTextDataColumn>(QStringLiteral("DSTextDataColumn"));
        column->setName(QStringLiteral("answer"));
        table->insertNewColumns({column}, table->columns().size());
        for (const char *text : texts)
            column->appendTextValue(text);
        column->saveAfterImport();
        column->setTreat_as_categories(true);
        column->setCategory_labels(labels);
        context->processPendingChanges();
        return column;
    }

    QStringList rows() const
    {
        QStringList texts;
        for (int i = 0; i < sheet->predicate_editor()->rowCount(); ++i)
            texts << sheet->predicate_editor()->rowText(i);
        return texts;
    }

    FakeHost host;
    std::unique_ptr<DSStatDocumentWindow> document;
    DSManagedObjectContext *context = nullptr;
    DSDataTable *table = nullptr;
    DSMissingValuesSheetDelegate *sheet = nullptr;
};

TEST_F(MissingValuesSheetTest, TheSheetStartsFromTheColumnsValuesAndPredicate)
{
    struct Case
    {
        const char *name;
        std::vector<double> values;
        DSPredicatePtr stored;
        QList<DSPredicateValue> defaults;
        QStringList rows;
        DSPredicatePtr start;
    };
    const Case cases[] = {
        {"a negative code starts at value <= the least",
         {-99, 1, 2},
         nullptr,
         {},
         {QStringLiteral("value is less than or equal to -99")},
         DSCompoundPredicate::orPredicate({valueIs(Op::LessThanOrEqualTo, number(-99))})},
        {"positive codes start at value >= the greatest",
         {1, 2, 999},
         nullptr,
         {},
         {QStringLiteral("value is greater than or equal to 999")},
         DSCompoundPredicate::orPredicate({valueIs(Op::GreaterThanOrEqualTo, number(999))})},
        {"two chosen categories beside one stored member",
         {7, 9, 1},
         DSCompoundPredicate::orPredicate({valueIs(Op::EqualTo, number(-1))}),
         {number(7), number(9)},
         {QStringLiteral("value is -1"), QStringLiteral("value is 7"), QStringLiteral("value is 9")},
         DSCompoundPredicate::orPredicate({valueIs(Op::EqualTo, number(-1)), valueIs(Op::EqualTo, number(7)),
                                           valueIs(Op::EqualTo, number(9))})},
        {"a stored lone comparison is kept beside a chosen category",
         {7, 9, 1},
         valueIs(Op::GreaterThan, number(8)),
         {number(7)},
         {QStringLiteral("value is greater than 8"), QStringLiteral("value is 7")},
         DSCompoundPredicate::orPredicate({valueIs(Op::GreaterThan, number(8)), valueIs(Op::EqualTo, number(7))})},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        DSNumericDataColumn *column = numericColumn(c.values, true);
        column->setMissing_values_predicate(c.stored);
        DSMissingValuesSheetDelegate::showForColumns(document.get(), {column}, c.defaults);
        ASSERT_TRUE(sheet->isShown());
        EXPECT_EQ(rows(), c.rows);
        EXPECT_EQ(*sheet->predicate_editor()->objectValue(), *c.start)
            << sheet->predicate_editor()->objectValue()->toString().toStdString();
        sheet->closeSheet(nullptr);
    }
}

TEST_F(MissingValuesSheetTest, LabelledTextCategoriesOfferTheLabelRowsFirst)
{
    QCborMap labels;
    labels.insert(QStringLiteral("n"), QStringLiteral("No"));
    labels.insert(QStringLiteral("y"), QStringLiteral("Yes"));
    labels.insert(QStringLiteral("x"), QStringLiteral("Not asked"));
    // The labels name two of the three texts; a blank row offers nothing.
    DSColumn *column = textColumn({"y", "", "n", "dk"}, labels);
    DSMissingValuesSheetDelegate::showForColumns(document.get(), {column}, {});
    ASSERT_TRUE(sheet->columns_are_text);
    const QList<DSPredicateEditorRowTemplate> &templates = sheet->predicate_editor()->rowTemplates();
    ASSERT_EQ(templates.size(), 4);
    EXPECT_EQ(templates[0].key, QStringLiteral("label"));
    EXPECT_TRUE(templates[0].isPopup());
    EXPECT_EQ(templates[1].key, QStringLiteral("label"));
    EXPECT_EQ(templates[1].operators, (QList<Op>{Op::BeginsWith, Op::Contains, Op::EndsWith}));
    EXPECT_EQ(templates[2].key, QStringLiteral("value"));
    EXPECT_EQ(templates[3].operators, (QList<Op>{Op::BeginsWith, Op::Contains, Op::EndsWith}));
    // The default row is the first value; its key pop-up offers label first.
    EXPECT_EQ(rows(), QStringList{QStringLiteral("value is dk")});
    EXPECT_EQ(sheet->predicate_editor()->rowKeys(0), (QStringList{QStringLiteral("label"), QStringLiteral("value")}));
    EXPECT_EQ(sheet->predicate_editor()->rowPopupValues(0),
              (QStringList{QStringLiteral("dk"), QStringLiteral("n"), QStringLiteral("y")}));
    sheet->apply_predicate_checkbox()->click();
    sheet->predicate_editor()->addRow(0);
    EXPECT_EQ(sheet->predicate_editor()->rowPopupValues(1),
              (QStringList{QStringLiteral("No"), QStringLiteral("Not asked"), QStringLiteral("Yes")}));
    keepPicture(sheet->sheet(), QStringLiteral("missing_values_sheet_text.png"));
}

TEST_F(MissingValuesSheetTest, ADateColumnGetsOneTypedRowOfComparisons)
{
    auto *column = context->insertNewObject<DSTimeDataColumn>(QStringLiteral("DSTimeDataColumn"));
    column->setName(QStringLiteral("visit"));
    table->insertNewColumns({column}, 0);
    DSMissingValuesSheetDelegate::showForColumns(document.get(), {column}, {});
    ASSERT_TRUE(sheet->columns_are_date);
    const QList<DSPredicateEditorRowTemplate> &templates = sheet->predicate_editor()->rowTemplates();
    ASSERT_EQ(templates.size(), 1);
    EXPECT_FALSE(templates[0].isPopup());
    EXPECT_EQ(templates[0].attributeType, DSPredicateEditorRowTemplate::DateAttributeType);
    EXPECT_EQ(templates[0].operators,
              (QList<Op>{Op::EqualTo, Op::GreaterThan, Op::GreaterThanOrEqualTo, Op::LessThan, Op::LessThanOrEqualTo}));
    EXPECT_EQ(templates[0].parse(QStringLiteral("2001-01-02")), DSPredicateValue::fromDate(86400));
}

TEST_F(MissingValuesSheetTest, SavingUntickedKeepsThePredicateAndCancellingRestores)
{
    DSNumericDataColumn *first = numericColumn({-99, 1, 2}, true);
    DSNumericDataColumn *second = numericColumn({-99, 3, 4}, true);
    const DSPredicatePtr stored = DSCompoundPredicate::orPredicate({valueIs(Op::EqualTo, number(-99))});
    first->setMissing_values_predicate(stored);
    first->setApply_missing_values_predicate(true);
    context->processPendingChanges();

    // Ticked and saved: one shared predicate in both columns.
    DSMissingValuesSheetDelegate::showForColumns(document.get(), {first, second}, {number(2)});
    ASSERT_TRUE(sheet->enable_predicate);
    EXPECT_TRUE(sheet->apply_predicate_checkbox()->isChecked());
    EXPECT_TRUE(sheet->predicate_editor()->isEditable());
    keepPicture(sheet->sheet(), QStringLiteral("missing_values_sheet_numeric.png"));
    QTest::mouseClick(sheet->sheet()->findChild<QPushButton *>(QStringLiteral("save_button")), Qt::LeftButton);
    EXPECT_FALSE(sheet->isShown());
    const DSPredicatePtr saved =
        DSCompoundPredicate::orPredicate({valueIs(Op::EqualTo, number(-99)), valueIs(Op::EqualTo, number(2))});
    EXPECT_EQ(*first->missing_values_predicate(), *saved);
    EXPECT_EQ(*second->missing_values_predicate(), *saved);
    EXPECT_TRUE(second->apply_missing_values_predicate());

    // Unticked and saved: the predicates stay, unapplied.
    DSMissingValuesSheetDelegate::showForColumns(document.get(), {first, second}, {});
    sheet->apply_predicate_checkbox()->click();
    EXPECT_FALSE(sheet->predicate_editor()->isEditable());
    sheet->predicate_editor()->removeRow(0);
    sheet->saveSheet(nullptr);
    EXPECT_EQ(*first->missing_values_predicate(), *saved);
    EXPECT_FALSE(first->apply_missing_values_predicate());
    EXPECT_FALSE(second->apply_missing_values_predicate());

    // Ticked, edited, then cancelled: the columns as they were.
    DSMissingValuesSheetDelegate::showForColumns(document.get(), {first}, {});
    sheet->apply_predicate_checkbox()->click();
    sheet->predicate_editor()->removeRow(0);
    sheet->saveSheet(nullptr);
    document->undo();
    EXPECT_EQ(*first->missing_values_predicate(), *saved);
    EXPECT_FALSE(first->apply_missing_values_predicate());
    DSMissingValuesSheetDelegate::showForColumns(document.get(), {first}, {});
    sheet->apply_predicate_checkbox()->click();
    first->setName(QStringLiteral("changed while up"));
    QTest::mouseClick(sheet->sheet()->findChild<QPushButton *>(QStringLiteral("cancel_button")), Qt::LeftButton);
    EXPECT_FALSE(sheet->isShown());
    EXPECT_EQ(first->name(), QStringLiteral("code"));
    EXPECT_FALSE(first->apply_missing_values_predicate());
    EXPECT_TRUE(sheet->columns.isEmpty());
}

} // namespace
