#include "archive/core/ab_utils.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "archive/core/ab_text.h"
#include "util/errors.h"

namespace {

constexpr auto W = PathStyle::Windows;
constexpr auto P = PathStyle::Posix;

std::string styleName(PathStyle style) {
    return style == W ? "Windows" : "Posix";
}

struct ClassifyCase {
    std::u16string path;
    PathStyle style;
    TPathKind kind;
};
class ClassifyPathTest : public ::testing::TestWithParam<ClassifyCase> {};
TEST_P(ClassifyPathTest, KindOfPath) {
    const auto& c = GetParam();
    EXPECT_EQ(ClassifyPath(c.path, c.style), c.kind) << styleName(c.style);
}
INSTANTIATE_TEST_SUITE_P(
    Paths, ClassifyPathTest,
    ::testing::Values(
        ClassifyCase{u"a.jpg", W, pkBareName}, ClassifyCase{u"x\\a.jpg", W, pkRelativePath},
        ClassifyCase{u"x/a.jpg", W, pkRelativePath}, ClassifyCase{u"\\a.jpg", W, pkRelativePath},
        ClassifyCase{u"C:a.jpg", W, pkFullPath}, ClassifyCase{u"C:\\a.jpg", W, pkFullPath},
        ClassifyCase{u"\\\\srv\\share\\a", W, pkFullPath}, ClassifyCase{u"x\\\\a", W, pkFullPath},
        ClassifyCase{u"a.jpg", P, pkBareName}, ClassifyCase{u"x/a.jpg", P, pkRelativePath},
        ClassifyCase{u"/x/a.jpg", P, pkFullPath}, ClassifyCase{u"x\\a.jpg", P, pkBareName},
        ClassifyCase{u"c:a", P, pkBareName}));

struct PartsCase {
    std::u16string path;
    PathStyle style;
    std::u16string directory, name, folder;
};
class PathPartsTest : public ::testing::TestWithParam<PartsCase> {};
TEST_P(PathPartsTest, DirectoryNameAndFolder) {
    const auto& c = GetParam();
    EXPECT_EQ(DirectoryPart(c.path, c.style), c.directory);
    EXPECT_EQ(NamePart(c.path, c.style), c.name);
    EXPECT_EQ(FolderOf(c.path, c.style), c.folder);
}
INSTANTIATE_TEST_SUITE_P(Paths, PathPartsTest,
                         ::testing::Values(PartsCase{u"C:\\a.jpg", W, u"C:\\", u"a.jpg", u"C:\\"},
                                           PartsCase{u"C:\\x\\a.jpg", W, u"C:\\x\\", u"a.jpg",
                                                     u"C:\\x"},
                                           PartsCase{u"a.jpg", W, u"", u"a.jpg", u""},
                                           PartsCase{u"C:a.jpg", W, u"C:", u"a.jpg", u"C:"},
                                           PartsCase{u"\\a.jpg", W, u"\\", u"a.jpg", u"\\"},
                                           PartsCase{u"x\\", W, u"x\\", u"", u"x"},
                                           PartsCase{u"/a.jpg", P, u"/", u"a.jpg", u"/"},
                                           PartsCase{u"/x/y/a.jpg", P, u"/x/y/", u"a.jpg", u"/x/y"},
                                           PartsCase{u"x\\a:b.jpg", P, u"", u"x\\a:b.jpg", u""}));

struct SplitCase {
    std::u16string path, drive, dir, name;
};
class SplitFileNameTest : public ::testing::TestWithParam<SplitCase> {};
TEST_P(SplitFileNameTest, DriveDirectoryName) {
    const auto& c = GetParam();
    std::u16string drive = u"junk", dir = u"junk", name = u"junk";
    SplitFileName(c.path, drive, dir, name);
    EXPECT_EQ(drive, c.drive);
    EXPECT_EQ(dir, c.dir);
    EXPECT_EQ(name, c.name);
}
INSTANTIATE_TEST_SUITE_P(
    Paths, SplitFileNameTest,
    ::testing::Values(SplitCase{u"C:\\x\\a.jpg", u"C:", u"x\\", u"a.jpg"},
                      SplitCase{u"C:a.jpg", u"C:", u"", u"a.jpg"},
                      SplitCase{u"C:", u"C:", u"", u""},
                      SplitCase{u"\\\\srv\\share\\x\\a.jpg", u"\\\\srv\\share", u"x\\", u"a.jpg"},
                      SplitCase{u"//srv/share/a.jpg", u"\\\\srv\\share", u"", u"a.jpg"},
                      SplitCase{u"x/y/a.jpg", u"", u"x\\y\\", u"a.jpg"},
                      SplitCase{u"a.jpg", u"", u"", u"a.jpg"}));

TEST(PrefixBeforeBackslashTest, CountsSeparators) {
    EXPECT_EQ(PrefixBeforeBackslash(u"C:\\a\\b", 2), 4);
    EXPECT_EQ(PrefixBeforeBackslash(u"C:\\a\\b", 1), 2);
    EXPECT_EQ(PrefixBeforeBackslash(u"C:\\a\\b", 3), 6);
    EXPECT_EQ(PrefixBeforeBackslash(u"\\\\s\\h\\x", 4), 5);
    EXPECT_EQ(PrefixBeforeBackslash(u"/a/b", 2, u'/'), 2);
}

struct PatternCase {
    std::u16string text, pattern;
    bool matches;
};
class MatchPatternTest : public ::testing::TestWithParam<PatternCase> {};
TEST_P(MatchPatternTest, Wildcards) {
    const auto& c = GetParam();
    EXPECT_EQ(MatchPattern(c.text, 1, c.pattern, 1), c.matches);
}
INSTANTIATE_TEST_SUITE_P(
    Patterns, MatchPatternTest,
    ::testing::Values(PatternCase{u"", u"*", false}, PatternCase{u"", u"", true},
                      PatternCase{u"abc", u"*.*", true}, PatternCase{u"abc", u"*", true},
                      PatternCase{u"abc", u"", false}, PatternCase{u"abc", u"a*", true},
                      PatternCase{u"abc", u"*c", true}, PatternCase{u"abc", u"*b", false},
                      PatternCase{u"abc", u"a?c", true}, PatternCase{u"ac", u"a?c", false},
                      PatternCase{u"ab", u"ab?", false}, PatternCase{u"a.b.c", u"*.c", true},
                      PatternCase{u"x\\a.jpg", u"*.JPG", false},
                      PatternCase{u"x\\y\\", u"*\\", true}, PatternCase{u"abc", u"a**c", true},
                      PatternCase{u"abcbd", u"*b?", true}, PatternCase{u"ABC", u"abc", false}));

TEST(MatchPatternTest, ManyStarsAgainstALongNameAnswerPromptly) {
    const std::u16string name(4000, u'a');
    EXPECT_FALSE(MatchPattern(name, 1, u"*a*a*a*a*a*a*a*a*a*a*a*a*b", 1));
    EXPECT_TRUE(MatchPattern(name + u"b", 1, u"*a*a*a*a*a*a*a*a*a*a*a*a*b", 1));
}

struct MaskCase {
    std::u16string name, mask;
    bool matches;
};
class MatchFileNameTest : public ::testing::TestWithParam<MaskCase> {};
TEST_P(MatchFileNameTest, MatchesLikeTheShell) {
    const auto& c = GetParam();
    EXPECT_EQ(MatchFileName(c.name, c.mask), c.matches);
}
INSTANTIATE_TEST_SUITE_P(
    Masks, MatchFileNameTest,
    ::testing::Values(
        MaskCase{u"A.JPG", u"*.jpg", true}, MaskCase{u"a.jpeg", u"*.jpg", false},
        MaskCase{u"a.jpg", u"?.jpg", true}, MaskCase{u"ab.jpg", u"?.jpg", false},
        MaskCase{u"x\\a.jpg", u"*.jpg", true}, MaskCase{u"x\\y\\A.JPG", u"*.jpg", true},
        MaskCase{u"x\\a.jpg", u"x\\*.jpg", true}, MaskCase{u"a.jpg", u"x\\*.jpg", false},
        MaskCase{u"y\\x\\a.jpg", u"x\\*.jpg", false}, MaskCase{u"x\\a.jpg", u"*\\*.jpg", true},
        MaskCase{u"x\\y\\a.jpg", u"*\\*.jpg", true}, MaskCase{u"a.jpg", u"*\\*.jpg", false},
        MaskCase{u"x\\", u"*", false}, MaskCase{u"readme", u"*.*", true},
        MaskCase{u"THEME\\IMG1.JPG", u"theme\\*.jpg", true},
        // Only ASCII letters fold: an accented capital is not its small letter.
        MaskCase{u"\u00C9t\u00E9.jpg", u"\u00E9t\u00E9.jpg", false},
        MaskCase{u"\u00E9t\u00E9.JPG", u"\u00E9t\u00E9.jpg", true}));

// The joined path where the platform can store every character, else empty (refused).
std::u16string refusedOnWindows(std::u16string joined) {
    return NativePathStyle == PathStyle::Windows ? std::u16string() : joined;
}

struct JoinCase {
    std::u16string base, name;
    PathStyle style;
    std::u16string joined;  // empty: raises EInvalidPathChars
};
class JoinPathTest : public ::testing::TestWithParam<JoinCase> {};
TEST_P(JoinPathTest, JoinsOrRefuses) {
    const auto& c = GetParam();
    if (c.joined.empty()) {
        EXPECT_THROW(JoinPath(c.base, c.name, c.style), EInvalidPathChars);
    } else {
        EXPECT_EQ(JoinPath(c.base, c.name, c.style), c.joined);
    }
}
INSTANTIATE_TEST_SUITE_P(
    Paths, JoinPathTest,
    ::testing::Values(
        JoinCase{u"C:\\out", u"a.jpg", W, u"C:\\out\\a.jpg"},
        JoinCase{u"C:\\", u"a.jpg", W, u"C:\\a.jpg"}, JoinCase{u"C:", u"a.jpg", W, u"C:a.jpg"},
        JoinCase{u"C:\\out/", u"a.jpg", W, u"C:\\out/a.jpg"}, JoinCase{u"", u"a.jpg", W, u"a.jpg"},
        JoinCase{u"C:\\out", u"", W, u"C:\\out"}, JoinCase{u"C:\\out", u"\\a.jpg", W, u"\\a.jpg"},
        JoinCase{u"C:\\out", u"D:a.jpg", W, u"D:a.jpg"},
        JoinCase{u"C:\\out", u"\\\\?\\C:\\a.jpg", W, u"\\\\?\\C:\\a.jpg"},
        // Characters are the platform's: Windows refuses more than POSIX systems do.
        JoinCase{u"C:\\out", u"a|b.jpg", W, refusedOnWindows(u"C:\\out\\a|b.jpg")},
        JoinCase{u"C:\\o<t", u"a.jpg", W, refusedOnWindows(u"C:\\o<t\\a.jpg")},
        JoinCase{u"C:\\out", u"a*.jpg", W, refusedOnWindows(u"C:\\out\\a*.jpg")},
        JoinCase{u"C:\\out", u"a?.jpg", W, refusedOnWindows(u"C:\\out\\a?.jpg")},
        JoinCase{u"C:\\o*t", u"a.jpg", W, u"C:\\o*t\\a.jpg"}, JoinCase{u"C:\\out", u"a\tb", W, u""},
        JoinCase{u"/out", u"a\x1b", P, u""}, JoinCase{u"/o\x7f", u"a", P, u"/o\x7f/a"},
        JoinCase{u"/out", u"a.jpg", P, u"/out/a.jpg"}, JoinCase{u"/", u"a.jpg", P, u"/a.jpg"},
        JoinCase{u"/out/", u"x/a.jpg", P, u"/out/x/a.jpg"},
        JoinCase{u"/out", u"/etc/a", P, u"/etc/a"},
        JoinCase{u"/out", u"\\a.jpg", P, u"/out/\\a.jpg"},
        JoinCase{u"/out", u"a\"b", P, refusedOnWindows(u"/out/a\"b")}));

struct ChainCase {
    std::u16string path;
    PathStyle style;
    std::vector<std::u16string> steps;
};
class DirectoryChainStepsTest : public ::testing::TestWithParam<ChainCase> {};
TEST_P(DirectoryChainStepsTest, OutermostFirstWithoutDriveOrRoot) {
    const auto& c = GetParam();
    EXPECT_EQ(directoryChainSteps(c.path, c.style), c.steps);
}
INSTANTIATE_TEST_SUITE_P(
    Paths, DirectoryChainStepsTest,
    ::testing::Values(
        ChainCase{u"C:\\a\\b\\c", W, {u"C:\\a", u"C:\\a\\b", u"C:\\a\\b\\c"}},
        ChainCase{u"\\\\srv\\share\\a\\b", W, {u"\\\\srv\\share\\a", u"\\\\srv\\share\\a\\b"}},
        ChainCase{u"a\\b", W, {u"a\\b"}}, ChainCase{u"/a/b/c", P, {u"/a", u"/a/b", u"/a/b/c"}},
        ChainCase{u"a/b", P, {u"a/b"}}));

struct TrimCase {
    std::u16string value;
    PathStyle style;
    std::u16string trimmed;
};
class TrimBaseDirectoryTest : public ::testing::TestWithParam<TrimCase> {};
TEST_P(TrimBaseDirectoryTest, DropsOneTrailingSeparator) {
    EXPECT_EQ(trimBaseDirectory(GetParam().value, GetParam().style), GetParam().trimmed);
}
INSTANTIATE_TEST_SUITE_P(Paths, TrimBaseDirectoryTest,
                         ::testing::Values(TrimCase{u"C:\\out\\", W, u"C:\\out"},
                                           TrimCase{u"C:\\", W, u"C:\\"}, TrimCase{u"\\", W, u"\\"},
                                           TrimCase{u"", W, u""}, TrimCase{u"/out/", W, u"/out/"},
                                           TrimCase{u"/out/", P, u"/out"}, TrimCase{u"/", P, u"/"},
                                           TrimCase{u"/out//", P, u"/out/"}));

struct PercentageCase {
    int64_t done, total;
    int expected;
};
class PercentageTest : public ::testing::TestWithParam<PercentageCase> {};
TEST_P(PercentageTest, TruncatedShare) {
    EXPECT_EQ(Percentage(GetParam().done, GetParam().total), GetParam().expected);
}
INSTANTIATE_TEST_SUITE_P(Values, PercentageTest,
                         ::testing::Values(PercentageCase{1, 3, 33}, PercentageCase{2, 3, 66},
                                           PercentageCase{3, 3, 100}, PercentageCase{5, 3, 100},
                                           PercentageCase{0, 0, 0}, PercentageCase{1, 0, 0},
                                           PercentageCase{1, -5, 0}, PercentageCase{0, 7, 0},
                                           PercentageCase{199, 200, 99},
                                           PercentageCase{INT64_MAX - 1, INT64_MAX, 99},
                                           PercentageCase{INT64_MAX / 2, INT64_MAX, 49}));

struct DosCase {
    TAbDateTime moment;
    uint16_t date, time;
};
class DosDateTimeTest : public ::testing::TestWithParam<DosCase> {};
TEST_P(DosDateTimeTest, RoundTrips) {
    const auto& c = GetParam();
    const uint32_t packed = DateTimeToDosDateTime(c.moment);
    EXPECT_EQ(packed >> 16, c.date);
    EXPECT_EQ(packed & 0xFFFF, c.time);
    TAbDateTime even = c.moment;
    even.Second -= even.Second % 2;
    even.Millisecond = 0;
    EXPECT_EQ(DosDateTimeToDateTime(c.date, c.time), even);
}
INSTANTIATE_TEST_SUITE_P(Moments, DosDateTimeTest,
                         ::testing::Values(DosCase{{2020, 1, 1, 12, 0, 1, 0}, 20513, 24576},
                                           DosCase{{2020, 1, 1, 12, 0, 0, 0}, 20513, 24576},
                                           DosCase{{1980, 1, 1, 0, 0, 0, 0}, 0x0021, 0},
                                           DosCase{{2107, 12, 31, 23, 59, 59, 999}, 0xFF9F, 0xBF7D},
                                           DosCase{{2024, 2, 29, 6, 30, 44, 0},
                                                   (44 << 9) | (2 << 5) | 29,
                                                   (6 << 11) | (30 << 5) | 22}));

TEST(DosDateTimeTest, YearsOutsideTheDosRangeGiveZero) {
    EXPECT_EQ(DateTimeToDosDateTime({1979, 12, 31, 23, 59, 59, 0}), 0u);
    EXPECT_EQ(DateTimeToDosDateTime({1979, 1, 1, 0, 0, 0, 0}), 0u);
    EXPECT_EQ(DateTimeToDosDateTime({2108, 1, 1, 0, 0, 0, 0}), 0u);
}

struct BadDosCase {
    uint16_t date, time;
    bool badDate;
};
class BadDosDateTimeTest : public ::testing::TestWithParam<BadDosCase> {};
TEST_P(BadDosDateTimeTest, RaisesTheConversionError) {
    const auto& c = GetParam();
    if (c.badDate) {
        EXPECT_THROW(DosDateTimeToDateTime(c.date, c.time), EDateEncodeError);
    } else {
        EXPECT_THROW(DosDateTimeToDateTime(c.date, c.time), ETimeEncodeError);
    }
}
INSTANTIATE_TEST_SUITE_P(
    Values, BadDosDateTimeTest,
    ::testing::Values(BadDosCase{0, 0, true},                          // month 0
                      BadDosCase{(13 << 5) | 1, 0, true},              // month 13
                      BadDosCase{(1 << 5) | 0, 0, true},               // day 0
                      BadDosCase{(41 << 9) | (2 << 5) | 29, 0, true},  // 2021-02-29
                      BadDosCase{(40 << 9) | (4 << 5) | 31, 0, true},  // April 31
                      BadDosCase{0, 24 << 11, true},                   // date checked first
                      BadDosCase{20513, 24 << 11, false},              // hour 24
                      BadDosCase{20513, 60 << 5, false},               // minute 60
                      BadDosCase{20513, 30, false}));                  // second 60

struct WritingNameCase {
    std::u16string path, strippedDrive, strippedDots;
};
class WritingNameTest : public ::testing::TestWithParam<WritingNameCase> {};
TEST_P(WritingNameTest, StripDriveAndDotDots) {
    std::u16string drive = GetParam().path, dots = GetParam().path;
    StripDrive(drive);
    StripLeadingDotDots(dots);
    EXPECT_EQ(drive, GetParam().strippedDrive);
    EXPECT_EQ(dots, GetParam().strippedDots);
}
INSTANTIATE_TEST_SUITE_P(
    Names, WritingNameTest,
    ::testing::Values(WritingNameCase{u"C:\\x\\a.txt", u"x\\a.txt", u"C:\\x\\a.txt"},
                      WritingNameCase{u"\\\\srv\\share\\a.txt", u"a.txt", u"\\\\srv\\share\\a.txt"},
                      WritingNameCase{u"..\\..\\c.txt", u"..\\..\\c.txt", u"c.txt"},
                      WritingNameCase{u"x\\..\\c.txt", u"x\\..\\c.txt", u"x\\..\\c.txt"}));

struct ExtensionCase {
    std::u16string name;
    uint16_t number;
    std::u16string next;
};
class IncrementNumberedExtensionTest : public ::testing::TestWithParam<ExtensionCase> {};
TEST_P(IncrementNumberedExtensionTest, NextVolumeName) {
    std::u16string name = GetParam().name;
    IncrementNumberedExtension(name, GetParam().number);
    EXPECT_EQ(name, GetParam().next);
}
INSTANTIATE_TEST_SUITE_P(Names, IncrementNumberedExtensionTest,
                         ::testing::Values(ExtensionCase{u"disk.cab", 0, u"disk.c01"},
                                           ExtensionCase{u"disk.c01", 1, u"disk.c02"},
                                           ExtensionCase{u"disk.cab", 99, u"disk.c00"},
                                           ExtensionCase{u"disk", 4, u"disk.05"},
                                           ExtensionCase{u"disk.", 4, u"disk.05"},
                                           ExtensionCase{u"a.b\\disk", 0, u"a.b\\disk.01"}));

TEST(AnyMaskPieceTest, TrimmedPiecesInOrder) {
    std::vector<std::u16string> pieces;
    const bool any = anyMaskPiece(u" *.jpg ;\t*.png;;x;", [&](std::u16string_view piece) {
        pieces.emplace_back(piece);
        return false;
    });
    EXPECT_FALSE(any);
    EXPECT_EQ(pieces, (std::vector<std::u16string>{u"*.jpg", u"*.png", u"", u"x"}));
    EXPECT_FALSE(anyMaskPiece(u"", [](std::u16string_view) { return true; }));
}

struct UpperCase {
    char16_t lower, upper;
};
class UnicodeUpperTest : public ::testing::TestWithParam<UpperCase> {};
TEST_P(UnicodeUpperTest, SimpleCapital) {
    EXPECT_EQ(static_cast<int>(unicodeUpper(GetParam().lower)), static_cast<int>(GetParam().upper));
}
INSTANTIATE_TEST_SUITE_P(
    Letters, UnicodeUpperTest,
    ::testing::Values(UpperCase{u'a', u'A'}, UpperCase{u'Z', u'Z'}, UpperCase{u'1', u'1'},
                      UpperCase{u'\u00E9', u'\u00C9'}, UpperCase{u'\u00F7', u'\u00F7'},
                      UpperCase{u'\u00FF', u'\u0178'}, UpperCase{u'\u00DF', u'\u00DF'},
                      UpperCase{u'\u0101', u'\u0100'}, UpperCase{u'\u0100', u'\u0100'},
                      UpperCase{u'\u0131', u'I'}, UpperCase{u'\u017F', u'S'},
                      UpperCase{u'\u01C6', u'\u01C4'}, UpperCase{u'\u03C2', u'\u03A3'},
                      UpperCase{u'\u03C3', u'\u03A3'}, UpperCase{u'\u044F', u'\u042F'},
                      UpperCase{u'\u0450', u'\u0400'}, UpperCase{u'\u0561', u'\u0531'},
                      UpperCase{u'\u1F80', u'\u1F88'}, UpperCase{u'\u24D0', u'\u24B6'},
                      UpperCase{u'\uFF41', u'\uFF21'},
                      UpperCase{char16_t(0xD801), char16_t(0xD801)},
                      UpperCase{u'\uFFFF', u'\uFFFF'}));

TEST(TextTest, AsciiFoldingLeavesOtherLettersAlone) {
    EXPECT_TRUE(sameTextAscii(u"Theme\\A.JPG", u"theme\\a.jpg"));
    EXPECT_FALSE(sameTextAscii(u"\u00C9.jpg", u"\u00E9.jpg"));
    EXPECT_FALSE(sameTextAscii(u"a", u"ab"));
    EXPECT_EQ(upperCaseAscii(u"a\u00E9z"), u"A\u00E9Z");
}

TEST(TextTest, Utf8RoundTripAndRepair) {
    const std::u16string text = u"Zo\u00EB \u6F22 \U0001D11E";
    EXPECT_EQ(utf16ToUtf8(text), "Zo\xC3\xAB \xE6\xBC\xA2 \xF0\x9D\x84\x9E");
    EXPECT_EQ(utf8ToUtf16(utf16ToUtf8(text)), text);
    EXPECT_EQ(utf16ToUtf8(u"a\xD800"), "a\xEF\xBF\xBD");
    EXPECT_EQ(utf8ToUtf16("a\xC3"), u"a\uFFFD");
    EXPECT_EQ(utf8ToUtf16("\xFF\x41"), u"\uFFFDA");
}

}  // namespace
