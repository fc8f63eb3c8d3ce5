#include "model/DSTable.h"

#include "model/DSDataRoot.h"
#include "platform/store/DSEntityDescription.h"

#include <algorithm>

namespace {
const QString k_index = QStringLiteral("index");

bool hasIndex(const DSManagedObject *object)
{
    return object->entity()->attributeNamed(k_index) != nullptr;
}
} // namespace

DSDataRoot *DSTable::data_root() const
{
    return ds_object_cast<DSDataRoot>(objectForKey(QStringLiteral("data_root")));
}

void DSTable::setData_root(DSDataRoot *root)
{
    setObject(root, QStringLiteral("data_root"));
}

DSObjectList DSTable::sortedByIndex(const DSObjectList &set)
{
    std::vector<std::pair<qint64, DSManagedObject *>> keyed;
    keyed.reserve(size_t(set.size()));
    for (DSManagedObject *member : set)
        if (hasIndex(member))
            keyed.emplace_back(member->integerForKey(k_index), member);
    std::stable_sort(keyed.begin(), keyed.end(),
                     [](const auto &a, const auto &b) { return a.first < b.first; });
    DSObjectList sorted;
    sorted.reserve(qsizetype(keyed.size()));
    for (const auto &entry : keyed)
        sorted.append(entry.second);
    return sorted;
}
