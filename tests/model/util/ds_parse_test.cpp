#include "model/util/ds_parse.h"

#include <QCoreApplication>
#include <QFile>
#include <QTextStream>
#include <clocale>
#include <cmath>
#include <csv.h>
#include <cstring>
#include <gtest/gtest.h>
#include <random>
#include <vector>

namespace {

constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kNone = -12345; // precision left untouched

// The parsers must not care about the process locale. The fixture starts the
// application object, which sets the locale from the environment, so running
// this program under LANG=de_DE.UTF-8 (ctest does it once) checks that a
// decimal comma locale changes nothing.
class Parsing : public testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        static int argc = 1;
        static char name[] = "ds_parse_test";
        static char *argv[] = {name, nullptr};
        if (!QCoreApplication::instance())
            new QCoreApplication(argc, argv);
        const char *lang = getenv("LANG");
        if (lang && strncmp(lang, "de_DE", 5) == 0) {
            ASSERT_STREQ(localeconv()->decimal_point, ",")
                << "the German locale did not load; the check would prove nothing";
        }
    }
};

void expectSame(double expected, double actual, const std::string &what)
{
    if (std::isnan(expected))
        EXPECT_TRUE(std::isnan(actual)) << what << " gave " << actual;
    else
        EXPECT_EQ(expected, actual) << what;
}

struct Case
{
    const char *text;
    double value;
    double precision = kNone;
};

TEST_F(Parsing, Numbers)
{
    const struct
    {
        const char *text;
        const char *remove;
        double value;
    } cases[] = {
        {" 12.5 ", nullptr, 12.5},
        {"12.5 %", nullptr, 0.125},
        {"12.5%", nullptr, 0.125},
        {"12.5% ", nullptr, kNaN},
        {"12.5%%", nullptr, kNaN},
        {"$1,234", "$,", 1234},
        {"$1,234", nullptr, kNaN},
        {"", nullptr, kNaN},
        {"12,5", nullptr, kNaN},
        {"1e3", nullptr, 1000},
        {"-0.5", nullptr, -0.5},
        {"0x10", nullptr, 16},
        {"inf", nullptr, INFINITY},
        {"abc", nullptr, kNaN},
        {"12 kg", nullptr, kNaN},
        {"\t7", nullptr, 7},
    };
    for (const auto &c : cases)
        expectSame(c.value, ds_parse_number(c.text, c.remove), std::string("number '") + c.text + "'");
    expectSame(kNaN, ds_parse_number(nullptr, nullptr), "no text");
    EXPECT_TRUE(std::isnan(ds_parse_number(std::string(200, '1').c_str(), nullptr)));
    EXPECT_EQ(ds_parse_number(std::string(199, '1').c_str(), nullptr), 1.1111111111111111e198);
}

TEST_F(Parsing, Integers)
{
    const struct
    {
        const char *text;
        int value;
    } cases[] = {{"42", 42}, {"  -7x", -7}, {"+3", 3}, {"x", -1}, {"", -1},
                 {"2147483647", 2147483647}, {"2147483648", -1}};
    for (const auto &c : cases)
        EXPECT_EQ(ds_parse_int(c.text), c.value) << c.text;
}

TEST_F(Parsing, TimesOfDay)
{
    const Case cases[] = {
        {"7:30", 27000, 60},
        {"07:30:15", 7 * 3600 + 30 * 60 + 15, 1},
        {"7:30 p.m.", 19 * 3600 + 30 * 60, 60},
        {"12:05 AM", 300, 60},
        {"12:05 PM", 12 * 3600 + 5 * 60, 60},
        {"11:59:59 P.M.", 86399, 1},
        {"01:00 A.M.", 3600, 60},
        {"23:59", 86340, 60},
        {"0:30 AM", kNaN},
        {"13:30 PM", kNaN},
        {"7:30 pm", kNaN},
        {"7:30PM", kNaN},
        {"7:30  PM", kNaN},
        {"24:00", kNaN},
        {"7:3", kNaN},
        {"007:30", kNaN},
        {"7:60", kNaN},
        {"7:30:5", kNaN},
        {"7:30:15.5", 27015.5, 1},
        {"7:30:15.250 PM", 19 * 3600 + 30 * 60 + 15.25, 1},
        {"7:30:15.", kNaN},
        {"7:30.5", kNaN},
        {"7:30:15.1234567890", kNaN},
        {" 7:30", kNaN},
        {"7:30 ", kNaN},
        {"", kNaN},
    };
    for (const auto &c : cases) {
        double precision = kNone;
        expectSame(c.value, ds_parse_time_of_day(c.text, &precision), std::string("time '") + c.text + "'");
        EXPECT_EQ(precision, c.precision) << c.text;
    }
}

