#include "fci_writer.h"

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <random>
#include <system_error>

namespace cabtool {
namespace fs = std::filesystem;

namespace {

FciWriter& writerOf(void* user) {
    return *static_cast<FciWriter*>(user);
}
std::FILE* fileOf(CabHandle handle) {
    return reinterpret_cast<std::FILE*>(handle);
}
CabHandle handleOf(std::FILE* file) {
    return reinterpret_cast<CabHandle>(file);
}

bool isTemp(const FciWriter& w, const std::string& name) {
    return std::find(w.tempFiles_.begin(), w.tempFiles_.end(), name) != w.tempFiles_.end();
}

void* CABINET_CC onAlloc(uint32_t size) {
    return std::malloc(size);
}
void CABINET_CC onFree(void* block) {
    std::free(block);
}

CabHandle CABINET_CC onOpen(char* name, int flags, int, int* err, void* user) {
    FciWriter& w = writerOf(user);
    std::FILE* file = nullptr;
    if (isTemp(w, name)) {
        file = std::fopen(name, (flags & CAB_O_EXCL) ? "w+bx" : "w+b");
    } else {
        file = std::fopen(partialName(name).c_str(), "w+b");
        if (file) {
            auto known = std::find_if(w.cabinets_.begin(), w.cabinets_.end(),
                                      [&](const auto& c) { return c.first == name; });
            if (known == w.cabinets_.end()) w.cabinets_.emplace_back(name, 0);
        } else {
            w.failedName_ = name;
        }
    }
    if (!file) {
        *err = errno;
        return -1;
    }
    return handleOf(file);
}

uint32_t CABINET_CC onRead(CabHandle h, void* buffer, uint32_t count, int* err, void*) {
    size_t got = std::fread(buffer, 1, count, fileOf(h));
    if (got < count && std::ferror(fileOf(h))) {
        *err = errno;
        return UINT32_MAX;
    }
    return static_cast<uint32_t>(got);
}

uint32_t CABINET_CC onWrite(CabHandle h, void* buffer, uint32_t count, int* err, void*) {
    size_t done = std::fwrite(buffer, 1, count, fileOf(h));
    if (done < count) {
        *err = errno;
        return UINT32_MAX;
    }
    return count;
}

int CABINET_CC onClose(CabHandle h, int* err, void*) {
    if (std::fclose(fileOf(h)) != 0) {
        *err = errno;
        return -1;
    }
    return 0;
}

int32_t CABINET_CC onSeek(CabHandle h, int32_t offset, int origin, int* err, void*) {
    int whence = origin == 0 ? SEEK_SET : origin == 1 ? SEEK_CUR : SEEK_END;
    if (std::fseek(fileOf(h), offset, whence) != 0) {
        *err = errno;
        return -1;
    }
    long at = std::ftell(fileOf(h));
    return at < 0 || at > INT32_MAX ? -1 : static_cast<int32_t>(at);
}

int CABINET_CC onDelete(char* name, int* err, void* user) {
    FciWriter& w = writerOf(user);
    std::string target = isTemp(w, name) ? std::string(name) : partialName(name);
    std::erase_if(w.cabinets_, [&](const auto& c) { return c.first == name; });
    if (std::remove(target.c_str()) != 0) {
        *err = errno;
        return -1;
    }
    return 0;
}

CabBool CABINET_CC onTempFile(char* buffer, int size, void* user) {
    FciWriter& w = writerOf(user);
    std::string name = w.tempFolder_ + "/part" + std::to_string(++w.tempCount_);
    if (name.size() + 1 > static_cast<size_t>(size)) return 0;
    std::memcpy(buffer, name.c_str(), name.size() + 1);
    w.tempFiles_.push_back(name);
    return 1;
}

int CABINET_CC onFilePlaced(FCICabInfo*, char*, int32_t, CabBool, void*) {
    return 0;
}

CabBool CABINET_CC onNextCabinet(FCICabInfo* cab, uint32_t, void* user) {
    FciWriter& w = writerOf(user);
    // iCab counts the cabinets from 1, so the new cabinet is number iCab - 1 after the first.
    std::string name = w.nextName_(cab->szCab, static_cast<unsigned>(cab->iCab - 1));
    if (std::find(w.usedNames_.begin(), w.usedNames_.end(), name) != w.usedNames_.end()) {
        w.nameError_ =
            "the set needs more cabinets than numbered names (" + name + " again); use a larger -s";
        return 0;
    }
    if (name.size() >= sizeof cab->szCab) {
        w.nameError_ = "cabinet name too long: " + name;
        return 0;
    }
    w.usedNames_.push_back(name);
    std::memcpy(cab->szCab, name.c_str(), name.size() + 1);
    return 1;
}

int32_t CABINET_CC onStatus(unsigned type, uint32_t, uint32_t cb2, void* user) {
    FciWriter& w = writerOf(user);
    if (type == statusCabinet && !w.cabinets_.empty()) w.cabinets_.back().second = cb2;
    return type == statusCabinet ? static_cast<int32_t>(cb2) : 0;
}

CabHandle CABINET_CC onOpenInfo(char*, unsigned short* date, unsigned short* time,
                                unsigned short* attributes, int* err, void* user) {
    FciWriter& w = writerOf(user);
    const MemberSource& member = *w.current_;
    std::FILE* file = std::fopen(member.path.c_str(), "rb");
    if (!file) {
        *err = errno;
        return -1;
    }
    *date = member.date;
    *time = member.time;
    *attributes = member.attributes;
    return handleOf(file);
}

std::string makeTempFolder() {
    std::error_code ec;
    fs::path base = fs::temp_directory_path(ec);
    if (ec) base = ".";
    std::random_device random;
    for (int attempt = 0; attempt < 100; ++attempt) {
        fs::path candidate = base / ("cabtool-" + std::to_string(random()));
        if (fs::create_directory(candidate, ec)) return candidate.string();
    }
    return {};
}

}  // namespace

std::string partialName(const std::string& cabinet) {
    return cabinet + ".partial";
}

FciWriter::FciWriter(const std::string& firstCabinet, uint32_t maxCabinetSize,
                     uint32_t folderThreshold,
                     std::function<std::string(const std::string&, unsigned)> nextName)
    : nextName_(std::move(nextName)) {
    size_t slash = firstCabinet.find_last_of('/');
    std::string folder = slash == std::string::npos ? "" : firstCabinet.substr(0, slash + 1);
    std::string name = slash == std::string::npos ? firstCabinet : firstCabinet.substr(slash + 1);
    parameters_.cb = maxCabinetSize;
    parameters_.cbFolderThresh = folderThreshold;
    parameters_.iCab = 1;
    parameters_.setID = static_cast<unsigned short>(std::random_device{}());
    std::snprintf(parameters_.szCab, sizeof parameters_.szCab, "%s", name.c_str());
    std::snprintf(parameters_.szCabPath, sizeof parameters_.szCabPath, "%s", folder.c_str());
    usedNames_.push_back(name);
}

FciWriter::~FciWriter() {
    discard();
}

bool FciWriter::create() {
    if (std::strlen(parameters_.szCab) == 0 || parameters_.szCab[sizeof parameters_.szCab - 2]) {
        error_ = "invalid cabinet name";
        return false;
    }
    tempFolder_ = makeTempFolder();
    if (tempFolder_.empty()) {
        error_ = "cannot create a temporary folder";
        return false;
    }
    context_ = FCICreate(&errorRecord_, onFilePlaced, onAlloc, onFree, onOpen, onRead, onWrite,
                         onClose, onSeek, onDelete, onTempFile, &parameters_, this);
    if (!context_) {
        error_ = describe(errorRecord_);
        return false;
    }
    return true;
}

bool FciWriter::add(const MemberSource& member, TCOMP compression) {
    current_ = &member;
    failedName_ = member.path;
    std::string source = member.path, stored = member.storedName;
    bool ok = FCIAddFile(context_, source.data(), stored.data(), 0, onNextCabinet, onStatus,
                         onOpenInfo, compression);
    current_ = nullptr;
    if (!ok) error_ = describe(errorRecord_);
    return ok;
}

bool FciWriter::finish() {
    failedName_.clear();
    if (!FCIFlushCabinet(context_, 0, onNextCabinet, onStatus)) {
        error_ = describe(errorRecord_);
        return false;
    }
    return true;
}

bool FciWriter::commit() {
    for (const auto& [name, size] : cabinets_) {
        std::error_code ec;
        fs::rename(partialName(name), name, ec);
        if (ec) {
            error_ = "cannot name " + name + ": " + ec.message();
            return false;
        }
    }
    committed_ = true;
    return true;
}

void FciWriter::discard() {
    if (context_) FCIDestroy(context_);
    context_ = nullptr;
    if (!committed_) {
        for (const auto& cabinet : cabinets_) std::remove(partialName(cabinet.first).c_str());
    }
    if (!tempFolder_.empty()) {
        std::error_code ignored;
        fs::remove_all(tempFolder_, ignored);
        tempFolder_.clear();
    }
}

std::string FciWriter::describe(const CabErrorRecord& error) const {
    std::string detail = error.ErrorType ? std::string(": ") + std::strerror(error.ErrorType) : "";
    switch (error.ErrorCode) {
        case FCIERR_OPEN_SRC:
            return "cannot open " + failedName_ + detail;
        case FCIERR_READ_SRC:
            return "cannot read " + failedName_ + detail;
        case FCIERR_ALLOC_FAIL:
            return "out of memory";
        case FCIERR_TEMP_FILE:
            return "cannot use temporary files in " + tempFolder_ + detail;
        case FCIERR_BAD_COMPR_TYPE:
            return "compression type not supported";
        case FCIERR_CAB_FILE:
            return "cannot write cabinet" + (failedName_.empty() ? "" : " " + failedName_) + detail;
        case FCIERR_USER_ABORT:
            return nameError_.empty() ? "aborted" : nameError_;
        case FCIERR_MCI_FAIL:
            return "the compressor failed";
        case FCIERR_CAB_FORMAT_LIMIT:
            return "beyond what a cabinet can hold (a member over 2 GB, a stored name over 255 "
                   "bytes, or a cabinet size too small for the data)";
        default:
            return "cabinet library error " + std::to_string(error.ErrorCode);
    }
}

}  // namespace cabtool
