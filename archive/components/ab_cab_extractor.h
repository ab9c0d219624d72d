// The cabinet extractor: a cabinet browser that extracts members into its base directory,
// and the published component that a window holds and restores.
#pragma once

#include "archive/components/ab_cab_browser.h"

class TAbCustomCabExtractor : public TAbCustomCabBrowser {
public:
    explicit TAbCustomCabExtractor(TComponent* AOwner);

    TAbExtractOptions ExtractOptions() const { return FExtractOptions; }
    // Kept for archives opened later and handed to the open one at once.
    void SetExtractOptions(TAbExtractOptions Value);
    const TAbConfirmOverwriteEvent& OnConfirmOverwrite() const { return FOnConfirmOverwrite; }
    void SetOnConfirmOverwrite(TAbConfirmOverwriteEvent Value) {
        FOnConfirmOverwrite = std::move(Value);
    }

    // The open archive's operations of the same name; EAbNoArchive without one.
    void ExtractAt(int32_t Index, const std::u16string& NewName);
    void ExtractFiles(const std::u16string& FileMask);
    void ExtractFilesEx(const std::u16string& FileMask, const std::u16string& ExclusionMask);
    void ExtractTaggedItems();

    // Raises OnConfirmOverwrite, which may change the name and the answer.
    void HandleConfirmOverwrite(std::u16string& Name, bool& Confirm);

protected:
    void PrepareArchive() override;

    TAbExtractOptions FExtractOptions;
    TAbConfirmOverwriteEvent FOnConfirmOverwrite;

private:
    TAbArchive& openArchive();
};

// The extractor with its properties published, saved and restored in this order (FileName
// last, so that a restored file is opened with everything else in place).
class TAbCabExtractor : public TAbCustomCabExtractor {
public:
    using TAbCustomCabExtractor::TAbCustomCabExtractor;
    std::vector<TPublishedProperty> PublishedProperties() override;
};
