#pragma once

#include "database/DSDatabaseColumnInfo.h"
#include "database/DSDatabaseQuery.h"
#include "platform/predicate/DSPredicate.h"

#include <QList>

using DSDatabaseColumnInfoPtr = std::shared_ptr<DSDatabaseColumnInfo>;

// The import of one server table: which columns, which rows (conditions,
// sort, a row limit keeping the first or the last rows) and, once the
// importer has counted them, how many rows the conditions select.
class DSDatabaseTableQuery : public DSDatabaseQuery
{
public:
    // The table's name, after its schema's ("sales.orders") where the
    // listing found the same name in more than one schema.
    QString table_name() const override;

    const QList<DSDatabaseColumnInfoPtr> &columns() const { return m_columns; }
    void setColumns(const QList<DSDatabaseColumnInfoPtr> &columns) { m_columns = columns; }
    const QString &source_table_name() const { return m_source_table_name; }
    void setSource_table_name(const QString &name) { m_source_table_name = name; }
    // The server schema that holds the table: empty where the server has
    // none (MySQL) or the name needs none.
    const QString &source_schema_name() const { return m_source_schema_name; }
    void setSource_schema_name(const QString &name) { m_source_schema_name = name; }
    // Whether the new table's name carries the schema's.
    bool qualifies_name() const { return m_qualifies_name; }
    void setQualifies_name(bool on) { m_qualifies_name = on; }
    qint64 unlimited_count() const { return m_unlimited_count; }
    void setUnlimited_count(qint64 count) { m_unlimited_count = count; }
    bool apply_predicate() const { return m_apply_predicate; }
    void setApply_predicate(bool on) { m_apply_predicate = on; }
    const DSPredicatePtr &predicate() const { return m_predicate; }
    void setPredicate(const DSPredicatePtr &predicate) { m_predicate = predicate; }
    bool apply_row_limit() const { return m_apply_row_limit; }
    void setApply_row_limit(bool on) { m_apply_row_limit = on; }
    qint64 row_limit() const { return m_row_limit; }
    void setRow_limit(qint64 limit) { m_row_limit = limit; }
    // 0 keeps the first rows, 1 the last rows.
    qint64 row_disposition() const { return m_row_disposition; }
    void setRow_disposition(qint64 disposition) { m_row_disposition = disposition; }
    bool apply_sort() const { return m_apply_sort; }
    void setApply_sort(bool on) { m_apply_sort = on; }
    const QString &sort_by_column_name() const { return m_sort_by_column_name; }
    void setSort_by_column_name(const QString &name) { m_sort_by_column_name = name; }
    bool sort_ascending() const { return m_sort_ascending; }
    void setSort_ascending(bool on) { m_sort_ascending = on; }
    bool is_enabled() const { return m_is_enabled; }
    void setIs_enabled(bool on) { m_is_enabled = on; }

    // The number of rows an import of the table reads: the row limit when
    // it applies, is positive and cuts rows off, else unlimited_count.
    qint64 limited_count() const;
    // The conditions the editor shows while there are none: the first
    // column compared with a value of its kind, inside an AND node; null
    // without columns or when the first column's kind is unknown. New on
    // every call.
    DSPredicatePtr default_predicate() const;

private:
    QList<DSDatabaseColumnInfoPtr> m_columns;
    QString m_source_table_name;
    QString m_source_schema_name;
    bool m_qualifies_name = false;
    qint64 m_unlimited_count = 0;
    bool m_apply_predicate = false;
    DSPredicatePtr m_predicate;
    bool m_apply_row_limit = false;
    qint64 m_row_limit = 0;
    qint64 m_row_disposition = 0;
    bool m_apply_sort = false;
    QString m_sort_by_column_name;
    bool m_sort_ascending = true;
    bool m_is_enabled = false;
};

using DSDatabaseTableQueryPtr = std::shared_ptr<DSDatabaseTableQuery>;
