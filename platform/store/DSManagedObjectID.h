#pragma once

#include <QString>
#include <QUrl>

class DSEntityDescription;

// The identity of an object: its entity, the identifier of the store (or
// pool) that numbers it and its number, which is the object's primary key in
// that store. An object in a context keeps the same identity from insertion
// on, through saves and reopening; an object in a pool has a temporary one.
//
// URI form: x-ostrel://<store identifier>/<entity>/p<number>, or t<number>
// for a temporary identity.
class DSManagedObjectID
{
public:
    DSManagedObjectID() = default;
    DSManagedObjectID(const DSEntityDescription *entity, const QString &storeIdentifier,
                      qint64 number, bool temporary);

    bool isNull() const { return !m_entity; }
    const DSEntityDescription *entity() const { return m_entity; }
    const QString &storeIdentifier() const { return m_storeIdentifier; }
    qint64 number() const { return m_number; }
    bool isTemporaryID() const { return m_temporary; }
    QUrl URIRepresentation() const;

    bool operator==(const DSManagedObjectID &other) const;
    bool operator!=(const DSManagedObjectID &other) const { return !(*this == other); }

    struct URIParts {
        QString storeIdentifier;
        QString entityName;
        qint64 number = 0;
        bool temporary = false;
    };
    // Splits a URI of the form above; answers false for any other URI.
    static bool parseURI(const QUrl &uri, URIParts *parts);

private:
    const DSEntityDescription *m_entity = nullptr;
    QString m_storeIdentifier;
    qint64 m_number = 0;
    bool m_temporary = false;
};
