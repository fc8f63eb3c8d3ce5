#include "StoreTestSupport.h"

#include "platform/store/DSAttributeDescription.h"
#include "platform/store/DSEntityDescription.h"
#include "platform/store/DSManagedObjectContext.h"
#include "platform/store/DSManagedObjectModel.h"
#include "platform/store/DSObjectFactory.h"
#include "platform/store/DSRelationshipDescription.h"

#include <QFile>

#include <gtest/gtest.h>

namespace {

QByteArray toyJson()
{
    QFile f(QStringLiteral(OSTREL_TEST_SOURCE_DIR "/models/toy.json"));
    EXPECT_TRUE(f.open(QIODevice::ReadOnly));
    return f.readAll();
}

QByteArray entityHash(const QByteArray &json, const char *entity)
{
    DSStoreError error;
    auto model = DSManagedObjectModel::fromJson(json, &error);
    EXPECT_TRUE(model) << error.message().toStdString();
    return model ? model->entityNamed(QString::fromLatin1(entity))->versionHash() : QByteArray();
}

} // namespace

TEST(DSManagedObjectModel, InheritanceSharesPropertiesAndSlots)
{
    auto model = toyModel();
    ASSERT_TRUE(model);
    EXPECT_EQ(model->name(), QStringLiteral("DSToyModel"));
    EXPECT_EQ(model->version(), 1);
    const DSEntityDescription *item = model->entityNamed(QStringLiteral("Item"));
    const DSEntityDescription *book = model->entityNamed(QStringLiteral("Book"));
    const DSEntityDescription *film = model->entityNamed(QStringLiteral("Film"));
    ASSERT_TRUE(item && book && film);
    EXPECT_TRUE(item->isAbstract());
    EXPECT_FALSE(book->isAbstract());
    EXPECT_EQ(book->superentity(), item);
    EXPECT_EQ(book->rootEntity(), item);
    EXPECT_EQ(item->subentities(), (QList<const DSEntityDescription *>{book, film}));
    EXPECT_TRUE(book->isKindOfEntity(item));
    EXPECT_FALSE(item->isKindOfEntity(book));
    // Inherited properties come first and are the same descriptions.
    ASSERT_GE(book->properties().size(), item->properties().size());
    for (size_t i = 0; i < item->properties().size(); ++i)
        EXPECT_EQ(book->properties()[i], item->properties()[i]);
    const DSAttributeDescription *pages = book->attributeNamed(QStringLiteral("pages"));
    const DSAttributeDescription *minutes = film->attributeNamed(QStringLiteral("minutes"));
    ASSERT_TRUE(pages && minutes);
    EXPECT_EQ(pages->slot(), minutes->slot()) << "siblings number their own attributes from the parent's count";
    EXPECT_EQ(pages->entity(), book);
    EXPECT_FALSE(item->attributeNamed(QStringLiteral("pages")));
}

TEST(DSManagedObjectModel, AttributesRelationshipsDefaultsAndTransience)
{
    auto model = toyModel();
    const DSEntityDescription *library = model->entityNamed(QStringLiteral("Library"));
    ASSERT_TRUE(library);
    EXPECT_EQ(library->className(), QStringLiteral("ToyLibrary"));
    EXPECT_EQ(model->entityNamed(QStringLiteral("Book"))->className(), QStringLiteral("ToyObject"));
    const auto attributes = library->attributesByName();
    EXPECT_EQ(attributes.value(QStringLiteral("shelves"))->attributeType(), DSAttributeType::Integer16);
    EXPECT_EQ(attributes.value(QStringLiteral("shelves"))->defaultValue(), QVariant(qlonglong(4)));
    EXPECT_EQ(attributes.value(QStringLiteral("open"))->defaultValue(), QVariant(true));
    EXPECT_EQ(attributes.value(QStringLiteral("ratio"))->defaultValue(), QVariant(0.5));
    EXPECT_TRUE(attributes.value(QStringLiteral("name"))->defaultValue().isNull());
    EXPECT_TRUE(attributes.value(QStringLiteral("temp_visits"))->isTransient()) << "temp_ names are transient";
    EXPECT_FALSE(attributes.value(QStringLiteral("name"))->isTransient());

    const auto relationships = library->relationshipsByName();
    const DSRelationshipDescription *items = relationships.value(QStringLiteral("items"));
    ASSERT_TRUE(items);
    EXPECT_TRUE(items->isToMany());
    EXPECT_EQ(items->deleteRule(), DSDeleteRule::Cascade);
    EXPECT_EQ(items->destinationEntity(), model->entityNamed(QStringLiteral("Item")));
    EXPECT_EQ(items->inverseRelationship(), model->entityNamed(QStringLiteral("Item"))->relationshipNamed(QStringLiteral("library")));
    EXPECT_EQ(items->inverseRelationship()->inverseRelationship(), items);
    EXPECT_EQ(relationships.value(QStringLiteral("loans"))->deleteRule(), DSDeleteRule::NoAction);
    EXPECT_EQ(relationships.value(QStringLiteral("seals"))->deleteRule(), DSDeleteRule::Deny);
    EXPECT_EQ(relationships.value(QStringLiteral("tags"))->deleteRule(), DSDeleteRule::Nullify);
    // A relationship may point at an abstract entity.
    EXPECT_TRUE(model->entityNamed(QStringLiteral("Part"))->relationshipNamed(QStringLiteral("item"))->destinationEntity()->isAbstract());
}

