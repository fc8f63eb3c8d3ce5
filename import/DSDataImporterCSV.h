#pragma once

#include "model/DSDataImporter.h"

#include <QByteArray>

#include <memory>

struct csv_parser;
class DSDataTable;

// Reads comma-, tab- or otherwise delimited text: each file becomes one
// table named after the file, its first row names the columns and every
// further row is one record. Each column's kind (numeric, time or text)
// and a number's display style come from its first non-empty cell.
//
// Text is read as UTF-8 and, where it is not valid UTF-8, as Windows-1252.
class DSDataImporterCSV : public DSDataImporter
{
public:
    explicit DSDataImporterCSV(const QList<QUrl> &urls);
    ~DSDataImporterCSV() override;

    QString className() const override { return QStringLiteral("DSDataImporterCSV"); }

    // The field delimiter's character code (its low byte); 0 detects comma
    // or tab for each file from its first line.
    qint64 delimiter() const { return m_delimiter; }
    void setDelimiter(qint64 delimiter) { m_delimiter = delimiter; }

    // One table per file, in list order. A file that cannot be read, text
    // that is malformed under strict quoting ("CSV error: %s", the
    // library's code), a file without data and an abort (no error) end the
    // whole parse.
    bool parseIntoPool(DSObjectPool &pool, DSError *error) override;

    // Parses the bytes of the named file into a new table of the pool, named
    // after the file without its extension, publishing progress from progressStart to progressEnd.
    // Null with the error set (or none after an abort) when it fails; the
    // half-filled table then stays in the pool, its columns' buffers
    // released, and the pool is for dropping.
    DSDataTable *parseData(QByteArray data, const QString &fileName, DSObjectPool &pool, double progressStart,
                           double progressEnd, std::optional<DSError> *error);

private:
    struct ParseContext;
    static void fieldCallback(void *field, size_t length, void *context);
    static void rowCallback(int terminator, void *context);
    // Releases the import buffers of the context's columns and forgets its
    // table; used on the failure paths.
    static void teardown(ParseContext *context);

    std::unique_ptr<csv_parser> m_parser;
    qint64 m_delimiter = 0;
};
