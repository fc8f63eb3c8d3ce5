#pragma once

#include "ModelTestSupport.h"

#include "model/DSColumnCategory.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSStatDocument.h"
#include "model/DSTextDataColumn.h"
#include "model/DSTimeDataColumn.h"
#include "platform/store/DSManagedObjectContext.h"

#include <QMap>

#include <cstring>
#include <memory>
#include <string>
#include <vector>

// The application's entity model plus what these tests need and the model
// does not have yet: a derived column that needs two inputs (a division), a
// joined column and a category column whose categories a test sets.
std::shared_ptr<const DSManagedObjectModel> ds_columns_test_model();

// Registers the application's classes and the test classes below.
void ds_columns_test_setup();

// The stored numeric column with probes into its caches.
class ProbedDataColumn : public DSNumericDataColumn
{
public:
    // Pretends an index was built, as the index operations would.
    void cacheIndex() { temp_indexed_values.reserve(1); }
    bool hasIndex() const { return !temp_indexed_values.isEmpty(); }
};

// input(0) / input(1), computed into the value buffer per request; it
// cannot live without both inputs.
class TestDivisionColumn : public DSNumericColumn
{
public:
    using DSNumericColumn::getValues;
    qint64 getValues(const double **out, qint64 offset, qint64 limit) override;
    bool needsDeletion() override { return objectsForKey(QStringLiteral("inputs")).size() != 2; }
    QString suggestedName() const override;

    void cacheIndex() { temp_indexed_values.reserve(1); }
    bool hasIndex() const { return !temp_indexed_values.isEmpty(); }
    // How many times purgeIndex ran.
    int indexPurges = 0;
    void purgeIndex() override
    {
        ++indexPurges;
        DSNumericColumn::purgeIndex();
    }
};

// A column whose categories (and display order) a test sets.
class TestCategoryColumn : public DSColumn
{
public:
    struct Entry
    {
        qint64 count;
        bool missing;
    };
    std::vector<Entry> entries;
    std::vector<int32_t> order;

    Categories categoriesForMask(const uint8_t *, qint64) override;
    qint64 getIndexedValueOrder(const int32_t **out) override;
};

// A table of the test model in a context with undo, with helpers to add
// stored columns holding given values.
class ColumnsFixture
{
public:
    ColumnsFixture();
    ~ColumnsFixture();

    DSManagedObjectContext &context() { return *m_context; }
    DSDataTable *table() const { return m_table; }

    // A stored column at the end of the table; the table's row count becomes
    // the number of values when it has fewer rows.
    ProbedDataColumn *addColumn(const std::vector<double> &values, const QString &name = QStringLiteral("x"));
    // A stored text column at the end of the table (a null text appends a
    // blank row), saved as an import leaves it; the table's row count grows
    // to the number of texts when it has fewer rows.
    DSTextDataColumn *addTextColumn(const std::vector<const char *> &texts, const QString &name = QStringLiteral("t"));
    // A column of another entity, inserted at the end of the table.
    template <class T>
    T *addColumnOfEntity(const char *entity, const QString &name)
    {
        auto *column = m_context->insertNewObject<T>(QString::fromLatin1(entity));
        column->setName(name);
        m_table->insertNewColumns({column}, m_table->columns().size());
        return column;
    }
    // Ends the current undo group, as the end of an event does.
    void endEvent();
    // Sets and applies the column's missing-values predicate, parsed from
    // text (a test failure when it does not parse).
    static void usePredicate(DSColumn *column, const char *text);

private:
    std::unique_ptr<DSManagedObjectContext> m_context;
    DSDataTable *m_table = nullptr;
};

// A new document of the native type whose active table holds stored
// columns as an import leaves them, with the document's own undo.
struct EditedDocument
{
    DSStatDocument document;
    // The numeric column "x" of the first constructor.
    DSNumericDataColumn *x = nullptr;

    EditedDocument();
    // With the numeric column "x" holding values; the table has their rows.
    explicit EditedDocument(const std::vector<double> &values);
    // Appends a stored text column holding texts (the empty text a blank
    // row); the table's rows grow to the number of texts when fewer.
    DSTextDataColumn *addTextColumn(const std::vector<std::string> &texts, const QString &name = QStringLiteral("t"));
    // Appends a stored time column holding values with their intervals (of
    // the same count); the table's rows grow to their count when fewer.
    DSTimeDataColumn *addTimeColumn(const std::vector<double> &values, const std::vector<double> &intervals,
                                    const QString &name = QStringLiteral("d"));
    DSUndoManager *undoManager() { return document.managedObjectContext()->undoManager(); }
    bool save(const QString &path, DSSaveOperation operation, DSError *error);
    // save() in place while the column allocator refuses every block, as
    // when memory runs out; its answer.
    bool saveWithoutMemory(const QString &path, DSError *error);
};

// Every file of a package, by name, with its bytes.
QMap<QString, QByteArray> ds_package_files(const QString &path);

// Bits of a double, so NaN payloads and -0 compare exactly.
inline uint64_t ds_bits(double x)
{
    uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    return bits;
}

inline double ds_from_bits(uint64_t bits)
{
    double x;
    std::memcpy(&x, &bits, sizeof x);
    return x;
}

// The mask's bit of a row.
inline bool ds_bit(const uint8_t *mask, qint64 length, qint64 row)
{
    return mask && row / 8 < length && ((mask[row / 8] >> (row % 8)) & 1);
}
