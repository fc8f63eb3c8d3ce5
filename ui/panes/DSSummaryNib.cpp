#include "ui/panes/DSSummaryNib.h"

#include "ui/DSNib.h"
#include "ui/ds_nib_views.h"
#include "ui/panes/DSStatsOutlineView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QSlider>
#include <QSplitter>
#include <QToolButton>
#include <QTreeView>
#include <QVBoxLayout>

namespace {

// A row of controls with the free space after them.
QWidget *row(const QString &name, std::initializer_list<QWidget *> controls)
{
    return group(name, controls, true);
}

QLabel *label(const QString &name, const QString &text = {})
{
    return named(new QLabel(text), name);
}

QComboBox *popUp(const QString &name, std::initializer_list<std::pair<const char *, int>> items)
{
    auto *button = named(new QComboBox, name);
    for (const auto &[title, tag] : items)
        button->addItem(QString::fromUtf8(title), tag);
    return button;
}

QSlider *slider(const QString &name, int minimum, int maximum)
{
    auto *control = named(new QSlider(Qt::Horizontal), name);
    control->setRange(minimum, maximum);
    control->setMaximumWidth(140);
    return control;
}

// The time units the resolution pop-up offers, by tag (a row of the unit
// scale), with the three group markers -5, -9 and -14 as separators.
QComboBox *timeResolutionButton()
{
    return popUp(QStringLiteral("time_resolution_button"),
                 {{"Automatic", -1},        {"Minute", 1},      {"5 Minutes", 2},  {"15 Minutes", 3},
                  {"30 Minutes", 4},        {"———", -5},        {"Hour", 5},       {"2 Hours", 6},
                  {"4 Hours", 7},           {"12 Hours", 8},    {"———", -9},       {"Day", 9},
                  {"Week", 10},             {"Month", 11},      {"Quarter", 12},   {"6 Months", 13},
                  {"———", -14},             {"Year", 14},       {"Decade", 17},    {"Century", 20}});
}

// Views that share one place: the pane shows one of them at a time.
QWidget *onePlace(std::initializer_list<QWidget *> views)
{
    auto *place = new QWidget;
    auto *layout = new QVBoxLayout(place);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget *view : views)
        layout->addWidget(view);
    return place;
}

// The five option views under the picture.
QWidget *optionViews()
{
    return onePlace(
        {row(QStringLiteral("pie_chart_options_view"),
             {named(new QCheckBox(QStringLiteral("Show missing values")), QStringLiteral("show_missing_button"))}),
         row(QStringLiteral("continuous_options_view"),
             {new QLabel(QStringLiteral("Distribution:")),
              popUp(QStringLiteral("continuous_distribution_button"), {{"Normal", 1}, {"Uniform", 0}}),
              new QLabel(QStringLiteral("Bin size:")), slider(QStringLiteral("histogram_bin_size_slider"), -5, 5),
              label(QStringLiteral("histogram_bin_size_label"))}),
         row(QStringLiteral("time_options_view"), {new QLabel(QStringLiteral("Resolution:")), timeResolutionButton()}),
         row(QStringLiteral("survival_options_view"),
             {label(QStringLiteral("censoring_label")),
              named(new QPushButton(QStringLiteral("Configure…")), QStringLiteral("censoring_configure_button"))}),
         row(QStringLiteral("repeated_measures_options_view"),
             {named(new QCheckBox(QStringLiteral("Repeated measures")), QStringLiteral("repeated_measures_button"))})});
}

// The three treat-as controls.
QWidget *treatAsViews()
{
    return onePlace(
        {row(QStringLiteral("treat_as_categories_view"),
             {named(new QCheckBox(QStringLiteral("Treat as categories")), QStringLiteral("treat_as_categories_button"))}),
         row(QStringLiteral("treat_as_survival_times_view"),
             {named(new QCheckBox(QStringLiteral("Treat as survival times")),
                    QStringLiteral("treat_as_survival_times_button"))}),
         row(QStringLiteral("treat_as_button_view"),
             {new QLabel(QStringLiteral("Treat as:")),
              popUp(QStringLiteral("treat_as_popup_button"),
                    {{"Categories", 0}, {"Values", 1}, {"Row counts", 2}, {"Survival times", 3}})})});
}

