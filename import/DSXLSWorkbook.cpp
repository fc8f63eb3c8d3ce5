#include "import/DSXLSWorkbook.h"

#include "import/DSXLSXWorkbook.h"

#include <gsf/gsf-infile-msole.h>
#include <gsf/gsf-infile.h>
#include <gsf/gsf-input-memory.h>
#include <gsf/gsf-input.h>
#include <gsf/gsf-utils.h>

#include <algorithm>
#include <cstring>
#include <mutex>

namespace {

enum : uint16_t {
    k_bof = 0x0809,
    k_eof = 0x000A,
    k_continue = 0x003C,
    k_filePass = 0x002F,
    k_dateMode = 0x0022,
    k_format = 0x041E,
    k_xf = 0x00E0,
    k_boundSheet = 0x0085,
    k_sst = 0x00FC,
    k_string = 0x0207,
    k_mulBlank = 0x00BE,
    k_rString = 0x00D6,
    k_biff8 = 0x0600,
};

// Excel 97-2003 worksheets have columns A to IV.
constexpr uint16_t k_maxColumn = 255;

// The bytes of one record and of the CONTINUE records after it, read as
// one stream. Every read is checked; a failed one leaves ok false and
// answers zeros.
class RecordBody
{
public:
    void add(const uint8_t *data, size_t size) { m_segments.emplace_back(data, size); }
    bool ok() const { return m_ok; }
    size_t remaining() const
    {
        size_t n = 0;
        for (size_t i = m_segment; i < m_segments.size(); ++i)
            n += m_segments[i].second - (i == m_segment ? m_offset : 0);
        return n;
    }

    bool bytes(void *out, size_t n)
    {
        auto *to = static_cast<uint8_t *>(out);
        while (n > 0 && m_ok) {
            if (m_segment >= m_segments.size()) {
                m_ok = false;
                break;
            }
            const auto &[data, size] = m_segments[m_segment];
            const size_t k = std::min(n, size - m_offset);
            if (to) {
                std::memcpy(to, data + m_offset, k);
                to += k;
            }
            m_offset += k;
            n -= k;
            if (m_offset == size && n > 0)
                ++m_segment, m_offset = 0;
        }
        if (!m_ok && to)
            std::memset(to, 0, n);
        return m_ok;
    }
    uint8_t u8()
    {
        uint8_t v = 0;
        bytes(&v, 1);
        return v;
    }
    uint16_t u16()
    {
        uint8_t b[2] = {};
        bytes(b, 2);
        return uint16_t(b[0] | b[1] << 8);
    }
    uint32_t u32() { return uint32_t(u16()) | uint32_t(u16()) << 16; }
    double f64()
    {
        uint8_t b[8] = {};
        bytes(b, 8);
        uint64_t bits = 0;
        for (int i = 7; i >= 0; --i)
            bits = bits << 8 | b[i];
        double x;
        std::memcpy(&x, &bits, sizeof x);
        return x;
    }
    bool skip(size_t n) { return bytes(nullptr, n); }

    // A BIFF8 Unicode string: count (8 or 16 bits), option flags, the
    // rich-text and phonetic sizes when flagged, the characters (which may
    // go on in the next CONTINUE after a new flags byte), then the runs and
    // phonetic data, skipped. UTF-8 into out.
    bool string(bool shortCount, std::string *out)
    {
        const size_t count = shortCount ? u8() : u16();
        const uint8_t flags = u8();
        const size_t runs = flags & 0x08 ? u16() : 0;
        const size_t phonetic = flags & 0x04 ? u32() : 0;
        QString text;
        if (!characters(count, flags & 0x01, &text))
            return false;
        *out = text.toStdString();
        return skip(runs * 4) && skip(phonetic);
    }

private:
    bool characters(size_t count, bool wide, QString *text)
    {
        while (count > 0 && m_ok) {
            if (m_segment < m_segments.size() && m_offset == m_segments[m_segment].second) {
                if (++m_segment >= m_segments.size())
                    return m_ok = false;
                m_offset = 0;
                wide = u8() & 0x01;
                continue;
            }
            if (m_segment >= m_segments.size())
                return m_ok = false;
            const auto &[data, size] = m_segments[m_segment];
            const size_t unit = wide ? 2 : 1;
            const size_t k = std::min(count, (size - m_offset) / unit);
            if (k == 0)
                return m_ok = false;
            const uint8_t *p = data + m_offset;
            for (size_t i = 0; i < k; ++i)
                text->append(QChar(wide ? char16_t(p[2 * i] | p[2 * i + 1] << 8) : char16_t(p[i])));
            m_offset += k * unit;
            count -= k;
        }
        return m_ok;
    }

