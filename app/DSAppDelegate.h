#pragma once

#include "model/DSError.h"
#include "model/DSSmallNumberFormatter.h"
#include "ui/window/DSDocumentWindowHost.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QUrl>
#include <QVariantMap>

#include <array>
#include <memory>

class DSColumnFormatDelegate;
class DSDatabaseServerListDelegate;
class DSEstimationCommandDelegate;
class DSFeedbackDelegate;
class DSNibController;
class DSPreferencesDelegate;
class DSStatDocument;
class DSTutorialDelegate;
class QFileDialog;
class QLabel;
class QMenu;
class QPushButton;
class QWidget;
struct VRWContext_s;

// The one application object: it registers the user defaults before
// anything reads them, owns the fitting-library context that every
// regression uses, the shared result formatters and the controllers of the
// auxiliary windows, and handles launch, reactivation and termination.
// Every document reaches it as DSStatDocument::app_delegate(), through the
// interface the layers below see (DSAppServices), and by the document
// windows as their host (DSDocumentWindowHost, which extends it).
//
// Main thread only.
class DSAppDelegate : public QObject, public DSDocumentWindowHost
{
    Q_OBJECT

public:
    // Registers the user defaults; main() calls it before anything else.
    static void initialize();

    // Creates the fitting context on the CPU device and builds its common
    // kernel family (a machine without an OpenCL driver gets no context: the
    // application starts and fits later report "Error during regression"),
    // configures the formatters and creates the six controllers.
    explicit DSAppDelegate(QObject *parent = nullptr);
    ~DSAppDelegate() override;

    // The fitting context, or null when there is no CPU compute device.
    VRWContext_s *varrow_context() const override { return m_varrowContext; }

    // The fourteen shared result formatters, configured from the user
    // default "number_format_options".
    const DSPlatformNumberFormatter *percentages_formatter() const { return formatter(0); }
    const DSPlatformNumberFormatter *mean_values_formatter() const { return formatter(1); }
    const DSPlatformNumberFormatter *standard_deviations_formatter() const { return formatter(2); }
    const DSPlatformNumberFormatter *p_values_formatter() const { return formatter(3); }
    const DSPlatformNumberFormatter *r_squared_formatter() const { return formatter(4); }
    const DSPlatformNumberFormatter *correlations_formatter() const { return formatter(5); }
    const DSPlatformNumberFormatter *covariances_formatter() const { return formatter(6); }
    const DSPlatformNumberFormatter *test_statistics_formatter() const { return formatter(7); }
    const DSPlatformNumberFormatter *critical_values_formatter() const { return formatter(8); }
    const DSPlatformNumberFormatter *coefficients_formatter() const { return formatter(9); }
    const DSPlatformNumberFormatter *odds_ratios_formatter() const { return formatter(10); }
    const DSPlatformNumberFormatter *standard_errors_formatter() const { return formatter(11); }
    const DSPlatformNumberFormatter *log_likelihoods_formatter() const { return formatter(12); }
    const DSPlatformNumberFormatter *predicted_values_formatter() const { return formatter(13); }
    // The formatter of the "number_format_options" entry of that name, or null.
    const DSSmallNumberFormatter *formatterNamed(const QString &name) const override;

    // Re-reads "number_format_options" (anything but a dictionary counts as
    // absent) and sets each formatter's digits from its entry, with the
    // entry's fallback set for the fields it lacks. The preferences window
    // calls it after each change of a digit setting.
    void configureNumberFormatters();
    // Sets the minimum, then the maximum fraction digits.
    static void configureFormatter(DSPlatformNumberFormatter *formatter, const QVariant &options,
                                   const QVariantMap &defaults);

