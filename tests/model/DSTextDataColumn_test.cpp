// The stored text column: its stored bytes and offsets, filling after an
// import, the categories decision, edits, the missing mask with the
// missing-values predicate, and a save and reopen in a new process.

#include "ColumnsTestSupport.h"

#include "model/DSDataRoot.h"
#include "model/DSStatDocument.h"
#include "model/ds_compression.h"
#include "platform/store/DSObjectPool.h"
#include "platform/store/DSUndoManager.h"

#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

#include <string>
#include <thread>

namespace {

// A row's text, or "<blank>" for a row without one.
std::vector<std::string> textsOf(DSTextColumn *column, qint64 offset = 0, qint64 limit = 0)
{
    const char *const *rows = nullptr;
    const qint64 n = limit || offset ? column->getTextValues(&rows, offset, limit) : column->getTextValues(&rows);
    std::vector<std::string> texts;
    for (qint64 i = 0; i < n; ++i)
        texts.push_back(rows[i] ? rows[i] : "<blank>");
    return texts;
}

QByteArray storedText(DSTextDataColumn *column)
{
    return zlibInflate(column->text_values()).value_or(QByteArray("<damaged>"));
}

std::vector<int64_t> storedOffsets(DSTextDataColumn *column)
{
    const QByteArray bytes = zlibInflate(column->text_offsets()).value_or(QByteArray());
    std::vector<int64_t> offsets(size_t(bytes.size()) / sizeof(int64_t));
    std::memcpy(offsets.data(), bytes.constData(), offsets.size() * sizeof(int64_t));
    return offsets;
}

std::vector<bool> missingRows(DSColumn *column, qint64 rows)
{
    const uint8_t *mask = nullptr;
    const qint64 length = column->getMissingMask(&mask);
    std::vector<bool> bits;
    for (qint64 r = 0; r < rows; ++r)
        bits.push_back(ds_bit(mask, length, r));
    return bits;
}

class DSTextDataColumnTest : public ::testing::Test, public ColumnsFixture
{
};

TEST_F(DSTextDataColumnTest, TextsAreStoredBackToBackWithOffsets)
{
    table()->setNum_records(5);
    DSTextDataColumn *t = addTextColumn({"a", "", "bc"});
    EXPECT_EQ(storedText(t), QByteArray("a\0bc\0", 5));
    EXPECT_EQ(storedOffsets(t), (std::vector<int64_t>{0, -1, 2, -1, -1})) << "filled up to the table's rows";
    EXPECT_EQ(textsOf(t), (std::vector<std::string>{"a", "<blank>", "bc", "<blank>", "<blank>"}));
    EXPECT_EQ(missingRows(t, 5), (std::vector<bool>{false, true, false, true, true}));
    EXPECT_EQ(textsOf(t, 2, 0), (std::vector<std::string>{"bc", "<blank>", "<blank>"})) << "limit 0: to the last row";
    EXPECT_EQ(textsOf(t, 1, 1), (std::vector<std::string>{"<blank>"}));
    EXPECT_TRUE(textsOf(t, 5, 3).empty());
    EXPECT_TRUE(t->isEditable());
}

TEST_F(DSTextDataColumnTest, AnAllBlankColumnGivesNoRowsAndAFullMissingMask)
{
    table()->setNum_records(11);
    DSTextDataColumn *t = addTextColumn({nullptr, "", nullptr});
    EXPECT_EQ(storedText(t), QByteArray());
    EXPECT_TRUE(textsOf(t).empty());
    EXPECT_EQ(missingRows(t, 11), std::vector<bool>(11, true));
    EXPECT_EQ(t->numberOfBins(), 0);
    EXPECT_TRUE(t->treat_as_categories());

    auto *fresh = addColumnOfEntity<DSTextDataColumn>("DSTextDataColumn", QStringLiteral("new"));
    EXPECT_TRUE(fresh->treat_as_categories()) << "a new text column is treated as categories";
    EXPECT_EQ(missingRows(fresh, 11), std::vector<bool>(11, true));
}

TEST_F(DSTextDataColumnTest, ImportBuffersStartAt4096AndDouble)
{
    auto *t = addColumnOfEntity<DSTextDataColumn>("DSTextDataColumn", QStringLiteral("t"));
    const std::string big(5000, 'x');
    ASSERT_TRUE(t->appendTextValue(big.c_str()));
    EXPECT_EQ(t->temp_text_capacity(), 8192);
    EXPECT_EQ(t->temp_text_used(), 5001);
    for (int i = 1; i < 4096; ++i)
        ASSERT_TRUE(t->appendEmptyValue());
    EXPECT_EQ(t->temp_offsets_capacity(), 4096);
    ASSERT_TRUE(t->appendTextValue("y"));
    EXPECT_EQ(t->temp_offsets_capacity(), 8192);
    table()->setNum_records(4097);
    ASSERT_TRUE(t->saveAfterImport());
    EXPECT_EQ(t->temp_text_used(), 0);
    const std::vector<std::string> texts = textsOf(t);
    ASSERT_EQ(texts.size(), 4097u);
    EXPECT_EQ(texts[0], big);
    EXPECT_EQ(texts[4096], "y");
}

// The index counts the filling blanks as one entry; below 151 entries the
// column is categories.
TEST_F(DSTextDataColumnTest, AHundredAndFiftyDistinctTextsAreCategories)
{
    struct Case {
        const char *what;
        int distinct;
        int blanks;
        qint64 rows;  // the table's rows; more than appended are filled blank
        bool before, after;
    };
    const Case cases[] = {
        {"150 texts", 150, 0, 150, false, true},
        {"150 texts and a blank row", 150, 1, 151, false, false},
        {"150 texts and a filling blank", 150, 0, 151, false, false},
        {"149 texts and blanks", 149, 3, 152, false, true},
        {"151 texts", 151, 0, 151, false, false},
        {"already categories", 300, 0, 300, true, true},
    };
    for (const Case &c : cases) {
        ColumnsFixture fixture;
        fixture.table()->setNum_records(c.rows);
        auto *t = fixture.addColumnOfEntity<DSTextDataColumn>("DSTextDataColumn", QStringLiteral("t"));
        t->setTreat_as_categories(c.before);
        for (int i = 0; i < c.distinct; ++i)
            ASSERT_TRUE(t->appendTextValue(("text " + std::to_string(i)).c_str()));
        for (int i = 0; i < c.blanks; ++i)
            ASSERT_TRUE(t->appendEmptyValue());
        ASSERT_TRUE(t->saveAfterImport()) << c.what;
        EXPECT_EQ(t->treat_as_categories(), c.after) << c.what;
        EXPECT_EQ(t->temp_offsets_used(), 0) << c.what;
    }
}

// An import fills its columns in a pool, on its own thread, and finishes
// them in parallel: there nothing has decided the categories before the
// texts are in.
TEST_F(DSTextDataColumnTest, AnImportInAPoolDecidesCategoriesFromItsTexts)
{
    DSObjectPool pool(ds_columns_test_model());
    QList<DSDataColumn *> columns;
    std::thread importer([&] {
        auto *t = pool.insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
        for (int distinct : {3, 151}) {
            auto *column = pool.insertNewObject<DSTextDataColumn>(QStringLiteral("DSTextDataColumn"));
            t->insertNewColumns({column}, t->columns().size());
            for (int r = 0; r < 400; ++r)
                column->appendTextValue(("v" + std::to_string(r % distinct)).c_str());
            columns.append(column);
        }
        t->setNum_records(400);
    });
    importer.join();
    ASSERT_TRUE(DSDataColumn::saveAfterImport(columns));
    EXPECT_TRUE(dynamic_cast<DSTextDataColumn *>(columns[0])->treat_as_categories());
    EXPECT_FALSE(dynamic_cast<DSTextDataColumn *>(columns[1])->treat_as_categories());
    EXPECT_EQ(textsOf(dynamic_cast<DSTextDataColumn *>(columns[1]))[399], "v97");
}

// What a save does with an edited column before it writes.
void storeAsASaveDoes(DSTextDataColumn *column)
{
    ASSERT_TRUE(column->prepareForSave());
    column->commitSavePreparation();
}

// A cell edit changes the decoded data and waits for the save, which
// stores the rewritten offsets and the texts with the new one appended; a
// row change stores the offsets at once, the waiting edits first.
TEST_F(DSTextDataColumnTest, EditsRewriteOffsetsAndOnlyAppendTexts)
{
    DSTextDataColumn *t = addTextColumn({"a", "", "bc"});
    const QByteArray importedOffsets = t->text_offsets();
    ASSERT_TRUE(t->replaceTextValueAtIndex(1, "xyz"));
    EXPECT_EQ(textsOf(t), (std::vector<std::string>{"a", "xyz", "bc"}));
    EXPECT_EQ(missingRows(t, 3), (std::vector<bool>{false, false, false}));
    EXPECT_EQ(t->text_offsets(), importedOffsets) << "the edit waits for the save";
    EXPECT_TRUE(t->hasUnsavedEdits());
    storeAsASaveDoes(t);
    EXPECT_FALSE(t->hasUnsavedEdits());
    EXPECT_EQ(storedText(t), QByteArray("a\0bc\0xyz\0", 9));
    EXPECT_EQ(storedOffsets(t), (std::vector<int64_t>{0, 5, 2}));

    const QByteArray texts = t->text_values();
    ASSERT_TRUE(t->replaceTextValueAtIndex(0, ""));
    EXPECT_EQ(missingRows(t, 3), (std::vector<bool>{true, false, false}));
    storeAsASaveDoes(t);
    EXPECT_EQ(t->text_values().constData(), texts.constData()) << "a blank appends nothing: the texts stay as stored";
    EXPECT_EQ(storedOffsets(t), (std::vector<int64_t>{-1, 5, 2}));
    EXPECT_FALSE(t->replaceTextValueAtIndex(3, "out of the table"));

    ASSERT_TRUE(t->replaceTextValueAtIndex(2, "zz"));
    t->dropRows({0});
    table()->setNum_records(2);
    EXPECT_FALSE(t->hasUnsavedEdits());
    EXPECT_EQ(storedText(t), QByteArray("a\0bc\0xyz\0zz\0", 12));
    EXPECT_EQ(storedOffsets(t), (std::vector<int64_t>{5, 9})) << "the other rows keep their offsets";
    EXPECT_EQ(textsOf(t), (std::vector<std::string>{"xyz", "zz"}));

    t->addRows(2);
    table()->setNum_records(4);
    EXPECT_EQ(storedOffsets(t), (std::vector<int64_t>{5, 9, -1, -1}));
    EXPECT_EQ(missingRows(t, 4), (std::vector<bool>{false, false, true, true}));
}

// Rows past the stored offsets are blank until edited; an edit there grows
// the offsets, and the undo of a row change gives the waiting edits back.
TEST_F(DSTextDataColumnTest, EditsPastTheStoredRowsAndRowChangesUndo)
{
    DSTextDataColumn *t = addTextColumn({"a", "b"});
    endEvent();
    table()->setNum_records(4);
    endEvent();
    EXPECT_EQ(missingRows(t, 4), (std::vector<bool>{false, false, true, true}));
    ASSERT_TRUE(t->replaceTextValueAtIndex(3, "d"));
    endEvent();
    EXPECT_EQ(textsOf(t), (std::vector<std::string>{"a", "b", "<blank>", "d"}));
    EXPECT_EQ(missingRows(t, 4), (std::vector<bool>{false, false, true, false}));

    t->addRows(1);
    table()->setNum_records(5);
    endEvent();
    EXPECT_EQ(storedOffsets(t), (std::vector<int64_t>{0, 2, -1, 4, -1}));
    DSUndoManager *undo = context().undoManager();
    undo->undo();
    EXPECT_EQ(textsOf(t), (std::vector<std::string>{"a", "b", "<blank>", "d"})) << "the edit stays";
    undo->undo();
    EXPECT_EQ(textsOf(t), (std::vector<std::string>{"a", "b", "<blank>", "<blank>"}));
    undo->redo();
    EXPECT_EQ(textsOf(t), (std::vector<std::string>{"a", "b", "<blank>", "d"}));
}

TEST_F(DSTextDataColumnTest, UndoOfAnEditIsReadBack)
{
    DSTextDataColumn *t = addTextColumn({"a", "b"});
    endEvent();
    ASSERT_TRUE(t->replaceTextValueAtIndex(0, "changed"));
    endEvent();
    EXPECT_EQ(t->numberOfBins(), 2);
    EXPECT_EQ(textsOf(t), (std::vector<std::string>{"changed", "b"}));
    context().undoManager()->undo();
    EXPECT_EQ(textsOf(t), (std::vector<std::string>{"a", "b"}));
    const char *const *index = nullptr;
    ASSERT_EQ(t->getIndex(&index), 2);
    EXPECT_STREQ(index[0], "a") << "the kept index went with the old data";
}

TEST_F(DSTextDataColumnTest, MissingValuesPredicate)
{
    const std::vector<const char *> texts = {"abc", "xABC", "ab", "c", nullptr, "Abcd", "label me", "other", ""};
    struct Case {
        const char *predicate;
        std::vector<int> missing;  // rows besides the blank rows 4 and 8
    };
    const Case cases[] = {
        {"value ENDSWITH \"abc\"", {0, 1}},                   // any case, never the shorter texts
        {"value == \"ABC\"", {0}},
        {"value != \"abc\"", {1, 2, 3, 5, 6, 7}},
        {"value BEGINSWITH \"ab\"", {0, 2, 5}},
        {"value CONTAINS \"BC\"", {0, 1, 5}},
        {"value < \"zzz\"", {}},                              // no such operator for texts
        {"value == \"\"", {}},                                // empty operands are skipped
        {"name == \"abc\"", {}},                              // another field
        {"label == \"FLAGGED\"", {6}},
        {"label BEGINSWITH \"flag\" OR value == \"c\"", {3, 6}},
        {"label ENDSWITH \"xflagged\"", {}},                  // longer than the label
        {"label CONTAINS \"agg\"", {6}},
    };
    for (const Case &c : cases) {
        ColumnsFixture fixture;
        DSTextDataColumn *t = fixture.addTextColumn(texts);
        t->setCategoryLabel(QStringLiteral("flagged"), QCborValue(QStringLiteral("label me")));
        usePredicate(t, c.predicate);
        std::vector<bool> expected(texts.size(), false);
        expected[4] = expected[8] = true;
        for (int r : c.missing)
            expected[size_t(r)] = true;
        EXPECT_EQ(missingRows(t, qint64(texts.size())), expected) << c.predicate;
    }
}

TEST_F(DSTextDataColumnTest, WithoutThePredicateTheWholeBlankMaskServesAnyRange)
{
    DSTextDataColumn *t = addTextColumn({"a", nullptr, "b", nullptr});
    const uint8_t *whole = nullptr, *range = nullptr;
    const qint64 length = t->getMissingMask(&whole);
    EXPECT_EQ(t->getMissingMask(&range, 2, 1), length);
    EXPECT_EQ(whole, range);
    EXPECT_EQ(whole[0], 0b1010);
}

// Saved and reopened in a new process, the texts are the edited ones (an
// edit past the stored rows included) and the stored bytes are unchanged.
TEST_F(DSTextDataColumnTest, SaveAndReopenInANewProcess)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("texts.ostrel"));
    {
        EditedDocument d;
        DSTextDataColumn *x = d.addTextColumn({"a", "", "bc", "Grüße"});
        auto *t = ds_object_cast<DSDataTable>(d.document.active_table());
        t->setNum_records(5);
        ASSERT_TRUE(x->replaceTextValueAtIndex(1, "new"));
        t->setNum_records(7);
        ASSERT_TRUE(x->replaceTextValueAtIndex(6, "tail"));
        ASSERT_TRUE(x->replaceTextValueAtIndex(0, ""));
        EXPECT_TRUE(x->hasUnsavedEdits());
        DSError error;
        ASSERT_TRUE(d.save(path, DSSaveOperation::SaveAs, &error)) << error.localizedDescription.toStdString();
        EXPECT_FALSE(x->hasUnsavedEdits());
        EXPECT_EQ(textsOf(x), (std::vector<std::string>{"<blank>", "new", "bc", "Grüße", "<blank>", "<blank>", "tail"}));
    }
    const ChildResult child = ds_run_child(QStringLiteral("texts"), {path});
    ASSERT_EQ(child.exitCode, 0);
    EXPECT_EQ(child.output, QStringLiteral("rows 7\nt: <blank>|new|bc|Grüße|<blank>|<blank>|tail\n"
                                           "text a\\0bc\\0Grüße\\0new\\0tail\\0\n"
                                           "offsets -1 13 2 5 -1 -1 17"));
}

