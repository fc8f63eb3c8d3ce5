#pragma once

#include <QByteArray>
#include <QString>

#include <memory>
#include <optional>

// A reversible transformation of binary data between its value in memory and
// its bytes in a store file. An entity model names one for a binary
// attribute ("valueTransformerName"); the store applies it when it writes
// the attribute and reverses it when it reads it back.
//
// Transformers are registered by name at start-up and shared by every
// thread; each must be stateless.
class DSValueTransformer
{
public:
    virtual ~DSValueTransformer();

    // The stored form of a value; none when it cannot be made (the save
    // then fails and writes nothing).
    virtual std::optional<QByteArray> transformedValue(const QByteArray &value) const = 0;
    // The value of a stored form; none for bytes that are not one (the
    // attribute then reads as none).
    virtual std::optional<QByteArray> reverseTransformedValue(const QByteArray &stored) const = 0;

    // Registers (or replaces) the transformer under name.
    static void setValueTransformer(const QString &name, std::shared_ptr<const DSValueTransformer> transformer);
    // The transformer registered under name, or null.
    static std::shared_ptr<const DSValueTransformer> valueTransformerForName(const QString &name);
};
