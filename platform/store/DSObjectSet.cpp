#include "platform/store/DSObjectSet.h"

DSObjectSet &DSObjectSet::operator=(const DSObjectSet &other)
{
    if (this != &other) {
        m_items = other.m_items;
        m_index.reset();
    }
    return *this;
}

bool DSObjectSet::contains(const DSManagedObject *object) const
{
    if (m_items.size() < k_indexThreshold)
        return m_items.contains(object);
    if (!m_index) {
        m_index = std::make_unique<QSet<const DSManagedObject *>>();
        m_index->reserve(m_items.size());
        for (const DSManagedObject *o : m_items)
            m_index->insert(o);
    }
    return m_index->contains(object);
}

bool DSObjectSet::insert(DSManagedObject *object)
{
    if (!object || contains(object))
        return false;
    m_items.append(object);
    if (m_index)
        m_index->insert(object);
    return true;
}

bool DSObjectSet::remove(DSManagedObject *object)
{
    if (!contains(object))
        return false;
    m_items.removeOne(object);
    if (m_index)
        m_index->remove(object);
    return true;
}

void DSObjectSet::assign(const DSObjectList &objects)
{
    m_items.clear();
    m_index.reset();
    for (DSManagedObject *o : objects)
        insert(o);
}
