#pragma once

#include <QByteArray>
#include <QString>

#include <memory>

class ZipFile;

// A one-pass reader of a whole XML document over expat: a subclass gets
// the start and end of every element and its character data. Names are the
// full written names (no namespace processing); expat's own limits guard
// against entity expansion, and no external entity is ever loaded.
class DSXMLReader
{
public:
    DSXMLReader();
    virtual ~DSXMLReader();

    // Parses the document (UTF-8 unless it declares otherwise) in one call.
    // False when it is not well-formed or a handler stopped the parse.
    bool parse(const QByteArray &xml);

    // The same in pieces, as they arrive: begin(), feed() each piece, then
    // feed() with final set and no bytes. A false answer ends the parse.
    bool begin();
    bool feed(const char *data, qsizetype size, bool final);

    // Parses the archive's entry as it inflates: the inflating runs on a
    // thread of its own, a few pieces ahead of the parse. present says
    // whether the archive has the entry; an absent or empty entry is not
    // parsed and answers true. Throws the archive's ZipException, after the
    // inflating thread has ended.
    bool parseEntry(ZipFile &zip, const QString &entry, bool *present);

    // The value of the named attribute (compared ignoring case), the first
    // or the last of that name; null when absent.
    static const char *attribute(const char **attributes, const char *name, bool last = false);
    // The element name is `name`, ignoring case.
    // Inline: a sheet's every cell asks it several times.
    static bool is(const char *element, const char *name)
    {
        // Names are ASCII letters, digits and ":", on which setting bit 5
        // folds case and changes nothing else.
        for (; *element && (*element | 0x20) == (*name | 0x20); ++element, ++name) {
        }
        return *element == '\0' && *name == '\0';
    }

protected:
    virtual void startElement(const char *name, const char **attributes) = 0;
    virtual void endElement(const char *name) { (void)name; }
    virtual void characters(const char *text, int length) { (void)text, (void)length; }
    // Ends the parse from inside a handler; parse() then answers false.
    void stop();

private:
    struct Parser;
    std::unique_ptr<Parser> m_owned;
    void *m_parser = nullptr;
    bool m_stopped = false;
};
