#include "model/DSColumnSelection.h"

#include "model/DSColumn.h"
#include "model/DSColumnCategory.h"
#include "model/DSIndicatorColumn.h"
#include "model/DSNumericColumn.h"
#include "model/DSTextColumn.h"
#include "model/DSTimeColumn.h"

#include <cmath>
#include <cstring>
#include <functional>
#include <vector>

QList<DSColumn *> DSColumnSelection::columns() const
{
    QList<DSColumn *> result;
    result.reserve(m_entries.size());
    for (const Entry &entry : m_entries)
        result.append(entry.column);
    return result;
}

DSColumn *DSColumnSelection::columnAtIndex(qsizetype i) const
{
    return i >= 0 && i < m_entries.size() ? m_entries[i].column : nullptr;
}

bool DSColumnSelection::containsColumn(const DSColumn *column) const
{
    return std::any_of(m_entries.begin(), m_entries.end(), [column](const Entry &e) { return e.column == column; });
}

DSColumnSelection::Categories DSColumnSelection::categoriesAtIndex(qsizetype i) const
{
    return i >= 0 && i < m_entries.size() ? m_entries[i].categories : Categories();
}

void DSColumnSelection::addColumn(DSColumn *column, const Categories &categories)
{
    for (Entry &entry : m_entries)
        if (entry.column == column) {
            entry.categories = categories;
            return;
        }
    m_entries.append({column, categories});
}

void DSColumnSelection::removeColumn(const DSColumn *column)
{
    m_entries.removeIf([column](const Entry &e) { return e.column == column; });
}

void DSColumnSelection::removeAllCategories()
{
    for (Entry &entry : m_entries)
        entry.categories.clear();
}

void DSColumnSelection::removeFaultedColumns()
{
    m_entries.removeIf([](const Entry &e) { return e.column->isFault() || e.column->isDeleted(); });
}

void DSColumnSelection::removeColumnAtIndex(qsizetype i)
{
    if (i >= 0 && i < m_entries.size())
        m_entries.removeAt(i);
}

void DSColumnSelection::resetWithColumn(DSColumn *column)
{
    m_entries.clear();
    m_entries.append(Entry{column, {}});
}

void DSColumnSelection::unionWithColumnIndexes(const QList<qint64> &indexes)
{
    // One merge walk over two ascending sequences.
    qsizetype i = 0;
    qsizetype j = 0;
    while (i < m_entries.size() && j < indexes.size()) {
        const qint64 index = m_entries[i].column->index();
        if (index < indexes[j])
            m_entries.removeAt(i);
        else if (index == indexes[j])
            ++i, ++j;
        else
            ++j;
    }
    m_entries.resize(i);
}

void DSColumnSelection::addCategory(const std::shared_ptr<DSColumnCategory> &category)
{
    for (Entry &entry : m_entries)
        if (entry.column == category->column()) {
            entry.categories.append(category);
            return;
        }
    m_entries.append({category->column(), {category}});
}

QStringList DSColumnSelection::columnNames() const
{
    QStringList names;
    for (const Entry &entry : m_entries)
        names.append(entry.column->name());
    return names;
}

bool DSColumnSelection::allNumeric() const
{
    return allKindOfClass<DSNumericColumn>();
}

bool DSColumnSelection::anyNumeric() const
{
    return anyKindOfClass<DSNumericColumn>();
}

bool DSColumnSelection::allText() const
{
    return allKindOfClass<DSTextColumn>();
}

bool DSColumnSelection::anyText() const
{
    return anyKindOfClass<DSTextColumn>();
}

bool DSColumnSelection::allTime() const
{
    return allKindOfClass<DSTimeColumn>();
}

bool DSColumnSelection::anyTime() const
{
    return anyKindOfClass<DSTimeColumn>();
}

bool DSColumnSelection::allIndicator() const
{
    return allKindOfClass<DSIndicatorColumn>();
}

bool DSColumnSelection::anyIndicator() const
{
    return anyKindOfClass<DSIndicatorColumn>();
}

namespace {

bool isTimeOfDay(const DSColumn *column)
{
    const auto *time = dynamic_cast<const DSTimeColumn *>(column);
    return time && time->isTimeOfDay();
}

}  // namespace

bool DSColumnSelection::allTimeOfDay() const
{
    return allColumns(isTimeOfDay);
}

bool DSColumnSelection::anyTimeOfDay() const
{
    return allTime() && anyColumn(isTimeOfDay);
}

bool DSColumnSelection::allSurvivalTimes() const
{
    return allColumns([](const DSColumn *c) { return c->treat_as_survival_times(); });
}

bool DSColumnSelection::anySurvivalTimes() const
{
    return anyColumn([](const DSColumn *c) { return c->treat_as_survival_times(); });
}

bool DSColumnSelection::allCategories() const
{
    return allColumns([](const DSColumn *c) { return c->treat_as_categories(); });
}

bool DSColumnSelection::anyCategories() const
{
    return anyColumn([](const DSColumn *c) { return c->treat_as_categories(); });
}

namespace {

// The distinct values of a numeric column without the trailing NaN entry.
std::vector<double> distinctNumbers(DSColumn *column)
{
    const double *index = nullptr;
    qint64 count = static_cast<DSNumericColumn *>(column)->getIndex(&index);
    if (count > 0 && std::isnan(index[count - 1]))
        --count;
    return count > 0 ? std::vector<double>(index, index + count) : std::vector<double>();
}

// The distinct texts of a text column without the trailing blank entry.
std::vector<QByteArray> distinctTexts(DSColumn *column)
{
    const char *const *index = nullptr;
    qint64 count = static_cast<DSTextColumn *>(column)->getIndex(&index);
    if (count > 0 && ds_text_blank(index[count - 1]))
        --count;
    std::vector<QByteArray> texts;
    for (qint64 i = 0; i < count; ++i)
        texts.emplace_back(index[i]);
    return texts;
}

bool sameBits(const std::vector<double> &a, const std::vector<double> &b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

// Whether every column's distinct values equal the first's; their number m.
template <class Distinct, class Same>
bool sameDistinct(const QList<DSColumn *> &columns, const Distinct &distinct, const Same &same, qint64 *m)
{
    const auto first = distinct(columns.first());
    for (qsizetype i = 1; i < columns.size(); ++i)
        if (!same(distinct(columns[i]), first))
            return false;
    *m = qint64(first.size());
    return true;
}

}  // namespace

bool DSColumnSelection::allConformableCategoriesOfCardinality(qint64 n) const
{
    if (m_entries.isEmpty())
        return false;
    if (!allCategories() || anySurvivalTimes() || anyTime())
        return false;
    const QCborMap labels = m_entries.first().column->category_labels();
    if (!allColumns([&](const DSColumn *c) {
            const QCborMap other = c->category_labels();
            return other.size() == labels.size() && (labels.isEmpty() || other == labels);
        }))
        return false;
    const QList<DSColumn *> selected = columns();
    qint64 m = 0;
    if (allNumeric()) {
        if (!sameDistinct(selected, distinctNumbers, sameBits, &m))
            return false;
    } else if (allIndicator()) {
        m = 2;
    } else if (allText()) {
        if (!sameDistinct(selected, distinctTexts, std::equal_to<>(), &m))
            return false;
    } else {
        return false;
    }
    return n == -1 || n == m;
}
