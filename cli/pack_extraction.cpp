#include "cli/pack_extraction.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <streambuf>
#include <system_error>

#include "archive/core/ab_exceptions.h"
#include "archive/core/ab_file_system.h"
#include "archive/core/ab_messages.h"
#include "archive/core/ab_text.h"
#include "archive/core/ab_utils.h"
#include "cli/desktop_backgrounds.h"
#include "util/common_func.h"
#include "util/errors.h"
#include "util/path_delimiter.h"
#include "util/printable_text.h"
#include "util/stop_request.h"
#include "util/utf16_text.h"

namespace {

constexpr char kProgram[] = "pelmora-extract: ";

std::string utf8(const std::u16string& text) {
    return utf16ToUtf8(text);
}

std::string twoDigits(int value) {
    return std::string(value < 10 ? "0" : "") + std::to_string(value);
}

// "2026-12-10 14:55:30" from a DOS date and time.
std::string dosDateTimeText(uint16_t date, uint16_t time) {
    return std::to_string(1980 + (date >> 9)) + "-" + twoDigits((date >> 5) & 0x0F) + "-" +
           twoDigits(date & 0x1F) + " " + twoDigits(time >> 11) + ":" +
           twoDigits((time >> 5) & 0x3F) + ":" + twoDigits((time & 0x1F) * 2);
}

std::string sizeColumn(int64_t size) {
    std::string text = std::to_string(size);
    if (text.size() < 10) text.insert(0, 10 - text.size(), ' ');
    return text;
}

// A member's stored name as printed: it comes from the archive, so its control characters
// are escaped and cannot drive the terminal.
std::string memberNameText(const TAbArchiveItem* item) {
    return item ? printableText(utf8(item->FileName())) : "?";
}

std::u16string fileNameOf(const std::u16string& path) {
    for (size_t i = path.size(); i > 0; --i) {
        if (IsPathDelimiter(path[i - 1])) return path.substr(i);
    }
    return path;
}

// The members that can be a desktop background.
constexpr char16_t kPictureMask[] = u"*.jpg;*.jpeg;*.png;*.bmp";
// A theme file larger than this is no theme file; what lies beyond is not read.
constexpr size_t kLongestThemeFile = 1 << 20;

// Keeps the first `limit` bytes written to it and drops the rest.
class CappedBuffer : public std::streambuf {
public:
    explicit CappedBuffer(size_t limit) : limit_(limit) {}
    const std::string& text() const { return text_; }

protected:
    int_type overflow(int_type c) override {
        if (c != traits_type::eof() && text_.size() < limit_) text_ += traits_type::to_char_type(c);
        return traits_type::not_eof(c);
    }
    std::streamsize xsputn(const char* s, std::streamsize n) override {
        const size_t room = limit_ - text_.size();
        text_.append(s, std::min(room, static_cast<size_t>(n)));
        return n;
    }

private:
    size_t limit_;
    std::string text_;
};

bool matchesMasks(std::u16string_view name, std::u16string_view masks) {
    return anyMaskPiece(masks, [&](std::u16string_view mask) { return MatchFileName(name, mask); });
}

// The folder part of a stored name, without its last separator: "a\\b\\c.jpg" gives "a\\b".
std::u16string_view storedFolderOf(std::u16string_view storedName) {
    const size_t slash = storedName.find_last_of(u"\\/");
    return slash == std::u16string_view::npos ? std::u16string_view() : storedName.substr(0, slash);
}

// A path a theme file gives ("DesktopBackground\img1.jpg", ".\DesktopBackground", or one
// under "%ThemeDir%") names the member path when it is that path or ends in a separator and the
// path.
bool namesStoredPath(std::u16string path, std::u16string_view stored) {
    FixSlashes(path);
    while (!path.empty() && path.back() == u'\\') path.pop_back();
    if (stored.empty() || path.size() < stored.size()) return false;
    const size_t start = path.size() - stored.size();
    if (start > 0 && path[start - 1] != u'\\') return false;
    std::u16string storedFixed(stored);
    FixSlashes(storedFixed);
    return sameTextAscii(std::u16string_view(path).substr(start), storedFixed);
}

}  // namespace

