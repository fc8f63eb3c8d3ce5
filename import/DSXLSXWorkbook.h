#pragma once

#include <QList>
#include <QString>
#include <QStringList>

#include <map>
#include <string>
#include <vector>

class ZipFile;

// What every sheet of an Excel 2007 workbook shares: its sheets (names and
// the archive entries that hold them), the number formats and cell styles,
// the shared strings and the date system. Read once per file, part by part;
// a part the archive lacks leaves its items empty.
class DSXLSXWorkbook
{
public:
    struct Sheet
    {
        QString name;
        QString entry;  // archive entry of the sheet's part
    };

    // The 48 built-in format codes, ids 0 to 47 (the empty code for 0 and 36
    // to 40).
    static const char *builtInFormat(int id);

    DSXLSXWorkbook();

    // "xl/workbook.xml" and its relationships: the date system and the
    // sheets in workbook order. False when a part is not well-formed.
    bool readWorkbook(ZipFile &zip);
    // "xl/sharedStrings.xml". False when it is not well-formed.
    bool readSharedStrings(ZipFile &zip);
    // "xl/styles.xml": the file's formats and the cell styles. False when it
    // is not well-formed.
    bool readStyles(ZipFile &zip);
    // The sheets to import. Each sheet's part is the one its relationship
    // names; a workbook without relationships falls back to the numbered
    // parts "xl/worksheets/sheet1.xml", ... ("sheet.xml" for the first),
    // matched to the names in order. False when a sheet's part is missing
    // or there are more numbered parts than names.
    bool resolveSheets(ZipFile &zip);

    const QList<Sheet> &sheets() const { return m_sheets; }
    bool date1904() const { return m_date1904; }
    // The format code of a cell style, or null for a style outside the list
    // or whose format is not defined. Owned by the workbook.
    const char *formatOfStyle(qint64 style) const;
    // The shared string at an index, or null outside the list.
    const std::string *sharedString(qint64 index) const;

private:
    std::map<int, std::string> m_formats;
    std::vector<int> m_cellStyles;
    std::vector<std::string> m_sharedStrings;
    QStringList m_sheetNames;
    QStringList m_sheetRelationships;
    QList<Sheet> m_sheets;
    bool m_date1904 = false;
};
