#include "ColumnsTestSupport.h"

#include "platform/predicate/DSPredicate.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSObjectFactory.h"
#include "platform/store/DSUndoManager.h"

#include <QDirIterator>
#include <QFile>
#include <QUrl>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <gtest/gtest.h>

namespace {

QJsonObject entity(const char *name, const char *parent)
{
    return QJsonObject{{QStringLiteral("name"), QString::fromLatin1(name)},
                       {QStringLiteral("parent"), QString::fromLatin1(parent)}};
}

} // namespace

std::shared_ptr<const DSManagedObjectModel> ds_columns_test_model()
{
    static const std::shared_ptr<const DSManagedObjectModel> model = [] {
        QFile file(QStringLiteral(":/models/DSDataModel006.json"));
        if (!file.open(QIODevice::ReadOnly))
            return std::shared_ptr<const DSManagedObjectModel>();
        QJsonObject json = QJsonDocument::fromJson(file.readAll()).object();
        QJsonArray entities = json.value(QStringLiteral("entities")).toArray();
        entities.append(entity("DSTestDivisionColumn", "DSNumericColumn"));
        entities.append(entity("DSTestJoinedColumn", "DSNumericColumn"));
        entities.append(entity("DSTestCategoryColumn", "DSColumn"));
        entities.append(entity("DSTestNumericColumn", "DSNumericColumn"));
        entities.append(entity("DSTestIndicatorColumn", "DSIndicatorColumn"));
        json.insert(QStringLiteral("entities"), entities);
        DSStoreError error;
        auto loaded = DSManagedObjectModel::fromJson(QJsonDocument(json).toJson(), &error);
        if (!loaded)
            ADD_FAILURE() << error.message().toStdString();
        return loaded;
    }();
    return model;
}

void ds_columns_test_setup()
{
    ds_test_setup();
    DSObjectFactory::registerClass<ProbedDataColumn>(QStringLiteral("DSNumericDataColumn"));
    DSObjectFactory::registerClass<TestDivisionColumn>(QStringLiteral("DSTestDivisionColumn"));
    DSObjectFactory::registerClass<TestCategoryColumn>(QStringLiteral("DSTestCategoryColumn"));
}

qint64 TestDivisionColumn::getValues(const double **out, qint64 offset, qint64 limit)
{
    const qint64 count = rowsInRange(offset, limit);
    double *buffer = count > 0 ? valueBuffer(count) : nullptr;
    if (!buffer) {
        *out = nullptr;
        return 0;
    }
    DSColumn *dividend = inputColumnAtIndex(0), *divisor = inputColumnAtIndex(1);
    // Both inputs are read before either pointer is used: x / x reads one
    // column twice.
    const double *a = nullptr, *b = nullptr;
    const qint64 na = dividend ? static_cast<DSNumericColumn *>(dividend)->getValues(&a, offset, count) : 0;
    const qint64 nb = divisor ? static_cast<DSNumericColumn *>(divisor)->getValues(&b, offset, count) : 0;
    for (qint64 i = 0; i < count; ++i)
        buffer[i] = i < na && i < nb ? a[i] / b[i] : NAN;
    temp_values.setUsed(count);
    *out = buffer;
    return count;
}

QString TestDivisionColumn::suggestedName() const
{
    const DSColumn *a = inputColumnAtIndex(0), *b = inputColumnAtIndex(1);
    return a && b ? a->name() + QStringLiteral(" / ") + b->name() : QString();
}

DSColumn::Categories TestCategoryColumn::categoriesForMask(const uint8_t *, qint64)
{
    Categories categories;
    for (size_t i = 0; i < entries.size(); ++i) {
        auto category = std::make_shared<DSColumnCategory>();
        category->setIndex(qint64(i));
        category->setCount(entries[i].count);
        category->setIs_missing(entries[i].missing);
        categories.append(category);
    }
    return categories;
}

qint64 TestCategoryColumn::getIndexedValueOrder(const int32_t **out)
{
    if (order.empty())
        return 0;
    *out = order.data();
    return qint64(order.size());
}

ColumnsFixture::ColumnsFixture() : m_context(std::make_unique<DSManagedObjectContext>(ds_columns_test_model()))
{
    m_table = m_context->insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
    m_table->setName(QStringLiteral("People"));
    m_table->makeDependencies();
    endEvent();
}

ColumnsFixture::~ColumnsFixture() = default;