    // The digit rules of the result formatters (ds_number_format_options.h).
    static QVariantMap defaultPercentFormatOptions();
    static QVariantMap defaultFormatOptions();
    static QVariantMap defaultFixedPlaceFormatOptions();
    static QVariantMap defaultPredictedValuesFormatOptions();
    static int minimumDigitsForOptions(const QVariant &options, const QVariantMap &defaults);
    static int maximumDigitsForOptions(const QVariant &options, const QVariantMap &defaults);
    static int minimumDigitsForOptionsNamed(const QString &name);
    static int maximumDigitsForOptionsNamed(const QString &name);

    // Launch, in the order the platform would call them.
    void applicationDidFinishLaunching();
    // Without visible windows the splash window comes back; the answer is
    // always NO, so nothing else is opened.
    bool applicationShouldHandleReopen(bool hasVisibleWindows);
    // The application never makes an untitled document by itself.
    bool applicationShouldOpenUntitledFile() const { return false; }
    // Stores the action count.
    void applicationWillTerminate();

    qint64 action_count() const { return m_actionCount; }
    void incrementActionCount() override { ++m_actionCount; }
    // The welcome window goes when a document window opens.
    void orderOutSplashWindow() override;
    bool tutorialRunsOn(const QObject *document) const override;
    // Seconds since 2001-01-01 00:00:00 GMT when launching finished.
    double application_launch_time() const { return m_launchTime; }
    double intervalSinceApplicationLaunch() const;

    // The document of the main window, or null. A document window marks
    // itself with the property "ds_document" holding its DSStatDocument.
    DSStatDocument *active_document() const;
    static DSStatDocument *documentOfWindow(const QWidget *window);

    // Runs a file panel restricted to the extensions, with the title and the
    // proposed name; the chosen file, or an empty URL when cancelled.
    QUrl chooseFile(const QString &proposedName, QFileDialog *panel, const QStringList &extensions,
                    const QString &title);

    void showPreferences(QObject *sender = nullptr);
    void showEstimationCommand(QObject *sender = nullptr);
    void hideEstimationCommand(QObject *sender = nullptr) override;
    void refreshEstimationCommandForDocument(DSStatDocument *document) override;
    bool isEstimationCommandVisible() const;
    // Starts the tutorial on its read-only sample document.
    bool beginTutorial(QObject *sender = nullptr, DSError *error = nullptr);
    void openUserManualPDF(QObject *sender = nullptr);
    void openRatingURL(QObject *sender = nullptr);
    void openSupportURL(QObject *sender = nullptr);
    void openFeedbackURL(QObject *sender = nullptr);

    static QString welcomeMessage();             // "Welcome to Ostrel"
    static QString exclamatoryWelcomeMessage();  // "Welcome to Ostrel!"
    static QString quitMessage();                // "Quit Ostrel"
    // "Open an existing Ostrel document, Excel/Numbers spreadsheet, ...":
    // the tool tip of the splash window's open button.
    static QString openExistingFileToolTip();

    static const QUrl userManualURL;
    static const QUrl ratingURL;
    static const QUrl supportURL;

    DSPreferencesDelegate *preferences_delegate() const { return m_preferences.get(); }
    DSColumnFormatDelegate *format_delegate() const { return m_format.get(); }
    DSTutorialDelegate *tutorial_delegate() const { return m_tutorial.get(); }
    DSEstimationCommandDelegate *estimation_command_delegate() const { return m_estimationCommand.get(); }
    DSDatabaseServerListDelegate *server_delegate() const { return m_servers.get(); }
    DSFeedbackDelegate *feedback_delegate() const { return m_feedback.get(); }

    // Outlets of the main interface (MainMenu), not owned. The menus stay
    // null until the menus exist.
    QPointer<QWidget> splash_window;
    QPointer<QLabel> rate_in_app_store_text_field;
    QPointer<QPushButton> open_existing_file_button;
    QPointer<QMenu> main_menu, tables_menu, outcome_variable_menu, explanatory_variable_menu,
        instrumental_variable_menu, stats_table_menu, covariates_table_menu, outcome_variable_table_menu,
        explanatory_variable_table_menu, instrumental_variable_table_menu, export_summary_image_menu,
        export_covariate_image_menu, export_the_bottom_line_menu, export_residuals_image_menu,
        export_hypothesis_image_menu, export_predictor_image_menu, export_prediction_distribution_menu;

