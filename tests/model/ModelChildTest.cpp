// The child side of the tests that need a fresh process: the parent starts
// this program again with the mode in OSTREL_MODEL_CHILD_MODE; the child does
// its part when the test environment is set up (after every static
// initialiser, resources included) and exits before any test runs.
#include "ModelTestSupport.h"

#include "model/DSStatDocument.h"

#include <QUrl>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>

namespace {

int runChildMode(const QString &mode, const QStringList &args)
{
    if (mode == QLatin1String("describe")) {
        // Opens the package at args[0] with the type args[1] and prints it.
        DSStatDocument document;
        DSError error;
        if (!document.readFromURL(QUrl::fromLocalFile(args.value(0)), args.value(1), &error)) {
            std::fprintf(stderr, "child: open failed: %s\n", qPrintable(error.localizedDescription));
            return 1;
        }
        std::fputs("BEGIN-OUTPUT\n", stdout);
        std::fputs(ds_describe_document(document).toUtf8().constData(), stdout);
        std::fputs("\nEND-OUTPUT\n", stdout);
        std::fflush(stdout);
        return 0;
    }
    std::fprintf(stderr, "child: unknown mode %s\n", qPrintable(mode));
    return 2;
}

class ChildEnvironment : public ::testing::Environment
{
public:
    void SetUp() override
    {
        ds_test_setup();
        const QString mode = qEnvironmentVariable("OSTREL_MODEL_CHILD_MODE");
        if (!mode.isEmpty())
            std::exit(runChildMode(mode, qEnvironmentVariable("OSTREL_MODEL_CHILD_ARGS").split(QLatin1Char('\n'))));
    }
};

[[maybe_unused]] const auto *s_environment = ::testing::AddGlobalTestEnvironment(new ChildEnvironment);

} // namespace
