#include "window_test_support.h"

#include "app/ds_register_model_classes.h"
#include "model/DSTableRowMasks.h"
#include "model/DSDataRoot.h"
#include "model/DSDataTable.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSSmallNumberFormatter.h"
#include "model/DSTextDataColumn.h"
#include "model/DSStatDocument.h"
#include "model/DSUserDefaults.h"
#include "platform/store/DSManagedObjectContext.h"
#include "regression/DSRegressionModel.h"
#include "tests/support/ds_qt_image_workers.h"
#include "model/ds_application_defaults.h"
#include "ui/panes/ds_register_pane_classes.h"
#include "model/ds_number_format_options.h"
#include "ui/sheets/ds_register_sheet_classes.h"
#include "ui/window/DSStatDocumentNib.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QApplication>
#include <QDir>
#include <QFileDialog>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QTimer>
#include <QTemporaryDir>
#include <QWidget>

#include <iostream>

ResultFormattersHost::ResultFormattersHost() : m_previous(DSStatDocument::app_delegate())
{
    for (const ds_result_format_entry_s &entry : ds_result_format_entries())
        m_formatters.push_back(ds_make_result_formatter(entry));
    DSStatDocument::setApp_delegate(this);
}

ResultFormattersHost::~ResultFormattersHost()
{
    DSStatDocument::setApp_delegate(m_previous);
}

const DSSmallNumberFormatter *ResultFormattersHost::formatterNamed(const QString &name) const
{
    const int i = ds_result_format_index(name);
    return i < 0 ? nullptr : m_formatters[size_t(i)].get();
}

void ensureWindowTestApplication()
{
    static QApplication *app = [] {
        static int argc = 1;
        static char name[] = "ostrel_window_tests";
        static char *argv[] = {name, nullptr};
        auto *application = new QApplication(argc, argv);
        static QTemporaryDir settings;
        DSUserDefaults::setStandardUserDefaults(
            std::make_unique<DSUserDefaults>(settings.filePath(QStringLiteral("Ostrel.conf"))));
        ds_register_application_defaults();
        ds_register_model_classes();
        DSStatDocumentNib::registerNib();
        ds_register_sheet_classes();
        ds_register_pane_classes();
        ds_limit_qt_image_workers();
        return application;
    }();
    (void)app;
}

QMenu *fileMenuOf(DSStatDocumentWindow *document)
{
    for (QAction *action : document->document_window()->menuBar()->actions())
        if (action->menu() && action->text() == QLatin1String("&File"))
            return action->menu();
    return nullptr;
}

void whenPanelShows(QWidget *window, std::function<void(QFileDialog *)> respond)
{
    auto *timer = new QTimer;
    QObject::connect(timer, &QTimer::timeout, timer, [timer, window, respond] {
        auto *panel = window->findChild<QFileDialog *>(QStringLiteral("import_panel"));
        if (!panel || !panel->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        respond(panel);
    });
    timer->start(10);
}

void keepPicture(QWidget *widget, const QString &fileName)
{
    // Layouts settle in posted events: a pane just shown or hidden has not
    // been laid out yet.
    QCoreApplication::sendPostedEvents(nullptr, QEvent::LayoutRequest);
    // Beside the test program, whichever folder's program is taking it.
    const QString path = QDir(QCoreApplication::applicationDirPath()).filePath(fileName);
    ASSERT_TRUE(widget->grab().save(path)) << path.toStdString();
    std::cout << "window picture: " << path.toStdString() << std::endl;
}

DSTable *addTestTable(DSStatDocument &document, const QString &name)
{
    auto *table = document.managedObjectContext()->insertNewObject<DSDataTable>(QStringLiteral("DSDataTable"));
    DSDataRoot *root = document.data_root();
    table->setIndex(root->tables().size());
    table->setData_root(root);
    table->makeDependencies();
    table->setName(name);
    return table;
}

DSColumn *addTestColumn(DSTable *table, const QString &name)
{
    auto *column = table->managedObjectContext()->insertNewObject<DSNumericDataColumn>(
        QStringLiteral("DSNumericDataColumn"));
    column->setName(name);
    table->insertNewColumns({column}, table->columns().size());
    return column;
}

DSNumericDataColumn *addNumericColumn(DSTable *table, const QString &name, const std::vector<double> &values)
{
    auto *column = table->managedObjectContext()->insertNewObject<DSNumericDataColumn>(
        QStringLiteral("DSNumericDataColumn"));
    column->setName(name);
    table->insertNewColumns({column}, table->columns().size());
    for (double x : values)
        column->appendValue(x);
    column->saveAfterImport();
    return column;
}

DSTextDataColumn *addTextColumn(DSTable *table, const QString &name, const std::vector<const char *> &texts)
{
    auto *column = table->managedObjectContext()->insertNewObject<DSTextDataColumn>(QStringLiteral("DSTextDataColumn"));
    column->setName(name);
    table->insertNewColumns({column}, table->columns().size());
    for (const char *text : texts)
        column->appendTextValue(text);
    column->saveAfterImport();
    return column;
}

DSRegressionModel *addTestModel(DSTable *table)
{
    auto *model = table->managedObjectContext()->insertNewObject<DSRegressionModel>(
        QStringLiteral("DSRegressionModel"));
    model->setValue(QStringLiteral("Model"), QStringLiteral("name"));
    table->insertRegressionModel(model, table->sortedRegressionModels().size());
    model->setObject(table, QStringLiteral("table"));
    return model;
}

void registerTestRowFilters(std::vector<const DSRowFilter *> filters)
{
    if (filters.empty()) {
        DSTableRowMasks::registerFilterSource(nullptr);
        return;
    }
    DSTableRowMasks::registerFilterSource([filters](const DSTable &) {
        DSTableRowMasks::Filters slots{};
        for (size_t i = 0; i < filters.size() && i < slots.size(); ++i)
            slots[i] = filters[i];
        return slots;
    });
}
