#pragma once
// The expected values of fixtures/contingency_python.csv (SciPy,
// statsmodels) and fixtures/contingency_r.csv (R), by name.

#include <gtest/gtest.h>

#include <cmath>
#include <fstream>
#include <map>
#include <string>

inline double ds_contingency_oracle(const std::string &name)
{
    static const std::map<std::string, double> values = [] {
        std::map<std::string, double> read;
        for (const char *file : {"contingency_python.csv", "contingency_r.csv"}) {
            std::ifstream in(std::string(OSTREL_TEST_SOURCE_DIR "/fixtures/") + file);
            EXPECT_TRUE(in.good()) << file;
            std::string line;
            std::getline(in, line);
            while (std::getline(in, line)) {
                const size_t comma = line.find(',');
                read[line.substr(0, comma)] = std::stod(line.substr(comma + 1));
            }
        }
        return read;
    }();
    const auto found = values.find(name);
    EXPECT_NE(found, values.end()) << name;
    return found == values.end() ? NAN : found->second;
}