ProbedDataColumn *ColumnsFixture::addColumn(const std::vector<double> &values, const QString &name)
{
    if (m_table->num_records() < qint64(values.size()))
        m_table->setNum_records(qint64(values.size()));
    auto *column = addColumnOfEntity<ProbedDataColumn>("DSNumericDataColumn", name);
    for (double x : values)
        column->appendValue(x);
    column->save();
    return column;
}

DSTextDataColumn *ColumnsFixture::addTextColumn(const std::vector<const char *> &texts, const QString &name)
{
    if (m_table->num_records() < qint64(texts.size()))
        m_table->setNum_records(qint64(texts.size()));
    auto *column = addColumnOfEntity<DSTextDataColumn>("DSTextDataColumn", name);
    for (const char *text : texts)
        EXPECT_TRUE(text ? column->appendTextValue(text) : column->appendEmptyValue());
    EXPECT_TRUE(column->saveAfterImport());
    return column;
}

void ColumnsFixture::endEvent()
{
    m_context->processPendingChanges();
}

void ColumnsFixture::usePredicate(DSColumn *column, const char *text)
{
    QString error;
    const DSPredicatePtr predicate = DSPredicate::fromString(QString::fromUtf8(text), &error);
    ASSERT_NE(predicate, nullptr) << error.toStdString();
    column->setMissing_values_predicate(predicate);
    column->setApply_missing_values_predicate(true);
}

EditedDocument::EditedDocument()
{
    document.initWithType(DSStatDocument::nativeType);
}

EditedDocument::EditedDocument(const std::vector<double> &values) : EditedDocument()
{
    auto *t = ds_object_cast<DSDataTable>(document.active_table());
    x = document.managedObjectContext()->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
    x->setName(QStringLiteral("x"));
    t->insertNewColumns({x}, 0);
    for (double v : values)
        x->appendValue(v);
    t->setNum_records(qint64(values.size()));
    x->saveAfterImport();
    document.managedObjectContext()->processPendingChanges();
}

DSTextDataColumn *EditedDocument::addTextColumn(const std::vector<std::string> &texts, const QString &name)
{
    auto *t = ds_object_cast<DSDataTable>(document.active_table());
    auto *column = document.managedObjectContext()->insertNewObject<DSTextDataColumn>(QStringLiteral("DSTextDataColumn"));
    column->setName(name);
    t->insertNewColumns({column}, t->columns().size());
    for (const std::string &text : texts)
        EXPECT_TRUE(column->appendTextValue(text.c_str()));
    t->setNum_records(std::max(t->num_records(), qint64(texts.size())));
    EXPECT_TRUE(column->saveAfterImport());
    document.managedObjectContext()->processPendingChanges();
    return column;
}

DSTimeDataColumn *EditedDocument::addTimeColumn(const std::vector<double> &values, const std::vector<double> &intervals,
                                                const QString &name)
{
    auto *t = ds_object_cast<DSDataTable>(document.active_table());
    auto *column = document.managedObjectContext()->insertNewObject<DSTimeDataColumn>(QStringLiteral("DSTimeDataColumn"));
    column->setName(name);
    t->insertNewColumns({column}, t->columns().size());
    for (size_t i = 0; i < values.size(); ++i)
        EXPECT_TRUE(column->appendTimeValue(values[i], intervals.at(i)));
    t->setNum_records(std::max(t->num_records(), qint64(values.size())));
    EXPECT_TRUE(column->saveAfterImport());
    document.managedObjectContext()->processPendingChanges();
    return column;
}

bool EditedDocument::save(const QString &path, DSSaveOperation operation, DSError *error)
{
    return document.writeSafelyToURL(QUrl::fromLocalFile(path), DSStatDocument::nativeType, operation, error);
}

bool EditedDocument::saveWithoutMemory(const QString &path, DSError *error)
{
    ds_column_allocator_s &allocator = ds_column_allocator();
    const ds_column_allocator_s saved = allocator;
    allocator.allocate = [](size_t) -> void * { return nullptr; };
    const bool wrote = save(path, DSSaveOperation::Save, error);
    allocator = saved;
    return wrote;
}

QMap<QString, QByteArray> ds_package_files(const QString &path)
{
    QMap<QString, QByteArray> files;
    QDirIterator it(path, QDir::Files | QDir::Hidden, QDirIterator::Subdirectories);
    while (it.hasNext()) {
        QFile file(it.next());
        if (file.open(QIODevice::ReadOnly))
            files.insert(it.filePath(), file.readAll());
    }
    return files;
}
