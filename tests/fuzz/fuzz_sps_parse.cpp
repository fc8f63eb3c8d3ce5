// libFuzzer target of the SPSS command-file parser, run with every callback
// set: none, checking callbacks (once to the end, once stopped by a
// callback), the record's handlers, the value-label handler and the
// missing-value handler.
#include "import/dictionary/ds_missing_values.h"
#include "import/dictionary/ds_value_labels.h"
#include "import/dictionary/sps_parse.h"

#include "fuzz_command_file.h"

namespace {

int parse(const uint8_t *data, size_t size, void *context, ds_on_variable_fn on_variable,
          ds_on_variable_label_fn on_variable_label, ds_on_value_label_fn on_value_label, unsigned *line)
{
    fuzz::startParse();
    return sps_parse(reinterpret_cast<const char *>(data), size, context, on_variable, on_variable_label,
                     on_value_label, line);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    unsigned line = 0;
    const int result = parse(data, size, nullptr, nullptr, nullptr, nullptr, &line);
    fuzz::checkOutcome(result, false, data, size, line);

    // The same text with callbacks parses the same way; a stop at the first
    // callback ends it there.
    for (int64_t stopAt : {int64_t(0), int64_t(1)}) {
        fuzz::Checker checker{0, stopAt, false};
        unsigned l = 0;
        const int r = parse(data, size, &checker, fuzz::onVariable, fuzz::onVariableLabel, fuzz::onValueLabel, &l);
        fuzz::checkOutcome(r, checker.stopped, data, size, l);
        if (!checker.stopped)
            fuzz::check(r == result && l == line);
    }

    ds_stata_dct_s *dct = dct_dictionary_new();
    unsigned l = 0;
    fuzz::check(parse(data, size, dct, dct_add_variable, dct_set_variable_label, nullptr, &l) == result);
    fuzz::checkRecord(dct);
    dct_dictionary_free(dct);

    ds_value_labels labels;
    fuzz::check(parse(data, size, &labels, nullptr, nullptr, value_labels_add, &l) == result);

    // The missing values are read against the same grammar.
    ds_missing_values missing;
    fuzz::startParse();
    fuzz::check(sps_parse_missing_values(reinterpret_cast<const char *>(data), size, &missing, missing_values_add,
                                         &l) == result);
    return 0;
}
