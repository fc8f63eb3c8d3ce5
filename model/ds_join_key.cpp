#include "model/ds_join_key.h"

#include <cstring>

namespace {

void appendLength(std::vector<uint8_t> &key, uint64_t length)
{
    do {
        const uint8_t low = length & 0x7f;
        length >>= 7;
        key.push_back(length ? uint8_t(low | 0x80) : low);
    } while (length);
}

void appendDouble(std::vector<uint8_t> &key, double value)
{
    uint8_t bytes[sizeof value];
    std::memcpy(bytes, &value, sizeof value);
    appendLength(key, sizeof value);
    key.insert(key.end(), bytes, bytes + sizeof value);
}

} // namespace

int64_t ds_make_join_key(std::vector<uint8_t> &key, int64_t row, int64_t count, const char *const *const *text,
                         const double *const *numeric, const double *const *time)
{
    key.clear();
    for (int64_t i = 0; i < count; ++i) {
        if (text && text[i]) {
            const char *value = text[i][row];
            const size_t length = value ? std::strlen(value) : 0;
            appendLength(key, length);
            for (size_t j = 0; j < length; ++j) {
                const uint8_t c = uint8_t(value[j]);
                key.push_back(c >= 'a' && c <= 'z' ? uint8_t(c - 'a' + 'A') : c);
            }
        } else if (numeric && numeric[i]) {
            appendDouble(key, numeric[i][row]);
        } else if (time && time[i]) {
            appendDouble(key, time[i][row]);
        } else {
            appendLength(key, 0);
        }
    }
    return int64_t(key.size());
}
