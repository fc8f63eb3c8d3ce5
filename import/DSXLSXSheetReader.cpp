#include "import/DSXLSXSheetReader.h"

#include "import/DSSpreadsheetColumns.h"
#include "import/DSXLSXWorkbook.h"
#include "model/DSDataImporter.h"

#include <array>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>

namespace {

const std::array<const char *, 7> k_errorValues{{"#N/A", "#VALUE!", "#REF!", "#NAME?", "#DIV/0!", "#NULL!", "#NUM!"}};

bool isErrorValue(const char *text)
{
    for (const char *error : k_errorValues)
        if (std::strcmp(text, error) == 0)
            return true;
    return false;
}

bool isBlank(const char *text)
{
    return text[strspn(text, " ")] == '\0';
}

// The 0-based column of a reference's leading letters A-Z (A 0, AA 26); -1
// without a letter; past `limit` once it exceeds it.
qint64 columnOfReference(const char *reference, qint64 limit)
{
    qint64 column = 0;
    const char *p = reference;
    for (; *p >= 'A' && *p <= 'Z'; ++p) {
        column = column * 26 + (*p - 'A' + 1);
        if (column > limit + 1)
            return limit + 1;
    }
    return column - 1;
}

// An integer that the whole text spells, or -1.
qint64 indexOfText(const char *text)
{
    char *end = nullptr;
    const long long value = std::strtoll(text, &end, 10);
    return end != text && *end == '\0' && value >= 0 ? qint64(value) : -1;
}

} // namespace

DSXLSXSheetReader::DSXLSXSheetReader(const DSXLSXWorkbook &book, DSSpreadsheetColumns &columns,
                                     DSDataImporter &importer, double progressStart, double progressEnd)
    : m_book(book), m_columns(columns), m_importer(importer), m_progressStart(progressStart),
      m_progressEnd(progressEnd)
{
}

bool DSXLSXSheetReader::read(ZipFile &zip, const QString &entry)
{
    bool present = false;
    return parseEntry(zip, entry, &present);
}

void DSXLSXSheetReader::startElement(const char *name, const char **attributes)
{
    if (is(name, "dimension")) {
        m_firstRow = m_lastRow = 0;
        if (const char *reference = attribute(attributes, "ref")) {
            int first = 0, last = 0;
            const int n = std::sscanf(reference, "%*[A-Z]%d:%*[A-Z]%d", &first, &last);
            m_firstRow = n >= 1 ? first : 0;
            m_lastRow = n >= 2 ? last : 0;
        }
    } else if (is(name, "sheetData")) {
        m_inSheetData = true;
    } else if (m_inSheetData && is(name, "row")) {
        m_inRow = true;
        m_nextColumn = 0;
        m_lastColumn = -1;
    } else if (m_inRow && !m_rowDone && is(name, "c")) {
        startCell(attributes);
    } else if (m_inCell && is(name, "v")) {
        m_inValue = true;
        m_text.clear();
    } else if (m_inCell && is(name, "is")) {
        m_inInline = true;
        m_text.clear();
    } else if (m_inInline && is(name, "rPh")) {
        m_inInline = false;  // a phonetic run is no part of the text
    } else if (m_inInline && is(name, "t")) {
        m_inInlineText = true;
    }
}

void DSXLSXSheetReader::startCell(const char **attributes)
{
    m_style = -1;
    m_isNumber = true;
    m_isBoolean = m_isInline = m_isError = m_isShared = false;
    m_column = m_nextColumn;
    for (int i = 0; attributes[i]; i += 2) {
        const char *value = attributes[i + 1];
        if (is(attributes[i], "s")) {
            m_style = std::atoll(value);
        } else if (is(attributes[i], "t")) {
            m_isNumber = is(value, "n") || is(value, "b");
            m_isBoolean = is(value, "b");
            m_isInline = is(value, "inlineStr") || is(value, "str");
            m_isError = is(value, "e");
            m_isShared = is(value, "s");
        } else if (is(attributes[i], "r")) {
            m_column = columnOfReference(value, k_maxColumn);
        }
    }
    if (m_column > k_maxColumn) {
        fail();
        return;
    }
    m_nextColumn = m_column + 1;
    m_inCell = true;
}

