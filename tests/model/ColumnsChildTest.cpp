// The child side of the column tests that need a fresh process: the parent
// starts this program again with the mode in OSTREL_MODEL_CHILD_MODE; the
// child does its part when the test environment is set up and exits before
// any test runs.
#include "ColumnsTestSupport.h"

#include "model/DSDataRoot.h"
#include "model/DSStatDocument.h"
#include "model/DSTimeDataColumn.h"
#include "model/ds_compression.h"

#include <QCryptographicHash>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdio>
#include <functional>
#include <cstdlib>
#include <limits>

namespace {

// The first table of the package at path, opened into document; none (with
// a message) when it does not open.
DSTable *openFirstTable(DSStatDocument &document, const QString &path)
{
    DSError error;
    if (!document.readFromURL(QUrl::fromLocalFile(path), DSStatDocument::nativeType, &error)) {
        std::fprintf(stderr, "child: open failed: %s\n", qPrintable(error.localizedDescription));
        return nullptr;
    }
    return document.data_root() ? document.data_root()->tableAtIndex(0) : nullptr;
}

// Prints the lines between the markers the parent looks for; answers 0.
int printOutput(const QStringList &lines)
{
    std::fputs("BEGIN-OUTPUT\n", stdout);
    std::fputs(lines.join(QLatin1Char('\n')).toUtf8().constData(), stdout);
    std::fputs("\nEND-OUTPUT\n", stdout);
    std::fflush(stdout);
    return 0;
}

// Opens the package at args[0] and prints its first table's rows, then the
// lines linesOf() gives for each of its columns of class T.
template <class T>
int printColumns(const QStringList &args, const std::function<QStringList(T *)> &linesOf)
{
    DSStatDocument document;
    DSTable *table = openFirstTable(document, args.value(0));
    if (!table)
        return 1;
    QStringList lines{QStringLiteral("rows %1").arg(table->num_records())};
    for (DSColumn *column : table->sortedColumns())
        if (auto *stored = ds_object_cast<T>(column))
            lines << linesOf(stored);
    return printOutput(lines);
}

// Opens the package at args[0] and prints its first table's rows, then per
// stored numeric column its name, the digest of its stored bytes, its value
// count and each value's bits in hexadecimal.
int printValues(const QStringList &args)
{
    return printColumns<DSNumericDataColumn>(args, [](DSNumericDataColumn *stored) {
        const double *values = nullptr;
        const qint64 count = stored->getValues(&values);
        QStringList bits;
        for (qint64 i = 0; i < count; ++i)
            bits << QString::number(ds_bits(values[i]), 16);
        return QStringList{
            QStringLiteral("%1 %2 %3: %4")
                .arg(stored->name(),
                     QString::fromLatin1(QCryptographicHash::hash(stored->values(), QCryptographicHash::Sha256).toHex()))
                .arg(count)
                .arg(bits.join(QLatin1Char(' ')))};
    });
}

// Opens the package at args[0] and prints its first table's rows, then per
// stored text column its name and texts, its inflated stored texts (NULs as
// "\\0") and its stored offsets.
int printTexts(const QStringList &args)
{
    return printColumns<DSTextDataColumn>(args, [](DSTextDataColumn *stored) {
        const char *const *rows = nullptr;
        const qint64 count = stored->getTextValues(&rows);
        QStringList texts;
        for (qint64 i = 0; i < count; ++i)
            texts << (rows[i] ? QString::fromUtf8(rows[i]) : QStringLiteral("<blank>"));
        const QByteArray text = zlibInflate(stored->text_values()).value_or(QByteArray());
        const QByteArray offsets = zlibInflate(stored->text_offsets()).value_or(QByteArray());
        QStringList numbers;
        for (qsizetype at = 0; at + 8 <= offsets.size(); at += 8) {
            int64_t offset;
            std::memcpy(&offset, offsets.constData() + at, sizeof offset);
            numbers << QString::number(offset);
        }
        return QStringList{QStringLiteral("%1: %2").arg(stored->name(), texts.join(QLatin1Char('|'))),
                           QStringLiteral("text ") + QString::fromUtf8(QByteArray(text).replace('\0', "\\0")),
                           QStringLiteral("offsets ") + numbers.join(QLatin1Char(' '))};
    });
}

// Opens the package at args[0] and prints its first table's rows, then per
// stored time column its name and each row's value and interval as the bits
// of the doubles in hexadecimal ("value/interval").
int printTimes(const QStringList &args)
{
    return printColumns<DSTimeDataColumn>(args, [](DSTimeDataColumn *stored) {
        const double *values = nullptr, *intervals = nullptr;
        const qint64 count = stored->getTimeValues(&values, &intervals);
        QStringList rows;
        for (qint64 i = 0; i < count; ++i)
            rows << QString::number(ds_bits(values[i]), 16) + QLatin1Char('/') + QString::number(ds_bits(intervals[i]), 16);
        return QStringList{QStringLiteral("%1: %2").arg(stored->name(), rows.join(QLatin1Char(' ')))};
    });
}

// Writes the package at args[0]: one table of 6 rows with a stored numeric
// column x and a stored text column t, imported then edited (the values the
// old-package test expects). Kept to remake that test's fixture with the
// code of the day.
int writeEditedPackage(const QStringList &args)
{
    DSStatDocument document;
    if (!document.initWithType(DSStatDocument::nativeType))
        return 1;
    auto *table = ds_object_cast<DSDataTable>(document.active_table());
    DSManagedObjectContext *context = document.managedObjectContext();
    auto *x = context->insertNewObject<DSNumericDataColumn>(QStringLiteral("DSNumericDataColumn"));
    auto *t = context->insertNewObject<DSTextDataColumn>(QStringLiteral("DSTextDataColumn"));
    x->setName(QStringLiteral("x"));
    t->setName(QStringLiteral("t"));
    table->insertNewColumns({x, t}, 0);
    for (double v : {1.5, -0.0, ds_from_bits(0x7ff8000000000123ull), 1e300, 7.0})
        x->appendValue(v);
    for (const char *text : {"a", "", "Grüße", "bc"})
        t->appendTextValue(text);
    table->setNum_records(6);
    if (!x->saveAfterImport() || !t->saveAfterImport())
        return 1;
    const bool edited = x->replaceNumericValueAtIndex(1, std::numeric_limits<double>::infinity())
                        && x->replaceNumericValueAtIndex(3, ds_from_bits(0xfff8000000abcdefull))
                        && t->replaceTextValueAtIndex(1, "new") && t->replaceTextValueAtIndex(0, "");
    DSError error;
    if (!edited || !document.writeSafelyToURL(QUrl::fromLocalFile(args.value(0)), DSStatDocument::nativeType,
                                              DSSaveOperation::SaveAs, &error))
        return 1;
    return printOutput({QStringLiteral("written")});
}

class ChildEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        ds_columns_test_setup();
        const QString mode = qEnvironmentVariable("OSTREL_MODEL_CHILD_MODE");
        if (mode.isEmpty())
            return;
        const QStringList args = qEnvironmentVariable("OSTREL_MODEL_CHILD_ARGS").split(QLatin1Char('\n'));
        if (mode == QLatin1String("values"))
            std::exit(printValues(args));
        if (mode == QLatin1String("texts"))
            std::exit(printTexts(args));
        if (mode == QLatin1String("times"))
            std::exit(printTimes(args));
        if (mode == QLatin1String("write"))
            std::exit(writeEditedPackage(args));
        std::fprintf(stderr, "child: unknown mode %s\n", qPrintable(mode));
        std::exit(2);
    }
};

[[maybe_unused]] const auto *s_environment = ::testing::AddGlobalTestEnvironment(new ChildEnvironment);

} // namespace
