#include "archive/core/ab_archive_item.h"

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "util/errors.h"

namespace {

std::unique_ptr<TAbArchiveItem> itemNamed(const std::u16string& name,
                                          TAbArchiveAction action = aaNone) {
    auto item = std::make_unique<TAbArchiveItem>();
    item->SetFileName(name);
    item->SetAction(action);
    return item;
}

// A folder member: stored with a trailing separator.
class FolderItem : public TAbArchiveItem {
public:
    bool IsDirectory() const override { return true; }
};

// Records the order in which the DOS date and time are written.
class RecordingItem : public TAbArchiveItem {
public:
    std::vector<std::string> writes;
    void SetLastModFileDate(uint16_t value) override {
        writes.push_back("date");
        TAbArchiveItem::SetLastModFileDate(value);
    }
    void SetLastModFileTime(uint16_t value) override {
        writes.push_back("time");
        TAbArchiveItem::SetLastModFileTime(value);
    }
};

TEST(TAbArchiveItemTest, NewItemIsEmpty) {
    const TAbArchiveItem item;
    EXPECT_EQ(item.Action(), aaNone);
    EXPECT_EQ(item.CompressedSize(), 0);
    EXPECT_EQ(item.UncompressedSize(), 0);
    EXPECT_EQ(item.FileName(), u"");
    EXPECT_EQ(item.LastModFileDate(), 0);
    EXPECT_EQ(item.LastModFileTime(), 0);
    EXPECT_FALSE(item.Tagged());
    EXPECT_FALSE(item.IsDirectory());
    EXPECT_EQ(item.NativeFileAttributes(), 0);
    EXPECT_EQ(item.NextItem, nullptr);
    EXPECT_EQ(FolderItem().NativeFileAttributes(), 16);
}

TEST(TAbArchiveItemTest, DiskPathIsTheFolderPartOfTheDiskFileName) {
    TAbArchiveItem item;
    item.SetDiskFileName(u"/home/u/pics/a.jpg");
    EXPECT_EQ(item.DiskPath(), u"/home/u/pics/");
    EXPECT_EQ(item.StoredPath(), u"/home/u/pics/");
    item.SetDiskFileName(u"a.jpg");
    EXPECT_EQ(item.DiskPath(), u"");
}

struct StoredMaskCase {
    std::u16string stored, mask;
    bool matches;
};
class MatchesStoredNameTest : public ::testing::TestWithParam<StoredMaskCase> {};
TEST_P(MatchesStoredNameTest, OneMask) {
    const auto item = itemNamed(GetParam().stored);
    EXPECT_EQ(item->MatchesStoredName(GetParam().mask), GetParam().matches);
}
INSTANTIATE_TEST_SUITE_P(
    Masks, MatchesStoredNameTest,
    ::testing::Values(StoredMaskCase{u"Theme\\img1.JPG", u"*.jpg", true},
                      StoredMaskCase{u"Theme\\img1.JPG", u"*.JPG", true},
                      StoredMaskCase{u"Theme\\img1.JPG", u"theme\\*.jpg", true},
                      StoredMaskCase{u"Theme\\img1.JPG", u"theme/*.jpg", true},
                      StoredMaskCase{u"Theme/img1.JPG", u"theme\\*.jpg", true},
                      StoredMaskCase{u"Theme\\img1.JPG", u"other\\*.jpg", false},
                      StoredMaskCase{u"Theme\\a.jpg", u"C:\\Theme\\*.jpg", true},
                      StoredMaskCase{u"Theme\\a.jpg", u"\\\\srv\\share\\Theme\\*.jpg", true},
                      StoredMaskCase{u"a.jpg", u"C:*.jpg", true},
                      StoredMaskCase{u"a.png", u"*.jpg", false}));

TEST(MatchesStoredNameTest, FolderItemLosesItsTrailingSeparator) {
    FolderItem folder;
    folder.SetFileName(u"Theme\\Pics\\");
    EXPECT_TRUE(folder.MatchesStoredName(u"Theme\\Pics"));
    EXPECT_TRUE(folder.MatchesStoredName(u"*"));
    const auto file = itemNamed(u"Theme\\Pics\\");
    EXPECT_FALSE(file->MatchesStoredName(u"*"));
}

struct MaskListCase {
    std::u16string stored, masks;
    bool matches;
};
class MatchesStoredNameExTest : public ::testing::TestWithParam<MaskListCase> {};
TEST_P(MatchesStoredNameExTest, AnyMaskOfTheList) {
    const auto item = itemNamed(GetParam().stored);
    EXPECT_EQ(item->MatchesStoredNameEx(GetParam().masks), GetParam().matches);
}
INSTANTIATE_TEST_SUITE_P(Masks, MatchesStoredNameExTest,
                         ::testing::Values(MaskListCase{u"x\\b.png", u"*.jpg;*.png", true},
                                           MaskListCase{u"x\\b.png", u"  *.jpg ;  *.png  ", true},
                                           MaskListCase{u"b.gif", u"*.jpg;*.png", false},
                                           MaskListCase{u"b.png", u"", false},
                                           MaskListCase{u"b.png", u";", false},
                                           MaskListCase{u"b.png", u"*.png;", true},
                                           MaskListCase{u"x\\", u"*.jpg;;*.png", true},
                                           MaskListCase{u"x\\a", u"*.jpg;;*.png", false}));

TEST(MatchesDiskNameTest, WholeDiskPathWithoutDroppingTheDrive) {
    TAbArchiveItem item;
    item.SetDiskFileName(u"C:/pics/A.JPG");
    EXPECT_TRUE(item.MatchesDiskName(u"C:\\pics\\*.jpg"));
    EXPECT_FALSE(item.MatchesDiskName(u"pics\\*.jpg"));
    EXPECT_TRUE(item.MatchesDiskName(u"*.jpg"));
}

TEST(LastModTimeAsDateTimeTest, ReadsTheDosDateAndTime) {
    TAbArchiveItem item;
    item.SetLastModFileDate(20513);
    item.SetLastModFileTime(24576);
    EXPECT_EQ(item.LastModTimeAsDateTime(), (TAbDateTime{2020, 1, 1, 12, 0, 0, 0}));
    item.SetLastModFileDate(0);
    EXPECT_THROW(item.LastModTimeAsDateTime(), EDateEncodeError);
}

TEST(LastModTimeAsDateTimeTest, WritesTimeThenDate) {
    RecordingItem item;
    item.SetLastModTimeAsDateTime({2020, 1, 1, 12, 0, 1, 500});
    EXPECT_EQ(item.LastModFileDate(), 20513);
    EXPECT_EQ(item.LastModFileTime(), 24576);
    EXPECT_EQ(item.writes, (std::vector<std::string>{"time", "date"}));
    item.SetLastModTimeAsDateTime({1979, 6, 15, 10, 30, 0, 0});
    EXPECT_EQ(item.LastModFileDate(), 0);
    EXPECT_EQ(item.LastModFileTime(), 0);
}

// Lists built from names; owning lists own their items, non-owning ones borrow from `pool`.
class ListTest : public ::testing::TestWithParam<bool> {
protected:
    ListTest() : list(GetParam()) {}
    ~ListTest() override { list.Clear(); }
    TAbArchiveItem* add(const std::u16string& name, TAbArchiveAction action = aaNone) {
        auto item = itemNamed(name, action);
        TAbArchiveItem* raw = item.get();
        if (list.OwnsItems()) {
            item.release();
        } else {
            pool.push_back(std::move(item));
        }
        list.Add(raw);
        return raw;
    }
    std::vector<std::unique_ptr<TAbArchiveItem>> pool;
    TAbArchiveList list;
};

TEST_P(ListTest, FindIgnoresAsciiCaseOnly) {
    add(u"x.png");
    add(u"a.jpg");
    add(u"\u00E9t\u00E9.jpg");
    EXPECT_EQ(list.Find(u"A.JPG"), 1);
    EXPECT_EQ(list.Find(u"a.jpg"), 1);
    EXPECT_EQ(list.Find(u"\u00E9T\u00E9.JPG"), 2);
    EXPECT_EQ(list.Find(u"\u00C9t\u00E9.jpg"), -1) << "accented capital against small letter";
    EXPECT_EQ(list.Find(u"b.jpg"), -1);
    EXPECT_EQ(list.Find(u""), -1);
}

TEST_P(ListTest, DuplicatesFindTheNewestWhenHashedAndTheFirstOtherwise) {
    for (const auto* name : {u"a", u"b", u"dup.jpg", u"c", u"d", u"DUP.JPG", u"e"}) add(name);
    EXPECT_EQ(list.Find(u"dup.jpg"), GetParam() ? 5 : 2);
}

TEST_P(ListTest, IsActiveDupeIgnoresItemsPendingDeletion) {
    add(u"gone.jpg", aaDelete);
    add(u"kept.jpg", aaReplace);
    EXPECT_FALSE(list.IsActiveDupe(u"GONE.JPG"));
    EXPECT_TRUE(list.IsActiveDupe(u"kept.JPG"));
    EXPECT_FALSE(list.IsActiveDupe(u"other.jpg"));
    add(u"Gone.jpg", aaNone);
    EXPECT_TRUE(list.IsActiveDupe(u"gone.jpg"));
}

TEST_P(ListTest, DeleteMovesLaterItemsDown) {
    for (const auto* name : {u"a", u"b", u"c", u"d"}) add(name);
    list.Delete(1);
    EXPECT_EQ(list.Count(), 3);
    EXPECT_EQ(list.Find(u"b"), -1);
    EXPECT_EQ(list.Find(u"c"), 1);
    EXPECT_EQ(list.Find(u"d"), 2);
    EXPECT_EQ(list[2]->FileName(), u"d");
}

TEST_P(ListTest, BadIndexRaisesAndChangesNothing) {
    add(u"a");
    EXPECT_THROW(list.Get(1), EArgumentOutOfRange);
    EXPECT_THROW(list.Get(-1), EArgumentOutOfRange);
    EXPECT_THROW(list.Delete(1), EArgumentOutOfRange);
    TAbArchiveItem stray;
    EXPECT_THROW(list.Put(3, &stray), EArgumentOutOfRange);
    EXPECT_EQ(list.Count(), 1);
    EXPECT_EQ(list.Find(u"a"), 0);
}

TEST_P(ListTest, PutReplacesTheItem) {
    add(u"a");
    add(u"b");
    auto replacement = itemNamed(u"z");
    TAbArchiveItem* raw = replacement.get();
    if (list.OwnsItems()) {
        replacement.release();
    } else {
        pool.push_back(std::move(replacement));
    }
    list.Put(0, raw);
    EXPECT_EQ(list.Find(u"a"), -1);
    EXPECT_EQ(list.Find(u"z"), 0);
    EXPECT_EQ(list.Get(0), raw);
}

TEST_P(ListTest, ClearEmptiesTheListAndTheHash) {
    add(u"a");
    add(u"b");
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.Find(u"a"), -1);
    add(u"a");
    EXPECT_EQ(list.Find(u"a"), 0);
}

