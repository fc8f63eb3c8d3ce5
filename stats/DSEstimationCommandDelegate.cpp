#include "stats/DSEstimationCommandDelegate.h"

#include "model/DSStatDocument.h"
#include "model/DSTable.h"
#include "regression/DSRegressionModel.h"
#include "stats/DSBottomLineReporter.h"
#include "ui/DSEstimationCommandNib.h"
#include "stats/DSStatisticalTest.h"

#include <QApplication>
#include <QBoxLayout>
#include <QButtonGroup>
#include <QClipboard>
#include <QLayout>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>

DSEstimationCommandDelegate::DSEstimationCommandDelegate()
{
    DSEstimationCommandNib::registerNib();
}

DSEstimationCommandDelegate::~DSEstimationCommandDelegate() = default;

QWidget *DSEstimationCommandDelegate::window() const
{
    return m_window;
}

QPlainTextEdit *DSEstimationCommandDelegate::text_field() const
{
    return qobject_cast<QPlainTextEdit *>(m_textField);
}

QPushButton *DSEstimationCommandDelegate::clipboard_copy_button() const
{
    return qobject_cast<QPushButton *>(m_copyButton);
}

void DSEstimationCommandDelegate::didLoadNib()
{
    m_window = outlet<QWidget>(QStringLiteral("window"));
    m_syntaxView = outlet<QWidget>(QStringLiteral("pro_syntax_view"));
    m_syntaxMatrix = outlet<QWidget>(QStringLiteral("pro_syntax_matrix"));
    m_textField = outlet<QPlainTextEdit>(QStringLiteral("text_field"));
    m_copyButton = outlet<QPushButton>(QStringLiteral("clipboard_copy_button"));
    if (auto *layout = qobject_cast<QBoxLayout *>(m_window ? m_window->layout() : nullptr))
        layout->insertWidget(0, m_syntaxView);
    m_syntaxButtons = new QButtonGroup(m_syntaxMatrix);
    QObject::connect(m_syntaxButtons, &QButtonGroup::buttonClicked, this,
                     [this](QAbstractButton *button) { setEstimationCommandSyntax(button); });
    QObject::connect(clipboard_copy_button(), &QPushButton::clicked, this, [this] { copyEstimationCommand(); });
    DSNibController::didLoadNib();
}

QString DSEstimationCommandDelegate::commandForDocument(DSStatDocument *document) const
{
    DSTable *table = document ? document->active_table() : nullptr;
    if (!table)
        return QString();
    DSRegressionModel *model = table->active_model();
    DSOutcomeVariable *outcome = model ? model->active_outcome() : nullptr;
    if (table->showModel()) {
        if (!outcome)
            return QString();
        switch (m_syntax) {
        case DSBottomLineReporter::syntaxStata:
            return model->StataEstimationCommandForOutcome(outcome);
        case DSBottomLineReporter::syntaxSPSS:
            return model->SPSSEstimationCommandForOutcome(outcome);
        case DSBottomLineReporter::syntaxSAS:
            return model->SASEstimationCommandForOutcome(outcome);
        case DSBottomLineReporter::syntaxR:
            return model->REstimationCommandForOutcome(outcome);
        default:
            return QString();
        }
    }
    if (!table->showTable() || !table->showSummary() || table->build_model_unlocked())
        return QString();
    BottomLine *bottomLine = m_bottomLine ? m_bottomLine(document) : nullptr;
    if (!bottomLine)
        return QString();
    const DSColumnSelection *columns = table->column_selection(), *covariates = table->covariate_selection();
    DSBottomLineReporter *reporter = bottomLine->reporterForColumns(columns, covariates);
    const auto test = bottomLine->shownTest();
    if (!reporter || !test)
        return QString();
    return reporter->estimationCommandForResult(m_syntax, test.get(), columns, covariates);
}

QAbstractButton *DSEstimationCommandDelegate::newButtonWithTitle(const QString &title)
{
    auto *button = new QRadioButton(title);
    QFont font = button->font();
    font.setPointSizeF(font.pointSizeF() * 11 / 13);
    button->setFont(font);
    return button;
}

void DSEstimationCommandDelegate::refreshViewForDocument(DSStatDocument *document)
{
    if (m_syntax == 0)
        m_syntax = DSBottomLineReporter::syntaxR;
    m_lastDocument = document;
    const QString text = commandForDocument(document);
    if (!m_syntaxMatrix || !text_field() || !clipboard_copy_button())
        return;

    const QList<QAbstractButton *> old = m_syntaxButtons->buttons();
    // The button clicked may be among them, still inside its signal: it
    // goes when control is back in the event loop.
    for (auto it = old.rbegin(); it != old.rend(); ++it) {
        m_syntaxButtons->removeButton(*it);
        (*it)->hide();
        (*it)->deleteLater();
    }
    const std::pair<const char *, qint64> packages[] = {{"Stata", DSBottomLineReporter::syntaxStata},
                                                        {"SPSS", DSBottomLineReporter::syntaxSPSS},
                                                        {"SAS", DSBottomLineReporter::syntaxSAS},
                                                        {"R", DSBottomLineReporter::syntaxR}};
    for (const auto &[title, code] : packages) {
        QAbstractButton *button = newButtonWithTitle(QString::fromLatin1(title));
        m_syntaxButtons->addButton(button, int(code));
        m_syntaxMatrix->layout()->addWidget(button);
        // At once, not in a posted event, where the window is shown already.
        button->show();
        button->setChecked(code == m_syntax);
    }
    m_syntaxView->show();
    text_field()->setPlainText(text);
    m_copyButton->setEnabled(!text.isEmpty());
}

void DSEstimationCommandDelegate::setEstimationCommandSyntax(QAbstractButton *sender)
{
    const int code = m_syntaxButtons ? m_syntaxButtons->id(sender) : -1;
    if (code > 0)
        m_syntax = code;
    refreshViewForDocument(m_mainDocument ? m_mainDocument() : m_lastDocument.data());
}

void DSEstimationCommandDelegate::copyEstimationCommand()
{
    const QString text = text_field() ? text_field()->toPlainText() : QString();
    QClipboard *clipboard = QApplication::clipboard();
    clipboard->clear();
    clipboard->setText(text);
    if (clipboard->text() != text)
        QApplication::beep();
}
