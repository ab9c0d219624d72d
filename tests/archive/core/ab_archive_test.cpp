#include "archive/core/ab_archive.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <filesystem>
#include <limits>
#include <sstream>

#include "../../util/support/stored_name_cases.h"
#include "../../util/support/symbolic_links.h"
#include "archive/core/ab_text.h"
#include "archive/core/ab_utils.h"
#include "support/memory_archive.h"
#include "support/temp_folder.h"
#include "util/errors.h"
#include "util/utf16_text.h"

namespace fs = std::filesystem;

namespace {

using Journal = std::vector<std::string>;

// An archive loaded from members, extracting into a fresh "out" folder under a temporary one.
class ArchiveTest : public ::testing::Test {
protected:
    void open(std::vector<MemoryMember> members, TAbExtractOptions options = {eoCreateDirs}) {
        fs::create_directory(temp.path() / "out");
        archive = std::make_unique<MemoryArchive>(std::move(members));
        archive->SetBaseDirectory(base());
        archive->SetExtractOptions(options);
        archive->Load();
        archive->journal.clear();
        archive->recordEvents();
    }
    std::u16string base() const { return temp.u16(u"out"); }
    // A path under the out folder, as the archive writes it: with this system's separators.
    std::string out(const std::string& relative) const {
        return u8(base() + nativeSeparators(u"/" + utf8ToUtf16(relative)));
    }

