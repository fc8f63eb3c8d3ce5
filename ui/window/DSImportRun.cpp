#include "ui/window/DSImportRun.h"

#include "model/DSDataImporter.h"
#include "model/DSTable.h"
#include "platform/store/DSObjectPool.h"

#include <exception>

DSImportRun::DSImportRun(std::shared_ptr<DSDataImporter> importer) : m_importer(std::move(importer)) {}

DSImportRun::~DSImportRun() = default;

void DSImportRun::asyncParseWithManagedObjectModel(std::shared_ptr<const DSManagedObjectModel> model)
{
    m_pool.reset();
    m_error.reset();
    auto pool = std::make_shared<DSObjectPool>(std::move(model));
    try {
        DSError error;
        if (m_importer->parseIntoPool(*pool, &error))
            m_pool = std::move(pool);
        else if (!error.localizedDescription.isEmpty())
            m_error = error;
    } catch (const std::exception &e) {
        qWarning("Exception: %s", e.what());
    }
    setAsyncProgress(1);
}

QList<DSTable *> DSImportRun::asyncResult() const
{
    return m_pool ? ds_objects_cast<DSTable>(m_pool->objectsOfEntity(QStringLiteral("DSTable"))) : QList<DSTable *>{};
}

void DSImportRun::numberTables(qint64 insertionIndex)
{
    const QList<DSTable *> tables = asyncResult();
    for (qsizetype i = 0; i < tables.size(); ++i) {
        tables[i]->setIndex(insertionIndex + i);
        tables[i]->makeDependencies();
    }
}
