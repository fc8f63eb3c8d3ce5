// Files written by the programs users have (fixtures/tools, each with the
// script that made it) against what a reference reader made of the same
// file: haven, readxl, R, pandas, sqlite3 and foreign, kept beside them.
// And a cut-short and an empty file of every importable format: an error
// naming the file, and no table.
#include "ImportTestSupport.h"

#include "import/DSDataImporterCSV.h"
#include "import/DSDataImporterMultiple.h"
#include "import/dictionary/ds_stata_dct.h"
#include "import/dictionary/sas_parse.h"
#include "model/DSDataTable.h"
#include "model/DSNumberFormatter.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"

#include <QFileInfo>

#include <gtest/gtest.h>

#include <cmath>
#include <memory>

namespace {

QString tool(const char *name)
{
    return ds_import_fixture(QStringLiteral("tools/") + QString::fromUtf8(name));
}

std::unique_ptr<ImportRun> importFile(const QUrl &url, qint64 delimiter = 0)
{
    ds_import_test_model();
    std::shared_ptr<DSDataImporter> importer;
    if (delimiter != 0) {
        auto csv = std::make_shared<DSDataImporterCSV>(QList<QUrl>{url});
        csv->setDelimiter(delimiter);
        importer = csv;
    } else {
        importer = std::make_shared<DSDataImporterMultiple>(QList<QUrl>{url});
    }
    auto run = std::make_unique<ImportRun>(importer);
    run->run();
    return run;
}

// A file another program wrote and the reference reader's values of it.
struct RealFile
{
    const char *file;
    const char *reference;
    qint64 delimiter = 0; // 0: the importer of the extension
};

const RealFile k_realFiles[] = {
    {"latin1_stata8.dta", "latin1_stata8.haven.csv"},          // Latin-1 text before Stata 14
    {"libreoffice_times.xlsx", "libreoffice_times.readxl.csv"}, // date-times to the second
    {"packed_bzip2.RData", "packed_bzip2.R.csv"},
    {"packed_xz.RData", "packed_xz.R.csv"},
    {"infinities.rds", "infinities.R.csv"},                    // Inf, -Inf, NaN and NA
    {"write_csv2.csv", "write_csv2.R.csv", ';'},                // decimal commas
    {"write_csv_na.csv", "write_csv_na.R.csv"},                 // unquoted NA
    {"libreoffice_shown.csv", "libreoffice_shown.values.csv"},  // currencies, accounting negatives
    {"pandas_times.csv", "pandas_times.pandas.csv"},            // fractional seconds, zones
    {"sqlite_mixed.sqlite", "sqlite_mixed.sqlite3.csv"},        // texts in an integer column
    {"dbase_dates.dbf", "dbase_dates.R.csv"},                   // empty dates
};

class RealFileTest : public ::testing::TestWithParam<RealFile>
{
};

TEST_P(RealFileTest, EveryCellEqualsTheReferenceReader)
{
    const RealFile &c = GetParam();
    const auto run = importFile(QUrl::fromLocalFile(tool(c.file)), c.delimiter);
    const QList<DSDataTable *> tables = run->tables();
    ASSERT_EQ(tables.size(), 1) << run->errorText().toStdString();
    ds_expect_table_matches_csv(tables[0], tool(c.reference));
}

INSTANTIATE_TEST_SUITE_P(Tools, RealFileTest, ::testing::ValuesIn(k_realFiles),
                         [](const ::testing::TestParamInfo<RealFile> &info) {
                             std::string name = info.param.file;
                             for (char &ch : name)
                                 if (!std::isalnum(static_cast<unsigned char>(ch)))
                                     ch = '_';
                             return name;
                         });

// What the cell comparison cannot see: infinities stay infinite, and the
// currency cells make currency columns.
TEST(RealFiles, InfinitiesAndCurrencyStyle)
{
    const auto rds = importFile(QUrl::fromLocalFile(tool("infinities.rds")));
    ASSERT_EQ(rds->tables().size(), 1);
    const std::vector<double> x =
        ds_column_values(ds_object_cast<DSNumericDataColumn>(ds_column_named(rds->tables()[0], "x")));
    ASSERT_EQ(x.size(), 6u);
    EXPECT_EQ(x[1], INFINITY);
    EXPECT_EQ(x[2], -INFINITY);
    EXPECT_TRUE(std::isnan(x[3]) && std::isnan(x[4]));

    const auto shown = importFile(QUrl::fromLocalFile(tool("libreoffice_shown.csv")));
    ASSERT_EQ(shown->tables().size(), 1);
    for (const char *name : {"euro", "pound", "yen", "accounting"}) {
        auto *column = ds_object_cast<DSNumericDataColumn>(ds_column_named(shown->tables()[0], name));
        ASSERT_NE(column, nullptr) << name;
        ASSERT_NE(column->number_formatter(), nullptr) << name;
        EXPECT_EQ(column->number_formatter()->number_style(), 2) << name;
    }
}

// The Latin-1 Stata file's variable labels read as its texts do.
TEST(RealFiles, LatinOneStataLabels)
{
    const auto run = importFile(QUrl::fromLocalFile(tool("latin1_stata8.dta")));
    ASSERT_EQ(run->tables().size(), 1) << run->errorText().toStdString();
    EXPECT_EQ(ds_column_named(run->tables()[0], "town")->title(), QStringLiteral("Stadt für die Auswertung"));
}

// List input cannot be laid over fixed columns: the program is refused at
// the line of its INPUT statement, never read into the wrong columns.
TEST(RealFiles, SASListInputIsRefusedAtItsLine)
{
    const QByteArray text = ds_file_bytes(tool("list_input.sas"));
    ASSERT_FALSE(text.isEmpty());
    std::unique_ptr<ds_stata_dct_s, void (*)(ds_stata_dct_s *)> dct(dct_dictionary_new(), dct_dictionary_free);
    unsigned line = 0;
    EXPECT_EQ(sas_parse(text.constData(), size_t(text.size()), dct.get(), dct_set_infile_option, dct_merge_variable,
                        dct_merge_variable_label, nullptr, nullptr, &line),
              1);
    EXPECT_EQ(line, 5u);
}

// A good file of each format the dispatcher opens.
struct GoodFile
{
    const char *fixture; // under tests/import/fixtures
    const char *extension;
};

const GoodFile k_formats[] = {
    {"excel/libreoffice.xlsx", "xlsx"},
    {"excel/libreoffice.xls", "xls"},
    {"tools/packed_xz.RData", "RData"},
    {"stat/iris.rds", "rds"},
    {"sqlite/tables.sqlite", "sqlite"},
    {"mdb/people.mdb", "mdb"},
    {"dbf/people.dbf", "dbf"},
    {"stat/stata15.dta", "dta"},
    {"stat/stata8.dta", "dta"},
    {"stat/spss.sav", "sav"},
    {"stat/pspp.por", "por"},
    {"stat/sas.sas7bdat", "sas7bdat"},
    {"tools/pandas_times.csv", "csv"},
    // The shared test data beside the checkout.
    {"../../../../shared/testdata/numbers/numbers3-file.numbers", "numbers"},
};

// Each file cut short, and empty: the import fails with an error that
// names the file and keeps no table. A text cut between records is still
// text, so the CSV is cut inside a quoted field.
TEST(RealFiles, CutAndEmptyFilesOfEveryFormatFailNamingTheFile)
{
    ds_import_test_model();
    ImportFiles files;
    for (const GoodFile &format : k_formats) {
        const QByteArray whole = ds_file_bytes(ds_import_fixture(QString::fromUtf8(format.fixture)));
        ASSERT_GT(whole.size(), 16) << format.fixture;
        const QString ext = QString::fromUtf8(format.extension);
        const QByteArray cut = ext == QLatin1String("csv") ? whole + "\n\"open" : whole.left(whole.size() / 2);
        const QString base = QFileInfo(QString::fromUtf8(format.fixture)).completeBaseName();
        for (const auto &[kind, bytes] : {std::pair{"cut", cut}, std::pair{"empty", QByteArray()}}) {
            const QString name = base + QLatin1Char('_') + QLatin1String(kind) + QLatin1Char('.') + ext;
            SCOPED_TRACE(name.toStdString());
            const auto run = importFile(files.write(name, bytes));
            EXPECT_TRUE(run->tables().isEmpty());
            EXPECT_EQ(run->importer->asyncResult(), nullptr);
            const QString error = run->errorText();
            EXPECT_TRUE(error.contains(name)) << error.toStdString();
        }
    }
}

} // namespace
