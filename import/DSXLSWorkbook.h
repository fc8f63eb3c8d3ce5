#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

#include <cstdint>
#include <string>
#include <vector>

// An Excel 97-2003 workbook (BIFF8 records in the "Workbook" stream of an
// OLE2 compound file, opened with libgsf), read whole into memory: the date
// system, the format and extended-format records, the worksheets' names
// and every cell with its record type, extended-format index, number and
// text. It offers what the importer asks of a workbook: sheets, their last
// row and column, the cells of a row, and a cell's format code.
//
// Every size, offset and index read from the file is checked: a damaged
// record ends the read with false, never a read past the data.
class DSXLSWorkbook
{
public:
    // BIFF record numbers of the cells.
    enum Record : uint16_t {
        Formula = 6,
        MulRK = 189,
        LabelSST = 253,
        Blank = 513,
        Number = 515,
        Label = 516,
        BoolErr = 517,
        RK = 638,
    };

    struct Cell
    {
        uint16_t row = 0, column = 0;
        uint16_t record = Blank;
        uint16_t xf = 0;
        double number = 0;
        std::string text;     // the text of a text cell or a string result
        bool isText = false;  // a label, or a formula with a string result
        bool isBoolean = false;
        bool isError = false;
    };

    struct Sheet
    {
        QString name;
        std::vector<Cell> cells;  // by row, then column
        int32_t lastRow = -1, lastColumn = -1;
    };

    // The most bytes a workbook stream may have.
    static constexpr int64_t k_maxStreamBytes = int64_t(1) << 29;

    // Reads the compound file's bytes. False when they are not an OLE2 file
    // with a BIFF8 workbook stream, the workbook is encrypted, or a record
    // is damaged.
    bool read(const QByteArray &file);

    bool date1904() const { return m_date1904; }
    const QList<Sheet> &sheets() const { return m_sheets; }
    // The format code of an extended-format index: the file's own format of
    // that number, else the built-in one (ids 0-47), else null. Owned by the
    // workbook.
    const char *formatOfXF(uint16_t xf) const;

private:
    struct Reader;
    bool readGlobals(Reader &reader, std::vector<std::pair<uint32_t, QString>> *sheetOffsets);
    bool readSheet(const QByteArray &stream, uint32_t offset, Sheet *sheet);

    bool m_date1904 = false;
    std::vector<std::pair<uint16_t, std::string>> m_formats;
    std::vector<uint16_t> m_xfFormats;
    std::vector<std::string> m_sharedStrings;
    QList<Sheet> m_sheets;
};
