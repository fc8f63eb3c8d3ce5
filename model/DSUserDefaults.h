#pragma once

#include <QMutex>
#include <QString>
#include <QVariant>
#include <QVariantMap>

#include <memory>
#include <optional>

class QSettings;

// The user's preferences, as the application reads them: a value the user
// stored wins; otherwise a registered value answers; otherwise none.
// Registered values are never written anywhere; they live for the process.
//
// Stored values live in a QSettings file, or in memory only. The standard
// defaults use the application's QSettings (organisation and application
// name set by main()); in a process that names no organisation (the core
// tests) they stay in memory, so no test ever reads or writes the user's
// real settings. Tests that need a file point the standard defaults at a
// scratch one.
//
// Thread-safe: importers build tables on worker threads, and a new table
// reads its column masks from here.
class DSUserDefaults
{
public:
    // Values kept in memory only.
    DSUserDefaults();
    // Values kept in the INI file at path (created on first write).
    explicit DSUserDefaults(const QString &path);
    ~DSUserDefaults();
    DSUserDefaults(const DSUserDefaults &) = delete;
    DSUserDefaults &operator=(const DSUserDefaults &) = delete;

    static DSUserDefaults &standardUserDefaults();
    // Replaces the standard defaults (tests: a scratch file or memory). The
    // registered values move along.
    static void setStandardUserDefaults(std::unique_ptr<DSUserDefaults> defaults);

    // Adds (or replaces) registered values. Stored values are untouched.
    void registerDefaults(const QVariantMap &defaults);
    QVariantMap registeredDefaults() const;

    // The stored value, else the registered one, else none.
    QVariant objectForKey(const QString &key) const;
    // Whether the user stored a value (registered ones do not count).
    bool hasStoredValue(const QString &key) const;

    // Typed reads; none reads as false, 0 or an empty container. Settings
    // files keep scalars as text, so "true" and "5" read back as YES and 5.
    bool boolForKey(const QString &key) const;
    qint64 integerForKey(const QString &key) const;
    double doubleForKey(const QString &key) const;
    QString stringForKey(const QString &key) const;
    // A dictionary or array value; anything else reads as none.
    std::optional<QVariantMap> dictionaryForKey(const QString &key) const;
    std::optional<QVariantList> arrayForKey(const QString &key) const;

    // Stores a value; none removes the stored value (the registered one
    // answers again).
    void setObject(const QVariant &value, const QString &key);
    void setBool(bool value, const QString &key) { setObject(QVariant(value), key); }
    void setInteger(qint64 value, const QString &key) { setObject(QVariant(qlonglong(value)), key); }
    void removeObjectForKey(const QString &key) { setObject(QVariant(), key); }

    // Writes stored values to the file now (they are also written on exit).
    void synchronize();

private:
    mutable QMutex m_lock;
    std::unique_ptr<QSettings> m_settings;  // null: values in memory
    QVariantMap m_memory;
    QVariantMap m_registered;
};
