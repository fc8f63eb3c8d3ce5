#pragma once

#include "model/DSDataImporter.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QTemporaryDir>
#include <QUrl>

#include <memory>
#include <ostream>
#include <string>
#include <vector>

class DSColumn;
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
// The table's column of that name; none (with a test failure) when it has
// none.
DSColumn *ds_column_named(DSDataTable *table, const char *name);
// The table's columns in index order, with their entity names.
QStringList ds_column_names(DSDataTable *table);

// Expects the table to hold what another reader wrote into the CSV file
// (a header of column names, then one line per row): the same row count,
// and for every named column but those in `skip` a column of that name
// (case ignored) whose numbers, or times as seconds since 2001-01-01 GMT,
// equal the file's ("NA" is missing), or whose texts equal the file's
// without trailing blanks ("NA" as missing).
void ds_expect_table_matches_csv(DSDataTable *table, const QString &csvPath, const QStringList &skip = {});
