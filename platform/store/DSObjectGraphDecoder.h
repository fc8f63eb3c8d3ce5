#pragma once

#include "platform/store/DSManagedObject.h"
#include "platform/store/DSStoreError.h"

#include <QByteArray>
#include <QCborArray>
#include <QHash>
#include <QString>

#include <functional>

class DSManagedObjectContext;
class DSManagedObjectModel;

// Brings an encoded object graph (DSManagedObject::encodedManagedObjectDependencies)
// into a context: every copy, duplicate, paste and import goes this way.
//
// The whole graph is checked before anything changes, so a graph that is
// refused changes nothing in the context:
//  - it is a non-empty list of dictionaries with text keys;
//  - each has a unique "id" (text, at most 2,048 characters) and a "class"
//    naming an entity of the context's model that objects can be made of;
//  - every other key is a property of that entity;
//  - attribute values have the CBOR kind of their attribute (integers for
//    integer attributes, in range; true or false for booleans; numbers for
//    doubles and dates; text; byte strings; property lists);
//  - a to-one value is an identity, a to-many value a list of identities;
//    each identity names an object of the graph or one the resolver finds
//    (live, in the context), of the relationship's destination entity;
//  - an object is owned (named by a relationship whose deletion cascades)
//    once at most, and an untrusted graph owns no object outside it.
// Then, in graph order, every object is inserted and its attributes decoded
// (its entity's insert hook runs first, so absent attributes keep their
// defaults), and in a second pass its relationships are connected.
class DSObjectGraphDecoder
{
public:
    // Identities outside the graph: how they are looked up, and what an
    // identity found nowhere means.
    using Resolver = std::function<DSManagedObject *(const QString &identity)>;
    enum class Unresolved {
        Refuse,  // the graph is refused (untrusted input)
        Drop     // a to-one becomes none, a to-many member is skipped (copies within the program)
    };

    // Answers the new objects in graph order (the first is the encoded
    // object itself), or an empty list with the error.
    static DSObjectList decode(DSManagedObjectContext &context, const QCborArray &graph, const Resolver &resolve,
                               Unresolved unresolved, DSStoreError *error = nullptr);

    // The graph as CBOR bytes (the pasteboard's form).
    static QByteArray archive(const QCborArray &graph);
    // Reads bytes that may be hostile with the strict property-list reader;
    // false with the error for anything but a list.
    static bool unarchive(const QByteArray &bytes, QCborArray *graph, DSStoreError *error = nullptr);

    // The graph without the references that leave it (to-one values and
    // to-many members naming identities outside the graph): the form that
    // travels to another document, where those objects do not exist.
    // The graph's entities are looked up in the model; the graph is assumed
    // to be one this program encoded.
    static QCborArray selfContained(const QCborArray &graph, const DSManagedObjectModel &model);
};
