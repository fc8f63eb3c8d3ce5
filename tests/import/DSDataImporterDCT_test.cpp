// The dictionary-driven text reader on its own (every delivered cell), and
// the importer that turns its cells into a table.
#include "ImportTestSupport.h"
#include "tests/support/ds_oracles.h"

#include "import/DSDataImporterDCT.h"
#include "import/dictionary/dct_read_data.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <string>

namespace {

struct EntryLayout
{
    int32_t line, start, width, type;
    const char *name;
    char decimal = '.';
};

// A record as the parsers make it, owned by the caller.
ds_stata_dct_s *makeDct(std::initializer_list<EntryLayout> entries, int32_t lines = 1, int32_t recordLength = 0,
                        int32_t firstLine = 0, char delimiter = 0)
{
    ds_stata_dct_s *dct = dct_dictionary_new();
    dct->lines_per_obs = lines;
    dct->record_length = recordLength;
    dct->first_line = firstLine;
    dct->delimiter = delimiter;
    for (const EntryLayout &given : entries) {
        ds_stata_dct_entry_s *entry = dct_append_entry(dct);
        entry->line = given.line;
        entry->start = given.start;
        entry->width = given.width;
        entry->type = given.type;
        entry->decimal_char = given.decimal;
        std::strncpy(entry->name, given.name, sizeof entry->name - 1);
    }
    return dct;
}

// Every cell as "row.entry=text", joined by "|".
int collect(uint64_t row, int32_t entry, char *text, uint64_t length, void *context)
{
    auto *out = static_cast<std::string *>(context);
    if (!out->empty())
        *out += '|';
    *out += std::to_string(row) + '.' + std::to_string(entry) + '=' + std::string(text, length);
    return 0;
}

struct ReaderCase
{
    const char *what;
    ds_stata_dct_s *(*dct)();
    QByteArray data;
    int result;
    std::string cells;
};

const ReaderCase k_readerCases[] = {
    {"first_line 3 skips two lines",
     [] { return makeDct({{0, 0, 2, 3, "a"}}, 1, 0, 3); }, "xx\nyy\n12\n34\n", 0, "0.0=12|1.0=34"},
    {"first_line 1 skips none",
     [] { return makeDct({{0, 0, 2, 3, "a"}}, 1, 0, 1); }, "12\n34\n", 0, "0.0=12|1.0=34"},
    {"two lines an observation, the last one short",
     [] { return makeDct({{0, 0, 2, 3, "a"}, {1, 1, 2, 1, "b"}}, 2); }, "11\n_ab\n33\n", 0,
     "0.0=11|0.1=ab|1.0=33"},
    {"text after the last column is ignored",
     [] { return makeDct({{0, 2, 3, 1, "a"}}); }, "..abc...\n..def\n", 0, "0.0=abc|1.0=def"},
    {"record_length 80 reads records without newlines",
     [] { return makeDct({{0, 0, 3, 3, "a"}, {0, 77, 3, 1, "b"}}, 1, 80); },
     QByteArray("001") + QByteArray(74, ' ') + "xyz" + "002" + QByteArray(74, ' ') + "uvw", 0,
     "0.0=001|0.1=xyz|1.0=002|1.1=uvw"},
    {"blank lines after the last observation end the data",
     [] { return makeDct({{0, 0, 4, 3, "a"}}); }, "1234\n5678\n\n\n", 0, "0.0=1234|1.0=5678"},
    {"a short line at the end of the file",
     [] { return makeDct({{0, 0, 4, 3, "a"}}); }, "1234\n56", 2, "0.0=1234"},
    {"a line shorter than its columns reads as blanks, the next observation whole",
     [] { return makeDct({{0, 0, 2, 1, "a"}, {0, 2, 2, 1, "b"}}); }, "12\n3456\r\nab\r\n", 0,
     "0.0=12|0.1=  |1.0=34|1.1=56|2.0=ab|2.1=  "},
    {"blanks are passed on",
     [] { return makeDct({{0, 0, 6, 1, "a"}}); }, "  ab  \n", 0, "0.0=  ab  "},
    {"an entry wider than 4,095 bytes is never delivered",
     [] { return makeDct({{0, 0, 1, 3, "a"}, {0, 1, 5000, 1, "wide"}}); },
     "1" + QByteArray(5000, 'w') + "\n2" + QByteArray(5000, 'v') + "\n", 0, "0.0=1|1.0=2"},
    {"delimited: CRLF, a last line without newline",
     [] { return makeDct({{0, 0, 0, 1, "a"}, {0, 0, 0, 1, "b"}, {0, 0, 0, 1, "c"}}, 1, 0, 0, ','); },
     "a,b,c\r\nd,e,f", 0, "0.0=a|0.1=b|0.2=c|1.0=d|1.1=e|1.2=f"},
    {"delimited: a short line runs on into the next",
     [] { return makeDct({{0, 0, 0, 1, "a"}, {0, 0, 0, 1, "b"}, {0, 0, 0, 1, "c"}}, 1, 0, 0, ','); },
     "g,h\ni,j,k\n", 0, "0.0=g|0.1=h\ni|0.2=j,k"},
    {"delimited: a 5,000-byte field is whole",
     [] { return makeDct({{0, 0, 0, 1, "a"}, {0, 0, 0, 1, "b"}}, 1, 0, 2, ';'); },
     "head\n" + QByteArray(5000, 'x') + ";1\n", 0, "0.0=" + std::string(5000, 'x') + "|0.1=1"},
    {"no entries read nothing",
     [] { return makeDct({}, 1, 0, 0, ','); }, "a,b\n", 0, ""},
};

TEST(DctReadData, CasesOfTheLayout)
{
    ImportFiles files;
    for (const ReaderCase &c : k_readerCases) {
        SCOPED_TRACE(c.what);
        ds_stata_dct_s *dct = c.dct();
        const QString path = files.write(QStringLiteral("data.txt"), c.data).toLocalFile();
        std::string cells;
        EXPECT_EQ(dct_read_data(QFile::encodeName(path).constData(), dct, &cells, collect), c.result);
        EXPECT_EQ(cells, c.cells);
        dct_dictionary_free(dct);
    }
}

TEST(DctReadData, MissingFileAndStoppingCallback)
{
    ds_stata_dct_s *dct = makeDct({{0, 0, 1, 3, "a"}});
    std::string cells;
    EXPECT_EQ(dct_read_data("/nonexistent/data.txt", dct, &cells, collect), DCT_READ_OPEN);
    ImportFiles files;
    const QString path = files.write(QStringLiteral("d.txt"), "1\n2\n").toLocalFile();
    const auto stop = [](uint64_t, int32_t, char *, uint64_t, void *) { return 7; };
    EXPECT_EQ(dct_read_data(QFile::encodeName(path).constData(), dct, nullptr, stop), DCT_READ_STOPPED);
    dct_dictionary_free(dct);
}

class DCTImportTest : public ::testing::Test
{
protected:
    void SetUp() override { ds_import_test_model(); }

