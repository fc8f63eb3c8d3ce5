#pragma once

#include <QJsonObject>

class DSManagedObjectContext;

// A canonical JSON text of a whole object graph, for comparing a migrated
// store with a dump written by hand.
//
// Every live object gets a stable path: a root is "/", and an object owned
// through a cascading relationship r of the object at path P is "P/r" (to-one)
// or "P/r/i" (to-many, members in the order of their "index", then entity,
// then their attributes and what they own). Objects no owner reaches are "/unowned/<entity>/i".
//
// The dump maps each path to an object holding "entity", every attribute
// whose value differs from the model's default (doubles may be "NaN";
// numeric column values inflated and listed as "floats" or "doubles" by the
// model version; other binary data as the hex of the bytes), every to-one
// reference that is not the way back to its owner as the target's path, and
// every to-many reference that no to-one side mirrors as the sorted list of
// its targets' paths. Owned members appear as objects of their own, not as
// references.
QJsonObject ds_dump_graph(const DSManagedObjectContext &context);
