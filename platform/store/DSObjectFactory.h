#pragma once

#include <QString>

#include <memory>

class DSEntityDescription;
class DSManagedObject;

// Makes the C++ object for an entity. Entity classes are registered
// explicitly by name, by a registration function the application calls at
// start-up (static initialisers in a static library may be dropped by the
// linker, so none are relied on):
//
//   void ds_register_model_classes()
//   {
//       DSObjectFactory::registerClass<DSDataRoot>(QStringLiteral("DSDataRoot"));
//       DSObjectFactory::registerClass<DSDataTable>(QStringLiteral("DSDataTable"));
//   }
//
// Registration and creation are thread-safe: a worker thread may create
// objects in a pool while the main thread works on a document.
class DSObjectFactory
{
public:
    using Maker = DSManagedObject *(*)();

    // Registers (or replaces) the class made for entities whose class name is className.
    static void registerClass(const QString &className, Maker make);
    template <class T>
    static void registerClass(const QString &className)
    {
        registerClass(className, []() -> DSManagedObject * { return new T; });
    }
    static bool isRegistered(const QString &className);

    // A new, uninitialised object for the entity: the class registered under
    // the entity's class name, else the nearest ancestor entity's registered
    // class, else a plain DSManagedObject. The caller owns it.
    static std::unique_ptr<DSManagedObject> create(const DSEntityDescription *entity);
};
