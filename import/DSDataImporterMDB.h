#pragma once

#include "model/DSDataImporter.h"

// Imports Access databases (.mdb, .accdb) through mdbtools: every user
// table with at least one row becomes one table, in catalog order. A
// column's kind comes from its declared type: yes/no fields become numeric
// FALSE/TRUE categories, numbers numeric, dates absolute times to the
// second, text and memo fields text; binary, OLE and replication-id fields
// are left out.
class DSDataImporterMDB : public DSDataImporter
{
public:
    explicit DSDataImporterMDB(const QList<QUrl> &urls);

    QString className() const override { return QStringLiteral("DSDataImporterMDB"); }

    // The tables of all files, file by file. A file mdbtools cannot open or
    // read ends the whole parse with an error naming it; an abort (polled
    // before each file, table and row) ends it without one.
    bool parseIntoPool(DSObjectPool &pool, DSError *error) override;

    // The absolute time (GMT, floored to the second) of a date bound as
    // "YYYY-MM-DD hh:mm:ss[.fff]", with the interval 1; NaN with the
    // interval 86400 for any other text.
    static double timeFromBoundText(const char *text, double *interval);
};