TEST(DSManagedObjectModel, FactoryMakesTheRegisteredClassOrTheNearestAncestors)
{
    auto model = toyModel();
    DSManagedObjectContext context(model);
    EXPECT_TRUE(dynamic_cast<ToyLibrary *>(context.insertNewObject(QStringLiteral("Library"))));
    DSManagedObject *book = context.insertNewObject(QStringLiteral("Book"));
    EXPECT_TRUE(dynamic_cast<ToyObject *>(book) && !dynamic_cast<ToyLibrary *>(book));
    EXPECT_FALSE(context.insertNewObject(QStringLiteral("Item"))) << "an abstract entity has no objects";
    EXPECT_FALSE(context.insertNewObject(QStringLiteral("Nothing")));

    auto plain = DSManagedObjectModel::fromJson(R"({"name": "P", "version": 1, "entities": [
        {"name": "Base", "class": "ToyLibraryUnregistered"},
        {"name": "Middle", "parent": "Base", "class": "ToyObject"},
        {"name": "Leaf", "parent": "Middle"}]})");
    ASSERT_TRUE(plain);
    DSManagedObjectContext other(plain);
    DSManagedObject *base = other.insertNewObject(QStringLiteral("Base"));
    EXPECT_TRUE(base && !dynamic_cast<ToyObject *>(base)) << "nothing registered: a plain DSManagedObject";
    EXPECT_TRUE(dynamic_cast<ToyObject *>(other.insertNewObject(QStringLiteral("Leaf")))) << "Leaf is unregistered, Middle's class serves";
}

TEST(DSManagedObjectModel, VersionHashFollowsWhatIsStored)
{
    const QByteArray json = toyJson();
    struct Case {
        const char *what;
        const char *from;
        const char *to;
        const char *entity;
        bool changes;
    } cases[] = {
        {"a default", R"({"name": "shelves", "type": "integer16", "default": 4})", R"({"name": "shelves", "type": "integer16", "default": 9})", "Library", false},
        {"a delete rule", R"("inverse": "libraries"})", R"("inverse": "libraries", "deleteRule": "cascade"})", "Library", false},
        {"a class name", R"("name": "Library", "class": "ToyLibrary")", R"("name": "Library", "class": "ToyObject")", "Library", false},
        {"an attribute type", R"({"name": "visitors", "type": "integer32"})", R"({"name": "visitors", "type": "integer64"})", "Library", true},
        {"an attribute name", R"({"name": "budget", "type": "integer64"})", R"({"name": "funds", "type": "integer64"})", "Library", true},
        {"a new attribute", R"({"name": "minutes", "type": "double"})", R"({"name": "minutes", "type": "double"}, {"name": "rated", "type": "boolean"})", "Film", true},
        {"transience", R"({"name": "minutes", "type": "double"})", R"({"name": "minutes", "type": "double", "transient": true})", "Film", true},
    };
    for (const Case &c : cases) {
        QByteArray edited = json;
        ASSERT_TRUE(edited.contains(c.from)) << c.what;
        edited.replace(c.from, c.to);
        EXPECT_EQ(entityHash(json, c.entity) != entityHash(edited, c.entity), c.changes) << c.what;
    }
    EXPECT_EQ(entityHash(json, "Library").size(), 32);
}

