#include "ui/panes/DSRecordsNib.h"

#include "ui/DSNib.h"
#include "ui/panes/DSRecordsTableHeaderView.h"
#include "ui/panes/DSRecordsTableView.h"

#include <QCheckBox>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

template <class T>
T *named(T *object, const QString &name)
{
    object->setObjectName(name);
    return object;
}

// A row of the bar holding one or two controls, so that it shows and hides
// as one.
QWidget *group(const QString &name, std::initializer_list<QWidget *> controls)
{
    auto *view = named(new QWidget, name);
    auto *layout = new QHBoxLayout(view);
    layout->setContentsMargins(0, 0, 0, 0);
    for (QWidget *control : controls)
        layout->addWidget(control);
    return view;
}

QObjectList buildRecordsPane(QObject *)
{
    auto *pane = named(new QWidget, QStringLiteral("records_view"));
    auto *layout = new QVBoxLayout(pane);
    layout->setContentsMargins(0, 0, 0, 0);

    auto *bar = new QHBoxLayout;
    auto *search = named(new QLineEdit, QStringLiteral("record_column_filter_field"));
    search->setPlaceholderText(QStringLiteral("Search columns"));
    search->setClearButtonEnabled(true);
    bar->addWidget(group(QStringLiteral("search_columns_view"), {search}));
    bar->addWidget(group(QStringLiteral("add_drop_rows_view"),
                         {named(new QPushButton(QStringLiteral("Add Row")), QStringLiteral("add_rows_button")),
                          named(new QPushButton(QStringLiteral("Drop Rows")), QStringLiteral("drop_rows_button"))}));
    bar->addStretch(1);
    bar->addWidget(group(QStringLiteral("show_category_labels_view"),
                         {named(new QCheckBox(QStringLiteral("Show category labels")),
                                QStringLiteral("show_category_labels_button"))}));
    bar->addWidget(group(QStringLiteral("add_column_view"),
                         {named(new QPushButton(QStringLiteral("Add Column…")), QStringLiteral("add_column_button"))}));
    auto *padlock = named(new QPushButton(QStringLiteral("Edit")), QStringLiteral("edit_table_button"));
    padlock->setCheckable(true);
    bar->addWidget(padlock);
    layout->addLayout(bar);

    for (const auto &[name, text] : {std::pair{"add_rows_instruction_text", "Click Add Row to add a record."},
                                     std::pair{"add_columns_instruction_text", "Click Add Column to add a column."}}) {
        auto *hint = named(new QLabel(QString::fromUtf8(text)), QString::fromLatin1(name));
        hint->setStyleSheet(QStringLiteral("color: gray"));
        hint->hide();
        layout->addWidget(hint);
    }

    auto *grid = named(new DSRecordsTableView, QStringLiteral("records_table"));
    grid->setHorizontalHeader(new DSRecordsTableHeaderView(grid));
    QFont font = grid->font();
    font.setPointSize(11);
    grid->setFont(font);
    grid->verticalHeader()->hide();
    grid->verticalHeader()->setDefaultSectionSize(20);
    layout->addWidget(grid, 1);
    layout->addWidget(named(new QLabel, QStringLiteral("number_of_records_label")));
    return {pane};
}

} // namespace

void DSRecordsNib::registerNib()
{
    DSNib::registerNib(QStringLiteral("DSStatDocumentRecords"), buildRecordsPane);
}
