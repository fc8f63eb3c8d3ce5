#include "ui/panes/DSSummaryViewDelegate.h"

#include "model/DSColumnSelection.h"
#include "model/DSDurationFormatter.h"
#include "model/DSIndicatorColumn.h"
#include "model/DSNumericColumn.h"
#include "model/DSShortNumberFormatter.h"
#include "model/DSSmallNumberFormatter.h"
#include "model/DSTable.h"
#include "model/DSTextColumn.h"
#include "model/DSTimeColumn.h"
#include "model/util/ds_decimal.h"
#include "ui/panes/DSBottomLineViewDelegate.h"
#include "ui/panes/DSStatsOutlineDelegate.h"
#include "ui/panes/DSStatsOutlineView.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLabel>
#include <QLayout>
#include <QLineEdit>
#include <QListView>
#include <QScopedValueRollback>
#include <QSet>
#include <QSlider>
#include <QSplitter>
#include <QStandardItemModel>
#include <QTreeView>

#include <cmath>
#include <limits>

namespace {

constexpr qint64 k_notFound = std::numeric_limits<qint64>::max();

const char *const k_optionViews[] = {"pie_chart_options_view", "continuous_options_view", "time_options_view",
                                     "survival_options_view", "repeated_measures_options_view"};

// Selects the pop-up's first item with the tag; none leaves it as it is.
void selectItemWithTag(QComboBox *popUp, qint64 tag)
{
    if (const int i = popUp->findData(QVariant::fromValue(int(tag))); i >= 0)
        popUp->setCurrentIndex(i);
}

// Whether an item of the time-resolution pop-up hides for the smallest
// unit m of the column: the units (and group markers) below the group m is in.
bool timeItemHidden(qint64 tag, qint64 m)
{
    const qint64 unit = std::abs(tag);
    if (tag == -1)
        return false;
    const qint64 bound = m >= 14 ? 14 : m >= 9 ? 9 : m >= 5 ? 5 : 0;
    return tag < 0 ? unit <= bound : unit < bound;
}

} // namespace

DSSummaryViewDelegate::DSSummaryViewDelegate()
    : m_bigFormatter(std::make_unique<DSShortNumberFormatter>(DSPlatformNumberFormatter::DecimalStyle)),
      m_lilFormatter(std::make_unique<DSSmallNumberFormatter>(DSPlatformNumberFormatter::DecimalStyle)),
      m_outline(std::make_unique<DSStatsOutlineDelegate>(this)),
      m_bottomLine(std::make_unique<DSBottomLineViewDelegate>())
{
    m_lilFormatter->setUsesScientificFormatter(true);
}

DSSummaryViewDelegate::~DSSummaryViewDelegate()
{
    // The outline may outlive the pane by a turn of the event loop.
    if (m_statsTable)
        m_statsTable->setModel(nullptr);
}

QString DSSummaryViewDelegate::nibName() const
{
    return QStringLiteral("DSStatDocumentSummary");
}

DSTable *DSSummaryViewDelegate::active_table() const
{
    return document() ? document()->active_table() : nullptr;
}

void DSSummaryViewDelegate::didLoadNib()
{
    m_summaryView = view("summary_view");
    m_statsTable = control<QTreeView>("stats_table");
    m_splitter = control<QSplitter>("summary_splitter");
    if (m_statsTable)
        m_outline->attachOutline(m_statsTable);
    if (auto *outline = qobject_cast<DSStatsOutlineView *>(m_statsTable.data()))
        outline->setSummary_delegate(this);

    // The bottom line sits where the model-building instructions are; the
    // two take turns by the padlock.
    m_bottomLine->setDocument(document());
    m_bottomLine->awakeFromNib();
    QWidget *instructions = view("build_model_instructions");
    if (QWidget *line = m_bottomLine->the_bottom_line_view(); line && instructions) {
        QLayout *layout = instructions->parentWidget()->layout();
        line->setParent(instructions->parentWidget());
        if (auto *box = qobject_cast<QBoxLayout *>(layout))
            box->insertWidget(box->indexOf(instructions) + 1, line, 1);
    }
    if (m_splitter) {
        m_splitterObserver = QObject::connect(m_splitter, &QSplitter::splitterMoved, this, [this] {
            if (!graphicsPaneCollapsed())
                m_lastGraphicsPaneWidth = m_splitter->sizes().value(1);
            if (DSTable *table = active_table())
                table->setShowSummaryCharts(!graphicsPaneCollapsed());
        });
    }
    connectControls();
    DSStatDocumentViewDelegate::didLoadNib();
}

