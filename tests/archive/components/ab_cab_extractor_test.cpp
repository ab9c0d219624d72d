#include "archive/components/ab_cab_extractor.h"

#include <gtest/gtest.h>
#ifndef _WIN32
#include <sys/stat.h>  // mkfifo
#endif

#include <filesystem>
#include <functional>
#include <optional>

#include "archive/cab/ab_fci_fdi.h"
#include "archive/core/ab_exceptions.h"
#include "support/cabinet_maker.h"
#include "support/scratch_folder.h"

using namespace testsupport;
namespace fs = std::filesystem;

namespace {

// An extractor with its events recorded. The records come first: the extractor still reports
// while it is destroyed.
struct Extractor {
    std::vector<int> progress;
    int changes = 0;
    int loads = 0;
    std::vector<std::u16string> failures;
    Extractor() {
        component.SetOnArchiveProgress([this](TComponent& sender, uint8_t p, bool& abort) {
            EXPECT_EQ(&sender, &component);
            EXPECT_FALSE(abort);
            progress.push_back(p);
        });
        component.SetOnChange([this](TComponent&) { ++changes; });
        component.SetOnLoad([this](TComponent&) { ++loads; });
        component.SetOnProcessItemFailure(
            [this](TComponent&, TAbArchiveItem* item, TAbProcessType, TAbErrorClass, int32_t) {
                failures.push_back(item->FileName());
            });
    }
    TAbCabExtractor component{nullptr};
};

std::vector<std::string> filesIn(const fs::path& folder) {
    std::vector<std::string> names;
    for (const auto& entry : fs::directory_iterator(folder))
        names.push_back(entry.path().filename().string());
    std::sort(names.begin(), names.end());
    return names;
}

std::string contentOf(const fs::path& file) {
    auto bytes = readFile(file);
    return std::string(bytes.begin(), bytes.end());
}

class ThemePackTest : public ::testing::TestWithParam<CabMaker> {
protected:
    ScratchFolder folder;
};

// What the window does for each dropped pack: base directory, file name, extract the
// wallpapers; here for a second pack, after a first one was opened.
TEST_P(ThemePackTest, WritesTheWallpapersIntoTheBaseDirectory) {
    auto members = themePackMembers();
    fs::path first = makeCabinet(folder.path(), "First.themepack", members, GetParam());
    fs::path pack = makeCabinet(folder.path(), "Autumn.themepack", members, GetParam());
    ASSERT_FALSE(pack.empty());
    fs::path out = folder / "Autumn";
    fs::create_directory(out);

    Extractor e;
    e.component.SetFileName(u16(first));
    e.component.SetBaseDirectory(u16(out));
    e.component.SetFileName(u16(pack));
    e.component.ExtractFiles(u"*.jpg;*.png");

    EXPECT_EQ(filesIn(out), (std::vector<std::string>{"img1.jpg", "img2.PNG"}));
    EXPECT_EQ(contentOf(out / "img1.jpg"), members[0].content);
    EXPECT_EQ(contentOf(out / "img2.PNG"), members[1].content);
    EXPECT_EQ(testsupport::modifiedUnixSeconds(out / "img1.jpg"), members[0].modified);
    EXPECT_EQ(testsupport::modifiedUnixSeconds(out / "img2.PNG"), members[1].modified);
    // First pack loaded; released (0); second loaded; a third of the members per report;
    // the closing 100.
    EXPECT_EQ(e.progress, (std::vector<int>{100, 0, 100, 33, 66, 100, 100}));
    EXPECT_EQ(e.changes, 2);
    EXPECT_TRUE(e.failures.empty());
}

INSTANTIATE_TEST_SUITE_P(Makers, ThemePackTest,
                         ::testing::Values(CabMaker::GcabStored, CabMaker::GcabMszip,
                                           CabMaker::CabtoolLzx),
                         [](const auto& info) { return std::string(makerName(info.param)); });

// One row of what the window meets when a dropped pack is not a good cabinet.
struct FailureRow {
    const char* label;
    // Prepares the pack (and the scene) in the folder; answers the pack's path.
    std::function<fs::path(const fs::path& folder)> prepare;
    // The error the FileName write raises, by its message's start; empty: none.
    std::u16string error;
    bool archiveOpen;  // an archive object is left open
    bool changed;      // OnChange was raised
    std::vector<int> progress;
    bool asUser = false;            // run without root's privileges
    const char* library = nullptr;  // bind another cabinet library
};

class FailureTableTest : public ::testing::TestWithParam<FailureRow> {
protected:
    void TearDown() override { pelmora::SetCabinetLibraryNameForTesting(""); }
    ScratchFolder folder;
};

TEST_P(FailureTableTest, FileNameWriteThenExtraction) {
    const auto& row = GetParam();
#ifdef _WIN32
    if (row.asUser) GTEST_SKIP() << "Windows has no permission bit that forbids reading";
#endif
    fs::path out = folder / "out";
    fs::create_directory(out);
    fs::path pack = row.prepare(folder.path());
    if (row.library) pelmora::SetCabinetLibraryNameForTesting(row.library);

    Extractor e;
    e.component.SetBaseDirectory(u16(out));
    std::optional<std::u16string> raised;
    {
        std::optional<UnprivilegedScope> user;
        if (row.asUser) user.emplace();
        try {
            e.component.SetFileName(u16(pack));
        } catch (const EGeneralError& error) {
            raised = error.Message();
        }
    }
    if (row.error.empty()) {
        EXPECT_FALSE(raised) << std::string(raised->begin(), raised->end());
    } else {
        ASSERT_TRUE(raised);
        EXPECT_EQ(raised->substr(0, row.error.size()), row.error);
    }
    EXPECT_EQ(e.component.CabArchive() != nullptr, row.archiveOpen);
    EXPECT_EQ(e.changes, row.changed ? 1 : 0);
    EXPECT_EQ(e.progress, row.progress);
    EXPECT_EQ(e.component.FileName(), u16(pack));

    if (!row.archiveOpen) {
        try {
            e.component.ExtractFiles(u"*.jpg;*.png");
            FAIL() << "extraction without an archive";
        } catch (const EAbNoArchive& error) {
            EXPECT_EQ(error.Message(), u"Archive does not exist - Filename is blank");
        }
    }
    if (fs::exists(out)) {
        EXPECT_TRUE(filesIn(out).empty());
    }
}

fs::path goodPack(const fs::path& folder) {
    return makeCabinet(folder, "pack.themepack", themePackMembers(), CabMaker::GcabMszip);
}

const FailureRow kFailureRows[] = {
    FailureRow{"MissingFile",
               [](const fs::path& f) { return f / "gone.themepack"; },
               u"",
               false,
               true,
               {}},
    FailureRow{"NotACabinet",
               [](const fs::path& f) {
                   writeFile(f / "pack.themepack", std::string(4000, 'z'));
                   return f / "pack.themepack";
               },
               u"",
               false,
               true,
               {}},
    FailureRow{"EmptyFile",
               [](const fs::path& f) {
                   writeFile(f / "pack.themepack", std::string());
                   return f / "pack.themepack";
               },
               u"Invalid file - not a cabinet file",
               true,
               false,
               {0}},
    FailureRow{"DamagedCabinet",
               [](const fs::path& f) {
                   fs::path pack = goodPack(f);
                   auto bytes = readFile(pack);
                   bytes.resize(44);  // header and folder entry: the file table is gone
                   writeFile(pack, bytes);
                   return pack;
               },
               u"FDI cannot enumerate files",
               true,
               false,
               {0}},
    FailureRow{"UnreadableFile",
               [](const fs::path& f) {
                   fs::path pack = goodPack(f);
                   testsupport::makeUnreadable(pack, f);
                   return pack;
               },
               u"Cannot open file \"",
               false,
               false,
               {},
               true},
#ifndef _WIN32  // no pipes in a Windows file system
                // A pipe is refused at once, never waited on.
    FailureRow{"Fifo",
               [](const fs::path& f) {
                   ::mkfifo((f / "pack.themepack").c_str(), 0600);
                   return f / "pack.themepack";
               },
               u"Cannot open file \"",
               true,
               false,
               {}},
#endif
    FailureRow{"NoCabinetLibrary",
               goodPack,
               u"Cannot load cabinet.dll",
               false,
               false,
               {},
               false,
               "libno-such-cabinet.so"},
    FailureRow{"MissingBaseDirectory",
               [](const fs::path& f) {
                   fs::remove(f / "out");
                   return goodPack(f);
               },
               u"Directory does not exist",
               true,
               false,
               {}}};

INSTANTIATE_TEST_SUITE_P(Packs, FailureTableTest, ::testing::ValuesIn(kFailureRows),
                         [](const auto& info) { return std::string(info.param.label); });

}  // namespace

