#pragma once

#include <QList>
#include <QStringList>

#include <functional>

class DSColumn;
class DSManagedObject;

// Keeps a derived column's caches true to its definition: while started,
// a change of any of the given keys of the column (setters, inverse upkeep,
// undo and redo) purges the column and everything computed from it
// (recursivePurge). The column owns this helper; start it when the column
// enters its context (insert, fetch) and stop it at its fault. Any other
// object (a stacked table) may own one with a purge of its own.
class DSPurgeOnChange
{
public:
    DSPurgeOnChange() = default;
    DSPurgeOnChange(const DSPurgeOnChange &) = delete;
    DSPurgeOnChange &operator=(const DSPurgeOnChange &) = delete;

    // Observes the keys in the column's context; nothing without a context
    // or when already started.
    void start(DSColumn *column, const QStringList &keys);
    // The same for any object: a change of one of its keys runs purge.
    void start(DSManagedObject *object, const QStringList &keys, std::function<void()> purge);
    // Removes the observers; nothing when not started.
    void stop();

private:
    DSManagedObject *m_object = nullptr;
    QList<int> m_tokens;
};