void DSSummaryViewDelegate::connectControls()
{
    if (auto *field = control<QLineEdit>("column_filter_field"))
        QObject::connect(field, &QLineEdit::textEdited, this, [this](const QString &text) {
            m_outline->updateFilter(text);
        });
    auto slider = [this](const char *name, void (DSSummaryViewDelegate::*action)(QSlider *)) {
        if (auto *control = this->control<QSlider>(name))
            QObject::connect(control, &QSlider::valueChanged, this, [this, control, action] {
                if (!is_refreshing())
                    (this->*action)(control);
            });
    };
    slider("histogram_bin_size_slider", &DSSummaryViewDelegate::selectHistogramResolutionLevel);
    slider("confidence_slider", &DSSummaryViewDelegate::setConfidenceLevel);
    auto popUp = [this](const char *name, void (DSSummaryViewDelegate::*action)(QComboBox *)) {
        if (auto *control = this->control<QComboBox>(name))
            QObject::connect(control, &QComboBox::activated, this, [this, control, action] { (this->*action)(control); });
    };
    popUp("continuous_distribution_button", &DSSummaryViewDelegate::selectContinuousDistribution);
    popUp("time_resolution_button", &DSSummaryViewDelegate::selectTimeResolution);
    popUp("treat_as_popup_button", &DSSummaryViewDelegate::setDataType);
    // Actions take the button, or any sender.
    auto button = [this](const char *name, auto action) {
        if (auto *control = this->control<QAbstractButton>(name))
            QObject::connect(control, &QAbstractButton::clicked, this, [this, control, action] {
                (this->*action)(control);
            });
    };
    button("treat_as_categories_button", &DSSummaryViewDelegate::toggleTreatAsCategoriesForSelectedColumns);
    button("treat_as_survival_times_button", &DSSummaryViewDelegate::toggleTreatAsSurvivalTimesForSelectedColumns);
    button("show_missing_button", &DSSummaryViewDelegate::toggleShowMissing);
    button("repeated_measures_button", &DSSummaryViewDelegate::toggleRepeatedMeasures);
    button("build_model_lock_button", &DSSummaryViewDelegate::toggleBuildModelUnlocked);
    button("censoring_configure_button", &DSSummaryViewDelegate::showCensoringPopover);
    button("build_model_help_button", &DSSummaryViewDelegate::openBuildModelHelp);
    button("formatting_options_button", &DSSummaryViewDelegate::showHideFormattingOptions);
    button("summary_graphics_button", &DSSummaryViewDelegate::showHideSummaryGraphics);
}

void DSSummaryViewDelegate::unregisterObservers()
{
    QObject::disconnect(m_splitterObserver);
}

void DSSummaryViewDelegate::teardown()
{
    m_bottomLine->teardown();
    if (m_statsTable)
        m_statsTable->setModel(nullptr);
    DSStatDocumentViewDelegate::teardown();
}

void DSSummaryViewDelegate::setVisible(const char *name, bool visible) const
{
    if (QWidget *widget = view(name))
        widget->setVisible(visible);
}

