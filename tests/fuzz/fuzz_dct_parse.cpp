// libFuzzer target of the Stata dictionary parser: any bytes give a record
// whose fields stay within their arrays, or none with one syntax error
// logged at a line of the text.
#include "import/dictionary/dct_parse.h"

#include "fuzz_command_file.h"

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    fuzz::startParse();
    unsigned line = 0;
    ds_stata_dct_s *dct = dct_parse(reinterpret_cast<const char *>(data), size, &line);
    if (dct) {
        fuzz::check(fuzz::log().lines == 0 && line == 0);
        fuzz::checkRecord(dct);
    } else {
        fuzz::check(fuzz::log().lines == 1 && fuzz::log().syntaxErrors == 1);
        fuzz::checkErrorLine(data, size, line);
    }
    dct_dictionary_free(dct);
    return 0;
}
