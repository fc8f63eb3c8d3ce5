// The estimation-command window driven offscreen: the package picked by its
// radio buttons, the text of the bottom-line reporter the chain picks for
// the table's selections, and Copy; its picture goes to the binary folder.
#include "app/ds_register_model_classes.h"
#include "model/DSColumnSelection.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSNumericPartition.h"
#include "model/DSStatDocument.h"
#include "model/DSUserDefaults.h"
#include "model/ds_application_defaults.h"
#include "platform/store/DSManagedObjectContext.h"
#include "stats/DSBottomLineReporter.h"
#include "stats/DSBottomLineReporterChain.h"
#include "stats/DSEstimationCommandDelegate.h"
#include "stats/DSStatisticalTest.h"

#include <QAbstractButton>
#include <QApplication>
#include <QClipboard>
#include <QDir>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>

#include <gtest/gtest.h>

#include <iostream>

namespace {

// The bottom-line pane as far as the window sees it: its chain, and the test
// of its last refresh, asked with the table's selections.
class TestBottomLine : public DSEstimationCommandDelegate::BottomLine
{
public:
    DSBottomLineReporter *reporterForColumns(const DSColumnSelection *columns,
                                             const DSColumnSelection *covariates) override
    {
        return chain.reporterForColumns(columns, covariates);
    }
    std::shared_ptr<const DSStatisticalTest> shownTest() const override { return test; }

    void refresh(DSTable *table)
    {
        DSBottomLineReporter *reporter =
            chain.reporterForColumns(table->column_selection(), table->covariate_selection());
        test = reporter
                   ? reporter->resultForColumns(table->column_selection(), table->covariate_selection(), nullptr, 0)
                   : nullptr;
    }

    DSBottomLineReporterChain chain;
    std::shared_ptr<const DSStatisticalTest> test;
};

class EstimationCommandTest : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        if (QApplication::instance())
            return;
        static int argc = 1;
        static char name[] = "estimation_command_test";
        static char *argv[] = {name, nullptr};
        new QApplication(argc, argv);
        static QTemporaryDir settings;
        DSUserDefaults::setStandardUserDefaults(
            std::make_unique<DSUserDefaults>(settings.filePath(QStringLiteral("Ostrel.conf"))));
        ds_register_application_defaults();
        ds_register_model_classes();
    }

    void SetUp() override
    {
        ASSERT_TRUE(document.initWithType(DSStatDocument::nativeType));
        table = document.active_table();
        table->setShowSummary(true);
        delegate.awakeFromNib();
        delegate.setBottomLineLookup([this](DSStatDocument *d) { return d == &document ? &bottomLine : nullptr; });
        delegate.setMainDocumentLookup([this] { return &document; });
    }
    void TearDown() override { delegate.teardown(); }

    DSNumericColumn *addColumn(const QString &name, const std::vector<double> &values)
    {
        auto *column = document.managedObjectContext()->insertNewObject<DSNumericDataColumn>(
            QStringLiteral("DSNumericDataColumn"));
        column->setName(name);
        table->insertNewColumns({column}, table->columns().size());
        for (double v : values)
            column->appendValue(v);
        ds_object_cast<DSDataTable>(table)->setNum_records(qint64(values.size()));
        EXPECT_TRUE(column->saveAfterImport());
        return column;
    }
    QAbstractButton *button(const QString &title) const
    {
        // Buttons of an earlier refresh linger hidden until deleted.
        for (auto *b : delegate.pro_syntax_matrix()->findChildren<QAbstractButton *>())
            if (b->text() == title && !b->isHidden())
                return b;
        return nullptr;
    }
    QString shownText() const { return delegate.text_field()->toPlainText(); }
    void refresh()
    {
        bottomLine.refresh(table);
        delegate.refreshViewForDocument(&document);
    }
    static void keepPicture(QWidget *widget, const QString &fileName)
    {
        // Buttons added to a shown window show, and layouts settle, in
        // posted events.
        QCoreApplication::sendPostedEvents();
        const QString path = QDir(QStringLiteral(OSTREL_TEST_BINARY_DIR)).filePath(fileName);
        ASSERT_TRUE(widget->grab().save(path)) << path.toStdString();
        std::cout << "window picture: " << path.toStdString() << std::endl;
    }

    DSStatDocument document;
    DSTable *table = nullptr;
    TestBottomLine bottomLine;
    DSEstimationCommandDelegate delegate;
};

