#include "model/DSUserDefaults.h"

#include <QCoreApplication>
#include <QSettings>

namespace {

std::unique_ptr<DSUserDefaults> &standard()
{
    static std::unique_ptr<DSUserDefaults> defaults;
    return defaults;
}

QMutex &standardLock()
{
    static QMutex lock;
    return lock;
}

bool isMap(const QVariant &v)
{
    return v.typeId() == QMetaType::QVariantMap;
}

bool isList(const QVariant &v)
{
    return v.typeId() == QMetaType::QVariantList || v.typeId() == QMetaType::QStringList;
}

} // namespace

DSUserDefaults::DSUserDefaults() = default;

DSUserDefaults::DSUserDefaults(const QString &path)
    : m_settings(std::make_unique<QSettings>(path, QSettings::IniFormat))
{
}

DSUserDefaults::~DSUserDefaults() = default;

DSUserDefaults &DSUserDefaults::standardUserDefaults()
{
    QMutexLocker lock(&standardLock());
    std::unique_ptr<DSUserDefaults> &defaults = standard();
    if (!defaults) {
        defaults = std::make_unique<DSUserDefaults>();
        if (!QCoreApplication::organizationName().isEmpty())
            defaults->m_settings = std::make_unique<QSettings>();
    }
    return *defaults;
}

void DSUserDefaults::setStandardUserDefaults(std::unique_ptr<DSUserDefaults> defaults)
{
    QMutexLocker lock(&standardLock());
    std::unique_ptr<DSUserDefaults> &current = standard();
    if (current && defaults)
        defaults->registerDefaults(current->registeredDefaults());
    current = std::move(defaults);
}

void DSUserDefaults::registerDefaults(const QVariantMap &defaults)
{
    QMutexLocker lock(&m_lock);
    m_registered.insert(defaults);
}

QVariantMap DSUserDefaults::registeredDefaults() const
{
    QMutexLocker lock(&m_lock);
    return m_registered;
}

QVariant DSUserDefaults::objectForKey(const QString &key) const
{
    QMutexLocker lock(&m_lock);
    const QVariant stored = m_settings ? m_settings->value(key) : m_memory.value(key);
    return stored.isValid() ? stored : m_registered.value(key);
}

bool DSUserDefaults::hasStoredValue(const QString &key) const
{
    QMutexLocker lock(&m_lock);
    return m_settings ? m_settings->contains(key) : m_memory.contains(key);
}

bool DSUserDefaults::boolForKey(const QString &key) const
{
    return objectForKey(key).toBool();
}

qint64 DSUserDefaults::integerForKey(const QString &key) const
{
    return objectForKey(key).toLongLong();
}

double DSUserDefaults::doubleForKey(const QString &key) const
{
    return objectForKey(key).toDouble();
}

QString DSUserDefaults::stringForKey(const QString &key) const
{
    const QVariant v = objectForKey(key);
    return v.typeId() == QMetaType::QString ? v.toString() : QString();
}

std::optional<QVariantMap> DSUserDefaults::dictionaryForKey(const QString &key) const
{
    const QVariant v = objectForKey(key);
    return isMap(v) ? std::optional<QVariantMap>(v.toMap()) : std::nullopt;
}

std::optional<QVariantList> DSUserDefaults::arrayForKey(const QString &key) const
{
    const QVariant v = objectForKey(key);
    return isList(v) ? std::optional<QVariantList>(v.toList()) : std::nullopt;
}

void DSUserDefaults::setObject(const QVariant &value, const QString &key)
{
    QMutexLocker lock(&m_lock);
    if (m_settings) {
        if (value.isValid())
            m_settings->setValue(key, value);
        else
            m_settings->remove(key);
    } else if (value.isValid()) {
        m_memory.insert(key, value);
    } else {
        m_memory.remove(key);
    }
}

void DSUserDefaults::synchronize()
{
    QMutexLocker lock(&m_lock);
    if (m_settings)
        m_settings->sync();
}
