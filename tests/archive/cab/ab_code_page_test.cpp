#include "archive/cab/ab_code_page.h"

#include <gtest/gtest.h>

using namespace pelmora::codepage;

namespace {

struct NarrowCase {
    const char* label;
    std::string narrow;
    std::u16string text;
};

class NarrowCodePageTest : public ::testing::TestWithParam<NarrowCase> {};

TEST_P(NarrowCodePageTest, ConvertsBothWays) {
    const auto& c = GetParam();
    EXPECT_EQ(narrowToUtf16(c.narrow), c.text);
    EXPECT_EQ(utf16ToNarrow(c.text), c.narrow);
}

INSTANTIATE_TEST_SUITE_P(
    Windows1252, NarrowCodePageTest,
    ::testing::Values(NarrowCase{"Ascii", "Autumn.theme", u"Autumn.theme"},
                      NarrowCase{"Latin1", "Caf\xE9 \xC5land \xFF", u"Caf\u00E9 \u00C5land \u00FF"},
                      NarrowCase{"HighControls", "\x80 \x8A \x9F \x85",
                                 u"\u20AC \u0160 \u0178 \u2026"},
                      NarrowCase{"UndefinedBytesKeepTheirValue", "\x81\x8D\x8F\x90\x9D",
                                 u"\u0081\u008D\u008F\u0090\u009D"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(NarrowCodePage, CharactersOutsideTheCodePageBecomeQuestionMarks) {
    EXPECT_EQ(utf16ToNarrow(u"\u03A9mega \u6771.jpg"), "?mega ?.jpg");
    EXPECT_EQ(utf16ToNarrow(u"\U0001F600.png"), "?.png");  // one mark for a surrogate pair
}

struct Utf8Case {
    const char* label;
    std::string utf8;
    std::u16string text;
};

class Utf8Test : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf8Test, Decodes) {
    EXPECT_EQ(utf8ToUtf16(GetParam().utf8), GetParam().text);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, Utf8Test,
    ::testing::Values(Utf8Case{"TwoBytes", "Caf\xC3\xA9", u"Caf\u00E9"},
                      Utf8Case{"ThreeBytes", "\xE6\x9D\xB1.jpg", u"\u6771.jpg"},
                      Utf8Case{"FourBytes", "\xF0\x9F\x98\x80", u"\U0001F600"},
                      Utf8Case{"Truncated", "a\xE6\x9D", u"a\uFFFD"},
                      Utf8Case{"Overlong", "\xC0\xAF", u"\uFFFD\uFFFD"},
                      Utf8Case{"StrayContinuation", "\x80x", u"\uFFFDx"},
                      Utf8Case{"EncodedSurrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"}),
    [](const auto& info) { return std::string(info.param.label); });

TEST(Utf8, RoundTripsEveryPlane) {
    std::u16string text = u"a\u00E9\u6771\U0001F600z";
    EXPECT_EQ(utf8ToUtf16(utf16ToUtf8(text)), text);
}

}  // namespace
