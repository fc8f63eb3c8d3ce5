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
// The two have the same values, NaN equal to NaN.
bool ds_same_values(const std::vector<double> &a, const std::vector<double> &b);
// The table's columns in index order, with their entity names.
QStringList ds_column_names(DSDataTable *table);
