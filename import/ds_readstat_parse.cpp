#include "import/ds_readstat_parse.h"

#include "import/ds_import_log.h"
#include "import/ds_memory_file.h"

#include <readstat.h>

#include <QFile>
#include <QtGlobal>

#include <array>
#include <cmath>
#include <cstring>
#include <memory>
#include <string>

namespace {

// What the library's handlers forward to.
struct Forward
{
    void *context;
    const ds_readstat_callbacks_s *callbacks;
    // Stata label-set names come straight from the file's fixed-width
    // entries, without a terminating NUL when a name fills its entry: at
    // most this many bytes are read of one (known once the header is).
    size_t labelSetLength = SIZE_MAX;
    bool stata = false;
};

// The width of a label-set name entry in a Stata file of the format.
size_t stataLabelSetWidth(int format)
{
    return format < 110 ? 9 : format < 118 ? 33 : 129;
}

// A value's bytes and our type code; none for a value the file calls
// missing.
struct Cell
{
    union {
        int8_t i8;
        int16_t i16;
        int32_t i32;
        float f;
        double d;
    } number{};
    const void *pointer = nullptr;
    int32_t type = -1;
};

int32_t typeCode(readstat_type_t type)
{
    switch (type) {
    case READSTAT_TYPE_STRING:
    case READSTAT_TYPE_STRING_REF:
        return 0;
    case READSTAT_TYPE_INT8:
        return 1;
    case READSTAT_TYPE_INT16:
        return 2;
    case READSTAT_TYPE_INT32:
        return 3;
    case READSTAT_TYPE_FLOAT:
        return 4;
    case READSTAT_TYPE_DOUBLE:
        return 5;
    }
    return -1;
}

Cell cellOf(readstat_value_t value, bool missing)
{
    Cell cell;
    cell.type = typeCode(readstat_value_type(value));
    if (missing)
        return cell;
    switch (cell.type) {
    case 0:
        cell.pointer = readstat_string_value(value);
        return cell;
    case 1:
        cell.number.i8 = readstat_int8_value(value);
        break;
    case 2:
        cell.number.i16 = readstat_int16_value(value);
        break;
    case 3:
        cell.number.i32 = readstat_int32_value(value);
        break;
    case 4:
        cell.number.f = readstat_float_value(value);
        break;
    case 5:
        cell.number.d = readstat_double_value(value);
        break;
    default:
        return cell;
    }
    cell.pointer = &cell.number;
    return cell;
}

int handlerResult(int stop)
{
    return stop ? READSTAT_HANDLER_ABORT : READSTAT_HANDLER_OK;
}

int onMetadata(readstat_metadata_t *metadata, void *data)
{
    auto *forward = static_cast<Forward *>(data);
    if (forward->stata)
        forward->labelSetLength = stataLabelSetWidth(readstat_get_file_format_version(metadata));
    return handlerResult(forward->callbacks->info(readstat_get_row_count(metadata),
                                                  readstat_get_var_count(metadata), forward->context));
}

int onVariable(int index, readstat_variable_t *variable, const char *labelSet, void *data)
{
    auto *forward = static_cast<Forward *>(data);
    const std::string set = labelSet ? std::string(labelSet, strnlen(labelSet, forward->labelSetLength)) : std::string();
    return handlerResult(forward->callbacks->variable(
        index, readstat_variable_get_name(variable), readstat_variable_get_format(variable),
        readstat_variable_get_label(variable), labelSet ? set.c_str() : nullptr,
        typeCode(readstat_variable_get_type(variable)), forward->context));
}

int onValue(int observation, readstat_variable_t *variable, readstat_value_t value, void *data)
{
    auto *forward = static_cast<Forward *>(data);
    const Cell cell = cellOf(value, readstat_value_is_missing(value, variable) != 0);
    return handlerResult(forward->callbacks->value(observation, readstat_variable_get_index(variable), cell.pointer,
                                                   cell.type, forward->context));
}

int onValueLabel(const char *labelSet, readstat_value_t value, const char *label, void *data)
{
    auto *forward = static_cast<Forward *>(data);
    const Cell cell = cellOf(value, readstat_value_is_system_missing(value) || readstat_value_is_tagged_missing(value));
    if (!cell.pointer)
        return READSTAT_HANDLER_OK;
    return handlerResult(forward->callbacks->value_label(labelSet, cell.pointer, cell.type, label, forward->context));
}

void onError(const char *message, void *)
{
    ds_import_log_library_message("ReadStat", message);
}

struct ParserFree
{
    void operator()(readstat_parser_t *parser) const { readstat_parser_free(parser); }
};

int openMemory(const char *, void *)
{
    return 0;
}

int closeMemory(void *)
{
    return 0;
}

readstat_off_t seekMemory(readstat_off_t offset, readstat_io_flags_t whence, void *io)
{
    return ds_memory_file_seek(static_cast<ds_memory_file_s *>(io), offset, int(whence));
}

ssize_t readMemory(void *buffer, size_t n, void *io)
{
    return ds_memory_file_read(static_cast<ds_memory_file_s *>(io), buffer, n);
}

readstat_error_t updateMemory(long, readstat_progress_handler, void *, void *)
{
    return READSTAT_OK;
}

// A portable file's character table gives every unused position a byte of
// the writer's choosing, PSPP the digit 0. The library lets the last
// position of a byte decide its meaning, so those repeats would make every
// 0 in the file unreadable: each repeat after the first meaningful position
// (64, the digits) becomes a byte the file does not use. The table follows
// the 200-byte header, in lines of 80 bytes whose ends are not part of it.
void mendPortableCharacterTable(QByteArray *bytes)
{
    constexpr qint64 k_tableStart = 200, k_tableSize = 256, k_lineLength = 80, k_firstMeaningful = 64;
    std::array<qint64, k_tableSize> offsetOf;
    offsetOf.fill(-1);
    qint64 logical = 0, column = 0;
    for (qint64 o = 0; o < bytes->size() && logical < k_tableStart + k_tableSize; ++o) {
        const char b = (*bytes)[o];
        if (b == '\r')
            continue;
        if (b == '\n') {
            logical += k_lineLength - column;
            column = 0;
            continue;
        }
        if (logical >= k_tableStart)
            offsetOf[size_t(logical - k_tableStart)] = o;
        ++logical, ++column;
    }
    std::array<bool, 256> used{};
    for (const char b : *bytes)
        used[static_cast<unsigned char>(b)] = true;
    int spare = 1;
    while (spare < 256 && used[size_t(spare)])
        ++spare;
    if (spare == 256)
        return;
    std::array<bool, 256> seen{};
    for (size_t i = k_firstMeaningful; i < k_tableSize; ++i) {
        if (offsetOf[i] < 0)
            continue;
        const auto b = static_cast<unsigned char>((*bytes)[offsetOf[i]]);
        if (seen[b])
            (*bytes)[offsetOf[i]] = char(spare);
        seen[b] = true;
    }
}

// The format release of a Stata file: its first byte before Stata 13, the
// number in its <release> tag since; 0 when the file cannot be read.
int stataRelease(const char *path)
{
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly))
        return 0;
    const QByteArray head = file.read(64);
    static const QByteArray k_tagged = "<stata_dta><header><release>";
    if (head.startsWith(k_tagged))
        return head.mid(k_tagged.size(), 3).toInt();
    return head.isEmpty() ? 0 : static_cast<unsigned char>(head[0]);
}

