#include "ui/window/DSPaneSwitcher.h"

#include "filter/DSTableFilterSet.h"
#include "model/DSTable.h"
#include "platform/store/DSManagedObject.h"
#include "regression/DSOutcomeVariable.h"
#include "regression/DSRegressionModel.h"
#include "ui/window/DSStatDocumentPopoverViewDelegate.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QAction>
#include <QLayout>
#include <QMainWindow>
#include <QSplitter>
#include <QToolBar>

namespace {

// The toolbars in their fixed order; a toolbar's number is its place + 1.
const QStringList k_toolbarNames{QStringLiteral("summary_toolbar"), QStringLiteral("summary_toolbar_no_model"),
                                 QStringLiteral("model_toolbar")};

// The registered panes in registration order, by placeholder view.
std::vector<std::pair<QString, DSPaneSwitcher::Maker>> &registeredPanes()
{
    static std::vector<std::pair<QString, DSPaneSwitcher::Maker>> panes;
    return panes;
}

} // namespace

const QString DSPaneSwitcher::summaryView = QStringLiteral("summary_view");
const QString DSPaneSwitcher::recordsView = QStringLiteral("records_view");
const QString DSPaneSwitcher::pivotView = QStringLiteral("pivot_view");
const QString DSPaneSwitcher::modelView = QStringLiteral("model_view");
const QString DSPaneSwitcher::predictorView = QStringLiteral("predictor_view");

void DSPaneSwitcher::registerPane(const QString &view, Maker maker)
{
    auto &panes = registeredPanes();
    std::erase_if(panes, [&](const auto &pane) { return pane.first == view; });
    if (maker)
        panes.emplace_back(view, std::move(maker));
}

DSPaneSwitcher::DSPaneSwitcher(DSStatDocumentWindow *document) : m_document(document) {}

DSPaneSwitcher::~DSPaneSwitcher() = default;

bool DSPaneSwitcher::installPane(std::unique_ptr<DSStatDocumentViewDelegate> pane, const QString &viewName)
{
    pane->setDocument(m_document);
    pane->awakeFromNib();
    auto *view = pane->outlet<QWidget>(viewName);
    QWidget *placeholder = m_document->outlet(viewName);
    if (!view || !placeholder || !placeholder->parentWidget() || !placeholder->parentWidget()->layout()) {
        pane->teardown();
        return false;
    }
    view->setVisible(placeholder->isVisible());
    delete placeholder->parentWidget()->layout()->replaceWidget(placeholder, view);
    delete placeholder;
    m_ownedPanes.push_back(std::move(pane));
    return true;
}

void DSPaneSwitcher::setupPanes()
{
    const std::pair<const QString *, QPointer<DSStatDocumentViewDelegate> *> slots[] = {
        {&summaryView, &m_summary}, {&recordsView, &m_records}, {&pivotView, &m_pivot},
        {&modelView, &m_model},     {&predictorView, &m_predictor},
    };
    for (const auto &[view, make] : registeredPanes()) {
        std::unique_ptr<DSStatDocumentViewDelegate> pane = make();
        DSStatDocumentViewDelegate *made = pane.get();
        if (!installPane(std::move(pane), view))
            continue;
        for (const auto &[name, slot] : slots)
            if (*name == view)
                *slot = made;
    }
}

void DSPaneSwitcher::teardownPanes()
{
    for (DSStatDocumentViewDelegate *delegate :
         {m_model.data(), m_pivot.data(), m_records.data(), m_summary.data(), m_predictor.data(), m_filterSet.data()})
        if (delegate)
            delegate->teardown();
    m_model = m_pivot = m_records = m_summary = m_predictor = m_filterSet = nullptr;
}

DSStatDocumentViewDelegate *DSPaneSwitcher::visibleDataPane(DSTable *table) const
{
    if (!table)
        return nullptr;
    return table->showSummary() ? m_summary.data() : table->showRecords() ? m_records.data() : m_pivot.data();
}

void DSPaneSwitcher::switchPane(QObject *sender, const std::function<void(DSTable *)> &choose)
{
    if (DSTable *table = m_document->active_table())
        choose(table);
    closePopovers(sender);
    m_document->refreshView(sender);
}