qint64 DSSummaryViewDelegate::refreshFilteredColumns()
{
    m_filteredColumns.clear();
    DSTable *table = active_table();
    if (!table)
        return 0;
    for (DSColumn *column : table->columnsMatching(table->column_filter_summary))
        m_filteredColumns.append(column->index());
    // The selection keeps its own order (the order of the user's clicks, or
    // of a menu's list), which need not ascend by index: each hidden column
    // is dropped by itself rather than by a merge of two ascending lists.
    const QSet<qint64> listed(m_filteredColumns.begin(), m_filteredColumns.end());
    DSColumnSelection *selection = table->column_selection();
    for (DSColumn *column : selection->columns())
        if (!listed.contains(column->index()))
            selection->removeColumn(column);
    return m_filteredColumns.size();
}

DSColumn *DSSummaryViewDelegate::columnAtFilteredIndex(qint64 position) const
{
    DSTable *table = active_table();
    const qint64 index = columnIndexAtFilteredIndex(position);
    return table && index >= 0 ? table->columnAtIndex(index) : nullptr;
}

qint64 DSSummaryViewDelegate::columnIndexAtFilteredIndex(qint64 position) const
{
    return position >= 0 && position < m_filteredColumns.size() ? m_filteredColumns[position] : -1;
}

qint64 DSSummaryViewDelegate::filteredIndexOfColumnIndex(qint64 index) const
{
    const qsizetype position = m_filteredColumns.indexOf(index);
    return position < 0 ? k_notFound : position;
}

QList<DSColumn *> DSSummaryViewDelegate::selectedColumns() const
{
    DSTable *table = active_table();
    return table ? table->column_selection()->columns() : QList<DSColumn *>{};
}

QList<DSColumn *> DSSummaryViewDelegate::clickedOrSelectedColumns() const
{
    // The plain outline has no clicked row apart from the selection.
    return selectedColumns();
}

void DSSummaryViewDelegate::deselectAllColumns()
{
    if (m_statsTable)
        m_statsTable->clearSelection();
}

void DSSummaryViewDelegate::didDeleteColumnAtIndex(qint64 index)
{
    DSTable *table = active_table();
    if (!table)
        return;
    table->column_selection()->removeAllColumns();
    if (index == -1) {
        deselectAllColumns();
        return;
    }
    qint64 position = filteredIndexOfColumnIndex(index);
    {
        QScopedValueRollback guard(m_isRefreshing, true);
        m_outline->reloadData();
    }
    const qint64 count = numberOfFilteredColumns();
    // A column deleted while the search hid it has no place to start from.
    if (position == k_notFound || count == 0)
        return;
    if (position >= count)
        position = count - 1;
    table->column_selection()->addColumn(columnAtFilteredIndex(position));
    refreshSummaryTableSelection(nullptr);
}

void DSSummaryViewDelegate::scrollSummaryTablesToSelectedRows(QObject *)
{
    if (!m_statsTable)
        return;
    const QModelIndexList rows = m_statsTable->selectionModel()->selectedRows();
    if (!rows.isEmpty())
        m_statsTable->scrollTo(rows.first());
}

void DSSummaryViewDelegate::refreshView(QObject *)
{
    if (m_isRefreshing)
        return;
    DSTable *table = active_table();
    if (!table)
        return;
    QScopedValueRollback guard(m_isRefreshing, true);
    if (auto *field = control<QLineEdit>("column_filter_field"))
        field->setText(table->column_filter_summary);
    m_outline->reloadData();
    refreshSummaryTableSelection(nullptr);
    refreshSummaryViewNoTable(nullptr);
}

void DSSummaryViewDelegate::refreshSummaryTableSelection(QObject *)
{
    DSTable *table = active_table();
    if (!table || !m_statsTable)
        return;
    QScopedValueRollback guard(m_isRefreshing, true);
    if (table->column_selection()->count() == 0)
        m_statsTable->clearSelection();
    else
        m_outline->selectRowsOfSelection(table->column_selection());
}

void DSSummaryViewDelegate::showOptionView(const char *name)
{
    for (const char *option : k_optionViews)
        setVisible(option, name && qstrcmp(option, name) == 0);
}

