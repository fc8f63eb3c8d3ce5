#include "platform/store/DSValueTransformer.h"

#include "platform/store/DSClassRegistry.h"

namespace {

DSClassRegistry<std::shared_ptr<const DSValueTransformer>> &registry()
{
    static DSClassRegistry<std::shared_ptr<const DSValueTransformer>> transformers;
    return transformers;
}

} // namespace

DSValueTransformer::~DSValueTransformer() = default;

void DSValueTransformer::setValueTransformer(const QString &name, std::shared_ptr<const DSValueTransformer> transformer)
{
    registry().add(name, std::move(transformer));
}

std::shared_ptr<const DSValueTransformer> DSValueTransformer::valueTransformerForName(const QString &name)
{
    return registry().find(name);
}
