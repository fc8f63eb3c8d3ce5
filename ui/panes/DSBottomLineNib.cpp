#include "ui/panes/DSBottomLineNib.h"

#include "charts/DSStatisticalTestView.h"
#include "ui/DSNib.h"
#include "ui/ds_nib_views.h"
#include "ui/window/DSPopover.h"

#include <QFormLayout>
#include <QHBoxLayout>
#include <QLabel>
#include <QToolButton>
#include <QVBoxLayout>

namespace {

QLabel *label(const QString &name, const QString &text = {})
{
    return named(new QLabel(text), name);
}

QWidget *bottomLineView()
{
    auto *view = new QWidget;
    view->setObjectName(QStringLiteral("the_bottom_line_view"));
    auto *layout = new QHBoxLayout(view);
    layout->setContentsMargins(0, 0, 0, 0);
    QLabel *friendly = label(QStringLiteral("the_bottom_line_friendly_text"));
    QFont bold = friendly->font();
    bold.setBold(true);
    friendly->setFont(bold);
    layout->addWidget(friendly);
    layout->addWidget(label(QStringLiteral("the_bottom_line_neutral_text")));
    layout->addWidget(label(QStringLiteral("the_bottom_line_info")));
    auto *info = new QToolButton;
    info->setObjectName(QStringLiteral("the_bottom_line_info_button"));
    info->setText(QStringLiteral("i"));
    info->setCheckable(true);
    info->setAutoRaise(true);
    layout->addWidget(info);
    layout->addStretch(1);
    return view;
}

DSPopover *diagnosticsPopover()
{
    auto *popover = new DSPopover;
    popover->setObjectName(QStringLiteral("diagnostics_popover"));
    auto *layout = new QVBoxLayout(popover);
    QLabel *name = label(QStringLiteral("test_name_field"));
    QFont bold = name->font();
    bold.setBold(true);
    name->setFont(bold);
    layout->addWidget(name);
    auto *form = new QFormLayout;
    form->addRow(label(QStringLiteral("statistic_value_field")));
    form->addRow(label(QStringLiteral("critical_value_label")), label(QStringLiteral("critical_value_field")));
    form->addRow(label(QStringLiteral("is_significant_label")), label(QStringLiteral("is_significant_field")));
    form->addRow(QStringLiteral("p-value:"), label(QStringLiteral("p_value_field")));
    layout->addLayout(form);
    QLabel *conclusion = label(QStringLiteral("conclusion_text"));
    conclusion->setWordWrap(true);
    conclusion->setMaximumWidth(320);
    layout->addWidget(conclusion);
    auto *picture = new DSStatisticalTestView;
    picture->setObjectName(QStringLiteral("visualization_view"));
    picture->setMinimumSize(300, 120);
    layout->addWidget(picture);
    return popover;
}

QObjectList buildBottomLine(QObject *)
{
    return {bottomLineView(), diagnosticsPopover()};
}

} // namespace

void DSBottomLineNib::registerNib()
{
    DSNib::registerNib(QStringLiteral("DSStatDocumentBottomLine"), buildBottomLine);
}
