#pragma once

#include "platform/store/DSPropertyDescription.h"

#include <QVariant>

enum class DSAttributeType {
    Integer16,
    Integer32,
    Integer64,
    Double,
    Boolean,
    String,
    Binary,        // QByteArray, loaded from a store on first access
    Date,          // double seconds since 2001-01-01 00:00:00 GMT
    Transformable  // a property list held as QCborValue (DSPropertyList.h)
};

// An attribute: a typed, nullable value with an optional default.
//
// Values travel as QVariant, a null QVariant meaning none. Whatever a caller
// passes is normalised to one representation per type: qlonglong for the
// three integer types, double for Double and Date, bool, QString,
// QByteArray, and QCborValue for Transformable.
class DSAttributeDescription final : public DSPropertyDescription
{
public:
    bool isAttribute() const override { return true; }
    DSAttributeType attributeType() const { return m_type; }
    // The value a new object starts with (already normalised; null for none).
    const QVariant &defaultValue() const { return m_default; }
    // The name of the DSValueTransformer a store applies to this binary
    // attribute's bytes; empty for none.
    const QString &valueTransformerName() const { return m_valueTransformerName; }

    // Converts a value to this attribute's representation. A null value
    // converts to null. Answers false, with the reason in *why when given,
    // for a value of another kind, an integer out of the type's range, or a
    // property list holding something a property list cannot hold.
    bool normalize(const QVariant &value, QVariant *out, QString *why = nullptr) const;

    // "integer16", "integer32", "integer64", "double", "boolean", "string",
    // "binary", "date", "transformable": the names used in model files.
    static QString typeName(DSAttributeType type);
    static bool typeFromName(const QString &name, DSAttributeType *type);

private:
    friend class DSManagedObjectModel;
    DSAttributeType m_type = DSAttributeType::Integer64;
    QVariant m_default;
    QString m_valueTransformerName;
};
