#include "model/ds_register_model_classes.h"

#include "model/DSDataRoot.h"
#include "model/DSDataTable.h"
#include "platform/store/DSObjectFactory.h"

void ds_register_model_classes()
{
    DSObjectFactory::registerClass<DSDataRoot>(QStringLiteral("DSDataRoot"));
    DSObjectFactory::registerClass<DSTable>(QStringLiteral("DSTable"));
    DSObjectFactory::registerClass<DSDataTable>(QStringLiteral("DSDataTable"));
}