    TempFolder temp;
    std::unique_ptr<MemoryArchive> archive;
};

TEST_F(ArchiveTest, NewArchiveDefaults) {
    MemoryArchive fresh;
    EXPECT_EQ(fresh.Status(), asIdle);
    EXPECT_TRUE(fresh.ExtractOptions().Empty());
    EXPECT_TRUE(fresh.StoreOptions().Empty());
    EXPECT_FALSE(fresh.IsDirty());
    EXPECT_FALSE(fresh.AutoSave());
    EXPECT_EQ(fresh.Count(), 0);
    EXPECT_TRUE(static_cast<bool>(fresh.OnProgress()));
    const std::u16string programFolder = FolderOf(platform::programFilePath());
    EXPECT_EQ(fresh.BaseDirectory(), programFolder);
    EXPECT_NE(fresh.BaseDirectory().back(), u'/');
}

TEST_F(ArchiveTest, BaseDirectorySetter) {
    MemoryArchive fresh;
    const std::u16string root = nativeSeparators(u"/");
    fresh.SetBaseDirectory(temp.u16() + root);
    EXPECT_EQ(fresh.BaseDirectory(), temp.u16());
    fresh.SetBaseDirectory(root);
    EXPECT_EQ(fresh.BaseDirectory(), root);
    fresh.SetBaseDirectory(u"");
    EXPECT_EQ(fresh.BaseDirectory(), u"");
    fresh.SetBaseDirectory(temp.u16());
    EXPECT_THROW(fresh.SetBaseDirectory(temp.u16(u"missing")), EAbNoSuchDirectory);
    EXPECT_EQ(fresh.BaseDirectory(), temp.u16());
}

TEST_F(ArchiveTest, LoadFailureStillRaisesOnLoadOnce) {
    MemoryArchive fresh;
    fresh.FStatus = asInvalid;
    fresh.readDirectoryFailure = [] { throw EAbInvalidCabFile(); };
    int loads = 0;
    fresh.SetOnLoad([&](TAbArchive&) { ++loads; });
    EXPECT_THROW(fresh.Load(), EAbInvalidCabFile);
    EXPECT_EQ(loads, 1);
    EXPECT_EQ(fresh.Status(), asInvalid);
}

TEST_F(ArchiveTest, BareNamesGoToTheBaseDirectoryAndTheLaterOneOverwrites) {
    open({{u"a\\1.jpg", "first"}, {u"b/1.jpg", "second"}, {u"readme.txt", "r"}});
    archive->ExtractFiles(u"*.jpg;*.png");
    EXPECT_EQ(archive->journal,
              (Journal{"confirm extract a\\1.jpg", "write " + out("1.jpg"), "progress 33",
                       "confirm extract b/1.jpg", "overwrite " + out("1.jpg"),
                       "write " + out("1.jpg"), "progress 66", "progress 100", "progress 100"}));
    EXPECT_EQ(temp.readFile(u"out/1.jpg"), "second");
    EXPECT_FALSE(fs::exists(temp.path() / "out" / "a"));
}

TEST_F(ArchiveTest, RestorePathRecreatesStoredFolders) {
    open({{u"a\\1.jpg", "first"}, {u"b/1.jpg", "second"}, {u"readme.txt", "r"}},
         {eoCreateDirs, eoRestorePath});
    archive->ExtractFiles(u"*.jpg;*.png");
    EXPECT_EQ(archive->journal,
              (Journal{"confirm extract a\\1.jpg", "write " + out("a/1.jpg"), "progress 33",
                       "confirm extract b/1.jpg", "write " + out("b/1.jpg"), "progress 66",
                       "progress 100", "progress 100"}));
    EXPECT_EQ(temp.readFile(u"out/a/1.jpg"), "first");
    EXPECT_EQ(temp.readFile(u"out/b/1.jpg"), "second");
}

TEST_F(ArchiveTest, WithoutOptionsTheBareNameNeedsNoFolder) {
    open({{u"x\\1.jpg", "one"}}, {});
    archive->ExtractFiles(u"*.jpg");
    EXPECT_EQ(temp.readFile(u"out/1.jpg"), "one");
}

TEST_F(ArchiveTest, RestorePathWithoutCreateDirsNeedsTheFolder) {
    open({{u"x\\1.jpg", "one"}, {u"2.jpg", "two"}}, {eoRestorePath});
    EXPECT_THROW(archive->ExtractFiles(u"*.jpg"), EAbNoSuchDirectory);
    EXPECT_EQ(archive->journal, (Journal{"confirm extract x\\1.jpg"}));
    fs::create_directory(temp.path() / "out" / "x");
    archive->journal.clear();
    archive->ExtractFiles(u"*.jpg");
    EXPECT_EQ(temp.readFile(u"out/x/1.jpg"), "one");
    EXPECT_EQ(temp.readFile(u"out/2.jpg"), "two");
}

TEST_F(ArchiveTest, RefusedItemIsSkippedButCounted) {
    open({{u"a.jpg", "a"}, {u"b.jpg", "b"}});
    temp.writeFile(u"out/a.jpg", "old");
    archive->SetOnConfirmProcessItem(
        [&](TAbArchive&, TAbArchiveItem* item, TAbProcessType, bool& confirm) {
            archive->journal.push_back("confirm " + u8(item->FileName()));
            confirm = item->FileName() != u"a.jpg";
        });
    archive->ExtractFiles(u"*.jpg");
    EXPECT_EQ(archive->journal, (Journal{"confirm a.jpg", "progress 50", "confirm b.jpg",
                                         "write " + out("b.jpg"), "progress 100", "progress 100"}));
    EXPECT_EQ(temp.readFile(u"out/a.jpg"), "old");
}

TEST_F(ArchiveTest, OverwriteRefusalKeepsTheFileAndARenamedTargetIsUsedAsGiven) {
    open({{u"a.jpg", "new a"}, {u"b.jpg", "new b"}});
    temp.writeFile(u"out/a.jpg", "old a");
    temp.writeFile(u"out/b.jpg", "old b");
    const std::u16string elsewhere = temp.u16(u"elsewhere.jpg");
    archive->SetOnConfirmOverwrite([&](std::u16string& name, bool& confirm) {
        if (NamePart(name, NativePathStyle) == u"a.jpg") {
            confirm = false;
        } else {
            name = elsewhere;
        }
    });
    archive->ExtractFiles(u"*");
    EXPECT_EQ(temp.readFile(u"out/a.jpg"), "old a");
    EXPECT_EQ(temp.readFile(u"out/b.jpg"), "old b");
    EXPECT_EQ(temp.readFile(u"elsewhere.jpg"), "new b");
}

struct FailureCase {
    const char* label;
    std::function<void()> raise;
    TAbErrorClass errorClass;
    int32_t code;
};
class ItemFailureTest : public ArchiveTest, public ::testing::WithParamInterface<FailureCase> {};

TEST_P(ItemFailureTest, IsReportedAndTheOthersAreExtracted) {
    open({{u"a.jpg", "a"}, {u"bad.jpg", "b"}, {u"c.jpg", "c"}});
    archive->extractionFailures[u"bad.jpg"] = GetParam().raise;
    archive->ExtractFiles(u"*.jpg");
    const std::string failure = "failure extract bad.jpg " + std::to_string(GetParam().errorClass) +
                                " " + std::to_string(GetParam().code);
    EXPECT_EQ(archive->journal,
              (Journal{"confirm extract a.jpg", "write " + out("a.jpg"), "progress 33",
                       "confirm extract bad.jpg", "write " + out("bad.jpg"), failure, "progress 66",
                       "confirm extract c.jpg", "write " + out("c.jpg"), "progress 100",
                       "progress 100"}));
    EXPECT_EQ(temp.readFile(u"out/c.jpg"), "c");
}

INSTANTIATE_TEST_SUITE_P(
    Kinds, ItemFailureTest,
    ::testing::Values(FailureCase{"Create", [] { throw EFCreateError(u"x", u"no"); },
                                  ecFileCreateError, 0},
                      FailureCase{"Io", [] { throw EInOutError(EACCES); }, ecInOutError, EACCES},
                      FailureCase{"Archive", [] { throw EAbFDICopyError(); }, ecCorvana, 61},
                      FailureCase{"AbortProgress", [] { throw EAbAbortProgress(); }, ecOther, 0},
                      FailureCase{"Foreign", [] { throw 1; }, ecOther, 0}),
    [](const auto& info) { return std::string(info.param.label); });

TEST_F(ArchiveTest, AbortAfterTheFirstMemberEndsTheRun) {
    open({{u"a.jpg", "a"}, {u"b.jpg", "b"}, {u"c.jpg", "c"}});
    archive->SetOnArchiveProgress([&](TAbArchive&, uint8_t progress, bool& abort) {
        archive->journal.push_back("progress " + std::to_string(progress));
        abort = true;
    });
    EXPECT_THROW(archive->ExtractFiles(u"*.jpg"), EAbUserAbort);
    EXPECT_EQ(archive->journal,
              (Journal{"confirm extract a.jpg", "write " + out("a.jpg"), "progress 33"}));
    EXPECT_EQ(temp.readFile(u"out/a.jpg"), "a");
}

TEST_F(ArchiveTest, EmptyArchiveRaisesNoEvent) {
    open({});
    archive->ExtractFiles(u"*");
    archive->ExtractTaggedItems();
    archive->TestTaggedItems();
    EXPECT_TRUE(archive->journal.empty());
}

TEST_F(ArchiveTest, SingleMemberReportsHundredTwice) {
    open({{u"a.txt", "a"}});
    archive->ExtractFiles(u"*.jpg");
    EXPECT_EQ(archive->journal, (Journal{"progress 100", "progress 100"}));
}

TEST_F(ArchiveTest, ExclusionMaskAndFolderItems) {
    open({{u"pics\\", "", true}, {u"pics\\a.jpg", "a"}, {u"pics\\b.png", "b"}},
         {eoCreateDirs, eoRestorePath});
    archive->ExtractFilesEx(u"*", u"*.png");
    EXPECT_TRUE(fs::is_directory(temp.path() / "out" / "pics"));
    EXPECT_EQ(temp.readFile(u"out/pics/a.jpg"), "a");
    EXPECT_FALSE(fs::exists(temp.path() / "out" / "pics" / "b.png"));
    // Without both options a folder member yields no output at all.
    archive->SetExtractOptions({eoCreateDirs});
    archive->journal.clear();
    archive->ExtractAt(0, u"");
    EXPECT_EQ(archive->journal, (Journal{"confirm extract pics\\"}));
}

// Every stored name of the shared table, extracted by the archive beside a good member: a
// refused name fails alone, with its reason, and nothing is written beside the base
// directory; an accepted one lands where the rule says.
class StoredNameTest : public ArchiveTest, public ::testing::WithParamInterface<size_t> {};

TEST_P(StoredNameTest, FollowsTheMemberPathRule) {
    const storednames::Case& c = storednames::cases()[GetParam()];
    const std::string expected = storednames::onThisPlatform(c);
    fs::create_directories(temp.path() / "out" / "x");
    const std::u16string stored = utf8ToUtf16(c.stored);
    open({{stored, "payload"}, {u"good.jpg", "good"}},
         c.keepFolders ? TAbExtractOptions{eoCreateDirs, eoRestorePath}
                       : TAbExtractOptions{eoCreateDirs});
    // One by one: a name that ends in a separator matches no mask.
    archive->ExtractAt(0, u"");
    archive->ExtractAt(1, u"");
    const std::string failure = expected == storednames::kLeavesFolder    ? " 0 300"
                                : expected == storednames::kBadCharacters ? " 6 0"
                                                                          : "";
    const std::string written =
        failure.empty() ? "write " + out(expected) : "failure extract " + c.stored + failure;
    EXPECT_EQ(archive->journal, (Journal{"confirm extract " + c.stored, written,
                                         "confirm extract good.jpg", "write " + out("good.jpg")}));
    EXPECT_EQ(temp.readFile(u"out/good.jpg"), "good");
    if (failure.empty()) {
        EXPECT_EQ(temp.readFile(utf8ToUtf16("out/" + expected)), "payload");
    }
    // Nothing was written beside the base directory.
    for (const auto& entry : fs::recursive_directory_iterator(temp.path())) {
        const auto relative = fs::relative(entry.path(), temp.path()).u16string();
        EXPECT_TRUE(relative.starts_with(u"out")) << entry.path();
    }
}

INSTANTIATE_TEST_SUITE_P(Names, StoredNameTest,
                         ::testing::Range<size_t>(0, storednames::cases().size()),
                         [](const auto& info) { return storednames::caseTitle(info.param); });

// A stored folder that is a symbolic link inside the base directory would carry the member
// wherever the link points: that member is refused, the others are extracted.
TEST_F(ArchiveTest, StoredFolderThatIsALinkIsRefused) {
    fs::create_directories(temp.path() / "out");
    fs::create_directories(temp.path() / "elsewhere");
    if (!testsupport::makeSymbolicLink(temp.path() / "elsewhere", temp.path() / "out" / "sub",
                                       true))
        GTEST_SKIP() << testsupport::kNoSymbolicLinks;
    open({{u"sub\\deeper\\x.jpg", "x"}, {u"y.jpg", "y"}}, {eoCreateDirs, eoRestorePath});
    archive->ExtractFiles(u"*.jpg");
    EXPECT_EQ(archive->journal, (Journal{"confirm extract sub\\deeper\\x.jpg",
                                         "failure extract sub\\deeper\\x.jpg 0 301", "progress 50",
                                         "confirm extract y.jpg", "write " + out("y.jpg"),
                                         "progress 100", "progress 100"}));
    EXPECT_TRUE(fs::is_empty(temp.path() / "elsewhere"));
    EXPECT_EQ(temp.readFile(u"out/y.jpg"), "y");
}

TEST_F(ArchiveTest, CallerGivenNameIsTrusted) {
    open({{u"..\\a.jpg", "a"}}, {eoCreateDirs, eoRestorePath});
    fs::create_directory(temp.path() / "chosen");
    archive->ExtractAt(0, temp.u16(u"chosen/a.jpg"));
    EXPECT_EQ(temp.readFile(u"chosen/a.jpg"), "a");
    archive->ExtractAt(0, u"relative.jpg");
    EXPECT_EQ(temp.readFile(u"out/relative.jpg"), "a");
}

// A bare name with a character this platform cannot store fails that member alone, with
// the reason; the members after it are extracted.
TEST_F(ArchiveTest, InvalidCharacterInTheBareNameFailsThatMemberAlone) {
    open({{u"x\\a\x1b[2Jb.jpg", "x"}, {u"c.jpg", "c"}});
    std::vector<std::u16string> failures;
    archive->SetOnProcessItemFailure([&](TAbArchive&, TAbArchiveItem* item, TAbProcessType,
                                         TAbErrorClass, int32_t) {
        failures.push_back(item->FileName() + u": " + exceptionMessage(std::current_exception()));
    });
    archive->ExtractFiles(u"*.jpg");
    EXPECT_EQ(failures,
              std::vector<std::u16string>{u"x\\a\x1b[2Jb.jpg: Invalid characters in path"});
    EXPECT_EQ(temp.readFile(u"out/c.jpg"), "c");
    EXPECT_EQ(std::distance(fs::directory_iterator(temp.path() / "out"), {}), 1);
}

// The base directory is the caller's, not the archive's: a character that may not stand in
// it ends the whole run.
TEST_F(ArchiveTest, InvalidCharacterInTheBaseDirectoryEndsTheRun) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows cannot make such a folder";
#endif
    const fs::path odd = temp.path() / "out\x01";
    fs::create_directories(odd);
    open({{u"a.jpg", "a"}});
    archive->SetBaseDirectory(odd.u16string());
    EXPECT_THROW(archive->ExtractFiles(u"*.jpg"), EInvalidPathChars);
    EXPECT_TRUE(fs::is_empty(odd));
}

