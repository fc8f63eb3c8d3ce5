#include "ui/panes/DSRecordsNib.h"

#include "ui/DSNib.h"
#include "ui/ds_nib_views.h"
#include "ui/panes/DSRecordsTableHeaderView.h"
#include "ui/panes/DSRecordsTableView.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDialogButtonBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace {

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

QComboBox *popUp(const QString &name, std::initializer_list<std::pair<const char *, int>> items)
{
    auto *button = named(new QComboBox, name);
    for (const auto &[title, tag] : items)
        button->addItem(QString::fromUtf8(title), tag);
    return button;
}

// Options in a row of their own, shown and hidden as one view.
QWidget *options(const QString &name, const QString &label, QWidget *control)
{
    auto *view = named(new QWidget, name);
    auto *layout = new QFormLayout(view);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addRow(label, control);
    return view;
}

QObjectList buildCreateColumnSheet(QObject *)
{
    auto *sheet = named(new QDialog, QStringLiteral("sheet"));
    sheet->setWindowTitle(QStringLiteral("Add Column"));
    auto *layout = new QVBoxLayout(sheet);
    auto *form = new QFormLayout;
    form->addRow(QStringLiteral("Name:"), named(new QLineEdit, QStringLiteral("name_field")));
    form->addRow(QStringLiteral("Kind:"), popUp(QStringLiteral("type_button"), {{"Text", 0},
                                                                              {"Number", 1},
                                                                              {"Date and Time", 2},
                                                                              {"Time of Day", 3},
                                                                              {"Duration", 4}}));
    layout->addLayout(form);
    layout->addWidget(options(QStringLiteral("numeric_options"), QStringLiteral("Format:"),
                              popUp(QStringLiteral("numeric_format_button"),
                                    {{"Decimal", 1}, {"Currency", 2}, {"Percent", 3}, {"Scientific", 4}})));
    layout->addWidget(options(QStringLiteral("duration_options"), QStringLiteral("Units:"),
                              popUp(QStringLiteral("duration_style_button"),
                                    {{"1:02:03", 0}, {"1h 2m 3s", 1}, {"1 hr, 2 min, 3 sec", 2}})));
    auto *buttons = new QDialogButtonBox;
    QPushButton *cancel = buttons->addButton(QStringLiteral("Cancel"), QDialogButtonBox::RejectRole);
    cancel->setObjectName(QStringLiteral("cancel_button"));
    cancel->setAutoDefault(false);
    QPushButton *save = buttons->addButton(QStringLiteral("Add"), QDialogButtonBox::AcceptRole);
    save->setObjectName(QStringLiteral("save_button"));
    save->setDefault(true);
    layout->addWidget(buttons);
    return {sheet};
}

} // namespace

void DSRecordsNib::registerNib()
{
    DSNib::registerNib(QStringLiteral("DSStatDocumentRecords"), buildRecordsPane);
    DSNib::registerNib(QStringLiteral("CreateDataColumnSheet"), buildCreateColumnSheet);
}
