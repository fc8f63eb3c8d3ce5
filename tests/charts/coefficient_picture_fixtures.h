#pragma once

#include "tests/varrow/vrw_test_support.h"

#include <map>
#include <string>
#include <vector>

// What fixtures/make_coefficient_pictures.R wrote: "case/what" -> values in
// index order.
inline const std::map<std::string, std::vector<double>> &coefficientPictureFixtures()
{
    static const auto values = [] {
        std::map<std::string, std::vector<double>> out;
        for (const auto &row :
             vrw_test_read_csv(std::string(OSTREL_TEST_SOURCE_DIR) + "/fixtures/coefficient_pictures.csv"))
            out[row.at("case") + "/" + row.at("what")].push_back(std::stod(row.at("value")));
        return out;
    }();
    return values;
}
