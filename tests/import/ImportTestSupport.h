#pragma once

#include "model/DSDataImporter.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <functional>
#include <memory>
#include <ostream>
#include <string>
#include <vector>

class DSDataTable;
class DSManagedObjectModel;
class DSNumericDataColumn;
class DSTextDataColumn;
class DSTimeDataColumn;

// GoogleTest prints QStrings as text.
inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

// Registers the entity and importer classes once; answers the current
// entity model.
std::shared_ptr<const DSManagedObjectModel> ds_import_test_model();

// A scratch folder of input files.
class ImportFiles
{
public:
    QUrl write(const QString &name, const QByteArray &bytes);

private:
    QTemporaryDir m_dir;
};

// One background run of the importer on its own operation, waited for.
struct ImportRun
{
    std::shared_ptr<DSDataImporter> importer;
    // Every progress published, in order.
    std::vector<double> progress;

    explicit ImportRun(std::shared_ptr<DSDataImporter> importer);
    void run();
    // Runs once, setting the importer's abort flag when progress first
    // reaches the threshold (below 1); progress is still recorded.
    void runAbortingAt(double threshold);
    // The result's tables in the order made (file order); none without a
    // result.
    QList<DSDataTable *> tables() const;
    QString errorText() const;
};

// A stored numeric column's values over its table's rows.
std::vector<double> ds_column_values(DSNumericDataColumn *column);
// A stored time column's values and intervals over its table's rows.
std::vector<double> ds_time_values(DSTimeDataColumn *column);
std::vector<double> ds_time_intervals(DSTimeDataColumn *column);
// A stored text column's texts over its table's rows ("" for missing).
std::vector<std::string> ds_text_values(DSTextDataColumn *column);
// The two have the same values, NaN equal to NaN.
bool ds_same_values(const std::vector<double> &a, const std::vector<double> &b);
// The table's columns in index order, with their entity names.
QStringList ds_column_names(DSDataTable *table);

// The bytes of a file, empty when it cannot be read.
QByteArray ds_file_bytes(const QString &path);

// The rows of a CSV file another program wrote (header first): fields split
// at commas outside double quotes, "" inside quotes read as one quote.
std::vector<std::vector<std::string>> ds_read_csv_fixture(const QString &path);
// How a time column's expected value and interval read from the CSV text.
using DSTimeTextReader = double (*)(const char *text, double *interval);
// Expects every column of the table to equal the CSV's column of the same
// position (header first): its name, numbers as strtod reads the text (an
// empty cell missing), times as the reader reads the text, texts as they
// stand. A cell the skip answers true for (column name, row from 1) is left
// to the caller.
void ds_expect_table_equals_csv(DSDataTable *table, const std::vector<std::vector<std::string>> &rows,
                                DSTimeTextReader readTime,
                                const std::function<bool(const std::string &, size_t)> &skip = {});
// A fixture file of this test folder.
QString ds_import_fixture(const QString &relativePath);

// A test of one importer class over files: import() runs a new importer
// over the URLs and answers the tables made; run keeps the last run.
template <class Importer>
class FileImportTest : public ::testing::Test
{
protected:
    void SetUp() override { ds_import_test_model(); }

    QList<DSDataTable *> import(const QList<QUrl> &urls)
    {
        run = std::make_unique<ImportRun>(std::make_shared<Importer>(urls));
        run->run();
        return run->tables();
    }
    // Imports a good file and then the broken one (bytes written under the
    // name): the whole import must fail with the message, naming the broken
    // file, and leave no table.
    void expectBrokenFileFails(const QUrl &good, const char *name, const QByteArray &bytes, const char *message)
    {
        SCOPED_TRACE(name);
        EXPECT_TRUE(import({good, files.write(QString::fromUtf8(name), bytes)}).isEmpty());
        EXPECT_EQ(run->importer->asyncResult(), nullptr);
        const QString text = run->errorText();
        EXPECT_TRUE(text.contains(QString::fromUtf8(message))) << text.toStdString();
        EXPECT_TRUE(text.contains(QStringLiteral("“%1”").arg(QString::fromUtf8(name)))) << text.toStdString();
    }

    ImportFiles files;
    std::unique_ptr<ImportRun> run;
};
