// The writing side of TAbArchive: add, delete, freshen, replace and move. None of them writes
// the archive itself; each marks the affected item with a pending action for WriteArchive.
#include <algorithm>
#include <cerrno>
#include <fstream>
#include <vector>

#include "archive/core/ab_archive.h"
#include "archive/core/ab_text.h"
#include "archive/core/ab_utils.h"
#include "util/errors.h"

namespace {

// The error code of a stored name that is already taken.
constexpr int32_t kDuplicateName = 7;

bool hasWildcard(std::u16string_view mask) {
    return mask.find_first_of(u"*?") != mask.npos;
}

// A disk path or mask with the platform's separators.
std::u16string nativeSeparators(std::u16string_view path) {
    std::u16string native(path);
    if constexpr (NativePathStyle == PathStyle::Windows) {
        FixSlashes(native);
    } else {
        std::replace(native.begin(), native.end(), u'\\', u'/');
    }
    return native;
}

bool isRootedDiskPath(std::u16string_view path) {
    if constexpr (NativePathStyle == PathStyle::Windows) {
        return (path.size() > 1 && path[1] == u':') || path.starts_with(u'\\');
    }
    return path.starts_with(u'/');
}

}  // namespace

void TAbArchive::markDirty() {
    FIsDirty = true;
    if (FAutoSave) Save();
}

template <typename Select, typename Act>
void TAbArchive::walkItemsBackwards(Select select, Act act) {
    // A save on the way may drop items, so the index is checked against the live count.
    for (int32_t index = Count() - 1; index >= 0; --index) {
        if (index >= Count()) continue;
        if (select(FItemList->Get(index))) act(index);
    }
}

void TAbArchive::Add(std::unique_ptr<TAbArchiveItem> aItem) {
    EnsureValid();
    if (FItemList->IsActiveDupe(aItem->FileName())) {
        if (FStoreOptions.Contains(soFreshen)) {
            Freshen(aItem.get());
        } else if (FStoreOptions.Contains(soReplace)) {
            Replace(aItem.get());
        } else {
            ReportItemFailure(aItem.get(), ptAdd, ecCorvana, kDuplicateName);
        }
        return;
    }
    bool confirm = true;
    ConfirmProcessItem(aItem.get(), ptAdd, confirm);
    if (!confirm) return;
    aItem->SetAction(aaAdd);
    FItemList->Add(aItem.release());
    markDirty();
}

void TAbArchive::AddFiles(std::u16string_view FileMask, int32_t SearchAttr) {
    AddFilesEx(FileMask, u"", SearchAttr);
}

void TAbArchive::AddFilesEx(std::u16string_view FileMask, std::u16string_view ExclusionMask,
                            int32_t SearchAttr) {
    EnsureValid();
    if (!SupportsEmptyFolders()) SearchAttr &= ~faDirectory;
    const bool wild = hasWildcard(FileMask);
    const std::u16string mask = nativeSeparators(FileMask);
    const std::u16string exclusion = nativeSeparators(ExclusionMask);
    const bool recurse = FStoreOptions.Contains(soRecurse);
    // Relative masks are looked up in BaseDirectory, which is the current directory while the
    // found files are added, so that a format expanding a relative name to a full disk path
    // finds the file that was found.
    const bool relative = ClassifyPath(mask) != pkFullPath;
    CurrentDirectoryScope inBase(relative ? std::u16string_view(FBaseDirectory) : u"");
    std::vector<std::u16string> found;
    std::vector<std::u16string> excluded;
    FindMatchingFilesList(mask, SearchAttr, found, recurse);
    if (!exclusion.empty()) FindMatchingFilesList(exclusion, SearchAttr, excluded, recurse);
    for (const auto& name : found) {
        if (std::find(excluded.begin(), excluded.end(), name) != excluded.end()) continue;
        const std::u16string asArchive = wild ? JoinPath(FBaseDirectory, name) : name;
        if (asArchive == FArchiveName) continue;
        Add(NewItem(name));
    }
}

