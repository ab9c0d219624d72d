#include <cstdlib>

#include "gtest/gtest.h"
#include "util/command_line_words.h"
#include "util/common_func.h"
#include "util/environment.h"
#include "util/utf16_text.h"

namespace {

struct BaseNameCase {
    const char16_t* path;
    const char16_t* baseName;
};

class ExtractBaseNameTest : public ::testing::TestWithParam<BaseNameCase> {};

TEST_P(ExtractBaseNameTest, DropsFolderAndLastExtension) {
    const auto& c = GetParam();
    EXPECT_EQ(ExtractBaseName(c.path), c.baseName) << utf16ToUtf8(c.path);
}

INSTANTIATE_TEST_SUITE_P(Paths, ExtractBaseNameTest,
                         ::testing::Values(BaseNameCase{u"/packs/Autumn.themepack", u"Autumn"},
                                           BaseNameCase{u"a.b.deskthemepack", u"a.b"},
                                           BaseNameCase{u"/packs/.themepack", u""},
                                           BaseNameCase{u"README", u"README"},
                                           BaseNameCase{u"/dir.x/file", u"file"},
                                           BaseNameCase{u"/packs/", u""}, BaseNameCase{u"", u""},
                                           BaseNameCase{u"/p/Été.themepack", u"Été"},
                                           BaseNameCase{u"name.", u"name"}));

#ifdef _WIN32
// Windows takes "/" for "\" in a path as well: a pack typed as C:/packs/Autumn.themepack is
// named Autumn, not "/packs/Autumn".
INSTANTIATE_TEST_SUITE_P(WindowsPaths, ExtractBaseNameTest,
                         ::testing::Values(BaseNameCase{u"C:\\Packs\\Autumn.themepack", u"Autumn"},
                                           BaseNameCase{u"C:/packs/Autumn.themepack", u"Autumn"},
                                           BaseNameCase{u"C:Autumn.themepack", u"Autumn"},
                                           BaseNameCase{u"\\\\host\\share\\dir.x\\file", u"file"}));
#endif

struct SplitCase {
    const char16_t* commandLine;
    std::vector<std::u16string> words;
};

class SplitCommandLineTest : public ::testing::TestWithParam<SplitCase> {};

TEST_P(SplitCommandLineTest, FollowsTheWindowsRuntimeRules) {
    const auto& c = GetParam();
    EXPECT_EQ(SplitCommandLine(c.commandLine), c.words) << utf16ToUtf8(c.commandLine);
}

INSTANTIATE_TEST_SUITE_P(
    CommandLines, SplitCommandLineTest,
    ::testing::Values(SplitCase{u"powershell.exe set-ExecutionPolicy RESTRICTED",
                                {u"powershell.exe", u"set-ExecutionPolicy", u"RESTRICTED"}},
                      SplitCase{u"  a \t b  ", {u"a", u"b"}}, SplitCase{u"", {}},
                      SplitCase{u"\"C:\\Program Files\\x.exe\" arg",
                                {u"C:\\Program Files\\x.exe", u"arg"}},
                      SplitCase{u"a\"b c\"d", {u"ab cd"}}, SplitCase{u"\"\"", {u""}},
                      SplitCase{u"a\\\\b", {u"a\\\\b"}},          // backslashes alone are literal
                      SplitCase{u"a\\\"b", {u"a\"b"}},            // \" is a literal quote
                      SplitCase{u"\"a\\\\\" b", {u"a\\", u"b"}},  // \\" is one \ and a delimiter
                      SplitCase{u"a\\\\\\\"b", {u"a\\\"b"}}));    // \\\" is \ and a literal quote

struct Utf8Case {
    std::u16string utf16;
    std::string utf8;
};

class Utf16TextTest : public ::testing::TestWithParam<Utf8Case> {};

TEST_P(Utf16TextTest, ConvertsBothWays) {
    const auto& c = GetParam();
    EXPECT_EQ(utf16ToUtf8(c.utf16), c.utf8);
    EXPECT_EQ(utf8ToUtf16(c.utf8), c.utf16);
}

INSTANTIATE_TEST_SUITE_P(Texts, Utf16TextTest,
                         ::testing::Values(Utf8Case{u"plain", "plain"},
                                           Utf8Case{u"Été ß", "\xC3\x89t\xC3\xA9 \xC3\x9F"},
                                           Utf8Case{u"\u20AC", "\xE2\x82\xAC"},
                                           Utf8Case{u"\U0001F600", "\xF0\x9F\x98\x80"}));

TEST(Utf16Text, UnpairedSurrogateBecomesAReplacementCharacter) {
    EXPECT_EQ(utf16ToUtf8(std::u16string{u'a', char16_t(0xD800), u'b'}),
              "a\xEF\xBF\xBD"
              "b");
}

struct MalformedCase {
    const char* label;
    std::string utf8;
    std::u16string utf16;
};

class MalformedUtf8Test : public ::testing::TestWithParam<MalformedCase> {};

// Each maximal subpart of an ill-formed sequence becomes one U+FFFD, and decoding goes on at
// the first byte that did not fit.
TEST_P(MalformedUtf8Test, BecomesReplacementCharacters) {
    EXPECT_EQ(utf8ToUtf16(GetParam().utf8), GetParam().utf16);
}

INSTANTIATE_TEST_SUITE_P(
    Sequences, MalformedUtf8Test,
    ::testing::Values(MalformedCase{"TruncatedAtTheEnd", "a\xE6\x9D", u"a\uFFFD"},
                      MalformedCase{"TruncatedBeforeAscii", "\xF0\x9F\x98x", u"\uFFFDx"},
                      MalformedCase{"TruncatedBeforeALead", "\xC3\xC3\xA9", u"\uFFFD\u00E9"},
                      MalformedCase{"StrayContinuation", "\x80x", u"\uFFFDx"},
                      MalformedCase{"OverlongSlash", "\xC0\xAF", u"\uFFFD\uFFFD"},
                      MalformedCase{"OverlongThreeBytes", "\xE0\x80\xAF", u"\uFFFD\uFFFD\uFFFD"},
                      MalformedCase{"EncodedSurrogate", "\xED\xA0\x80", u"\uFFFD\uFFFD\uFFFD"},
                      MalformedCase{"PastTheLastCodePoint", "\xF4\x90\x80\x80",
                                    u"\uFFFD\uFFFD\uFFFD\uFFFD"},
                      MalformedCase{"NeverALead", "\xF8\xFFz", u"\uFFFD\uFFFDz"},
                      MalformedCase{"LargestCodePoint", "\xF4\x8F\xBF\xBF", u"\U0010FFFF"},
                      MalformedCase{"LastBeforeSurrogates", "\xED\x9F\xBF", u"\uD7FF"}),
    [](const auto& info) { return std::string(info.param.label); });

// Sets (or with null removes) a variable of the process's own environment.
void setVariable(const char* name, const char* value) {
#ifdef _WIN32
    _putenv_s(name, value ? value : "");  // an empty value removes the variable
#else
    if (value)
        setenv(name, value, 1);
    else
        unsetenv(name);
#endif
}

TEST(ReadEnvironment, ReadsWholeValuesWithWindowsNameMatching) {
    // Longer than any fixed buffer, within Windows' limit of 32767 characters for one value.
    const std::string longValue(32000, 'v');
    setVariable("PELMORA_TEST_LONG", longValue.c_str());
    setVariable("PelmoraTestMixed", "mixed");
    setVariable("PELMORA_TEST_UNSET", nullptr);
    EXPECT_EQ(ReadEnvironment(u"PELMORA_TEST_LONG"), utf8ToUtf16(longValue));
    EXPECT_EQ(ReadEnvironment(u"pelmoratestmixed"), u"mixed");
    EXPECT_EQ(ReadEnvironment(u"PELMORA_TEST_UNSET"), u"");
    EXPECT_EQ(ReadEnvironment(u""), u"");
    setVariable("PELMORA_TEST_LONG", nullptr);
    setVariable("PelmoraTestMixed", nullptr);
}

}  // namespace
