#include "cli/command_line.h"

#include <optional>

#include "util/utf16_text.h"

const char kUsageLine[] =
    "usage: pelmora-extract [-d DIR] [-m MASK] [-a] [-p] [-l | -b] [-q] PACK...\n"
    "       pelmora-extract --spotlight [-q]";

std::string HelpText() {
    return std::string(kUsageLine) +
           "\n"
           "Extracts the wallpapers of Windows theme packs (.themepack, .deskthemepack).\n"
           "\n"
           "Each pack's members go into a folder named after the pack without its\n"
           "extension: beside the pack, or inside DIR with -d (DIR/Autumn, DIR/Winter).\n"
           "A pack with nothing to extract says so and leaves no folder behind.\n"
           "\n"
           "  -d, --directory DIR  make the packs' folders inside DIR\n"
           "  -m, --mask MASK      members to extract, ';' between masks (default "
           "\"*.jpg;*.png\")\n"
           "  -a, --all            extract every member\n"
           "  -p, --paths          keep the folders stored in the pack\n"
           "  -l, --list           list the members instead of extracting them, each\n"
           "                       pack's list headed by its theme name\n"
           "  -b, --backgrounds    register each extracted pack with the desktop's\n"
           "                       background picker (GNOME Settings): a file in\n"
           "                       $XDG_DATA_HOME/gnome-background-properties (default\n"
           "                       ~/.local/share/...) named after the theme, and for a\n"
           "                       theme of several pictures a slideshow file,\n"
           "                       pelmora-slideshow.xml, in the pack's folder (each picture\n"
           "                       for the theme's interval, 30 minutes when it has none,\n"
           "                       with 2-second cross-fades); a later run replaces them\n"
           "      --spotlight      copy the Windows Spotlight pictures into\n"
           "                       ~/Pictures/Spotlight (USERPROFILE's Pictures where it\n"
           "                       is set): 1920 pixels wide into Horizontal, 1080 into\n"
           "                       Vertical; the cache is read below LOCALAPPDATA, or\n"
           "                       where it is unset on every mounted Windows system\n"
           "  -q, --quiet          print errors only\n"
           "      --help           show this help\n"
           "      --version        show the version\n"
           "\n"
           "Exit status: 0 when everything was extracted, 1 when a pack or a member failed\n"
           "(or --spotlight found no cache), 2 for wrong usage.\n";
}

namespace {

// The short name of an option that has only a long one.
constexpr char16_t kLongOnly = 0;

struct Flag {
    char16_t shortName;
    const char16_t* longName;
    bool takesValue;
};

constexpr Flag kFlags[] = {
    {u'd', u"directory", true},    {u'm', u"mask", true},
    {u'a', u"all", false},         {u'p', u"paths", false},
    {u'l', u"list", false},        {u'q', u"quiet", false},
    {u'b', u"backgrounds", false}, {kLongOnly, u"spotlight", false},
};

const Flag* findShort(char16_t name) {
    for (const Flag& flag : kFlags) {
        if (flag.shortName != kLongOnly && flag.shortName == name) return &flag;
    }
    return nullptr;
}

const Flag* findLong(std::u16string_view name) {
    for (const Flag& flag : kFlags) {
        if (name == flag.longName) return &flag;
    }
    return nullptr;
}

class Parser {
public:
    explicit Parser(const std::vector<std::u16string>& args) : args_(args) {}

