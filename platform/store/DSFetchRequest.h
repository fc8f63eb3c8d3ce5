#pragma once

#include <QList>
#include <QString>
#include <QVariant>

#include <functional>

class DSManagedObject;

// Orders fetched objects by the value of a key (read through valueForKey(),
// so entity accessors apply). None sorts before any value.
struct DSSortDescriptor
{
    QString key;
    bool ascending = true;
};

// Which objects a fetch answers: the live objects of one entity (and, by
// default, of its sub-entities) that pass the filter, in the order of the
// sort descriptors (ties and no descriptors: store order). The filter is any
// callable, so a predicate tree plugs in as
// `request.setFilter([&](const DSManagedObject *o) { return predicate.evaluate(o); })`.
class DSFetchRequest
{
public:
    using Filter = std::function<bool(const DSManagedObject *)>;

    explicit DSFetchRequest(const QString &entityName) : m_entityName(entityName) {}

    const QString &entityName() const { return m_entityName; }
    const Filter &filter() const { return m_filter; }
    void setFilter(Filter filter) { m_filter = std::move(filter); }
    const QList<DSSortDescriptor> &sortDescriptors() const { return m_sort; }
    void setSortDescriptors(const QList<DSSortDescriptor> &sort) { m_sort = sort; }
    bool includesSubentities() const { return m_includesSubentities; }
    void setIncludesSubentities(bool include) { m_includesSubentities = include; }

    // Sorts objects in place by the descriptors; a stable sort.
    static void sortObjects(QList<DSManagedObject *> *objects, const QList<DSSortDescriptor> &sort);

private:
    QString m_entityName;
    Filter m_filter;
    QList<DSSortDescriptor> m_sort;
    bool m_includesSubentities = true;
};
