#pragma once

#include <QString>

#include <memory>

// One table of a database import: a server table or the result of custom
// SQL. Plain in-memory objects, shared by the import sheet's second step and
// the importer for the length of one import; nothing of them is stored.
class DSDatabaseQuery
{
public:
    virtual ~DSDatabaseQuery() = default;

    // The name of the table that importing the query creates.
    virtual QString table_name() const { return m_table_name; }

protected:
    QString m_table_name;
};

using DSDatabaseQueryPtr = std::shared_ptr<DSDatabaseQuery>;
