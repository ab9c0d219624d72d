// pelmora-extract's work: each pack on the command line extracted (or listed) through the
// cabinet extractor, with a progress bar, one line per failure and a summary per pack.
#pragma once

#include <cstddef>
#include <map>
#include <ostream>
#include <string>
#include <vector>

#include "archive/components/ab_cab_extractor.h"
#include "archive/components/theme_file.h"
#include "cli/command_line.h"
#include "cli/progress_bar.h"

class TPackExtraction {
public:
    // Normal output goes to out, failures and the progress bar to err; the bar is drawn only
    // when showProgress is set and the options are not quiet.
    TPackExtraction(TCliOptions options, std::ostream& out, std::ostream& err, bool showProgress);
    ~TPackExtraction();

    // Tries every pack; answers the exit status: 0, or 1 when a pack or a member failed.
    int Run();

private:
    void extract(const std::u16string& pack);
    void list(const std::u16string& pack);
    void open(const std::u16string& pack);
    std::u16string targetFolderOf(const std::u16string& pack);
    TThemeFile readThemeFile();
    bool anyMemberToExtract() const;
    std::u16string nothingToExtractReason(const TThemeFile& theme) const;
    std::vector<std::u16string> extractedPictures(const TThemeFile& theme,
                                                  const std::u16string& target) const;
    void registerBackground(const std::u16string& pack, const TThemeFile& theme,
                            const std::u16string& target);
    void packFailed(const std::u16string& pack, const std::u16string& message);
    void memberFailed(TAbArchiveItem* item, TAbErrorClass errorClass, int32_t errorCode);

    TCliOptions FOptions;
    std::ostream& FOut;
    std::ostream& FErr;
    TProgressBar FBar;
    TAbCabExtractor FExtractor{nullptr};

    std::u16string FPack;  // the pack in hand
    bool FExtracting = false;
    size_t FConfirmed = 0;
    size_t FMemberFailures = 0;
    bool FAnyFailure = false;
    bool FReadingTheme = false;  // the theme file is read for its facts, not extracted
    // The pack folders made by this run, each with its pack: a folder is never shared by
    // two packs of one run.
    std::map<std::u16string, std::u16string> FFolderOwners;
};
