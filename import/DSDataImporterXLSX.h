#pragma once

#include "model/DSDataImporter.h"

class ZipFile;

// Reads Excel 2007 workbooks (.xlsx): each worksheet with a header row and
// at least one record becomes a table named after the sheet, its first row
// naming the columns. A column's kind (numeric, time, text) and number
// style come from its first non-empty cell and that cell's number format.
//
// A file that is not a zip archive, or whose archive is damaged, throws
// ZipException to the run, which logs it and keeps no tables. A part that
// is not well-formed XML, or holds an invalid reference (a shared string
// outside the list, a sheet without a part, a column past XFD), fails the
// whole import with "Error parsing XLSX file: <file>".
class DSDataImporterXLSX : public DSDataImporter
{
public:
    explicit DSDataImporterXLSX(const QList<QUrl> &urls);

    QString className() const override { return QStringLiteral("DSDataImporterXLSX"); }

    // The tables of every file, in file order and within a file in sheet
    // order; false with the error on a parse failure, without one after an
    // abort.
    bool parseIntoPool(DSObjectPool &pool, DSError *error) override;

    // Appends the tables of the open archive's sheets to the pool,
    // publishing progress from progressStart to progressEnd. Answers 0 when
    // it was read (also when stopped by the abort flag) and 1 when a part
    // failed to parse; the pool is then for dropping.
    int parseArchive(ZipFile &zip, DSObjectPool &pool, double progressStart, double progressEnd);
};
