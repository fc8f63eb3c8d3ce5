#pragma once

#include "model/DSError.h"
#include "ui/sheets/DSStatDocumentSheetDelegate.h"

#include <QList>
#include <QPointer>
#include <QStringList>
#include <QUrl>

#include <functional>
#include <memory>
#include <optional>

class DSDataImporter;
class QLineEdit;
class QPushButton;

// The base of the import sheets that take data files and a second file
// that describes them (a dictionary, command file or catalogue): step 1
// chooses the data files into data_file_text_field, step 2 the describing
// file into the subclass's field, and begin_import_button starts the
// import at the top of the table list. Files are chosen through a chooser,
// a modal open panel ("import_panel") by default; tests put their own in
// its place.
//
// Between showSheet() and saveSheet() the sheet holds only the chosen URLs
// and the fields' texts; a failure presents its error and keeps both, so
// nothing the user chose is lost. Main thread only.
class DSImportFilesSheetDelegate : public DSStatDocumentSheetDelegate
{
public:
    // Answers the chosen files, or none when the user cancelled: parent
    // window, several files or one, the types allowed (none: any) and the
    // title.
    using Chooser = std::function<QList<QUrl>(QWidget *parent, bool multiple, const std::optional<QStringList> &types,
                                              const QString &title)>;
    // The default chooser: a modal open panel named "import_panel".
    static QList<QUrl> chooseWithPanel(QWidget *parent, bool multiple, const std::optional<QStringList> &types,
                                       const QString &title);
    void setChooser(Chooser chooser) { m_chooser = std::move(chooser); }

    // The data files' text: the single URL, or "<first URL> and N more".
    static QString textForDataFiles(const QList<QUrl> &urls);

    const QList<QUrl> &dataURLArray() const { return m_dataURLArray; }
    QLineEdit *data_file_text_field() const { return m_dataField; }
    // The describing file's field (the dictionary's or the catalogue's).
    QLineEdit *description_text_field() const { return m_descriptionField; }
    QPushButton *begin_import_button() const { return m_beginButton; }

    // Forgets the data files, empties both fields, refreshes and shows.
    void showSheet(QWidget *window) override;
    // Sets the controls from the choices.
    virtual void refreshView(QObject *sender) = 0;
    // Chooses the data files (several allowed); a cancelled panel keeps the
    // earlier choice.
    virtual void chooseDataFile(QObject *sender) = 0;
    // Chooses the describing file and checks it at once.
    virtual void chooseDictionaryFile(QObject *sender) = 0;
    // The document presents the error in its window.
    void presentError(const DSError &error);

protected:
    // Finds the fields and buttons of the interface file, whose describing
    // field is named `descriptionField`, and connects the buttons.
    void connectControls(const QString &descriptionField);

    // Runs the chooser over the sheet.
    QList<QUrl> chooseFiles(bool multiple, const std::optional<QStringList> &types, const QString &title);
    // Chooses data files into dataURLArray and its field, then refreshes.
    void chooseDataFiles(const std::optional<QStringList> &types, const QString &title);
    // Chooses one describing file and checks it at once: a file the check
    // accepts fills the field and refreshes, another presents the check's
    // error and leaves the field as it was; a cancelled panel changes nothing.
    void chooseDescriptionFile(const QStringList &types, const QString &title,
                               const std::function<bool(const QUrl &, DSError *)> &check);
    // The URL the describing field names; empty when the field is.
    QUrl descriptionURL() const;
    void setDescriptionURL(const QUrl &url);
    // True when every chosen data file is still there; else presents which
    // one is gone ("The data file “f” could not be found.").
    bool dataFilesExist();
    // Hands the importer to the document's import at position 0, after the
    // sheet was saved; beeps when the document refuses.
    void beginImport(std::shared_ptr<DSDataImporter> importer);
    void setBeginEnabled(bool enabled);

private:
    Chooser m_chooser = chooseWithPanel;
    QList<QUrl> m_dataURLArray;
    QPointer<QLineEdit> m_dataField;
    QPointer<QLineEdit> m_descriptionField;
    QPointer<QPushButton> m_beginButton;
};