// Characters that only Windows cannot store are ordinary in a POSIX base directory.
TEST_F(ArchiveTest, WindowsOnlyCharactersInAPosixBaseDirectory) {
#ifdef _WIN32
    GTEST_SKIP() << "Windows cannot make such a folder";
#endif
    const fs::path odd = temp.path() / "a|b \"<q>";
    fs::create_directories(odd);
    open({{u"a.jpg", "a"}});
    archive->SetBaseDirectory(odd.u16string());
    archive->ExtractFiles(u"*.jpg");
    EXPECT_EQ(temp.readFile(u"a|b \"<q>/a.jpg"), "a");
}

TEST_F(ArchiveTest, TaggingAndLookup) {
    open({{u"a.jpg", ""}, {u"b.png", ""}, {u"c.txt", ""}, {u"d.PNG", ""}});
    archive->TagItems(u"*.jpg");
    archive->TagItems(u"*.png");
    auto tagged = [&] {
        std::string marks;
        for (const TAbArchiveItem* item : archive->ItemList()) marks += item->Tagged() ? 'T' : '-';
        return marks;
    };
    EXPECT_EQ(tagged(), "TT-T");
    archive->UnTagItems(u"*.png");
    EXPECT_EQ(tagged(), "T---");
    archive->ClearTags();
    EXPECT_EQ(tagged(), "----");

    TAbArchiveItem stranger;
    stranger.SetFileName(u"C.TXT");
    EXPECT_EQ(archive->FindItem(&stranger), 2);
    EXPECT_EQ(archive->FindFile(u"d.png"), 3);
    EXPECT_EQ(archive->FindFile(u"e.png"), -1);
}

