// libFuzzer target of the statistical-package importer, built once per file
// kind (FUZZ_EXTENSION: "dta", "sav", "por" or "sas7bdat"): the input is
// the file. Every table that comes out is read back.
#include "fuzz_import_support.h"
#include "import/DSDataImporterDTA.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QUrl url = fuzz_write_file(QStringLiteral("fuzz." FUZZ_EXTENSION),
                                     QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    if (url.isEmpty())
        return 0;
    DSDataImporterDTA importer({url});
    // Compressed SAS files may hold far more text than their size.
    fuzz_import_and_read_back(importer, SIZE_MAX);
    return 0;
}
