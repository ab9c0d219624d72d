// Binding to the cabinet library: loaded by name at first use, nine entry points looked up
// by name, and the memory and stream callbacks that the decompression side is given.
//
// Every handle the library receives on the decompression side is a TStream* of ours; the
// stream callbacks dispatch to the stream. An exception raised in a callback or a notification
// handler never unwinds through the library: it is kept, the library is answered with its
// failure value, and the forwarding operation raises the same exception once the library has
// returned.
#pragma once

#include <map>
#include <string>

#include "archive/cab/ab_archive_type.h"
#include "archive/cab/ab_file_identity.h"
#include "archive/cab/ab_stream.h"
#include "cabinet/include/cabinet.h"

namespace pelmora {

// Binds the library once; raises EAbNoCabinetDll when it cannot be loaded (and tries again
// on the next call).
void LoadCabinetLibrary();

// The library a test binds to instead of the platform's own; an empty name restores the
// usual choice (PELMORA_CABINET_LIBRARY, else the platform's). Returns the binding to the unbound
// state so that the next use loads anew.
void SetCabinetLibraryNameForTesting(const std::string& name);

// Forwarding operations: load the library, then call the entry point; a missing export
// answers 0 (false or a null context) without calling anything.
FDIContext FDICreate(FdiAllocFn alloc, FdiFreeFn free, FdiOpenFn open, FdiReadFn read,
                     FdiWriteFn write, FdiCloseFn close, FdiSeekFn seek, int cpuType,
                     CabErrorRecord* error);
CabBool FDIIsCabinet(FDIContext context, CabHandle handle, FDICabInfo* info);
CabBool FDICopy(FDIContext context, char* cabinetName, char* cabinetPath, int flags,
                FdiNotifyFn notify, FdiDecryptFn decrypt, void* user);
CabBool FDIDestroy(FDIContext context);
FCIContext FCICreate(CabErrorRecord* error, FciFilePlacedFn filePlaced, FciAllocFn alloc,
                     FciFreeFn free, FciOpenFn open, FciReadFn read, FciWriteFn write,
                     FciCloseFn close, FciSeekFn seek, FciDeleteFn remove,
                     FciGetTempFileFn tempFile, FCICabInfo* cabInfo, void* user);
CabBool FCIAddFile(FCIContext context, char* sourceName, char* storedName, CabBool execute,
                   FciGetNextCabinetFn getNextCabinet, FciStatusFn status,
                   FciGetOpenInfoFn getOpenInfo, TCOMP compression);
CabBool FCIFlushCabinet(FCIContext context, CabBool getNextCabinet, FciGetNextCabinetFn nextCabinet,
                        FciStatusFn status);
CabBool FCIFlushFolder(FCIContext context, FciGetNextCabinetFn getNextCabinet, FciStatusFn status);
CabBool FCIDestroy(FCIContext context);

// The decompression callbacks.
extern "C" {
void* CABINET_CC CabAlloc(uint32_t size);
void CABINET_CC CabFree(void* block);
CabHandle CABINET_CC FdiOpenStream(char* name, int flags, int mode);
uint32_t CABINET_CC FdiReadStream(CabHandle handle, void* buffer, uint32_t count);
uint32_t CABINET_CC FdiWriteStream(CabHandle handle, void* buffer, uint32_t count);
int CABINET_CC FdiCloseStream(CabHandle handle);
int32_t CABINET_CC FdiSeekStream(CabHandle handle, int32_t offset, int origin);
}

// The cabinets one archive reads, each as the file it was when first opened. The library opens
// a cabinet anew, by name, for every pass; a name that leads to another file later (the
// cabinet was replaced, or rewritten, during the run) must not yield other members.
class TCabinetFiles {
public:
    // Records the file under its name at its first opening; later raises EAbCabinetChanged
    // when the file open under that name is another one, or its identity cannot be read.
    void Check(const std::u16string& fileName, const TFileStream& stream);
    // Why the last cabinet that could not be opened failed, in words; empty when none failed.
    const std::u16string& LastOpenFailure() const { return FLastOpenFailure; }
    void SetLastOpenFailure(const std::u16string& reason) { FLastOpenFailure = reason; }

private:
    std::map<std::u16string, TFileIdentity> FSeen;
    std::u16string FLastOpenFailure;
};

// While alive, every cabinet that FdiOpenStream opens on this thread is checked against files
// (scopes nest; the innermost one counts).
class CabinetFilesScope {
public:
    explicit CabinetFilesScope(TCabinetFiles& files);
    ~CabinetFilesScope();
    CabinetFilesScope(const CabinetFilesScope&) = delete;
    CabinetFilesScope& operator=(const CabinetFilesScope&) = delete;

private:
    TCabinetFiles* FOuter;
};

// The disk file the library means by a narrow cabinet name (its letter case may differ).
std::u16string cabinetFileName(const std::string& narrowName);

// A decompression context with the callbacks above, or null.
FDIContext createDecompressionContext(CabErrorRecord& errors);

// The handle the library sees for one of our streams.
inline CabHandle handleOf(TStream& stream) {
    return reinterpret_cast<CabHandle>(&stream);
}
inline TStream* streamOf(CabHandle handle) {
    return reinterpret_cast<TStream*>(handle);
}

// atCab when the library accepts the stream as a cabinet, else atUnknown. The stream's
// position is restored. Raises EAbNoCabinetDll when the library cannot be loaded.
TAbArchiveType VerifyCabinet(TStream& stream);

// Runs body, which answers the library on behalf of a callback. An exception it raises is
// kept for the forwarding operation that is running (the first one wins) and failure is
// answered instead.
template <typename T, typename Body>
T answerLibrary(T failure, Body&& body) noexcept;

namespace cabdetail {
void keepException() noexcept;
}

template <typename T, typename Body>
T answerLibrary(T failure, Body&& body) noexcept {
    try {
        return body();
    } catch (...) {
        cabdetail::keepException();
        return failure;
    }
}

}  // namespace pelmora