using Reader = readstat_error_t (*)(readstat_parser_t *, const char *, void *);

int parseWith(Reader read, bool labels, const char *path, void *context, const ds_readstat_callbacks_s &callbacks)
{
    std::unique_ptr<readstat_parser_t, ParserFree> parser(readstat_parser_init());
    if (!parser)
        return READSTAT_ERROR_MALLOC;
    ds_memory_file_s memory;
    if (read == readstat_parse_por) {
        QFile file(QFile::decodeName(path));
        if (!file.open(QIODevice::ReadOnly))
            return READSTAT_ERROR_OPEN;
        memory.bytes = file.readAll();
        mendPortableCharacterTable(&memory.bytes);
        readstat_set_open_handler(parser.get(), openMemory);
        readstat_set_close_handler(parser.get(), closeMemory);
        readstat_set_seek_handler(parser.get(), seekMemory);
        readstat_set_read_handler(parser.get(), readMemory);
        readstat_set_update_handler(parser.get(), updateMemory);
        readstat_set_io_ctx(parser.get(), &memory);
    } else if (read == readstat_parse_dta && stataRelease(path) < 118) {
        // Files before Stata 14 name no encoding: R and others write UTF-8
        // into them, Stata itself Latin-1 or Windows-1252. The library,
        // told either, refuses the file at the first text of the other, so
        // the bytes are passed through as they are (Latin-1 to Latin-1 is
        // the identity), and the importer reads each text as UTF-8 when it
        // is, else as Windows-1252.
        readstat_set_file_character_encoding(parser.get(), "ISO-8859-1");
        readstat_set_handler_character_encoding(parser.get(), "ISO-8859-1");
    } else if (read == readstat_parse_dta) {
        readstat_set_file_character_encoding(parser.get(), "UTF-8");
    }
    Forward forward{context, &callbacks};
    if (read == readstat_parse_dta) {
        forward.stata = true;
        forward.labelSetLength = stataLabelSetWidth(0);
    }
    if (callbacks.info)
        readstat_set_metadata_handler(parser.get(), onMetadata);
    if (callbacks.variable)
        readstat_set_variable_handler(parser.get(), onVariable);
    if (callbacks.value)
        readstat_set_value_handler(parser.get(), onValue);
    if (labels && callbacks.value_label)
        readstat_set_value_label_handler(parser.get(), onValueLabel);
    readstat_set_error_handler(parser.get(), onError);
    return read(parser.get(), path, &forward);
}

} // namespace

