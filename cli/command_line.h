// The command line of pelmora-extract: options and packs, or why they cannot be used.
#pragma once

#include <string>
#include <vector>

struct TCliOptions {
    std::u16string TargetFolder;           // -d: one folder for every pack; empty: beside each
    std::u16string Mask = u"*.jpg;*.png";  // -m
    bool AllMembers = false;               // -a: every member, whatever the mask
    bool RestorePaths = false;             // -p: keep the folders stored in the pack
    bool List = false;                     // -l: list the members instead of extracting
    bool Quiet = false;                    // -q: errors only
    bool Backgrounds = false;              // -b: register each pack with the background picker
    bool Spotlight = false;                // --spotlight: harvest Spotlight instead of packs
    std::vector<std::u16string> Packs;

    std::u16string MemberMask() const { return AllMembers ? std::u16string(1, u'*') : Mask; }
};

enum class TCliAction { caRun, caHelp, caVersion, caUsageError };

struct TParsedCommandLine {
    TCliAction Action = TCliAction::caRun;
    TCliOptions Options;
    std::string Error;  // caUsageError: what is wrong
};

// Reads the arguments after the program name. Short flags may be grouped ("-aq"), an
// option's value may follow it directly ("-dDIR") or as the next argument, and "--" ends the
// options. Long forms: --directory, --mask, --all, --paths, --list, --quiet, --backgrounds,
// --help, --version; --spotlight has no short form and takes no pack.
TParsedCommandLine ParseCommandLine(const std::vector<std::u16string>& args);

// The one-line synopsis and the full help text.
extern const char kUsageLine[];
std::string HelpText();
