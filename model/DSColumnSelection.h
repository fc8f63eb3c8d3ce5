#pragma once

#include <QList>

#include <memory>

class DSColumn;
class DSColumnCategory;
class DSTable;

// The selected columns of one table, in selection order, each with its
// selected categories (none: the whole column). Held by a table for its
// summary and covariate panes; entries hold no ownership of the columns.
class DSColumnSelection
{
public:
    using Categories = QList<std::shared_ptr<DSColumnCategory>>;

    explicit DSColumnSelection(DSTable *table = nullptr) : m_table(table) {}

    DSTable *table() const { return m_table; }
    qsizetype count() const { return m_entries.size(); }
    QList<DSColumn *> columns() const;
    // The i-th column, or null outside 0 to count − 1.
    DSColumn *columnAtIndex(qsizetype i) const;
    // As columnAtIndex, a negative position counting from the end (−1 the last).
    DSColumn *operator[](qsizetype i) const { return columnAtIndex(i < 0 ? count() + i : i); }
    bool containsColumn(const DSColumn *column) const;
    // The selected categories of the i-th column (empty for the whole column).
    Categories categoriesAtIndex(qsizetype i) const;
    qsizetype numberOfCategoriesAtIndex(qsizetype i) const { return categoriesAtIndex(i).size(); }

    // Appends the column with a copy of the categories (or replaces its
    // categories when it is selected already).
    void addColumn(DSColumn *column, const Categories &categories = {});
    void removeColumn(const DSColumn *column);
    // Removes the i-th column with its categories; nothing outside the range.
    void removeColumnAtIndex(qsizetype i);
    // Selects the column alone, without categories.
    void resetWithColumn(DSColumn *column);
    // Keeps only the columns whose index (position in their table) is in the
    // list. Both the selection and the list must ascend by column index.
    void unionWithColumnIndexes(const QList<qint64> &indexes);
    void removeAllColumns() { m_entries.clear(); }
    // Keeps the columns, forgets their categories.
    void removeAllCategories();
    // Drops columns that are deleted or no longer loaded.
    void removeFaultedColumns();

private:
    struct Entry
    {
        DSColumn *column;
        Categories categories;
    };
    DSTable *m_table;
    QList<Entry> m_entries;
};
