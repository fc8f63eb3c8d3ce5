#include "import/DSDataImporterXLS.h"

#include "import/DSSpreadsheetColumns.h"
#include "import/DSXLSWorkbook.h"

#include <QFile>

#include <cstdio>

namespace {

// A cell without a value: a blank record, an error, or a text of spaces.
bool ds_xls_cell_is_empty(const DSXLSWorkbook::Cell &cell)
{
    if (cell.record == DSXLSWorkbook::Blank || cell.isError)
        return true;
    return cell.isText && cell.text.find_first_not_of(' ') == std::string::npos;
}

// The cell as the shared column rules take it.
DSSpreadsheetCell spreadsheetCell(const DSXLSWorkbook::Cell &cell, const DSXLSWorkbook &book, char *buffer,
                                  size_t size)
{
    DSSpreadsheetCell out;
    if (ds_xls_cell_is_empty(cell))
        return out;
    out.format = book.formatOfXF(cell.xf);
    if (cell.isText) {
        out.kind = DSSpreadsheetCell::Text;
        out.text = cell.text.c_str();
        return out;
    }
    out.kind = cell.isBoolean ? DSSpreadsheetCell::Boolean : DSSpreadsheetCell::Number;
    out.number = cell.number;
    if (cell.isBoolean)
        out.text = cell.number != 0 ? "TRUE" : "FALSE";
    else
        std::snprintf(buffer, size, "%.15g", cell.number), out.text = buffer;
    return out;
}

} // namespace

DSDataImporterXLS::DSDataImporterXLS(const QList<QUrl> &urls) : DSDataImporter(urls)
{
}

bool DSDataImporterXLS::parseIntoPool(DSObjectPool &pool, DSError *error)
{
    const qsizetype n = urls().size();
    for (qsizetype i = 0; i < n; ++i) {
        const QUrl &url = urls()[i];
        QFile file(url.toLocalFile());
        const bool read = file.open(QIODevice::ReadOnly) && file.size() <= DSXLSWorkbook::k_maxStreamBytes * 2;
        if (!read || !parseWorkBook(file.readAll(), pool, double(i) / n, double(i + 1) / n)) {
            if (error && !asyncAbort())
                *error = ds_make_error(1, QStringLiteral("Error reading XLS file: %1").arg(url.fileName()));
            return false;
        }
        if (asyncAbort())
            return false;
    }
    return true;
}

bool DSDataImporterXLS::parseWorkBook(const QByteArray &file, DSObjectPool &pool, double progressStart,
                                      double progressEnd)
{
    DSXLSWorkbook book;
    if (!book.read(file))
        return false;
    const qsizetype sheets = book.sheets().size();
    char number[32];
    for (qsizetype s = 0; s < sheets && !asyncAbort(); ++s) {
        const DSXLSWorkbook::Sheet &sheet = book.sheets()[s];
        if (sheet.lastRow <= 0)
            continue;
        DSSpreadsheetColumns columns(pool, sheet.name, book.date1904());
        columns.table();
        bool headerDone = false;
        qint64 records = 0;
        const auto &cells = sheet.cells;
        for (size_t first = 0; first < cells.size() && !asyncAbort();) {
            size_t end = first;
            while (end < cells.size() && cells[end].row == cells[first].row)
                ++end;
            const double shareOfSheet = double(cells[first].row) / double(sheet.lastRow);
            setAsyncProgress(progressStart + (progressEnd - progressStart) * (double(s) + shareOfSheet) / sheets);
            if (!headerDone) {
                QStringList names(sheet.lastColumn + 1);
                for (size_t i = first; i < end; ++i)
                    if (!ds_xls_cell_is_empty(cells[i]))
                        names[cells[i].column] = QString::fromStdString(
                            spreadsheetCell(cells[i], book, number, sizeof number).text);
                columns.setHeader(names);
                headerDone = true;
            } else {
                qint64 filled = -1;
                bool ok = true;
                for (size_t i = first; i < end && ok; ++i) {
                    const DSXLSWorkbook::Cell &cell = cells[i];
                    ok = columns.addEmptyCells(filled + 1, qint64(cell.column) - 1) &&
                         columns.addCell(cell.column, spreadsheetCell(cell, book, number, sizeof number));
                    filled = cell.column;
                }
                if (!ok || !columns.addEmptyCells(filled + 1, sheet.lastColumn)) {
                    columns.teardown();
                    return false;
                }
                ++records;
            }
            first = end;
        }
        if (!columns.finish(records))
            return false;
    }
    return true;
}
