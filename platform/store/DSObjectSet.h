#pragma once

#include <QList>
#include <QSet>

#include <memory>

class DSManagedObject;

using DSObjectList = QList<DSManagedObject *>;

// The members of a to-many relationship: an unordered set that enumerates
// in the order members were added (a loaded relationship in store order),
// so runs repeat. Membership tests stay constant-time on large sets (a table
// with thousands of columns) through an index built on first need.
class DSObjectSet
{
public:
    DSObjectSet() = default;
    DSObjectSet(const DSObjectSet &other) : m_items(other.m_items) {}
    DSObjectSet &operator=(const DSObjectSet &other);
    DSObjectSet(DSObjectSet &&) noexcept = default;
    DSObjectSet &operator=(DSObjectSet &&) noexcept = default;

    qsizetype size() const { return m_items.size(); }
    bool isEmpty() const { return m_items.isEmpty(); }
    bool contains(const DSManagedObject *object) const;
    // The members as a list. Implicitly shared: keeping a copy costs nothing,
    // and the copy stays valid while the relationship changes.
    const DSObjectList &toList() const { return m_items; }
    DSObjectList::const_iterator begin() const { return m_items.cbegin(); }
    DSObjectList::const_iterator end() const { return m_items.cend(); }

    // Answer whether the set changed.
    bool insert(DSManagedObject *object);
    bool remove(DSManagedObject *object);
    void assign(const DSObjectList &objects);

private:
    static constexpr qsizetype k_indexThreshold = 16;
    DSObjectList m_items;
    mutable std::unique_ptr<QSet<const DSManagedObject *>> m_index;
};
