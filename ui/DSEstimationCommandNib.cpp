#include "ui/DSEstimationCommandNib.h"

#include "ui/DSNib.h"

#include <QFontDatabase>
#include <QHBoxLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QVBoxLayout>
#include <QWidget>

namespace {

template <class T>
T *named(T *object, const QString &name)
{
    object->setObjectName(name);
    return object;
}

QObjectList buildEstimationCommand(QObject *)
{
    auto *window = named(new QWidget(nullptr, Qt::Tool), QStringLiteral("window"));
    window->setWindowTitle(QStringLiteral("Estimation Command"));
    window->resize(420, 220);
    auto *layout = new QVBoxLayout(window);

    auto *syntaxView = named(new QWidget, QStringLiteral("pro_syntax_view"));
    auto *syntaxLayout = new QHBoxLayout(syntaxView);
    syntaxLayout->setContentsMargins(0, 0, 0, 0);
    auto *matrix = named(new QWidget, QStringLiteral("pro_syntax_matrix"));
    auto *matrixLayout = new QHBoxLayout(matrix);
    matrixLayout->setContentsMargins(0, 0, 0, 0);
    syntaxLayout->addWidget(matrix);
    syntaxLayout->addStretch(1);
    syntaxView->hide();

    auto *text = named(new QPlainTextEdit, QStringLiteral("text_field"));
    text->setReadOnly(true);
    text->setFont(QFontDatabase::systemFont(QFontDatabase::FixedFont));
    text->setLineWrapMode(QPlainTextEdit::NoWrap);
    layout->addWidget(text, 1);

    auto *buttons = new QHBoxLayout;
    buttons->addStretch(1);
    buttons->addWidget(named(new QPushButton(QStringLiteral("Copy")), QStringLiteral("clipboard_copy_button")));
    layout->addLayout(buttons);
    // didLoadNib places the selector in the panel.
    return {window, syntaxView};
}

}  // namespace

void DSEstimationCommandNib::registerNib()
{
    DSNib::registerNib(QStringLiteral("EstimationCommand"), buildEstimationCommand);
}