namespace {

TEST(CabExtractorTest, NewExtractorHasNoArchive) {
    Extractor e;
    TAbCabExtractor& x = e.component;
    EXPECT_EQ(x.ArchiveType(), TAbArchiveType::atCab);
    EXPECT_EQ(x.ExtractOptions(), TAbExtractOptions{eoCreateDirs});
    EXPECT_EQ(x.SetID(), 0);
    EXPECT_EQ(x.CabSize(), 0);
    EXPECT_FALSE(x.HasNext());
    EXPECT_EQ(x.Items(0), nullptr);
    EXPECT_EQ(x.CabArchive(), nullptr);
    EXPECT_EQ(x.Count(), 0);
    EXPECT_EQ(x.Status(), asInvalid);
    EXPECT_EQ(x.FindFile(u"img1.jpg"), -1);
    EXPECT_EQ(x.Version(), u"5.0");
    x.SetVersion(u"9.9");
    EXPECT_EQ(x.Version(), u"5.0");
    EXPECT_THROW(x.ExtractFiles(u"*.*"), EAbNoArchive);
    EXPECT_THROW(x.TagItems(u"*.jpg"), EAbNoArchive);
    EXPECT_THROW(static_cast<TAbBaseBrowser&>(x).Items(0), EAbNoArchive);
    x.CloseArchive();  // nothing open, no name: nothing happens
    EXPECT_EQ(e.changes, 0);
}

class OpenPackTest : public ::testing::Test {
protected:
    ScratchFolder folder;
    fs::path out = [this] {
        fs::create_directory(folder / "out");
        return folder / "out";
    }();
    fs::path pack =
        makeCabinet(folder.path(), "pack.themepack", themePackMembers(), CabMaker::GcabMszip);
};

TEST_F(OpenPackTest, SetIDReadsTheOpenCabinetsIdentifier) {
    auto bytes = readFile(pack);
    bytes[32] = 0xD2, bytes[33] = 0x04;  // the header's set identifier: 1234
    writeFile(pack, bytes);
    Extractor e;
    e.component.SetSetID(5);
    EXPECT_EQ(e.component.SetID(), 0);
    e.component.SetFileName(u16(pack));
    EXPECT_EQ(e.component.SetID(), 1234);
}

TEST_F(OpenPackTest, WritingTheSameNameAgainReopensTheFile) {
    Extractor e;
    e.component.SetFileName(u16(pack));
    TAbCabArchive* first = e.component.CabArchive();
    e.component.SetFileName(u16(pack));
    EXPECT_NE(e.component.CabArchive(), nullptr);
    EXPECT_EQ(e.progress, (std::vector<int>{100, 0, 100}));
    EXPECT_EQ(e.changes, 2);
    EXPECT_EQ(e.loads, 2);
    (void)first;
}

TEST_F(OpenPackTest, EmptyNameClosesTheArchive) {
    Extractor e;
    e.component.SetFileName(u16(pack));
    EXPECT_EQ(e.component.Count(), 3);
    e.component.CloseArchive();
    EXPECT_EQ(e.component.CabArchive(), nullptr);
    EXPECT_EQ(e.component.Count(), 0);
    EXPECT_EQ(e.progress, (std::vector<int>{100, 0}));
    EXPECT_EQ(e.changes, 2);
}

TEST_F(OpenPackTest, DesignTimeOnlyStoresTheName) {
    Extractor e;
    e.component.SetDesigning(true);
    e.component.SetFileName(u16(pack));
    EXPECT_EQ(e.component.FileName(), u16(pack));
    EXPECT_EQ(e.component.CabArchive(), nullptr);
    EXPECT_EQ(e.changes, 0);
}

TEST_F(OpenPackTest, ExtractOptionsReachTheOpenArchiveAtOnce) {
    Extractor e;
    e.component.SetBaseDirectory(u16(out));
    e.component.SetFileName(u16(pack));
    e.component.SetExtractOptions({eoCreateDirs, eoRestorePath});
    EXPECT_EQ(e.component.CabArchive()->ExtractOptions(),
              (TAbExtractOptions{eoCreateDirs, eoRestorePath}));
    e.component.ExtractFiles(u"*.jpg");
    EXPECT_TRUE(fs::exists(out / "DesktopBackground" / "img1.jpg"));
}

TEST_F(OpenPackTest, BaseDirectoryIsNormalisedByTheOpenArchive) {
    Extractor e;
    const std::u16string separator = fs::path(u"/").make_preferred().u16string();
    std::u16string withSlash = u16(out) + separator;
    e.component.SetBaseDirectory(withSlash);
    EXPECT_EQ(e.component.BaseDirectory(), withSlash);  // stored as written
    e.component.SetFileName(u16(pack));
    EXPECT_EQ(e.component.BaseDirectory(), u16(out));
    EXPECT_THROW(e.component.SetBaseDirectory(u16(folder / "missing")), EAbNoSuchDirectory);
    EXPECT_EQ(e.component.BaseDirectory(), u16(out));
    e.component.SetBaseDirectory(separator);
    EXPECT_EQ(e.component.BaseDirectory(), separator);  // a root keeps its separator
}

TEST_F(OpenPackTest, OverwriteHandlerMayRefuseOrRename) {
    writeFile(out / "img1.jpg", std::string("mine"));
    Extractor e;
    std::vector<std::u16string> asked;
    e.component.SetOnConfirmOverwrite([&](std::u16string& name, bool& confirm) {
        EXPECT_TRUE(confirm);
        asked.push_back(name);
        confirm = false;
    });
    e.component.SetBaseDirectory(u16(out));
    e.component.SetFileName(u16(pack));
    e.component.ExtractFiles(u"*.jpg;*.png");
    EXPECT_EQ(asked, std::vector<std::u16string>{u16(out / "img1.jpg")});
    EXPECT_EQ(contentOf(out / "img1.jpg"), "mine");
    EXPECT_TRUE(fs::exists(out / "img2.PNG"));
}

TEST_F(OpenPackTest, WithoutAnOverwriteHandlerExistingFilesAreReplaced) {
    writeFile(out / "img1.jpg", std::string("older"));
    Extractor e;
    e.component.SetBaseDirectory(u16(out));
    e.component.SetFileName(u16(pack));
    e.component.ExtractFiles(u"*.jpg;*.png");
    EXPECT_EQ(contentOf(out / "img1.jpg"), themePackMembers()[0].content);
    EXPECT_EQ(filesIn(out), (std::vector<std::string>{"img1.jpg", "img2.PNG"}));
}

// A progress display component, as a window would place one.
class Meter : public TComponent, public IAbProgressMeter {
public:
    Meter(std::vector<std::string>& log, std::string tag)
        : TComponent(nullptr), FLog(log), FTag(std::move(tag)) {}
    void ShowProgress(uint8_t p) override { FLog.push_back(FTag + " " + std::to_string(p)); }
    void ResetProgress() override { FLog.push_back(FTag + " reset"); }

private:
    std::vector<std::string>& FLog;
    std::string FTag;
};

TEST_F(OpenPackTest, MetersFollowTheirLevels) {
    std::vector<std::string> log;
    Meter itemMeter(log, "item");
    Extractor e;
    e.component.SetItemProgressMeter(&itemMeter);
    e.component.SetBaseDirectory(u16(out));
    e.component.SetFileName(u16(pack));
    log.clear();
    e.component.ExtractFiles(u"*.jpg;*.png");
    // Reset before each item processed; archive-level percentages go elsewhere.
    EXPECT_EQ(log, (std::vector<std::string>{"item reset", "item reset"}));
    EXPECT_EQ(e.progress, (std::vector<int>{100, 33, 66, 100, 100}));

    Meter archiveMeter(log, "archive");
    e.component.SetArchiveProgressMeter(&archiveMeter);
    log.clear();
    e.component.CloseArchive();
    EXPECT_EQ(log, (std::vector<std::string>{"archive 0"}));
}

TEST(CabExtractorMeterTest, DestroyingAMeterClearsOnlyItsReference) {
    std::vector<std::string> log;
    Extractor e;
    auto* itemMeter = new Meter(log, "item");
    Meter archiveMeter(log, "archive");
    e.component.SetItemProgressMeter(itemMeter);
    e.component.SetArchiveProgressMeter(&archiveMeter);
    delete itemMeter;
    EXPECT_EQ(e.component.ItemProgressMeter(), nullptr);
    EXPECT_EQ(e.component.ArchiveProgressMeter(), &archiveMeter);

    auto* both = new Meter(log, "both");
    e.component.SetItemProgressMeter(both);
    e.component.SetArchiveProgressMeter(both);
    delete both;
    EXPECT_EQ(e.component.ItemProgressMeter(), nullptr);
    EXPECT_EQ(e.component.ArchiveProgressMeter(), nullptr);
}

TEST_F(OpenPackTest, RestoredComponentOpensItsFileWithEverythingElseInPlace) {
    TStoredProperties stored;
    {
        TAbCabExtractor window(nullptr);
        window.SetName(u"AbCabExtractor1");
        window.SetBaseDirectory(u16(out));
        window.SetOnArchiveProgress([](TComponent&, uint8_t, bool&) {});
        window.SetDesigning(true);
        window.SetFileName(u16(pack));
        stored = SaveComponent(window);
    }
    std::vector<std::u16string> names;
    for (const auto& [name, value] : stored) names.push_back(name);
    EXPECT_EQ(names, (std::vector<std::u16string>{u"Name", u"BaseDirectory", u"OnArchiveProgress",
                                                  u"SetID", u"FileName"}));

    // The restored handler must be the one that hears the archive load: replace it with a
    // recording one, as a window's restore would bind its own method.
    std::vector<int> heard;
    for (auto& [name, value] : stored) {
        if (name == u"OnArchiveProgress") {
            value = TAbBrowserProgressEvent(
                [&heard](TComponent&, uint8_t p, bool&) { heard.push_back(p); });
        }
    }
    int changes = 0;
    {
        TAbCabExtractor restored(nullptr);
        restored.SetOnChange([&](TComponent&) { ++changes; });
        RestoreComponent(restored, stored);
        ASSERT_NE(restored.CabArchive(), nullptr);
        EXPECT_EQ(restored.CabArchive()->BaseDirectory(), u16(out));
        EXPECT_EQ(heard, std::vector<int>{100});
        EXPECT_EQ(changes, 2);  // the FileName write, then Loaded
        EXPECT_EQ(restored.Name(), u"AbCabExtractor1");
    }
}

}  // namespace
