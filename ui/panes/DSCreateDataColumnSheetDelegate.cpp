#include "ui/panes/DSCreateDataColumnSheetDelegate.h"

#include "model/DSNumberFormatter.h"
#include "model/DSNumericDataColumn.h"
#include "model/DSTable.h"
#include "model/DSTimeDataColumn.h"
#include "platform/store/DSManagedObjectContext.h"
#include "ui/panes/DSRecordsTableDelegate.h"
#include "ui/panes/DSRecordsViewDelegate.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QAbstractButton>
#include <QComboBox>
#include <QLineEdit>

namespace {

// The number style of a duration.
constexpr int durationStyle = 500;

QString entityForKind(int kind)
{
    switch (kind) {
    case DSCreateDataColumnSheetDelegate::Number:
    case DSCreateDataColumnSheetDelegate::Duration:
        return QStringLiteral("DSNumericDataColumn");
    case DSCreateDataColumnSheetDelegate::DateAndTime:
    case DSCreateDataColumnSheetDelegate::TimeOfDay:
        return QStringLiteral("DSTimeDataColumn");
    default:
        return QStringLiteral("DSTextDataColumn");
    }
}

} // namespace

void DSCreateDataColumnSheetDelegate::didLoadNib()
{
    DSStatDocumentSheetDelegate::didLoadNib();
    if (auto *kind = outlet<QComboBox>(QStringLiteral("type_button")))
        QObject::connect(kind, &QComboBox::currentIndexChanged, this, [this] { refreshView(); });
    if (auto *save = outlet<QAbstractButton>(QStringLiteral("save_button")))
        QObject::connect(save, &QAbstractButton::clicked, this, [this, save] { saveSheet(save); });
    if (auto *cancel = outlet<QAbstractButton>(QStringLiteral("cancel_button")))
        QObject::connect(cancel, &QAbstractButton::clicked, this, [this, cancel] { closeSheet(cancel); });
}

int DSCreateDataColumnSheetDelegate::selectedTag(const QString &popUp) const
{
    auto *button = outlet<QComboBox>(popUp);
    return button && button->currentIndex() >= 0 ? button->currentData().toInt() : -1;
}

void DSCreateDataColumnSheetDelegate::refreshView()
{
    const int kind = selectedTag(QStringLiteral("type_button"));
    if (auto *numeric = outlet<QWidget>(QStringLiteral("numeric_options")))
        numeric->setVisible(kind == Number);
    if (auto *duration = outlet<QWidget>(QStringLiteral("duration_options")))
        duration->setVisible(kind == Duration);
}

void DSCreateDataColumnSheetDelegate::showSheet(QWidget *window)
{
    if (auto *name = outlet<QLineEdit>(QStringLiteral("name_field")))
        name->clear();
    refreshView();
    DSStatDocumentSheetDelegate::showSheet(window);
}

void DSCreateDataColumnSheetDelegate::saveSheet(QObject *sender)
{
    DSTable *table = document() ? document()->active_table() : nullptr;
    if (!isShown() || !table)
        return DSStatDocumentSheetDelegate::saveSheet(sender);
    const int kind = selectedTag(QStringLiteral("type_button"));
    auto *name = outlet<QLineEdit>(QStringLiteral("name_field"));
    auto *column = static_cast<DSColumn *>(document()->managedObjectContext()->insertNewObject(entityForKind(kind)));
    if (auto *numbers = ds_object_cast<DSNumericDataColumn>(column)) {
        numbers->makeDependencies();
        if (DSNumberFormatter *format = numbers->number_formatter()) {
            if (kind == Duration) {
                format->setNumber_style(durationStyle);
                format->setDuration_units_style(selectedTag(QStringLiteral("duration_style_button")));
            } else {
                format->setNumber_style(selectedTag(QStringLiteral("numeric_format_button")));
            }
        }
    } else if (auto *times = ds_object_cast<DSTimeDataColumn>(column); times && kind == TimeOfDay) {
        times->setRelative_time_unit(1);
    }
    column->addRows(table->num_records());
    column->setName(name ? name->text() : QString());
    table->insertNewColumns({column}, table->columns().size());
    DSStatDocumentSheetDelegate::saveSheet(sender);

    table->column_filter_records = QString();
    if (!m_pane)
        return;
    m_pane->rebuildRecordsTable();
    m_pane->refreshView(nullptr);
    // Nothing to type into in a table without records.
    const int gridColumn = m_pane->records_table_delegate()->gridColumnOfColumn(column);
    if (table->num_records() > 0 && gridColumn > 0)
        m_pane->records_table()->editCellWhenActive(0, gridColumn);
}
