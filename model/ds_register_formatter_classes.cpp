#include "model/ds_register_formatter_classes.h"

#include "model/DSNumberFormatter.h"
#include "model/DSTextFormatter.h"
#include "platform/store/DSObjectFactory.h"

void ds_register_formatter_classes()
{
    DSObjectFactory::registerClass<DSNumberFormatter>(QStringLiteral("DSNumberFormatter"));
    DSObjectFactory::registerClass<DSTextFormatter>(QStringLiteral("DSTextFormatter"));
}
