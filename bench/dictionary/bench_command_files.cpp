// The dictionary and command-file parsers on generated files of 1 MB and
// 10 MB: the parse alone (null callbacks) and the parses into the record,
// the value labels and the formats through the handlers the import sheets
// pass (one parse per context, as the sheets do). Time per byte should not
// grow with the size.
//
//   bench_command_files --benchmark_filter=Sps
#include "import/dictionary/dct_parse.h"
#include "import/dictionary/ds_value_labels.h"
#include "import/dictionary/sas_parse.h"
#include "import/dictionary/sps_parse.h"

#include <benchmark/benchmark.h>

#include <map>
#include <string>

namespace {

constexpr int kBlock = 20; // variables per statement

// Appends blocks made by `block(first variable number)` until `bytes`.
template <typename Block>
std::string grow(size_t bytes, std::string text, Block block, const std::string &tail = "")
{
    for (int v = 0; text.size() + tail.size() < bytes; v += kBlock)
        text += block(v);
    return text + tail;
}

std::string name(int v)
{
    return "v" + std::to_string(v);
}

// A codebook: each block a DATA LIST record of 20 variables (every fifth a
// text), their labels, and three value labels each, one a range.
std::string spsFile(size_t bytes)
{
    return grow(bytes, "", [](int first) {
        std::string list = "DATA LIST FIXED /1", labels = "VARIABLE LABELS", values = "VALUE LABELS";
        for (int v = first; v < first + kBlock; v++) {
            const int column = (v % 1000) * 5 + 1;
            list += " " + name(v) + " " + std::to_string(column) + "-" + std::to_string(column + 4) +
                    (v % 5 == 0 ? " (A)" : "");
            labels += "\n  " + name(v) + " 'Question " + std::to_string(v) + " of the survey'";
            values += (v == first ? "\n  " : "\n  / ") + name(v) + " . 'missing' 1 - 3 'low' 4 'high'";
        }
        return list + ".\n" + labels + ".\n" + values + ".\n";
    });
}

// The same codebook as a SAS program: INPUT, LABEL, a value format per
// block and FORMAT statements.
std::string sasFile(size_t bytes)
{
    return grow(bytes, "DATA survey;\n  INFILE 'survey.dat' FIRSTOBS=2 DLM='09'x;\n", [](int first) {
        std::string input = "  INPUT", label = "  LABEL", format = "  FORMAT";
        for (int v = first; v < first + kBlock; v++) {
            const int column = (v % 1000) * 5 + 1;
            input += " " + name(v) + (v % 5 == 0 ? " $ " : " ") + std::to_string(column) + "-" +
                     std::to_string(column + 4);
            label += "\n    " + name(v) + "='Question " + std::to_string(v) + " of the survey'";
            format += " " + name(v) + " f" + std::to_string(first) + ".";
        }
        return input + ";\n" + label + ";\n" + format + ";\n  VALUE f" + std::to_string(first) +
               " 1 - 3='low' 4='high' 'x'='text';\n";
    }, "RUN;\n");
}

std::string dctFile(size_t bytes)
{
    return grow(bytes, "infile dictionary using survey.dat {\n", [](int first) {
        std::string lines = "_column(1) _newline\n";
        for (int v = first; v < first + kBlock; v++)
            lines += (v % 5 == 0 ? "str5 " : "int ") + name(v) + (v % 5 == 0 ? " %5s" : " %5f") +
                     " \"Question " + std::to_string(v) + " of the survey\"\n";
        return lines;
    }, "}\n");
}

const std::string &file(std::string (*make)(size_t), int64_t megabytes)
{
    static std::map<std::pair<void *, int64_t>, std::string> files;
    std::string &text = files[{reinterpret_cast<void *>(make), megabytes}];
    if (text.empty())
        text = make(size_t(megabytes) << 20);
    return text;
}

void finish(benchmark::State &state, const std::string &text)
{
    state.SetBytesProcessed(state.iterations() * int64_t(text.size()));
    state.counters["ns/byte"] = benchmark::Counter(double(text.size()) * double(state.iterations()),
                                                   benchmark::Counter::kIsRate | benchmark::Counter::kInvert);
}

void DctParse(benchmark::State &state)
{
    const std::string &text = file(dctFile, state.range(0));
    for (auto _ : state) {
        ds_stata_dct_s *dct = dct_parse(text.data(), text.size(), nullptr);
        if (!dct) {
            state.SkipWithError("the dictionary did not parse");
            return;
        }
        benchmark::DoNotOptimize(dct->num_entries);
        dct_dictionary_free(dct);
    }
    finish(state, text);
}

void SpsParse(benchmark::State &state)
{
    const std::string &text = file(spsFile, state.range(0));
    for (auto _ : state)
        if (sps_parse(text.data(), text.size(), nullptr, nullptr, nullptr, nullptr, nullptr))
            return state.SkipWithError("the command file did not parse");
    finish(state, text);
}

void SpsParseIntoRecord(benchmark::State &state)
{
    const std::string &text = file(spsFile, state.range(0));
    for (auto _ : state) {
        ds_stata_dct_s *dct = dct_dictionary_new();
        ds_value_labels labels;
        if (sps_parse(text.data(), text.size(), dct, dct_add_variable, dct_set_variable_label, nullptr, nullptr) ||
            sps_parse(text.data(), text.size(), &labels, nullptr, nullptr, value_labels_add, nullptr))
            state.SkipWithError("the command file did not parse");
        dct_dictionary_free(dct);
    }
    finish(state, text);
}

void SasParse(benchmark::State &state)
{
    const std::string &text = file(sasFile, state.range(0));
    for (auto _ : state)
        if (sas_parse(text.data(), text.size(), nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr))
            return state.SkipWithError("the program did not parse");
    finish(state, text);
}

void SasParseIntoRecord(benchmark::State &state)
{
    const std::string &text = file(sasFile, state.range(0));
    for (auto _ : state) {
        ds_stata_dct_s *dct = dct_dictionary_new();
        ds_value_labels labels;
        QMap<QString, QString> formats;
        if (sas_parse(text.data(), text.size(), dct, dct_set_infile_option, dct_merge_variable,
                      dct_merge_variable_label, nullptr, nullptr, nullptr) ||
            sas_parse(text.data(), text.size(), &labels, nullptr, nullptr, nullptr, format_value_labels_add, nullptr,
                      nullptr) ||
            sas_parse(text.data(), text.size(), &formats, nullptr, nullptr, nullptr, nullptr, variable_format_set,
                      nullptr))
            state.SkipWithError("the program did not parse");
        benchmark::DoNotOptimize(formats.size());
        dct_dictionary_free(dct);
    }
    finish(state, text);
}

void sizes(benchmark::internal::Benchmark *b)
{
    b->ArgName("MB")->Arg(1)->Arg(10)->Unit(benchmark::kMillisecond);
}

BENCHMARK(DctParse)->Apply(sizes);
BENCHMARK(SpsParse)->Apply(sizes);
BENCHMARK(SpsParseIntoRecord)->Apply(sizes);
BENCHMARK(SasParse)->Apply(sizes);
BENCHMARK(SasParseIntoRecord)->Apply(sizes);

} // namespace

BENCHMARK_MAIN();