void DSSummaryViewDelegate::refreshSummaryViewNoTable(QObject *sender)
{
    DSTable *table = active_table();
    if (!table)
        return;
    if (QWidget *picture = view("stat_picture"))
        picture->update();
    if (table->showSummaryCharts())
        showSummaryGraphics();
    else
        hideSummaryGraphics();

    DSColumn *active = table->active_column();
    const DSColumnSelection *selection = table->column_selection();
    if (active && (active->treat_as_categories() || dynamic_cast<DSIndicatorColumn *>(active)))
        showOptionView("pie_chart_options_view");
    else if (active && active->treat_as_survival_times())
        showOptionView("survival_options_view");
    else if (dynamic_cast<DSTimeColumn *>(active))
        showOptionView("time_options_view");
    else if (dynamic_cast<DSNumericColumn *>(active)) {
        refreshHistogramBinSizeLabel(sender);
        if (auto *distribution = control<QComboBox>("continuous_distribution_button"))
            selectItemWithTag(distribution, active->continuous_distribution());
        showOptionView("continuous_options_view");
    } else {
        const bool repeated = selection->count() > 1
                              && ((selection->allNumeric() && !selection->anySurvivalTimes() && !selection->anyCategories())
                                  || selection->allConformableCategories());
        showOptionView(repeated ? "repeated_measures_options_view" : nullptr);
    }
    if (auto *missing = control<QAbstractButton>("show_missing_button"))
        missing->setChecked(table->boolForKey(QStringLiteral("show_missing_values")));
    if (auto *repeated = control<QAbstractButton>("repeated_measures_button")) {
        const bool paired = table->boolForKey(QStringLiteral("show_paired_differences"));
        repeated->setEnabled(!paired);
        repeated->setChecked(paired || table->boolForKey(QStringLiteral("repeated_measures")));
    }
    refreshTutorial(sender);
    refreshTreatAsCategoriesButton(sender);
    refreshTimeResolutionButton(sender);
    refreshCensoringLabel(sender);
    // The covariate pane would refresh here and call these back.
    refreshBuildModelControls(sender);
    refreshTheBottomLine(sender);
    // The format inspector edits the category when one is chosen.
    if (auto *formatting = control<QAbstractButton>("formatting_options_button"))
        formatting->setText(table->active_column_category() ? QStringLiteral("Format Category…")
                                                            : QStringLiteral("Format…"));
    refreshConfidenceViews(sender);
}

void DSSummaryViewDelegate::refreshTutorial(QObject *)
{
    // The tutorial has no steps yet, so no document runs one.
}

void DSSummaryViewDelegate::refreshTreatAsCategoriesButton(QObject *)
{
    DSTable *table = active_table();
    if (!table)
        return;
    const QList<DSColumn *> columns = table->column_selection()->columns();
    const qsizetype n = columns.size();
    qsizetype e = 0, k = 0, c = 0, s = 0;
    bool w = false;
    for (DSColumn *column : columns) {
        e += column->canBeTreatedAsCategories();
        k += dynamic_cast<DSNumericColumn *>(column) != nullptr;
        c += column->treat_as_categories();
        s += column->treat_as_survival_times();
        w = w || (column == table->frequency_weights_column() && table->apply_frequency_weights());
    }
    if (auto *categories = control<QAbstractButton>("treat_as_categories_button")) {
        categories->setEnabled(e > 0);
        categories->setChecked(table->active_column_category() || (c > 0 && c >= n));
    }
    if (auto *survival = control<QAbstractButton>("treat_as_survival_times_button"))
        survival->setChecked(s > 0 && s >= n);
    if (auto *popUp = control<QComboBox>("treat_as_popup_button")) {
        selectItemWithTag(popUp, c == n ? 0 : s == n ? 3 : (w && n == 1) ? 2 : 1);
        if (auto *items = qobject_cast<QStandardItemModel *>(popUp->model()))
            items->item(2)->setEnabled(n == 1);
    }
    const char *shown = n > 0 && k == n ? "treat_as_button_view"
                        : n > 0 && e == 0 ? "treat_as_survival_times_view"
                                          : "treat_as_categories_view";
    for (const char *name : {"treat_as_categories_view", "treat_as_survival_times_view", "treat_as_button_view"})
        setVisible(name, qstrcmp(name, shown) == 0);
}

