#include "app/DSAppDelegate.h"
#include "app/ds_register_model_classes.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSStatDocument.h"
#include "platform/store/DSManagedObjectContext.h"
#include "stats/DSEstimationCommandDelegate.h"
#include "ui/panes/ds_register_pane_classes.h"
#include "ui/window/DSStatDocumentNib.h"
#include "ui/window/DSStatDocumentWindow.h"
#include "model/DSUserDefaults.h"

#include <QApplication>
#include <QDir>
#include <QLabel>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

QApplication &application()
{
    static int argc = 1;
    static char name[] = "ostrel_app_test";
    static char *argv[] = {name, nullptr};
    static QApplication *app = new QApplication(argc, argv);
    return *app;
}

// An application object whose user defaults live in a scratch file.
class DSAppDelegateTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        application();
        ASSERT_TRUE(dir.isValid());
        DSUserDefaults::setStandardUserDefaults(
            std::make_unique<DSUserDefaults>(dir.filePath(QStringLiteral("Ostrel.conf"))));
        DSAppDelegate::initialize();
        ds_register_model_classes();
    }
    void TearDown() override { DSUserDefaults::setStandardUserDefaults(std::make_unique<DSUserDefaults>()); }

    QTemporaryDir dir;
};

TEST_F(DSAppDelegateTest, SplashToolTipAndLaunchCount)
{
    DSAppDelegate delegate;
    EXPECT_EQ(DSStatDocument::app_delegate(), &delegate);
    delegate.applicationDidFinishLaunching();
    ASSERT_TRUE(delegate.open_existing_file_button);
    EXPECT_EQ(delegate.open_existing_file_button->toolTip(),
              QStringLiteral("Open an existing Ostrel document, Excel/Numbers spreadsheet, CSV file, tab-delimited "
                             "file, SQLite/Access/DBF database, Stata/SPSS/SAS file, or R workspace"));
    EXPECT_EQ(DSUserDefaults::standardUserDefaults().integerForKey(QStringLiteral("launch_count")), 1);
    ASSERT_TRUE(delegate.splash_window);
    EXPECT_TRUE(delegate.splash_window->isVisible());
    EXPECT_TRUE(delegate.rate_in_app_store_text_field->text().contains(DSAppDelegate::ratingURL.toString()));
    EXPECT_GT(delegate.application_launch_time(), 5e8);
    EXPECT_GE(delegate.intervalSinceApplicationLaunch(), 0.0);
    EXPECT_FALSE(delegate.applicationShouldOpenUntitledFile());
    EXPECT_EQ(DSAppDelegate::welcomeMessage(), QStringLiteral("Welcome to Ostrel"));
    EXPECT_EQ(DSAppDelegate::exclamatoryWelcomeMessage(), QStringLiteral("Welcome to Ostrel!"));
    EXPECT_EQ(DSAppDelegate::quitMessage(), QStringLiteral("Quit Ostrel"));
}

TEST_F(DSAppDelegateTest, NoSplashWhenTurnedOffUntilReopened)
{
    DSUserDefaults::standardUserDefaults().setBool(false, QStringLiteral("always_open_splash"));
    DSAppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    EXPECT_FALSE(delegate.splash_window->isVisible());
    EXPECT_FALSE(delegate.applicationShouldHandleReopen(true));
    EXPECT_FALSE(delegate.splash_window->isVisible());
    EXPECT_FALSE(delegate.applicationShouldHandleReopen(false));
    EXPECT_TRUE(delegate.splash_window->isVisible());
}

TEST_F(DSAppDelegateTest, NoSplashWhenADocumentWindowIsOpen)
{
    DSStatDocument document;
    document.initWithType(DSStatDocument::nativeType);
    QWidget window;
    window.setProperty("ds_document", QVariant::fromValue<QObject *>(&document));
    window.show();
    DSAppDelegate delegate;
    delegate.applicationDidFinishLaunching();
    EXPECT_FALSE(delegate.splash_window->isVisible());
    EXPECT_EQ(DSUserDefaults::standardUserDefaults().integerForKey(QStringLiteral("launch_count")), 1);
}

