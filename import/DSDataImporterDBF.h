#pragma once

#include "model/DSDataImporter.h"

// Imports dBase tables (.dbf): each file becomes one table named after the
// file, with a column for every field in field order. Numeric fields (N, F)
// become numeric columns, logical fields (L) FALSE/TRUE categories, every
// other field (characters, dates, memos) text. Names and texts are read as
// ISO Latin-1.
class DSDataImporterDBF : public DSDataImporter
{
public:
    explicit DSDataImporterDBF(const QList<QUrl> &urls);

    QString className() const override { return QStringLiteral("DSDataImporterDBF"); }

    // One table per file, in list order. A file that cannot be opened, whose
    // header is inconsistent or that is shorter than its header says ends
    // the whole parse with an error naming it. Not aborted midway: a table
    // is read in one pass.
    bool parseIntoPool(DSObjectPool &pool, DSError *error) override;
};
