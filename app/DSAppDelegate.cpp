#include "app/DSAppDelegate.h"

#include "app/MainMenu.h"
#include "database/DSDatabaseServerListDelegate.h"
#include "model/DSSmallNumberFormatter.h"
#include "model/DSStatDocument.h"
#include "model/DSUserDefaults.h"
#include "model/ds_application_defaults.h"
#include "model/ds_number_format_options.h"
#include "regression/ds_load_vrw_programs.h"
#include "stats/DSEstimationCommandDelegate.h"
#include "ui/DSColumnFormatDelegate.h"
#include "ui/DSFeedbackDelegate.h"
#include "ui/DSPreferencesDelegate.h"
#include "ui/DSTutorialDelegate.h"
#include "ui/panes/DSBottomLineViewDelegate.h"
#include "ui/panes/DSSummaryViewDelegate.h"
#include "ui/window/DSStatDocumentWindow.h"
#include "varrow/varrow.h"

#include <QApplication>
#include <QDateTime>
#include <QDesktopServices>
#include <QFileDialog>
#include <QLabel>
#include <QPushButton>

#include <algorithm>

namespace {

const QString k_productName = QStringLiteral("Ostrel");
const QString k_launchCount = QStringLiteral("launch_count");
const QString k_actionCount = QStringLiteral("action_count");

// Seconds since 2001-01-01 00:00:00 GMT.
double absoluteTimeNow()
{
    static const QDateTime epoch(QDate(2001, 1, 1), QTime(0, 0), Qt::UTC);
    return double(epoch.msecsTo(QDateTime::currentDateTimeUtc())) / 1000.0;
}

// "Open " and the items, each but the last followed by ", ", with "or "
// before the last.
QString openSentence(const QStringList &items)
{
    QString text = QStringLiteral("Open ");
    for (qsizetype i = 0; i < items.size(); ++i) {
        if (i > 0)
            text += i + 1 == items.size() ? QStringLiteral(", or ") : QStringLiteral(", ");
        text += items[i];
    }
    return text;
}

} // namespace

const QUrl DSAppDelegate::userManualURL(QStringLiteral("https://www.quillmoth.org/ostrel/ostrel-user-guide.pdf"));
const QUrl DSAppDelegate::ratingURL(QStringLiteral("https://www.quillmoth.org/ostrel/rate"));
const QUrl DSAppDelegate::supportURL(QStringLiteral("https://www.quillmoth.org/ostrel/support"));

void DSAppDelegate::initialize()
{
    ds_register_application_defaults();
}

DSAppDelegate::DSAppDelegate(QObject *parent) : QObject(parent)
{
    int32_t status = 0;
    m_varrowContext = vrw_context_init(CL_DEVICE_TYPE_CPU, &status);
    if (m_varrowContext)
        ds_load_vrw_programs(0x80, m_varrowContext, nullptr);
    else
        qWarning("No OpenCL CPU device (status %d): model fits will report an error", int(status));

    const auto &entries = ds_result_format_entries();
    for (size_t i = 0; i < entries.size(); ++i)
        m_formatters[i] = ds_make_result_formatter(entries[i]);
    configureNumberFormatters();

    m_preferences = std::make_unique<DSPreferencesDelegate>();
    m_format = std::make_unique<DSColumnFormatDelegate>();
    m_tutorial = std::make_unique<DSTutorialDelegate>();
    m_estimationCommand = std::make_unique<DSEstimationCommandDelegate>();
    m_estimationCommand->setBottomLineLookup([](DSStatDocument *document) -> DSEstimationCommandDelegate::BottomLine * {
        auto *window = qobject_cast<DSStatDocumentWindow *>(document);
        auto *summary = window ? dynamic_cast<DSSummaryViewDelegate *>(window->summary_delegate()) : nullptr;
        return summary ? summary->the_bottom_line_delegate() : nullptr;
    });
    m_servers = std::make_unique<DSDatabaseServerListDelegate>();
    m_feedback = std::make_unique<DSFeedbackDelegate>();
    for (DSNibController *controller : controllers())
        controller->awakeFromNib();

    m_splashWindow = MainMenu::build(*this);
    DSStatDocument::setApp_delegate(this);
}

DSAppDelegate::~DSAppDelegate()
{
    if (DSStatDocument::app_delegate() == this)
        DSStatDocument::setApp_delegate(nullptr);
    vrw_context_free(m_varrowContext);
    for (DSNibController *controller : controllers())
        controller->teardown();
}