TPackExtraction::TPackExtraction(TCliOptions options, std::ostream& out, std::ostream& err,
                                 bool showProgress)
    : FOptions(std::move(options)),
      FOut(out),
      FErr(err),
      FBar(err, showProgress && !FOptions.Quiet) {
    TAbExtractOptions extractOptions{eoCreateDirs};
    if (FOptions.RestorePaths) extractOptions.Include(eoRestorePath);
    FExtractor.SetExtractOptions(extractOptions);
    FExtractor.SetOnArchiveProgress([this](TComponent&, uint8_t progress, bool& abort) {
        if (FExtracting) FBar.Show(utf8(fileNameOf(FPack)), progress);
        abort = StopRequested();  // an interrupted run looks at no further member
    });
    FExtractor.SetOnConfirmProcessItem(
        [this](TComponent&, TAbArchiveItem*, TAbProcessType, bool&) { ++FConfirmed; });
    FExtractor.SetOnProcessItemFailure(
        [this](TComponent&, TAbArchiveItem* item, TAbProcessType, TAbErrorClass errorClass,
               int32_t errorCode) { memberFailed(item, errorClass, errorCode); });
}

TPackExtraction::~TPackExtraction() {
    FExtractor.SetOnArchiveProgress({});
    FExtractor.SetOnConfirmProcessItem({});
    FExtractor.SetOnProcessItemFailure({});
}

int TPackExtraction::Run() {
    for (const std::u16string& pack : FOptions.Packs) {
        if (StopRequested()) break;
        FPack = pack;
        try {
            if (FOptions.List) {
                list(pack);
            } else {
                extract(pack);
            }
        } catch (...) {
            FExtracting = false;
            packFailed(pack, exceptionMessage(std::current_exception()));
        }
    }
    // Lets the last pack go before the summary of the run is final.
    FExtractor.CloseArchive();
    return FAnyFailure ? 1 : 0;
}

void TPackExtraction::open(const std::u16string& pack) {
    FExtractor.CloseArchive();
    if (!FileExists(pack)) {
        if (DirectoryExists(pack)) throw EAbInvalidCabFile();
        throw EAbFileNotFound();
    }
    if (DetectArchiveType(pack, TAbArchiveType::atCab) != TAbArchiveType::atCab) {
        throw EAbInvalidCabFile();
    }
}

std::u16string TPackExtraction::targetFolderOf(const std::u16string& pack) {
    const std::u16string name = ExtractBaseName(pack);
    const std::u16string base = FOptions.TargetFolder.empty()
                                    ? pack.substr(0, pack.size() - fileNameOf(pack).size()) + name
                                    : JoinPath(FOptions.TargetFolder, name);
    // Two packs of one run with the same name (Autumn.themepack from two places, or
    // Autumn.themepack beside Autumn.deskthemepack) get folders of their own, so that the
    // pictures of one never replace the other's.
    std::u16string target = base;
    for (int n = 2;; ++n) {
        const auto owner = FFolderOwners.find(target);
        if (owner == FFolderOwners.end() || owner->second == pack) break;
        target = base + u" (" + utf8ToUtf16(std::to_string(n)) + u")";
    }
    FFolderOwners[target] = pack;
    return target;
}

TThemeFile TPackExtraction::readThemeFile() {
    // The theme file at the pack's root, or else the first one anywhere in it.
    const TAbArchiveItem* found = nullptr;
    for (int32_t i = 0; i < FExtractor.Count(); ++i) {
        const TAbArchiveItem* item = FExtractor.Items(i);
        if (!item || !MatchFileName(item->FileName(), u"*.theme")) continue;
        if (!found || (storedFolderOf(item->FileName()).empty() &&
                       !storedFolderOf(found->FileName()).empty())) {
            found = item;
        }
    }
    if (!found) return {};
    CappedBuffer buffer(kLongestThemeFile);
    std::ostream stream(&buffer);
    const size_t confirmed = FConfirmed;
    FReadingTheme = true;
    try {
        FExtractor.Archive()->ExtractToStream(found->FileName(), stream);
    } catch (...) {
        // A theme file that cannot be read says nothing; the pack's pictures still count.
    }
    FReadingTheme = false;
    FConfirmed = confirmed;
    return ReadThemeFile(buffer.text());
}

