#pragma once

#include "ui/sheets/DSAsyncTask.h"

#include <QList>

#include <atomic>
#include <memory>

class DSDataImporter;
class DSManagedObjectModel;
class DSTable;

// One import as the document's hand-off runs it: the importer seen through
// the progress sheet's eyes. Progress, error and the parsed pool are the
// importer's own; the run adds only its ending, which outlives the
// importer's per-run reset of its abort flag. Shared by the background run,
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

    double asyncProgress() const override;
    bool asyncProgressIsIndeterminate() const override;
    // True once the run was ended (setAsyncAbort(true)), whenever that was.
    bool asyncAbort() const override;
    // Ends the run: the importer stops at its next polling point, and a run
    // ended before its parse began does not parse at all.
    void setAsyncAbort(bool abort) override;
    const std::optional<DSError> &asyncError() const override;

    // The importer's background run on the calling thread, into a new pool
    // of the model (DSDataImporter::asyncParse), unless the run was ended.
    void asyncParseWithManagedObjectModel(std::shared_ptr<const DSManagedObjectModel> model);
    // Gives the i-th parsed table the index insertionIndex + i and completes
    // its dependent objects, still in the importer's pool.
    void numberTables(qint64 insertionIndex);
    // The parsed tables in file order; empty after a failure.
    QList<DSTable *> asyncResult() const;

private:
    std::shared_ptr<DSDataImporter> m_importer;
    std::atomic<bool> m_ended{false};
};
