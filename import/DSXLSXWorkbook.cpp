#include "import/DSXLSXWorkbook.h"

#include "import/DSXMLReader.h"
#include "import/ZipFile.h"

#include <QHash>

#include <array>
#include <cstdlib>
#include <strings.h>

namespace {

const std::array<const char *, 48> k_builtInFormats{{
    "",
    "0",
    "0.00",
    "#,##0",
    "#,##0.00",
    "\"$\"#,##0_);(\"$\"#,##0)",
    "\"$\"#,##0_);[Red](\"$\"#,##0)",
    "\"$\"#,##0.00_);(\"$\"#,##0.00)",
    "\"$\"#,##0.00_);[Red](\"$\"#,##0.00)",
    "0%",
    "0.00%",
    "0.00E+00",
    "# ?/?",
    "# ?\?/??",
    "m/d/yy",
    "d-ddd-yy",
    "d-mmm",
    "mmm-yy",
    "h:mm AM/PM",
    "h:mm:ss AM/PM",
    "h:mm",
    "h:mm:ss",
    "m/d/yy h:mm",
    "_(#,##0_);(#,##0)",
    "_(#,##0_);[Red](#,##0)",
    "_(#,##0.00_);(#,##0.00)",
    "_(#,##0.00_);[Red](#,##0.00)",
    "_(\"$\"* #,##0_);_(\"$\"* (#,##0);_(\"$\"* \"-\"_);_(@_)",
    "_(* #,##0_);_(* (#,##0);_(* \"-\"_);_(@_)",
    "_(\"$\"* #,##0.00_);_(\"$\"* (#,##0.00);_(\"$\"* \"-\"?\?_);_(@_)",
    "_(* #,##0.00_);_(* (#,##0.00);_(* \"-\"?\?_);_(@_)",
    "mm:ss",
    "[h]:mm:ss",
    "mm:ss.0",
    "##0.0E+0",
    "@",
    "",
    "",
    "",
    "",
    "",
    "_(* #,##0_);_(* \\(#,##0\\);_(* \"-\"_);_(@_)",
    "_(\"$\"* #,##0_);_(\"$\"* \\(#,##0\\);_(\"$\"* \"-\"_);_(@_)",
    "_(* #,##0.00_);_(* \\(#,##0.00\\);_(* \"-\"?\?_);_(@_)",
    "_(\"$\"* #,##0.00_);_(\"$\"* \\(#,##0.00\\);_(\"$\"* \"-\"?\?_);_(@_)",
    "mm:ss",
    "[h]:mm:ss",
    "mm:ss.0",
}};

// The date system and the sheets' names and relationship ids.
class WorkbookReader : public DSXMLReader
{
public:
    bool date1904 = false;
    QStringList names, relationships;

protected:
    void startElement(const char *name, const char **attributes) override
    {
        if (is(name, "workbookPr")) {
            const char *value = attribute(attributes, "date1904");
            date1904 = value && (strcasecmp(value, "true") == 0 || std::string(value) == "1");
        } else if (is(name, "sheet")) {
            if (const char *sheetName = attribute(attributes, "name")) {
                names.append(QString::fromUtf8(sheetName));
                const char *id = attribute(attributes, "r:id");
                relationships.append(id ? QString::fromUtf8(id) : QString());
            }
        }
    }
};

// Relationship id -> archive entry of its target.
class RelationshipsReader : public DSXMLReader
{
public:
    QHash<QString, QString> targets;

protected:
    void startElement(const char *name, const char **attributes) override
    {
        if (!is(name, "Relationship"))
            return;
        const char *id = attribute(attributes, "Id");
        const char *target = attribute(attributes, "Target");
        if (!id || !target)
            return;
        // Targets are relative to "xl/", or absolute from the package root.
        const QString path = QString::fromUtf8(target);
        targets.insert(QString::fromUtf8(id), path.startsWith('/') ? path.mid(1) : QStringLiteral("xl/") + path);
    }
};

// Each "si" item's text: the "t" texts of its runs joined, phonetic runs
// ("rPh") left out.
class SharedStringsReader : public DSXMLReader
{
public:
    std::vector<std::string> *strings = nullptr;

protected:
    void startElement(const char *name, const char **) override
    {
        if (is(name, "si")) {
            m_text.clear();
            m_inItem = true;
        } else if (m_inItem && is(name, "rPh")) {
            m_inPhonetic = true;
        } else if (m_inItem && !m_inPhonetic && is(name, "t")) {
            m_inText = true;
        }
    }
    void endElement(const char *name) override
    {
        if (is(name, "t")) {
            m_inText = false;
        } else if (is(name, "rPh")) {
            m_inPhonetic = false;
        } else if (is(name, "si") && m_inItem) {
            strings->push_back(m_text);
            m_inItem = false;
        }
    }
    void characters(const char *text, int length) override
    {
        if (m_inText)
            m_text.append(text, size_t(length));
    }

private:
    std::string m_text;
    bool m_inItem = false, m_inText = false, m_inPhonetic = false;
};

// The file's own number formats and the cell styles' format ids.
class StylesReader : public DSXMLReader
{
public:
    std::map<int, std::string> *formats = nullptr;
    std::vector<int> *cellStyles = nullptr;

protected:
    void startElement(const char *name, const char **attributes) override
    {
        if (is(name, "numFmts")) {
            m_inFormats = true;
        } else if (is(name, "cellXfs")) {
            m_inCellStyles = true;
        } else if (m_inFormats && is(name, "numFmt")) {
            const char *code = attribute(attributes, "formatCode", true);
            const char *id = attribute(attributes, "numFmtId", true);
            if (code && id)
                (*formats)[std::atoi(id)] = code;
        } else if (m_inCellStyles && is(name, "xf")) {
            const char *id = attribute(attributes, "numFmtId");
            cellStyles->push_back(id ? std::atoi(id) : 0);
        }
    }
    void endElement(const char *name) override
    {
        if (is(name, "numFmts"))
            m_inFormats = false;
        else if (is(name, "cellXfs"))
            m_inCellStyles = false;
    }

private:
    bool m_inFormats = false, m_inCellStyles = false;
};

} // namespace

