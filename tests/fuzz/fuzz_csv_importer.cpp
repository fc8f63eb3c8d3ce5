// libFuzzer target of the delimited-text importer: the first byte picks the
// delimiter (detected, comma, tab or semicolon), the rest is a file's text.
// Every table that comes out is read back, so saving and decoding its
// columns run on what the parse stored.
#include "fuzz_support.h"

#include "import/DSDataImporterCSV.h"
#include "platform/store/DSObjectPool.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    static const qint64 delimiters[] = {0, ',', '\t', ';'};
    DSObjectPool pool(ds_fuzz_model());
    DSDataImporterCSV importer({});
    importer.setDelimiter(delimiters[data[0] % 4]);
    std::optional<DSError> error;
    const QByteArray text(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));
    // Windows-1252 bytes take up to 3 in UTF-8.
    if (importer.parseData(text, QStringLiteral("fuzz.csv"), pool, 0, 1, &error))
        ds_fuzz_read_back(pool, 3 * size);
    return 0;
}
