// libFuzzer target of the object-graph decoder: the input is bytes pasted
// into a document (a root with one table), which go in through the
// document's own paste. A graph is refused with an error, or goes in with
// every object owned once at most (no two owners share an object that
// either's deletion would take with it); deleting what went in again
// leaves the document's table as it was.
#include "fuzz_support.h"

#include "model/DSDataRoot.h"
#include "model/DSDataTable.h"
#include "model/DSError.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSRelationshipDescription.h"

#include <QHash>

namespace {

void check(bool ok)
{
    if (!ok)
        __builtin_trap();
}

// How many owners each object has, among objects (a relationship whose
// deletion cascades names what its object owns).
QHash<DSManagedObject *, int> owners(const DSObjectList &objects)
{
    QHash<DSManagedObject *, int> count;
    for (DSManagedObject *object : objects)
        for (const DSRelationshipDescription *r : object->entity()->relationships()) {
            if (r->deleteRule() != DSDeleteRule::Cascade)
                continue;
            if (r->isToMany()) {
                for (DSManagedObject *member : object->objectsForKey(r->name()))
                    ++count[member];
            } else if (DSManagedObject *target = object->objectForKey(r->name())) {
                ++count[target];
            }
        }
    return count;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    DSManagedObjectContext context(ds_fuzz_model());
    auto *root = context.insertNewObject<DSDataRoot>(QStringLiteral("DSDataRoot"));
    auto *table = context.insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
    table->setIndex(0);
    table->setData_root(root);
    table->makeDependencies();
    table->setName(QStringLiteral("Table"));
    context.processPendingChanges();

    DSError error;
    const DSObjectList made =
        root->insertObjectsFromArchive(QByteArray(reinterpret_cast<const char *>(data), qsizetype(size)), &error);
    if (made.isEmpty()) {
        check(!error.localizedDescription.isEmpty());
        return 0;
    }
    context.processPendingChanges();
    DSObjectList everything;
    for (DSManagedObject *object : made)
        everything.append(object);
    everything.append(table);
    everything.append(root);
    for (int count : owners(everything))
        check(count == 1);
    for (DSManagedObject *object : made)
        if (!object->isDeleted())
            context.deleteObject(object);
    context.processPendingChanges();
    check(!table->isDeleted() && table->data_root() == root);
    return 0;
}
