// libFuzzer target of the Excel 2007 importer. An input whose first byte
// is 0 is an archive as it stands; any other input is split at NUL bytes
// into the parts workbook, relationships, shared strings, styles and two
// sheets, stored in an archive built here, so the mutations reach the XML
// readers instead of breaking deflate streams.
#include "fuzz_support.h"

#include "import/DSDataImporterXLSX.h"
#include "import/ZipException.h"
#include "import/ZipFile.h"
#include "platform/store/DSObjectPool.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    const QByteArray input(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    QByteArray archive = input;
    if (data[0] != 0) {
        const QList<QByteArray> names{"xl/workbook.xml", "xl/_rels/workbook.xml.rels", "xl/sharedStrings.xml",
                                      "xl/styles.xml", "xl/worksheets/sheet1.xml", "xl/worksheets/sheet2.xml"};
        QList<QByteArray> parts = input.split('\0').mid(0, names.size());
        archive = ds_fuzz_stored_zip(names.mid(0, parts.size()), parts);
    }
    DSObjectPool pool(ds_fuzz_model());
    DSDataImporterXLSX importer({});
    try {
        ZipFile zip(archive, QStringLiteral("fuzz.xlsx"));
        if (importer.parseArchive(zip, pool, 0, 1) == 0)
            ds_fuzz_read_back(pool, SIZE_MAX);  // a shared string may fill many cells
    } catch (const ZipException &) {
    }
    return 0;
}
