// libFuzzer target of the SAS catalogue reader: the input is the
// catalogue, whose labels then label every value of a list.
#include "fuzz_import_support.h"
#include "import/ds_sas7bcat.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QUrl url = ds_fuzz_write_file(QStringLiteral("fuzz.sas7bcat"),
                                        QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)));
    ds_value_labels labels;
    DSError error;
    if (ds_sas7bcat_value_labels(url, &labels, &error))
        for (const auto &set : labels)
            (void)ds_category_labels(set);
    return 0;
}