std::array<DSNibController *, 6> DSAppDelegate::controllers() const
{
    return {m_preferences.get(), m_format.get(), m_tutorial.get(),
            m_estimationCommand.get(), m_servers.get(), m_feedback.get()};
}

const DSSmallNumberFormatter *DSAppDelegate::formatterNamed(const QString &name) const
{
    const int i = ds_result_format_index(name);
    return i < 0 ? nullptr : m_formatters[size_t(i)].get();
}

void DSAppDelegate::configureNumberFormatters()
{
    const QVariantMap options = DSUserDefaults::standardUserDefaults()
                                    .dictionaryForKey(QStringLiteral("number_format_options"))
                                    .value_or(QVariantMap());
    const auto &entries = ds_result_format_entries();
    for (size_t i = 0; i < entries.size(); ++i)
        configureFormatter(m_formatters[i].get(), options.value(QString::fromLatin1(entries[i].name)),
                           entries[i].fallback());
}

void DSAppDelegate::configureFormatter(DSPlatformNumberFormatter *formatter, const QVariant &options,
                                       const QVariantMap &defaults)
{
    formatter->setMinimumFractionDigits(ds_minimum_digits_for_options(options, defaults));
    formatter->setMaximumFractionDigits(ds_maximum_digits_for_options(options, defaults));
}

QVariantMap DSAppDelegate::defaultPercentFormatOptions()
{
    return ds_default_percent_format_options();
}

QVariantMap DSAppDelegate::defaultFormatOptions()
{
    return ds_default_format_options();
}

QVariantMap DSAppDelegate::defaultFixedPlaceFormatOptions()
{
    return ds_default_fixed_place_format_options();
}

QVariantMap DSAppDelegate::defaultPredictedValuesFormatOptions()
{
    return ds_default_predicted_values_format_options();
}

int DSAppDelegate::minimumDigitsForOptions(const QVariant &options, const QVariantMap &defaults)
{
    return ds_minimum_digits_for_options(options, defaults);
}

int DSAppDelegate::maximumDigitsForOptions(const QVariant &options, const QVariantMap &defaults)
{
    return ds_maximum_digits_for_options(options, defaults);
}

int DSAppDelegate::minimumDigitsForOptionsNamed(const QString &name)
{
    return ds_minimum_digits_for_options_named(name);
}

int DSAppDelegate::maximumDigitsForOptionsNamed(const QString &name)
{
    return ds_maximum_digits_for_options_named(name);
}

void DSAppDelegate::applicationDidFinishLaunching()
{
    DSUserDefaults &defaults = DSUserDefaults::standardUserDefaults();
    if (rate_in_app_store_text_field) {
        const QString text = rate_in_app_store_text_field->text();
        rate_in_app_store_text_field->setTextFormat(Qt::RichText);
        rate_in_app_store_text_field->setOpenExternalLinks(true);
        rate_in_app_store_text_field->setText(
            QStringLiteral("<a href=\"%1\" style=\"color: blue; text-decoration: underline\">%2</a>")
                .arg(ratingURL.toString(), text.toHtmlEscaped()));
    }
    const bool hasDocument = anyWindowHasDocument();
    defaults.setInteger(defaults.integerForKey(k_launchCount) + 1, k_launchCount);
    defaults.synchronize();
    if (!hasDocument && defaults.boolForKey(QStringLiteral("always_open_splash")))
        showSplashWindow();
    if (open_existing_file_button)
        open_existing_file_button->setToolTip(openExistingFileToolTip());
    m_format->refreshViewForDocument(nullptr);
    m_preferences->refreshView(nullptr);
    m_launchTime = absoluteTimeNow();
    m_actionCount = defaults.integerForKey(k_actionCount);
}

bool DSAppDelegate::applicationShouldHandleReopen(bool hasVisibleWindows)
{
    if (!hasVisibleWindows)
        showSplashWindow();
    return false;
}

void DSAppDelegate::applicationWillTerminate()
{
    DSUserDefaults &defaults = DSUserDefaults::standardUserDefaults();
    defaults.setInteger(m_actionCount, k_actionCount);
    defaults.synchronize();
}

double DSAppDelegate::intervalSinceApplicationLaunch() const
{
    return absoluteTimeNow() - m_launchTime;
}

