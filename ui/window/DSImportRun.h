#pragma once

#include "ui/sheets/DSAsyncTask.h"

#include <QList>

#include <memory>

class DSDataImporter;
class DSManagedObjectModel;
class DSObjectPool;
class DSTable;

// One import as the document's hand-off runs it: the importer, the pool
// its tables are parsed into, and what the progress sheet and the
// completion read (progress, abort, error). Shared by the background run,
// the sheet and the completion; whichever lets go last frees the importer
// and the parsed tables.
//
// The parse and numberTables() run on the background thread, everything
// else after the run has ended (the pool changes hands with the queued
// completion) or, for progress and abort, from any thread.
class DSImportRun : public DSAsyncTask
{
public:
    explicit DSImportRun(std::shared_ptr<DSDataImporter> importer);
    ~DSImportRun() override;

    DSDataImporter *importer() const { return m_importer.get(); }

    // Parses on the calling thread into a new pool of the model. A failed
    // parse keeps its error and no result; an exception escaping the parse
    // is logged ("Exception: %s") and leaves neither. Progress is 1
    // afterwards, whatever happened.
    void asyncParseWithManagedObjectModel(std::shared_ptr<const DSManagedObjectModel> model);
    // Gives the i-th parsed table the index insertionIndex + i and completes
    // its dependent objects, still in the pool.
    void numberTables(qint64 insertionIndex);
    // The parsed tables in file order; empty after a failure.
    QList<DSTable *> asyncResult() const;

private:
    std::shared_ptr<DSDataImporter> m_importer;
    std::shared_ptr<DSObjectPool> m_pool;
};
