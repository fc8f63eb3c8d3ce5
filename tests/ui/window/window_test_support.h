#pragma once

#include "ui/window/DSDocumentWindowHost.h"

#include <QString>

#include <functional>

#include <gtest/gtest.h>

#include <memory>
#include <ostream>
#include <vector>

class DSColumn;
class DSRowFilter;
class DSNumericDataColumn;
class DSTextDataColumn;
class DSRegressionModel;
class DSStatDocument;
class DSTable;
class DSStatDocumentWindow;
class QFileDialog;
class QMenu;
class QWidget;

inline void PrintTo(const QString &text, std::ostream *os)
{
    *os << '"' << text.toStdString() << '"';
}

// The offscreen application, the entity classes and the window's interface
// file, once per process; user defaults in a scratch file.
void ensureWindowTestApplication();

// The application's side as the windows see it, counting what they ask.
class FakeHost : public DSDocumentWindowHost
{
public:
    VRWContext_s *varrow_context() const override { return nullptr; }
    const DSSmallNumberFormatter *formatterNamed(const QString &) const override { return nullptr; }
    void incrementActionCount() override { ++actions; }
    void orderOutSplashWindow() override { ++splashOrderedOut; }
    void hideEstimationCommand(QObject *) override {}
    void beep() override { ++beeps; }
    bool tutorialRunsOn(const QObject *document) const override
    {
        return document && document == tutorialDocument;
    }

    int actions = 0;
    int splashOrderedOut = 0;
    int beeps = 0;
    // The document the tutorial runs on, or null.
    const QObject *tutorialDocument = nullptr;
};

// Makes the filters the row masks of every table apply, by slot (slots
// past the list stay empty); an empty list unregisters them. The filters
// must outlive their registration.
void registerTestRowFilters(std::vector<const DSRowFilter *> filters);

// A host with the application's fourteen result formatters at their
// default digits, made the documents' application object while it lives:
// panes format their statistics as the application does.
class ResultFormattersHost : public FakeHost
{
public:
    ResultFormattersHost();
    ~ResultFormattersHost() override;
    const DSSmallNumberFormatter *formatterNamed(const QString &name) const override;

private:
    std::vector<std::unique_ptr<DSSmallNumberFormatter>> m_formatters;
    DSAppServices *m_previous;
};

// The File menu of the document's window menu bar, or null.
QMenu *fileMenuOf(DSStatDocumentWindow *document);

// Answers the import panel ("import_panel", a QFileDialog below the
// window) once it shows, from inside its modal loop.
void whenPanelShows(QWidget *window, std::function<void(QFileDialog *)> respond);

// Renders the widget into a PNG in the test's binary folder and prints its path.
void keepPicture(QWidget *widget, const QString &fileName);

// A new stored table of the document, last in the order, with its
// dependencies (filter set, pivot, aggregation).
DSTable *addTestTable(DSStatDocument &document, const QString &name);
// An empty numeric column appended to the table.
DSColumn *addTestColumn(DSTable *table, const QString &name);
// Columns of stored values appended to the table, saved as an import
// saves them (padded with missing values to the table's row count).
DSNumericDataColumn *addNumericColumn(DSTable *table, const QString &name, const std::vector<double> &values);
DSTextDataColumn *addTextColumn(DSTable *table, const QString &name, const std::vector<const char *> &texts);
// A model named "Model" appended to the table's models.
DSRegressionModel *addTestModel(DSTable *table);
