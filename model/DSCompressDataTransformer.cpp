#include "model/DSCompressDataTransformer.h"

#include "model/ds_compression.h"

std::optional<QByteArray> DSCompressDataTransformer::transformedValue(const QByteArray &value) const
{
    return zlibDeflate(value);
}

std::optional<QByteArray> DSCompressDataTransformer::reverseTransformedValue(const QByteArray &stored) const
{
    return zlibInflate(stored);
}

void DSCompressDataTransformer::registerTransformer()
{
    setValueTransformer(QStringLiteral("DSCompressDataTransformer"), std::make_shared<DSCompressDataTransformer>());
}
