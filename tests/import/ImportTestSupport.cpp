#include "ImportTestSupport.h"

#include "app/ds_register_model_classes.h"
#include "import/DSImportOperation.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "model/ds_application_defaults.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSObjectPool.h"

#include <QFile>

#include <algorithm>
#include <cmath>
#include <cstdlib>

std::shared_ptr<const DSManagedObjectModel> ds_import_test_model()
{
    static const auto model = [] {
        ds_register_application_defaults();
        ds_register_model_classes();
        return DSManagedObjectModel::modelNamed(QStringLiteral("DSDataModel006"));
    }();
    return model;
}

QUrl ImportFiles::write(const QString &name, const QByteArray &bytes)
{
    QFile file(m_dir.filePath(name));
    if (file.open(QIODevice::WriteOnly))
        file.write(bytes);
    return QUrl::fromLocalFile(file.fileName());
}

ImportRun::ImportRun(std::shared_ptr<DSDataImporter> importer) : importer(std::move(importer))
{
    this->importer->setProgressObserver([this](double p) { progress.push_back(p); });
}

void ImportRun::run()
{
    DSImportOperation operation;
    operation.start(importer, ds_import_test_model());
    operation.waitForDone();
}

void ImportRun::runAbortingAt(double threshold)
{
    importer->setProgressObserver([this, threshold](double p) {
        progress.push_back(p);
        if (p >= threshold && p < 1)
            importer->setAsyncAbort(true);
    });
    run();
    importer->setProgressObserver([this](double p) { progress.push_back(p); });
}

QList<DSDataTable *> ImportRun::tables() const
{
    QList<DSDataTable *> out;
    if (const auto pool = importer->asyncResult())
        for (DSManagedObject *object : pool->objectsOfEntity(QStringLiteral("DSDataTable")))
            out.append(ds_object_cast<DSDataTable>(object));
    return out;
}

QString ImportRun::errorText() const
{
    const auto &error = importer->asyncError();
    return error ? QStringLiteral("%1 %2").arg(error->code).arg(error->localizedDescription) : QString();
}

std::vector<double> ds_column_values(DSNumericDataColumn *column)
{
    const double *values = nullptr;
    const qint64 k = column->getValues(&values);
    std::vector<double> out(values, values + k);
    out.resize(size_t(column->table()->num_records()), NAN);
    return out;
}

namespace {

std::vector<double> timeRows(DSTimeDataColumn *column, bool intervals)
{
    const double *values = nullptr, *lengths = nullptr;
    const qint64 k = column->getTimeValues(&values, &lengths);
    const double *rows = intervals ? lengths : values;
    std::vector<double> out(rows, rows + (rows ? k : 0));
    out.resize(size_t(column->table()->num_records()), NAN);
    return out;
}

} // namespace

std::vector<double> ds_time_values(DSTimeDataColumn *column)
{
    return timeRows(column, false);
}

std::vector<double> ds_time_intervals(DSTimeDataColumn *column)
{
    return timeRows(column, true);
}

std::vector<std::string> ds_text_values(DSTextDataColumn *column)
{
    const char *const *texts = nullptr;
    const qint64 k = column->getTextValues(&texts);
    std::vector<std::string> out;
    for (qint64 i = 0; i < k; ++i)
        out.emplace_back(texts[i] ? texts[i] : "");
    out.resize(size_t(column->table()->num_records()));
    return out;
}

QStringList ds_column_names(DSDataTable *table)
{
    QStringList out;
    for (DSColumn *column : table->sortedColumns())
        out << QStringLiteral("%1 %2 %3").arg(column->index()).arg(column->name(), column->entity()->name());
    return out;
}

std::vector<std::vector<std::string>> ds_read_csv_fixture(const QString &path)
{
    QFile file(path);
    std::vector<std::vector<std::string>> rows;
    if (!file.open(QIODevice::ReadOnly))
        return rows;
    const QByteArray bytes = file.readAll();
    std::vector<std::string> row;
    std::string field;
    bool quoted = false;
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const char c = bytes[i];
        if (quoted) {
            if (c == '"' && i + 1 < bytes.size() && bytes[i + 1] == '"')
                field += '"', ++i;
            else if (c == '"')
                quoted = false;
            else
                field += c;
        } else if (c == '"') {
            quoted = true;
        } else if (c == ',') {
            row.push_back(std::move(field));
            field.clear();
        } else if (c == '\n') {
            if (!field.empty() && field.back() == '\r')
                field.pop_back();
            row.push_back(std::move(field));
            field.clear();
            rows.push_back(std::move(row));
            row.clear();
        } else {
            field += c;
        }
    }
    return rows;
}

QString ds_import_fixture(const QString &relativePath)
{
    return QStringLiteral(OSTREL_TEST_SOURCE_DIR "/fixtures/") + relativePath;
}

QByteArray ds_file_bytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

void ds_expect_table_equals_csv(DSDataTable *table, const std::vector<std::vector<std::string>> &rows,
                                DSTimeTextReader readTime, const std::function<bool(const std::string &, size_t)> &skip)
{
    ASSERT_TRUE(table);
    ASSERT_GE(rows.size(), 1u);
    ASSERT_EQ(table->num_records(), qint64(rows.size() - 1));
    const QList<DSColumn *> columns = table->sortedColumns();
    ASSERT_EQ(columns.size(), qsizetype(rows[0].size()));
    const auto same = [](double a, double b) { return a == b || (std::isnan(a) && std::isnan(b)); };
    for (size_t c = 0; c < rows[0].size(); ++c) {
        DSColumn *column = columns[qsizetype(c)];
        EXPECT_EQ(column->name().toStdString(), rows[0][c]);
        for (size_t r = 1; r < rows.size(); ++r) {
            const std::string &cell = rows[r][c];
            SCOPED_TRACE(rows[0][c] + " row " + std::to_string(r) + ": " + cell);
            if (skip && skip(rows[0][c], r))
                continue;
            if (auto *numeric = ds_object_cast<DSNumericDataColumn>(column)) {
                const double expected = cell.empty() ? NAN : std::strtod(cell.c_str(), nullptr);
                EXPECT_TRUE(same(ds_column_values(numeric)[r - 1], expected)) << ds_column_values(numeric)[r - 1];
            } else if (auto *time = ds_object_cast<DSTimeDataColumn>(column)) {
                double interval = 0;
                const double expected = readTime(cell.c_str(), &interval);
                EXPECT_TRUE(same(ds_time_values(time)[r - 1], expected)) << ds_time_values(time)[r - 1];
                EXPECT_EQ(ds_time_intervals(time)[r - 1], interval);
            } else if (auto *text = ds_object_cast<DSTextDataColumn>(column)) {
                EXPECT_EQ(ds_text_values(text)[r - 1], cell);
            } else {
                ADD_FAILURE() << "a column of no importable kind";
            }
        }
    }
}

bool ds_same_values(const std::vector<double> &a, const std::vector<double> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!(a[i] == b[i] || (std::isnan(a[i]) && std::isnan(b[i]))))
            return false;
    return true;
}