void TAbArchive::AddFromStream(const std::u16string& NewName, std::istream& aStream) {
    EnsureValid();
    std::unique_ptr<TAbArchiveItem> fresh = NewItem(NewName);
    TAbArchiveItem* target = fresh.get();
    TAbProcessType processType = ptAdd;
    if (FItemList->IsActiveDupe(NewName)) {
        if (!FStoreOptions.Contains(soFreshen) && !FStoreOptions.Contains(soReplace)) {
            ReportItemFailure(fresh.get(), ptAdd, ecCorvana, kDuplicateName);
            return;
        }
        fresh.reset();
        target = FItemList->Get(FindFile(NewName));
        processType = ptReplace;
    }
    bool confirm = true;
    ConfirmProcessItem(target, processType, confirm);
    if (!confirm) return;
    FInStream = &aStream;
    target->SetAction(aaStreamAdd);
    if (fresh) FItemList->Add(fresh.release());
    FIsDirty = true;
    try {
        Save();
    } catch (...) {
        FInStream = nullptr;
        throw;
    }
    FInStream = nullptr;
}

void TAbArchive::Delete(const TAbArchiveItem* aItem) {
    EnsureValid();
    const int32_t index = FindItem(aItem);
    if (index >= 0) DeleteAt(index);
}

void TAbArchive::DeleteAt(int32_t Index) {
    EnsureValid();
    SaveIfPending(FItemList->Get(Index));
    TAbArchiveItem* item = FItemList->Get(Index);
    bool confirm = true;
    ConfirmProcessItem(item, ptDelete, confirm);
    if (!confirm) return;
    item->SetAction(aaDelete);
    markDirty();
}

void TAbArchive::DeleteFiles(std::u16string_view FileMask) {
    DeleteFilesEx(FileMask, u"");
}

void TAbArchive::DeleteFilesEx(std::u16string_view FileMask, std::u16string_view ExclusionMask) {
    EnsureValid();
    walkItemsBackwards(
        [&](const TAbArchiveItem* item) {
            return item->MatchesStoredNameEx(FileMask) && !item->MatchesStoredNameEx(ExclusionMask);
        },
        [this](int32_t index) { DeleteAt(index); });
}

void TAbArchive::DeleteTaggedItems() {
    EnsureValid();
    walkItemsBackwards([](const TAbArchiveItem* item) { return item->Tagged(); },
                       [this](int32_t index) { DeleteAt(index); });
}

void TAbArchive::Freshen(const TAbArchiveItem* aItem) {
    EnsureValid();
    const int32_t index = FindItem(aItem);
    if (index < 0) return;
    if (ClassifyPath(aItem->DiskFileName()) == pkFullPath) {
        FItemList->Get(index)->SetDiskFileName(aItem->DiskFileName());
    }
    FreshenItemAt(index);
}

void TAbArchive::FreshenItemAt(int32_t Index) {
    SaveIfPending(FItemList->Get(Index));
    TAbArchiveItem* item = FItemList->Get(Index);
    ResolveDiskFileName(item);
    bool changed = false;
    try {
        changed = DiskFileChanged(item);
    } catch (...) {
        reportCaughtFailure(item, ptFreshen);
    }
    if (!changed) return;
    bool confirm = true;
    ConfirmProcessItem(item, ptFreshen, confirm);
    if (!confirm) return;
    item->SetAction(aaFreshen);
    markDirty();
}

void TAbArchive::FreshenFiles(std::u16string_view FileMask) {
    FreshenFilesEx(FileMask, u"");
}

void TAbArchive::FreshenFilesEx(std::u16string_view FileMask, std::u16string_view ExclusionMask) {
    EnsureValid();
    walkItemsBackwards(
        [&](const TAbArchiveItem* item) {
            return item->MatchesStoredNameEx(FileMask) && !item->MatchesStoredNameEx(ExclusionMask);
        },
        [this](int32_t index) { FreshenItemAt(index); });
}

void TAbArchive::FreshenTaggedItems() {
    EnsureValid();
    walkItemsBackwards([](const TAbArchiveItem* item) { return item->Tagged(); },
                       [this](int32_t index) { FreshenItemAt(index); });
}

void TAbArchive::Replace(const TAbArchiveItem* aItem) {
    EnsureValid();
    const int32_t index = FindItem(aItem);
    if (index < 0) return;
    if (ClassifyPath(aItem->DiskFileName()) == pkFullPath) {
        FItemList->Get(index)->SetDiskFileName(aItem->DiskFileName());
    }
    ReplaceItemAt(index);
}