    // Runs an importer of the record over the named files.
    std::unique_ptr<ImportRun> import(ds_stata_dct_s *dct, const QList<QUrl> &urls,
                                      const ds_value_labels &labels = {})
    {
        auto importer = std::make_shared<DSDataImporterDCT>(urls);
        importer->setDct(dct);
        importer->setValue_labels(labels);
        auto run = std::make_unique<ImportRun>(importer);
        run->run();
        return run;
    }

    ImportFiles files;
};

TEST_F(DCTImportTest, NumbersTextsAndPadding)
{
    ds_stata_dct_s *dct = makeDct({{0, 0, 9, 3, "dot"}, {0, 9, 9, 3, "comma", ','}, {1, 0, 6, 1, "word"}}, 2);
    std::strcpy(dct->entries[2].label, "  A label\t ");
    const QByteArray data = "1,234.5  1.234,5  \n  ab  \n"
                            "12%      12 kg    \n      \n"
                            "-7       -0,5     \n";
    auto run = import(dct, {files.write(QStringLiteral("fixed.dat"), data)},
                      {{QStringLiteral("dot"), {{QCborValue(-7.0), QStringLiteral("minus seven")}}}});
    ASSERT_EQ(run->tables().size(), 1) << run->errorText().toStdString();
    DSDataTable *table = run->tables()[0];
    EXPECT_EQ(table->name(), QStringLiteral("fixed"));
    EXPECT_EQ(table->num_records(), 3);
    const QList<DSColumn *> columns = table->sortedColumns();
    ASSERT_EQ(columns.size(), 3);
    const auto dot = ds_column_values(ds_object_cast<DSNumericDataColumn>(columns[0]));
    const auto comma = ds_column_values(ds_object_cast<DSNumericDataColumn>(columns[1]));
    EXPECT_DOUBLE_EQ(dot[0], 1234.5);
    EXPECT_DOUBLE_EQ(comma[0], 1234.5);
    EXPECT_DOUBLE_EQ(dot[1], 0.12);
    EXPECT_TRUE(std::isnan(comma[1])) << "12 kg";
    EXPECT_DOUBLE_EQ(comma[2], -0.5);
    EXPECT_EQ(ds_text_values(ds_object_cast<DSTextDataColumn>(columns[2])),
              (std::vector<std::string>{"  ab", "", ""}));
    EXPECT_EQ(columns[2]->title(), QStringLiteral("A label"));
    EXPECT_TRUE(columns[0]->treat_as_categories());
    EXPECT_EQ(columns[0]->category_labels().value(QCborValue(-7.0)).toString(), QStringLiteral("minus seven"));
}

TEST_F(DCTImportTest, FailuresDropEveryTable)
{
    const QUrl good = files.write(QStringLiteral("good.dat"), "1234\n");
    const QUrl shortLine = files.write(QStringLiteral("short.dat"), "1234\n56");
    auto failed = import(makeDct({{0, 0, 4, 3, "a"}}), {good, shortLine});
    EXPECT_EQ(failed->importer->asyncResult(), nullptr);
    EXPECT_EQ(failed->errorText(), QStringLiteral("1 Error parsing file: short.dat"));

    auto missing = import(makeDct({{0, 0, 1, 3, "a"}}), {QUrl::fromLocalFile(QStringLiteral("/nonexistent/x.dat"))});
    EXPECT_EQ(missing->errorText(), QStringLiteral("1 Error parsing file: x.dat"));

    auto none = import(nullptr, {good});
    EXPECT_EQ(none->importer->asyncResult(), nullptr);
    EXPECT_TRUE(none->importer->asyncError());
}

TEST_F(DCTImportTest, AbortGivesNoResultAndNoError)
{
    QByteArray data;
    for (int i = 0; i < 20000; ++i)
        data += QByteArray::number(100000 + i) + "\n";
    auto importer = std::make_shared<DSDataImporterDCT>(QList<QUrl>{files.write(QStringLiteral("big.dat"), data)});
    importer->setDct(makeDct({{0, 0, 6, 3, "n"}}));
    ImportRun cancelled(importer);
    importer->setProgressObserver([&](double p) {
        if (p >= 0.3 && p < 1)
            importer->setAsyncAbort(true);
    });
    cancelled.run();
    EXPECT_EQ(importer->asyncResult(), nullptr);
    EXPECT_FALSE(importer->asyncError());

    importer->setProgressObserver(nullptr);
    cancelled.run();
    ASSERT_EQ(cancelled.tables().size(), 1);
    EXPECT_EQ(cancelled.tables()[0]->num_records(), 20000);
}

// 100,000 fixed-width lines written with R's formatC import to what R's
// read.fwf reads from them (both at run time; skipped without R).
TEST_F(DCTImportTest, FixedWidthAgainstReadFwf)
{
#ifdef __SANITIZE_THREAD__
    // The sanitizer cannot follow R's process out of a threaded one; the
    // plain and address builds compare with R.
    GTEST_SKIP() << "R is not run under the thread sanitizer";
#endif
    DS_FIND_ORACLE(rscript, "Rscript");
    QTemporaryDir dir;
    const QString data = dir.filePath(QStringLiteral("fwf.txt")), sums = dir.filePath(QStringLiteral("sums.txt"));
    QProcess r;
    r.start(rscript, {QStringLiteral(OSTREL_TEST_SOURCE_DIR "/fixtures/fwf_oracle.R"), QStringLiteral("100000"),
                      data, sums});
    ASSERT_TRUE(r.waitForFinished(120000));
    ASSERT_EQ(r.exitCode(), 0) << r.readAllStandardError().toStdString();
    QFile expected(sums);
    ASSERT_TRUE(expected.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = expected.readAll().trimmed().split('\n');

    auto run = import(makeDct({{0, 0, 8, 3, "id"}, {0, 8, 12, 5, "x"}, {0, 20, 10, 3, "k"}, {0, 30, 6, 1, "tag"}}),
                      {QUrl::fromLocalFile(data)});
    ASSERT_EQ(run->tables().size(), 1) << run->errorText().toStdString();
    DSDataTable *table = run->tables()[0];
    EXPECT_EQ(table->num_records(), lines[0].toLongLong());
    const QList<DSColumn *> columns = table->sortedColumns();
    for (int c = 0; c < 3; ++c) {
        long double sum = 0;
        qint64 missing = 0;
        for (double x : ds_column_values(ds_object_cast<DSNumericDataColumn>(columns[c])))
            std::isnan(x) ? ++missing : (sum += x, 0);
        const QList<QByteArray> figures = lines[c + 1].split(' ');
        EXPECT_NEAR(double(sum), figures[0].toDouble(), 1e-6 * std::fabs(figures[0].toDouble())) << c;
        EXPECT_EQ(missing, figures[1].toLongLong()) << c;
    }
    qint64 missingTags = 0, bTags = 0;
    for (const std::string &tag : ds_text_values(ds_object_cast<DSTextDataColumn>(columns[3])))
        tag.empty() ? ++missingTags : (tag == "b" ? ++bTags : 0);
    const QList<QByteArray> tags = lines[4].split(' ');
    EXPECT_EQ(bTags, tags[0].toLongLong());
    EXPECT_EQ(missingTags, tags[1].toLongLong());
}

} // namespace