DSStatDocument *DSAppDelegate::documentOfWindow(const QWidget *window)
{
    return window ? qobject_cast<DSStatDocument *>(window->property("ds_document").value<QObject *>()) : nullptr;
}

DSStatDocument *DSAppDelegate::active_document() const
{
    return documentOfWindow(QApplication::activeWindow());
}

bool DSAppDelegate::anyWindowHasDocument() const
{
    const QWidgetList windows = QApplication::topLevelWidgets();
    return std::any_of(windows.begin(), windows.end(), [](const QWidget *w) { return documentOfWindow(w) != nullptr; });
}

void DSAppDelegate::showSplashWindow()
{
    if (!splash_window)
        return;
    splash_window->show();
    splash_window->raise();
    splash_window->activateWindow();
}

QUrl DSAppDelegate::chooseFile(const QString &proposedName, QFileDialog *panel, const QStringList &extensions,
                               const QString &title)
{
    QStringList patterns;
    for (const QString &extension : extensions)
        patterns << QStringLiteral("*.") + extension;
    panel->setNameFilter(patterns.join(QLatin1Char(' ')));
    panel->setWindowTitle(title);
    if (panel->acceptMode() == QFileDialog::AcceptOpen)
        panel->setFileMode(QFileDialog::ExistingFile);
    if (!proposedName.isEmpty())
        panel->selectFile(proposedName);
    if (panel->exec() != QDialog::Accepted || panel->selectedUrls().isEmpty())
        return QUrl();
    return panel->selectedUrls().first();
}

bool DSAppDelegate::tutorialRunsOn(const QObject *document) const
{
    return m_tutorial && document && m_tutorial->document() == document;
}

void DSAppDelegate::orderOutSplashWindow()
{
    if (splash_window)
        splash_window->hide();
}

void DSAppDelegate::showPreferences(QObject *)
{
    if (QWidget *window = m_preferences->window()) {
        window->show();
        window->raise();
        window->activateWindow();
    }
}

void DSAppDelegate::showEstimationCommand(QObject *)
{
    if (QWidget *window = m_estimationCommand->window()) {
        window->show();
        window->raise();
    }
}

void DSAppDelegate::refreshEstimationCommandForDocument(DSStatDocument *document)
{
    m_estimationCommand->refreshViewForDocument(document);
}

void DSAppDelegate::hideEstimationCommand(QObject *)
{
    if (QWidget *window = m_estimationCommand->window())
        window->hide();
}

bool DSAppDelegate::isEstimationCommandVisible() const
{
    const QWidget *window = m_estimationCommand->window();
    return window && window->isVisible();
}

bool DSAppDelegate::beginTutorial(QObject *, DSError *error)
{
    m_tutorial->reset();
    if (error)
        *error = ds_make_error(1, QStringLiteral("The tutorial is not available in this version of Ostrel."));
    return false;
}

void DSAppDelegate::openUserManualPDF(QObject *)
{
    QDesktopServices::openUrl(userManualURL);
}

void DSAppDelegate::openRatingURL(QObject *)
{
    QDesktopServices::openUrl(ratingURL);
}

void DSAppDelegate::openSupportURL(QObject *)
{
    QDesktopServices::openUrl(supportURL);
}

void DSAppDelegate::openFeedbackURL(QObject *sender)
{
    m_feedback->showFeedbackWindow(sender);
}

QString DSAppDelegate::welcomeMessage()
{
    return QStringLiteral("Welcome to %1").arg(k_productName);
}

QString DSAppDelegate::exclamatoryWelcomeMessage()
{
    return welcomeMessage() + QLatin1Char('!');
}

QString DSAppDelegate::quitMessage()
{
    return QStringLiteral("Quit %1").arg(k_productName);
}

QString DSAppDelegate::openExistingFileToolTip()
{
    const QStringList databases{QStringLiteral("SQLite"), QStringLiteral("Access"), QStringLiteral("DBF")};
    const QStringList packages{QStringLiteral("Stata"), QStringLiteral("SPSS"), QStringLiteral("SAS")};
    return openSentence({QStringLiteral("an existing %1 document").arg(k_productName),
                         QStringLiteral("Excel/Numbers spreadsheet"), QStringLiteral("CSV file"),
                         QStringLiteral("tab-delimited file"),
                         QStringLiteral("%1 database").arg(databases.join(QLatin1Char('/'))),
                         QStringLiteral("%1 file").arg(packages.join(QLatin1Char('/'))),
                         QStringLiteral("R workspace")});
}
