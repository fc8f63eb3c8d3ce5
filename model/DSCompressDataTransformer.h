#pragma once

#include "platform/store/DSValueTransformer.h"

// The store's transformer of binary data into a zlib stream and back
// (zlibDeflate, zlibInflate): an entity model names it for a binary
// attribute as "DSCompressDataTransformer"; no code calls it directly.
class DSCompressDataTransformer : public DSValueTransformer
{
public:
    std::optional<QByteArray> transformedValue(const QByteArray &value) const override;
    std::optional<QByteArray> reverseTransformedValue(const QByteArray &stored) const override;

    // Registers it with the store under "DSCompressDataTransformer".
    static void registerTransformer();
};
