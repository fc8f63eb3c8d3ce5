#include "import/DSXMLReader.h"

#include <expat.h>

#include <climits>
#include <memory>
#include <strings.h>

bool DSXMLReader::parse(const QByteArray &xml)
{
    if (xml.size() > INT_MAX)
        return false;
    std::unique_ptr<XML_ParserStruct, decltype(&XML_ParserFree)> parser(XML_ParserCreate("UTF-8"), XML_ParserFree);
    if (!parser)
        return false;
    m_parser = parser.get();
    m_stopped = false;
    XML_SetUserData(parser.get(), this);
    XML_SetElementHandler(
        parser.get(),
        [](void *self, const XML_Char *name, const XML_Char **attributes) {
            static_cast<DSXMLReader *>(self)->startElement(name, attributes);
        },
        [](void *self, const XML_Char *name) { static_cast<DSXMLReader *>(self)->endElement(name); });
    XML_SetCharacterDataHandler(parser.get(), [](void *self, const XML_Char *text, int length) {
        static_cast<DSXMLReader *>(self)->characters(text, length);
    });
    const bool ok = XML_Parse(parser.get(), xml.constData(), int(xml.size()), XML_TRUE) == XML_STATUS_OK;
    m_parser = nullptr;
    return ok && !m_stopped;
}

void DSXMLReader::stop()
{
    if (m_parser && !m_stopped)
        XML_StopParser(static_cast<XML_Parser>(m_parser), XML_FALSE);
    m_stopped = true;
}

const char *DSXMLReader::attribute(const char **attributes, const char *name, bool last)
{
    const char *found = nullptr;
    for (int i = 0; attributes[i]; i += 2)
        if (strcasecmp(attributes[i], name) == 0) {
            found = attributes[i + 1];
            if (!last)
                break;
        }
    return found;
}

bool DSXMLReader::equalIgnoringCase(const char *element, const char *name)
{
    return strcasecmp(element, name) == 0;
}
