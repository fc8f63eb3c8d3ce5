#pragma once
// The main() of a benchmark program on the shared machine: Google
// Benchmark's, with the load average at the start in the context it prints.
#include <benchmark/benchmark.h>

#include <QFile>

inline int ds_bench_main(int argc, char **argv)
{
    QFile load(QStringLiteral("/proc/loadavg"));
    if (load.open(QIODevice::ReadOnly))
        benchmark::AddCustomContext("load average", load.readAll().trimmed().toStdString());
    benchmark::Initialize(&argc, argv);
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    return 0;
}
