// pelmora-extract's command line: options, grouped flags, values, and what counts as misuse.
#include "cli/command_line.h"

#include <gtest/gtest.h>

#include "util/utf16_text.h"

namespace {

std::vector<std::u16string> words(const std::vector<const char*>& args) {
    std::vector<std::u16string> result;
    for (const char* arg : args) result.push_back(utf8ToUtf16(arg));
    return result;
}

struct GoodCase {
    const char* title;
    std::vector<const char*> args;
    const char16_t* target;
    const char16_t* mask;
    bool all, paths, list, quiet;
    std::vector<const char*> packs;
};

class GoodCommandLines : public ::testing::TestWithParam<GoodCase> {};

TEST_P(GoodCommandLines, AreReadIntoOptions) {
    const GoodCase& c = GetParam();
    const TParsedCommandLine parsed = ParseCommandLine(words(c.args));
    ASSERT_EQ(parsed.Action, TCliAction::caRun) << parsed.Error;
    const TCliOptions& o = parsed.Options;
    EXPECT_EQ(o.TargetFolder, c.target);
    EXPECT_EQ(o.MemberMask(), c.mask);
    EXPECT_EQ(o.AllMembers, c.all);
    EXPECT_EQ(o.RestorePaths, c.paths);
    EXPECT_EQ(o.List, c.list);
    EXPECT_EQ(o.Quiet, c.quiet);
    EXPECT_EQ(o.Packs, words(c.packs));
}

INSTANTIATE_TEST_SUITE_P(
    Options, GoodCommandLines,
    ::testing::Values(GoodCase{"Defaults",
                               {"A.themepack"},
                               u"",
                               u"*.jpg;*.png",
                               false,
                               false,
                               false,
                               false,
                               {"A.themepack"}},
                      GoodCase{"SeparateFlags",
                               {"-d", "out", "-m", "*.bmp", "-p", "-l", "-q", "A", "B"},
                               u"out",
                               u"*.bmp",
                               false,
                               true,
                               true,
                               true,
                               {"A", "B"}},
                      GoodCase{"GroupedFlagsAndAttachedValue",
                               {"-apqdout dir", "A"},
                               u"out dir",
                               u"*",
                               true,
                               true,
                               false,
                               true,
                               {"A"}},
                      GoodCase{"LongForms",
                               {"--directory=out", "--mask", "*.theme", "--paths", "--list", "A"},
                               u"out",
                               u"*.theme",
                               false,
                               true,
                               true,
                               false,
                               {"A"}},
                      GoodCase{"PacksBetweenOptions",
                               {"A", "-a", "B"},
                               u"",
                               u"*",
                               true,
                               false,
                               false,
                               false,
                               {"A", "B"}},
                      GoodCase{"DoubleDashEndsOptions",
                               {"--", "-q.themepack", "-"},
                               u"",
                               u"*.jpg;*.png",
                               false,
                               false,
                               false,
                               false,
                               {"-q.themepack", "-"}}),
    [](const auto& info) { return std::string(info.param.title); });

struct ModeCase {
    const char* title;
    std::vector<const char*> args;
    bool backgrounds, spotlight, quiet;
    size_t packs;
};

class ModeCommandLines : public ::testing::TestWithParam<ModeCase> {};

TEST_P(ModeCommandLines, SelectBackgroundsOrTheSpotlightHarvest) {
    const ModeCase& c = GetParam();
    const TParsedCommandLine parsed = ParseCommandLine(words(c.args));
    ASSERT_EQ(parsed.Action, TCliAction::caRun) << parsed.Error;
    EXPECT_EQ(parsed.Options.Backgrounds, c.backgrounds);
    EXPECT_EQ(parsed.Options.Spotlight, c.spotlight);
    EXPECT_EQ(parsed.Options.Quiet, c.quiet);
    EXPECT_EQ(parsed.Options.Packs.size(), c.packs);
}

INSTANTIATE_TEST_SUITE_P(
    Modes, ModeCommandLines,
    ::testing::Values(
        ModeCase{"ShortBackgrounds", {"-qb", "A", "B"}, true, false, true, 2},
        ModeCase{"LongBackgrounds", {"--backgrounds", "-d", "o", "A"}, true, false, false, 1},
        ModeCase{"Spotlight", {"--spotlight"}, false, true, false, 0},
        ModeCase{"QuietSpotlight", {"-q", "--spotlight"}, false, true, true, 0}),
    [](const auto& info) { return std::string(info.param.title); });

struct BadCase {
    const char* title;
    std::vector<const char*> args;
    const char* error;
};

class BadCommandLines : public ::testing::TestWithParam<BadCase> {};

TEST_P(BadCommandLines, AreUsageErrorsThatSayWhy) {
    const BadCase& c = GetParam();
    const TParsedCommandLine parsed = ParseCommandLine(words(c.args));
    EXPECT_EQ(parsed.Action, TCliAction::caUsageError);
    EXPECT_EQ(parsed.Error, c.error);
}

INSTANTIATE_TEST_SUITE_P(
    Misuse, BadCommandLines,
    ::testing::Values(
        BadCase{"NoPack", {}, "no pack given"},
        BadCase{"OnlyOptions", {"-q", "-a"}, "no pack given"},
        BadCase{"UnknownShort", {"-x", "A"}, "unknown option -x"},
        BadCase{"UnknownInGroup", {"-qz", "A"}, "unknown option -z"},
        BadCase{"UnknownLong", {"--bogus", "A"}, "unknown option --bogus"},
        BadCase{"MissingValue", {"A", "-d"}, "option -d needs a value"},
        BadCase{"EmptyValue", {"--mask=", "A"}, "option --mask needs a value"},
        BadCase{"ValueOnFlag", {"--quiet=yes", "A"}, "option --quiet takes no value"},
        BadCase{"AllWithMask", {"-a", "-m", "*.png", "A"}, "-a and -m cannot be used together"},
        BadCase{"BackgroundsWithList", {"-bl", "A"}, "-b and -l cannot be used together"},
        BadCase{"LongBackgroundsWithList",
                {"--list", "A", "--backgrounds"},
                "-b and -l cannot be used together"},
        BadCase{"SpotlightWithPack", {"--spotlight", "A"}, "--spotlight takes no pack"},
        BadCase{"SpotlightWithTarget",
                {"--spotlight", "-d", "out"},
                "--spotlight takes no option but -q"},
        BadCase{"SpotlightWithBackgrounds",
                {"-b", "--spotlight"},
                "--spotlight takes no option but -q"},
        BadCase{"SpotlightTakesNoValue", {"--spotlight=yes"}, "option --spotlight takes no value"}),
    [](const auto& info) { return std::string(info.param.title); });

TEST(CommandLine, HelpAndVersionWinOverEverythingElse) {
    EXPECT_EQ(ParseCommandLine(words({"-x", "--help"})).Action, TCliAction::caUsageError);
    EXPECT_EQ(ParseCommandLine(words({"A", "--help"})).Action, TCliAction::caHelp);
    EXPECT_EQ(ParseCommandLine(words({"--version"})).Action, TCliAction::caVersion);
    EXPECT_NE(HelpText().find(kUsageLine), std::string::npos);
}

}  // namespace
