// libFuzzer target of the SQLite importer: the input is a whole SQLite database file,
// written to a scratch file and imported; every table made is read back.
#include "fuzz_import_support.h"

#include "import/DSDataImporterSQLite.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return ds_fuzz_file_importer<DSDataImporterSQLite>(data, size, "fuzz.sqlite");
}
