#include "archive/core/ab_archive_item.h"

#include "archive/core/ab_text.h"
#include "archive/core/ab_utils.h"
#include "util/errors.h"

namespace {

std::u16string withBackslashes(std::u16string_view text) {
    std::u16string fixed(text);
    FixSlashes(fixed);
    return fixed;
}

}  // namespace

std::u16string TAbArchiveItem::DiskPath() const {
    return DirectoryPart(FDiskFileName, NativePathStyle);
}

TAbDateTime TAbArchiveItem::LastModTimeAsDateTime() const {
    return DosDateTimeToDateTime(LastModFileDate(), LastModFileTime());
}

void TAbArchiveItem::SetLastModTimeAsDateTime(const TAbDateTime& value) {
    const uint32_t dos = DateTimeToDosDateTime(value);
    SetLastModFileTime(static_cast<uint16_t>(dos & 0xFFFF));
    SetLastModFileDate(static_cast<uint16_t>(dos >> 16));
}

bool TAbArchiveItem::MatchesStoredName(std::u16string_view FileMask) const {
    std::u16string drive, dir, name;
    SplitFileName(withBackslashes(FileMask), drive, dir, name);
    std::u16string stored = withBackslashes(FileName());
    if (IsDirectory() && !stored.empty() && stored.back() == u'\\') stored.pop_back();
    return MatchFileName(stored, dir + name);
}

bool TAbArchiveItem::MatchesStoredNameEx(std::u16string_view FileMask) const {
    return anyMaskPiece(FileMask,
                        [this](std::u16string_view mask) { return MatchesStoredName(mask); });
}

bool TAbArchiveItem::MatchesDiskName(std::u16string_view FileMask) const {
    return MatchFileName(withBackslashes(DiskFileName()), withBackslashes(FileMask));
}

bool TAbArchiveListEnumerator::MoveNext() {
    if (FIndex >= FList->Count() - 1) return false;
    ++FIndex;
    return true;
}

TAbArchiveItem* TAbArchiveListEnumerator::GetCurrent() const {
    return FList->Get(FIndex);
}

TAbArchiveList::TAbArchiveList(bool AOwnsItems) : FOwnsItems(AOwnsItems) {}

TAbArchiveList::~TAbArchiveList() {
    Clear();
}

int32_t TAbArchiveList::BucketOf(std::u16string_view Name) {
    return static_cast<int32_t>(nameHash(Name) % kBucketCount);
}

uint32_t TAbArchiveList::nameHash(std::u16string_view Name) {
    uint32_t h = 0;
    for (const char16_t c : Name) {
        h = (h << 4) + unicodeUpper(c);
        const uint32_t g = h & 0xF0000000u;
        if (g != 0) h ^= g >> 24;
        h &= ~g;
    }
    return h;
}

void TAbArchiveList::checkIndex(int32_t Index) const {
    if (Index < 0 || Index >= Count()) throw EArgumentOutOfRange();
}

bool TAbArchiveList::holds(const TAbArchiveItem* item) const {
    return item != nullptr && item->FListIndex >= 0 && item->FListIndex < Count() &&
           FList[static_cast<size_t>(item->FListIndex)] == item;
}

void TAbArchiveList::link(TAbArchiveItem* item) {
    const uint32_t hash = nameHash(item->FileName());
    const auto bucket = static_cast<size_t>(hash % kBucketCount);
    // The one step that can fail comes first, so a failure leaves the item unlinked.
    FBucketItems[bucket].push_back({hash, item});
    item->NextItem = HashTable[bucket];
    item->FBucket = static_cast<int32_t>(bucket);
    HashTable[bucket] = item;
}

void TAbArchiveList::unlink(TAbArchiveItem* item) {
    if (item->FBucket < 0) return;
    const auto bucket = static_cast<size_t>(item->FBucket);
    TAbArchiveItem** slot = &HashTable[bucket];
    while (*slot != nullptr && *slot != item) slot = &(*slot)->NextItem;
    if (*slot == item) *slot = item->NextItem;
    std::vector<HashedItem>& items = FBucketItems[bucket];
    for (auto at = items.begin(); at != items.end(); ++at) {
        if (at->item == item) {
            items.erase(at);
            break;
        }
    }
    item->NextItem = nullptr;
    item->FBucket = -1;
}

