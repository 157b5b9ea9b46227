// A backup compared with the live registry.
#include "compare/Comparison.h"

#include <gtest/gtest.h>

using namespace karvo::compare;

TEST(ComparisonPaths, AKeysFullPathIsItsTopsPathAndTheNamesBelow) {
    Comparison c;
    c.keys.push_back({"HKEY_CURRENT_USER\\Software\\x", Difference::Same, false, false, kNoKey, {1}, {}});
    c.keys.push_back({"y", Difference::Same, false, false, 0, {}, {}});
    EXPECT_EQ(c.fullPath(1), "HKEY_CURRENT_USER\\Software\\x\\y");
}
