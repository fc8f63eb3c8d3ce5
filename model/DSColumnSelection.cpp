#include "model/DSColumnSelection.h"

#include "model/DSColumn.h"

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