int32_t TAbArchiveList::Add(TAbArchiveItem* aItem) {
    try {
        FList.push_back(aItem);
    } catch (...) {
        if (FOwnsItems) delete aItem;
        throw;
    }
    const int32_t index = Count() - 1;
    if (FOwnsItems) {
        aItem->FListIndex = index;
        try {
            link(aItem);
        } catch (...) {
            FList.pop_back();
            delete aItem;
            throw;
        }
    }
    return index;
}

void TAbArchiveList::Clear() {
    std::vector<TAbArchiveItem*> items;
    items.swap(FList);
    HashTable.fill(nullptr);
    for (std::vector<HashedItem>& bucket : FBucketItems) bucket.clear();
    if (FOwnsItems) {
        for (TAbArchiveItem* item : items) delete item;
    }
}

void TAbArchiveList::Delete(int32_t Index) {
    checkIndex(Index);
    TAbArchiveItem* item = FList[static_cast<size_t>(Index)];
    FList.erase(FList.begin() + Index);
    if (FOwnsItems) {
        unlink(item);
        delete item;
        for (size_t i = static_cast<size_t>(Index); i < FList.size(); ++i) {
            FList[i]->FListIndex = static_cast<int32_t>(i);
        }
    }
}

TAbArchiveItem* TAbArchiveList::Get(int32_t Index) const {
    checkIndex(Index);
    return FList[static_cast<size_t>(Index)];
}

void TAbArchiveList::Put(int32_t Index, TAbArchiveItem* Item) {
    checkIndex(Index);
    TAbArchiveItem* old = FList[static_cast<size_t>(Index)];
    if (old == Item) return;
    if (FOwnsItems) {
        try {
            link(Item);  // first: when it fails, the list is as it was
        } catch (...) {
            delete Item;
            throw;
        }
        Item->FListIndex = Index;
        unlink(old);
        delete old;
    }
    FList[static_cast<size_t>(Index)] = Item;
}

template <typename Accept>
const TAbArchiveItem* TAbArchiveList::findItem(std::u16string_view FN, Accept accept) const {
    if (FOwnsItems) {
        // Names equal under the ASCII folding have equal hashes, so comparing the hashes kept
        // beside the bucket's items rejects most of them without reading a name. Newest
        // first, as the chain runs.
        const uint32_t hash = nameHash(FN);
        const std::vector<HashedItem>& items = FBucketItems[hash % kBucketCount];
        for (auto at = items.rbegin(); at != items.rend(); ++at) {
            if (at->hash == hash && sameTextAscii(at->item->FileName(), FN) && accept(at->item)) {
                return at->item;
            }
        }
        return nullptr;
    }
    for (const TAbArchiveItem* item : FList) {
        if (sameTextAscii(item->FileName(), FN) && accept(item)) return item;
    }
    return nullptr;
}

int32_t TAbArchiveList::Find(std::u16string_view FN) const {
    if (!FOwnsItems) {
        for (size_t i = 0; i < FList.size(); ++i) {
            if (sameTextAscii(FList[i]->FileName(), FN)) return static_cast<int32_t>(i);
        }
        return -1;
    }
    const TAbArchiveItem* found = findItem(FN, [](const TAbArchiveItem*) { return true; });
    return found == nullptr ? -1 : found->FListIndex;
}

bool TAbArchiveList::IsActiveDupe(std::u16string_view FN) const {
    return findItem(FN, [](const TAbArchiveItem* item) { return item->Action() != aaDelete; }) !=
           nullptr;
}

void TAbArchiveList::RelinkItem(TAbArchiveItem* Item, std::u16string_view /*OldName*/) {
    // The item remembers the bucket it was linked into, so the old name is not needed to
    // find it; an item of another list is left alone.
    if (!FOwnsItems || !holds(Item)) return;
    unlink(Item);
    link(Item);
}
