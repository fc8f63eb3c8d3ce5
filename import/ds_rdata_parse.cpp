#include "import/ds_rdata_parse.h"

#include "import/ds_import_log.h"
#include "import/ds_memory_file.h"
#include "import/ds_rdata_check.h"

#include <rdata/rdata.h>

#include <cstdlib>
#include <cstring>
#include <memory>
#include <vector>

namespace {

int openMemory(const char *, void *)
{
    return 0;
}

int closeMemory(void *)
{
    return 0;
}

rdata_off_t seekMemory(rdata_off_t offset, rdata_io_flags_t whence, void *io)
{
    return ds_memory_file_seek(static_cast<ds_memory_file_s *>(io), offset, int(whence));
}

ssize_t readMemory(void *buffer, size_t n, void *io)
{
    return ds_memory_file_read(static_cast<ds_memory_file_s *>(io), buffer, n);
}

rdata_error_t updateMemory(long, rdata_progress_handler, void *, void *)
{
    return RDATA_OK;
}

struct Forward
{
    void *context;
    const ds_rdata_callbacks_s *callbacks;
};

int onTable(const char *name, void *data)
{
    auto *forward = static_cast<Forward *>(data);
    return forward->callbacks->table(name, forward->context);
}

int onColumn(const char *name, rdata_type_t type, void *values, long count, void *data)
{
    auto *forward = static_cast<Forward *>(data);
    const ds_rdata_callbacks_s &to = *forward->callbacks;
    switch (type) {
    case RDATA_TYPE_STRING:
        return to.column(name, 0, false, values, count, forward->context);
    case RDATA_TYPE_INT32:
        return to.column(name, 3, false, values, count, forward->context);
    case RDATA_TYPE_REAL:
        return to.column(name, 5, false, values, count, forward->context);
    case RDATA_TYPE_LOGICAL:
        if (to.value_label("FALSE", -1, forward->context) || to.value_label("TRUE", 0, forward->context))
            return 1;
        return to.column(name, 3, false, values, count, forward->context);
    case RDATA_TYPE_TIMESTAMP:
        return to.column(name, 5, true, values, count, forward->context);
    case RDATA_TYPE_DATE: {
        std::vector<double> seconds;
        try {
            seconds.resize(size_t(count < 0 ? 0 : count));
        } catch (const std::bad_alloc &) {
            return 1;
        }
        const auto *days = static_cast<const double *>(values);
        for (size_t i = 0; i < seconds.size(); ++i)
            seconds[i] = days[i] * 86400;
        return to.column(name, 5, true, seconds.data(), count, forward->context);
    }
    }
    return 0;
}

int onColumnName(const char *name, int index, void *data)
{
    auto *forward = static_cast<Forward *>(data);
    return forward->callbacks->column_name(name, index, forward->context);
}

int onText(const char *text, int index, void *data)
{
    auto *forward = static_cast<Forward *>(data);
    return forward->callbacks->text_value(text, index, forward->context);
}

int onValueLabel(const char *label, int index, void *data)
{
    auto *forward = static_cast<Forward *>(data);
    return forward->callbacks->value_label(label, index, forward->context);
}

void onError(const char *message, void *)
{
    ds_import_log_library_message("librdata", message);
}

struct ParserFree
{
    void operator()(rdata_parser_t *parser) const { rdata_parser_free(parser); }
};

int parseBytes(const QByteArray &bytes, void *context, const ds_rdata_callbacks_s &callbacks)
{
    // librdata trusts the counts and nesting of the file; what it would
    // crash on ends here as a parse error.
    if (!ds_rdata_check(bytes))
        return RDATA_ERROR_PARSE;
    std::unique_ptr<rdata_parser_t, ParserFree> parser(rdata_parser_init());
    if (!parser)
        return RDATA_ERROR_MALLOC;
    ds_memory_file_s file{bytes};
    Forward forward{context, &callbacks};
    rdata_set_open_handler(parser.get(), openMemory);
    rdata_set_close_handler(parser.get(), closeMemory);
    rdata_set_seek_handler(parser.get(), seekMemory);
    rdata_set_read_handler(parser.get(), readMemory);
    rdata_set_update_handler(parser.get(), updateMemory);
    // The library marks its default reader's state as the caller's own, so
    // nothing frees it once another takes its place.
    free(parser->io->io_ctx);
    rdata_set_io_ctx(parser.get(), &file);
    rdata_set_table_handler(parser.get(), onTable);
    rdata_set_column_handler(parser.get(), onColumn);
    rdata_set_column_name_handler(parser.get(), onColumnName);
    rdata_set_text_value_handler(parser.get(), onText);
    rdata_set_value_label_handler(parser.get(), onValueLabel);
    rdata_set_error_handler(parser.get(), onError);
    return rdata_parse(parser.get(), "", &forward);
}

} // namespace

int parse_rdata(const QByteArray &bytes, void *context, const ds_rdata_callbacks_s &callbacks)
{
    return parseBytes(bytes, context, callbacks);
}

int parse_rds(const QByteArray &bytes, void *context, const ds_rdata_callbacks_s &callbacks)
{
    return parseBytes(bytes, context, callbacks);
}