TEST_F(ArchiveTest, TaggedExtractionAndTesting) {
    open({{u"a.jpg", "a"}, {u"b.jpg", "b"}});
    archive->TagItems(u"b.jpg");
    archive->ExtractTaggedItems();
    archive->TestTaggedItems();
    EXPECT_EQ(
        archive->journal,
        (Journal{"progress 50", "confirm extract b.jpg", "write " + out("b.jpg"), "progress 100",
                 "progress 100", "progress 50", "verify b.jpg", "progress 100", "progress 100"}));
    EXPECT_EQ(archive->CurrentItem(), archive->ItemList()[1]);
}

TEST_F(ArchiveTest, ExtractToStream) {
    open({{u"a.jpg", "alpha"}, {u"bad.jpg", "b"}});
    archive->extractionFailures[u"bad.jpg"] = [] { throw EFilerError(u"bad data"); };
    std::ostringstream stream;
    archive->ExtractToStream(u"A.JPG", stream);
    EXPECT_EQ(stream.str(), "alpha");
    archive->ExtractToStream(u"missing.jpg", stream);
    archive->ExtractToStream(u"bad.jpg", stream);
    EXPECT_EQ(archive->journal,
              (Journal{"confirm extract a.jpg", "stream a.jpg", "confirm extract bad.jpg",
                       "stream bad.jpg", "failure extract bad.jpg 2 0"}));
}

