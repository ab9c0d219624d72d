// One archive member (TAbArchiveItem) and the item list of an archive (TAbArchiveList) with
// its name hash.
#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

#include "archive/core/ab_date_time.h"

// The action pending on an item until the archive is next saved.
enum TAbArchiveAction : uint8_t {
    aaFailed,
    aaNone,
    aaAdd,
    aaDelete,
    aaFreshen,
    aaMove,
    aaReplace,
    aaStreamAdd
};

// The format-independent record of one member. Formats derive their own item class and may
// compute any value behind the virtual accessors; all other code goes through them.
class TAbArchiveItem {
public:
    TAbArchiveItem() = default;
    virtual ~TAbArchiveItem() = default;
    TAbArchiveItem(const TAbArchiveItem&) = delete;
    TAbArchiveItem& operator=(const TAbArchiveItem&) = delete;

    // Next item in the same hash bucket of the owning list (not owned).
    TAbArchiveItem* NextItem = nullptr;

    TAbArchiveAction Action() const { return FAction; }
    void SetAction(TAbArchiveAction value) { FAction = value; }
    virtual int64_t CompressedSize() const { return FCompressedSize; }
    virtual void SetCompressedSize(int64_t value) { FCompressedSize = value; }
    virtual int32_t CRC32() const { return FCRC32; }
    virtual void SetCRC32(int32_t value) { FCRC32 = value; }
    const std::u16string& DiskFileName() const { return FDiskFileName; }
    void SetDiskFileName(const std::u16string& value) { FDiskFileName = value; }
    // The folder part of DiskFileName, up to and including its last separator.
    std::u16string DiskPath() const;
    virtual uint32_t ExternalFileAttributes() const { return FExternalFileAttributes; }
    virtual void SetExternalFileAttributes(uint32_t value) { FExternalFileAttributes = value; }
    // The stored name; may hold folder parts separated by "\" or "/". Renaming an item of an
    // owning list must be followed by TAbArchiveList::RelinkItem.
    virtual const std::u16string& FileName() const { return FFileName; }
    virtual void SetFileName(const std::u16string& value) { FFileName = value; }
    virtual bool IsDirectory() const { return false; }
    virtual bool IsEncrypted() const { return FIsEncrypted; }
    virtual void SetIsEncrypted(bool value) { FIsEncrypted = value; }
    virtual uint16_t LastModFileDate() const { return FLastModFileDate; }
    virtual void SetLastModFileDate(uint16_t value) { FLastModFileDate = value; }
    virtual uint16_t LastModFileTime() const { return FLastModFileTime; }
    virtual void SetLastModFileTime(uint16_t value) { FLastModFileTime = value; }
    // 16 (the folder attribute) for a folder, else 0.
    virtual int32_t NativeFileAttributes() const { return IsDirectory() ? 16 : 0; }
    std::u16string StoredPath() const { return DiskPath(); }
    bool Tagged() const { return FTagged; }
    void SetTagged(bool value) { FTagged = value; }
    virtual int64_t UncompressedSize() const { return FUncompressedSize; }
    virtual void SetUncompressedSize(int64_t value) { FUncompressedSize = value; }
    // Raises the date conversion errors for a DOS date or time that is no calendar moment.
    virtual TAbDateTime LastModTimeAsDateTime() const;
    virtual void SetLastModTimeAsDateTime(const TAbDateTime& value);

    // Does the stored name match one mask (a drive or UNC part of the mask is ignored)?
    bool MatchesStoredName(std::u16string_view FileMask) const;
    // Does it match any mask of a ";"-separated list?
    bool MatchesStoredNameEx(std::u16string_view FileMask) const;
    // Does DiskFileName match one mask?
    bool MatchesDiskName(std::u16string_view FileMask) const;

protected:
    TAbArchiveAction FAction = aaNone;
    int64_t FCompressedSize = 0;
    int32_t FCRC32 = 0;
    std::u16string FDiskFileName;
    uint32_t FExternalFileAttributes = 0;
    std::u16string FFileName;
    bool FIsEncrypted = false;
    uint16_t FLastModFileTime = 0;
    uint16_t FLastModFileDate = 0;
    bool FTagged = false;
    int64_t FUncompressedSize = 0;

private:
    friend class TAbArchiveList;
    // Bookkeeping of the owning list: the item's index and its bucket, so that finding the
    // index of a hashed item and unlinking it take no scan.
    int32_t FListIndex = -1;
    int32_t FBucket = -1;
};