const char *DSXLSXWorkbook::builtInFormat(int id)
{
    return id >= 0 && id < int(k_builtInFormats.size()) ? k_builtInFormats[size_t(id)] : nullptr;
}

DSXLSXWorkbook::DSXLSXWorkbook()
{
    for (size_t id = 0; id < k_builtInFormats.size(); ++id)
        m_formats[int(id)] = k_builtInFormats[id];
}

bool DSXLSXWorkbook::readWorkbook(ZipFile &zip)
{
    const std::optional<QByteArray> xml = zip.readEntry(QStringLiteral("xl/workbook.xml"));
    if (!xml || xml->isEmpty())
        return true;
    WorkbookReader reader;
    if (!reader.parse(*xml))
        return false;
    m_date1904 = reader.date1904;
    m_sheetNames = reader.names;
    m_sheetRelationships = reader.relationships;
    return true;
}

bool DSXLSXWorkbook::readSharedStrings(ZipFile &zip)
{
    const std::optional<QByteArray> xml = zip.readEntry(QStringLiteral("xl/sharedStrings.xml"));
    if (!xml || xml->isEmpty())
        return true;
    SharedStringsReader reader;
    reader.strings = &m_sharedStrings;
    return reader.parse(*xml);
}

bool DSXLSXWorkbook::readStyles(ZipFile &zip)
{
    const std::optional<QByteArray> xml = zip.readEntry(QStringLiteral("xl/styles.xml"));
    if (!xml || xml->isEmpty())
        return true;
    StylesReader reader;
    reader.formats = &m_formats;
    reader.cellStyles = &m_cellStyles;
    return reader.parse(*xml);
}

bool DSXLSXWorkbook::resolveSheets(ZipFile &zip)
{
    m_sheets.clear();
    RelationshipsReader relationships;
    if (const auto xml = zip.readEntry(QStringLiteral("xl/_rels/workbook.xml.rels")); xml && !xml->isEmpty())
        if (!relationships.parse(*xml))
            return false;
    bool related = !m_sheetNames.isEmpty();
    for (const QString &id : m_sheetRelationships)
        related = related && relationships.targets.contains(id);
    if (related) {
        for (qsizetype i = 0; i < m_sheetNames.size(); ++i) {
            const QString entry = relationships.targets.value(m_sheetRelationships[i]);
            if (!zip.locateFileInZip(entry))
                return false;
            m_sheets.append(Sheet{m_sheetNames[i], entry});
        }
        return true;
    }
    for (qsizetype i = 1;; ++i) {
        QString entry = QStringLiteral("xl/worksheets/sheet%1.xml").arg(i);
        if (i == 1 && !zip.locateFileInZip(entry))
            entry = QStringLiteral("xl/worksheets/sheet.xml");
        if (!zip.locateFileInZip(entry))
            return true;
        if (i > m_sheetNames.size())
            return false;
        m_sheets.append(Sheet{m_sheetNames[i - 1], entry});
    }
}

const char *DSXLSXWorkbook::formatOfStyle(qint64 style) const
{
    if (style < 0 || style >= qint64(m_cellStyles.size()))
        return nullptr;
    const auto found = m_formats.find(m_cellStyles[size_t(style)]);
    return found == m_formats.end() ? nullptr : found->second.c_str();
}

const std::string *DSXLSXWorkbook::sharedString(qint64 index) const
{
    return index >= 0 && index < qint64(m_sharedStrings.size()) ? &m_sharedStrings[size_t(index)] : nullptr;
}