void DSSummaryViewDelegate::setDataType(QComboBox *sender)
{
    DSTable *table = active_table();
    if (!table)
        return;
    const int tag = sender->currentData().toInt();
    bool weightsChanged = false;
    const QList<DSColumn *> columns = table->column_selection()->columns();
    for (DSColumn *column : columns) {
        column->setTreat_as_categories(tag == 0);
        column->setTreat_as_survival_times(tag == 3);
        if (tag == 2) {
            table->setFrequency_weights_column(column);
            table->setApply_frequency_weights(true);
            weightsChanged = true;
        } else if (column == table->frequency_weights_column()) {
            table->setFrequency_weights_column(nullptr);
            table->setApply_frequency_weights(false);
            weightsChanged = true;
        }
    }
    // Frequency weights change every statistic of the table.
    if (weightsChanged)
        document()->refreshView(sender);
    else
        document()->refreshSummaryViewForColumns(columns);
}

void DSSummaryViewDelegate::toggleTreatAsCategoriesForSelectedColumns(QObject *)
{
    if (document())
        document()->toggleTreatAsCategoriesForColumns(selectedColumns());
}

void DSSummaryViewDelegate::toggleTreatAsSurvivalTimesForSelectedColumns(QObject *)
{
    if (document())
        document()->toggleTreatAsSurvivalTimesForColumns(selectedColumns());
}

void DSSummaryViewDelegate::refreshTimeResolutionButton(QObject *)
{
    DSTable *table = active_table();
    auto *column = table ? dynamic_cast<DSTimeColumn *>(table->active_column()) : nullptr;
    auto *popUp = control<QComboBox>("time_resolution_button");
    if (!column || !popUp)
        return;
    selectItemWithTag(popUp, column->do_fix_time_unit() ? column->fixed_time_unit() : -1);
    const qint64 m = column->minimumTimeUnit();
    auto *items = qobject_cast<QStandardItemModel *>(popUp->model());
    auto *list = qobject_cast<QListView *>(popUp->view());
    for (int i = 0; i < popUp->count(); ++i) {
        const qint64 tag = popUp->itemData(i).toLongLong();
        if (items)
            items->item(i)->setEnabled(tag == -1 || tag >= m);
        if (list)
            list->setRowHidden(i, timeItemHidden(tag, m));
    }
}

void DSSummaryViewDelegate::selectTimeResolution(QComboBox *sender)
{
    DSTable *table = active_table();
    auto *column = table ? dynamic_cast<DSTimeColumn *>(table->active_column()) : nullptr;
    if (!column)
        return;
    const qint64 tag = sender->currentData().toLongLong();
    column->setDo_fix_time_unit(tag != -1);
    if (tag != -1)
        column->setFixed_time_unit(tag);
    column->setTemp_summary(nullptr);
    refreshView(sender);
}

void DSSummaryViewDelegate::refreshHistogramBinSizeLabel(QObject *)
{
    DSTable *table = active_table();
    auto *column = table ? dynamic_cast<DSNumericColumn *>(table->active_column()) : nullptr;
    auto *label = control<QLabel>("histogram_bin_size_label");
    if (!column || !label)
        return;
    // The whole column, not the filtered rows: the bins stay put under a filter.
    const ds_stats_s extremes = column->calculateStatsWithMask(nullptr, 0, 1);
    double minimum = extremes.min, maximum = extremes.max;
    ds_decimal_s width{0, 0, 0};
    const unsigned scheme = unsigned(column->resolutionScheme());
    ds_nice_resolution(int(column->histogram_resolution_level()), 7, scheme, &minimum, &maximum, &width);
    const double size = ds_resolution_size(scheme, width);
    if (width.scalar == 0 || extremes.count <= 0)
        label->clear();
    else if (width.exponent >= 5)
        label->setText(m_bigFormatter->stringFromNumber(size));
    else if (width.exponent < -3)
        label->setText(m_lilFormatter->stringFromNumber(size));
    else {
        std::unique_ptr<DSDurationFormatter> formatter = column->NSNumberFormatter();
        formatter->accommodateExponent(int(width.exponent));
        label->setText(formatter->stringFromNumber(size));
    }
    if (auto *slider = control<QSlider>("histogram_bin_size_slider")) {
        QScopedValueRollback guard(m_isRefreshing, true);
        slider->setValue(int(-column->histogram_resolution_level()));
    }
}

