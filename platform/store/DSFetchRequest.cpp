#include "platform/store/DSFetchRequest.h"

#include "platform/store/DSManagedObject.h"

#include <algorithm>

namespace {

// -1, 0 or 1; none first, then values in QVariant's own order.
int compareValues(const QVariant &a, const QVariant &b)
{
    if (a.isNull() || b.isNull())
        return a.isNull() == b.isNull() ? 0 : (a.isNull() ? -1 : 1);
    if (a.typeId() == QMetaType::QString && b.typeId() == QMetaType::QString)
        return a.toString().compare(b.toString());
    const QPartialOrdering order = QVariant::compare(a, b);
    if (order == QPartialOrdering::Less)
        return -1;
    if (order == QPartialOrdering::Greater)
        return 1;
    return 0;
}

} // namespace

void DSFetchRequest::sortObjects(QList<DSManagedObject *> *objects, const QList<DSSortDescriptor> &sort)
{
    if (sort.isEmpty())
        return;
    // Each key is read once per object, not once per comparison.
    struct Row {
        DSManagedObject *object;
        QList<QVariant> keys;
    };
    std::vector<Row> rows;
    rows.reserve(size_t(objects->size()));
    for (DSManagedObject *o : *objects) {
        Row row{o, {}};
        for (const DSSortDescriptor &d : sort)
            row.keys.append(o->valueForKey(d.key));
        rows.push_back(std::move(row));
    }
    std::stable_sort(rows.begin(), rows.end(), [&](const Row &x, const Row &y) {
        for (qsizetype i = 0; i < sort.size(); ++i) {
            const int c = compareValues(x.keys[i], y.keys[i]);
            if (c != 0)
                return sort[i].ascending ? c < 0 : c > 0;
        }
        return false;
    });
    for (qsizetype i = 0; i < objects->size(); ++i)
        (*objects)[i] = rows[size_t(i)].object;
}
