#include "platform/store/DSManagedObjectID.h"

#include "platform/store/DSEntityDescription.h"

namespace {
// Constant-initialised: identities may be asked for during static
// initialisation of another file.
constexpr QLatin1String k_scheme("x-ostrel");
}

DSManagedObjectID::DSManagedObjectID(const DSEntityDescription *entity, const QString &storeIdentifier,
                                     qint64 number, bool temporary)
    : m_entity(entity), m_storeIdentifier(storeIdentifier), m_number(number), m_temporary(temporary)
{
}

QUrl DSManagedObjectID::URIRepresentation() const
{
    if (!m_entity)
        return QUrl();
    QUrl uri;
    uri.setScheme(QString(k_scheme));
    uri.setHost(m_storeIdentifier);
    uri.setPath(QLatin1Char('/') + m_entity->name() + QLatin1Char('/')
                + (m_temporary ? QLatin1Char('t') : QLatin1Char('p')) + QString::number(m_number));
    return uri;
}

bool DSManagedObjectID::operator==(const DSManagedObjectID &other) const
{
    return m_entity == other.m_entity && m_number == other.m_number
           && m_temporary == other.m_temporary && m_storeIdentifier == other.m_storeIdentifier;
}

bool DSManagedObjectID::parseURI(const QUrl &uri, URIParts *parts)
{
    if (uri.scheme() != k_scheme || uri.host().isEmpty())
        return false;
    const QStringList path = uri.path().split(QLatin1Char('/'));
    if (path.size() != 3 || !path[0].isEmpty() || path[1].isEmpty() || path[2].size() < 2)
        return false;
    const QChar kind = path[2].front();
    if (kind != QLatin1Char('p') && kind != QLatin1Char('t'))
        return false;
    bool ok = false;
    const qint64 number = path[2].mid(1).toLongLong(&ok);
    if (!ok || number <= 0)
        return false;
    parts->storeIdentifier = uri.host();
    parts->entityName = path[1];
    parts->number = number;
    parts->temporary = kind == QLatin1Char('t');
    return true;
}
