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

bool ds_same_values(const std::vector<double> &a, const std::vector<double> &b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); ++i)
        if (!(a[i] == b[i] || (std::isnan(a[i]) && std::isnan(b[i]))))
            return false;
    return true;
}