void TAbArchive::ReplaceItemAt(int32_t Index) {
    SaveIfPending(FItemList->Get(Index));
    TAbArchiveItem* item = FItemList->Get(Index);
    ResolveDiskFileName(item);
    bool confirm = true;
    ConfirmProcessItem(item, ptReplace, confirm);
    if (!confirm) return;
    item->SetAction(aaReplace);
    markDirty();
}

void TAbArchive::ResolveDiskFileName(TAbArchiveItem* Item) {
    const std::u16string storedAsDisk = nativeSeparators(Item->FileName());
    std::u16string name;
    if (FStoreOptions.Contains(soRecurse) && ClassifyPath(Item->DiskFileName()) == pkBareName) {
        std::vector<std::u16string> found;
        FindMatchingFiles(storedAsDisk, faAnyFile & ~faDirectory, found, true, FBaseDirectory);
        const auto file = std::find_if(found.begin(), found.end(), [](const std::u16string& f) {
            return !f.empty() && f.back() != pathSeparator(NativePathStyle);
        });
        if (file != found.end()) name = JoinPath(FBaseDirectory, *file);
    } else if (!FBaseDirectory.empty()) {
        name = JoinPath(FBaseDirectory, storedAsDisk);
    } else if (ClassifyPath(Item->DiskFileName()) == pkFullPath) {
        name = Item->DiskFileName();
    } else {
        name = storedAsDisk;
    }
    Item->SetDiskFileName(nativeSeparators(name));
}

bool TAbArchive::DiskFileChanged(const TAbArchiveItem* Item) {
    std::u16string path = Item->DiskFileName();
    if (!FBaseDirectory.empty() && ClassifyPath(path) != pkFullPath) {
        path = JoinPath(FBaseDirectory, path);
    }
    errno = 0;
    std::ifstream probe(toFsPath(path), std::ios::binary);
    if (!probe.is_open()) throw EFOpenError(path, errno != 0 ? errno : ENOENT);
    TFileAttributeInfo info;
    if (!QueryFileAttributes(path, info)) return true;
    const uint32_t dos = DateTimeToDosDateTime(info.Time);
    return !(static_cast<uint16_t>(dos >> 16) == Item->LastModFileDate() &&
             static_cast<uint16_t>(dos & 0xFFFF) == Item->LastModFileTime() &&
             info.Size == Item->UncompressedSize());
}

void TAbArchive::Move(TAbArchiveItem* aItem, const std::u16string& NewStoredPath) {
    EnsureValid();
    const std::u16string newName = NormalizeStoredName(NewStoredPath);
    for (const TAbArchiveItem* other : *FItemList) {
        if (other != aItem && other->Action() != aaDelete &&
            sameTextAscii(other->FileName(), newName)) {
            ReportItemFailure(aItem, ptMove, ecCorvana, kDuplicateName);
            return;
        }
    }
    SaveIfPending(aItem);
    bool confirm = true;
    ConfirmProcessItem(aItem, ptMove, confirm);
    if (!confirm) return;
    const std::u16string oldName = aItem->FileName();
    aItem->SetFileName(newName);
    aItem->SetAction(aaMove);
    FItemList->RelinkItem(aItem, oldName);
    markDirty();
}

std::u16string TAbArchive::NormalizeStoredName(const std::u16string& Value) {
    std::u16string name = Value;
    if (FDOSMode) {
        if (!FBaseDirectory.empty() && !isRootedDiskPath(name))
            name = JoinPath(FBaseDirectory, name);
        name = ShortFormPath(name);
    }
    if constexpr (NativePathStyle == PathStyle::Posix) {
        name = diskToStoredSeparators(name, PathStyle::Posix);
    }
    if (FStoreOptions.Contains(soStripDrive)) StripDrive(name);
    if (name.starts_with(u'\\')) name.erase(0, 1);
    if (FStoreOptions.Contains(soStripPath)) name = NamePart(name, PathStyle::Windows);
    if (FStoreOptions.Contains(soRemoveDots)) StripLeadingDotDots(name);
    return name;
}
