// Reading the reference tables that R and scipy wrote next to their scripts
// in fixtures/: comma-separated, a header line, "NA" for a missing number.
#pragma once

#include <gtest/gtest.h>

#include <charconv>
#include <cmath>
#include <fstream>
#include <limits>
#include <map>
#include <sstream>
#include <string>
#include <vector>

struct FixtureRow {
    std::map<std::string, std::string> fields;
    int line = 0;

    const std::string &text(const std::string &column) const { return fields.at(column); }

    double number(const std::string &column) const
    {
        const std::string &t = text(column);
        if (t == "NA" || t == "nan")
            return std::numeric_limits<double>::quiet_NaN();
        double value = 0;
        const auto [end, error] = std::from_chars(t.data(), t.data() + t.size(), value);
        EXPECT_TRUE(error == std::errc() && end == t.data() + t.size()) << "not a number: " << t;
        return value;
    }
};

inline std::vector<FixtureRow> readFixture(const std::string &name)
{
    std::string path = OSTREL_TEST_SOURCE_DIR;
    path += "/fixtures/";
    path += name;
    std::ifstream in(path);
    EXPECT_TRUE(in.good()) << "missing fixture " << name;
    auto split = [](const std::string &line) {
        std::vector<std::string> cells;
        std::stringstream stream(line);
        for (std::string cell; std::getline(stream, cell, ',');)
            cells.push_back(cell);
        return cells;
    };
    std::string line;
    std::getline(in, line);
    const std::vector<std::string> header = split(line);
    std::vector<FixtureRow> rows;
    for (int number = 2; std::getline(in, line); ++number) {
        const std::vector<std::string> cells = split(line);
        FixtureRow row;
        row.line = number;
        for (size_t i = 0; i < header.size() && i < cells.size(); ++i)
            row.fields[header[i]] = cells[i];
        rows.push_back(std::move(row));
    }
    EXPECT_FALSE(rows.empty()) << "empty fixture " << name;
    return rows;
}

// |actual - expected| <= tolerance x |expected|, or both below `floor` in
// magnitude (values R or scipy flushed to 0), or both NaN.
inline ::testing::AssertionResult closeRelative(double actual, double expected, double tolerance,
                                                double floor = 1e-300)
{
    if (std::isnan(actual) && std::isnan(expected))
        return ::testing::AssertionSuccess();
    if (actual == expected)
        return ::testing::AssertionSuccess();
    if (std::fabs(expected) < floor && std::fabs(actual) < floor)
        return ::testing::AssertionSuccess();
    const double error = std::fabs(actual - expected) / std::fabs(expected);
    if (error <= tolerance)
        return ::testing::AssertionSuccess();
    return ::testing::AssertionFailure() << "got " << actual << ", expected " << expected
                                         << " (relative error " << error << ")";
}
