// The library's version: the header's macros, the exported queries and the project's version
// must all tell the same version, or a program cannot tell which library it loaded.
#include <gtest/gtest.h>

#include <string>

#include "cabinet.h"

namespace {

TEST(CabinetVersionTest, MacrosAreTheProjectVersion) {
    EXPECT_EQ(CABINET_VERSION_MAJOR, PELMORA_TEST_VERSION_MAJOR);
    EXPECT_EQ(CABINET_VERSION_MINOR, PELMORA_TEST_VERSION_MINOR);
    EXPECT_EQ(CABINET_VERSION_PATCH, PELMORA_TEST_VERSION_PATCH);
    EXPECT_STREQ(CABINET_VERSION_STRING, PELMORA_TEST_VERSION);
}

TEST(CabinetVersionTest, StringQueryAgreesWithTheMacros) {
    std::string expected = std::to_string(CABINET_VERSION_MAJOR) + "." +
                           std::to_string(CABINET_VERSION_MINOR) + "." +
                           std::to_string(CABINET_VERSION_PATCH);
    ASSERT_NE(CabinetVersionString(), nullptr);
    EXPECT_EQ(std::string(CabinetVersionString()), expected);
    EXPECT_STREQ(CabinetVersionString(), CABINET_VERSION_STRING);
}

TEST(CabinetVersionTest, NumberQueryAgreesWithTheMacros) {
    EXPECT_EQ(CabinetVersionNumber(), static_cast<unsigned>(CABINET_VERSION_NUMBER));
    EXPECT_EQ(CabinetVersionNumber(), CABINET_VERSION_MAJOR * 10000u +
                                          CABINET_VERSION_MINOR * 100u + CABINET_VERSION_PATCH);
}

}  // namespace
