// The dispatcher: importers chosen by extension, progress mapped into each
// file's share, one failure failing the whole list.
#include "ImportTestSupport.h"

#include "import/DSDataImporterMultiple.h"
#include "model/DSDataTable.h"

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <algorithm>

namespace {

class MultipleImportTest : public ::testing::Test
{
protected:
    void SetUp() override { ds_import_test_model(); }

    ImportRun importFiles(const QList<QUrl> &urls)
    {
        ImportRun run(std::make_shared<DSDataImporterMultiple>(urls));
        run.run();
        return run;
    }

    ImportFiles files;
};

TEST_F(MultipleImportTest, ImporterByExtension)
{
    const struct
    {
        const char *file;
        const char *className;
    } cases[] = {
        {"DATA.CSV", "DSDataImporterCSV"},      {"a.tsv", "DSDataImporterCSV"},
        {"a.Tab", "DSDataImporterCSV"},         {"a.txt", "DSDataImporterCSV"},
        {"data.Xls", "DSDataImporterXLS"},      {"a.xlsx", "DSDataImporterXLSX"},
        {"a.numbers", "DSDataImporterNumbers"}, {"a.rda", "DSDataImporterRData"},
        {"a.db", "DSDataImporterSQLite"},       {"a.sl3", "DSDataImporterSQLite"},
        {"a.accdb", "DSDataImporterMDB"},       {"a.dbf", "DSDataImporterDBF"},
        {"a.sas7bdat", "DSDataImporterDTA"},    {"a.por", "DSDataImporterDTA"},
        {"x.foo", ""},                          {"noextension", ""},
        {"csv", ""},
    };
    for (const auto &c : cases)
        EXPECT_EQ(DSDataImporterMultiple::importerClassNameForURL(QUrl::fromLocalFile(QString("/d/") + c.file)),
                  c.className)
            << c.file;
    const auto csv = DSDataImporterMultiple({}).importerForURL(QUrl::fromLocalFile("/d/DATA.CSV"));
    ASSERT_NE(csv, nullptr);
    EXPECT_EQ(csv->className(), "DSDataImporterCSV");
}

// Two files: progress runs to exactly 0.5 during the first, and on to
// exactly 1; tables come in list order.
TEST_F(MultipleImportTest, ProgressSharesAndOrder)
{
    QByteArray big = "v\n";
    for (int i = 0; i < 5000; ++i)
        big += QByteArray::number(i) + "\n";
    ImportRun run = importFiles({files.write("First.CSV", big), files.write("second.txt", big)});
    ASSERT_EQ(run.tables().size(), 2);
    EXPECT_EQ(run.tables()[0]->name(), "First");
    EXPECT_EQ(run.tables()[1]->name(), "second");
    ASSERT_FALSE(run.progress.empty());
    EXPECT_TRUE(std::is_sorted(run.progress.begin(), run.progress.end()));
    EXPECT_NE(std::find(run.progress.begin(), run.progress.end(), 0.5), run.progress.end());
    EXPECT_GT(std::count_if(run.progress.begin(), run.progress.end(), [](double p) { return p > 0 && p < 0.5; }), 10);
    EXPECT_GT(std::count_if(run.progress.begin(), run.progress.end(), [](double p) { return p > 0.5 && p < 1; }), 10);
    EXPECT_EQ(run.progress.back(), 1.0);
}

// One bad file fails the whole list: an unknown extension, a malformed
// file, a file without data, a Numbers file that is no zip archive. No
// table of the good files is handed out.
TEST_F(MultipleImportTest, OneFailureFailsAll)
{
    const QUrl good = files.write("good.csv", "a\n1\n");
    const struct
    {
        QUrl bad;
        const char *error;
    } cases[] = {
        {files.write("x.foo", "a\n1\n"), "1 File format not recognized for x.foo"},
        {files.write("bad.csv", "a\n\"1\"2\n"), "1 bad.csv: CSV error: error parsing data while strict checking enabled"},
        {files.write("blank.txt", "\n\n"), "1 “blank.txt” holds no data."},
        {files.write("book.numbers", "PK"), "1 The Numbers file is damaged or incomplete: “book.numbers”"},
    };
    for (const auto &c : cases) {
        ImportRun run = importFiles({good, c.bad, good});
        EXPECT_TRUE(run.tables().isEmpty()) << c.error;
        EXPECT_EQ(run.importer->asyncResult(), nullptr) << c.error;
        EXPECT_EQ(run.errorText(), QString::fromUtf8(c.error));
        EXPECT_EQ(run.importer->asyncProgress(), 1.0);
    }
    ImportRun none = importFiles({});
    ASSERT_NE(none.importer->asyncResult(), nullptr);
    EXPECT_TRUE(none.tables().isEmpty());
}

// A reader class that is not part of the build (every importable type has
// one now) refuses its files by name rather than handing back no table.
TEST_F(MultipleImportTest, ReaderNotBuiltRefuses)
{
    const QUrl url = files.write("book.later", "a\n1\n");
    ImportRun run(DSDataImporter::importerForClassName(QStringLiteral("DSDataImporterLater"), {url}));
    run.run();
    EXPECT_EQ(run.importer->className(), QStringLiteral("DSDataImporterLater"));
    EXPECT_EQ(run.importer->asyncResult(), nullptr);
    EXPECT_EQ(run.errorText(),
              QStringLiteral("1 “book.later” cannot be imported: this version of Ostrel has no reader for its file type."));
}

// An abort reaches the importer of the current file, which stops; the run
// adds nothing and shows no error.
TEST_F(MultipleImportTest, AbortReachesActiveImporter)
{
    QByteArray big = "v\n";
    for (int i = 0; i < 20000; ++i)
        big += QByteArray::number(i) + "\n";
    auto importer = std::make_shared<DSDataImporterMultiple>(QList<QUrl>{files.write("a.csv", big), files.write("b.csv", big)});
    ImportRun run(importer);
    importer->setProgressObserver([&](double p) {
        run.progress.push_back(p);
        if (p > 0.6 && p < 1)
            importer->setAsyncAbort(true);
    });
    run.run();
    EXPECT_EQ(importer->asyncResult(), nullptr);
    EXPECT_FALSE(importer->asyncError());
    ASSERT_NE(importer->active_importer(), nullptr);
    EXPECT_TRUE(importer->active_importer()->asyncAbort());
    EXPECT_LT(run.progress[run.progress.size() - 2], 0.65);
}

} // namespace
