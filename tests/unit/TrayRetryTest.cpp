#include <gtest/gtest.h>

#include "TrayRetry.h"

namespace kiv {
namespace {

TEST(TrayRetry, SoonAtFirstThenLessOftenUpToHalfAMinute)
{
    const unsigned expected[] = {1000, 2000, 4000, 8000, 16000, 30000, 30000};
    for (int failures = 1; failures <= 7; ++failures)
        EXPECT_EQ(TrayAddRetryDelay(failures), expected[failures - 1]) << failures;
    EXPECT_EQ(TrayAddRetryDelay(1000000), 30000u);  // no overflow after hours of refusals
}

}  // namespace
}  // namespace kiv
