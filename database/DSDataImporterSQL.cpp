#include "database/DSDataImporterSQL.h"

#include "database/DSDatabaseSQLQuery.h"
#include "database/DSDatabaseTableQuery.h"
#include "model/util/ds_sql_text.h"
#include "import/ds_text_decoding.h"
#include "model/DSDataTable.h"
#include "model/DSNumberFormatter.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "platform/calendar/ds_gmt_calendar.h"
#include "platform/predicate/DSCompoundPredicate.h"
#include "platform/store/DSObjectPool.h"

#include <QCborMap>
#include <QDateTime>

#include <cmath>
#include <cstring>

DSDataImporterSQL::DSDataImporterSQL(const QUrl &url, const QList<DSDatabaseQueryPtr> &queries)
    : DSDataImporter({url}), m_table_queries(queries)
{
}

bool DSDataImporterSQL::validateQueries(DSError *error)
{
    for (const DSDatabaseQueryPtr &query : m_table_queries)
        if (!validateURL(urls().value(0), *query, error))
            return false;
    return true;
}

bool DSDataImporterSQL::validateURL(const QUrl &, const DSDatabaseQuery &, DSError *)
{
    return false;
}

bool DSDataImporterSQL::parseIntoPool(DSObjectPool &pool, DSError *error)
{
    return importURL(urls().value(0), m_table_queries, pool, error);
}

bool DSDataImporterSQL::importURL(const QUrl &, const QList<DSDatabaseQueryPtr> &, DSObjectPool &, DSError *)
{
    return false;
}

QString DSDataImporterSQL::stringForErrorCode(int code)
{
    switch (code) {
    case 1: return QStringLiteral("Lost connection");
    case 2: return QStringLiteral("Unknown table");
    case 3: return QStringLiteral("Unknown column");
    case 4: return QStringLiteral("Empty query");
    case 5: return QStringLiteral("Syntax error");
    default: return QStringLiteral("Unknown error");
    }
}

QString DSDataImporterSQL::quoteString(const QString &) const
{
    return QString();
}

QString DSDataImporterSQL::quoteIdentifier(const QString &) const
{
    return QString();
}

QString DSDataImporterSQL::operatorStringForOperatorType(DSPredicateOperatorType type) const
{
    switch (type) {
    case DSPredicateOperatorType::LessThan: return QStringLiteral("<");
    case DSPredicateOperatorType::LessThanOrEqualTo: return QStringLiteral("<=");
    case DSPredicateOperatorType::GreaterThan: return QStringLiteral(">");
    case DSPredicateOperatorType::GreaterThanOrEqualTo: return QStringLiteral(">=");
    case DSPredicateOperatorType::EqualTo: return QStringLiteral("=");
    case DSPredicateOperatorType::NotEqualTo: return QStringLiteral("!=");
    case DSPredicateOperatorType::Like:
    case DSPredicateOperatorType::BeginsWith:
    case DSPredicateOperatorType::EndsWith:
    case DSPredicateOperatorType::Contains: return QStringLiteral("LIKE");
    default: return QString();
    }
}

QString DSDataImporterSQL::textValueString(const DSComparisonPredicate &leaf) const
{
    const DSPredicateValue &value = leaf.rightExpression().constantValue();
    const QString text = value.kind() == DSPredicateValue::Kind::String ? value.stringValue() : value.toText();
    switch (leaf.predicateOperatorType()) {
    case DSPredicateOperatorType::BeginsWith: return quoteString(ds_sql_escape_like(text) + u'%');
    case DSPredicateOperatorType::EndsWith: return quoteString(u'%' + ds_sql_escape_like(text));
    case DSPredicateOperatorType::Contains: return quoteString(u'%' + ds_sql_escape_like(text) + u'%');
    default: return quoteString(text);
    }
}

QString DSDataImporterSQL::comparisonStringForComparisonPredicate(const DSComparisonPredicate &leaf,
                                                                  qint64 columnType) const
{
    const QString column = columnStringForKind(quoteIdentifier(leaf.leftExpression().fieldName()), columnType);
    QString value;
    if (columnType == 1) {
        // Exactly the number compared, in the shortest form that reads back
        // as it: a fixed six decimals would turn 1e-07 into 0.
        const double x = leaf.rightExpression().constantValue().toDouble();
        value = std::isfinite(x) ? ds_predicate_number_text(x) : QStringLiteral("NULL");
    } else if (columnType == 4) {
        value = textValueString(leaf);
    } else {
        value = valueStringForKind(leaf.rightExpression().constantValue(), columnType);
    }
    return column + u' ' + operatorStringForOperatorType(leaf.predicateOperatorType()) + u' ' + value;
}

