#pragma once

#include "model/DSDataImporter.h"

struct sqlite3;
class DSDataTable;

// Imports every table of one or more SQLite database files: each table
// with at least one row becomes one table of that name, in the order of
// the names within a file. The columns are those of "SELECT *"; each
// column's kind (numeric, time or text) comes from its first integer,
// float or text cell, so blobs and nulls before it read as missing.
//
// Files are opened read-only and never changed.
class DSDataImporterSQLite : public DSDataImporter
{
public:
    explicit DSDataImporterSQLite(const QList<QUrl> &urls);

    QString className() const override { return QStringLiteral("DSDataImporterSQLite"); }

    // The tables of all files, file by file. A failure ends the whole parse
    // with an error naming the file; an abort ends it without one. Either
    // way the pool is for dropping.
    bool parseIntoPool(DSObjectPool &pool, DSError *error) override;

private:
    struct TableRead;
    // The tables of the open database, file i of n, into the pool. False
    // with the error set, or without one after an abort.
    bool parseDatabase(sqlite3 *db, qsizetype i, qsizetype n, DSObjectPool &pool, std::optional<DSError> *error);
    // Streams one table's rows; the table made (null for a table without
    // rows) is left in *read. False as for parseDatabase.
    bool readTable(sqlite3 *db, TableRead *read, std::optional<DSError> *error);
};
