#include "scan_report.h"
#include <gtest/gtest.h>
TEST(X, Y) { EXPECT_EQ(scan_report::safety_key(SafetyLevel::Safe), std::string("safe")); }
