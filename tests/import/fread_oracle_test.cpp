// A file written by R's data.table::fwrite (numbers, dates, times, texts,
// missing values) imports to the column sums, counts of values and counts of
// missing values that data.table::fread reads from it. R writes the file
// and the oracle's figures at run time; without R and data.table the test
// is skipped.
#include "ImportTestSupport.h"
#include "tests/support/ds_oracles.h"

#include "import/DSDataImporterCSV.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cmath>

namespace {

// Rows of the CI run; the benchmark takes 1,000,000.
constexpr int k_rows = 50000;

struct Figures
{
    QString kind;
    long double sum = 0;
    qint64 count = 0;
    qint64 missing = 0;
};

Figures figuresOf(const std::vector<double> &values, const QString &kind)
{
    Figures f{kind};
    for (double x : values) {
        if (std::isnan(x)) {
            ++f.missing;
            continue;
        }
        f.sum += x;
        ++f.count;
    }
    return f;
}

Figures figuresOf(DSColumn *column)
{
    if (auto *numeric = ds_object_cast<DSNumericDataColumn>(column))
        return figuresOf(ds_column_values(numeric), QStringLiteral("number"));
    if (auto *time = ds_object_cast<DSTimeDataColumn>(column))
        return figuresOf(ds_time_values(time), QStringLiteral("time"));
    if (auto *text = ds_object_cast<DSTextDataColumn>(column)) {
        Figures f{QStringLiteral("text")};
        for (const std::string &value : ds_text_values(text))
            ++(value.empty() ? f.missing : f.count);
        return f;
    }
    return Figures{QStringLiteral("other")};
}

TEST(FreadOracle, ColumnSumsCountsAndMissingCounts)
{
    ds_import_test_model();
    DS_FIND_ORACLE(rscript, "Rscript");
    QTemporaryDir dir;
    const QString csv = dir.filePath("fwrite.csv"), stats = dir.filePath("fread.stats");
    QProcess r;
    r.start(rscript, {QStringLiteral(OSTREL_TEST_SOURCE_DIR "/fread_oracle.R"), QString::number(k_rows), csv, stats});
    r.waitForFinished(120000);
    if (r.exitStatus() != QProcess::NormalExit || r.exitCode() != 0)
        DS_ORACLE_FAILED("R with data.table failed: " << r.readAllStandardError().toStdString());

    auto importer = std::make_shared<DSDataImporterCSV>(QList<QUrl>{QUrl::fromLocalFile(csv)});
    ImportRun run(importer);
    run.run();
    ASSERT_EQ(run.tables().size(), 1) << run.errorText().toStdString();
    DSDataTable *table = run.tables().first();
    EXPECT_EQ(table->num_records(), k_rows);

    QFile file(stats);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = file.readAll().trimmed().split('\n');
    ASSERT_EQ(table->sortedColumns().size(), lines.size());
    for (qsizetype i = 0; i < lines.size(); ++i) {
        const QList<QByteArray> fields = lines[i].split(' ');
        ASSERT_EQ(fields.size(), 5) << lines[i].constData();
        DSColumn *column = table->sortedColumns()[i];
        EXPECT_EQ(column->name(), QString::fromUtf8(fields[0]));
        const Figures got = figuresOf(column);
        const double expectedSum = fields[2].toDouble();
        EXPECT_EQ(got.kind, QString::fromUtf8(fields[1])) << fields[0].constData();
        EXPECT_NEAR(double(got.sum), expectedSum, 1e-12 * std::max(1.0, std::fabs(expectedSum))) << fields[0].constData();
        EXPECT_EQ(got.count, fields[3].toLongLong()) << fields[0].constData();
        EXPECT_EQ(got.missing, fields[4].toLongLong()) << fields[0].constData();
    }
}

} // namespace
