#pragma once

#include "database/DSDatabaseQuery.h"

// The import of the result of custom SQL, whose text goes to the server
// exactly as typed.
class DSDatabaseSQLQuery : public DSDatabaseQuery
{
public:
    DSDatabaseSQLQuery() = default;
    explicit DSDatabaseSQLQuery(const QString &text) : m_query_string(text) {}

    QString table_name() const override { return QStringLiteral("New Table"); }

    const QString &query_string() const { return m_query_string; }
    void setQuery_string(const QString &text) { m_query_string = text; }

private:
    QString m_query_string;
};