TEST_F(Parsing, Dates)
{
    const double jan2 = 63158400; // 2003-01-02 00:00 GMT
    const Case cases[] = {
        {"1/2/03", jan2, 86400},
        {"2003-01-02", jan2, 86400},
        {"01/02/2003", jan2, 86400},
        {"1/2/26", -2366755200, 86400},
        {"1/2/25", 757468800, 86400},
        {"1/2/3000", kNaN},
        {"1/2/3", kNaN},
        {"1/2/203", kNaN},
        {"13/2/2003", kNaN},
        {"1/32/2003", kNaN},
        {"0/2/2003", kNaN},
        {"001/2/2003", kNaN},
        {"2003-01-02T12:34Z", jan2 + 12 * 3600 + 34 * 60, 60},
        {"2003-01-02T12:34:56", jan2 + 12 * 3600 + 34 * 60 + 56, 1},
        {"2003-01-02T1:34 PM", kNaN},
        {"1/2/2003   12:34:56", jan2 + 12 * 3600 + 34 * 60 + 56, 1},
        {"1/2/2003 1:34 PM", jan2 + 13 * 3600 + 34 * 60, 60},
        // Fractions of a second and zones, as pandas, data.table and SQLite
        // write them; a zone is taken off to reach GMT.
        {"2003-01-02 12:34Z", jan2 + 12 * 3600 + 34 * 60, 60},
        {"2003-01-02 12:34:56.250", jan2 + 12 * 3600 + 34 * 60 + 56.25, 1},
        {"2003-01-02T12:34:56.5Z", jan2 + 12 * 3600 + 34 * 60 + 56.5, 1},
        {"2003-01-02 12:34:56+01:00", jan2 + 11 * 3600 + 34 * 60 + 56, 1},
        {"2003-01-02 12:34:56.250000+01:00", jan2 + 11 * 3600 + 34 * 60 + 56.25, 1},
        {"2003-01-02T00:30:00-0530", jan2 + 6 * 3600, 1},
        {"2003-01-02T12:00+01", jan2 + 11 * 3600, 60},
        {"2003-01-02 12:34:56+1:00", kNaN},
        {"2003-01-02 12:34:56+24:00", kNaN},
        {"2003-01-02 12:34:56 +01:00", kNaN},
        {"1/2/2003 12:34:56+01:00", kNaN},
        {"1/2/2003T12:34", kNaN},
        {"2003-01-02 ", kNaN},
        {"2/30/2003", 68256000, 86400},
        {"0999-01-01", kNaN},
        {"", kNaN},
    };
    for (const auto &c : cases) {
        double precision = kNone;
        expectSame(c.value, ds_parse_date(c.text, &precision), std::string("date '") + c.text + "'");
        EXPECT_EQ(precision, c.precision) << c.text;
    }
    EXPECT_TRUE(std::isnan(ds_parse_date(nullptr, nullptr)));
}

TEST_F(Parsing, Durations)
{
    const Case cases[] = {
        {"2w 3d 4h 5m 6s", 2 * 604800 + 3 * 86400 + 4 * 3600 + 5 * 60 + 6},
        {"1w 5d", 12 * 86400},
        {"5d 1w", 12 * 86400},
        {"1h30m", 5400},
        {"1d 1d", 86400},
        {"1d   2h", 86400 + 7200},
        {"2hr", 7200},
        {"3wk", 3 * 604800},
        {"1dy", 86400},
        {"90min", 5400},
        {"7sec", 7},
        {"1d 2hr", kNaN},
        {"2:03", 123},
        {"02:03:04", 7384},
        {"0:60", 60},
        {"100:00:00", 360000},
        {"12", kNaN},
        {"1 d", kNaN},
        {"-1d", kNaN},
        {"1.5h", kNaN},
        {"1d ", kNaN},
        {" 1d", kNaN},
        {"2 hr", kNaN},
        {"1x", kNaN},
        {"2:3", kNaN},
        {"", kNaN},
        // Counts too long for their 32-bit field, or for any accumulator.
        {"2147483648h", kNaN},
        {"2147483647h", 2147483647.0 * 3600},
        {"2147483648:00", kNaN},
        {"99999999999999999999999s", kNaN},
        {"4294967296m 1s", kNaN},
    };
    for (const auto &c : cases)
        expectSame(c.value, ds_parse_duration(c.text), std::string("duration '") + c.text + "'");
    EXPECT_TRUE(std::isnan(ds_parse_duration(nullptr)));
}