QWidget *graphicsPane()
{
    auto *pane = named(new QWidget, QStringLiteral("summary_graphics_pane"));
    auto *layout = new QVBoxLayout(pane);
    auto *picture = named(new QWidget, QStringLiteral("stat_picture"));
    picture->setMinimumSize(240, 160);
    picture->setAutoFillBackground(true);
    QPalette white = picture->palette();
    white.setColor(QPalette::Window, Qt::white);
    picture->setPalette(white);
    layout->addWidget(picture, 2);
    auto *options = new QHBoxLayout;
    options->addWidget(optionViews(), 1);
    options->addWidget(treatAsViews());
    auto *formatting = named(new QToolButton, QStringLiteral("formatting_options_button"));
    formatting->setText(QStringLiteral("Format…"));
    options->addWidget(formatting);
    layout->addLayout(options);
    auto *confidence = slider(QStringLiteral("confidence_slider"), 50, 99);
    layout->addWidget(row(QStringLiteral("confidence_view"),
                          {new QLabel(QStringLiteral("Confidence:")), confidence,
                           label(QStringLiteral("confidence_label"))}));
    auto *covariates = named(new QWidget, QStringLiteral("covariate_pane"));
    covariates->setLayout(new QVBoxLayout);
    covariates->layout()->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(covariates, 1);
    return pane;
}

QWidget *columnList()
{
    auto *side = new QWidget;
    auto *layout = new QVBoxLayout(side);
    auto *search = named(new QLineEdit, QStringLiteral("column_filter_field"));
    search->setPlaceholderText(QStringLiteral("Search columns"));
    search->setClearButtonEnabled(true);
    layout->addWidget(search);
    auto *outline = named(new DSStatsOutlineView, QStringLiteral("stats_table"));
    layout->addWidget(outline, 1);
    layout->addWidget(label(QStringLiteral("number_of_columns_label")));
    return side;
}

// The model-building area: the instructions (with the bottom line in their
// place while the padlock is shut), the padlock and the build button; the
// graphics button takes its place while the graphics pane is hidden.
QWidget *buildModelView()
{
    auto *view = named(new QWidget, QStringLiteral("build_model_view"));
    auto *layout = new QHBoxLayout(view);
    layout->setContentsMargins(6, 0, 6, 6);
    auto *instructions = row(QStringLiteral("build_model_instructions"),
                             {new QLabel(QStringLiteral("1. Choose the outcome.  2. Tick the explanatory columns.")),
                              label(QStringLiteral("build_model_number_3_label"), QStringLiteral("3."))});
    layout->addWidget(instructions, 1);
    auto *padlock = named(new QToolButton, QStringLiteral("build_model_lock_button"));
    padlock->setCheckable(true);
    padlock->setText(QStringLiteral("🔒"));
    layout->addWidget(padlock);
    layout->addWidget(named(new QPushButton(QStringLiteral("Build Model")), QStringLiteral("build_model_button")));
    auto *help = named(new QToolButton, QStringLiteral("build_model_help_button"));
    help->setText(QStringLiteral("?"));
    layout->addWidget(help);
    return view;
}

QObjectList buildSummaryPane(QObject *)
{
    auto *pane = named(new QWidget, QStringLiteral("summary_view"));
    auto *layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);
    auto *splitter = named(new QSplitter(Qt::Horizontal), QStringLiteral("summary_splitter"));
    splitter->addWidget(columnList());
    splitter->addWidget(graphicsPane());
    splitter->setCollapsible(0, false);
    splitter->setStretchFactor(0, 1);
    splitter->setStretchFactor(1, 1);
    layout->addWidget(splitter, 1);
    layout->addWidget(buildModelView());
    layout->addWidget(row(QStringLiteral("summary_graphics_button_view"),
                          {named(new QPushButton(QStringLiteral("Show Graphics")),
                                 QStringLiteral("summary_graphics_button"))}));
    return {pane};
}

} // namespace

void DSSummaryNib::registerNib()
{
    DSNib::registerNib(QStringLiteral("DSStatDocumentSummary"), buildSummaryPane);
}