QString DSDataImporterSQL::valueStringForKind(const DSPredicateValue &, qint64) const
{
    return QStringLiteral("NULL");
}

QString DSDataImporterSQL::columnStringForKind(const QString &quotedColumn, qint64) const
{
    return quotedColumn;
}

QString DSDataImporterSQL::localDateOrTime(const DSPredicateValue &value, qint64 columnType)
{
    const double seconds = std::floor(value.toDouble() + kDSUnixToAbsoluteTime);
    if (!std::isfinite(seconds))
        return QStringLiteral("NULL");
    const QDateTime local = QDateTime::fromSecsSinceEpoch(qint64(seconds));
    if (columnType == 7)
        return QStringLiteral("'%1:00'").arg(local.time().toString(QStringLiteral("HH:mm")));
    const QDate date = local.date();
    return QString::asprintf("'%04d-%02d-%02d'", date.year(), date.month(), date.day());
}

namespace {

// The number style of a column of durations in seconds.
constexpr int kDurationNumberStyle = 500;

// The text of a node below WHERE; a compound inside a compound gets
// parentheses, so AND(a, OR(b, c)) keeps its meaning.
QString conditionText(const DSDataImporterSQL &dialect, const DSPredicate &predicate,
                      const QHash<QString, qint64> &columnTypes, bool nested)
{
    if (const auto *leaf = dynamic_cast<const DSComparisonPredicate *>(&predicate))
        return dialect.comparisonStringForComparisonPredicate(*leaf,
                                                              columnTypes.value(leaf->leftExpression().fieldName(), 0));
    const auto *compound = dynamic_cast<const DSCompoundPredicate *>(&predicate);
    if (!compound)
        return QStringLiteral("TRUE");
    const DSCompoundPredicateType type = compound->compoundPredicateType();
    QStringList parts;
    for (const DSPredicatePtr &sub : compound->subpredicates())
        parts.append(conditionText(dialect, *sub, columnTypes, true));
    QString text;
    if (parts.isEmpty())
        // As the predicate itself reads: an empty AND holds, an empty OR
        // does not, and NOT of nothing holds.
        text = type == DSCompoundPredicateType::Or ? QStringLiteral("FALSE") : QStringLiteral("TRUE");
    else if (type == DSCompoundPredicateType::Not)
        text = QStringLiteral("NOT (") + parts.join(QStringLiteral(" OR ")) + u')';
    else
        text = parts.join(type == DSCompoundPredicateType::Or ? QStringLiteral(" OR ") : QStringLiteral(" AND "));
    return nested && parts.size() > 1 ? u'(' + text + u')' : text;
}

} // namespace

QString DSDataImporterSQL::whereClauseForPredicate(const DSPredicate &predicate,
                                                   const QHash<QString, qint64> &columnTypes) const
{
    return QStringLiteral("WHERE ") + conditionText(*this, predicate, columnTypes, false);
}

QString DSDataImporterSQL::baseQueryStringForQuery(const DSDatabaseQuery &query, const QString &select) const
{
    const auto *table = dynamic_cast<const DSDatabaseTableQuery *>(&query);
    // A listed table is named by its schema too, so a same-named table
    // earlier on the search path cannot stand in for it.
    QString from = quoteIdentifier(table ? table->source_table_name() : query.table_name());
    if (table && !table->source_schema_name().isEmpty())
        from = quoteIdentifier(table->source_schema_name()) + u'.' + from;
    QString text = QStringLiteral("SELECT ") + select + QStringLiteral(" FROM ") + from;
    if (table && table->apply_predicate() && table->predicate()) {
        QHash<QString, qint64> kinds;
        for (const DSDatabaseColumnInfoPtr &column : table->columns())
            kinds.insert(column->name(), column->type());
        text += u' ' + whereClauseForPredicate(*table->predicate(), kinds);
    }
    return text;
}

QString DSDataImporterSQL::queryStringForQuery(const DSDatabaseQuery &query) const
{
    if (const auto *sql = dynamic_cast<const DSDatabaseSQLQuery *>(&query))
        return sql->query_string();
    const auto *table = dynamic_cast<const DSDatabaseTableQuery *>(&query);
    if (!table)
        return QString();
    QStringList select;
    for (const DSDatabaseColumnInfoPtr &column : table->columns())
        if (column->is_enabled())
            select.append(quoteIdentifier(column->name()));
    QString text = baseQueryStringForQuery(query, select.join(QStringLiteral(", ")));
    if (table->apply_sort() && !table->sort_by_column_name().isEmpty())
        text += QStringLiteral(" ORDER BY ") + quoteIdentifier(table->sort_by_column_name()) +
                (table->sort_ascending() ? QStringLiteral(" ASC") : QStringLiteral(" DESC"));
    const qint64 limit = table->row_limit();
    const qint64 count = table->unlimited_count();
    if (table->apply_row_limit() && limit > 0 && limit < count) {
        if (table->row_disposition() == 0)
            text += QStringLiteral(" LIMIT %1").arg(limit);
        else if (table->row_disposition() == 1)
            text += QStringLiteral(" LIMIT %1 OFFSET %2").arg(limit).arg(count - limit);
    }
    return text;
}

