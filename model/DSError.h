#pragma once

#include <QString>

// An error a user may be shown: a domain, a code and a message. Failures
// travel back to where a document presents them as one of these; nothing
// throws across a library boundary.
struct DSError {
    QString domain;
    int code = 0;
    QString localizedDescription;
};

// The domain of the application's general errors.
inline const QString kDSGeneralErrorDomain = QStringLiteral("org.quillmoth.ostrel");

// An error of the general domain with the code and message.
inline DSError ds_make_error(int code, const QString &message)
{
    return DSError{kDSGeneralErrorDomain, code, message};
}