bool TPackExtraction::anyMemberToExtract() const {
    const std::u16string mask = FOptions.MemberMask();
    for (int32_t i = 0; i < FExtractor.Count(); ++i) {
        const TAbArchiveItem* item = FExtractor.Items(i);
        if (item && item->MatchesStoredNameEx(mask)) return true;
    }
    return false;
}

std::u16string TPackExtraction::nothingToExtractReason(const TThemeFile& theme) const {
    if (FOptions.AllMembers) return u"the pack is empty; nothing extracted";
    if (FOptions.Mask != TCliOptions().Mask) {
        return u"no member matches \"" + FOptions.Mask + u"\"; nothing extracted";
    }
    std::u16string reason = u"the pack has no pictures; nothing extracted";
    if (!theme.Slideshow.RssFeed.empty()) {
        reason += u" (its slideshow comes from " + theme.Slideshow.RssFeed + u")";
    }
    return reason;
}

void TPackExtraction::extract(const std::u16string& pack) {
    open(pack);
    // The folder is made only once the pack is known to hold something for it.
    FExtractor.SetBaseDirectory(u"");
    FExtractor.SetFileName(pack);
    if (!FExtractor.Archive()) throw EAbInvalidCabFile();
    const TThemeFile theme = readThemeFile();
    if (!anyMemberToExtract()) {
        FBar.Clear();
        FOut << std::flush;
        FErr << kProgram << utf8(pack) << ": " << printableText(utf8(nothingToExtractReason(theme)))
             << '\n'
             << std::flush;
        return;
    }

    std::u16string target = targetFolderOf(pack);
    // A pack named only by its extension (".themepack") is extracted beside itself.
    if (target.empty()) target = u".";
    // The folder chain is made from an absolute path: the archive code's chain skips the
    // first element of a path, which for a relative one is a folder of its own.
    const bool made = !DirectoryExists(target);
    if (made) CreateDirectoryChain(fromFsPath(std::filesystem::absolute(toFsPath(target))));
    FExtractor.SetBaseDirectory(target);

    FConfirmed = 0;
    FMemberFailures = 0;
    FExtracting = true;
    FBar.Show(utf8(fileNameOf(pack)), 0);
    FExtractor.ExtractFiles(FOptions.MemberMask());
    FExtracting = false;
    FBar.Clear();
    const size_t extracted = FConfirmed - FMemberFailures;
    // Every member failed: the folder this run made for them would only be left empty.
    if (made && extracted == 0) {
        std::error_code ignored;
        std::filesystem::remove(toFsPath(target), ignored);
    }
    if (!FOptions.Quiet) {
        FOut << utf8(pack) << ": " << extracted << (extracted == 1 ? " member" : " members")
             << " extracted into " << utf8(target);
        if (FMemberFailures) FOut << ", " << FMemberFailures << " failed";
        FOut << '\n' << std::flush;
    }
    if (FOptions.Backgrounds && extracted > 0) registerBackground(pack, theme, target);
}