void DSSummaryViewDelegate::selectHistogramResolutionLevel(QSlider *sender)
{
    DSTable *table = active_table();
    if (auto *column = table ? dynamic_cast<DSNumericColumn *>(table->active_column()) : nullptr) {
        column->setHistogram_resolution_level(-sender->value());
        refreshSummaryViewNoTable(sender);
    }
}

QString DSSummaryViewDelegate::censoringText(double f, bool *grey)
{
    *grey = f == 0;
    if (f == 0)
        return QStringLiteral("0 censored");
    if (f < 0.01)
        return QStringLiteral("< 1% censored");
    return QStringLiteral("%1% censored").arg(std::lround(f * 100));
}

void DSSummaryViewDelegate::refreshCensoringLabel(QObject *)
{
    DSTable *table = active_table();
    DSColumn *column = table ? table->active_column() : nullptr;
    auto *label = control<QLabel>("censoring_label");
    if (!column || !column->treat_as_survival_times() || !label)
        return;
    const DSRowMaskRef mask = getMask();
    const double f = column->fractionOfCensoredObservationsForMask(ds_mask_data(mask), ds_mask_length(mask));
    bool grey = false;
    label->setText(censoringText(f, &grey));
    setTextColour(label, grey ? Qt::gray : Qt::black);
}

void DSSummaryViewDelegate::refreshConfidenceViews(QObject *)
{
    DSTable *table = active_table();
    auto *slider = control<QSlider>("confidence_slider");
    auto *label = control<QLabel>("confidence_label");
    if (!slider || !label)
        return;
    slider->setEnabled(table);
    label->setEnabled(table);
    if (!table)
        return;
    const double level = table->confidence_level();
    QScopedValueRollback guard(m_isRefreshing, true);
    slider->setValue(int(std::lround(level * 100)));
    label->setText(QStringLiteral("%1%").arg(level * 100, 0, 'g', 3));
}

void DSSummaryViewDelegate::setConfidenceLevel(QSlider *sender)
{
    DSTable *table = active_table();
    if (!table)
        return;
    table->setConfidence_level(sender->value() / 100.0);
    // Category confidence bounds depend on the level.
    for (DSColumn *column : selectedColumns())
        column->setTemp_summary(nullptr);
    if (QWidget *picture = view("stat_picture"))
        picture->update();
    if (m_statsTable)
        m_statsTable->viewport()->update();
    refreshConfidenceViews(sender);
    refreshTheBottomLine(sender);
}

void DSSummaryViewDelegate::refreshTheBottomLine(QObject *sender)
{
    DSTable *table = active_table();
    if (!table)
        return;
    setVisible("build_model_view", table->showSummaryCharts());
    setVisible("summary_graphics_button_view", !table->showSummaryCharts());
    m_bottomLine->refreshView(sender);
}

void DSSummaryViewDelegate::refreshBuildModelControls(QObject *)
{
    DSTable *table = active_table();
    if (!table)
        return;
    const bool shown = table->build_model_unlocked() && table->showSummaryCharts();
    bool enabled = shown && !table->active_column_category();
    for (DSColumn *column : selectedColumns())
        if (dynamic_cast<DSTextColumn *>(column) && !column->treat_as_categories())
            enabled = false;
    setVisible("build_model_instructions", shown);
    setVisible("build_model_number_3_label", shown);
    if (auto *padlock = control<QAbstractButton>("build_model_lock_button")) {
        padlock->setChecked(table->build_model_unlocked());
        padlock->setText(table->build_model_unlocked() ? QStringLiteral("🔓") : QStringLiteral("🔒"));
    }
    // The model is made by the covariate pane, which is not there yet.
    if (auto *build = control<QAbstractButton>("build_model_button"))
        build->setEnabled(enabled);
}

