#include "sheet_test_support.h"

#include "model/DSDataImporter.h"
#include "model/DSDataRoot.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "platform/store/DSManagedObjectContext.h"
#include "ui/DSNib.h"
#include "ui/sheets/DSDataImporterSheetDelegate.h"
#include "ui/sheets/DSExporter.h"
#include "ui/sheets/DSExporterSheetDelegate.h"
#include "ui/window/DSImportRun.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QDialog>
#include <QFile>
#include <QLabel>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <vector>

namespace {

class ImportTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        document = showNewDocumentWindow(&host);
        ASSERT_TRUE(document);
        sheet = dynamic_cast<DSDataImporterSheetDelegate *>(document->data_importer_sheet_delegate());
        ASSERT_TRUE(sheet);
        newTable = document->active_table();
        errors = std::make_unique<QSignalSpy>(document.get(), &DSStatDocument::errorPresented);
    }

    void TearDown() override
    {
        if (gate)
            gate->open();
        document.reset();
    }

    // Starts an import of the named files, held at a gate while slow.
    void import(const QStringList &names, bool slow, const QString &failure = {})
    {
        if (slow)
            gate = std::make_shared<ParseGate>();
        document->beginImport(std::make_shared<SlowFakeImporter>(names, gate, failure), 0);
    }

    // Lets the parse end and its completion run.
    void finish()
    {
        if (gate)
            gate->open();
        document->waitForBackgroundRuns();
        QCoreApplication::sendPostedEvents();
    }

    FakeHost host;
    std::unique_ptr<DSStatDocumentWindow> document;
    DSDataImporterSheetDelegate *sheet = nullptr;
    DSTable *newTable = nullptr;
    std::shared_ptr<ParseGate> gate;
    std::unique_ptr<QSignalSpy> errors;
};

TEST_F(ImportTest, TwoFilesIntoANewDocumentReplaceNewTableAndUndoAsOneStep)
{
    import({QStringLiteral("first.csv"), QStringLiteral("second.csv")}, true);
    ASSERT_TRUE(sheet->isShown());
    std::shared_ptr<DSImportRun> run = sheet->importer();
    finish();

    EXPECT_EQ(tableNames(document.get()), (QStringList{QStringLiteral("first.csv"), QStringLiteral("second.csv")}));
    DSTable *active = document->active_table();
    ASSERT_TRUE(active);
    EXPECT_EQ(active->name(), QStringLiteral("first.csv"));
    EXPECT_EQ(active->index(), 0);
    EXPECT_EQ(active->num_records(), 3);
    EXPECT_EQ(active->columns().size(), 1);
    EXPECT_TRUE(active->showTable());
    EXPECT_TRUE(active->showRecords());
    EXPECT_FALSE(sheet->isShown());
    // A finished import leaves the run aborted and the sheet without it.
    EXPECT_TRUE(run->asyncAbort());
    EXPECT_EQ(sheet->importer(), nullptr);
    EXPECT_EQ(errors->count(), 0);

    document->undo();
    EXPECT_EQ(tableNames(document.get()), QStringList{QStringLiteral("New Table")});
}

TEST_F(ImportTest, ImportingBeforeATableWithRowsKeepsIt)
{
    auto *data = ds_object_cast<DSDataTable>(newTable);
    data->setNum_records(4);
    document->managedObjectContext()->processPendingChanges();
    import({QStringLiteral("front.csv")}, false);
    finish();
    EXPECT_EQ(tableNames(document.get()), (QStringList{QStringLiteral("front.csv"), QStringLiteral("New Table")}));
    EXPECT_EQ(document->active_table()->name(), QStringLiteral("front.csv"));
}

TEST_F(ImportTest, CancellingMidParseEndsTheSheetAtOnceAndAddsNothing)
{
    import({QStringLiteral("data.csv")}, true);
    std::shared_ptr<DSImportRun> run = sheet->importer();
    ASSERT_TRUE(run);
    auto *cancel = sheet->sheet()->findChild<QPushButton *>(QStringLiteral("cancel_button"));
    ASSERT_TRUE(cancel);
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_FALSE(sheet->sheet()->isVisible());
    EXPECT_TRUE(run->asyncAbort());
    finish();
    EXPECT_EQ(tableNames(document.get()), QStringList{QStringLiteral("New Table")});
    EXPECT_EQ(document->active_table(), newTable);
    EXPECT_EQ(errors->count(), 0);
    EXPECT_FALSE(document->managedObjectContext()->undoManager()->canUndo());
}

