// libFuzzer target of the statistical-package importer, built once per file
// kind (FUZZ_EXTENSION: "dta", "sav", "por" or "sas7bdat"): the input is
// the file. Every table that comes out is read back.
#include "fuzz_import_support.h"
#include "import/DSDataImporterDTA.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    return ds_fuzz_file_importer<DSDataImporterDTA>(data, size, "fuzz." FUZZ_EXTENSION);
}
