#include "util/printable_text.h"

#include <gtest/gtest.h>

namespace {

struct PrintableCase {
    const char* title;
    std::string text;
    std::string printed;
};

class PrintableTextTest : public ::testing::TestWithParam<PrintableCase> {};

TEST_P(PrintableTextTest, EscapesWhatCouldDriveATerminal) {
    EXPECT_EQ(printableText(GetParam().text), GetParam().printed);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, PrintableTextTest,
    ::testing::Values(PrintableCase{"Plain", "Theme\\img1.jpg", "Theme\\img1.jpg"},
                      PrintableCase{"Empty", "", ""},
                      PrintableCase{"Escape", "a\x1b[2Jb.jpg", "a\\x1b[2Jb.jpg"},
                      PrintableCase{"TitleSequence", "\x1b]0;owned\x07", "\\x1b]0;owned\\x07"},
                      PrintableCase{"NewlineAndTab", "a\nb\tc\r", "a\\x0ab\\x09c\\x0d"},
                      PrintableCase{"Delete", "a\x7f", "a\\x7f"},
                      PrintableCase{"Nul", std::string("a\0b", 3), "a\\x00b"},
                      // U+009B, the one-character CSI, spelled in UTF-8.
                      PrintableCase{"C1InUtf8",
                                    "a\xc2\x9b"
                                    "31m",
                                    "a\\xc2\\x9b31m"},
                      PrintableCase{"AccentsAndEmoji", "\xc3\xa9t\xc3\xa9 \xf0\x9f\x8c\x84.jpg",
                                    "\xc3\xa9t\xc3\xa9 \xf0\x9f\x8c\x84.jpg"},
                      PrintableCase{"NoBreakSpaceIsText",
                                    "a\xc2\xa0"
                                    "b",
                                    "a\xc2\xa0"
                                    "b"},
                      // Bytes that are not UTF-8: a lone C1 byte, a cut sequence, an overlong ESC,
                      // a surrogate.
                      PrintableCase{"LoneCsiByte",
                                    "a\x9b"
                                    "b",
                                    "a\\x9bb"},
                      PrintableCase{"CutSequence", "a\xe2\x82", "a\\xe2\\x82"},
                      PrintableCase{"OverlongEscape", "\xc0\x9b", "\\xc0\\x9b"},
                      PrintableCase{"Surrogate", "\xed\xa0\x80", "\\xed\\xa0\\x80"}),
    [](const auto& info) { return std::string(info.param.title); });

}  // namespace
