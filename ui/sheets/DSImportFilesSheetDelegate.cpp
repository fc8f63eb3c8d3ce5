#include "ui/sheets/DSImportFilesSheetDelegate.h"

#include "model/DSDataImporter.h"
#include "ui/DSFileMenuDelegate.h"
#include "ui/window/DSStatDocumentWindow.h"

#include <QDialog>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>

QList<QUrl> DSImportFilesSheetDelegate::chooseWithPanel(QWidget *parent, bool multiple,
                                                        const std::optional<QStringList> &types, const QString &title)
{
    QFileDialog panel(parent);
    panel.setObjectName(QStringLiteral("import_panel"));
    return DSFileMenuDelegate::chooseFiles(&panel, multiple, types, title);
}

QString DSImportFilesSheetDelegate::textForDataFiles(const QList<QUrl> &urls)
{
    if (urls.isEmpty())
        return QString();
    if (urls.size() == 1)
        return urls.first().toString();
    return QStringLiteral("%1 and %2 more").arg(urls.first().toString()).arg(urls.size() - 1);
}

void DSImportFilesSheetDelegate::connectControls(const QString &descriptionField)
{
    m_dataField = outlet<QLineEdit>(QStringLiteral("data_file_text_field"));
    m_descriptionField = outlet<QLineEdit>(descriptionField);
    m_beginButton = outlet<QPushButton>(QStringLiteral("begin_import_button"));
    const auto connectButton = [this](const char *name, auto action) {
        if (auto *button = outlet<QPushButton>(QString::fromLatin1(name)))
            QObject::connect(button, &QPushButton::clicked, this, [this, button, action] { (this->*action)(button); });
    };
    connectButton("choose_data_button", &DSImportFilesSheetDelegate::chooseDataFile);
    connectButton("choose_dictionary_button", &DSImportFilesSheetDelegate::chooseDictionaryFile);
    connectButton("begin_import_button", &DSImportFilesSheetDelegate::saveSheet);
    connectButton("cancel_button", &DSImportFilesSheetDelegate::closeSheet);
}

void DSImportFilesSheetDelegate::showSheet(QWidget *window)
{
    // A refused sheet (another one is up) keeps its choices untouched.
    if (!document() || document()->attached_sheet() || isShown()) {
        DSStatDocumentSheetDelegate::showSheet(window);
        return;
    }
    m_dataURLArray.clear();
    if (m_dataField)
        m_dataField->clear();
    if (m_descriptionField)
        m_descriptionField->clear();
    refreshView(nullptr);
    DSStatDocumentSheetDelegate::showSheet(window);
}

void DSImportFilesSheetDelegate::presentError(const DSError &error)
{
    if (document())
        document()->presentError(error);
}

QList<QUrl> DSImportFilesSheetDelegate::chooseFiles(bool multiple, const std::optional<QStringList> &types,
                                                    const QString &title)
{
    return m_chooser ? m_chooser(sheet(), multiple, types, title) : QList<QUrl>();
}

void DSImportFilesSheetDelegate::chooseDataFiles(const std::optional<QStringList> &types, const QString &title)
{
    const QList<QUrl> urls = chooseFiles(true, types, title);
    if (!urls.isEmpty()) {
        m_dataURLArray = urls;
        if (m_dataField)
            m_dataField->setText(textForDataFiles(urls));
    }
    refreshView(nullptr);
}

void DSImportFilesSheetDelegate::chooseDescriptionFile(const QStringList &types, const QString &title,
                                                       const std::function<bool(const QUrl &, DSError *)> &check)
{
    const QList<QUrl> chosen = chooseFiles(false, types, title);
    if (chosen.isEmpty())
        return;
    DSError error;
    if (!check(chosen.first(), &error)) {
        presentError(error);
        return;
    }
    setDescriptionURL(chosen.first());
    refreshView(nullptr);
}

QUrl DSImportFilesSheetDelegate::descriptionURL() const
{
    const QString text = m_descriptionField ? m_descriptionField->text() : QString();
    return text.isEmpty() ? QUrl() : QUrl(text);
}

void DSImportFilesSheetDelegate::setDescriptionURL(const QUrl &url)
{
    if (m_descriptionField)
        m_descriptionField->setText(url.toString());
}

bool DSImportFilesSheetDelegate::dataFilesExist()
{
    for (const QUrl &url : m_dataURLArray)
        if (!QFileInfo(url.toLocalFile()).isFile()) {
            presentError(ds_make_error(4, QStringLiteral("The data file “%1” could not be found.").arg(url.fileName())));
            return false;
        }
    return true;
}

void DSImportFilesSheetDelegate::beginImport(std::shared_ptr<DSDataImporter> importer)
{
    if (!document())
        return;
    if (!document()->beginImport(std::move(importer), 0))
        document()->beep();
}

void DSImportFilesSheetDelegate::setBeginEnabled(bool enabled)
{
    if (m_beginButton)
        m_beginButton->setEnabled(enabled);
}
