// UTF-7 decoding: the examples of its definition, the forms Windows writes, and malformed
// runs that must still decode as far as they can and say they were malformed.
#include "util/utf7_text.h"

#include <gtest/gtest.h>

#include "util/utf16_text.h"

namespace {

struct Utf7Case {
    const char16_t* encoded;
    const char16_t* decoded;
    bool wellFormed;
};

class DecodeUtf7Test : public ::testing::TestWithParam<Utf7Case> {};

TEST_P(DecodeUtf7Test, DecodesRunsAndReportsMalformedOnes) {
    const auto& c = GetParam();
    std::u16string out = u"left over from before";
    EXPECT_EQ(decodeUtf7(c.encoded, out), c.wellFormed) << utf16ToUtf8(c.encoded);
    EXPECT_EQ(out, c.decoded) << utf16ToUtf8(c.encoded);
}

INSTANTIATE_TEST_SUITE_P(
    Texts, DecodeUtf7Test,
    ::testing::Values(
        Utf7Case{u"", u"", true}, Utf7Case{u"plain text.", u"plain text.", true},
        Utf7Case{u"Hi Mom -+Jjo--!", u"Hi Mom -\u263A-!", true},
        // A run ends at the first character outside the alphabet; only "-" is dropped.
        Utf7Case{u"A+ImIDkQ.", u"A\u2262\u0391.", true},
        Utf7Case{u"+ZeVnLIqe-", u"\u65E5\u672C\u8A9E", true},
        Utf7Case{u"Item 3 is +AKM-1.", u"Item 3 is \u00A31.", true},
        Utf7Case{u"+AOk", u"\u00E9", true}, Utf7Case{u"1 +- 1", u"1 + 1", true},
        Utf7Case{u"+BB4EQQQ1BD0ETA-", u"Осень", true}, Utf7Case{u"+BB0ENQQ3--x", u"Нез-x", true},
        Utf7Case{u"+2D3eAA-", u"\U0001F600", true},
        // Padding bits that are not zero.
        Utf7Case{u"+AKN-", u"\u00A3", false},
        // A half code unit at the end of a run.
        Utf7Case{u"+AOkA-x", u"\u00E9\uFFFDx", false},
        // Surrogates without their partner.
        Utf7Case{u"+2D0-", u"\uFFFD", false}, Utf7Case{u"+3gA-", u"\uFFFD", false},
        Utf7Case{u"+2D0AQQ-", u"\uFFFDA", false},
        // A "+" that opens no run.
        Utf7Case{u"a+ b", u"a b", false}, Utf7Case{u"end+", u"end", false}));

}  // namespace
