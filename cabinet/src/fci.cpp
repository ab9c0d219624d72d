// The FCI entry points (their contract is in cabinet.h): a compression context gathers members
// into folders, lays the folders out into one cabinet or a set, and writes them through the
// caller's callbacks.
#include <algorithm>
#include <cstring>

#include "block_decoder.h"
#include "cabinet.h"
#include "fci_cabinet.h"
#include "fci_folder.h"
#include "fci_io.h"

namespace cabinet {
namespace {

constexpr uint32_t kContextMagic = 0x46434943;  // "FCIC"

struct FciContextData {
    FciContextData(const FciIo& callbacks, const FCICabInfo& parameters)
        : io(callbacks), folder(io), cabinet(io, parameters) {}

    uint32_t magic = kContextMagic;
    FciIo io;
    FolderBuilder folder;
    CabinetWriter cabinet;
    uint32_t folderThreshold = 0;
    uint32_t dataReserve = 0;
    // Set by check(): the folder or cabinet is half written and cannot be trusted again.
    bool broken = false;
    CabErrorRecord failure{};

    bool failAgain() {
        *io.error = failure;
        return false;
    }
    // Marks the context unusable when `ok` is false.
    bool check(bool ok) {
        if (!ok && !broken) {
            broken = true;
            failure = *io.error;
        }
        return ok;
    }
};

FciContextData* contextOf(FCIContext context) {
    auto* data = static_cast<FciContextData*>(context);
    return data && data->magic == kContextMagic ? data : nullptr;
}

bool flushFolder(FciContextData& fci) {
    if (!fci.folder.isOpen()) return true;
    if (!fci.folder.finish() || !fci.cabinet.placeFolder(fci.folder)) return false;
    uint32_t size = fci.folder.framedSize();
    return fci.io.reportStatus(statusFolder, size, size) && fci.folder.clear();
}

// A generous bound on what `size` input bytes become as data blocks.
uint64_t blockBound(uint64_t size, uint32_t dataReserve) {
    return size + (size / kMaxBlockOutput + 1) * (1024 + kCabDataHeaderSize + dataReserve);
}

// Whether the folder must be closed before a member of `size` bytes named `nameLength` joins
// it. A folder that spills into further cabinets does so inside its last member only: every
// block holding earlier members stays in the cabinet where the folder ends, so the member
// listed as continued is the same at every cabinet boundary the folder crosses.
bool mustCloseFolderBefore(FciContextData& fci, uint32_t size, size_t nameLength) {
    const FolderBuilder& folder = fci.folder;
    const CabinetWriter& cabinet = fci.cabinet;
    if (!folder.isOpen()) return false;
    if (cabinet.fileCount() + folder.fileCount() + 1 > kMaxCount16 ||
        cabinet.folderCount() + 1 > kMaxCount16) {
        return true;
    }
    uint32_t reserve = fci.dataReserve;
    uint64_t before = cabinet.plannedSize() + cabinet.folderRecordSize() + folder.framedSize() +
                      blockBound(folder.heldBack(), reserve) + folder.recordBytes() + kCabFileSize +
                      nameLength + 1;
    uint64_t firstBlock = std::min(blockBound(size, reserve), blockBound(kMaxBlockOutput, reserve));
    return before + firstBlock > cabinet.limit();
}

bool validParameters(const FCICabInfo& p) {
    return p.cbReserveCFHeader <= kMaxHeaderReserve &&
           p.cbReserveCFFolder <= kMaxFolderOrDataReserve &&
           p.cbReserveCFData <= kMaxFolderOrDataReserve &&
           std::memchr(p.szCab, '\0', sizeof p.szCab) && p.szCab[0] != '\0' &&
           std::memchr(p.szCabPath, '\0', sizeof p.szCabPath) &&
           std::memchr(p.szDisk, '\0', sizeof p.szDisk);
}

}  // namespace
}  // namespace cabinet

using cabinet::FciContextData;