TEST_F(DSAppDelegateTest, ActionCountIsLoadedAtLaunchAndStoredAtTermination)
{
    DSUserDefaults::standardUserDefaults().setInteger(40, QStringLiteral("action_count"));
    {
        DSAppDelegate delegate;
        delegate.applicationDidFinishLaunching();
        EXPECT_EQ(delegate.action_count(), 40);
        delegate.incrementActionCount();
        delegate.incrementActionCount();
        delegate.applicationWillTerminate();
    }
    QSettings file(dir.filePath(QStringLiteral("Ostrel.conf")), QSettings::IniFormat);
    EXPECT_EQ(file.value(QStringLiteral("action_count")).toLongLong(), 42);
}

TEST_F(DSAppDelegateTest, EstimationWindowShowsAndPendingTutorialSaysSo)
{
    DSAppDelegate delegate;
    delegate.showEstimationCommand();
    EXPECT_TRUE(delegate.isEstimationCommandVisible());
    delegate.hideEstimationCommand();
    EXPECT_FALSE(delegate.isEstimationCommandVisible());
    DSError error;
    EXPECT_FALSE(delegate.beginTutorial(nullptr, &error));
    EXPECT_FALSE(error.localizedDescription.isEmpty());
}

// The summary's bottom line reaches the estimation-command window through
// the application: the window shows the command of the test the pane shows.
TEST_F(DSAppDelegateTest, EstimationWindowFollowsTheBottomLine)
{
    DSAppDelegate delegate;
    DSStatDocumentNib::registerNib();
    ds_register_pane_classes();
    DSStatDocumentWindow document(&delegate);
    ASSERT_TRUE(document.initWithType(DSStatDocument::nativeType));
    ASSERT_TRUE(document.makeWindowControllers());
    DSTable *table = document.active_table();
    static_cast<DSDataTable *>(table)->setNum_records(6);
    auto *column = document.managedObjectContext()->insertNewObject<DSNumericDataColumn>(
        QStringLiteral("DSNumericDataColumn"));
    column->setName(QStringLiteral("height"));
    table->insertNewColumns({column}, 0);
    for (double x : {1.5, 2.5, 2.0, 4.0, 3.5, 9.0})
        column->appendValue(x);
    column->saveAfterImport();
    document.managedObjectContext()->processPendingChanges();
    table->column_selection()->resetWithColumn(column);
    document.showSummary(nullptr);

    DSEstimationCommandDelegate *commands = delegate.estimation_command_delegate();
    const QString command = commands->commandForDocument(&document);
    EXPECT_TRUE(command.contains(QStringLiteral("height"))) << command.toStdString();
    EXPECT_EQ(commands->text_field()->toPlainText(), command);
    document.close();
}

