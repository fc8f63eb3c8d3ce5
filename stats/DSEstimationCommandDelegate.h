#pragma once

#include "ui/DSNibController.h"

#include <QPointer>

#include <functional>
#include <memory>

class DSBottomLineReporter;
class DSColumnSelection;
class DSStatDocument;
class DSStatisticalTest;
class QAbstractButton;
class QButtonGroup;
class QPlainTextEdit;
class QPushButton;
class QWidget;

// The one estimation-command window of the application: the command with
// which R, SAS, SPSS or Stata reproduces what the front document shows (the
// active model's outcome, or the bottom-line test of the summary pane), a
// row of radio buttons that picks the package and a button that copies the
// text. The chosen package lives as long as the application (0 until the
// first refresh, which picks R).
//
// Main thread only.
class DSEstimationCommandDelegate : public DSNibController
{
public:
    // What the window reads off a document's bottom-line pane: the reporter
    // its chain picks for a selection, and the test it shows (or none).
    class BottomLine
    {
    public:
        virtual ~BottomLine() = default;
        virtual DSBottomLineReporter *reporterForColumns(const DSColumnSelection *columns,
                                                         const DSColumnSelection *covariates) = 0;
        virtual std::shared_ptr<const DSStatisticalTest> shownTest() const = 0;
    };
    // The bottom-line pane of a document, or null (the pane registers it).
    using BottomLineLookup = std::function<BottomLine *(DSStatDocument *)>;
    // The document of the application's main window, or null.
    using MainDocumentLookup = std::function<DSStatDocument *()>;

    DSEstimationCommandDelegate();
    ~DSEstimationCommandDelegate() override;

    QString nibName() const override { return QStringLiteral("EstimationCommand"); }
    QWidget *window() const override;

    // Rebuilds the package selector and the text for the document (null:
    // no text), enabling Copy exactly when there is text.
    virtual void refreshViewForDocument(DSStatDocument *document);
    // syntax := the checked button's code, then a refresh for the main
    // window's document (without a lookup, the document of the last
    // refresh).
    void setEstimationCommandSyntax(QAbstractButton *sender);
    // Puts the shown text on the clipboard as plain text; a beep when the
    // clipboard does not take it.
    void copyEstimationCommand();
    // A new radio button of the small control size with that title; the
    // caller owns it.
    static QAbstractButton *newButtonWithTitle(const QString &title);

    // The command text for the document in the current syntax: the model's
    // when the table shows a model with an outcome, the bottom-line
    // reporter's for the summary pane, else a null text.
    QString commandForDocument(DSStatDocument *document) const;

    qint64 syntax() const { return m_syntax; }
    void setSyntax(qint64 syntax) { m_syntax = syntax; }
    void setBottomLineLookup(BottomLineLookup lookup) { m_bottomLine = std::move(lookup); }
    void setMainDocumentLookup(MainDocumentLookup lookup) { m_mainDocument = std::move(lookup); }

    QPlainTextEdit *text_field() const;
    QPushButton *clipboard_copy_button() const;
    QWidget *pro_syntax_view() const { return m_syntaxView; }
    QWidget *pro_syntax_matrix() const { return m_syntaxMatrix; }

protected:
    // Finds the outlets, puts the selector above the text and connects the
    // buttons.
    void didLoadNib() override;

private:
    qint64 m_syntax = 0;
    BottomLineLookup m_bottomLine;
    MainDocumentLookup m_mainDocument;
    QPointer<DSStatDocument> m_lastDocument;
    // Outlets, not owned (the window owns its views).
    QPointer<QWidget> m_window, m_syntaxView, m_syntaxMatrix, m_textField, m_copyButton;
    QButtonGroup *m_syntaxButtons = nullptr;
};
