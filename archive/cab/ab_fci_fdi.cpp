#include "archive/cab/ab_fci_fdi.h"

#include <cstdlib>
#include <exception>
#include <memory>
#include <mutex>
#include <unordered_set>
#include <utility>

#include "archive/cab/ab_case_insensitive_file.h"
#include "archive/cab/ab_code_page.h"
#include "archive/cab/ab_dynamic_library.h"
#include "archive/core/ab_exceptions.h"
#include "util/environment.h"

namespace pelmora {
namespace {

// Process-wide binding state. Concurrent first use may load twice; both loads store the same
// module and entry points, so nothing is lost.
struct Binding {
    bool loaded = false;
    dynlib::ModuleHandle module = nullptr;
    decltype(&::FDICreate) fdiCreate = nullptr;
    decltype(&::FDIIsCabinet) fdiIsCabinet = nullptr;
    decltype(&::FDICopy) fdiCopy = nullptr;
    decltype(&::FDIDestroy) fdiDestroy = nullptr;
    decltype(&::FCICreate) fciCreate = nullptr;
    decltype(&::FCIAddFile) fciAddFile = nullptr;
    decltype(&::FCIFlushCabinet) fciFlushCabinet = nullptr;
    decltype(&::FCIFlushFolder) fciFlushFolder = nullptr;
    decltype(&::FCIDestroy) fciDestroy = nullptr;
};

Binding& binding() {
    static Binding state;
    return state;
}

std::string& libraryNameOverride() {
    static std::string name;
    return name;
}

// The library to bind: the one a test chose, else the one the environment names, else the
// platform's own.
std::string libraryToLoad() {
    if (!libraryNameOverride().empty()) return libraryNameOverride();
    const std::u16string chosen = ReadEnvironment(dynlib::kCabinetLibraryVariable);
    if (!chosen.empty()) return codepage::utf16ToUtf8(chosen);
    return dynlib::cabinetLibraryName();
}

template <typename Fn>
void bind(Fn& slot, const char* name) {
    slot = reinterpret_cast<Fn>(dynlib::findSymbol(binding().module, name));
}

// The exception kept from a callback during the library call now running on this thread.
thread_local std::exception_ptr pendingException;

// Streams that the library opened through FdiOpenStream: only these are destroyed by
// FdiCloseStream. Output streams and streams a caller handed over belong to the program.
std::mutex openedStreamsLock;
std::unordered_set<TStream*> openedStreams;

// The cabinets of the archive whose library call runs on this thread, if it keeps any.
thread_local TCabinetFiles* currentCabinetFiles = nullptr;

// Runs one library call with its own slot for a kept exception, and raises that exception
// once the library has returned.
template <typename Call>
auto callLibrary(Call&& call) {
    std::exception_ptr outer = std::exchange(pendingException, nullptr);
    auto result = call();
    std::exception_ptr kept = std::exchange(pendingException, outer);
    if (kept) std::rethrow_exception(kept);
    return result;
}

}  // namespace

namespace cabdetail {
void keepException() noexcept {
    if (!pendingException) pendingException = std::current_exception();
}
}  // namespace cabdetail

void TCabinetFiles::Check(const std::u16string& fileName, const TFileStream& stream) {
    TFileIdentity identity;
    if (!fileIdentityOf(stream, identity)) throw EAbCabinetChanged();
    auto [seen, first] = FSeen.try_emplace(fileName, identity);
    if (!first && !(seen->second == identity)) throw EAbCabinetChanged();
}

CabinetFilesScope::CabinetFilesScope(TCabinetFiles& files)
    : FOuter(std::exchange(currentCabinetFiles, &files)) {}

CabinetFilesScope::~CabinetFilesScope() {
    currentCabinetFiles = FOuter;
}

std::u16string cabinetFileName(const std::string& narrowName) {
    return findFileIgnoringCase(codepage::narrowToUtf16(narrowName));
}

void LoadCabinetLibrary() {
    Binding& b = binding();
    if (b.loaded) return;
    dynlib::ModuleHandle module = dynlib::loadLibrary(libraryToLoad());
    if (!module) throw EAbNoCabinetDll();
    b.module = module;
    bind(b.fdiCreate, "FDICreate");
    bind(b.fdiIsCabinet, "FDIIsCabinet");
    bind(b.fdiCopy, "FDICopy");
    bind(b.fdiDestroy, "FDIDestroy");
    bind(b.fciCreate, "FCICreate");
    bind(b.fciAddFile, "FCIAddFile");
    bind(b.fciFlushCabinet, "FCIFlushCabinet");
    bind(b.fciFlushFolder, "FCIFlushFolder");
    bind(b.fciDestroy, "FCIDestroy");
    b.loaded = true;
}

void SetCabinetLibraryNameForTesting(const std::string& name) {
    libraryNameOverride() = name;
    binding() = Binding{};
}

FDIContext FDICreate(FdiAllocFn alloc, FdiFreeFn free, FdiOpenFn open, FdiReadFn read,
                     FdiWriteFn write, FdiCloseFn close, FdiSeekFn seek, int cpuType,
                     CabErrorRecord* error) {
    LoadCabinetLibrary();
    auto fn = binding().fdiCreate;
    if (!fn) return nullptr;
    return callLibrary(
        [&] { return fn(alloc, free, open, read, write, close, seek, cpuType, error); });
}

CabBool FDIIsCabinet(FDIContext context, CabHandle handle, FDICabInfo* info) {
    LoadCabinetLibrary();
    auto fn = binding().fdiIsCabinet;
    if (!fn) return 0;
    return callLibrary([&] { return fn(context, handle, info); });
}

CabBool FDICopy(FDIContext context, char* cabinetName, char* cabinetPath, int flags,
                FdiNotifyFn notify, FdiDecryptFn decrypt, void* user) {
    LoadCabinetLibrary();
    auto fn = binding().fdiCopy;
    if (!fn) return 0;
    return callLibrary(
        [&] { return fn(context, cabinetName, cabinetPath, flags, notify, decrypt, user); });
}

CabBool FDIDestroy(FDIContext context) {
    LoadCabinetLibrary();
    auto fn = binding().fdiDestroy;
    if (!fn) return 0;
    return callLibrary([&] { return fn(context); });
}

FCIContext FCICreate(CabErrorRecord* error, FciFilePlacedFn filePlaced, FciAllocFn alloc,
                     FciFreeFn free, FciOpenFn open, FciReadFn read, FciWriteFn write,
                     FciCloseFn close, FciSeekFn seek, FciDeleteFn remove,
                     FciGetTempFileFn tempFile, FCICabInfo* cabInfo, void* user) {
    LoadCabinetLibrary();
    auto fn = binding().fciCreate;
    if (!fn) return nullptr;
    return callLibrary([&] {
        return fn(error, filePlaced, alloc, free, open, read, write, close, seek, remove, tempFile,
                  cabInfo, user);
    });
}

CabBool FCIAddFile(FCIContext context, char* sourceName, char* storedName, CabBool execute,
                   FciGetNextCabinetFn getNextCabinet, FciStatusFn status,
                   FciGetOpenInfoFn getOpenInfo, TCOMP compression) {
    LoadCabinetLibrary();
    auto fn = binding().fciAddFile;
    if (!fn) return 0;
    return callLibrary([&] {
        return fn(context, sourceName, storedName, execute, getNextCabinet, status, getOpenInfo,
                  compression);
    });
}

CabBool FCIFlushCabinet(FCIContext context, CabBool getNextCabinet, FciGetNextCabinetFn nextCabinet,
                        FciStatusFn status) {
    LoadCabinetLibrary();
    auto fn = binding().fciFlushCabinet;
    if (!fn) return 0;
    return callLibrary([&] { return fn(context, getNextCabinet, nextCabinet, status); });
}

CabBool FCIFlushFolder(FCIContext context, FciGetNextCabinetFn getNextCabinet, FciStatusFn status) {
    LoadCabinetLibrary();
    auto fn = binding().fciFlushFolder;
    if (!fn) return 0;
    return callLibrary([&] { return fn(context, getNextCabinet, status); });
}

CabBool FCIDestroy(FCIContext context) {
    LoadCabinetLibrary();
    auto fn = binding().fciDestroy;
    if (!fn) return 0;
    return callLibrary([&] { return fn(context); });
}

extern "C" {

void* CABINET_CC CabAlloc(uint32_t size) {
    // The size is read as a signed 32-bit value: zero and "negative" sizes get nothing.
    if (static_cast<int32_t>(size) <= 0) return nullptr;
    return answerLibrary<void*>(nullptr, [&]() -> void* {
        void* block = std::malloc(size);
        if (!block) throw std::bad_alloc();
        return block;
    });
}

void CABINET_CC CabFree(void* block) {
    std::free(block);
}

CabHandle CABINET_CC FdiOpenStream(char* name, int /*flags*/, int /*mode*/) {
    return answerLibrary<CabHandle>(-1, [&]() -> CabHandle {
        std::u16string fileName = cabinetFileName(name);
        std::unique_ptr<TFileStream> stream;
        try {
            stream = std::make_unique<TFileStream>(fileName, TFileOpenMode::ReadShareDenyWrite);
        } catch (const EFOpenError& error) {
            // The library fails the operation or asks for the next cabinet again; the reason
            // is kept for the question.
            if (currentCabinetFiles) currentCabinetFiles->SetLastOpenFailure(error.Message());
            return -1;
        }
        if (currentCabinetFiles) currentCabinetFiles->Check(fileName, *stream);
        std::lock_guard<std::mutex> lock(openedStreamsLock);
        openedStreams.insert(stream.get());
        return handleOf(*stream.release());
    });
}

uint32_t CABINET_CC FdiReadStream(CabHandle handle, void* buffer, uint32_t count) {
    return answerLibrary<uint32_t>(static_cast<uint32_t>(-1), [&] {
        return static_cast<uint32_t>(streamOf(handle)->Read(buffer, static_cast<int32_t>(count)));
    });
}

uint32_t CABINET_CC FdiWriteStream(CabHandle handle, void* buffer, uint32_t count) {
    return answerLibrary<uint32_t>(static_cast<uint32_t>(-1), [&] {
        TStream* stream = streamOf(handle);
        int32_t written = stream->Write(buffer, static_cast<int32_t>(count));
        // The library knows only that the write failed; the system's reason (a full disk, say)
        // is what the user needs, so it is kept and raised once the library returns.
        if (written < 0 && stream->LastSystemError() != 0)
            throw EInOutError(stream->LastSystemError());
        return static_cast<uint32_t>(written);
    });
}

int CABINET_CC FdiCloseStream(CabHandle handle) {
    return answerLibrary<int>(-1, [&] {
        TStream* stream = streamOf(handle);
        {
            std::lock_guard<std::mutex> lock(openedStreamsLock);
            // A stream the program owns (an output, or one a caller handed over) is left to
            // its owner; only what FdiOpenStream opened is destroyed here.
            if (openedStreams.erase(stream) == 0) return 0;
        }
        auto* file = dynamic_cast<TFileStream*>(stream);
        bool closed = file ? file->Close() : true;
        delete stream;
        return closed ? 0 : -1;
    });
}

int32_t CABINET_CC FdiSeekStream(CabHandle handle, int32_t offset, int origin) {
    return answerLibrary<int32_t>(-1, [&] {
        int64_t pos = streamOf(handle)->Seek(offset, static_cast<TSeekOrigin>(origin & 0xFFFF));
        return static_cast<int32_t>(pos);
    });
}

}  // extern "C"

FDIContext createDecompressionContext(CabErrorRecord& errors) {
    return pelmora::FDICreate(CabAlloc, CabFree, FdiOpenStream, FdiReadStream, FdiWriteStream,
                              FdiCloseStream, FdiSeekStream, cpuUNKNOWN, &errors);
}

TAbArchiveType VerifyCabinet(TStream& stream) {
    CabErrorRecord errors{};
    FDIContext context = createDecompressionContext(errors);
    if (!context) return TAbArchiveType::atUnknown;
    struct ContextGuard {
        FDIContext context;
        ~ContextGuard() {
            try {
                pelmora::FDIDestroy(context);
            } catch (...) {
                // Destruction frees only memory; nothing of ours can raise in it.
            }
        }
    } guard{context};
    int64_t position = stream.Position();
    // Whether FDIIsCabinet reads from the start of the file or from where the handle stands
    // is left open by the library's contract: the platform's library reads from where it
    // stands. The check is about the whole file, so it always starts at the beginning.
    stream.SetPosition(0);
    FDICabInfo info{};
    TAbArchiveType result = pelmora::FDIIsCabinet(context, handleOf(stream), &info)
                                ? TAbArchiveType::atCab
                                : TAbArchiveType::atUnknown;
    stream.SetPosition(position);
    return result;
}

}  // namespace pelmora
