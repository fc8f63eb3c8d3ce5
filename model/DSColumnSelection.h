#pragma once

#include <QList>
#include <QStringList>

#include <algorithm>
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
    // Appends the category to its column's list, selecting the column (at
    // the end) when it is not selected.
    void addCategory(const std::shared_ptr<DSColumnCategory> &category);
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

    // The columns' names in order.
    QStringList columnNames() const;

    // Questions that decide which test and picture apply. For an empty
    // selection every all-question answers true and every any-question
    // false (anyTimeOfDay included).
    template <class T>
    bool allKindOfClass() const
    {
        return allColumns([](const DSColumn *c) { return dynamic_cast<const T *>(c) != nullptr; });
    }
    template <class T>
    bool anyKindOfClass() const
    {
        return anyColumn([](const DSColumn *c) { return dynamic_cast<const T *>(c) != nullptr; });
    }
    bool allNumeric() const;
    bool anyNumeric() const;
    bool allText() const;
    bool anyText() const;
    bool allTime() const;
    bool anyTime() const;
    bool allIndicator() const;
    bool anyIndicator() const;
    // Every column a time column, each of the time of day.
    bool allTimeOfDay() const;
    // Every column a time column, one at least of the time of day.
    bool anyTimeOfDay() const;
    bool allSurvivalTimes() const;
    bool anySurvivalTimes() const;
    bool allCategories() const;
    bool anyCategories() const;
    // Whether every column is a category column (not survival times, not
    // time) with the first column's value labels and the same distinct
    // values, bit for bit for numbers and byte for byte for texts (missing
    // entries left out), and there are n of them (-1: any number). Two
    // indicator columns always share their two values. Needs a column.
    bool allConformableCategoriesOfCardinality(qint64 n) const;
    bool allConformableCategories() const { return allConformableCategoriesOfCardinality(-1); }
    bool allBinaryConformableCategories() const { return allConformableCategoriesOfCardinality(2); }

private:
    template <class Test>
    bool allColumns(const Test &test) const
    {
        return std::all_of(m_entries.begin(), m_entries.end(), [&](const Entry &e) { return test(e.column); });
    }
    template <class Test>
    bool anyColumn(const Test &test) const
    {
        return std::any_of(m_entries.begin(), m_entries.end(), [&](const Entry &e) { return test(e.column); });
    }

    struct Entry
    {
        DSColumn *column;
        Categories categories;
    };
    DSTable *m_table;
    QList<Entry> m_entries;
};
