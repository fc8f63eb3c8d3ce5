// The child side of the column tests that need a fresh process: the parent
// starts this program again with the mode in OSTREL_MODEL_CHILD_MODE; the
// child does its part when the test environment is set up and exits before
// any test runs.
#include "ColumnsTestSupport.h"

#include "model/DSDataRoot.h"
#include "model/DSStatDocument.h"

#include <QCryptographicHash>
#include <QUrl>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

// Opens the package at args[0] and prints its first table's rows, then per
// stored numeric column its name, the digest of its stored bytes, its value
// count and each value's bits in hexadecimal.
int printValues(const QStringList &args)
{
    DSStatDocument document;
    DSError error;
    if (!document.readFromURL(QUrl::fromLocalFile(args.value(0)), DSStatDocument::nativeType, &error)) {
        std::fprintf(stderr, "child: open failed: %s\n", qPrintable(error.localizedDescription));
        return 1;
    }
    DSTable *table = document.data_root() ? document.data_root()->tableAtIndex(0) : nullptr;
    if (!table)
        return 1;
    QStringList lines{QStringLiteral("rows %1").arg(table->num_records())};
    for (DSColumn *column : table->sortedColumns()) {
        auto *stored = ds_object_cast<DSNumericDataColumn>(column);
        if (!stored)
            continue;
        const double *values = nullptr;
        const qint64 count = stored->getValues(&values);
        QStringList bits;
        for (qint64 i = 0; i < count; ++i)
            bits << QString::number(ds_bits(values[i]), 16);
        lines << QStringLiteral("%1 %2 %3: %4")
                     .arg(stored->name(),
                          QString::fromLatin1(QCryptographicHash::hash(stored->values(), QCryptographicHash::Sha256).toHex()))
                     .arg(count)
                     .arg(bits.join(QLatin1Char(' ')));
    }
    std::fputs("BEGIN-OUTPUT\n", stdout);
    std::fputs(lines.join(QLatin1Char('\n')).toUtf8().constData(), stdout);
    std::fputs("\nEND-OUTPUT\n", stdout);
    std::fflush(stdout);
    return 0;
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
        std::fprintf(stderr, "child: unknown mode %s\n", qPrintable(mode));
        std::exit(2);
    }
};

[[maybe_unused]] const auto *s_environment = ::testing::AddGlobalTestEnvironment(new ChildEnvironment);

} // namespace
