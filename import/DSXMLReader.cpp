#include "import/DSXMLReader.h"

#include <expat.h>

#include "import/ZipFile.h"

#include <climits>
#include <condition_variable>
#include <deque>
#include <exception>
#include <mutex>
#include <thread>

struct DSXMLReader::Parser
{
    XML_Parser parser = nullptr;
    ~Parser()
    {
        if (parser)
            XML_ParserFree(parser);
    }
};

DSXMLReader::DSXMLReader() = default;

DSXMLReader::~DSXMLReader() = default;

bool DSXMLReader::begin()
{
    m_owned = std::make_unique<Parser>();
    m_owned->parser = XML_ParserCreate("UTF-8");
    m_parser = m_owned->parser;
    m_stopped = false;
    if (!m_parser)
        return false;
    XML_Parser parser = m_owned->parser;
    XML_SetUserData(parser, this);
    XML_SetElementHandler(
        parser,
        [](void *self, const XML_Char *name, const XML_Char **attributes) {
            static_cast<DSXMLReader *>(self)->startElement(name, attributes);
        },
        [](void *self, const XML_Char *name) { static_cast<DSXMLReader *>(self)->endElement(name); });
    XML_SetCharacterDataHandler(parser, [](void *self, const XML_Char *text, int length) {
        static_cast<DSXMLReader *>(self)->characters(text, length);
    });
    return true;
}

bool DSXMLReader::feed(const char *data, qsizetype size, bool final)
{
    if (!m_parser || m_stopped)
        return false;
    // expat takes an int length: a larger piece goes in parts.
    while (size > INT_MAX) {
        if (!feed(data, INT_MAX, false))
            return false;
        data += INT_MAX;
        size -= INT_MAX;
    }
    const bool ok = XML_Parse(static_cast<XML_Parser>(m_parser), data, int(size), final) == XML_STATUS_OK;
    if (!ok || final) {
        m_owned.reset();
        m_parser = nullptr;
    }
    return ok && !m_stopped;
}

bool DSXMLReader::parse(const QByteArray &xml)
{
    return begin() && feed(xml.constData(), xml.size(), true);
}

namespace {

// Pieces of an entry handed from the inflating thread to the parse.
class PieceQueue
{
public:
    // The inflating side: waits while the parse is this many pieces behind.
    // False once the parse has given up.
    bool push(const char *data, qsizetype size)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return m_cancelled || m_pieces.size() < k_ahead; });
        if (m_cancelled)
            return false;
        m_pieces.emplace_back(data, size);
        m_changed.notify_all();
        return true;
    }
    void finish(std::exception_ptr failure)
    {
        std::lock_guard lock(m_mutex);
        m_failure = failure;
        m_done = true;
        m_changed.notify_all();
    }
    // The parsing side: the next piece; false once the entry is all read.
    bool pop(QByteArray *piece)
    {
        std::unique_lock lock(m_mutex);
        m_changed.wait(lock, [this] { return !m_pieces.empty() || m_done; });
        if (m_pieces.empty())
            return false;
        *piece = std::move(m_pieces.front());
        m_pieces.pop_front();
        m_changed.notify_all();
        return true;
    }
    void cancel()
    {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
        m_changed.notify_all();
    }
    // After the inflating thread has ended.
    std::exception_ptr failure() const { return m_failure; }

private:
    static constexpr size_t k_ahead = 4;
    std::mutex m_mutex;
    std::condition_variable m_changed;
    std::deque<QByteArray> m_pieces;
    bool m_done = false, m_cancelled = false;
    std::exception_ptr m_failure;
};

} // namespace

bool DSXMLReader::parseEntry(ZipFile &zip, const QString &entry, bool *present)
{
    PieceQueue queue;
    bool found = false;
    std::thread inflating([&] {
        std::exception_ptr failure;
        try {
            found = zip.readEntryInChunks(entry, [&queue](const char *data, qsizetype size) {
                return queue.push(data, size);
            });
        } catch (...) {
            failure = std::current_exception();
        }
        queue.finish(failure);
    });
    bool ok = true, any = false;
    try {
        ok = begin();
        for (QByteArray piece; ok && queue.pop(&piece);) {
            any = true;
            ok = feed(piece.constData(), piece.size(), false);
        }
    } catch (...) {
        queue.cancel();
        inflating.join();
        throw;
    }
    queue.cancel();
    inflating.join();
    if (queue.failure())
        std::rethrow_exception(queue.failure());
    *present = found;
    if (!found || !any)
        return true;
    return ok && feed(nullptr, 0, true);
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
        if (is(attributes[i], name)) {
            found = attributes[i + 1];
            if (!last)
                break;
        }
    return found;
}
