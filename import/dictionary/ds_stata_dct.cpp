#include "import/dictionary/ds_stata_dct.h"

#include "import/dictionary/ds_dct_name_index.h"

#include "model/DSColumnBuffer.h"

#include <QtGlobal>
#include <cstdlib>
#include <cstring>

ds_stata_dct_s *dct_dictionary_new()
{
    auto *dct = static_cast<ds_stata_dct_s *>(ds_column_allocator().allocate(sizeof(ds_stata_dct_s)));
    if (!dct) {
        qCritical("Error in malloc()");
        return nullptr;
    }
    memset(dct, 0, sizeof *dct);
    dct->lines_per_obs = 1;
    return dct;
}

void dct_dictionary_free(ds_stata_dct_s *dct)
{
    if (!dct)
        return;
    free(dct->entries);
    ds_dct_name_index_free(dct->name_index);
    free(dct);
}

ds_stata_dct_entry_s *dct_append_entry(ds_stata_dct_s *dct)
{
    size_t n = size_t(dct->num_entries) + 1;
    auto *grown = static_cast<ds_stata_dct_entry_s *>(
        ds_column_allocator().reallocate(dct->entries, n * sizeof(ds_stata_dct_entry_s)));
    if (!grown) {
        qCritical("Error in realloc()");
        return nullptr;
    }
    dct->entries = grown;
    ds_stata_dct_entry_s *entry = &grown[dct->num_entries++];
    memset(entry, 0, sizeof *entry);
    return entry;
}

// Copies `text` into `field` when it is at most `max` bytes; false otherwise.
static bool copy_limited(char *field, const char *text, size_t max)
{
    size_t n = strlen(text);
    if (n > max)
        return false;
    memcpy(field, text, n + 1);
    return true;
}

static ds_stata_dct_entry_s *find_entry(ds_stata_dct_s *dct, const char *name)
{
    int32_t i = ds_dct_name_index_find(&dct->name_index, dct->entries, dct->num_entries, name);
    return i < 0 ? nullptr : &dct->entries[i];
}

ds_stata_dct_entry_s *dct_find_or_add_entry(ds_stata_dct_s *dct, const char *name)
{
    if (ds_stata_dct_entry_s *entry = find_entry(dct, name))
        return entry;
    ds_stata_dct_entry_s *entry = dct_append_entry(dct);
    if (entry)
        copy_limited(entry->name, name, 31);
    return entry;
}

int dct_add_variable(const char *name, int32_t line, int32_t start, int32_t width, int32_t type, int32_t decimals,
                     void *context)
{
    ds_stata_dct_entry_s *entry = dct_append_entry(static_cast<ds_stata_dct_s *>(context));
    if (!entry)
        return 1;
    entry->line = line;
    entry->start = start;
    entry->width = width;
    entry->type = type == 1 ? 1 : 3;
    entry->decimal_char = '.';
    entry->decimals = type == 1 ? 0 : decimals;
    copy_limited(entry->name, name, 31);
    return 0;
}

int dct_set_variable_label(const char *name, const char *label, void *context)
{
    if (ds_stata_dct_entry_s *entry = find_entry(static_cast<ds_stata_dct_s *>(context), name))
        copy_limited(entry->label, label, 79);
    return 0;
}

int dct_set_infile_option(int32_t option, int32_t value, void *context)
{
    auto *dct = static_cast<ds_stata_dct_s *>(context);
    if (option == 1)
        dct->first_line = value;
    else if (option == 2)
        dct->delimiter = char(value & 0xff);
    return 0;
}

int dct_merge_variable(const char *name, int32_t line, int32_t start, int32_t width, int32_t type, int32_t decimals,
                       void *context)
{
    ds_stata_dct_entry_s *entry = dct_find_or_add_entry(static_cast<ds_stata_dct_s *>(context), name);
    if (!entry)
        return 1;
    if (line != -1) {
        entry->line = line;
        entry->start = start;
    }
    if (width != 0)
        entry->width = width;
    if (type != -1)
        entry->type = type == 1 ? 1 : 3;
    entry->decimal_char = '.';
    if (decimals > 0)
        entry->decimals = decimals;
    return 0;
}

int dct_merge_variable_label(const char *name, const char *label, void *context)
{
    ds_stata_dct_entry_s *entry = dct_find_or_add_entry(static_cast<ds_stata_dct_s *>(context), name);
    if (!entry)
        return 1;
    copy_limited(entry->label, label, 79);
    return 0;
}
