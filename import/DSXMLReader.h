#pragma once

#include <QByteArray>

// A one-pass reader of a whole XML document over expat: a subclass gets
// the start and end of every element and its character data. Names are the
// full written names (no namespace processing); expat's own limits guard
// against entity expansion, and no external entity is ever loaded.
class DSXMLReader
{
public:
    virtual ~DSXMLReader() = default;

    // Parses the document (UTF-8 unless it declares otherwise) in one call.
    // False when it is not well-formed or a handler stopped the parse.
    bool parse(const QByteArray &xml);

    // The value of the named attribute (compared ignoring case), the first
    // or the last of that name; null when absent.
    static const char *attribute(const char **attributes, const char *name, bool last = false);
    // The element name is `name`, ignoring case.
    static bool is(const char *element, const char *name)
    {
        // The first letters settle most comparisons of a sheet's many cells.
        return (element[0] | 0x20) == (name[0] | 0x20) && equalIgnoringCase(element, name);
    }

private:
    static bool equalIgnoringCase(const char *a, const char *b);

protected:
    virtual void startElement(const char *name, const char **attributes) = 0;
    virtual void endElement(const char *name) { (void)name; }
    virtual void characters(const char *text, int length) { (void)text, (void)length; }
    // Ends the parse from inside a handler; parse() then answers false.
    void stop();

private:
    void *m_parser = nullptr;
    bool m_stopped = false;
};