std::vector<std::u16string> TPackExtraction::extractedPictures(const TThemeFile& theme,
                                                               const std::u16string& target) const {
    const std::u16string mask = FOptions.MemberMask();
    std::vector<const TAbArchiveItem*> pictures;
    for (int32_t i = 0; i < FExtractor.Count(); ++i) {
        const TAbArchiveItem* item = FExtractor.Items(i);
        if (item && !item->IsDirectory() && item->MatchesStoredNameEx(mask) &&
            matchesMasks(item->FileName(), kPictureMask)) {
            pictures.push_back(item);
        }
    }
    // The show's own order where the theme gives one: its items, or the pictures directly in
    // its folder (not in folders below it); otherwise every picture in the pack's order.
    std::vector<const TAbArchiveItem*> show;
    const TThemeSlideshow& slideshow = theme.Slideshow;
    for (const std::u16string& path : slideshow.ItemPaths) {
        for (const TAbArchiveItem* item : pictures) {
            if (namesStoredPath(path, item->FileName())) show.push_back(item);
        }
    }
    if (show.empty() && !slideshow.ImagesRootPath.empty()) {
        for (const TAbArchiveItem* item : pictures) {
            if (namesStoredPath(slideshow.ImagesRootPath, storedFolderOf(item->FileName()))) {
                show.push_back(item);
            }
        }
    }
    if (show.empty()) show = pictures;

    // Where each landed, once each (members of the same name land on one file), and only
    // those that did land.
    const std::filesystem::path base = std::filesystem::absolute(toFsPath(target));
    std::vector<std::u16string> files;
    for (const TAbArchiveItem* item : show) {
        std::u16string file;
        try {
            file = outputPathForStoredName(item->FileName(), false, FOptions.RestorePaths,
                                           fromFsPath(base));
        } catch (...) {
            continue;
        }
        if (FileExists(file) && std::find(files.begin(), files.end(), file) == files.end()) {
            files.push_back(file);
        }
    }
    return files;
}

void TPackExtraction::registerBackground(const std::u16string& pack, const TThemeFile& theme,
                                         const std::u16string& target) {
    try {
        const std::vector<std::u16string> pictures = extractedPictures(theme, target);
        if (pictures.empty()) return;
        const std::u16string folder = BackgroundPropertiesFolder();
        if (folder.empty()) throw std::runtime_error("no place for backgrounds: HOME is unset");
        std::u16string shown = pictures.front();
        if (pictures.size() > 1) {
            shown = fromFsPath(std::filesystem::absolute(toFsPath(target)) / kSlideshowFileName);
            ReplaceFileWith(shown, SlideshowXml(pictures, theme.Slideshow.IntervalMs));
        }
        const std::u16string name = ThemeName(theme, pack);
        if (!DirectoryExists(folder)) CreateDirectoryChain(folder);
        const std::u16string entry = folder + u"/" + BackgroundPropertiesFileName(name);
        ReplaceFileWith(entry,
                        BackgroundPropertiesXml(name, shown, theme.Placement, theme.Background));
        if (!FOptions.Quiet) {
            FOut << utf8(pack) << ": registered as the background \"" << utf8(name) << "\" in "
                 << utf8(entry) << '\n'
                 << std::flush;
        }
    } catch (...) {
        packFailed(
            pack, u"cannot register the background: " + exceptionMessage(std::current_exception()));
    }
}

void TPackExtraction::list(const std::u16string& pack) {
    open(pack);
    FExtractor.SetFileName(pack);
    if (!FExtractor.Archive()) throw EAbInvalidCabFile();
    const TThemeFile theme = readThemeFile();
    // The theme's name is the pack's text, not ours: it must not drive the terminal either.
    if (!FOptions.Quiet)
        FOut << printableText(utf8(pack)) << ": " << printableText(utf8(ThemeName(theme, pack)))
             << '\n';
    for (int32_t i = 0; i < FExtractor.Count(); ++i) {
        const TAbArchiveItem* item = FExtractor.Items(i);
        if (!item) continue;
        FOut << sizeColumn(item->UncompressedSize()) << "  "
             << dosDateTimeText(item->LastModFileDate(), item->LastModFileTime()) << "  "
             << memberNameText(item) << '\n';
    }
    FOut << std::flush;
}

void TPackExtraction::packFailed(const std::u16string& pack, const std::u16string& message) {
    FAnyFailure = true;
    FBar.Clear();
    FOut << std::flush;
    FErr << kProgram << utf8(pack) << ": " << utf8(message) << '\n' << std::flush;
}

void TPackExtraction::memberFailed(TAbArchiveItem* item, TAbErrorClass errorClass,
                                   int32_t errorCode) {
    if (FReadingTheme) return;
    ++FMemberFailures;
    FAnyFailure = true;
    const std::u16string reason =
        ItemFailureMessage(errorClass, errorCode, std::current_exception());
    FBar.Clear();
    FOut << std::flush;
    FErr << kProgram << utf8(FPack) << ": " << memberNameText(item) << ": " << utf8(reason) << '\n'
         << std::flush;
}
