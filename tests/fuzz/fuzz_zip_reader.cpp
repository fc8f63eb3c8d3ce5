// libFuzzer target of the zip reader: the input is an archive; every
// entry is listed and read whole. A damaged archive may throw ZipException,
// nothing else.
#include "import/ZipException.h"
#include "import/ZipFile.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    try {
        ZipFile zip(bytes, QStringLiteral("fuzz.zip"));
        for (const FileInZipInfo &info : zip.listFileInZipInfos()) {
            try {
                // A small limit keeps a forged length from costing the
                // fuzzer its memory; the checks are the same. Names may
                // repeat (the entry read is the first of its name), and a name
                // cut at 255 bytes or not UTF-8 may locate none.
                const auto entry = zip.readEntry(info.name, 1 << 20);
                if (entry && uint64_t(entry->size()) != zip.getCurrentFileInZipInfo().length)
                    __builtin_trap();
            } catch (const ZipException &) {
            }
        }
        zip.close();
    } catch (const ZipException &) {
    }
    return 0;
}
