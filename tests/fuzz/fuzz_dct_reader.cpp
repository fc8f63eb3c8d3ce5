// libFuzzer target of the dictionary-driven text reader and its importer.
// The input begins with a layout: byte 0 the delimiter (0 fixed columns,
// else ',', ';' or tab), byte 1 the lines per observation (1 to 3), byte 2
// the record length (0, or the byte itself when above 200), byte 3 the first
// line (0 to 3), byte 4 the entry count (1 to 8), then 4 bytes an entry:
// line, start, width (255 stands for 5,000) and type with the decimal
// separator. The rest is the data file. Every cell lands in its column and
// the table is read back.
#include "fuzz_import_support.h"
#include "import/DSDataImporterDCT.h"
#include "import/dictionary/ds_stata_dct.h"

#include <cstddef>
#include <cstdint>

namespace {

// The layout the first bytes describe, and how many bytes it took; none
// when the input is too short.
ds_stata_dct_s *layoutOf(const uint8_t *data, size_t size, size_t *used)
{
    if (size < 5)
        return nullptr;
    static const char delimiters[] = {0, ',', ';', '\t'};
    const size_t entries = 1 + data[4] % 8;
    if (size < 5 + 4 * entries)
        return nullptr;
    ds_stata_dct_s *dct = dct_dictionary_new();
    dct->delimiter = delimiters[data[0] % 4];
    dct->lines_per_obs = 1 + data[1] % 3;
    dct->record_length = data[2] > 200 ? data[2] : 0;
    dct->first_line = data[3] % 4;
    for (size_t k = 0; k < entries; ++k) {
        const uint8_t *e = data + 5 + 4 * k;
        ds_stata_dct_entry_s *entry = dct_append_entry(dct);
        entry->line = e[0] % (dct->lines_per_obs + 1);
        entry->start = e[1] % 64;
        entry->width = e[2] == 255 ? 5000 : e[2] % 32;
        entry->type = (e[3] & 1) ? 1 : 3;
        entry->decimal_char = (e[3] & 2) ? ',' : '.';
        entry->name[0] = char('a' + k);
    }
    *used = 5 + 4 * entries;
    return dct;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    size_t used = 0;
    ds_stata_dct_s *dct = layoutOf(data, size, &used);
    if (!dct)
        return 0;
    const QUrl url = ds_fuzz_write_file(QStringLiteral("fuzz.dat"),
                                     QByteArray(reinterpret_cast<const char *>(data + used), qsizetype(size - used)));
    if (url.isEmpty()) {
        dct_dictionary_free(dct);
        return 0;
    }
    DSDataImporterDCT importer({url});
    importer.setDct(dct);
    ds_fuzz_import_and_read_back(importer, size);
    return 0;
}
