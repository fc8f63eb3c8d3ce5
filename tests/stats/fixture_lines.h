#pragma once
// Fixture files of one record a line, fields separated by ';' and lists
// within a field by ','; numbers printed by R with 17 significant digits.

#include <gtest/gtest.h>

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

// The fields of every line of fixtures/<name> (a test failure when the file
// cannot be read).
inline std::vector<std::vector<std::string>> ds_fixture_lines(const char *name)
{
    std::ifstream in(std::string(OSTREL_TEST_SOURCE_DIR "/fixtures/") + name);
    EXPECT_TRUE(in.good()) << name;
    std::vector<std::vector<std::string>> lines;
    std::string line;
    while (std::getline(in, line)) {
        std::istringstream fields(line);
        std::vector<std::string> &out = lines.emplace_back();
        for (std::string field; std::getline(fields, field, ';');)
            out.push_back(field);
    }
    return lines;
}

// A ',' list of numbers.
template <class T>
std::vector<T> ds_fixture_list(const std::string &text)
{
    std::vector<T> out;
    std::istringstream in(text);
    for (std::string item; std::getline(in, item, ',');)
        out.push_back(T(std::stod(item)));
    return out;
}

// Row-major values of k columns as k column arrays.
inline std::vector<std::vector<double>> ds_fixture_columns(const std::vector<double> &rowMajor, int64_t k)
{
    const size_t rows = rowMajor.size() / size_t(k);
    std::vector<std::vector<double>> columns(static_cast<size_t>(k), std::vector<double>(rows));
    for (size_t r = 0; r < rows; ++r)
        for (size_t j = 0; j < size_t(k); ++j)
            columns[j][r] = rowMajor[r * size_t(k) + j];
    return columns;
}
