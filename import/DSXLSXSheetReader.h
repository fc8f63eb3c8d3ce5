#pragma once

#include "import/DSXMLReader.h"

#include <QStringList>

#include <string>

class DSDataImporter;
class ZipFile;
class DSSpreadsheetColumns;
class DSXLSXWorkbook;

// Reads one worksheet part of an Excel 2007 workbook into its columns: the
// first "row" gives the column names, every later one a record, in the
// order the rows stand in the file (row numbers are not read, so absent
// rows add nothing). A cell's place is its reference's column letters; a
// cell without a reference follows the one before it.
//
// Values come from "v" and, for inline strings, from the "t" texts of "is".
// Shared-string cells are looked up; the seven Excel error values are
// missing; other error texts are texts. Cells right of the header's last
// name are ignored.
class DSXLSXSheetReader : public DSXMLReader
{
public:
    // The last column a worksheet can have (XFD).
    static constexpr qint64 k_maxColumn = 16383;

    // Progress of the importer runs from progressStart to progressEnd over
    // the rows the sheet's dimension announces.
    DSXLSXSheetReader(const DSXLSXWorkbook &book, DSSpreadsheetColumns &columns, DSDataImporter &importer,
                      double progressStart, double progressEnd);

    // Parses the archive's part (an absent or empty part adds nothing). False when it is not well-formed, a cell is invalid
    // (a shared string outside the list, a column past XFD), a column could
    // not be stored, or the abort flag was seen (aborted() then says so).
    bool read(ZipFile &zip, const QString &entry);

    qint64 records() const { return m_rows; }
    qsizetype headerSize() const { return m_names.size(); }
    bool aborted() const { return m_aborted; }

protected:
    void startElement(const char *name, const char **attributes) override;
    void endElement(const char *name) override;
    void characters(const char *text, int length) override;

private:
    void startCell(const char **attributes);
    void endRow();
    void endValue();
    void addHeaderName(const char *text);
    void addDataValue(const char *text);
    // Missing values from the cell after the last one filled through k.
    void fillMissingThrough(qint64 k);
    void fail() { stop(); }

    const DSXLSXWorkbook &m_book;
    DSSpreadsheetColumns &m_columns;
    DSDataImporter &m_importer;
    double m_progressStart, m_progressEnd;

    std::string m_text;
    QStringList m_names;
    bool m_inSheetData = false, m_inRow = false, m_inCell = false, m_inValue = false;
    bool m_inInline = false, m_inInlineText = false;
    bool m_headerDone = false, m_rowDone = false, m_aborted = false;
    qint64 m_rows = 0;
    qint64 m_style = -1;
    bool m_isNumber = true, m_isBoolean = false, m_isInline = false, m_isError = false, m_isShared = false;
    qint64 m_column = 0, m_nextColumn = 0, m_lastColumn = -1;
    qint64 m_firstRow = 0, m_lastRow = 0;
};
