#include "import/DSImportOperation.h"

#include "model/DSDataImporter.h"

DSImportOperation::DSImportOperation()
{
    m_pool.setMaxThreadCount(1);
}

DSImportOperation::~DSImportOperation()
{
    m_pool.waitForDone();
}

void DSImportOperation::start(std::shared_ptr<DSDataImporter> importer,
                              std::shared_ptr<const DSManagedObjectModel> model, std::function<void()> finished)
{
    m_pool.start([importer = std::move(importer), model = std::move(model), finished = std::move(finished)] {
        importer->asyncParse(model);
        if (finished)
            finished();
    });
}

bool DSImportOperation::waitForDone(int msecs)
{
    return m_pool.waitForDone(msecs);
}
