#pragma once

#include <QHash>
#include <QReadWriteLock>
#include <QString>

// Makers of objects registered under class names: the entity classes of the
// object factory, the migration policies. Thread-safe: registration happens
// at start-up, lookups from any thread.
template <typename Maker>
class DSClassRegistry
{
public:
    void add(const QString &className, Maker make)
    {
        QWriteLocker lock(&m_lock);
        m_makers.insert(className, make);
    }

    // The maker registered under the name, or null.
    Maker find(const QString &className) const
    {
        QReadLocker lock(&m_lock);
        return m_makers.value(className);
    }

private:
    mutable QReadWriteLock m_lock;
    QHash<QString, Maker> m_makers;
};