    std::vector<std::pair<const uint8_t *, size_t>> m_segments;
    size_t m_segment = 0, m_offset = 0;
    bool m_ok = true;
};

double numberOfRK(uint32_t rk)
{
    double x;
    if (rk & 0x02) {
        x = double(int32_t(rk) >> 2);
    } else {
        const uint64_t bits = uint64_t(rk & 0xFFFFFFFCu) << 32;
        std::memcpy(&x, &bits, sizeof x);
    }
    return rk & 0x01 ? x / 100 : x;
}

// The workbook stream of an OLE2 compound file's bytes; empty when there
// is none or it is too large.
QByteArray workbookStream(const QByteArray &file)
{
    static std::once_flag initialised;
    std::call_once(initialised, [] {
        gsf_init();
        // A damaged compound file is an ordinary failure here, reported by
        // the importer; libgsf's own diagnostics of it would only be noise.
        for (const char *domain : {"libgsf:msole", "libgsf"})
            g_log_set_handler(domain, GLogLevelFlags(G_LOG_LEVEL_WARNING | G_LOG_LEVEL_CRITICAL | G_LOG_LEVEL_MESSAGE),
                              [](const gchar *, GLogLevelFlags, const gchar *, gpointer) {}, nullptr);
    });
    QByteArray stream;
    GsfInput *input = gsf_input_memory_new(reinterpret_cast<const guint8 *>(file.constData()), file.size(), FALSE);
    if (!input)
        return stream;
    if (GsfInfile *ole = gsf_infile_msole_new(input, nullptr)) {
        if (GsfInput *workbook = gsf_infile_child_by_name(ole, "Workbook")) {
            const gsf_off_t size = gsf_input_size(workbook);
            if (size > 0 && size <= DSXLSWorkbook::k_maxStreamBytes) {
                stream.resize(qsizetype(size));
                if (!gsf_input_read(workbook, size_t(size), reinterpret_cast<guint8 *>(stream.data())))
                    stream.clear();
            }
            g_object_unref(workbook);
        }
        g_object_unref(ole);
    }
    g_object_unref(input);
    return stream;
}

} // namespace

// Steps through the records from a position of the stream.
struct DSXLSWorkbook::Reader
{
    const uint8_t *data;
    size_t size;
    size_t position;
    bool damaged = false;

    // The next record with its CONTINUE records; false at the end of the
    // stream, or with damaged set when a record runs past it.
    bool next(uint16_t *type, RecordBody *body)
    {
        if (position + 4 > size)
            return false;
        *type = uint16_t(data[position] | data[position + 1] << 8);
        *body = RecordBody();
        bool first = true;
        while (position + 4 <= size) {
            const uint16_t t = uint16_t(data[position] | data[position + 1] << 8);
            const size_t length = size_t(data[position + 2] | data[position + 3] << 8);
            if (!first && t != k_continue)
                break;
            if (position + 4 + length > size) {
                damaged = true;
                return false;
            }
            body->add(data + position + 4, length);
            position += 4 + length;
            first = false;
        }
        return true;
    }
};

bool DSXLSWorkbook::read(const QByteArray &file)
{
    const QByteArray stream = workbookStream(file);
    Reader reader{reinterpret_cast<const uint8_t *>(stream.constData()), size_t(stream.size()), 0};
    std::vector<std::pair<uint32_t, QString>> sheetOffsets;
    if (!readGlobals(reader, &sheetOffsets))
        return false;
    for (const auto &[offset, name] : sheetOffsets) {
        Sheet sheet;
        sheet.name = name;
        if (!readSheet(stream, offset, &sheet))
            return false;
        m_sheets.append(std::move(sheet));
    }
    return true;
}

bool DSXLSWorkbook::readGlobals(Reader &reader, std::vector<std::pair<uint32_t, QString>> *sheetOffsets)
{
    uint16_t type = 0;
    RecordBody body;
    if (!reader.next(&type, &body) || type != k_bof || body.u16() != k_biff8)
        return false;
    while (reader.next(&type, &body)) {
        switch (type) {
        case k_eof:
            return true;
        case k_filePass:
            return false;
        case k_dateMode:
            m_date1904 = body.u16() == 1;
            break;
        case k_format: {
            const uint16_t id = body.u16();
            std::string code;
            if (!body.string(false, &code))
                return false;
            m_formats.emplace_back(id, std::move(code));
            break;
        }
        case k_xf:
            body.skip(2);
            m_xfFormats.push_back(body.u16());
            break;
        case k_boundSheet: {
            const uint32_t offset = body.u32();
            body.skip(1);
            const uint8_t kind = body.u8();
            std::string name;
            if (!body.string(true, &name))
                return false;
            if (kind == 0)  // worksheets; charts and macro sheets hold no cells
                sheetOffsets->emplace_back(offset, QString::fromStdString(name));
            break;
        }
        case k_sst: {
            body.skip(4);
            const uint32_t count = body.u32();
            // Each string takes at least three bytes: a forged count cannot
            // make the list outgrow the record.
            m_sharedStrings.reserve(std::min<size_t>(count, body.remaining() / 3));
            for (uint32_t i = 0; i < count; ++i) {
                std::string text;
                if (!body.string(false, &text))
                    return false;
                m_sharedStrings.push_back(std::move(text));
            }
            break;
        }
        default:
            break;
        }
        if (!body.ok())
            return false;
    }
    return !reader.damaged;
}