// The path a user takes: a delimited-text file on disk, the importer the
// document makes for its type, the hand-off and its completion.
class FileImportTest : public ImportTest
{
protected:
    // Writes the file into the scratch folder and starts its import.
    void importFile(const QString &name, const QByteArray &text)
    {
        QFile file(dir.filePath(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        ASSERT_EQ(file.write(text), text.size());
        file.close();
        std::unique_ptr<DSDataImporter> importer = DSDataImporter::importerForType(
            QStringLiteral("public.comma-separated-values-text"), QUrl::fromLocalFile(file.fileName()));
        ASSERT_TRUE(importer);
        ASSERT_EQ(importer->className(), QStringLiteral("DSDataImporterCSV"));
        ASSERT_TRUE(document->beginImport(std::move(importer), 0));
    }

    static std::vector<double> values(DSColumn *column)
    {
        auto *numeric = ds_object_cast<DSNumericDataColumn>(column);
        const double *data = nullptr;
        const qint64 count = numeric ? numeric->getValues(&data) : 0;
        return data ? std::vector<double>(data, data + count) : std::vector<double>{};
    }

    QTemporaryDir dir;
};

TEST_F(FileImportTest, ACSVFileBecomesTheDocumentsOneTable)
{
    importFile(QStringLiteral("heights.csv"), "height,weight\n1.5,60\n1.75,72.5\n1.62,58\n");
    finish();

    ASSERT_EQ(errors->count(), 0);
    EXPECT_EQ(tableNames(document.get()), QStringList{QStringLiteral("heights")});
    DSTable *table = document->active_table();
    ASSERT_TRUE(table);
    EXPECT_EQ(table->num_records(), 3);
    const QList<DSColumn *> columns = table->sortedColumns();
    ASSERT_EQ(columns.size(), 2);
    EXPECT_EQ(columns[0]->name(), QStringLiteral("height"));
    EXPECT_EQ(columns[1]->name(), QStringLiteral("weight"));
    EXPECT_EQ(values(columns[0]), (std::vector<double>{1.5, 1.75, 1.62}));
    EXPECT_EQ(values(columns[1]), (std::vector<double>{60, 72.5, 58}));
    EXPECT_FALSE(sheet->isShown());
    keepPicture(document->document_window(), QStringLiteral("import_csv_file.png"));
}

TEST_F(FileImportTest, CancellingARealParseRightAfterItStartsAddsNothing)
{
    QByteArray text = "x,y\n";
    for (int i = 0; i < 200000; ++i)
        text += QByteArray::number(i) + ',' + QByteArray::number(i * 0.5) + '\n';
    importFile(QStringLiteral("large.csv"), text);
    std::shared_ptr<DSImportRun> run = sheet->importer();
    ASSERT_TRUE(run);
    auto *cancel = sheet->sheet()->findChild<QPushButton *>(QStringLiteral("cancel_button"));
    ASSERT_TRUE(cancel);
    QTest::mouseClick(cancel, Qt::LeftButton);
    EXPECT_TRUE(run->importer()->asyncAbort() || run->importer()->asyncProgress() == 1)
        << "the importer itself is told to stop";
    finish();

    EXPECT_TRUE(run->asyncAbort());
    EXPECT_TRUE(run->importer()->asyncAbort());
    // Stopped at a polling point, not parsed to the end.
    EXPECT_FALSE(run->importer()->asyncResult());
    EXPECT_FALSE(run->importer()->asyncError());
    EXPECT_EQ(tableNames(document.get()), QStringList{QStringLiteral("New Table")});
    EXPECT_EQ(document->active_table(), newTable);
    EXPECT_EQ(errors->count(), 0);
    EXPECT_FALSE(document->managedObjectContext()->undoManager()->canUndo());
}

TEST_F(ImportTest, AFailingImporterPresentsItsErrorAndChangesNothing)
{
    import({QStringLiteral("broken.csv")}, false, QStringLiteral("The file broken.csv is not text."));
    finish();
    ASSERT_EQ(errors->count(), 1);
    EXPECT_EQ(errors->at(0).at(0).value<DSError>().localizedDescription, QStringLiteral("The file broken.csv is not text."));
    EXPECT_EQ(tableNames(document.get()), QStringList{QStringLiteral("New Table")});
    EXPECT_EQ(document->active_table(), newTable);
    EXPECT_FALSE(sheet->isShown());
}

TEST_F(ImportTest, ARefusedProgressSheetLeavesTheOpenSheetsGroupAndChanges)
{
    auto *exporter = document->exporter_sheet_delegate();
    exporter->showSheet(document->windowForSheet());
    newTable->setName(QStringLiteral("Renamed"));
    document->managedObjectContext()->processPendingChanges();

    import({QStringLiteral("behind.csv")}, false);
    EXPECT_EQ(host.beeps, 1);
    EXPECT_FALSE(sheet->isShown());
    finish();
    EXPECT_TRUE(exporter->isShown());
    EXPECT_EQ(document->managedObjectContext()->undoManager()->groupingLevel(), 1);
    EXPECT_EQ(newTable->name(), QStringLiteral("Renamed"));
    EXPECT_EQ(tableNames(document.get()), QStringList{QStringLiteral("behind.csv")});
    exporter->closeSheet(nullptr);
}

TEST_F(ImportTest, ClosingTheWindowMidParseAbortsTheImport)
{
    import({QStringLiteral("late.csv")}, true);
    std::shared_ptr<DSImportRun> run = sheet->importer();
    document->document_window()->close();
    QCoreApplication::sendPostedEvents();
    document->close();
    EXPECT_TRUE(run->asyncAbort());
    gate->open();
    document.reset();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(run.use_count(), 1);
}

// No exporter class is built yet; this one stands for one, failing when
// given a message.
class FakeExporter : public DSExporter
{
public:
    explicit FakeExporter(QString failure) : m_failure(std::move(failure)) {}

    void asyncExportToURL(const QUrl &url) override
    {
        exportedTo = url;
        if (!m_failure.isEmpty())
            m_error = ds_make_error(4, m_failure);
    }

    // Written on the export's thread, read once it has been waited for.
    QUrl exportedTo;

private:
    QString m_failure;
};

TEST_F(ImportTest, AnExportRunsInTheBackgroundThenClosesItsSheetAndPresentsItsError)
{
    auto *exportSheet = dynamic_cast<DSExporterSheetDelegate *>(document->exporter_sheet_delegate());
    ASSERT_TRUE(exportSheet);
    const QUrl url = QUrl::fromLocalFile(QStringLiteral("/tmp/out.csv"));
    for (const QString &failure : {QString(), QStringLiteral("The disk is full.")}) {
        SCOPED_TRACE(failure.toStdString());
        errors->clear();
        auto exporter = std::make_shared<FakeExporter>(failure);
        ASSERT_TRUE(document->exportToURL(exporter, url));
        EXPECT_TRUE(exportSheet->isShown());
        EXPECT_EQ(exportSheet->exporter(), exporter);
        finish();
        EXPECT_EQ(exporter->exportedTo, url);
        // The new document's empty table has no mask: every row goes.
        EXPECT_TRUE(exporter->asyncIncludeMask().empty());
        EXPECT_FALSE(exportSheet->isShown());
        ASSERT_EQ(errors->count(), failure.isEmpty() ? 0 : 1);
        if (!failure.isEmpty()) {
            EXPECT_EQ(errors->at(0).at(0).value<DSError>().localizedDescription, failure);
        }
    }
}

TEST_F(ImportTest, TheImportAccessoryListsTheBinaryFormatsAndTheCommandFileWording)
{
    document->refreshImportAccessory();
    QWidget *accessory = document->general_import_accessory();
    ASSERT_TRUE(accessory);
    const auto text = [&](const QString &name) { return accessory->findChild<QLabel *>(name)->text(); };
    EXPECT_EQ(text(QStringLiteral("general_import_accessory_instructions")),
              QStringLiteral("Spreadsheets and plain-text files should have variable names on the first line.\n"
                             "To import data using custom delimiters or a command file, use the File menu."));
    const QStringList features{QStringLiteral("• SPSS binary"), QStringLiteral("• SPSS portable"),
                               QStringLiteral("• Stata binary"), QStringLiteral("• SAS binary")};
    for (int k = 1; k <= 4; ++k)
        EXPECT_EQ(text(QStringLiteral("general_import_accessory_feature%1").arg(k)), features[k - 1]);
}

} // namespace