TEST_F(ArchiveTest, InvalidArchiveRefusesItemOperationsButNotTagging) {
    open({{u"a.jpg", "a"}});
    archive->FStatus = asInvalid;
    try {
        archive->ExtractFiles(u"*");
        FAIL() << "nothing raised";
    } catch (const EAbNoArchive& e) {
        EXPECT_EQ(e.Message(), u"Archive does not exist - Filename is blank");
    }
    EXPECT_THROW(archive->ExtractAt(0, u""), EAbNoArchive);
    EXPECT_THROW(archive->TestTaggedItems(), EAbNoArchive);
    archive->TagItems(u"*");
    EXPECT_TRUE(archive->ItemList()[0]->Tagged());
    EXPECT_EQ(archive->FindFile(u"a.jpg"), 0);
}

TEST_F(ArchiveTest, ItemProgressReachesTheCurrentItem) {
    open({{u"a.jpg", "a"}});
    std::vector<std::pair<TAbArchiveItem*, int>> reports;
    archive->SetOnArchiveItemProgress(
        [&](TAbArchive&, TAbArchiveItem* item, uint8_t progress, bool& abort) {
            reports.emplace_back(item, progress);
            abort = progress == 90;
        });
    archive->TagItems(u"*");
    archive->TestTaggedItems();  // makes a.jpg the current item
    archive->DoInflateProgress(0x132);
    bool abort = true;
    archive->OnProgress()(40, abort);
    EXPECT_FALSE(abort);
    EXPECT_THROW(archive->DoDeflateProgress(90), EAbAbortProgress);
    TAbArchiveItem* current = archive->ItemList()[0];
    EXPECT_EQ(reports, (std::vector<std::pair<TAbArchiveItem*, int>>{
                           {current, 0x32}, {current, 40}, {current, 90}}));
}

