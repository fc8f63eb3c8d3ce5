#include "platform/store/DSObjectFactory.h"

#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObject.h"

#include <QHash>
#include <QReadWriteLock>

namespace {

QReadWriteLock &registryLock()
{
    static QReadWriteLock lock;
    return lock;
}

QHash<QString, DSObjectFactory::Maker> &registry()
{
    static QHash<QString, DSObjectFactory::Maker> makers;
    return makers;
}

} // namespace

void DSObjectFactory::registerClass(const QString &className, Maker make)
{
    QWriteLocker lock(&registryLock());
    registry().insert(className, make);
}

bool DSObjectFactory::isRegistered(const QString &className)
{
    QReadLocker lock(&registryLock());
    return registry().contains(className);
}

std::unique_ptr<DSManagedObject> DSObjectFactory::create(const DSEntityDescription *entity)
{
    Maker make = nullptr;
    {
        QReadLocker lock(&registryLock());
        for (const DSEntityDescription *e = entity; e && !make; e = e->superentity())
            make = registry().value(e->className());
    }
    return std::unique_ptr<DSManagedObject>(make ? make() : new DSManagedObject);
}