void DSPaneSwitcher::showRawData(QObject *sender)
{
    switchPane(sender, [](DSTable *table) {
        table->setShowTable(true);
        table->setShowRecords(true);
    });
}

void DSPaneSwitcher::showPivotTable(QObject *sender)
{
    switchPane(sender, [](DSTable *table) {
        table->setShowTable(true);
        table->setShowPivot(true);
    });
}

void DSPaneSwitcher::showSummary(QObject *sender)
{
    switchPane(sender, [](DSTable *table) {
        table->setShowTable(true);
        table->setShowSummary(true);
        table->setBuild_model_unlocked(false);
    });
}

void DSPaneSwitcher::showModeler(QObject *sender)
{
    switchPane(sender, [](DSTable *table) {
        table->setShowModel(true);
        table->setShowModeler(true);
    });
}

void DSPaneSwitcher::showPredictor(QObject *sender)
{
    switchPane(sender, [](DSTable *table) {
        table->setShowModel(true);
        table->setShowPredictor(true);
        if (!table->active_model())
            table->setActive_model(ds_object_cast<DSRegressionModel>(table->regressionModelAtIndex(0)));
        DSRegressionModel *model = table->active_model();
        if (model && !model->active_outcome() && model->active_prediction())
            model->setActive_outcome(
                ds_object_cast<DSOutcomeVariable>(model->active_prediction()->objectForKey(QStringLiteral("outcome_variable"))));
    });
}

void DSPaneSwitcher::closePopovers(QObject *sender)
{
    if (auto *filterSet = dynamic_cast<DSStatDocumentPopoverViewDelegate *>(m_filterSet.data()))
        filterSet->closePopover(sender);
}

void DSPaneSwitcher::showFilterSetPopover(QObject *sender)
{
    auto *filterSet = dynamic_cast<DSStatDocumentPopoverViewDelegate *>(m_filterSet.data());
    if (auto *view = qobject_cast<QWidget *>(sender); filterSet && view)
        filterSet->showPopoverRelativeToView(view, DSStatDocumentPopoverViewDelegate::MaxYEdge);
}

void DSPaneSwitcher::setPaneVisible(const QString &name, bool visible)
{
    if (QWidget *pane = m_document->outlet(name))
        pane->setVisible(visible);
}

QSplitter *DSPaneSwitcher::filtersSplitter() const
{
    return m_document->filters_splitter();
}

bool DSPaneSwitcher::filtersPaneCollapsed() const
{
    QSplitter *splitter = filtersSplitter();
    return !splitter || splitter->sizes().value(0) <= 0;
}

void DSPaneSwitcher::moveFiltersDivider(int position)
{
    QSplitter *splitter = filtersSplitter();
    if (!splitter)
        return;
    const QList<int> sizes = splitter->sizes();
    int total = 0;
    for (int size : sizes)
        total += size;
    if (total <= 0)
        total = splitter->height();
    splitter->setSizes({position, std::max(1, total - position)});
}

QList<QMetaObject::Connection> DSPaneSwitcher::setupFiltersPane()
{
    moveFiltersDivider(0);
    m_lastFiltersPaneHeight = 180;
    QSplitter *splitter = filtersSplitter();
    if (!splitter)
        return {};
    return {QObject::connect(splitter, &QSplitter::splitterMoved, m_document, [this](int position) {
        if (position > 0)
            m_lastFiltersPaneHeight = position;
    })};
}

void DSPaneSwitcher::showHideFilters(QObject *)
{
    if (filtersPaneCollapsed())
        showFiltersPane();
    else
        hideFiltersPane();
}

void DSPaneSwitcher::showFiltersPane()
{
    DSTable *table = m_document->active_table();
    if (table && !table->active_filter_set())
        table->setActive_filter_set(ds_object_cast<DSTableFilterSet>(table->filterSetAtIndex(0)));
    if (filtersPaneCollapsed()) {
        moveFiltersDivider(int(m_lastFiltersPaneHeight));
        closePopovers(nullptr);
    }
}

