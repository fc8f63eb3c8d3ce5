#include "model/DSDataColumn.h"

#include "platform/dispatch/ds_parallel_for.h"

#include <vector>

bool DSDataColumn::saveAfterImport(const QList<DSDataColumn *> &columns)
{
    std::vector<char> saved(size_t(columns.size()), 0);
    ds_dispatch_apply(uint64_t(columns.size()), [&](uint64_t i) { saved[i] = columns[qsizetype(i)]->saveAfterImport(); });
    for (char ok : saved)
        if (!ok)
            return false;
    return true;
}
