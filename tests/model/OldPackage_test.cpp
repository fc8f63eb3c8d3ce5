// A package saved by the code before column edits waited in memory for the
// save, and before libdeflate wrote the stored streams
// (fixtures/edited_before_libdeflate.md): it opens with its values and
// stored bytes as they were, takes edits and saves them.

#include "ColumnsTestSupport.h"

#include "model/DSDataRoot.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QUrl>

#include <gtest/gtest.h>

namespace {

const QString k_fixture = QStringLiteral(OSTREL_TEST_SOURCE_DIR "/fixtures/edited_before_libdeflate.ostrel");

// Copies the fixture package to path (the test edits its copy).
bool copyFixture(const QString &path)
{
    if (!QDir().mkpath(path))
        return false;
    for (const QString &name : QDir(k_fixture).entryList(QDir::Files))
        if (!QFile::copy(k_fixture + QLatin1Char('/') + name, path + QLatin1Char('/') + name))
            return false;
    return true;
}

// What the child modes print for the package at path, one after the other.
QString childOutput(const QString &path)
{
    QStringList outputs;
    for (const char *mode : {"values", "texts"}) {
        const ChildResult child = ds_run_child(QString::fromLatin1(mode), {path});
        EXPECT_EQ(child.exitCode, 0) << mode;
        outputs << child.output;
    }
    return outputs.join(QLatin1Char('\n'));
}

// The stored column of the first table named name.
template <class T>
T *storedColumn(DSStatDocument &document, const QString &name)
{
    DSTable *table = document.data_root() ? document.data_root()->tableAtIndex(0) : nullptr;
    for (DSColumn *column : table ? table->sortedColumns() : QList<DSColumn *>())
        if (column->name() == name)
            return ds_object_cast<T>(column);
    return nullptr;
}

TEST(OldPackage, OpensUnchangedAndTakesEdits)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(QStringLiteral("old.ostrel"));
    ASSERT_TRUE(copyFixture(path));
    // As the old code printed them when it wrote the package.
    EXPECT_EQ(childOutput(path),
              QStringLiteral("rows 6\n"
                             "x caa67f80615b445f2b52dc7c5e64ab09ffee63235269c60ab6837d561f2113ef 6: 3ff8000000000000 "
                             "7ff0000000000000 7ff8000000000123 fff8000000abcdef 401c000000000000 7ff8000000000000\n"
                             "rows 6\n"
                             "t: <blank>|new|Grüße|bc|<blank>|<blank>\n"
                             "text a\\0Grüße\\0bc\\0new\\0\n"
                             "offsets -1 13 2 10 -1 -1"));

    QByteArray storedValues;
    {
        DSStatDocument document;
        DSError error;
        ASSERT_TRUE(document.readFromURL(QUrl::fromLocalFile(path), DSStatDocument::nativeType, &error))
            << error.localizedDescription.toStdString();
        auto *x = storedColumn<DSNumericDataColumn>(document, QStringLiteral("x"));
        auto *t = storedColumn<DSTextDataColumn>(document, QStringLiteral("t"));
        ASSERT_TRUE(x && t);
        // Row 5 lies past the stored values, row 4 past the stored texts.
        ASSERT_TRUE(x->replaceNumericValueAtIndex(5, 2.5));
        ASSERT_TRUE(x->replaceNumericValueAtIndex(0, -std::numeric_limits<double>::infinity()));
        ASSERT_TRUE(t->replaceTextValueAtIndex(4, "vier"));
        ASSERT_TRUE(document.writeSafelyToURL(QUrl::fromLocalFile(path), DSStatDocument::nativeType,
                                              DSSaveOperation::Save, &error))
            << error.localizedDescription.toStdString();
        storedValues = x->values();
    }
    const QString digest = QString::fromLatin1(QCryptographicHash::hash(storedValues, QCryptographicHash::Sha256).toHex());
    EXPECT_EQ(childOutput(path),
              QStringLiteral("rows 6\n"
                             "x %1 6: fff0000000000000 7ff0000000000000 7ff8000000000123 fff8000000abcdef "
                             "401c000000000000 4004000000000000\n"
                             "rows 6\n"
                             "t: <blank>|new|Grüße|bc|vier|<blank>\n"
                             "text a\\0Grüße\\0bc\\0new\\0vier\\0\n"
                             "offsets -1 13 2 10 17 -1")
                  .arg(digest));
}

} // namespace