    // Menu actions that do nothing (the predict view has the working model export).
    void exportCSVPivotTable(QObject *) {}
    void exportXLSPivotTable(QObject *) {}
    void exportCSVSummaryTable(QObject *) {}
    void exportXLSSummaryTable(QObject *) {}
    void exportCSVSummaryImage(QObject *) {}
    void exportXLSSummaryImage(QObject *) {}
    void exportCSVCovariateTable(QObject *) {}
    void exportXLSCovariateTable(QObject *) {}
    void exportCSVCovariateImage(QObject *) {}
    void exportXLSCovariateImage(QObject *) {}
    void exportCSVCorrelationMatrix(QObject *) {}
    void exportXLSCorrelationMatrix(QObject *) {}
    void exportCSVBottomLine(QObject *) {}
    void exportXLSBottomLine(QObject *) {}
    void exportCSVCoefficientTable(QObject *) {}
    void exportXLSCoefficientTable(QObject *) {}
    void exportCSVResidualTable(QObject *) {}
    void exportXLSResidualTable(QObject *) {}
    void exportCSVPredictionTable(QObject *) {}
    void exportXLSPredictionTable(QObject *) {}
    void exportCSVPredictionDistribution(QObject *) {}
    void exportXLSPredictionDistribution(QObject *) {}
    void exportXLSModel(QObject *) {}
    void exportSQLModel(QObject *) {}
    void exportPDFSummaryView(QObject *) {}
    void exportPNGSummaryView(QObject *) {}
    void exportPDFCovariateView(QObject *) {}
    void exportPNGCovariateView(QObject *) {}
    void exportPDFBottomLineView(QObject *) {}
    void exportPNGBottomLineView(QObject *) {}
    void exportPDFResidualsView(QObject *) {}
    void exportPNGResidualsView(QObject *) {}
    void exportPDFHypothesisView(QObject *) {}
    void exportPNGHypothesisView(QObject *) {}
    void exportPDFPredictionValueCurveView(QObject *) {}
    void exportPNGPredictionValueCurveView(QObject *) {}
    void exportPDFPredictionDistributionView(QObject *) {}
    void exportPNGPredictionDistributionView(QObject *) {}
    void copySummaryView(QObject *) {}
    void copyCovariateView(QObject *) {}
    void copyBottomLineView(QObject *) {}
    void copyResidualsView(QObject *) {}
    void copyHypothesisView(QObject *) {}
    void copyPredicationValueCurveView(QObject *) {}
    void copyDistributionView(QObject *) {}

Q_SIGNALS:
    // The splash window's open button was pressed; the document machinery
    // answers it with an open panel.
    void openExistingFileRequested();

private:
    const DSSmallNumberFormatter *formatter(size_t i) const { return m_formatters[i].get(); }
    // The six controllers in the order they are made.
    std::array<DSNibController *, 6> controllers() const;
    void showSplashWindow();
    bool anyWindowHasDocument() const;

    VRWContext_s *m_varrowContext = nullptr;
    std::array<std::unique_ptr<DSSmallNumberFormatter>, 14> m_formatters;
    qint64 m_actionCount = 0;
    double m_launchTime = 0;
    std::unique_ptr<DSPreferencesDelegate> m_preferences;
    std::unique_ptr<DSColumnFormatDelegate> m_format;
    std::unique_ptr<DSTutorialDelegate> m_tutorial;
    std::unique_ptr<DSEstimationCommandDelegate> m_estimationCommand;
    std::unique_ptr<DSDatabaseServerListDelegate> m_servers;
    std::unique_ptr<DSFeedbackDelegate> m_feedback;
    std::unique_ptr<QWidget> m_splashWindow;
};
