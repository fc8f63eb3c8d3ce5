#include "model/DSDataColumn.h"

#include "platform/dispatch/ds_parallel_for.h"
#include "platform/store/DSManagedObject.h"

#include <algorithm>
#include <vector>

bool DSDataColumn::saveAfterImport(const QList<DSDataColumn *> &columns)
{
    std::vector<char> saved(size_t(columns.size()), 0);
    const auto finish = [&](uint64_t i) { saved[i] = columns[qsizetype(i)]->saveAfterImport(); };
    // A context records every change it sees and is not to be touched from
    // several threads: columns of a document are finished one by one.
    const bool inContext = std::any_of(columns.begin(), columns.end(), [](DSDataColumn *column) {
        const auto *object = dynamic_cast<const DSManagedObject *>(column);
        return object && object->managedObjectContext();
    });
    if (inContext)
        for (uint64_t i = 0; i < saved.size(); ++i)
            finish(i);
    else
        ds_dispatch_apply(uint64_t(columns.size()), finish);
    for (char ok : saved)
        if (!ok)
            return false;
    return true;
}
