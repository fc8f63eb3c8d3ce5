#pragma once

#include "model/DSError.h"

#include <QList>
#include <QString>
#include <QUrl>

#include <atomic>
#include <functional>
#include <memory>
#include <optional>

class DSManagedObjectModel;
class DSObjectPool;

// The importer of one or more files, as the document sees it: made for an
// importable file type, held by an untitled document as its pending import
// until the document's window starts it.
//
// The readers (delimited text, spreadsheets, databases, statistical
// packages) register their classes here by the names the document asks for
// ("DSDataImporterCSV", ...). A type whose reader is not registered still
// gets an importer, which refuses to import with an error saying so: it never
// produces an empty table in place of the data.
//
// A run (asyncParse) happens once, on one background thread; only
// setAsyncAbort comes from elsewhere. Progress and abort are atomics, the
// result and the error are written by the run and read once it has ended.
class DSDataImporter
{
public:
    explicit DSDataImporter(const QList<QUrl> &urls);
    virtual ~DSDataImporter();
    DSDataImporter(const DSDataImporter &) = delete;
    DSDataImporter &operator=(const DSDataImporter &) = delete;

    // The importer class a document creates for an importable type
    // identifier ("public.comma-separated-values-text" -> "DSDataImporterCSV"),
    // or an empty string for any other type.
    static QString importerClassNameForType(const QString &type);
    // An importer for the single file, of the class the type names: the
    // registered reader, else a pending importer of that name. Null for a
    // type that is not importable.
    static std::unique_ptr<DSDataImporter> importerForType(const QString &type, const QUrl &url);
    // An importer of the named class for the files: the registered reader,
    // else a pending importer of that name.
    static std::unique_ptr<DSDataImporter> importerForClassName(const QString &className, const QList<QUrl> &urls);

    using Maker = std::unique_ptr<DSDataImporter> (*)(const QList<QUrl> &urls);
    static void registerImporterClass(const QString &className, Maker make);
    template <class T>
    static void registerImporterClass(const QString &className)
    {
        registerImporterClass(className, [](const QList<QUrl> &urls) -> std::unique_ptr<DSDataImporter> {
            return std::make_unique<T>(urls);
        });
    }

    const QList<QUrl> &urls() const { return m_urls; }
    // The class name the importer was made under.
    virtual QString className() const = 0;

    // Parses the files into new tables of the pool, on the importer's own
    // thread, tables in file order. Answers false when it cannot, with the
    // error when there is one (an abort and a file without data leave none);
    // the pool then holds nothing the document should take.
    virtual bool parseIntoPool(DSObjectPool &pool, DSError *error) = 0;

    // The background run: clears the state, parses into a new pool of the
    // model, and keeps the pool as the result or the error. An exception
    // escaping the parse is logged ("Exception: %s") and leaves neither.
    // Progress is 1 afterwards, whatever happened.
    void asyncParse(std::shared_ptr<const DSManagedObjectModel> model);
    // The pool of the last run's tables (an empty pool for no files), or null.
    std::shared_ptr<DSObjectPool> asyncResult() const { return m_asyncResult; }
    // The last run's error, if it ended with one.
    const std::optional<DSError> &asyncError() const { return m_asyncError; }

    double asyncProgress() const { return m_asyncProgress.load(std::memory_order_relaxed); }
    // Stores p clamped to 0..1 (NaN as 0) and tells the observer on this
    // thread when it changed.
    void setAsyncProgress(double p);
    bool asyncAbort() const { return m_asyncAbort.load(std::memory_order_relaxed); }
    // Any thread; the parse stops at its next polling point.
    virtual void setAsyncAbort(bool abort) { m_asyncAbort.store(abort, std::memory_order_relaxed); }
    bool asyncProgressIsIndeterminate() const { return m_indeterminate.load(std::memory_order_relaxed); }
    void setAsyncProgressIsIndeterminate(bool flag) { m_indeterminate.store(flag, std::memory_order_relaxed); }

    // Called with every new progress, on the thread that set it. Set before
    // the run starts.
    using ProgressObserver = std::function<void(double)>;
    void setProgressObserver(ProgressObserver observer) { m_progressObserver = std::move(observer); }

private:
    QList<QUrl> m_urls;
    std::shared_ptr<DSObjectPool> m_asyncResult;
    std::optional<DSError> m_asyncError;
    std::atomic<double> m_asyncProgress{0};
    std::atomic<bool> m_asyncAbort{false};
    std::atomic<bool> m_indeterminate{false};
    ProgressObserver m_progressObserver;
};