bool DSDataImporterSQL::ResultTable::finish()
{
    table->setNum_records(rows);
    return slots.finish();
}

bool DSDataImporterSQL::makeTable(DSObjectPool &pool, const QString &name, const QStringList &names,
                                  const QList<int> &kinds, ResultTable *result)
{
    result->table = pool.insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
    if (!result->table)
        return false;
    result->table->setName(name);
    result->slots.reset(names);
    for (qsizetype i = 0; i < names.size(); ++i) {
        DSColumn *column = nullptr;
        DSDataColumn *data = nullptr;
        const int kind = kinds[i];
        if (kind == NumericColumn || kind == BooleanColumn || kind == DurationColumn) {
            auto *numeric = pool.insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
            if (numeric && kind == DurationColumn) {
                // Seconds, shown as a duration. The formatter exists only
                // once the column's dependencies are made.
                numeric->makeDependencies();
                if (DSNumberFormatter *formatter = numeric->number_formatter())
                    formatter->setNumber_style(kDurationNumberStyle);
            }
            if (numeric && kind == BooleanColumn) {
                numeric->setTreat_as_categories(true);
                QCborMap labels;
                labels.insert(0, QStringLiteral("FALSE"));
                labels.insert(1, QStringLiteral("TRUE"));
                numeric->setCategory_labels(labels);
            }
            column = numeric, data = numeric;
        } else if (kind == TextColumn) {
            auto *text = pool.insertNewObject<DSTextDataColumn>(QStringLiteral("DSTextDataColumn"));
            column = text, data = text;
        } else {
            auto *time = pool.insertNewObject<DSTimeDataColumn>(QStringLiteral("DSTimeDataColumn"));
            if (time && kind == TimeOfDayColumn)
                time->setRelative_time_unit(1);
            column = time, data = time;
        }
        if (!column || !result->slots.place(i, column, data, kind, result->table))
            return false;
    }
    return true;
}

void DSDataImporterSQL::dropTable(ResultTable *result)
{
    result->slots.teardown();
    result->table = nullptr;
}

bool DSDataImporterSQL::appendText(DSColumnSlots::Slot &slot, const char *text, size_t length, std::string *scratch)
{
    auto *column = static_cast<DSTextDataColumn *>(slot.column);
    length = strnlen(text, length);
    if (ds_is_valid_utf8(text, length)) {
        if (text[length] == '\0')
            return column->appendTextValue(text);
        scratch->assign(text, length);
        return column->appendTextValue(scratch->c_str());
    }
    return column->appendTextValue(ds_decode_text(text, length, scratch) ? scratch->c_str() : "");
}

qint64 DSDataImporterSQL::countFromRows(const std::optional<QStringList> &rows, DSError *error)
{
    if (!rows)
        return -1;
    if (rows->size() != 1) {
        if (error)
            *error = ds_make_error(
                1, QStringLiteral("Error counting rows. Expected 1 count value, got %1").arg(rows->size()));
        return -1;
    }
    return rows->first().toLongLong();
}

bool DSDataImporterSQL::countQueries(const QList<DSDatabaseQueryPtr> &queries,
                                     const std::function<qint64(const QString &, DSError *)> &count,
                                     DSError *error)
{
    m_rowTotal = 0;
    m_rowCount = 0;
    for (const DSDatabaseQueryPtr &query : queries) {
        auto *table = dynamic_cast<DSDatabaseTableQuery *>(query.get());
        if (!table)
            continue;
        const qint64 n = count(baseQueryStringForQuery(*table, QStringLiteral("COUNT(*)")), error);
        if (n < 0)
            return false;
        table->setUnlimited_count(n);
        m_rowTotal += table->limited_count();
    }
    if (m_rowTotal == 0)
        setAsyncProgressIsIndeterminate(true);
    return true;
}

void DSDataImporterSQL::rowImported()
{
    ++m_rowCount;
    if (m_rowTotal <= 0)
        return;
    // Each whole percent is shown as it is reached, not only every tenth
    // row, so that 35 of 70 rows reads 0.5; a large import still publishes
    // at most a hundred times.
    const double p = double(m_rowCount) / double(m_rowTotal);
    if (std::floor(100 * p) != std::floor(100 * asyncProgress()))
        setAsyncProgress(p);
}