// The fourteen formatters: their set-up, and their digits from the
// registered options, from stored options that lack entries (each takes
// its fallback set) and from options that are not a dictionary at all.
TEST_F(DSAppDelegateTest, ResultFormatters)
{
    using F = DSPlatformNumberFormatter;
    struct Setup {
        const char *name;
        int style;
        bool scientific, unrepresentable;
        double center;
    };
    const Setup setups[] = {
        {"percentages", F::PercentStyle, false, false, 0},   {"mean_values", F::DecimalStyle, true, false, 0},
        {"standard_deviations", F::DecimalStyle, true, false, 0}, {"p_values", F::DecimalStyle, false, true, 0},
        {"r_squared", F::DecimalStyle, false, true, 0},      {"correlations", F::DecimalStyle, false, true, 0},
        {"covariances", F::DecimalStyle, false, false, 0},   {"test_statistics", F::DecimalStyle, false, false, 0},
        {"critical_values", F::DecimalStyle, false, false, 0}, {"coefficients", F::DecimalStyle, true, false, 0},
        {"odds_ratios", F::DecimalStyle, true, false, 1.0},  {"standard_errors", F::DecimalStyle, true, false, 0},
        {"log_likelihoods", F::DecimalStyle, false, false, 0}, {"predicted_values", F::DecimalStyle, true, false, 0},
    };
    DSAppDelegate delegate;
    for (const Setup &c : setups) {
        const DSSmallNumberFormatter *f = delegate.formatterNamed(QString::fromLatin1(c.name));
        ASSERT_TRUE(f) << c.name;
        EXPECT_EQ(f->numberStyle(), c.style) << c.name;
        EXPECT_EQ(f->usesScientificFormatter(), c.scientific) << c.name;
        EXPECT_EQ(f->showsUnrepresentableNumber(), c.unrepresentable) << c.name;
        EXPECT_EQ(f->centralValue(), c.center) << c.name;
    }
    EXPECT_EQ(delegate.predicted_values_formatter(), delegate.formatterNamed(QStringLiteral("predicted_values")));
    EXPECT_EQ(delegate.percentages_formatter(), delegate.formatterNamed(QStringLiteral("percentages")));

    const QVariantMap entry{{QStringLiteral("maximum_decimal_digits"), 5},
                            {QStringLiteral("minimum_decimal_digits"), 4},
                            {QStringLiteral("apply_minimum_decimal_digits"), false}};
    struct Digits {
        const char *what;
        QVariant stored;  // "number_format_options"; none: the registered value
        const char *name;
        int minimum, maximum;
    };
    const QVariantMap withoutTwo{{QStringLiteral("p_values"), entry}};
    const Digits cases[] = {
        {"registered", QVariant(), "predicted_values", 2, 2},
        {"registered", QVariant(), "log_likelihoods", 0, 3},
        {"registered", QVariant(), "p_values", 3, 3},
        {"registered", QVariant(), "percentages", 0, 1},
        {"no predicted_values entry", withoutTwo, "predicted_values", 0, 3},
        {"no log_likelihoods entry", withoutTwo, "log_likelihoods", 3, 3},
        {"apply NO", withoutTwo, "p_values", 0, 5},
        {"not a dictionary", QStringLiteral("junk"), "p_values", 3, 3},
        {"not a dictionary", QStringLiteral("junk"), "mean_values", 0, 3},
    };
    DSUserDefaults &defaults = DSUserDefaults::standardUserDefaults();
    for (const Digits &c : cases) {
        defaults.setObject(c.stored, QStringLiteral("number_format_options"));
        delegate.configureNumberFormatters();
        const DSSmallNumberFormatter *f = delegate.formatterNamed(QString::fromLatin1(c.name));
        EXPECT_EQ(f->minimumFractionDigits(), c.minimum) << c.what << " " << c.name;
        EXPECT_EQ(f->maximumFractionDigits(), c.maximum) << c.what << " " << c.name;
    }
}

// The application itself, in new processes under the offscreen platform: it
// registers its defaults, counts its launch and quits cleanly, with and
// without an OpenCL driver (an ICD loader that finds no vendor).
TEST(OstrelLaunch, StartsAndQuitsWithAndWithoutOpenCL)
{
    QTemporaryDir config;
    QTemporaryDir noVendors;
    struct Case {
        const char *what;
        bool withDriver;
    };
    const Case cases[] = {{"with the CPU driver", true}, {"without any OpenCL driver", false}};
    int launches = 0;
    for (const Case &c : cases) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), config.path());
        env.insert(QStringLiteral("POCL_CACHE_DIR"), QStringLiteral(OSTREL_TEST_POCL_CACHE_DIR));
        if (!c.withDriver)
            env.insert(QStringLiteral("OCL_ICD_VENDORS"), noVendors.path());
        QProcess ostrel;
        ostrel.setProcessEnvironment(env);
        ostrel.setProcessChannelMode(QProcess::MergedChannels);
        ostrel.start(QStringLiteral(OSTREL_TEST_EXECUTABLE), {QStringLiteral("--quit-after-launch")});
        ASSERT_TRUE(ostrel.waitForFinished(60000)) << c.what;
        const QString output = QString::fromUtf8(ostrel.readAll());
        EXPECT_EQ(ostrel.exitStatus(), QProcess::NormalExit) << c.what << output.toStdString();
        EXPECT_EQ(ostrel.exitCode(), 0) << c.what << output.toStdString();
        EXPECT_EQ(output.contains(QStringLiteral("No OpenCL CPU device")), !c.withDriver) << c.what;
        ++launches;
        QSettings settings(QDir(config.path()).filePath(QStringLiteral("Quillmoth/Ostrel.conf")), QSettings::IniFormat);
        EXPECT_EQ(settings.value(QStringLiteral("launch_count")).toLongLong(), launches) << c.what;
        EXPECT_EQ(settings.value(QStringLiteral("action_count")).toLongLong(), 0) << c.what;
    }
}

} // namespace
