#include "ui/window/DSStatDocumentNib.h"

#include "model/DSStatDocument.h"
#include "ui/DSNib.h"
#include "ui/panes/DSBottomLineNib.h"
#include "ui/panes/DSRecordsNib.h"
#include "ui/panes/DSSummaryNib.h"
#include "ui/window/DSSplitter.h"
#include "ui/window/DSStatDocumentPaneView.h"
#include "ui/window/ds_pane_views.h"
#include "ui/window/DSTableOutlineView.h"

#include <QAction>
#include <QActionGroup>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QRegularExpression>
#include <QRegularExpressionValidator>
#include <QMainWindow>
#include <QPushButton>
#include <QSplitter>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

template <class T>
T *named(T *object, const QString &name)
{
    object->setObjectName(name);
    return object;
}

// An empty pane of a later build: a view of that name with its title.
QWidget *placeholderPane(const QString &name, const QString &title)
{
    auto *pane = named(new QLabel(title), name);
    pane->setAlignment(Qt::AlignCenter);
    pane->setStyleSheet(QStringLiteral("color: gray"));
    return pane;
}

struct ToolbarItem
{
    const char *base;
    const char *label;
    bool selects;  // one of the exclusive pane choices
};

// A toolbar of the given number with the items named base + number.
QToolBar *toolbar(const QString &name, int number, std::initializer_list<ToolbarItem> items)
{
    auto *bar = named(new QToolBar, name);
    bar->setMovable(false);
    bar->setToolButtonStyle(Qt::ToolButtonTextOnly);
    auto *group = new QActionGroup(bar);
    group->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    for (const ToolbarItem &item : items) {
        QAction *action = bar->addAction(QString::fromUtf8(item.label));
        action->setObjectName(QString::fromLatin1(item.base) + QString::number(number));
        if (item.selects) {
            action->setCheckable(true);
            group->addAction(action);
        }
    }
    return bar;
}

QWidget *filtersPane()
{
    auto *pane = named(new DSFilterPaneView, QStringLiteral("filters_pane"));
    auto *layout = new QHBoxLayout(pane);
    layout->addWidget(named(new QWidget, QStringLiteral("filters_view")), 1);
    layout->addWidget(named(new QPushButton(QStringLiteral("+")), QStringLiteral("filter_add_button")));
    layout->addWidget(named(new QPushButton(QStringLiteral("Zoom")), QStringLiteral("filter_zoom_button")));
    layout->addWidget(named(new QPushButton(QStringLiteral("Refresh")), QStringLiteral("refresh_table_data_button")));
    return pane;
}

QWidget *statPane()
{
    auto *pane = named(new DSStatPaneView, QStringLiteral("stat_pane"));
    auto *layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(placeholderPane(QStringLiteral("summary_view"), QStringLiteral("Summary")));
    auto *modelPane = named(new QWidget, QStringLiteral("model_pane"));
    auto *modelLayout = new QVBoxLayout(modelPane);
    modelLayout->setContentsMargins(0, 0, 0, 0);
    modelLayout->addWidget(placeholderPane(QStringLiteral("model_view"), QStringLiteral("Model")));
    modelLayout->addWidget(placeholderPane(QStringLiteral("predictor_view"), QStringLiteral("Predict")));
    layout->addWidget(modelPane);
    layout->addWidget(placeholderPane(QStringLiteral("records_view"), QStringLiteral("Records")));
    layout->addWidget(placeholderPane(QStringLiteral("pivot_view"), QStringLiteral("Pivot")));
    return pane;
}

// The accessory of the File menu's import panel: instructions over four
// feature lines. The document holds it and fills it; the panel shows it.
QWidget *generalImportAccessory(QWidget *window)
{
    auto *accessory = named(new QWidget(window, Qt::Widget), QStringLiteral("general_import_accessory"));
    auto *layout = new QVBoxLayout(accessory);
    auto *instructions = named(new QLabel, QStringLiteral("general_import_accessory_instructions"));
    instructions->setWordWrap(true);
    layout->addWidget(instructions);
    for (int k = 1; k <= 4; ++k)
        layout->addWidget(named(new QLabel, QStringLiteral("general_import_accessory_feature%1").arg(k)));
    accessory->hide();
    return accessory;
}

// A hidden accessory of one of the File menu's panels, owned by the window
// until a panel borrows it.
QWidget *panelAccessory(QWidget *window, const QString &name, const QString &text)
{
    auto *accessory = named(new QWidget(window, Qt::Widget), name);
    auto *layout = new QVBoxLayout(accessory);
    auto *label = new QLabel(text);
    label->setWordWrap(true);
    layout->addWidget(label);
    accessory->hide();
    return accessory;
}

