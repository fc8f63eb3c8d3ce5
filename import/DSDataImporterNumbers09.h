#pragma once

#include "model/DSDataImporter.h"

#include <QByteArray>

class ZipFile;

// Reads Numbers 2009 documents: a zip archive whose "index.xml" describes
// every table. Each grid with rows becomes a table named after its tabular
// model, its first row naming the columns. The datasource lists only the
// cells that exist; the rows' and columns' cell counts ("sf:nc") say where
// each one stands. A column's kind comes from its first value: numbers and
// durations make numeric columns, dates time columns, texts text columns.
//
// An archive without "index.xml" gives no tables and no error. XML that is
// not well-formed, a data row with more cells than the header, or cell
// counts that do not cover the cells fail the whole import with "Error
// parsing Numbers file: f.numbers"; a damaged archive throws ZipException to
// the run.
class DSDataImporterNumbers09 : public DSDataImporter
{
public:
    explicit DSDataImporterNumbers09(const QList<QUrl> &urls);

    QString className() const override { return QStringLiteral("DSDataImporterNumbers09"); }

    bool parseIntoPool(DSObjectPool &pool, DSError *error) override;

    // Adds the tables "index.xml" describes to the pool, in document order.
    // False when it is not well-formed or its cells do not fit their grid;
    // the pool is then for dropping.
    static bool parseIndex(const QByteArray &xml, DSObjectPool &pool);

    // The name is `local`, or `prefix`:`local`, ignoring case.
    static bool xml_name_matches(const char *name, const char *prefix, const char *local);
};
