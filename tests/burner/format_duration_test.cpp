#include "burner/app/format_duration.h"

#include "tests/test_files.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>

TEST(FormatDuration, TruncatesToTenths) {
    struct Case {
        double seconds;
        const char* text;
    } cases[] = {
        {3725.46, "01:02:05.4"}, {187.0, "00:03:07.0"}, {59.99, "00:00:59.9"},
        {0, "00:00:00.0"},       {-3, "00:00:00.0"},    {360000, "100:00:00.0"},
        {std::numeric_limits<double>::quiet_NaN(), "00:00:00.0"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(FormatDuration(c.seconds), c.text) << c.seconds;
}

TEST(GetFileSize64, SizeOrZero) {
    std::string path = ::testing::TempDir() + "size64.bin";
    testfiles::WriteAll(path, std::string(1234, 'x'));
    EXPECT_EQ(GetFileSize64(path), 1234);
    EXPECT_EQ(GetFileSize64(path + ".missing"), 0);
    EXPECT_EQ(GetFileSize64("/"), 0);
}
