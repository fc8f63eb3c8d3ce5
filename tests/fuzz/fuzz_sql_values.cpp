// Fuzz target for the conversions of the values database servers send:
// the first byte picks the conversion, the rest is the server's text (or,
// for the MySQL time record, its fields). Every answer must be a number or
// NaN, read only from the given bytes; the sanitizers catch the rest.
#include "database/ds_sql_values.h"

#include <cmath>
#include <cstdlib>
#include <cstring>
#include <vector>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size == 0)
        return 0;
    // A copy of exactly the text's bytes, so a read past it is caught. An
    // empty text's data() may be null, which memcpy must not be given even
    // for no bytes: the copies below take min(n, ...) bytes only when n > 0.
    const std::vector<char> text(data + 1, data + size);
    const char *p = text.data();
    const size_t n = text.size();
    double interval = 0;
    double x = 0;
    switch (data[0] % 9) {
    case 0: x = ds_pgsql_number_value(p, n); break;
    case 1: x = ds_pgsql_bool_value(p, n); break;
    case 2: x = ds_pgsql_date_value(p, n); break;
    case 3: x = ds_pgsql_time_value(p, n); break;
    case 4: x = ds_pgsql_timestamp_value(p, n); break;
    case 5: x = ds_pgsql_abstime_value(p, n); break;
    case 6: x = ds_mysql_bit_value(reinterpret_cast<const unsigned char *>(p), n); break;
    case 7: {
        ds_mysql_time_s t;
        unsigned fields[7] = {};
        if (n > 0)
            std::memcpy(fields, p, std::min(n, sizeof fields));
        t.time_type = int(fields[0] % 3);
        t.year = fields[1] % 10000, t.month = fields[2] % 13, t.day = fields[3] % 32;
        t.hour = fields[4] % 839, t.minute = fields[5] % 60, t.second = fields[6] % 60;
        t.neg = n > sizeof fields && (p[sizeof fields] & 1);
        x = ds_mysql_time_value(t, &interval);
        break;
    }
    case 8: {
        double year = 0;
        if (n > 0)
            std::memcpy(&year, p, std::min(n, sizeof year));
        x = ds_mysql_year_value(year, &interval);
        break;
    }
    }
    if (!std::isnan(x) && std::isnan(interval))
        std::abort();
    return 0;
}
