#pragma once
// A whole import (parse, stored columns) of the file an environment variable
// names, as the benchmarks beside their run_*_bench.sh scripts time it.

#include "app/ds_register_model_classes.h"
#include "model/ds_application_defaults.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSObjectPool.h"

#include <QFileInfo>
#include <QUrl>

#include <benchmark/benchmark.h>

#include <cstdlib>
#include <string>

// Imports the file with a new Importer each iteration; skips with a hint
// when the variable names no file, and stops at a failed import.
template <class Importer>
void ds_bench_import_file(benchmark::State &state, const char *variable)
{
    const char *path = std::getenv(variable);
    if (!path || !QFileInfo::exists(QString::fromLocal8Bit(path))) {
        state.SkipWithError((std::string("set ") + variable + " to a file (its run_*_bench.sh makes one)").c_str());
        return;
    }
    ds_register_application_defaults();
    ds_register_model_classes();
    const auto model = DSManagedObjectModel::modelNamed(QStringLiteral("DSDataModel006"));
    const QUrl url = QUrl::fromLocalFile(QString::fromLocal8Bit(path));
    for (auto _ : state) {
        Importer importer({url});
        importer.asyncParse(model);
        if (!importer.asyncResult()) {
            state.SkipWithError("the import failed");
            return;
        }
        benchmark::DoNotOptimize(importer.asyncResult()->objects().size());
    }
    state.SetBytesProcessed(state.iterations() * QFileInfo(QString::fromLocal8Bit(path)).size());
}