TEST_F(EstimationCommandTest, FriedmanHasNoRCommandAndOneInStata)
{
    for (const char *name : {"a", "b", "c"})
        table->column_selection()->addColumn(addColumn(QString::fromLatin1(name), {1, 2, 3, 4, 5, 6, 7, 8}));
    table->setPrimitiveValue(true, QStringLiteral("repeated_measures"));
    refresh();

    ASSERT_EQ(delegate.syntax(), DSBottomLineReporter::syntaxR) << "the first refresh picks R";
    QStringList titles;
    for (auto *b : delegate.pro_syntax_matrix()->findChildren<QAbstractButton *>())
        titles << b->text();
    EXPECT_EQ(titles, (QStringList{"Stata", "SPSS", "SAS", "R"}));
    EXPECT_TRUE(button("R")->isChecked());
    EXPECT_EQ(shownText(), QString());
    EXPECT_FALSE(delegate.clipboard_copy_button()->isEnabled());

    // Picking a package reads the main window's document, not the one of
    // the last refresh.
    delegate.refreshViewForDocument(nullptr);
    delegate.window()->show();
    QTest::mouseClick(button("Stata"), Qt::LeftButton);
    EXPECT_EQ(delegate.syntax(), DSBottomLineReporter::syntaxStata);
    EXPECT_TRUE(button("Stata")->isChecked());
    EXPECT_EQ(shownText(), "friedman a b c");
    EXPECT_TRUE(delegate.clipboard_copy_button()->isEnabled());
    keepPicture(delegate.window(), QStringLiteral("estimation_command_friedman.png"));
    QStringList shown;
    for (auto *b : delegate.pro_syntax_matrix()->findChildren<QAbstractButton *>())
        if (b->isVisible())
            shown << b->text();
    EXPECT_EQ(shown, (QStringList{"Stata", "SPSS", "SAS", "R"})) << "the rebuilt row alone";

    QTest::mouseClick(delegate.clipboard_copy_button(), Qt::LeftButton);
    EXPECT_EQ(QApplication::clipboard()->text(), "friedman a b c");
}

TEST_F(EstimationCommandTest, CopyTakesTheLinesShown)
{
    DSNumericColumn *y = addColumn(QStringLiteral("y"), {1, 4, 2, 8, 5, 7, 3, 9});
    DSNumericColumn *age = addColumn(QStringLiteral("age"), {5, 15, 25, 35, 12, 8, 31, 22});
    auto *partition = dynamic_cast<DSNumericPartition *>(age->covariate_partition());
    partition->setPartition_type(2);
    partition->setCustom_interval_cutoffs({10, 20, 30});
    table->column_selection()->addColumn(y);
    table->covariate_selection()->addColumn(age);
    table->setPrimitiveValue(qlonglong(2), QStringLiteral("covariate_graph_type"));
    refresh();

    const QString expected = QStringLiteral("df$age_r <- NA\n"
                                            "df$age_r[df$age < 10] <- 0\n"
                                            "df$age_r[df$age < 20 & df$age >= 10] <- 1\n"
                                            "df$age_r[df$age < 30 & df$age >= 20] <- 2\n"
                                            "df$age_r[df$age >= 30] <- 3\n"
                                            "summary(aov(y ~ factor(age_r), data = df))");
    EXPECT_EQ(shownText(), expected);
    delegate.window()->show();
    keepPicture(delegate.window(), QStringLiteral("estimation_command_recoded.png"));
    QTest::mouseClick(delegate.clipboard_copy_button(), Qt::LeftButton);
    EXPECT_EQ(QApplication::clipboard()->text(), expected);

    // Panes that show no bottom line leave the text empty.
    struct Case
    {
        const char *what;
        std::function<void()> set;
    };
    const Case cases[] = {
        {"a model without an outcome", [&] { table->setShowModel(true); }},
        {"the model padlock open", [&] { table->setShowTable(true), table->setBuild_model_unlocked(true); }},
        {"the records pane", [&] { table->setBuild_model_unlocked(false), table->setShowRecords(true); }},
    };
    for (const Case &c : cases) {
        c.set();
        delegate.refreshViewForDocument(&document);
        EXPECT_EQ(shownText(), QString()) << c.what;
        EXPECT_FALSE(delegate.clipboard_copy_button()->isEnabled()) << c.what;
    }
}

}  // namespace
