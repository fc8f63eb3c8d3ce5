#pragma once

#include "import/DSDataImporterMultiple.h"

// Imports Numbers documents, choosing per file between the two formats: a
// package folder or a zip archive without "index.xml" is a Numbers 2013
// document, an archive with it a Numbers 2009 one. The rest (progress,
// abort, failures) is the multiple-file import's.
class DSDataImporterNumbers : public DSDataImporterMultiple
{
public:
    explicit DSDataImporterNumbers(const QList<QUrl> &urls);

    QString className() const override { return QStringLiteral("DSDataImporterNumbers"); }

    // The importer of the file's format; null when the file cannot be
    // found (the run then fails with "File format not recognized for" the
    // file). A file that is no zip archive goes to the 2013 importer, which
    // reports it damaged.
    std::shared_ptr<DSDataImporter> importerForURL(const QUrl &url) const override;
};
