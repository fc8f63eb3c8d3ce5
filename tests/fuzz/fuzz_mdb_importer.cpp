// libFuzzer target of the Access importer: the input is a whole Access database file,
// written to a scratch file and imported; every table made is read back.
#include "fuzz_import_support.h"

#include "import/DSDataImporterMDB.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return ds_fuzz_file_importer<DSDataImporterMDB>(data, size, "fuzz.mdb");
}