TEST_F(Parsing, ScannersStopAtTheirLength)
{
    EXPECT_EQ(ds_scan_time_of_day("7:30xyz", 4, nullptr), 27000);
    EXPECT_EQ(ds_scan_duration("1h30mjunk", 5), 5400);
    const char withZero[] = "2003-01-02\0 garbage";
    EXPECT_TRUE(std::isnan(ds_scan_date(withZero, sizeof withZero - 1, nullptr)));
}

TEST_F(Parsing, SniffedDelimiters)
{
    // Appended, not `std::string(n, c) + tail`: GCC 12's bounds check
    // misreads that sum's copy and warns.
    const auto repeated = [](size_t n, char c, const char *tail) {
        std::string text(n, c);
        text += tail;
        return text;
    };
    const struct
    {
        std::string text;
        char delimiter;
        int result;
    } cases[] = {
        {"a,b\tc\n", '\t', 0},
        {"a,b\nc\td\n", ',', 0},
        {"ab\n", ',', -1},
        {repeated(4100, 'x', ",\n"), ',', 0},
        {repeated(4100, ',', "\t\n"), ',', 0},
        {"a;b", ',', 0},
        {"", ',', 0},
    };
    for (const auto &c : cases) {
        csv_parser parser;
        ASSERT_EQ(csv_init(&parser, 0), 0);
        csv_set_delim(&parser, ';');
        EXPECT_EQ(ds_sniff_delimiter(&parser, c.text.data(), c.text.size()), c.result) << c.text.substr(0, 20);
        EXPECT_EQ(parser.delim_char, c.delimiter) << c.text.substr(0, 20);
        csv_free(&parser);
    }
}

// Arbitrary bytes from the scanners' alphabet: every answer is NaN or a
// finite value, and no scanner reads past its length (the address sanitizer
// build checks the reads).
TEST_F(Parsing, ScannersSurviveArbitraryBytes)
{
    std::mt19937 rng(1);
    const char alphabet[] = "0123456789:/-TZ APMapm.wdhmsinryke%$,\t\n\0";
    for (int i = 0; i < 20000; ++i) {
        const size_t n = rng() % 24;
        std::vector<char> bytes(n);
        for (char &b : bytes)
            b = alphabet[rng() % (sizeof alphabet - 1)];
        double precision = kNone;
        for (double v : {ds_scan_time_of_day(bytes.data(), n, &precision), ds_scan_date(bytes.data(), n, &precision),
                         ds_scan_duration(bytes.data(), n)}) {
            EXPECT_TRUE(std::isnan(v) || std::isfinite(v));
        }
        bytes.push_back('\0');
        const double number = ds_parse_number(bytes.data(), "$,");
        EXPECT_TRUE(std::isnan(number) || std::strpbrk(bytes.data(), "0123456789in")) << bytes.data();
    }
}

// Ten thousand dates and times in every accepted form against the values
// that Python's datetime gives for them (fixtures/make_dates.py).
TEST_F(Parsing, RandomDatesMatchPython)
{
    QFile file(QStringLiteral(OSTREL_TEST_SOURCE_DIR "/fixtures/dates.csv"));
    ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
    QTextStream in(&file);
    in.readLine();
    int rows = 0;
    while (!in.atEnd()) {
        const QStringList fields = in.readLine().split(',');
        ASSERT_EQ(fields.size(), 4);
        const QByteArray text = fields[1].toUtf8();
        double precision = kNone;
        const double value = fields[0] == QLatin1String("date")
                                 ? ds_parse_date(text.constData(), &precision)
                                 : ds_parse_time_of_day(text.constData(), &precision);
        EXPECT_EQ(value, fields[2].toDouble()) << text.constData();
        EXPECT_EQ(precision, fields[3].toDouble()) << text.constData();
        ++rows;
    }
    EXPECT_EQ(rows, 10000);
}

} // namespace
