#include "model/util/DSError.h"

#include <utility>

const QString DSError::generalDomain = QStringLiteral("org.quillmoth.ostrel.general");

DSError::DSError(QString domain, int code, QString localizedDescription)
    : m_domain(std::move(domain)), m_code(code), m_description(std::move(localizedDescription))
{
}

DSError ds_make_error(int code, const QString &message)
{
    return DSError(DSError::generalDomain, code, message);
}