TEST_F(ArchiveTest, SpanningIsNotSupported) {
    open({});
    std::u16string name;
    bool abort = false;
    EXPECT_THROW(archive->DoSpanningMediaRequest(*archive, 2, name, abort),
                 EAbSpanningNotSupported);
}

TEST_F(ArchiveTest, SaveOnlyWhenDirtyOrEmpty) {
    open({{u"a.jpg", "a"}});
    archive->Save();
    EXPECT_EQ(archive->writeArchiveCalls, 0);
    EXPECT_TRUE(archive->journal.empty());

    archive->SetIsDirty(true);
    archive->SetOnConfirmSave([](TAbArchive&, bool& confirm) { confirm = false; });
    archive->Save();
    EXPECT_EQ(archive->writeArchiveCalls, 0);
    EXPECT_TRUE(archive->IsDirty());

    archive->SetOnConfirmSave({});
    archive->Save();
    EXPECT_EQ(archive->writeArchiveCalls, 1);
    EXPECT_FALSE(archive->IsDirty());
    EXPECT_EQ(archive->journal, (Journal{"saved"}));

    MemoryArchive empty;
    empty.Save();
    EXPECT_EQ(empty.writeArchiveCalls, 1) << "a clean empty archive is written";
}

TEST_F(ArchiveTest, PendingActionSavesBeforeExtraction) {
    open({{u"a.jpg", "a"}});
    archive->ItemList()[0]->SetAction(aaFreshen);
    archive->SetIsDirty(true);
    archive->ExtractFiles(u"*");
    ASSERT_GE(archive->journal.size(), 3u);
    EXPECT_EQ(archive->journal[0], "save a.jpg:" + std::to_string(aaFreshen));
    EXPECT_EQ(archive->journal[1], "saved");
    EXPECT_EQ(archive->journal[2], "confirm extract a.jpg");
    EXPECT_EQ(archive->ItemList()[0]->Action(), aaNone);
}

// Reads a UTF-16LE log file back.
std::u16string readLog(const TempFolder& temp, const std::u16string& name) {
    const std::string bytes = temp.readFile(name);
    std::u16string text;
    for (size_t i = 0; i + 1 < bytes.size(); i += 2) {
        text += static_cast<char16_t>(static_cast<unsigned char>(bytes[i]) |
                                      static_cast<unsigned char>(bytes[i + 1]) << 8);
    }
    return text;
}

TEST_F(ArchiveTest, LogHasOneLinePerConfirmedItem) {
    open({{u"\u00E9t\u00E9.jpg", "a"}, {u"b.jpg", "b"}, {u"c.txt", "c"}});
    archive->SetOnConfirmProcessItem([](TAbArchive&, TAbArchiveItem* item, TAbProcessType,
                                        bool& confirm) { confirm = item->FileName() != u"b.jpg"; });
    archive->SetLogFile(temp.u16(u"log.txt"));
    archive->SetLogging(true);
    archive->ExtractFiles(u"*.jpg");
    archive->SetLogging(false);
    const std::u16string log = readLog(temp, u"log.txt");
    const std::string bytes = temp.readFile(u"log.txt");
    ASSERT_GE(bytes.size(), 2u);
    EXPECT_NE(bytes.substr(0, 2), "\xFF\xFE") << "no byte-order mark";
    std::vector<std::u16string> lines;
    size_t start = 0;
    for (size_t end; (end = log.find(u"\r\n", start)) != log.npos; start = end + 2) {
        lines.push_back(log.substr(start, end - start));
    }
    EXPECT_EQ(start, log.size()) << "every line ends in CR LF";
    ASSERT_EQ(lines.size(), 2u);
    EXPECT_TRUE(lines[0].starts_with(u" logging ")) << "the archive has no name here";
    EXPECT_TRUE(lines[1].starts_with(u"\u00E9t\u00E9.jpg extracted "));
    EXPECT_GT(lines[1].size(), std::u16string(u"\u00E9t\u00E9.jpg extracted ").size());
}

