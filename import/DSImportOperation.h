#pragma once

#include <QThreadPool>

#include <functional>
#include <memory>

class DSDataImporter;
class DSManagedObjectModel;

// Runs one importer's background parse as a single operation on a thread
// pool of its own, so a long import never waits behind (or holds up) other
// work. The operation keeps the importer alive until it has finished.
class DSImportOperation
{
public:
    DSImportOperation();
    // Waits for the running parse.
    ~DSImportOperation();
    DSImportOperation(const DSImportOperation &) = delete;
    DSImportOperation &operator=(const DSImportOperation &) = delete;

    // Starts importer->asyncParse(model); finished, when given, is called on
    // the operation's thread after the run has left its outcome in the
    // importer (a caller hands it on to the main thread with a queued call).
    void start(std::shared_ptr<DSDataImporter> importer, std::shared_ptr<const DSManagedObjectModel> model,
               std::function<void()> finished = {});
    // Blocks until the parse has ended; true unless msecs (-1 forever) ran out.
    bool waitForDone(int msecs = -1);

private:
    QThreadPool m_pool;
};
