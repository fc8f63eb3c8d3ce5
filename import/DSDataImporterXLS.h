#pragma once

#include "model/DSDataImporter.h"

#include <QByteArray>

class DSXLSWorkbook;

// Reads Excel 97-2003 workbooks (.xls, BIFF8): each worksheet that reaches
// past its first row becomes a table named after the sheet. The first row
// with a non-blank cell names the columns; every later such row is one
// record. A column's kind comes from its first non-empty cell: its record
// type separates numbers from text, its number format plain numbers from
// dates and times. Error values are missing.
class DSDataImporterXLS : public DSDataImporter
{
public:
    explicit DSDataImporterXLS(const QList<QUrl> &urls);

    QString className() const override { return QStringLiteral("DSDataImporterXLS"); }

    // The tables of every file, in file order and within a file in sheet
    // order. A file that is not a readable workbook fails the whole import
    // with "Error reading XLS file: <file>"; an abort returns false without
    // an error.
    bool parseIntoPool(DSObjectPool &pool, DSError *error) override;

    // Appends one table per imported sheet of the workbook's bytes to the
    // pool, publishing progress from progressStart to progressEnd. False
    // when the bytes are no readable workbook or a column could not be
    // stored; the pool is then for dropping.
    bool parseWorkBook(const QByteArray &file, DSObjectPool &pool, double progressStart, double progressEnd);
};
