// Stored text columns on 1,000,000 and 10,000,000 rows: the first read
// after a save (inflate the texts and offsets, mark the blank rows), an
// edit of one cell read back, its undo read back, and the save of one edited
// column (deflating what the edits changed). README.md has the figures.
//
// Texts are what a survey's free-text or name column holds: one of 5,000
// words of 4 to 12 letters, about 3% blank. The document's undo is off
// except where undo is timed.
#include "ColumnsBenchFixture.h"

#include "model/DSTextDataColumn.h"

#include <benchmark/benchmark.h>

#include <map>
#include <random>
#include <string>
#include <vector>

namespace {

const std::vector<std::string> &sample(qint64 rows)
{
    static std::map<qint64, std::vector<std::string>> samples;
    std::vector<std::string> &texts = samples[rows];
    if (texts.empty()) {
        std::mt19937_64 random(13);
        std::vector<std::string> words(5000);
        for (std::string &word : words)
            for (uint64_t letters = 4 + random() % 9; letters > 0; --letters)
                word.push_back(char('a' + random() % 26));
        texts.resize(size_t(rows));
        for (std::string &text : texts)
            if (random() % 100 >= 3)
                text = words[random() % words.size()];
    }
    return texts;
}

struct Fixture : ColumnsBenchFixture
{
    DSTextDataColumn *column = nullptr;

    explicit Fixture(qint64 rows) : ColumnsBenchFixture(rows)
    {
        column = insertColumn<DSTextDataColumn>("DSTextDataColumn");
        for (const std::string &text : sample(rows))
            column->appendTextValue(text.c_str());
        column->saveAfterImport();
    }

    // Reads the row's text back, as the records grid does after an edit.
    void readBack(qint64 row)
    {
        const char *const *texts = nullptr;
        column->getTextValues(&texts, row, 1);
        benchmark::DoNotOptimize(texts[0]);
    }
};

void BM_TextFirstRead(benchmark::State &state)
{
    Fixture f(state.range(0));
    for (auto _ : state) {
        f.column->teardown();
        f.readBack(0);
    }
    state.counters["stored MB"] = double(f.column->text_values().size() + f.column->text_offsets().size()) / 1e6;
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_TextEditOneCellAndReadBack(benchmark::State &state)
{
    Fixture f(state.range(0));
    // The first edit copies the decoded offsets once; timed are the ones after.
    f.column->replaceTextValueAtIndex(0, "first");
    qint64 row = 0;
    for (auto _ : state) {
        f.column->replaceTextValueAtIndex(row, "edited");
        f.readBack(row);
        row = (row + 7919) % state.range(0);
    }
    state.SetItemsProcessed(state.iterations());
}

void BM_TextUndoOneEdit(benchmark::State &state)
{
    Fixture f(state.range(0));
    DSUndoManager *undo = f.useUndo();
    qint64 row = 0;
    for (auto _ : state) {
        state.PauseTiming();
        f.column->replaceTextValueAtIndex(row, "edited");
        f.readBack(row);
        // The end of the event: an edit stored at once registers its undo here.
        f.context->processPendingChanges();
        state.ResumeTiming();
        undo->undo();
        f.readBack(row);
        row = (row + 7919) % state.range(0);
    }
    state.SetItemsProcessed(state.iterations());
}

// What a save does with one edited column before writing: deflate what the
// edit changed and store the streams.
void BM_TextSaveOneEditedColumn(benchmark::State &state)
{
    Fixture f(state.range(0));
    qint64 row = 0;
    for (auto _ : state) {
        state.PauseTiming();
        f.column->replaceTextValueAtIndex(row, "edited");
        row = (row + 7919) % state.range(0);
        state.ResumeTiming();
        f.column->prepareForSave();
        f.column->commitSavePreparation();
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

} // namespace

BENCHMARK(BM_TextFirstRead)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();
BENCHMARK(BM_TextEditOneCellAndReadBack)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->UseRealTime();
// The untimed edit before each of these cost seconds when an edit deflated
// the column, so their iterations are counted.
BENCHMARK(BM_TextUndoOneEdit)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
BENCHMARK(BM_TextSaveOneEditedColumn)->Arg(1'000'000)->Arg(10'000'000)->Unit(benchmark::kMillisecond)->UseRealTime()->Iterations(5);
