#include "platform/store/DSObjectFactory.h"

#include "platform/store/DSClassRegistry.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObject.h"

namespace {

DSClassRegistry<DSObjectFactory::Maker> &registry()
{
    static DSClassRegistry<DSObjectFactory::Maker> classes;
    return classes;
}

} // namespace

void DSObjectFactory::registerClass(const QString &className, Maker make)
{
    registry().add(className, make);
}

bool DSObjectFactory::isRegistered(const QString &className)
{
    return registry().find(className) != nullptr;
}

std::unique_ptr<DSManagedObject> DSObjectFactory::create(const DSEntityDescription *entity)
{
    Maker make = nullptr;
    for (const DSEntityDescription *e = entity; e && !make; e = e->superentity())
        make = registry().find(e->className());
    return std::unique_ptr<DSManagedObject>(make ? make() : new DSManagedObject);
}