extern "C" {

CABINET_API FCIContext CABINET_CC FCICreate(CabErrorRecord* error, FciFilePlacedFn filePlaced,
                                            FciAllocFn alloc, FciFreeFn free, FciOpenFn open,
                                            FciReadFn read, FciWriteFn write, FciCloseFn close,
                                            FciSeekFn seek, FciDeleteFn remove,
                                            FciGetTempFileFn tempFile, FCICabInfo* cabInfo,
                                            void* user) {
    if (!error) return nullptr;
    *error = CabErrorRecord{};
    cabinet::FciIo io;
    io.error = error;
    if (!alloc || !free) {
        io.fail(FCIERR_ALLOC_FAIL);
        return nullptr;
    }
    if (!open || !read || !write || !close || !seek || !remove || !tempFile) {
        io.fail(FCIERR_TEMP_FILE);
        return nullptr;
    }
    if (!cabInfo || !cabinet::validParameters(*cabInfo)) {
        io.fail(FCIERR_CAB_FORMAT_LIMIT);
        return nullptr;
    }
    io.user = user;
    io.alloc = cabinet::Allocator{alloc, free};
    io.filePlaced = filePlaced;
    io.open = open;
    io.read = read;
    io.write = write;
    io.close = close;
    io.seek = seek;
    io.remove = remove;
    io.tempFile = tempFile;
    auto* fci = io.alloc.make<FciContextData>(io, *cabInfo);
    if (!fci) {
        io.fail(FCIERR_ALLOC_FAIL);
        return nullptr;
    }
    fci->folderThreshold = cabInfo->cbFolderThresh;
    fci->dataReserve = cabInfo->cbReserveCFData;
    fci->folder.setDataReserve(cabInfo->cbReserveCFData);
    fci->folder.setFailOnIncompressible(cabInfo->fFailOnIncompressible != 0);
    if (!fci->folder.create() || !fci->cabinet.create()) {
        CabErrorRecord failure = *error;
        fci->folder.discard();
        fci->cabinet.discard();
        io.alloc.destroy(fci);
        *error = failure;
        return nullptr;
    }
    return fci;
}

CABINET_API CabBool CABINET_CC FCIAddFile(FCIContext context, char* sourceName, char* storedName,
                                          CabBool execute, FciGetNextCabinetFn getNextCabinet,
                                          FciStatusFn status, FciGetOpenInfoFn getOpenInfo,
                                          TCOMP compression) {
    FciContextData* fci = cabinet::contextOf(context);
    if (!fci) return 0;
    if (fci->broken) return fci->failAgain();
    auto& io = fci->io;
    *io.error = CabErrorRecord{};
    io.getNextCabinet = getNextCabinet;
    io.status = status;
    if (!sourceName || !storedName || !getOpenInfo) return io.fail(FCIERR_OPEN_SRC);
    size_t nameLength = strnlen(storedName, cabinet::kCabMaxName);
    if (nameLength == 0 || nameLength >= cabinet::kCabMaxName) {
        return io.fail(FCIERR_CAB_FORMAT_LIMIT);
    }
    if (!cabinet::isWritableCompression(compression)) return io.fail(FCIERR_BAD_COMPR_TYPE);

    // A folder holds one compression type.
    if (fci->folder.isOpen() && fci->folder.compression() != compression &&
        !fci->check(cabinet::flushFolder(*fci))) {
        return 0;
    }
    if (!fci->folder.begin(compression)) return 0;

    unsigned short date = 0, time = 0, attributes = 0;
    int err = 0;
    CabHandle source = getOpenInfo(sourceName, &date, &time, &attributes, &err, io.user);
    if (source == -1) return io.fail(FCIERR_OPEN_SRC, err);
    if (execute) attributes |= CAB_ATTRIB_EXECUTE;

    // A member that would take the folder past its largest size starts a new folder.
    int32_t size = io.seek(source, 0, 2, &err, io.user);
    bool rewound = size >= 0 && io.seek(source, 0, 0, &err, io.user) == 0;
    if (!rewound) {
        io.close(source, &err, io.user);
        return io.fail(FCIERR_READ_SRC, err);
    }
    if (static_cast<uint32_t>(size) > cabinet::kMaxFolderBytes) {
        io.close(source, &err, io.user);
        return io.fail(FCIERR_CAB_FORMAT_LIMIT);
    }
    bool folderFull =
        static_cast<uint32_t>(size) > cabinet::kMaxFolderBytes - fci->folder.uncompressedSize();
    if (fci->folder.isOpen() &&
        (folderFull ||
         cabinet::mustCloseFolderBefore(*fci, static_cast<uint32_t>(size), nameLength)) &&
        !fci->check(cabinet::flushFolder(*fci))) {
        io.close(source, &err, io.user);
        return 0;
    }

    bool added = fci->folder.addFile(source, storedName, date, time, attributes);
    if (io.close(source, &err, io.user) == -1 && added) added = io.fail(FCIERR_READ_SRC, err);
    if (!fci->check(added)) return 0;
    if (fci->folderThreshold && fci->folder.framedSize() >= fci->folderThreshold) {
        return fci->check(cabinet::flushFolder(*fci));
    }
    return 1;
}

CABINET_API CabBool CABINET_CC FCIFlushFolder(FCIContext context,
                                              FciGetNextCabinetFn getNextCabinet,
                                              FciStatusFn status) {
    FciContextData* fci = cabinet::contextOf(context);
    if (!fci) return 0;
    if (fci->broken) return fci->failAgain();
    *fci->io.error = CabErrorRecord{};
    fci->io.getNextCabinet = getNextCabinet;
    fci->io.status = status;
    return fci->check(cabinet::flushFolder(*fci));
}

CABINET_API CabBool CABINET_CC FCIFlushCabinet(FCIContext context, CabBool getNextCabinet,
                                               FciGetNextCabinetFn nextCabinet,
                                               FciStatusFn status) {
    FciContextData* fci = cabinet::contextOf(context);
    if (!fci) return 0;
    if (fci->broken) return fci->failAgain();
    *fci->io.error = CabErrorRecord{};
    fci->io.getNextCabinet = nextCabinet;
    fci->io.status = status;
    return fci->check(cabinet::flushFolder(*fci) && fci->cabinet.flush(getNextCabinet != 0));
}

CABINET_API CabBool CABINET_CC FCIDestroy(FCIContext context) {
    FciContextData* fci = cabinet::contextOf(context);
    if (!fci) return 0;
    cabinet::Allocator alloc = fci->io.alloc;
    bool folderGone = fci->folder.discard();
    bool cabinetGone = fci->cabinet.discard();
    fci->magic = 0;
    alloc.destroy(fci);
    return folderGone && cabinetGone;
}

}  // extern "C"
