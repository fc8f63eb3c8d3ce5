#pragma once

#include "database/DSDatabaseQuery.h"
#include "import/DSColumnSlots.h"
#include "model/DSDataImporter.h"
#include "platform/predicate/DSComparisonPredicate.h"

#include <QHash>
#include <QStringList>

class DSDataTable;

// The importer of database queries: one new table per query, read from a
// MySQL or PostgreSQL server (the dialect subclasses), with the server URL
// (user, password, host, port, database as the last path component) as its
// one URL. It also builds the SQL text of table queries, through the
// dialect's quoting and value forms.
//
// Query error codes: 1 "Lost connection", 2 "Unknown table", 3 "Unknown
// column", 4 "Empty query", 5 "Syntax error", any other "Unknown error".
class DSDataImporterSQL : public DSDataImporter
{
public:
    DSDataImporterSQL(const QUrl &url, const QList<DSDatabaseQueryPtr> &queries);

    const QList<DSDatabaseQueryPtr> &table_queries() const { return m_table_queries; }

    // Whether every query passes validateURL with the importer's URL, tried
    // in order; the first failure answers false with its error. Blocks while
    // it talks to the server.
    bool validateQueries(DSError *error);
    // Table queries always pass; custom SQL is checked by the server without
    // running it. The base refuses.
    virtual bool validateURL(const QUrl &url, const DSDatabaseQuery &query, DSError *error);

    bool parseIntoPool(DSObjectPool &pool, DSError *error) override;
    // Counts the table queries' rows, then imports every query into a new
    // table of the pool, in query order. False with the error (none after an
    // abort); the pool then holds nothing the document should take.
    virtual bool importURL(const QUrl &url, const QList<DSDatabaseQueryPtr> &queries, DSObjectPool &pool,
                           DSError *error);

    static QString stringForErrorCode(int code);

    virtual QString quoteString(const QString &text) const;
    virtual QString quoteIdentifier(const QString &name) const;
    // "<", "LIKE", ...; empty for a code that has none.
    virtual QString operatorStringForOperatorType(DSPredicateOperatorType type) const;
    // "column operator value" for a leaf on a column of the kind.
    virtual QString comparisonStringForComparisonPredicate(const DSComparisonPredicate &leaf, qint64 columnType) const;
    // "WHERE …"; nested AND and OR nodes in parentheses.
    QString whereClauseForPredicate(const DSPredicate &predicate, const QHash<QString, qint64> &columnTypes) const;
    // "SELECT select FROM table [WHERE …]".
    QString baseQueryStringForQuery(const DSDatabaseQuery &query, const QString &select) const;
    // The whole statement of a query; a null text for a query of no known
    // class.
    QString queryStringForQuery(const DSDatabaseQuery &query) const;

    // Appends a received text to the text column of the slot: as UTF-8 when
    // it is, else as Windows-1252 (binary data), else missing. The text is
    // read up to length or its first zero byte; the byte at length must be
    // readable (the client libraries end their values with a zero). False
    // when memory ran out.
    static bool appendText(DSColumnSlots::Slot &slot, const char *text, size_t length, std::string *scratch);

    // The kinds of the columns an import makes.
    // A duration is a numeric column of seconds shown as a duration.
    enum ColumnKind { NumericColumn, BooleanColumn, TextColumn, TimeColumn, TimeOfDayColumn, DurationColumn };

protected:

    // The table of one query while its rows arrive.
    struct ResultTable
    {
        DSDataTable *table = nullptr;
        DSColumnSlots slots;
        qint64 rows = 0;

        // Sets the row count and saves and numbers the columns.
        bool finish();
    };

    // Makes a table of the pool named after the query, with one column per
    // name and kind (the kinds given by ColumnKind), in order. False when
    // the pool cannot make them.
    static bool makeTable(DSObjectPool &pool, const QString &name, const QStringList &names,
                          const QList<int> &kinds, ResultTable *result);
    // Drops the import buffers of the table's columns (after a failure).
    static void dropTable(ResultTable *result);


    // The dialect's value text of a right-hand constant on a column of a
    // kind other than numeric and text; "NULL" where it has none.
    virtual QString valueStringForKind(const DSPredicateValue &value, qint64 columnType) const;
    // The column as compared for a kind (a date part for dates and times).
    virtual QString columnStringForKind(const QString &quotedColumn, qint64 columnType) const;

    // The user's date in the machine's time zone, quoted: '2024-03-01' for
    // kinds 5 and 6, '14:05:00' (to the minute) for 7; "NULL" for no date.
    static QString localDateOrTime(const DSPredicateValue &value, qint64 columnType);
    // One count answer: exactly one row, read as an integer, else -1 with
    // the error.
    static qint64 countFromRows(const std::optional<QStringList> &rows, DSError *error);
    // The count phase: each table query's unlimited_count from count, the
    // total of the limited counts kept for the progress (indeterminate at
    // 0). False with count's error.
    bool countQueries(const QList<DSDatabaseQueryPtr> &queries,
                      const std::function<qint64(const QString &, DSError *)> &count, DSError *error);
    // One more row imported: the progress moves with each whole percent.
    void rowImported();

private:
    QString textValueString(const DSComparisonPredicate &leaf) const;

    QList<DSDatabaseQueryPtr> m_table_queries;
    qint64 m_rowTotal = 0;
    qint64 m_rowCount = 0;
};
