// libFuzzer target of the Excel 97-2003 importer: the input is a compound
// file; every table that comes out is read back.
#include "fuzz_support.h"

#include "import/DSDataImporterXLS.h"
#include "platform/store/DSObjectPool.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray file(reinterpret_cast<const char *>(data), qsizetype(size));
    DSObjectPool pool(ds_fuzz_model());
    DSDataImporterXLS importer({});
    if (importer.parseWorkBook(file, pool, 0, 1))
        ds_fuzz_read_back(pool, SIZE_MAX);  // a shared string may fill many cells
    return 0;
}
