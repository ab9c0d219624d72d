#include "fdi_session.h"

#include <cstdlib>
#include <exception>
#include <stdexcept>

#include "find_file.h"

namespace cabtool {

namespace {

void* CABINET_CC allocMemory(uint32_t size) {
    return size ? std::malloc(size) : nullptr;
}
void CABINET_CC freeMemory(void* block) {
    std::free(block);
}

// The library opens cabinets only, always for reading.
CabHandle CABINET_CC openFile(char* name, int /*flags*/, int /*mode*/) {
    try {
        auto found = findFileAnyCase(std::filesystem::path(name));
        if (!found) return -1;
        std::FILE* file = std::fopen(found->string().c_str(), "rb");
        if (!file) return -1;
        // The library reads in large pieces of its own: a second buffer would only copy.
        std::setvbuf(file, nullptr, _IONBF, 0);
        return handleOf(new Stream{file, true, 0});
    } catch (...) {
        return -1;
    }
}

uint32_t CABINET_CC readFile(CabHandle handle, void* buffer, uint32_t count) {
    Stream* s = streamOf(handle);
    if (!s->file) return UINT32_MAX;
    size_t got = std::fread(buffer, 1, count, s->file);
    return got < count && std::ferror(s->file) ? UINT32_MAX : static_cast<uint32_t>(got);
}

uint32_t CABINET_CC writeFile(CabHandle handle, void* buffer, uint32_t count) {
    Stream* s = streamOf(handle);
    if (s->file && std::fwrite(buffer, 1, count, s->file) != count) return UINT32_MAX;
    s->written += count;
    return count;
}

int CABINET_CC closeFile(CabHandle handle) {
    Stream* s = streamOf(handle);
    int result = s->file && s->ownsFile ? std::fclose(s->file) : 0;
    delete s;
    return result == 0 ? 0 : -1;
}

int32_t CABINET_CC seekFile(CabHandle handle, int32_t offset, int origin) {
    Stream* s = streamOf(handle);
    int whence = origin == 1 ? SEEK_CUR : origin == 2 ? SEEK_END : SEEK_SET;
    if (!s->file || std::fseek(s->file, offset, whence) != 0) return -1;
    long position = std::ftell(s->file);
    return position < 0 || position > INT32_MAX ? -1 : static_cast<int32_t>(position);
}

struct PassState {
    NotificationHandler* handler;
    std::exception_ptr failure;
};

CabHandle CABINET_CC notifyHandler(FDINotificationType type, FDINotification* n) {
    auto* state = static_cast<PassState*>(n->pv);
    try {
        return state->handler->notify(type, *n);
    } catch (...) {
        state->failure = std::current_exception();
        return -1;
    }
}

}  // namespace

FdiSession::FdiSession() {
    context_ = FDICreate(allocMemory, freeMemory, openFile, readFile, writeFile, closeFile,
                         seekFile, cpuUNKNOWN, &error_);
    if (!context_) throw std::runtime_error("cannot create a decompression context");
}

FdiSession::~FdiSession() {
    FDIDestroy(context_);
}

bool FdiSession::copy(const std::string& name, const std::string& path,
                      NotificationHandler& handler) {
    PassState state{&handler, nullptr};
    bool ok = FDICopy(context_, const_cast<char*>(name.c_str()), const_cast<char*>(path.c_str()), 0,
                      notifyHandler, nullptr, &state);
    if (state.failure) std::rethrow_exception(state.failure);
    return ok;
}

std::string fileNamePart(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? path : path.substr(slash + 1);
}

std::string folderPart(const std::string& path) {
    size_t slash = path.find_last_of('/');
    return slash == std::string::npos ? std::string() : path.substr(0, slash + 1);
}

const char* fdiErrorName(int code) {
    static const char* const kNames[] = {"FDIERROR_NONE",
                                         "FDIERROR_CABINET_NOT_FOUND",
                                         "FDIERROR_NOT_A_CABINET",
                                         "FDIERROR_UNKNOWN_CABINET_VERSION",
                                         "FDIERROR_CORRUPT_CABINET",
                                         "FDIERROR_ALLOC_FAIL",
                                         "FDIERROR_BAD_COMPR_TYPE",
                                         "FDIERROR_MDI_FAIL",
                                         "FDIERROR_TARGET_FILE",
                                         "FDIERROR_RESERVE_MISMATCH",
                                         "FDIERROR_WRONG_CABINET",
                                         "FDIERROR_USER_ABORT",
                                         "FDIERROR_EOF"};
    return code >= 0 && code <= FDIERROR_EOF ? kNames[code] : "FDIERROR_UNKNOWN";
}

const char* fdiErrorText(int code) {
    static const char* const kTexts[] = {"no error",
                                         "cabinet not found",
                                         "not a cabinet",
                                         "unknown cabinet version",
                                         "corrupt cabinet",
                                         "out of memory",
                                         "unknown compression type",
                                         "decompression failed",
                                         "cannot write the output",
                                         "reserved areas do not match",
                                         "cabinet out of sequence: start from an earlier cabinet",
                                         "aborted",
                                         "unexpected end of file"};
    return code >= 0 && code <= FDIERROR_EOF ? kTexts[code] : "unknown error";
}

}  // namespace cabtool