TEST_F(ArchiveTest, LogFileThatCannotBeCreated) {
    open({{u"a.jpg", "a"}});
    archive->SetLogFile(temp.u16(u"no/such/folder/log.txt"));
    try {
        archive->SetLogging(true);
        FAIL() << "nothing raised";
    } catch (const EAbException& e) {
        EXPECT_EQ(e.Message(), u"Error creating Log File");
        EXPECT_EQ(e.ErrorCode, 0);
    }
    EXPECT_TRUE(archive->Logging());
    archive->ExtractFiles(u"*");
    EXPECT_EQ(temp.readFile(u"out/a.jpg"), "a");
}

TEST_F(ArchiveTest, FileConstructorOpensOrExplains) {
    const std::u16string missing = temp.u16(u"missing.arc");
    try {
        MemoryArchive opened(missing, fmOpenRead);
        FAIL() << "nothing raised";
    } catch (const EFOpenError& e) {
        EXPECT_EQ(e.Message(),
                  u"Cannot open file \"" + missing + u"\". " + systemErrorText(ENOENT));
    }
    {
        MemoryArchive created(missing, fmCreate);
        EXPECT_EQ(created.ArchiveName(), missing);
        EXPECT_EQ(created.Mode(), fmCreate);
        ASSERT_NE(created.FStream, nullptr);
        *created.FStream << "data";
    }
    EXPECT_EQ(temp.readFile(u"missing.arc"), "data");
    MemoryArchive reopened(missing, fmOpenRead | fmShareDenyNone);
    std::string content;
    *reopened.FStream >> content;
    EXPECT_EQ(content, "data");
}

// Members whose declared sizes do not fit on the target's file system: the extraction is
// refused before anything is looked at or written. Only the chosen members count.
struct FreeSpaceCase {
    const char* label;
    bool tagged;        // ExtractTaggedItems of the JPEG members, else ExtractFiles("*.jpg")
    int64_t jpegSize;   // declared by each of the two JPEG members
    int64_t otherSize;  // declared by the text member, which is never chosen
    bool refused;
};

class FreeSpaceTest : public ArchiveTest, public ::testing::WithParamInterface<FreeSpaceCase> {};

TEST_P(FreeSpaceTest, RefusesBeforeWritingWhatCannotFit) {
    const auto& c = GetParam();
    open({{u"a.jpg", "a"}, {u"b.jpg", "b"}, {u"notes.txt", "n"}});
    archive->ItemList()[0]->SetUncompressedSize(c.jpegSize);
    archive->ItemList()[1]->SetUncompressedSize(c.jpegSize);
    archive->ItemList()[2]->SetUncompressedSize(c.otherSize);
    const auto extract = [&] {
        if (!c.tagged) return archive->ExtractFiles(u"*.jpg");
        archive->TagItems(u"*.jpg");
        archive->ExtractTaggedItems();
    };
    if (!c.refused) {
        extract();
        EXPECT_EQ(temp.readFile(u"out/b.jpg"), "b");
        return;
    }
    try {
        extract();
        FAIL() << "the extraction was not refused";
    } catch (const EAbNotEnoughSpace& e) {
        const std::u16string start = u"not enough free space: needs ";
        EXPECT_EQ(e.Message().substr(0, start.size()), start);
        EXPECT_EQ(e.ErrorCode, 320);
    }
    EXPECT_TRUE(archive->journal.empty());  // no member confirmed, written or counted
    EXPECT_TRUE(fs::is_empty(temp.path() / "out"));
}

// Sizes far beyond any disk the tests run on; an exabyte each.
constexpr int64_t kExabyte = int64_t{1} << 60;

INSTANTIATE_TEST_SUITE_P(
    Sizes, FreeSpaceTest,
    ::testing::Values(FreeSpaceCase{"HugeMembersByMask", false, kExabyte, 1, true},
                      FreeSpaceCase{"HugeTaggedMembers", true, kExabyte, 1, true},
                      // Two members of 2^62.5 would overflow a plain sum into a negative need.
                      FreeSpaceCase{"SumPastTheLargestSize", false,
                                    std::numeric_limits<int64_t>::max() / 2 + 1, 1, true},
                      FreeSpaceCase{"HugeMemberNotChosen", false, 1, kExabyte, false},
                      FreeSpaceCase{"HugeMemberNotTagged", true, 1, kExabyte, false}),
    [](const auto& info) { return std::string(info.param.label); });

}  // namespace
