#include "model/DSError.h"
#include "tests/support/ds_qt_printers.h"

#include <gtest/gtest.h>

namespace {

TEST(Error, MadeInTheGeneralDomain)
{
    const DSError error = ds_make_error(1, "Error parsing XLSX file: a.xlsx");
    EXPECT_EQ(error.domain, kDSGeneralErrorDomain);
    EXPECT_EQ(error.code, 1);
    EXPECT_EQ(error.localizedDescription, "Error parsing XLSX file: a.xlsx");
}

} // namespace