    TParsedCommandLine parse() {
        bool optionsEnded = false;
        bool maskGiven = false;
        bool allGiven = false;
        for (next_ = 0; next_ < args_.size() && result_.Action == TCliAction::caRun;) {
            const std::u16string& arg = args_[next_++];
            if (optionsEnded || arg.size() < 2 || arg[0] != u'-') {
                result_.Options.Packs.push_back(arg);
            } else if (arg == u"--") {
                optionsEnded = true;
            } else if (arg.starts_with(u"--")) {
                parseLong(arg.substr(2), maskGiven, allGiven);
            } else {
                parseShortGroup(arg, maskGiven, allGiven);
            }
        }
        if (result_.Action != TCliAction::caRun) return result_;
        if (maskGiven && allGiven) return fail("-a and -m cannot be used together");
        const TCliOptions& options = result_.Options;
        if (options.Backgrounds && options.List) {
            return fail("-b and -l cannot be used together");
        }
        if (options.Spotlight) {
            if (!options.Packs.empty()) return fail("--spotlight takes no pack");
            if (maskGiven || allGiven || options.RestorePaths || options.List ||
                options.Backgrounds || !options.TargetFolder.empty()) {
                return fail("--spotlight takes no option but -q");
            }
            return result_;
        }
        if (options.Packs.empty()) return fail("no pack given");
        return result_;
    }

private:
    TParsedCommandLine fail(std::string error) {
        result_.Action = TCliAction::caUsageError;
        result_.Error = std::move(error);
        return result_;
    }

    void parseLong(const std::u16string& body, bool& maskGiven, bool& allGiven) {
        const size_t equals = body.find(u'=');
        const std::u16string name = body.substr(0, equals);
        if (name == u"help") {
            result_.Action = TCliAction::caHelp;
            return;
        }
        if (name == u"version") {
            result_.Action = TCliAction::caVersion;
            return;
        }
        const Flag* flag = findLong(name);
        if (!flag) {
            fail("unknown option --" + utf16ToUtf8(name));
            return;
        }
        std::optional<std::u16string> value;
        if (equals != std::u16string::npos) {
            if (!flag->takesValue) {
                fail("option --" + utf16ToUtf8(name) + " takes no value");
                return;
            }
            value = body.substr(equals + 1);
        }
        apply(*flag, std::move(value), maskGiven, allGiven, "--" + utf16ToUtf8(name));
    }

    void parseShortGroup(const std::u16string& arg, bool& maskGiven, bool& allGiven) {
        for (size_t i = 1; i < arg.size() && result_.Action == TCliAction::caRun; ++i) {
            const Flag* flag = findShort(arg[i]);
            // Appended rather than "-" + text: GCC 12 at -O3 sees a false overlap in the latter.
            std::string shown(1, '-');
            shown += utf16ToUtf8(arg.substr(i, 1));
            if (!flag) {
                fail("unknown option " + shown);
                return;
            }
            std::optional<std::u16string> value;
            if (flag->takesValue && i + 1 < arg.size()) {
                apply(*flag, arg.substr(i + 1), maskGiven, allGiven, shown);
                return;
            }
            apply(*flag, std::nullopt, maskGiven, allGiven, shown);
        }
    }

    void apply(const Flag& flag, std::optional<std::u16string> value, bool& maskGiven,
               bool& allGiven, const std::string& shown) {
        if (flag.takesValue && !value) {
            if (next_ >= args_.size()) {
                fail("option " + shown + " needs a value");
                return;
            }
            value = args_[next_++];
        }
        if (flag.takesValue && value->empty()) {
            fail("option " + shown + " needs a value");
            return;
        }
        TCliOptions& options = result_.Options;
        switch (flag.shortName) {
            case u'd':
                options.TargetFolder = *value;
                break;
            case u'm':
                options.Mask = *value;
                maskGiven = true;
                break;
            case u'a':
                options.AllMembers = true;
                allGiven = true;
                break;
            case u'p':
                options.RestorePaths = true;
                break;
            case u'l':
                options.List = true;
                break;
            case u'q':
                options.Quiet = true;
                break;
            case u'b':
                options.Backgrounds = true;
                break;
            case kLongOnly:
                options.Spotlight = true;  // the only long-only option
                break;
            default:
                break;
        }
    }

    const std::vector<std::u16string>& args_;
    size_t next_ = 0;
    TParsedCommandLine result_;
};

}  // namespace

TParsedCommandLine ParseCommandLine(const std::vector<std::u16string>& args) {
    return Parser(args).parse();
}