// The delimiter choice of the delimited-text panel: each choice's tag is
// the delimiter's character code, -1 the character typed into the field.
QWidget *delimitedTextImportAccessory(QWidget *window)
{
    auto *accessory = panelAccessory(window, QStringLiteral("delimited_text_import_accessory"),
                                     QStringLiteral("Variable names should be on the first line. Delimiter:"));
    auto *matrix = named(new QWidget, QStringLiteral("delimited_text_import_matrix"));
    auto *row = new QHBoxLayout(matrix);
    row->setContentsMargins(0, 0, 0, 0);
    const std::pair<const char *, int> choices[] = {
        {"Comma", ','}, {"Tab", '\t'}, {"Semicolon", ';'}, {"Space", ' '}, {"Vertical bar", '|'}, {"Other:", -1}};
    for (const auto &[title, tag] : choices) {
        auto *cell = new QRadioButton(QString::fromLatin1(title));
        cell->setProperty("tag", tag);
        cell->setChecked(tag == ',');
        row->addWidget(cell);
    }
    auto *field = named(new QLineEdit, QStringLiteral("delimited_text_import_field"));
    // One printable ASCII character.
    field->setValidator(new QRegularExpressionValidator(QRegularExpression(QStringLiteral("[ -~]")), field));
    field->setMaxLength(1);
    field->setFixedWidth(32);
    row->addWidget(field);
    row->addStretch(1);
    accessory->layout()->addWidget(matrix);
    return accessory;
}

QObjectList buildDocumentWindow(QObject *)
{
    auto *window = named(new QMainWindow, QStringLiteral("document_window"));
    window->resize(900, 600);
    window->setUnifiedTitleAndToolBarOnMac(true);

    auto *sidebar = named(new DSTableOutlineView, QStringLiteral("tables_table"));

    auto *filtersSplitter = named(new DSSplitter(Qt::Vertical), QStringLiteral("filters_splitter"));
    filtersSplitter->addWidget(filtersPane());
    filtersSplitter->addWidget(statPane());
    filtersSplitter->setCollapsible(0, true);
    filtersSplitter->setCollapsible(1, false);
    auto *statView = named(new QWidget, QStringLiteral("stat_view"));
    auto *statLayout = new QVBoxLayout(statView);
    statLayout->setContentsMargins(0, 0, 0, 0);
    statLayout->addWidget(filtersSplitter);

    auto *mainPane = named(new DSMainPaneView, QStringLiteral("main_pane"));
    auto *mainLayout = new QVBoxLayout(mainPane);
    mainLayout->setContentsMargins(0, 0, 0, 0);
    auto *message = named(new QLabel(QStringLiteral("Import data to begin: choose Import Data in the toolbar.")),
                          QStringLiteral("import_data_message"));
    message->setAlignment(Qt::AlignCenter);
    mainLayout->addWidget(message);
    mainLayout->addWidget(statView, 1);

    auto *sidebarPane = named(new DSSidebarPaneView, QStringLiteral("sidebar_pane"));
    auto *sidebarLayout = new QVBoxLayout(sidebarPane);
    sidebarLayout->setContentsMargins(0, 0, 0, 0);
    sidebarLayout->addWidget(sidebar);

    auto *split = named(new DSSplitter(Qt::Horizontal), QStringLiteral("main_splitter"));
    split->setChildrenCollapsible(false);
    split->addWidget(sidebarPane);
    split->addWidget(mainPane);
    split->setStretchFactor(1, 1);
    split->setSizes({180, 720});
    window->setCentralWidget(split);

    const std::initializer_list<ToolbarItem> dataItems{
        {"raw_data", "Data", true}, {"summary", "Summary", true}, {"pivot", "Pivot", true},
        {"filters", "Filters", false}, {"model", "Model", true}, {"predict", "Predict", true},
        {"import_data", "Import Data", false}};
    const std::initializer_list<ToolbarItem> noModelItems{
        {"raw_data", "Data", true}, {"summary", "Summary", true}, {"pivot", "Pivot", true},
        {"filters", "Filters", false}, {"model", "Model", true}, {"import_data", "Import Data", false}};
    const std::initializer_list<ToolbarItem> modelItems{
        {"raw_data", "Data", true}, {"summary", "Summary", true}, {"pivot", "Pivot", true},
        {"model", "Model", true}, {"predict", "Predict", true}, {"instruments", "Instruments", false},
        {"filters", "Filters", false}, {"import_data", "Import Data", false}};
    const QList<QToolBar *> toolbars{toolbar(QStringLiteral("summary_toolbar"), 1, dataItems),
                                     toolbar(QStringLiteral("summary_toolbar_no_model"), 2, noModelItems),
                                     toolbar(QStringLiteral("model_toolbar"), 3, modelItems)};
    for (QToolBar *bar : toolbars)
        window->addToolBar(bar);
    generalImportAccessory(window);
    panelAccessory(window, QStringLiteral("csv_import_accessory"),
                   QStringLiteral("Variable names should be on the first line; commas or tabs separate the values."));
    panelAccessory(window, QStringLiteral("spreadsheet_import_accessory"),
                   QStringLiteral("Each sheet becomes a table; variable names should be on its first row."));
    delimitedTextImportAccessory(window);
    return {window};
}

} // namespace

void DSStatDocumentNib::registerNib()
{
    DSNib::registerNib(DSStatDocument::windowNibName(), buildDocumentWindow);
    DSRecordsNib::registerNib();
    DSSummaryNib::registerNib();
    DSBottomLineNib::registerNib();
}