double ds_readstat_number(const void *value, int32_t type)
{
    if (!value)
        return NAN;
    switch (type) {
    case 1:
        return *static_cast<const int8_t *>(value);
    case 2:
        return *static_cast<const int16_t *>(value);
    case 3:
        return *static_cast<const int32_t *>(value);
    case 4:
        return *static_cast<const float *>(value);
    case 5:
        return *static_cast<const double *>(value);
    }
    return NAN;
}

// Whether a Stata file in the tagged form of Stata 13 and later has lost
// its end: the library reads one cut inside its value labels or closing
// tag as whole.
bool isCutTaggedStataFile(const char *path)
{
    QFile file(QFile::decodeName(path));
    if (!file.open(QIODevice::ReadOnly) || !file.peek(11).startsWith("<stata_dta>"))
        return false;
    static const QByteArray k_end = "</stata_dta>";
    return file.size() < k_end.size() || !file.seek(file.size() - k_end.size()) || file.read(k_end.size()) != k_end;
}

int parse_dta(const char *path, void *context, const ds_readstat_callbacks_s &callbacks)
{
    if (isCutTaggedStataFile(path))
        return READSTAT_ERROR_PARSE;
    return parseWith(readstat_parse_dta, true, path, context, callbacks);
}

int parse_sav(const char *path, void *context, const ds_readstat_callbacks_s &callbacks)
{
    return parseWith(readstat_parse_sav, true, path, context, callbacks);
}

int parse_por(const char *path, void *context, const ds_readstat_callbacks_s &callbacks)
{
    return parseWith(readstat_parse_por, true, path, context, callbacks);
}

int parse_sas7bdat(const char *path, void *context, const ds_readstat_callbacks_s &callbacks)
{
    return parseWith(readstat_parse_sas7bdat, false, path, context, callbacks);
}

int parse_sas7bcat(const char *path, void *context, const ds_readstat_callbacks_s &callbacks)
{
    return parseWith(readstat_parse_sas7bcat, true, path, context, callbacks);
}
