#pragma once

#include "model/DSDataImporter.h"

#include <memory>
#include <mutex>

// Imports a list of files of any supported kinds in one run: each file's
// importer is chosen by the extension of its name and parsed on this
// importer's thread, its progress mapped into the file's share of the
// whole. One failure ends the run with no tables.
class DSDataImporterMultiple : public DSDataImporter
{
public:
    explicit DSDataImporterMultiple(const QList<QUrl> &urls);

    QString className() const override { return QStringLiteral("DSDataImporterMultiple"); }

    // The importer class the extension of the file's name chooses (any
    // case), or an empty string for an extension outside the table.
    static QString importerClassNameForURL(const QUrl &url);
    // A new importer for the one file, or null for an unknown extension.
    virtual std::shared_ptr<DSDataImporter> importerForURL(const QUrl &url) const;

    // The tables of every file in list order. A file without an importer
    // fails with "File format not recognized for %1" (its name); a failing
    // importer's error is the run's; an abort ends the run without an error.
    bool parseIntoPool(DSObjectPool &pool, DSError *error) override;
    // Sets the own flag, then that of the importer running now.
    void setAsyncAbort(bool abort) override;

    // The importer of the current or last file; null before a run.
    std::shared_ptr<DSDataImporter> active_importer() const;

private:
    void setActive_importer(std::shared_ptr<DSDataImporter> importer);

    // The main thread may abort while the run replaces the active importer.
    mutable std::mutex m_activeMutex;
    std::shared_ptr<DSDataImporter> m_activeImporter;
};
