// libFuzzer target of the SAS command-file parser, run with every callback
// set: none, checking callbacks (once to the end, once stopped by a
// callback), the record's handlers and the value-label and format handlers.
#include "import/dictionary/ds_value_labels.h"
#include "import/dictionary/sas_parse.h"

#include "fuzz_command_file.h"

namespace {

int parse(const uint8_t *data, size_t size, void *context, ds_on_infile_option_fn on_infile_option,
          ds_on_variable_fn on_variable, ds_on_variable_label_fn on_variable_label,
          ds_on_value_label_fn on_value_label, ds_on_variable_format_fn on_variable_format, unsigned *line)
{
    fuzz::startParse();
    return sas_parse(reinterpret_cast<const char *>(data), size, context, on_infile_option, on_variable,
                     on_variable_label, on_value_label, on_variable_format, line);
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    unsigned line = 0;
    const int result = parse(data, size, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, &line);
    fuzz::checkOutcome(result, false, data, size, line);

    // The same text with callbacks parses the same way; a stop at the first
    // callback ends it there.
    for (int64_t stopAt : {int64_t(0), int64_t(1)}) {
        fuzz::Checker checker{0, stopAt, false};
        unsigned l = 0;
        const int r = parse(data, size, &checker, fuzz::onInfileOption, fuzz::onVariable, fuzz::onVariableLabel,
                            fuzz::onValueLabel, fuzz::onVariableFormat, &l);
        fuzz::checkOutcome(r, checker.stopped, data, size, l);
        if (!checker.stopped)
            fuzz::check(r == result && l == line);
    }

    ds_stata_dct_s *dct = dct_dictionary_new();
    unsigned l = 0;
    fuzz::check(parse(data, size, dct, dct_set_infile_option, dct_merge_variable, dct_merge_variable_label, nullptr,
                      nullptr, &l) == result);
    fuzz::checkRecord(dct);
    dct_dictionary_free(dct);

    ds_value_labels labels;
    QMap<QString, QString> formats;
    fuzz::check(parse(data, size, &labels, nullptr, nullptr, nullptr, format_value_labels_add, nullptr, &l) == result);
    fuzz::check(parse(data, size, &formats, nullptr, nullptr, nullptr, nullptr, variable_format_set, &l) == result);
    return 0;
}