// A hundred cell edits of a 1,000,000-row column, each its own undo step,
// then a hundred undos: the texts come back, and the undo records hold
// cells, not arrays (one copy of the offsets is 8 MB).
TEST_F(DSTextDataColumnTest, HundredEditsThenHundredUndos)
{
    std::vector<std::string> original(1'000'000);
    for (size_t i = 0; i < original.size(); ++i)
        original[i] = i % 10 == 3 ? std::string() : "v" + std::to_string(i % 1000);
    EditedDocument d;
    DSTextDataColumn *t = d.addTextColumn(original);
    const std::vector<std::string> before = textsOf(t);
    DSUndoManager *undo = d.undoManager();
    ASSERT_TRUE(undo);
    const qint64 held = undo->heldBytes();
    std::vector<std::string> edited = before;
    for (int i = 0; i < 100; ++i) {
        const qint64 row = qint64((uint64_t(i) * 7919 * 7919) % original.size());
        const std::string text = i % 3 == 0 ? std::string() : i % 3 == 1 ? "Grüße " + std::to_string(i) : "x";
        undo->beginUndoGrouping();
        ASSERT_TRUE(t->replaceTextValueAtIndex(row, text.c_str()));
        undo->endUndoGrouping();
        edited[size_t(row)] = text.empty() ? "<blank>" : text;
    }
    EXPECT_EQ(textsOf(t), edited);
    EXPECT_LT(undo->heldBytes() - held, 1'000'000) << "a hundred cell records";
    for (int i = 0; i < 100; ++i)
        undo->undo();
    EXPECT_EQ(textsOf(t), before);
    EXPECT_LT(undo->heldBytes() - held, 1'000'000) << "and their redo records";
    undo->redo();
    EXPECT_NE(textsOf(t), before) << "redo edits again";
}

