#include "platform/store/DSObjectOwner.h"

#include "platform/store/DSAttributeDescription.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObject.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSObjectFactory.h"

#include <QDebug>
#include <QUuid>

DSObjectOwner::DSObjectOwner(std::shared_ptr<const DSManagedObjectModel> model)
    : m_model(std::move(model)), m_identifier(QUuid::createUuid().toString(QUuid::WithoutBraces))
{
}

DSObjectOwner::~DSObjectOwner()
{
    // Owners that fault their objects in their own destructor (the context)
    // have left nothing for this one.
    destroyObjects();
}

const DSEntityDescription *DSObjectOwner::entityForInsertion(const QString &entityName) const
{
    const DSEntityDescription *entity = m_model->entityNamed(entityName);
    if (!entity)
        qWarning("The model %s has no entity named %s", qPrintable(m_model->name()), qPrintable(entityName));
    return entity;
}

DSManagedObject *DSObjectOwner::makeObject(const DSEntityDescription *entity, qint64 number)
{
    if (!entity || entity->isAbstract() || entity->managedObjectModel() != m_model.get()) {
        qWarning("Cannot make an object of %s", entity ? qPrintable(entity->name()) : "no entity");
        return nullptr;
    }
    std::unique_ptr<DSManagedObject> object = DSObjectFactory::create(entity);
    object->m_entity = entity;
    object->m_owner = this;
    object->m_context = dynamic_cast<DSManagedObjectContext *>(this);
    object->m_number = number;
    object->m_attributes.reserve(entity->attributes().size());
    for (const DSAttributeDescription *a : entity->attributes())
        object->m_attributes.push_back(a->defaultValue());
    object->m_toOne.assign(size_t(entity->toOneCount()), nullptr);
    object->m_toMany.resize(size_t(entity->toManyCount()));
    m_objects.push_back(std::move(object));
    return m_objects.back().get();
}

void DSObjectOwner::destroyObjects()
{
    for (const auto &object : m_objects)
        if (!object->hasFlag(DSManagedObject::Fault)) {
            object->setFlag(DSManagedObject::Fault, true);
            object->didTurnIntoFault();
        }
    // Last made, first destroyed: a destructor never sees an object made
    // after it gone while one made before it is still there.
    while (!m_objects.empty())
        m_objects.pop_back();
}
