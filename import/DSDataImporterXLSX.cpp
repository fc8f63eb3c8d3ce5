#include "import/DSDataImporterXLSX.h"

#include "import/DSSpreadsheetColumns.h"
#include "import/DSXLSXSheetReader.h"
#include "import/DSXLSXWorkbook.h"
#include "import/ZipException.h"
#include "import/ZipFile.h"
#include "import/ds_import_error.h"

DSDataImporterXLSX::DSDataImporterXLSX(const QList<QUrl> &urls) : DSDataImporter(urls)
{
}

bool DSDataImporterXLSX::parseIntoPool(DSObjectPool &pool, DSError *error)
{
    const qsizetype n = urls().size();
    for (qsizetype i = 0; i < n; ++i) {
        const QUrl &url = urls()[i];
        // An archive that is cut short, empty or damaged fails like a
        // workbook whose parts do not parse: the file is named either way.
        int result = 1;
        try {
            ZipFile zip(url.toLocalFile());
            result = parseArchive(zip, pool, double(i) / n, double(i + 1) / n);
            zip.close();
        } catch (const ZipException &) {
            result = 1;
        }
        if (result != 0) {
            if (error && !asyncAbort())
                *error = ds_parse_file_error(QStringLiteral("XLSX"), url);
            return false;
        }
        if (asyncAbort())
            return false;
    }
    return true;
}

int DSDataImporterXLSX::parseArchive(ZipFile &zip, DSObjectPool &pool, double progressStart, double progressEnd)
{
    DSXLSXWorkbook book;
    if (!book.readWorkbook(zip))
        return 1;
    if (asyncAbort())
        return 0;
    if (!book.readSharedStrings(zip))
        return 1;
    if (asyncAbort())
        return 0;
    if (!book.readStyles(zip) || !book.resolveSheets(zip))
        return 1;
    const qsizetype sheets = book.sheets().size();
    for (qsizetype i = 0; i < sheets; ++i) {
        if (asyncAbort())
            return 0;
        const DSXLSXWorkbook::Sheet &sheet = book.sheets()[i];
        const double start = progressStart + (progressEnd - progressStart) * double(i) / double(sheets);
        const double end = progressStart + (progressEnd - progressStart) * double(i + 1) / double(sheets);
        DSSpreadsheetColumns columns(pool, sheet.name, book.date1904());
        DSXLSXSheetReader reader(book, columns, *this, start, end);
        if (!reader.read(zip, sheet.entry)) {
            columns.teardown();
            return reader.aborted() ? 0 : 1;
        }
        if (reader.headerSize() > 0 && reader.records() > 0 && !columns.finish(reader.records()))
            return 1;
        setAsyncProgress(end);
    }
    return 0;
}
