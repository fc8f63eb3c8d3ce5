#include "ui/window/DSImportRun.h"

#include "model/DSDataImporter.h"
#include "model/DSTable.h"
#include "platform/store/DSObjectPool.h"

DSImportRun::DSImportRun(std::shared_ptr<DSDataImporter> importer) : m_importer(std::move(importer)) {}

DSImportRun::~DSImportRun() = default;

double DSImportRun::asyncProgress() const
{
    return m_importer->asyncProgress();
}

bool DSImportRun::asyncProgressIsIndeterminate() const
{
    return m_importer->asyncProgressIsIndeterminate();
}

bool DSImportRun::asyncAbort() const
{
    return m_ended.load(std::memory_order_relaxed);
}

void DSImportRun::setAsyncAbort(bool abort)
{
    m_ended.store(abort, std::memory_order_relaxed);
    m_importer->setAsyncAbort(abort);
}

const std::optional<DSError> &DSImportRun::asyncError() const
{
    return m_importer->asyncError();
}

void DSImportRun::asyncParseWithManagedObjectModel(std::shared_ptr<const DSManagedObjectModel> model)
{
    if (asyncAbort())
        return;
    // The importer clears its abort flag as its run starts, so an ending
    // that lands in between is passed on again at the first progress.
    m_importer->setProgressObserver([this](double) {
        if (asyncAbort() && !m_importer->asyncAbort())
            m_importer->setAsyncAbort(true);
    });
    m_importer->asyncParse(std::move(model));
    m_importer->setProgressObserver(nullptr);
}

QList<DSTable *> DSImportRun::asyncResult() const
{
    const std::shared_ptr<DSObjectPool> pool = m_importer->asyncResult();
    return pool ? ds_objects_cast<DSTable>(pool->objectsOfEntity(QStringLiteral("DSTable"))) : QList<DSTable *>{};
}

void DSImportRun::numberTables(qint64 insertionIndex)
{
    const QList<DSTable *> tables = asyncResult();
    for (qsizetype i = 0; i < tables.size(); ++i) {
        tables[i]->setIndex(insertionIndex + i);
        tables[i]->makeDependencies();
    }
}