TEST_P(ListTest, EnumeratorWalksInIndexOrder) {
    auto empty = list.GetEnumerator();
    EXPECT_FALSE(empty.MoveNext());
    add(u"a");
    add(u"b");
    std::u16string walked;
    auto it = list.GetEnumerator();
    while (it.MoveNext()) walked += it.Current()->FileName();
    EXPECT_EQ(walked, u"ab");
    EXPECT_FALSE(it.MoveNext());
    std::u16string ranged;
    for (const TAbArchiveItem* item : list) ranged += item->FileName();
    EXPECT_EQ(ranged, u"ab");
}

INSTANTIATE_TEST_SUITE_P(Modes, ListTest, ::testing::Values(true, false),
                         [](const auto& info) { return info.param ? "Owning" : "NonOwning"; });

TEST(TAbArchiveListTest, RenamedItemIsFoundUnderItsNewNameOnceRelinked) {
    TAbArchiveList list(true);
    for (const auto* name : {u"a.jpg", u"b.jpg", u"c.jpg"}) list.Add(itemNamed(name).release());
    TAbArchiveItem* item = list[1];
    item->SetFileName(u"renamed.jpg");
    list.RelinkItem(item, u"b.jpg");
    EXPECT_EQ(list.Find(u"renamed.jpg"), 1);
    EXPECT_EQ(list.Find(u"b.jpg"), -1);
    list.Delete(1);  // unlinks from the new chain without touching freed memory
    EXPECT_EQ(list.Find(u"renamed.jpg"), -1);
    EXPECT_EQ(list.Find(u"c.jpg"), 1);
}

