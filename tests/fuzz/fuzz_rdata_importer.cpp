// libFuzzer target of the R-file importer. The first byte's bit 0 gzips the
// rest before it is written (so the fuzzer mutates what is inside the
// compression), bit 1 names the file .rds rather than .RData. Every table
// that comes out is read back.
#include "fuzz_import_support.h"
#include "import/DSDataImporterRData.h"
#include "model/ds_compression.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    QByteArray bytes(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    if (data[0] & 1) {
        std::optional<QByteArray> gzip = gzipDeflate(bytes);
        if (!gzip)
            return 0;
        bytes = *gzip;
    }
    return ds_fuzz_file_importer<DSDataImporterRData>(reinterpret_cast<const uint8_t *>(bytes.constData()),
                                                      size_t(bytes.size()), (data[0] & 2) ? "fuzz.rds" : "fuzz.RData");
}