void DSSummaryViewDelegate::toggleBuildModelUnlocked(QAbstractButton *sender)
{
    if (DSTable *table = active_table()) {
        table->setBuild_model_unlocked(sender->isChecked());
        refreshSummaryViewNoTable(sender);
    }
}

void DSSummaryViewDelegate::toggleShowMissing(QAbstractButton *sender)
{
    if (DSTable *table = active_table()) {
        table->setPrimitiveValue(sender->isChecked(), QStringLiteral("show_missing_values"));
        if (QWidget *picture = view("stat_picture"))
            picture->update();
    }
}

void DSSummaryViewDelegate::toggleRepeatedMeasures(QAbstractButton *sender)
{
    if (DSTable *table = active_table()) {
        table->setPrimitiveValue(sender->isChecked(), QStringLiteral("repeated_measures"));
        refreshSummaryViewNoTable(sender);
    }
}

void DSSummaryViewDelegate::selectContinuousDistribution(QComboBox *sender)
{
    for (DSColumn *column : selectedColumns())
        if (dynamic_cast<DSNumericColumn *>(column))
            column->setContinuous_distribution(sender->currentData().toLongLong());
    refreshTheBottomLine(sender);
}

void DSSummaryViewDelegate::showCensoringPopover(QObject *)
{
    // The censoring popover comes with its own controller.
}

void DSSummaryViewDelegate::openBuildModelHelp(QObject *)
{
    // There is no help book to open the anchor in.
}

void DSSummaryViewDelegate::showHideFormattingOptions(QObject *)
{
    // The column-format inspector comes with its own controller.
}

bool DSSummaryViewDelegate::graphicsPaneCollapsed() const
{
    return m_splitter && m_splitter->sizes().value(1) == 0;
}

void DSSummaryViewDelegate::moveGraphicsDivider(int position)
{
    const int total = m_splitter->sizes().value(0) + m_splitter->sizes().value(1);
    const int width = total > 0 ? total : m_splitter->width();
    m_splitter->setSizes({std::min(position, width), std::max(width - position, 0)});
}

void DSSummaryViewDelegate::showSummaryGraphics()
{
    if (!m_splitter || !graphicsPaneCollapsed())
        return;
    const int total = m_splitter->sizes().value(0);
    const int width = m_lastGraphicsPaneWidth > 0 ? int(m_lastGraphicsPaneWidth) : total / 2;
    moveGraphicsDivider(total - width);
}

void DSSummaryViewDelegate::hideSummaryGraphics()
{
    if (!m_splitter || graphicsPaneCollapsed())
        return;
    m_lastGraphicsPaneWidth = m_splitter->sizes().value(1);
    moveGraphicsDivider(m_splitter->sizes().value(0) + m_splitter->sizes().value(1));
}

void DSSummaryViewDelegate::showHideSummaryGraphics(QObject *sender)
{
    if (graphicsPaneCollapsed())
        showSummaryGraphics();
    else
        hideSummaryGraphics();
    if (DSTable *table = active_table())
        table->setShowSummaryCharts(!graphicsPaneCollapsed());
    refreshView(sender);
}

void DSSummaryViewDelegate::revealColumns(const QList<DSColumn *> &columns)
{
    DSStatsOutlineDelegate *outline = stats_outline_delegate();
    if (!outline || columns.isEmpty())
        return;
    outline->selectColumns(columns, false);
    if (const int row = outline->rowOfColumn(columns.first()); row >= 0 && stats_table())
        stats_table()->scrollTo(outline->index(row, 0));
}
