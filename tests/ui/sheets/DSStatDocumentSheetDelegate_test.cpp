#include "sheet_test_support.h"

#include "model/DSDataRoot.h"
#include "model/DSTable.h"
#include "platform/store/DSManagedObjectContext.h"
#include "ui/DSNib.h"
#include "ui/sheets/DSDataImporterSheetDelegate.h"
#include "ui/sheets/DSExporterSheetDelegate.h"
#include "ui/sheets/DSStatDocumentSheetDelegate.h"
#include "ui/window/DSImportRun.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QDialog>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

namespace {

// A sheet with nothing of its own: the base's behaviour alone.
class DSPlainSheetDelegate : public DSStatDocumentSheetDelegate
{
};

class SheetTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ensureWindowTestApplication();
        DSNib::registerNib(QStringLiteral("PlainSheet"), [](QObject *) {
            auto *sheet = new QDialog;
            sheet->setObjectName(QStringLiteral("sheet"));
            (new QVBoxLayout(sheet))->addWidget(new QLabel(QStringLiteral("A plain sheet")));
            return QObjectList{sheet};
        });
        document = showNewDocumentWindow(&host);
        ASSERT_TRUE(document);
        context = document->managedObjectContext();
        plain.setDocument(document.get());
        plain.awakeFromNib();
        ASSERT_TRUE(plain.sheet());
        table = document->active_table();
    }

    void TearDown() override
    {
        plain.teardown();
        document.reset();
    }

    // Renames the active table as one processed change.
    void rename(const QString &name)
    {
        table->setName(name);
        context->processPendingChanges();
    }

    FakeHost host;
    std::unique_ptr<DSStatDocumentWindow> document;
    DSManagedObjectContext *context = nullptr;
    DSTable *table = nullptr;
    DSPlainSheetDelegate plain;
};

TEST_F(SheetTest, TheRegistryMakesTheRegisteredSheetsWhichLoadTheirOwnFiles)
{
    EXPECT_EQ(DSStatDocumentWindow::sheetDelegateInfo().size(), 18);
    auto *importer = document->data_importer_sheet_delegate();
    auto *exporter = document->exporter_sheet_delegate();
    ASSERT_TRUE(importer);
    ASSERT_TRUE(exporter);
    EXPECT_TRUE(dynamic_cast<DSDataImporterSheetDelegate *>(importer));
    EXPECT_TRUE(dynamic_cast<DSExporterSheetDelegate *>(exporter));
    EXPECT_EQ(importer->nibName(), QStringLiteral("DataImporterSheet"));
    EXPECT_EQ(exporter->nibName(), QStringLiteral("ExporterSheet"));
    EXPECT_EQ(plain.nibName(), QStringLiteral("PlainSheet"));
    for (DSStatDocumentSheetDelegate *sheet : document->sheet_delegates()) {
        EXPECT_EQ(sheet->document(), document.get());
        EXPECT_TRUE(sheet->sheet()) << sheet->className().toStdString();
    }
    // A class not built yet has no controller.
    EXPECT_FALSE(document->sheetDelegate(QStringLiteral("recode_variable_sheet_delegate")));
}

TEST_F(SheetTest, ASecondSheetBeepsAndOpensNoGroup)
{
    plain.showSheet(document->windowForSheet());
    ASSERT_TRUE(plain.isShown());
    EXPECT_TRUE(plain.sheet()->isVisible());
    EXPECT_EQ(plain.sheet()->windowModality(), Qt::WindowModal);
    EXPECT_EQ(document->attached_sheet(), &plain);
    EXPECT_EQ(context->undoManager()->groupingLevel(), 1);

    auto *exporter = document->exporter_sheet_delegate();
    exporter->showSheet(document->windowForSheet());
    EXPECT_EQ(host.beeps, 1);
    EXPECT_FALSE(exporter->isShown());
    EXPECT_FALSE(exporter->sheet()->isVisible());
    EXPECT_EQ(context->undoManager()->groupingLevel(), 1);
    // The refused sheet's cancel must not end the group of the one that is up.
    exporter->closeSheet(nullptr);
    exporter->saveSheet(nullptr);
    EXPECT_EQ(context->undoManager()->groupingLevel(), 1);
    EXPECT_TRUE(plain.isShown());

    plain.closeSheet(nullptr);
    EXPECT_FALSE(plain.sheet()->isVisible());
    EXPECT_EQ(document->attached_sheet(), nullptr);
    EXPECT_EQ(context->undoManager()->groupingLevel(), 0);
}

TEST_F(SheetTest, CancellingRevertsExactlyTheSheetsChanges)
{
    rename(QStringLiteral("Before"));
    ASSERT_TRUE(context->undoManager()->canUndo());

    struct Case
    {
        const char *name;
        bool changeInside;
    };
    for (const Case c : {Case{"an empty sheet", false}, Case{"a sheet that renamed", true}}) {
        SCOPED_TRACE(c.name);
        plain.showSheet(document->windowForSheet());
        if (c.changeInside)
            rename(QStringLiteral("Inside"));
        // Escape cancels, as the Cancel button would.
        QTest::keyClick(plain.sheet(), Qt::Key_Escape);
        EXPECT_FALSE(plain.isShown());
        EXPECT_EQ(table->name(), QStringLiteral("Before"));
        EXPECT_TRUE(context->undoManager()->canUndo());
    }
    document->undo();
    EXPECT_EQ(table->name(), QStringLiteral("New Table"));
}

TEST_F(SheetTest, ASavedSheetIsOneUndoStep)
{
    plain.showSheet(document->windowForSheet());
    rename(QStringLiteral("First"));
    table->setName(QStringLiteral("Second"));  // still pending when saved
    plain.saveSheet(nullptr);
    EXPECT_FALSE(plain.sheet()->isVisible());
    EXPECT_EQ(table->name(), QStringLiteral("Second"));
    document->undo();
    EXPECT_EQ(table->name(), QStringLiteral("New Table"));
    EXPECT_FALSE(context->undoManager()->canUndo());
}

TEST_F(SheetTest, TheProgressBarFollowsTheRunAndEveryEndingAbortsIt)
{
    auto *sheet = dynamic_cast<DSDataImporterSheetDelegate *>(document->data_importer_sheet_delegate());
    ASSERT_TRUE(sheet);
    auto run = std::make_shared<DSImportRun>(std::make_shared<SlowFakeImporter>(QStringList{}, nullptr));
    run->importer()->setAsyncProgress(0.25);
    sheet->setImporter(run);
    sheet->showSheet(document->windowForSheet());
    ASSERT_TRUE(sheet->isShown());
    EXPECT_EQ(sheet->progress_bar()->value(), 250);
    run->importer()->setAsyncProgress(0.6);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sheet->progress_bar()->value() == 600; }))
        << sheet->progress_bar()->value();
    keepPicture(sheet->sheet(), QStringLiteral("import_progress_sheet.png"));
    run->importer()->setAsyncProgressIsIndeterminate(true);
    EXPECT_TRUE(QTest::qWaitFor([&] { return sheet->progress_bar()->maximum() == 0; }));

    sheet->saveSheet(nullptr);
    EXPECT_TRUE(run->asyncAbort());
    EXPECT_EQ(sheet->importer(), nullptr);
}

} // namespace