TEST(TAbArchiveListTest, RelinkOfAForeignItemChangesNothing) {
    TAbArchiveList list(true);
    list.Add(itemNamed(u"a").release());
    TAbArchiveItem stranger;
    stranger.SetFileName(u"a");
    list.RelinkItem(&stranger, u"a");
    EXPECT_EQ(list.Find(u"a"), 0);
    EXPECT_EQ(stranger.NextItem, nullptr);
}

struct BucketCase {
    std::u16string name;
    int32_t bucket;
};
class BucketOfTest : public ::testing::TestWithParam<BucketCase> {};
TEST_P(BucketOfTest, HashOfTheCapitals) {
    EXPECT_EQ(TAbArchiveList::BucketOf(GetParam().name), GetParam().bucket);
}
INSTANTIATE_TEST_SUITE_P(
    Names, BucketOfTest,
    ::testing::Values(BucketCase{u"A", 65}, BucketCase{u"a", 65}, BucketCase{u"ab", 85},
                      BucketCase{u"", 0}, BucketCase{u"Theme\\img1.JPG", 50},
                      BucketCase{u"wallpapers\\very-long-picture-name-0001.jpg", 820},
                      BucketCase{u"\u00E9t\u00E9.jpg", 295},
                      BucketCase{u"\u00C9T\u00C9.JPG", 295}));

}  // namespace