TEST(DSManagedObjectModel, InvalidModelsSayWhatIsWrong)
{
    struct Case {
        const char *json;
        const char *message;
    } cases[] = {
        {R"([1, 2])", "not a JSON object"},
        {R"({"version": 1, "entities": []})", "has no name"},
        {R"({"name": "M", "entities": []})", "no version"},
        {R"({"name": "M", "version": 1, "entities": [{"name": "A"}, {"name": "A"}]})", "“A” is declared twice"},
        {R"({"name": "M", "version": 1, "entities": [{"name": "Z_A"}]})", "not a valid entity name"},
        {R"({"name": "M", "version": 1, "entities": [{"name": "A", "parent": "B"}]})", "unknown parent “B”"},
        {R"({"name": "M", "version": 1, "entities": [{"name": "A", "parent": "B"}, {"name": "B", "parent": "A"}]})", "inherits from itself"},
        {R"({"name": "M", "version": 1, "entities": [{"name": "A", "attributes": [{"name": "x", "type": "decimal"}]}]})", "unknown type “decimal”"},
        {R"({"name": "M", "version": 1, "entities": [{"name": "A", "attributes": [{"name": "x", "type": "integer16", "default": 70000}]}]})", "invalid default"},
        {R"({"name": "M", "version": 1, "entities": [{"name": "A", "attributes": [{"name": "x", "type": "string"}, {"name": "x", "type": "string"}]}]})", "declares “x” twice"},
        {R"({"name": "M", "version": 1, "entities": [{"name": "A", "attributes": [{"name": "x", "type": "string"}]}, {"name": "B", "parent": "A", "attributes": [{"name": "x", "type": "string"}]}]})", "also inherits it"},
        {R"({"name": "M", "version": 1, "entities": [{"name": "A", "attributes": [{"name": "Z_PK", "type": "string"}]}]})", "invalid property name"},
        {R"({"name": "M", "version": 1, "entities": [{"name": "A", "relationships": [{"name": "r", "destination": "B"}]}]})", "unknown destination “B”"},
        {R"({"name": "M", "version": 1, "entities": [{"name": "A", "relationships": [{"name": "r", "destination": "A", "deleteRule": "explode"}]}]})", "unknown delete rule"},
        {R"({"name": "M", "version": 1, "entities": [{"name": "A", "relationships": [{"name": "r", "destination": "A", "inverse": "s"}]}]})", "unknown inverse"},
        {R"({"name": "M", "version": 1, "entities": [{"name": "A", "relationships": [{"name": "r", "destination": "B", "inverse": "s"}]},
             {"name": "B", "relationships": [{"name": "s", "destination": "A"}]}]})", "must name each other"},
        {R"({"name": "M", "version": 1, "entities": [{"name": "A", "relationships": [{"name": "r", "destination": "C", "inverse": "s"}]},
             {"name": "B", "relationships": [{"name": "s", "destination": "A", "inverse": "r"}]}, {"name": "C", "parent": "B"}]})", "declare it there"},
    };
    for (const Case &c : cases) {
        DSStoreError error;
        EXPECT_FALSE(DSManagedObjectModel::fromJson(c.json, &error)) << c.json;
        EXPECT_EQ(error.code(), DSStoreError::InvalidModel);
        EXPECT_TRUE(error.message().contains(QString::fromUtf8(c.message)))
            << error.message().toStdString() << " should say " << c.message;
    }
}

TEST(DSManagedObjectModel, ApplicationModelsAreCompiledIn)
{
    DSStoreError error;
    auto model = DSManagedObjectModel::modelNamed(QStringLiteral("DSDataModel006"), &error);
    ASSERT_TRUE(model) << error.message().toStdString();
    EXPECT_EQ(model->version(), 6);
    EXPECT_EQ(DSManagedObjectModel::modelNamed(QStringLiteral("DSDataModel006")), model) << "loaded once";
    EXPECT_FALSE(DSManagedObjectModel::modelNamed(QStringLiteral("DSDataModel999"), &error));
    EXPECT_TRUE(error.message().contains(QStringLiteral("DSDataModel999")));
}