void DSXLSXSheetReader::endElement(const char *name)
{
    if (is(name, "sheetData")) {
        m_inSheetData = false;
    } else if (m_inRow && is(name, "row")) {
        endRow();
    } else if (is(name, "c")) {
        m_inCell = m_inValue = m_inInline = m_inInlineText = false;
    } else if (m_inValue && is(name, "v")) {
        endValue();
        m_inValue = false;
    } else if (m_inInlineText && is(name, "t")) {
        m_inInlineText = false;
    } else if (m_inCell && is(name, "is")) {
        endValue();
        m_inInline = false;
    }
}

void DSXLSXSheetReader::characters(const char *text, int length)
{
    if ((m_inValue || m_inInlineText) && !m_rowDone)
        m_text.append(text, size_t(length));
}

void DSXLSXSheetReader::endRow()
{
    if (!m_headerDone) {
        m_columns.setHeader(m_names);
    } else {
        fillMissingThrough(m_columns.size() - 1);
        ++m_rows;
        if (m_rows % 100 == 0) {
            const double span = double(m_lastRow) + 1 - double(m_firstRow);
            if (span > 0)
                m_importer.setAsyncProgress(std::min(
                    m_progressEnd, m_progressStart + double(m_rows) * (m_progressEnd - m_progressStart) / span));
            if (m_importer.asyncAbort()) {
                m_aborted = true;
                fail();
            }
        }
    }
    m_headerDone = true;
    m_inRow = m_rowDone = false;
}

void DSXLSXSheetReader::endValue()
{
    if (m_rowDone)
        return;
    // A cell at or left of one already filled in this row would give its
    // column a second value: ignored.
    if (m_column <= m_lastColumn)
        return;
    if (!m_headerDone)
        addHeaderName(m_text.c_str());
    else
        addDataValue(m_text.c_str());
}

void DSXLSXSheetReader::addHeaderName(const char *text)
{
    while (m_names.size() < m_column)
        m_names.append(QString());
    if (m_isInline || m_isNumber) {
        m_names.append(QString::fromUtf8(text));
    } else {
        // A shared-string index outside the list is a damaged file.
        const std::string *shared = m_book.sharedString(indexOfText(text));
        if (!shared && m_isShared) {
            fail();
            return;
        }
        m_names.append(shared ? QString::fromUtf8(*shared) : QString::fromUtf8(text));
    }
    m_lastColumn = m_column;
}

void DSXLSXSheetReader::addDataValue(const char *text)
{
    if (m_column >= m_columns.size())
        return;
    const std::string *shared = nullptr;
    bool missing = isBlank(text) || (m_isError && isErrorValue(text));
    if (!missing && m_isShared) {
        shared = m_book.sharedString(indexOfText(text));
        if (!shared) {
            fail();
            return;
        }
        text = shared->c_str();
        missing = isBlank(text);
    }
    if (missing) {
        fillMissingThrough(m_column);
    } else {
        fillMissingThrough(m_column - 1);
        DSSpreadsheetCell cell;
        cell.text = text;
        cell.format = m_book.formatOfStyle(m_style);
        if (m_isNumber) {
            cell.kind = m_isBoolean ? DSSpreadsheetCell::Boolean : DSSpreadsheetCell::Number;
            cell.number = DSSpreadsheetColumns::readNumber(text);
        } else {
            cell.kind = DSSpreadsheetCell::Text;
        }
        if (!m_columns.addCell(m_column, cell)) {
            fail();
            return;
        }
    }
    if (m_column >= m_columns.size() - 1)
        m_rowDone = true;
    m_lastColumn = m_column;
}

void DSXLSXSheetReader::fillMissingThrough(qint64 k)
{
    if (!m_columns.addEmptyCells(m_lastColumn + 1, k))
        fail();
}