class TAbArchiveList;

// Walks a list by index: MoveNext, then Current.
class TAbArchiveListEnumerator {
public:
    explicit TAbArchiveListEnumerator(const TAbArchiveList& aList) : FList(&aList) {}
    bool MoveNext();
    TAbArchiveItem* GetCurrent() const;
    TAbArchiveItem* Current() const { return GetCurrent(); }

private:
    int32_t FIndex = -1;
    const TAbArchiveList* FList;
};

// The items of one archive in archive order. In owning mode the list frees its items and
// keeps a 1021-bucket hash over their names; in non-owning mode the hash stays empty.
// Names compare ignoring the case of the ASCII letters only. Beside each bucket's chain the
// list keeps the bucket's items with their name hashes side by side, so that a lookup reads
// one short array rather than one scattered item after another.
class TAbArchiveList {
public:
    static constexpr int32_t kBucketCount = 1021;

    explicit TAbArchiveList(bool AOwnsItems);
    ~TAbArchiveList();
    TAbArchiveList(const TAbArchiveList&) = delete;
    TAbArchiveList& operator=(const TAbArchiveList&) = delete;

    // Appends and answers the new index; duplicate names are accepted. An owning list takes
    // the item over, also when appending fails.
    int32_t Add(TAbArchiveItem* aItem);
    void Clear();
    // Removes (and in owning mode frees) the item; later items move down by one.
    void Delete(int32_t Index);
    // Index of an item of that name, or -1: in owning mode the one linked last, else the first.
    int32_t Find(std::u16string_view FN) const;
    // Is there an item of that name whose action is not aaDelete?
    bool IsActiveDupe(std::u16string_view FN) const;
    TAbArchiveItem* Get(int32_t Index) const;
    // Replaces (and in owning mode frees) the item at Index. An owning list takes the new
    // item over, also when replacing fails.
    void Put(int32_t Index, TAbArchiveItem* Item);
    TAbArchiveItem* Items(int32_t Index) const { return Get(Index); }
    TAbArchiveItem* operator[](int32_t Index) const { return Get(Index); }
    int32_t Count() const { return static_cast<int32_t>(FList.size()); }
    bool OwnsItems() const { return FOwnsItems; }
    TAbArchiveListEnumerator GetEnumerator() const { return TAbArchiveListEnumerator(*this); }
    auto begin() const { return FList.begin(); }
    auto end() const { return FList.end(); }

    // The bucket of a name: its full Unicode capitals hashed code unit by code unit.
    static int32_t BucketOf(std::u16string_view Name);
    // The hash BucketOf reduces to a bucket; below 2^28.
    static uint32_t nameHash(std::u16string_view Name);
    // Moves a renamed item to the chain of its new name.
    void RelinkItem(TAbArchiveItem* Item, std::u16string_view OldName);

private:
    void checkIndex(int32_t Index) const;
    void link(TAbArchiveItem* item);
    void unlink(TAbArchiveItem* item);
    bool holds(const TAbArchiveItem* item) const;
    // The first item of that name in the chain walk (owning) or list order (non-owning) for
    // which accept(item) holds.
    template <typename Accept>
    const TAbArchiveItem* findItem(std::u16string_view FN, Accept accept) const;

    struct HashedItem {
        uint32_t hash;
        TAbArchiveItem* item;
    };

    std::vector<TAbArchiveItem*> FList;
    bool FOwnsItems;
    std::array<TAbArchiveItem*, kBucketCount> HashTable{};
    // Each bucket's items in the order they were linked, the chain's order reversed.
    std::array<std::vector<HashedItem>, kBucketCount> FBucketItems;
};