// Deflating the edited column fails at save: the save reports it, the
// package on disk keeps its bytes, and the edit still reads back and is
// saved by the next save.
TEST_F(DSTextDataColumnTest, AFailedDeflateFailsTheSave)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("edited.ostrel"));
    EditedDocument d;
    DSTextDataColumn *t = d.addTextColumn({"a", "b", "c"});
    DSError error;
    ASSERT_TRUE(d.save(path, DSSaveOperation::SaveAs, &error)) << error.localizedDescription.toStdString();
    const QMap<QString, QByteArray> onDisk = ds_package_files(path);
    ASSERT_FALSE(onDisk.isEmpty());

    ASSERT_TRUE(t->replaceTextValueAtIndex(1, "edited"));
    EXPECT_FALSE(d.saveWithoutMemory(path, &error));
    EXPECT_FALSE(error.localizedDescription.isEmpty());
    EXPECT_EQ(ds_package_files(path), onDisk);
    EXPECT_EQ(textsOf(t), (std::vector<std::string>{"a", "edited", "c"}));
    EXPECT_TRUE(t->hasUnsavedEdits());
    EXPECT_TRUE(d.document.managedObjectContext()->hasChanges());

    ASSERT_TRUE(d.save(path, DSSaveOperation::Save, &error)) << error.localizedDescription.toStdString();
    EXPECT_FALSE(t->hasUnsavedEdits());
    EXPECT_EQ(storedText(t), QByteArray("a\0b\0c\0edited\0", 13));
    EXPECT_EQ(storedOffsets(t), (std::vector<int64_t>{0, 6, 4}));
}

// A copy of an edited column takes the edits; the original keeps them
// unsaved.
TEST_F(DSTextDataColumnTest, ACopyTakesUnsavedEdits)
{
    EditedDocument d;
    DSTextDataColumn *t = d.addTextColumn({"a", "b"});
    ASSERT_TRUE(t->replaceTextValueAtIndex(0, "c"));
    auto *copy = ds_object_cast<DSTextDataColumn>(d.document.data_root()->duplicateManagedObject(t));
    ASSERT_TRUE(copy);
    EXPECT_EQ(textsOf(copy), (std::vector<std::string>{"c", "b"}));
    EXPECT_TRUE(t->hasUnsavedEdits());
    EXPECT_EQ(textsOf(t), (std::vector<std::string>{"c", "b"}));
}

} // namespace
