#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "archive/core/ab_archive.h"
#include "archive/core/ab_text.h"
#include "archive/core/ab_utils.h"
#include "support/memory_archive.h"
#include "support/temp_folder.h"

namespace fs = std::filesystem;

namespace {

using Journal = std::vector<std::string>;

// A loaded in-memory archive whose base directory is a temporary folder.
class WritingTest : public ::testing::Test {
protected:
    void open(std::vector<MemoryMember> members) {
        archive = std::make_unique<MemoryArchive>(std::move(members));
        archive->SetBaseDirectory(temp.u16());
        archive->Load();
        archive->journal.clear();
        archive->recordEvents();
    }
    std::unique_ptr<MemoryItem> item(const std::u16string& name, bool* destroyed = nullptr) {
        auto made = std::make_unique<MemoryItem>();
        made->SetFileName(name);
        made->destroyed = destroyed;
        return made;
    }
    std::string actions() const {
        std::string marks;
        for (const TAbArchiveItem* each : archive->ItemList()) {
            marks += std::to_string(each->Action());
        }
        return marks;
    }
    TempFolder temp;
    std::unique_ptr<MemoryArchive> archive;
};

TEST_F(WritingTest, AddAppendsAConfirmedItemAndMarksTheArchiveDirty) {
    open({{u"a.jpg", "a"}});
    archive->Add(item(u"b.jpg"));
    EXPECT_EQ(archive->Count(), 2);
    EXPECT_EQ(archive->ItemList()[1]->Action(), aaAdd);
    EXPECT_TRUE(archive->IsDirty());
    EXPECT_EQ(archive->journal, (Journal{"confirm add b.jpg"}));
}

TEST_F(WritingTest, AddOfANamePendingDeletionIsAccepted) {
    open({{u"a.jpg", "a"}});
    archive->ItemList()[0]->SetAction(aaDelete);
    archive->Add(item(u"A.JPG"));
    EXPECT_EQ(archive->Count(), 2);
    EXPECT_EQ(archive->journal, (Journal{"confirm add A.JPG"}));
}

TEST_F(WritingTest, DuplicateIsReportedAndFreed) {
    open({{u"a.jpg", "a"}});
    bool destroyed = false;
    archive->Add(item(u"a.JPG", &destroyed));
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(archive->Count(), 1);
    EXPECT_FALSE(archive->IsDirty());
    EXPECT_EQ(archive->journal, (Journal{"failure add a.JPG 0 7"}));
}

TEST_F(WritingTest, RefusedAddFreesTheItem) {
    open({});
    archive->SetOnConfirmProcessItem(
        [](TAbArchive&, TAbArchiveItem*, TAbProcessType, bool& confirm) { confirm = false; });
    bool destroyed = false;
    archive->Add(item(u"a.jpg", &destroyed));
    EXPECT_TRUE(destroyed);
    EXPECT_EQ(archive->Count(), 0);
    EXPECT_FALSE(archive->IsDirty());
}

TEST_F(WritingTest, DuplicateWithReplaceMarksTheExistingItem) {
    open({{u"x\\a.jpg", "a"}});
    archive->SetStoreOptions({soReplace});
    bool destroyed = false;
    archive->Add(item(u"X\\A.JPG", &destroyed));
    EXPECT_TRUE(destroyed);
    ASSERT_EQ(archive->Count(), 1);
    EXPECT_EQ(archive->ItemList()[0]->Action(), aaReplace);
    EXPECT_EQ(archive->ItemList()[0]->DiskFileName(), temp.u16(u"x/a.jpg"));
    EXPECT_TRUE(archive->IsDirty());
}

TEST_F(WritingTest, AutoSaveWritesAfterEachConfirmedOperation) {
    open({{u"a.jpg", "a"}, {u"b.jpg", "b"}});
    archive->SetAutoSave(true);
    archive->DeleteAt(0);
    EXPECT_EQ(archive->writeArchiveCalls, 1);
    EXPECT_FALSE(archive->IsDirty());
    EXPECT_EQ(archive->Count(), 1);
}

TEST_F(WritingTest, AddFilesNeverAddsTheArchiveItself) {
    temp.writeFile(u"one.txt", "1");
    temp.writeFile(u"two.txt", "2");
    temp.writeFile(u"skip.txt", "s");
    temp.writeFile(u"pic.jpg", "p");
    temp.writeFile(u"sub/three.txt", "3");
    const std::u16string archiveName = temp.u16(u"archive.txt");
    temp.writeFile(u"archive.txt", "self");
    archive = std::make_unique<MemoryArchive>(archiveName, fmOpenRead);
    archive->SetBaseDirectory(temp.u16());
    archive->Load();
    const fs::path before = fs::current_path();
    archive->AddFilesEx(u"*.txt", u"skip.txt", 0);
    EXPECT_EQ(fs::current_path(), before);
    std::vector<std::u16string> names;
    for (const TAbArchiveItem* each : archive->ItemList()) {
        names.push_back(each->FileName());
        EXPECT_EQ(each->DiskFileName(), temp.u16(each->FileName()))
            << "found where it was looked up";
    }
    std::sort(names.begin(), names.end());
    EXPECT_EQ(names, (std::vector<std::u16string>{u"one.txt", u"two.txt"}));

    archive->SetStoreOptions({soRecurse});
    archive->AddFiles(u"*.txt", 0);
    EXPECT_GE(archive->FindFile(u"sub\\three.txt"), 0);
    EXPECT_EQ(archive->FindFile(u"archive.txt"), -1);
}

TEST_F(WritingTest, DeleteFilesExWalksFromTheLastItemDown) {
    open({{u"a.txt", ""}, {u"b.jpg", ""}, {u"c.png", ""}, {u"d", ""}});
    archive->DeleteFilesEx(u"*.*", u"*.jpg");
    EXPECT_EQ(archive->journal,
              (Journal{"confirm delete d", "confirm delete c.png", "confirm delete a.txt"}));
    EXPECT_EQ(actions(), "3133");
    EXPECT_EQ(archive->Count(), 4) << "items stay until the archive is written";
    archive->Save();
    EXPECT_EQ(archive->Count(), 1);
}

TEST_F(WritingTest, TaggedDeletionAndDeleteByItem) {
    open({{u"a", ""}, {u"b", ""}, {u"c", ""}});
    archive->TagItems(u"a;c");
    archive->DeleteTaggedItems();
    EXPECT_EQ(actions(), "313");
    TAbArchiveItem stranger;
    stranger.SetFileName(u"B");
    archive->Delete(&stranger);
    EXPECT_EQ(actions(), "333");
}

TEST_F(WritingTest, PendingActionIsSavedBeforeTheNextOne) {
    open({{u"a", ""}});
    archive->ItemList()[0]->SetAction(aaReplace);
    archive->SetIsDirty(true);
    archive->DeleteAt(0);
    EXPECT_EQ(archive->journal,
              (Journal{"save a:" + std::to_string(aaReplace), "saved", "confirm delete a"}));
    EXPECT_EQ(actions(), "3");
}

TEST_F(WritingTest, CurrentItemFreedByASaveIsForgotten) {
    open({{u"a.jpg", "a"}, {u"b.jpg", "b"}});
    archive->TagItems(u"a.jpg");
    archive->TestTaggedItems();
    ASSERT_EQ(archive->CurrentItem(), archive->ItemList()[0]);
    archive->DeleteAt(0);
    archive->Save();
    EXPECT_EQ(archive->Count(), 1);
    EXPECT_EQ(archive->CurrentItem(), nullptr);
    TAbArchiveItem* reported = archive->ItemList()[0];
    archive->SetOnArchiveItemProgress(
        [&](TAbArchive&, TAbArchiveItem* item, uint8_t, bool&) { reported = item; });
    archive->DoInflateProgress(10);
    EXPECT_EQ(reported, nullptr);
}

TEST_F(WritingTest, MoveRenamesAndRelinks) {
    open({{u"a.jpg", ""}, {u"b.jpg", ""}, {u"gone.jpg", ""}});
    TAbArchiveItem* a = archive->ItemList()[0];
    archive->Move(a, u"B.JPG");
    EXPECT_EQ(archive->journal, (Journal{"failure move a.jpg 0 7"}));
    EXPECT_EQ(a->FileName(), u"a.jpg");
    EXPECT_EQ(actions(), "111");

    archive->ItemList()[2]->SetAction(aaDelete);
    archive->Move(a, u"\\pics\\gone.jpg");
    EXPECT_EQ(a->FileName(), u"pics\\gone.jpg");
    EXPECT_EQ(a->Action(), aaMove);
    EXPECT_EQ(archive->FindFile(u"pics\\gone.jpg"), 0);
    EXPECT_EQ(archive->FindFile(u"a.jpg"), -1);
    EXPECT_TRUE(archive->IsDirty());
}

TEST_F(WritingTest, MoveToItsOwnNameInAnotherCaseIsNoDuplicate) {
    open({{u"a.jpg", ""}});
    archive->Move(archive->ItemList()[0], u"A.JPG");
    EXPECT_EQ(archive->ItemList()[0]->FileName(), u"A.JPG");
    EXPECT_EQ(archive->FindFile(u"a.jpg"), 0);
}

struct NormalizeCase {
    std::u16string value;
    TAbStoreOptions options;
    std::u16string stored;
};
class NormalizeStoredNameTest : public WritingTest,
                                public ::testing::WithParamInterface<NormalizeCase> {};
TEST_P(NormalizeStoredNameTest, StoredNameForADiskPath) {
    open({});
    archive->SetStoreOptions(GetParam().options);
    EXPECT_EQ(archive->NormalizeStoredName(GetParam().value), GetParam().stored);
}
INSTANTIATE_TEST_SUITE_P(
    Names, NormalizeStoredNameTest,
    ::testing::Values(NormalizeCase{u"\\a\\b.txt", {}, u"a\\b.txt"},
                      NormalizeCase{u"\\a\\b.txt", {soStripPath}, u"b.txt"},
                      NormalizeCase{u"..\\..\\c.txt", {soRemoveDots}, u"c.txt"},
                      NormalizeCase{u"..\\..\\c.txt", {}, u"..\\..\\c.txt"},
                      NormalizeCase{u"C:\\x\\a.txt", {soStripDrive}, u"x\\a.txt"},
                      NormalizeCase{u"\\\\srv\\share\\x\\a.txt", {soStripDrive}, u"x\\a.txt"},
                      NormalizeCase{u"/home/u/a.txt", {}, u"home\\u\\a.txt"},
                      NormalizeCase{u"/home/u/a.txt", {soStripPath}, u"a.txt"}));

TEST_F(WritingTest, DosModeSpellsTheExistingPath) {
    temp.writeFile(u"x/a.txt", "a");
    open({});
    archive->SetDOSMode(true);
    archive->SetStoreOptions({soStripDrive});
    const std::u16string stored = archive->NormalizeStoredName(u"x/a.txt");
    EXPECT_TRUE(stored.ends_with(u"\\x\\a.txt")) << utf16ToUtf8(stored);
    EXPECT_THROW(archive->NormalizeStoredName(u"x/missing.txt"), EAbFileNotFound);
}

TEST_F(WritingTest, AddFromStreamSavesAtOnce) {
    open({{u"a.jpg", "a"}});
    std::istringstream data("fresh bytes");
    archive->AddFromStream(u"new.bin", data);
    EXPECT_EQ(archive->journal, (Journal{"confirm add new.bin", "data fresh bytes",
                                         "save new.bin:" + std::to_string(aaStreamAdd), "saved"}));
    EXPECT_EQ(archive->Count(), 2);
    EXPECT_FALSE(archive->IsDirty());
}

TEST_F(WritingTest, AddFromStreamOfATakenName) {
    open({{u"a.jpg", "a"}});
    std::istringstream data("x");
    archive->AddFromStream(u"A.jpg", data);
    EXPECT_EQ(archive->journal, (Journal{"failure add A.jpg 0 7"}));
    EXPECT_EQ(archive->Count(), 1);

    archive->journal.clear();
    archive->SetStoreOptions({soReplace});
    archive->AddFromStream(u"A.jpg", data);
    EXPECT_EQ(archive->journal, (Journal{"confirm replace a.jpg", "data x",
                                         "save a.jpg:" + std::to_string(aaStreamAdd), "saved"}));
    EXPECT_EQ(archive->Count(), 1);
}

TEST_F(WritingTest, FreshenOnlyChangedDiskFiles) {
    temp.writeFile(u"same.txt", "12345");
    temp.writeFile(u"changed.txt", "123");
    open({{u"same.txt", "12345"}, {u"changed.txt", "12345"}, {u"missing.txt", "m"}});
    TFileAttributeInfo info;
    ASSERT_TRUE(QueryFileAttributes(temp.u16(u"same.txt"), info));
    const uint32_t dos = DateTimeToDosDateTime(info.Time);
    for (TAbArchiveItem* each : archive->ItemList()) {
        each->SetLastModFileDate(static_cast<uint16_t>(dos >> 16));
        each->SetLastModFileTime(static_cast<uint16_t>(dos & 0xFFFF));
    }
    archive->FreshenFiles(u"*.txt");
    EXPECT_EQ(archive->journal,
              (Journal{"failure freshen missing.txt 4 0", "confirm freshen changed.txt"}));
    EXPECT_EQ(actions(), "141");
}

TEST_F(WritingTest, RecursiveStoreFindsTheDiskFileInASubFolder) {
    temp.writeFile(u"deep/er/pic.jpg", "p");
    open({{u"pic.jpg", "p"}});
    archive->SetStoreOptions({soRecurse});
    archive->Replace(archive->ItemList()[0]);
    EXPECT_EQ(archive->ItemList()[0]->DiskFileName(), temp.u16(u"deep/er/pic.jpg"));
    EXPECT_EQ(archive->ItemList()[0]->Action(), aaReplace);
}

}  // namespace