void DSPaneSwitcher::hideFiltersPane()
{
    // A collapsed pane has no height to remember: recording its 0 would
    // leave the pane collapsed at the next show.
    if (!filtersPaneCollapsed()) {
        m_lastFiltersPaneHeight = filtersSplitter()->sizes().value(0);
        moveFiltersDivider(0);
        closePopovers(nullptr);
    }
}

void DSPaneSwitcher::setupToolbars()
{
    QMainWindow *window = m_document->document_window();
    for (const QString &name : k_toolbarNames)
        if (auto *toolbar = window->findChild<QToolBar *>(name)) {
            m_toolbars.append(toolbar);
            window->removeToolBar(toolbar);
        }
    DSStatDocumentWindow *document = m_document;
    const QList<std::pair<QString, std::function<void(QObject *)>>> actions{
        {QStringLiteral("raw_data"), [this](QObject *sender) { showRawData(sender); }},
        {QStringLiteral("summary"), [this](QObject *sender) { showSummary(sender); }},
        {QStringLiteral("pivot"), [this](QObject *sender) { showPivotTable(sender); }},
        {QStringLiteral("filters"), [this](QObject *sender) { showHideFilters(sender); }},
        {QStringLiteral("model"), [this](QObject *sender) { showModeler(sender); }},
        {QStringLiteral("predict"), [this](QObject *sender) { showPredictor(sender); }},
        {QStringLiteral("instruments"), [](QObject *) {}},
        {QStringLiteral("import_data"), [document](QObject *sender) { document->importData(sender); }},
    };
    for (qsizetype i = 0; i < m_toolbars.size(); ++i)
        for (QAction *action : m_toolbars[i]->actions())
            for (const auto &[base, slot] : actions)
                if (action->objectName() == base + QString::number(i + 1))
                    QObject::connect(action, &QAction::triggered, m_document, [action, slot = slot] { slot(action); });
}

void DSPaneSwitcher::installToolbar(QToolBar *toolbar)
{
    if (!toolbar || toolbar == m_installedToolbar)
        return;
    QMainWindow *window = m_document->document_window();
    if (m_installedToolbar)
        window->removeToolBar(m_installedToolbar);
    window->addToolBar(Qt::TopToolBarArea, toolbar);
    toolbar->show();
    m_installedToolbar = toolbar;
}

void DSPaneSwitcher::rebuildToolbar()
{
    if (m_toolbars.size() < 3)
        return;
    DSTable *table = m_document->active_table();
    QToolBar *toolbar = nullptr;
    QString selected;
    if (!table) {
        toolbar = m_toolbars[1];
    } else if (table->showModel()) {
        toolbar = m_toolbars[2];
        if (table->active_model())
            selected = table->showPredictor() ? QStringLiteral("predict") : QStringLiteral("model");
    } else if (table->showTable()) {
        toolbar = m_toolbars[table->sortedRegressionModels().isEmpty() ? 1 : 0];
        selected = table->showSummary() ? QStringLiteral("summary")
                   : table->showPivot() ? QStringLiteral("pivot")
                                        : QStringLiteral("raw_data");
    } else {
        toolbar = m_installedToolbar;
    }
    if (!toolbar)
        return;
    installToolbar(toolbar);
    const QString identifier = selected.isEmpty() ? QString() : selected + QString::number(m_toolbars.indexOf(toolbar) + 1);
    for (QAction *action : toolbar->actions()) {
        action->setEnabled(validateToolbarItem(action));
        if (action->isCheckable())
            action->setChecked(action->objectName() == identifier);
    }
}

bool DSPaneSwitcher::validateToolbarItem(const QAction *item)
{
    const QString identifier = item->objectName();
    DSTable *table = m_document->active_table();
    for (const QString &base : {QStringLiteral("raw_data"), QStringLiteral("summary"), QStringLiteral("pivot"),
                                QStringLiteral("filters")})
        if (identifier.startsWith(base))
            return table;
    if (identifier.startsWith(QStringLiteral("model")) || identifier.startsWith(QStringLiteral("predict")))
        return table && !table->sortedRegressionModels().isEmpty();
    if (identifier.startsWith(QStringLiteral("instruments")))
        return table && table->showModel() && table->active_model();
    return true;
}
