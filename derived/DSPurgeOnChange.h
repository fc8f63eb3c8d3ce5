#pragma once

#include <QList>
#include <QStringList>

class DSColumn;

// Keeps a derived column's caches true to its definition: while started,
// a change of any of the given keys of the column (setters, inverse upkeep,
// undo and redo) purges the column and everything computed from it
// (recursivePurge). The column owns this helper; start it when the column
// enters its context (insert, fetch) and stop it at its fault.
class DSPurgeOnChange
{
public:
    DSPurgeOnChange() = default;
    DSPurgeOnChange(const DSPurgeOnChange &) = delete;
    DSPurgeOnChange &operator=(const DSPurgeOnChange &) = delete;

    // Observes the keys in the column's context; nothing without a context
    // or when already started.
    void start(DSColumn *column, const QStringList &keys);
    // Removes the observers; nothing when not started.
    void stop();

private:
    DSColumn *m_column = nullptr;
    QList<int> m_tokens;
};
