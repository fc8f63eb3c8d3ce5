// libFuzzer target of the dBase importer: the input is a whole dBase file,
// written to a scratch file and imported; every table made is read back.
#include "fuzz_import_support.h"

#include "import/DSDataImporterDBF.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return ds_fuzz_file_importer<DSDataImporterDBF>(data, size, "fuzz.dbf");
}
