// The terminal progress bar: drawn in place, redrawn only on change, cleared off its line.
#include "cli/progress_bar.h"

#include <gtest/gtest.h>

#include <sstream>

namespace {

TEST(ProgressBar, DrawsLabelBarAndPercentInPlace) {
    std::ostringstream stream;
    TProgressBar bar(stream, true);
    bar.Show("Autumn.themepack", 45);
    const std::string expected =
        "\r\x1b[KAutumn.themepack [" + std::string(13, '#') + std::string(17, '-') + "]  45%";
    EXPECT_EQ(stream.str(), expected);

    bar.Show("Autumn.themepack", 45);
    EXPECT_EQ(stream.str(), expected) << "an unchanged bar is not redrawn";

    bar.Show("Autumn.themepack", 100);
    EXPECT_TRUE(stream.str().ends_with("[" + std::string(30, '#') + "] 100%"));

    bar.Clear();
    EXPECT_TRUE(stream.str().ends_with("100%\r\x1b[K"));
}

TEST(ProgressBar, DisabledDrawsNothing) {
    std::ostringstream stream;
    TProgressBar bar(stream, false);
    bar.Show("A", 50);
    bar.Clear();
    EXPECT_EQ(stream.str(), "");
}

}  // namespace
