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

#include <gtest/gtest.h>

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

DSColumn *ds_column_named(DSDataTable *table, const char *name)
{
    for (DSColumn *column : table->columns())
        if (column->name() == QLatin1String(name))
            return column;
    ADD_FAILURE() << "no column " << name;
    return nullptr;
}

QStringList ds_column_names(DSDataTable *table)
{
    QStringList out;
    for (DSColumn *column : table->sortedColumns())
        out << QStringLiteral("%1 %2 %3").arg(column->index()).arg(column->name(), column->entity()->name());
    return out;
}

namespace {

// The fields of one line of a CSV file whose quoted fields hold no newline.
QStringList csvFields(const QString &line)
{
    QStringList fields;
    QString field;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        const QChar c = line[i];
        if (quoted && c == u'"' && i + 1 < line.size() && line[i + 1] == u'"')
            field += c, ++i;
        else if (c == u'"')
            quoted = !quoted;
        else if (c == u',' && !quoted)
            fields << field, field.clear();
        else
            field += c;
    }
    fields << field;
    return fields;
}

QString withoutTrailingBlanks(QString text)
{
    while (text.endsWith(u' '))
        text.chop(1);
    return text;
}

void expectNumbersMatch(const std::vector<double> &values, const QList<QStringList> &rows, qsizetype c,
                        const QString &name)
{
    for (qsizetype r = 0; r < rows.size() && r < qsizetype(values.size()); ++r) {
        const QString &cell = rows[r][c];
        if (cell == QLatin1String("NA")) {
            EXPECT_TRUE(std::isnan(values[r])) << name.toStdString() << " row " << r;
            continue;
        }
        // A value stored as a 4-byte float equals the other reader's
        // printed decimal at that precision.
        const double expected = cell == QLatin1String("Inf")    ? INFINITY
                                : cell == QLatin1String("-Inf") ? -INFINITY
                                                                : cell.toDouble();
        if (std::isinf(expected)) {
            EXPECT_EQ(values[r], expected) << name.toStdString() << " row " << r;
            continue;
        }
        const bool asFloat = std::trunc(expected) != expected && double(float(values[r])) == values[r] &&
                             float(values[r]) == float(expected);
        if (!asFloat) {
            EXPECT_NEAR(values[r], expected, 1e-12 * std::max(1.0, std::fabs(expected)))
                << name.toStdString() << " row " << r;
        }
    }
}

} // namespace

void ds_expect_table_matches_csv(DSDataTable *table, const QString &csvPath, const QStringList &skip)
{
    SCOPED_TRACE(csvPath.toStdString());
    QFile file(csvPath);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QStringList lines = QString::fromUtf8(file.readAll()).split(u'\n', Qt::SkipEmptyParts);
    ASSERT_FALSE(lines.isEmpty());
    const QStringList names = csvFields(lines[0]);
    QList<QStringList> rows;
    for (qsizetype i = 1; i < lines.size(); ++i)
        rows << csvFields(lines[i]);
    EXPECT_EQ(table->num_records(), rows.size());
    for (qsizetype c = 0; c < names.size(); ++c) {
        if (skip.contains(names[c]))
            continue;
        DSColumn *column = nullptr;
        for (DSColumn *candidate : table->columns())
            if (candidate->name().compare(names[c], Qt::CaseInsensitive) == 0)
                column = candidate;
        ASSERT_NE(column, nullptr) << names[c].toStdString();
        if (auto *numeric = ds_object_cast<DSNumericDataColumn>(column)) {
            expectNumbersMatch(ds_column_values(numeric), rows, c, names[c]);
        } else if (auto *time = ds_object_cast<DSTimeDataColumn>(column)) {
            expectNumbersMatch(ds_time_values(time), rows, c, names[c]);
        } else {
            const std::vector<std::string> texts = ds_text_values(ds_object_cast<DSTextDataColumn>(column));
            for (qsizetype r = 0; r < rows.size() && r < qsizetype(texts.size()); ++r) {
                const QString expected = rows[r][c] == QLatin1String("NA") ? QString() : rows[r][c];
                EXPECT_EQ(withoutTrailingBlanks(QString::fromStdString(texts[r])), withoutTrailingBlanks(expected))
                    << names[c].toStdString() << " row " << r;
            }
        }
    }
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
