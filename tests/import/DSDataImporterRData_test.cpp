// R workspaces and serialised objects written by R itself
// (tests/import/fixtures/stat/make_stat_files.R), against the values R
// holds; and a Stata file and an R workspace read in one process, since
// ReadStat and librdata export functions of the same names.
#include "ImportTestSupport.h"

#include "import/DSDataImporterMultiple.h"
#include "import/DSDataImporterRData.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "platform/store/DSObjectPool.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtEndian>

#include <gtest/gtest.h>

#include <cmath>

namespace {

QString fixture(const QString &name)
{
    return QStringLiteral(OSTREL_TEST_SOURCE_DIR "/fixtures/stat/") + name;
}

QByteArray bigEndian(quint32 word)
{
    char big[4];
    qToBigEndian(word, big);
    return QByteArray(big, 4);
}

// A compact sequence's stored count, start and step, as R writes them.
QByteArray sequenceInfo(double count, double start, double step)
{
    QByteArray bytes;
    for (double x : {count, start, step}) {
        char big[8];
        qToBigEndian(x, big);
        bytes.append(big, 8);
    }
    return bytes;
}

std::unique_ptr<ImportRun> importR(const QList<QUrl> &urls)
{
    ds_import_test_model();
    auto run = std::make_unique<ImportRun>(std::make_shared<DSDataImporterRData>(urls));
    run->run();
    return run;
}

TEST(RDataImport, WorkspacesGiveTheirFramesInOrder)
{
    for (const char *file : {"four.RData", "four_plain.RData", "four_v2.rda"}) {
        SCOPED_TRACE(file);
        auto run = importR({QUrl::fromLocalFile(fixture(QLatin1String(file)))});
        const QList<DSDataTable *> tables = run->tables();
        ASSERT_EQ(tables.size(), 4) << run->errorText().toStdString();
        const char *const names[] = {"mtcars", "iris", "airquality", "esoph"};
        for (int t = 0; t < 4; ++t) {
            EXPECT_EQ(tables[t]->name(), QLatin1String(names[t]));
            ds_expect_table_matches_csv(tables[t], fixture(QLatin1String(names[t]) + QStringLiteral(".R.csv")));
        }
        DSColumn *species = ds_column_named(tables[1], "Species");
        EXPECT_TRUE(species->treat_as_categories());
        EXPECT_EQ(species->category_labels().value(QCborValue(1.0)).toString(), QStringLiteral("setosa"));
        EXPECT_EQ(species->category_labels().value(QCborValue(3.0)).toString(), QStringLiteral("virginica"));
        EXPECT_FALSE(ds_column_named(tables[1], "Sepal.Length")->treat_as_categories());
    }
}

// The xz workspace of mtcars reads as the gzip one does.
TEST(RDataImport, XZWorkspaceReads)
{
    auto run = importR({QUrl::fromLocalFile(fixture(QStringLiteral("mtcars_xz.RData")))});
    ASSERT_EQ(run->tables().size(), 1) << run->errorText().toStdString();
    EXPECT_EQ(run->tables()[0]->name(), QStringLiteral("mtcars"));
    ds_expect_table_matches_csv(run->tables()[0], fixture(QStringLiteral("mtcars.R.csv")));
}

TEST(RDataImport, SingleObjectsAndTimes)
{
    auto iris = importR({QUrl::fromLocalFile(fixture(QStringLiteral("iris.rds")))});
    ASSERT_EQ(iris->tables().size(), 1) << iris->errorText().toStdString();
    EXPECT_EQ(iris->tables()[0]->name(), QStringLiteral("iris"));
    ds_expect_table_matches_csv(iris->tables()[0], fixture(QStringLiteral("iris.R.csv")));

    auto times = importR({QUrl::fromLocalFile(fixture(QStringLiteral("times.rds")))});
    ASSERT_EQ(times->tables().size(), 1) << times->errorText().toStdString();
    DSDataTable *table = times->tables()[0];
    ds_expect_table_matches_csv(table, fixture(QStringLiteral("times.R.csv")));
    const struct { const char *column; double interval; } k_intervals[] = {
        {"midnight", 86400}, {"noon", 1}, {"day", 86400}};
    for (const auto &c : k_intervals) {
        auto *time = ds_object_cast<DSTimeDataColumn>(ds_column_named(table, c.column));
        ASSERT_NE(time, nullptr) << c.column;
        EXPECT_EQ(ds_time_intervals(time)[0], c.interval) << c.column;
    }
    DSColumn *flag = ds_column_named(table, "flag");
    EXPECT_TRUE(flag->treat_as_categories()) << "logicals are kept, labelled";
    EXPECT_EQ(flag->category_labels().value(QCborValue(0.0)).toString(), QStringLiteral("FALSE"));
    EXPECT_EQ(flag->category_labels().value(QCborValue(1.0)).toString(), QStringLiteral("TRUE"));
    EXPECT_EQ(ds_column_values(ds_object_cast<DSNumericDataColumn>(ds_column_named(table, "big")))[0], 16777217.0);
}

TEST(RDataImport, CompressedFilesLeaveNothingInTheTemporaryFolder)
{
    QTemporaryDir privateTemp;
    const QByteArray saved = qgetenv("TMPDIR");
    qputenv("TMPDIR", QFile::encodeName(privateTemp.path()));
    auto run = importR({QUrl::fromLocalFile(fixture(QStringLiteral("four.RData"))),
                        QUrl::fromLocalFile(fixture(QStringLiteral("iris.rds")))});
    qputenv("TMPDIR", saved);
    EXPECT_EQ(run->tables().size(), 5);
    EXPECT_TRUE(QDir(privateTemp.path()).isEmpty(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden));
}

TEST(RDataImport, FailuresAndStops)
{
    ImportFiles files;
    QFile whole(fixture(QStringLiteral("four.RData")));
    ASSERT_TRUE(whole.open(QIODevice::ReadOnly));
    const QByteArray gzip = whole.readAll();
    QFile plainFile(fixture(QStringLiteral("four_plain.RData")));
    ASSERT_TRUE(plainFile.open(QIODevice::ReadOnly));
    const QByteArray plain = plainFile.readAll();
    // bzip2 and xz streams cut short fail as a cut gzip stream does.
    const QByteArray xz = ds_file_bytes(ds_import_fixture(QStringLiteral("tools/packed_xz.RData")));
    const QByteArray bzip2 = ds_file_bytes(ds_import_fixture(QStringLiteral("tools/packed_bzip2.RData")));
    ASSERT_FALSE(xz.isEmpty() || bzip2.isEmpty());
    const struct { QUrl url; const char *error; } k_cases[] = {
        {files.write(QStringLiteral("cut_xz.RData"), xz.left(xz.size() - 9)),
         "Error parsing the RData file: cut_xz.RData"},
        {files.write(QStringLiteral("cut_bzip2.RData"), bzip2.left(bzip2.size() / 2)),
         "Error parsing the RData file: cut_bzip2.RData"},
        {QUrl::fromLocalFile(fixture(QStringLiteral("ragged.rds"))), "Error parsing the RData file: ragged.rds"},
        {files.write(QStringLiteral("one.RData"), "R"), "Error reading from the RData file: one.RData"},
        {QUrl::fromLocalFile(QStringLiteral("/nonexistent/gone.rds")), "Error opening the RData file: gone.rds"},
        {files.write(QStringLiteral("cut.RData"), gzip.left(gzip.size() / 2)), "Error parsing the RData file: cut.RData"},
        {files.write(QStringLiteral("cut_plain.RData"), plain.left(plain.size() / 2)),
         "Error parsing the RData file: cut_plain.RData"},
        {files.write(QStringLiteral("head.RData"), plain.left(40)), "Error parsing the RData file: head.RData"},
    };
    for (const auto &c : k_cases) {
        SCOPED_TRACE(c.error);
        auto run = importR({QUrl::fromLocalFile(fixture(QStringLiteral("iris.rds"))), c.url});
        EXPECT_EQ(run->importer->asyncResult(), nullptr);
        EXPECT_EQ(run->errorText(), QStringLiteral("1 ") + QLatin1String(c.error));
    }

    ds_import_test_model();
    auto importer = std::make_shared<DSDataImporterRData>(
        QList<QUrl>{QUrl::fromLocalFile(fixture(QStringLiteral("four.RData")))});
    importer->setAsyncAbort(true);
    DSObjectPool pool(ds_import_test_model());
    DSError error;
    EXPECT_FALSE(importer->parseIntoPool(pool, &error));
    EXPECT_EQ(error.code, 0) << "a stop is no error";
    EXPECT_TRUE(error.localizedDescription.isEmpty());
}

// librdata writes a compact sequence (R's 1:n) out from the count, start
// and step stored for it, without checking them or its allocation, and
// reads nested objects by recursion: such files end with the parse error
// before the library reads them. The fuzz input that made librdata write
// through a null pointer is among them.
TEST(RDataImport, WhatLibrdataWouldCrashOnIsRefused)
{
    QFile file(fixture(QStringLiteral("sequence.rds")));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray plain = file.readAll();
    const QByteArray stored = sequenceInfo(5, 1, 1);
    const qsizetype at = plain.indexOf(stored);
    ASSERT_GT(at, 0);

    auto sequence = importR({QUrl::fromLocalFile(fixture(QStringLiteral("sequence.rds")))});
    ASSERT_EQ(sequence->tables().size(), 1) << sequence->errorText().toStdString();
    EXPECT_EQ(ds_column_values(ds_object_cast<DSNumericDataColumn>(ds_column_named(sequence->tables()[0], "n"))),
              (std::vector<double>{1, 2, 3, 4, 5}));

    QFile seed(QStringLiteral(OSTREL_TEST_SOURCE_DIR "/../fuzz/corpus/rdata/compact_intseq_null_write"));
    ASSERT_TRUE(seed.open(QIODevice::ReadOnly));
    const double huge = std::ldexp(1.0, 40);
    const struct { const char *name; QByteArray info; } k_cases[] = {
        {"half.rds", sequenceInfo(0.5, 1, 1)},
        {"nan.rds", sequenceInfo(std::nan(""), 1, 1)},
        {"negative.rds", sequenceInfo(-1, 1, 1)},
        {"huge.rds", sequenceInfo(huge, 1, 1)},
        {"past_int.rds", sequenceInfo(5, 2147483646, 1)},
        {"fraction_step.rds", sequenceInfo(5, 1, 0.5)},
    };
    ImportFiles files;
    for (const auto &c : k_cases) {
        SCOPED_TRACE(c.name);
        QByteArray bytes = plain;
        bytes.replace(at, stored.size(), c.info);
        auto run = importR({files.write(QLatin1String(c.name), bytes)});
        EXPECT_EQ(run->importer->asyncResult(), nullptr);
        EXPECT_EQ(run->errorText(), QStringLiteral("1 Error parsing the RData file: ") + QLatin1String(c.name));
    }
    // The fuzz input's first byte only told the fuzz target to name it .rds.
    auto run = importR({files.write(QStringLiteral("null_write.rds"), seed.readAll().mid(1))});
    EXPECT_EQ(run->importer->asyncResult(), nullptr);
    EXPECT_EQ(run->errorText(), QStringLiteral("1 Error parsing the RData file: null_write.rds"));

    // A list in a list, 200,000 deep (1.6 MB), as R would write it.
    QByteArray deep("X\n");
    for (quint32 word : {2u, 0x40202u, 0x20300u})
        deep += bigEndian(word);
    for (int i = 0; i < 200000; ++i)
        deep += bigEndian(19) + bigEndian(1);
    deep += bigEndian(254);
    run = importR({files.write(QStringLiteral("deep.rds"), deep)});
    EXPECT_EQ(run->importer->asyncResult(), nullptr);
    EXPECT_EQ(run->errorText(), QStringLiteral("1 Error parsing the RData file: deep.rds"));
}

// R's as.character of numbers may be stored as the numbers (a deferred
// string); librdata writes them out with "%.0f", which is R's text only for
// whole numbers, and goes on past a column of the wrong length.
TEST(RDataImport, DeferredTextImportsOnlyWhereItIsRsOwn)
{
    auto whole = importR({QUrl::fromLocalFile(fixture(QStringLiteral("deferred.rds")))});
    ASSERT_EQ(whole->tables().size(), 1) << whole->errorText().toStdString();
    auto *text = ds_object_cast<DSTextDataColumn>(ds_column_named(whole->tables()[0], "whole"));
    ASSERT_TRUE(text);
    EXPECT_EQ(ds_text_values(text), (std::vector<std::string>{"1", "20", "300"}));

    for (const char *name : {"deferred_fraction.rds", "deferred_short.rds"}) {
        SCOPED_TRACE(name);
        auto run = importR({QUrl::fromLocalFile(fixture(QLatin1String(name)))});
        EXPECT_EQ(run->importer->asyncResult(), nullptr);
        EXPECT_EQ(run->errorText(), QStringLiteral("1 Error parsing the RData file: ") + QLatin1String(name));
    }
}

// Both libraries define ck_hash_table_* functions; one process reads both
// kinds of file, under AddressSanitizer too.
TEST(RDataImport, StataAndRFilesInOneProcess)
{
    ds_import_test_model();
    const QList<QUrl> urls{QUrl::fromLocalFile(fixture(QStringLiteral("stata15.dta"))),
                           QUrl::fromLocalFile(fixture(QStringLiteral("four.RData"))),
                           QUrl::fromLocalFile(fixture(QStringLiteral("spss.sav")))};
    ImportRun run(std::make_shared<DSDataImporterMultiple>(urls));
    run.run();
    ASSERT_EQ(run.tables().size(), 6) << run.errorText().toStdString();
    EXPECT_EQ(run.tables()[0]->name(), QStringLiteral("stata15"));
    EXPECT_EQ(run.tables()[1]->name(), QStringLiteral("mtcars"));
    EXPECT_EQ(run.tables()[5]->name(), QStringLiteral("spss"));
    EXPECT_EQ(ds_column_named(run.tables()[0], "sex")->category_labels().value(QCborValue(1.0)).toString(),
              QStringLiteral("Male"));
}

} // namespace