bool DSXLSWorkbook::readSheet(const QByteArray &stream, uint32_t offset, Sheet *sheet)
{
    Reader reader{reinterpret_cast<const uint8_t *>(stream.constData()), size_t(stream.size()), offset};
    uint16_t type = 0;
    RecordBody body;
    if (offset >= size_t(stream.size()) || !reader.next(&type, &body) || type != k_bof)
        return false;
    std::vector<Cell> &cells = sheet->cells;
    const auto extend = [sheet](uint16_t row, uint16_t column) {
        sheet->lastRow = std::max<int32_t>(sheet->lastRow, row);
        sheet->lastColumn = std::max<int32_t>(sheet->lastColumn, column);
        return column <= k_maxColumn;
    };
    // A formula's string result follows in a STRING record.
    qsizetype pendingString = -1;
    while (reader.next(&type, &body) && type != k_eof) {
        if (type == k_mulBlank) {
            const uint16_t row = body.u16(), first = body.u16();
            const size_t n = body.remaining() >= 2 ? (body.remaining() - 2) / 2 : 0;
            if (n > 0 && !extend(row, uint16_t(std::min<size_t>(first + n - 1, 0xFFFF))))
                return false;
            continue;
        }
        if (type == k_string) {
            std::string text;
            if (!body.string(false, &text))
                return false;
            if (pendingString >= 0)
                cells[size_t(pendingString)].text = std::move(text);
            pendingString = -1;
            continue;
        }
        if (type != Formula && type != MulRK && type != LabelSST && type != Blank && type != Number &&
            type != Label && type != BoolErr && type != RK && type != k_rString)
            continue;
        Cell cell;
        cell.row = body.u16();
        cell.column = body.u16();
        cell.record = type == k_rString ? uint16_t(Label) : type;
        if (type == MulRK) {
            // Pairs of format index and RK number, then the last column.
            const size_t n = body.remaining() >= 2 ? (body.remaining() - 2) / 6 : 0;
            for (size_t i = 0; i < n; ++i, ++cell.column) {
                if (!extend(cell.row, cell.column))
                    return false;
                cell.xf = body.u16();
                cell.number = numberOfRK(body.u32());
                cells.push_back(cell);
            }
            continue;
        }
        cell.xf = body.u16();
        if (!extend(cell.row, cell.column))
            return false;
        switch (type) {
        case Number:
            cell.number = body.f64();
            break;
        case RK:
            cell.number = numberOfRK(body.u32());
            break;
        case LabelSST: {
            const uint32_t index = body.u32();
            if (index >= m_sharedStrings.size())
                return false;
            cell.text = m_sharedStrings[index];
            cell.isText = true;
            break;
        }
        case Label:
        case k_rString:
            cell.isText = body.string(false, &cell.text);
            break;
        case BoolErr:
            cell.number = body.u8();
            cell.isError = body.u8() != 0;
            cell.isBoolean = !cell.isError;
            break;
        case Formula: {
            uint8_t result[8] = {};
            body.bytes(result, 8);
            if (result[6] == 0xFF && result[7] == 0xFF) {
                cell.isText = result[0] == 0 || result[0] == 3;
                cell.isBoolean = result[0] == 1;
                cell.isError = result[0] == 2;
                cell.number = result[2];
                if (result[0] == 0)
                    pendingString = qsizetype(cells.size());
            } else {
                uint64_t bits = 0;
                for (int i = 7; i >= 0; --i)
                    bits = bits << 8 | result[i];
                std::memcpy(&cell.number, &bits, sizeof cell.number);
            }
            break;
        }
        default:
            break;
        }
        if (!body.ok())
            return false;
        if (type != Blank)
            cells.push_back(std::move(cell));
    }
    if (reader.damaged)
        return false;
    // Records come in row order; a cell written twice keeps its last record.
    std::stable_sort(cells.begin(), cells.end(), [](const Cell &a, const Cell &b) {
        return a.row != b.row ? a.row < b.row : a.column < b.column;
    });
    auto last = std::unique(cells.rbegin(), cells.rend(), [](const Cell &a, const Cell &b) {
        return a.row == b.row && a.column == b.column;
    });
    cells.erase(cells.begin(), last.base());
    return true;
}

const char *DSXLSWorkbook::formatOfXF(uint16_t xf) const
{
    if (xf >= m_xfFormats.size())
        return nullptr;
    const uint16_t id = m_xfFormats[xf];
    for (const auto &[number, code] : m_formats)
        if (number == id)
            return code.c_str();
    return DSXLSXWorkbook::builtInFormat(id);
}
