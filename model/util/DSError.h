#pragma once

#include <QMetaType>
#include <QString>

// The error a failure carries back to whoever presents it: a domain, an
// integer code and the message shown to the user. Plain value; copying is
// cheap (QString is implicitly shared) and safe across threads.
class DSError
{
public:
    // The domain of every error the application makes itself.
    static const QString generalDomain;

    DSError() = default;
    DSError(QString domain, int code, QString localizedDescription);

    const QString &domain() const { return m_domain; }
    int code() const { return m_code; }
    const QString &localizedDescription() const { return m_description; }

    // An error made by the default constructor: no domain, code 0.
    bool isNull() const { return m_domain.isEmpty() && m_code == 0; }

    bool operator==(const DSError &other) const = default;

private:
    QString m_domain;
    int m_code = 0;
    QString m_description;
};

Q_DECLARE_METATYPE(DSError)

// An error in the general domain with `code` and `message` as its localized
// description. The one way the application makes the errors that documents
// present and that imports and model runs keep.
DSError ds_make_error(int code, const QString &message);
