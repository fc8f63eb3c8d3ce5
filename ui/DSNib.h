#pragma once

#include <QObjectList>
#include <QString>

#include <functional>

class QObject;

// An interface file: the code that builds one named set of objects (a
// window and its views, or a pane's views and helpers) for an owner.
// Builders register under the file's name; the owner finds its outlets among
// the objects by their objectName, the outlet's name.
//
// Main thread only.
class DSNib
{
public:
    // Builds the objects for the owner and answers the top-level ones; the
    // caller owns them (each deletes its own children).
    using Builder = std::function<QObjectList(QObject *owner)>;

    // Registers (or replaces) the builder of the named file.
    static void registerNib(const QString &name, Builder builder);
    // Whether a file of that name exists.
    static bool nibExists(const QString &name);

    // Builds the named file for the owner into *topLevelObjects, which then
    // own what was built. False, with *topLevelObjects untouched, when no
    // file has that name.
    static bool instantiateWithOwner(const QString &name, QObject *owner, QObjectList *topLevelObjects);
};
